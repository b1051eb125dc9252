// The Registry natives against Wine's real registry, below a scratch key of
// HKCU that each test removes again; RegRestoreKeyW (a stub in Wine), the
// RegDeleteKeyExW lookup and the shell notification through their bindings.
#include <gtest/gtest.h>

#include <shlobj.h>
// After shlobj.h, which brings windows.h.
#include <sddl.h>

#include "native/frame/windows/Privileges.h"
#include "native/frame/windows/ShellBinding.h"
#include "native/system/windows/Registry.h"
#include "tests/natives/NativeTestSupport.h"

namespace {

using fakejni::Value;
using nativetest::callExport;
using nativetest::callLinked;

const int kHkcu = 2;

class RegistryNatives : public ::testing::Test {
protected:
    void SetUp() override { nativetest::resetJni(); }
    void TearDown() override {
        // No native may leave an exception pending or a buffer unreleased.
        EXPECT_EQ(nullptr, fakejni::pendingException());
        EXPECT_EQ(0u, fakejni::openBuffers());
    }

    jstring path(const std::wstring& below = L"") {
        return fakejni::newString(below.empty() ? scratch.path() : scratch.path() + L"\\" + below);
    }
    Value get(const wchar_t* name, int view = 0) {
        return callExport("Registry", "getValue0", {kHkcu, path(), name ? fakejni::newString(name) : nullptr, view});
    }
    bool set(const wchar_t* name, jobject value, int type) {
        return callExport("Registry", "setValue0", {kHkcu, path(), fakejni::newString(name), value, type, 0})
            .asBoolean();
    }
    // Stores raw data as it is, without the natives.
    void setRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        HKEY key = scratch.open();
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
        RegCloseKey(key);
    }
    DWORD storedSize(const wchar_t* name, DWORD* type = nullptr) {
        DWORD size = 0;
        LSTATUS status =
            RegGetValueW(HKEY_CURRENT_USER, scratch.path().c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, type, nullptr, &size);
        return status == ERROR_SUCCESS ? size : 0xFFFFFFFF;
    }
    bool exists(const std::wstring& below) {
        return callExport("Registry", "keyExists0", {kHkcu, path(below), 0}).asBoolean();
    }

    nativetest::ScratchKey scratch{L"registry"};
};

TEST_F(RegistryNatives, RootCodesOutsideOneToFiveBehaveAsAMissingKey) {
    for (int root : {0, 6}) {
        EXPECT_FALSE(callExport("Registry", "keyExists0", {root, path(), 0}).asBoolean());
        EXPECT_FALSE(callExport("Registry", "createKey0", {root, path(L"x"), 0}).asBoolean());
        EXPECT_TRUE(fakejni::isNull(callExport("Registry", "getValue0", {root, path(), nullptr, 0}).asObject()));
        EXPECT_TRUE(fakejni::isNull(callExport("Registry", "enumSubKeys0", {root, path(), 0}).asObject()));
        callExport("Registry", "deleteKey0", {root, path(), false, 0});
        EXPECT_TRUE(exists(L""));
    }
}

TEST_F(RegistryNatives, CreateMakesEveryMissingKeyOfThePathInEitherView) {
    EXPECT_FALSE(exists(L"a\\b\\c"));
    EXPECT_TRUE(callExport("Registry", "createKey0", {kHkcu, path(L"a\\b\\c"), 0}).asBoolean());
    EXPECT_TRUE(exists(L"a\\b\\c"));
    EXPECT_TRUE(callExport("Registry", "createKey0", {kHkcu, path(L"v64"), KEY_WOW64_64KEY}).asBoolean());
    EXPECT_TRUE(callExport("Registry", "keyExists0", {kHkcu, path(L"v64"), KEY_WOW64_64KEY}).asBoolean());
}

TEST_F(RegistryNatives, EachTypeCodeStoresItsWindowsTypeAndReadsBackAsItsJavaType) {
    ASSERT_TRUE(set(L"text", fakejni::newString(L"Grüße"), 1));
    ASSERT_TRUE(set(L"expand", fakejni::newString(L"%TEMP%\\x"), 5));
    ASSERT_TRUE(set(L"number", fakejni::newInteger(-2), 2));
    ASSERT_TRUE(set(L"list", fakejni::newStringArray({L"one", L"two"}), 3));
    ASSERT_TRUE(set(L"bytes", fakejni::newByteArray({1, 0, -1}), 4));

    DWORD type = 0;
    EXPECT_EQ(12u, storedSize(L"text", &type));  // five characters and the NUL
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(L"Grüße", get(L"text").asText());

    jobject expand = get(L"expand").asObject();
    ASSERT_EQ("com/tavra/api/windows/WinRegistry$ExpandString", fakejni::className(expand));
    EXPECT_EQ(L"%TEMP%\\x", fakejni::constructorArgs(expand).at(0).asText());  // not expanded

    jobject number = get(L"number").asObject();
    ASSERT_EQ("java/lang/Integer", fakejni::className(number));
    EXPECT_EQ(-2, fakejni::boxedValue(number).asInt());

    EXPECT_EQ(std::vector<std::wstring>({L"one", L"two"}), fakejni::texts(get(L"list").asObject()));
    storedSize(L"list", &type);
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
    EXPECT_EQ(std::vector<jbyte>({1, 0, -1}), fakejni::bytes(get(L"bytes").asObject()));
}

TEST_F(RegistryNatives, ANullValueNameAddressesTheDefaultValue) {
    ASSERT_TRUE(callExport("Registry", "setValue0", {kHkcu, path(), nullptr, fakejni::newString(L"default"), 1, 0})
                    .asBoolean());
    EXPECT_EQ(L"default", get(nullptr).asText());
    EXPECT_EQ(std::vector<std::wstring>({L""}), fakejni::texts(callExport("Registry", "enumValues0", {kHkcu, path(), 0}).asObject()));
    callExport("Registry", "deleteValue0", {kHkcu, path(), nullptr, 0});
    EXPECT_TRUE(fakejni::isNull(get(nullptr).asObject()));
}

TEST_F(RegistryNatives, StringDataIsReadOnlyAsFarAsItExists) {
    const wchar_t text[] = L"abc";
    setRaw(L"unterminated", REG_SZ, text, 6);
    setRaw(L"terminated", REG_SZ, text, 8);
    setRaw(L"odd", REG_SZ, text, 7);  // half a unit after "abc"
    setRaw(L"empty", REG_SZ, text, 0);
    const wchar_t padded[8] = L"abc";  // NULs after the text, as from a whole buffer
    setRaw(L"padded", REG_SZ, padded, sizeof padded);
    setRaw(L"padded expand", REG_EXPAND_SZ, padded, sizeof padded);
    EXPECT_EQ(L"abc", get(L"padded").asText());
    EXPECT_EQ(L"abc", fakejni::constructorArgs(get(L"padded expand").asObject()).at(0).asText());
    EXPECT_EQ(L"abc", get(L"unterminated").asText());
    EXPECT_EQ(L"abc", get(L"terminated").asText());
    EXPECT_EQ(L"abc", get(L"odd").asText());
    EXPECT_EQ(L"", get(L"empty").asText());
}

TEST_F(RegistryNatives, MultiStringDataWithoutItsFinalNulsKeepsItsLastString) {
    const wchar_t full[] = L"a\0bc\0";       // and the literal's NUL: 6 units
    const wchar_t cut[] = L"a\0bc";          // 4 units, no NUL after "bc"
    setRaw(L"full", REG_MULTI_SZ, full, 12);
    setRaw(L"cut", REG_MULTI_SZ, cut, 8);
    setRaw(L"odd", REG_MULTI_SZ, cut, 7);    // "bc" loses half a unit: "b"
    EXPECT_EQ(std::vector<std::wstring>({L"a", L"bc"}), fakejni::texts(get(L"full").asObject()));
    EXPECT_EQ(std::vector<std::wstring>({L"a", L"bc"}), fakejni::texts(get(L"cut").asObject()));
    EXPECT_EQ(std::vector<std::wstring>({L"a", L"b"}), fakejni::texts(get(L"odd").asObject()));
}

// On a full heap names and strings are left out, a string value is null,
// and nothing stays pending.
TEST_F(RegistryNatives, OnAFullHeapWhatCouldNotBeMadeIsLeftOutWithNothingPending) {
    for (const wchar_t* name : {L"a", L"b", L"c"}) callExport("Registry", "createKey0", {kHkcu, path(name), 0});
    const wchar_t parts[] = L"x\0y\0z\0";
    setRaw(L"multi", REG_MULTI_SZ, parts, sizeof parts);
    setRaw(L"text", REG_SZ, L"t", 4);
    jstring key = path();
    jstring multi = fakejni::newString(L"multi"), text = fakejni::newString(L"text");

    fakejni::failStringsAfter(1);
    EXPECT_EQ(1u, fakejni::texts(callExport("Registry", "enumSubKeys0", {kHkcu, key, 0}).asObject()).size());
    fakejni::failStringsAfter(2);
    EXPECT_EQ(std::vector<std::wstring>({L"x", L"y"}),
              fakejni::texts(callExport("Registry", "getValue0", {kHkcu, key, multi, 0}).asObject()));
    fakejni::failStringsAfter(0);
    EXPECT_TRUE(fakejni::isNull(callExport("Registry", "getValue0", {kHkcu, key, text, 0}).asObject()));
    EXPECT_EQ(std::vector<std::string>(), nativetest::callsWithAnExceptionPending());
}

TEST_F(RegistryNatives, TypesWithoutAJavaFormAndMissingValuesGiveNull) {
    unsigned long long big = 0x100000000ull;
    setRaw(L"qword", REG_QWORD, &big, sizeof big);
    EXPECT_TRUE(fakejni::isNull(get(L"qword").asObject()));
    EXPECT_TRUE(fakejni::isNull(get(L"missing").asObject()));
    EXPECT_TRUE(fakejni::isNull(
        callExport("Registry", "getValue0", {kHkcu, path(L"nokey"), fakejni::newString(L"x"), 0}).asObject()));
}

TEST_F(RegistryNatives, AMultiStringWithAnEmptyElementIsRefusedWhole) {
    EXPECT_FALSE(set(L"list", fakejni::newStringArray({L"a", L"", L"b"}), 3));
    EXPECT_EQ(0xFFFFFFFFu, storedSize(L"list"));
    EXPECT_TRUE(set(L"none", fakejni::newStringArray({}), 3));
    EXPECT_EQ(2u, storedSize(L"none"));
    EXPECT_EQ(0u, fakejni::texts(get(L"none").asObject()).size());
}

TEST_F(RegistryNatives, ValuesAreCutToTheBuffer) {
    std::vector<jbyte> large(200000);
    for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<jbyte>(i);
    ASSERT_TRUE(set(L"binary", fakejni::newByteArray(large), 4));
    EXPECT_EQ(100000u, storedSize(L"binary"));
    std::vector<jbyte> back = fakejni::bytes(get(L"binary").asObject());
    EXPECT_TRUE(std::equal(back.begin(), back.end(), large.begin()));

    ASSERT_TRUE(set(L"long", fakejni::newString(std::wstring(60000, L'x')), 1));
    EXPECT_EQ(100000u, storedSize(L"long"));  // 49999 characters and the NUL
    EXPECT_EQ(49999u, get(L"long").asText().size());
}

TEST_F(RegistryNatives, AValueOfAnotherJavaTypeOrAnUnknownCodeIsRefused) {
    EXPECT_FALSE(set(L"a", fakejni::newInteger(1), 1));
    EXPECT_FALSE(set(L"b", fakejni::newString(L"1"), 2));
    EXPECT_FALSE(set(L"c", fakejni::newString(L"x"), 3));
    EXPECT_FALSE(set(L"d", nullptr, 4));
    EXPECT_FALSE(set(L"e", fakejni::newString(L"x"), 7));
    HKEY key = scratch.open();
    DWORD values = 1;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    EXPECT_EQ(0u, values);
}

TEST_F(RegistryNatives, WithoutTheIntegerClassANumberIsRefusedWithNothingPending) {
    jobject number = fakejni::newInteger(7);
    fakejni::hideClass("java/lang/Integer");
    EXPECT_FALSE(set(L"n", number, 2));
    EXPECT_EQ(std::vector<std::string>(), nativetest::callsWithAnExceptionPending());
}

TEST_F(RegistryNatives, AJavaStringWithANulReachesWindowsCutThere) {
    ASSERT_TRUE(set(L"name", fakejni::newString(std::wstring(L"ab\0cd", 5)), 1));
    ASSERT_TRUE(callExport("Registry", "setValue0",
                           {kHkcu, path(), fakejni::newString(std::wstring(L"other\0tail", 10)),
                            fakejni::newString(L"v"), 1, 0})
                    .asBoolean());
    EXPECT_EQ(L"ab", get(L"name").asText());
    EXPECT_EQ(L"v", get(L"other").asText());
    EXPECT_EQ(4u, storedSize(L"other"));
}

TEST_F(RegistryNatives, OnlyIfEmptyKeepsAKeyWithAValueAndPlainDeleteRemovesTheTree) {
    callExport("Registry", "createKey0", {kHkcu, path(L"tree\\a\\b"), 0});
    callExport("Registry", "createKey0", {kHkcu, path(L"tree\\c"), 0});
    callExport("Registry", "createKey0", {kHkcu, path(L"full"), 0});
    callExport("Registry", "setValue0", {kHkcu, path(L"full"), fakejni::newString(L"v"), fakejni::newString(L"x"), 1, 0});
    callExport("Registry", "createKey0", {kHkcu, path(L"empty"), 0});

    callExport("Registry", "deleteKey0", {kHkcu, path(L"full"), true, 0});
    EXPECT_TRUE(exists(L"full"));
    callExport("Registry", "deleteKey0", {kHkcu, path(L"tree"), true, 0});
    EXPECT_TRUE(exists(L"tree"));
    callExport("Registry", "deleteKey0", {kHkcu, path(L"empty"), true, 0});
    EXPECT_FALSE(exists(L"empty"));
    callExport("Registry", "deleteKey0", {kHkcu, path(L"tree"), false, 0});
    EXPECT_FALSE(exists(L"tree"));
    EXPECT_TRUE(exists(L"full"));
}

// A key its owner may read and delete but not write: "only if empty" still
// looks inside it before deleting anything.
TEST_F(RegistryNatives, OnlyIfEmptyKeepsAFullKeyThatCannotBeWritten) {
    callExport("Registry", "createKey0", {kHkcu, path(L"guarded\\inside"), 0});
    HKEY guarded = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, (scratch.path() + L"\\guarded").c_str(), 0,
                                           WRITE_DAC | KEY_READ, &guarded));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KRSD;;;WD)", SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(guarded, DACL_SECURITY_INFORMATION, descriptor));
    LocalFree(descriptor);
    RegCloseKey(guarded);
    HKEY writable = nullptr;
    LSTATUS denied = RegOpenKeyExW(HKEY_CURRENT_USER, (scratch.path() + L"\\guarded").c_str(), 0,
                                   KEY_READ | KEY_SET_VALUE, &writable);
    if (denied == ERROR_SUCCESS) RegCloseKey(writable);
    ASSERT_EQ(ERROR_ACCESS_DENIED, denied);

    callExport("Registry", "deleteKey0", {kHkcu, path(L"guarded"), true, 0});
    EXPECT_TRUE(exists(L"guarded\\inside"));
    callExport("Registry", "deleteKey0", {kHkcu, path(L"guarded"), false, 0});
    EXPECT_FALSE(exists(L"guarded"));
}

// Windows opens the root itself for a null or empty subkey.  The test lends
// HKCU to the scratch key, so that a native that went ahead would empty the
// scratch key rather than the prefix's hive.
TEST_F(RegistryNatives, AKeyPathThatNamesTheRootDeletesNothing) {
    callExport("Registry", "createKey0", {kHkcu, path(L"kept\\below"), 0});
    HKEY lent = scratch.open();
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, lent));
    callExport("Registry", "deleteKey0", {kHkcu, fakejni::newString(L""), false, 0});
    callExport("Registry", "deleteKey0", {kHkcu, nullptr, false, 0});
    HKEY probe = nullptr;
    LSTATUS lentStillHasIt = RegOpenKeyExW(HKEY_CURRENT_USER, L"kept\\below", 0, KEY_READ, &probe);
    if (probe) RegCloseKey(probe);
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, nullptr));
    RegCloseKey(lent);
    EXPECT_EQ(ERROR_SUCCESS, lentStillHasIt);
    EXPECT_TRUE(exists(L"kept\\below"));
}

// A text the VM cannot copy (a full heap) must not become its empty
// stand-in: as a value name that is the key's default value, as a key path
// the root itself. HKCU is lent to a scratch key for the path's case.
TEST_F(RegistryNatives, ATextTheVmCannotCopyChangesNothing) {
    jstring defaultValue = fakejni::newString(L"kept");
    ASSERT_TRUE(callExport("Registry", "setValue0", {kHkcu, path(), nullptr, defaultValue, 1, 0}).asBoolean());
    jstring key = path(), name = fakejni::newString(L"named"), value = fakejni::newString(L"new");

    fakejni::failCopiesAfter(2);  // the path and the value, not the name
    EXPECT_FALSE(callExport("Registry", "setValue0", {kHkcu, key, name, value, 1, 0}).asBoolean());
    fakejni::failCopiesAfter(1);  // the path, not the name
    callExport("Registry", "deleteValue0", {kHkcu, key, name, 0});
    fakejni::failCopiesAfter(-1);
    Value kept = get(nullptr);
    ASSERT_FALSE(fakejni::isNull(kept.asObject()));
    EXPECT_EQ(L"kept", kept.asText());
    EXPECT_EQ(0xFFFFFFFFu, storedSize(L"named"));

    HKEY lent = scratch.open();
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, lent));
    fakejni::failCopiesAfter(0);
    bool stored = callExport("Registry", "setValue0", {kHkcu, key, name, value, 1, 0}).asBoolean();
    fakejni::failCopiesAfter(-1);
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, nullptr));
    RegCloseKey(lent);
    EXPECT_FALSE(stored);
    EXPECT_EQ(0xFFFFFFFFu, storedSize(L"named"));
    EXPECT_EQ(std::vector<std::string>(), nativetest::callsWithAnExceptionPending());
}

// RegDeleteKeyExW, with the view, only when view flags are given.
std::vector<REGSAM> g_deleteViews;
LSTATUS WINAPI recordingDeleteKeyEx(HKEY parent, LPCWSTR subKey, REGSAM view, DWORD reserved) {
    g_deleteViews.push_back(view);
    return RegDeleteKeyExW(parent, subKey, view, reserved);
}

TEST_F(RegistryNatives, ViewFlagsDeleteEveryKeyOfTheTreeWithRegDeleteKeyEx) {
    g_registryFunctions.deleteKeyEx = recordingDeleteKeyEx;
    g_deleteViews.clear();
    callExport("Registry", "createKey0", {kHkcu, path(L"w\\x\\y"), 0});
    callLinked("Registry", "deleteKey0", {kHkcu, path(L"w"), false, 0});
    EXPECT_TRUE(g_deleteViews.empty());
    EXPECT_FALSE(exists(L"w"));

    callExport("Registry", "createKey0", {kHkcu, path(L"w\\x\\y"), KEY_WOW64_64KEY});
    callLinked("Registry", "deleteKey0", {kHkcu, path(L"w"), false, KEY_WOW64_64KEY});
    EXPECT_EQ(std::vector<REGSAM>({KEY_WOW64_64KEY, KEY_WOW64_64KEY, KEY_WOW64_64KEY}), g_deleteViews);
    EXPECT_FALSE(exists(L"w"));
}

TEST_F(RegistryNatives, EnumerationsListNamesInOrderAndAnEmptyKeyGivesAnEmptyArray) {
    EXPECT_EQ(0u, fakejni::texts(callExport("Registry", "enumSubKeys0", {kHkcu, path(), 0}).asObject()).size());
    EXPECT_EQ(0u, fakejni::texts(callExport("Registry", "enumValues0", {kHkcu, path(), 0}).asObject()).size());
    EXPECT_TRUE(fakejni::isNull(callExport("Registry", "enumValues0", {kHkcu, path(L"missing"), 0}).asObject()));
    for (const wchar_t* name : {L"k1", L"k2", L"k3"}) callExport("Registry", "createKey0", {kHkcu, path(name), 0});
    set(L"v1", fakejni::newString(L"1"), 1);
    set(L"v2", fakejni::newInteger(2), 2);
    EXPECT_EQ(std::vector<std::wstring>({L"k1", L"k2", L"k3"}),
              fakejni::texts(callExport("Registry", "enumSubKeys0", {kHkcu, path(), 0}).asObject()));
    EXPECT_EQ(std::vector<std::wstring>({L"v1", L"v2"}),
              fakejni::texts(callExport("Registry", "enumValues0", {kHkcu, path(), 0}).asObject()));
}

TEST_F(RegistryNatives, ASavedKeyLoadsBackAsAHive) {
    nativetest::ScratchFolder folder;
    std::wstring file = folder.file(L"saved.hiv");
    set(L"kept", fakejni::newString(L"in the hive"), 1);
    callExport("Registry", "createKey0", {kHkcu, path(L"child"), 0});
    ASSERT_TRUE(callExport("Registry", "saveKey0", {kHkcu, path(), fakejni::newString(file), 0}).asBoolean());
    EXPECT_FALSE(callExport("Registry", "saveKey0", {kHkcu, path(L"missing"), fakejni::newString(file + L"2"), 0})
                     .asBoolean());

    ASSERT_TRUE(enableProcessPrivilege(SE_RESTORE_NAME));
    ASSERT_EQ(ERROR_SUCCESS, RegLoadKeyW(HKEY_USERS, L"tvrtest_hive", file.c_str()));
    wchar_t text[64];
    DWORD size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_USERS, L"tvrtest_hive", L"kept", RRF_RT_REG_SZ, nullptr, text, &size));
    EXPECT_STREQ(L"in the hive", text);
    HKEY child = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_USERS, L"tvrtest_hive\\child", 0, KEY_READ, &child));
    if (child) RegCloseKey(child);
    RegUnLoadKeyW(HKEY_USERS, L"tvrtest_hive");
}

// RegRestoreKeyW reports success in Wine without restoring anything: its
// call is checked through the binding.
struct RestoreCall {
    HKEY key;
    std::wstring file;
    DWORD flags;
};
std::vector<RestoreCall> g_restores;
LSTATUS g_restoreResult = ERROR_SUCCESS;
LSTATUS WINAPI recordingRestore(HKEY key, LPCWSTR file, DWORD flags) {
    g_restores.push_back({key, file, flags});
    return g_restoreResult;
}

TEST_F(RegistryNatives, RestoreCreatesTheKeyAndRestoresTheFileIntoIt) {
    auto original = g_registryFunctions.restoreKey;
    g_registryFunctions.restoreKey = recordingRestore;
    g_restores.clear();
    g_restoreResult = ERROR_SUCCESS;
    EXPECT_TRUE(callLinked("Registry", "restoreKey0", {kHkcu, path(L"target"), fakejni::newString(L"C:\\k.hiv"), 0})
                    .asBoolean());
    ASSERT_EQ(1u, g_restores.size());
    EXPECT_NE(nullptr, g_restores[0].key);
    EXPECT_EQ(L"C:\\k.hiv", g_restores[0].file);
    EXPECT_EQ(0u, g_restores[0].flags);
    EXPECT_TRUE(exists(L"target"));

    g_restoreResult = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(callLinked("Registry", "restoreKey0", {kHkcu, path(L"target"), fakejni::newString(L"C:\\k.hiv"), 0})
                     .asBoolean());
    EXPECT_FALSE(callLinked("Registry", "restoreKey0", {0, path(L"target"), fakejni::newString(L"C:\\k.hiv"), 0})
                     .asBoolean());
    EXPECT_EQ(2u, g_restores.size());
    g_registryFunctions.restoreKey = original;
}

struct NotifyCall {
    LONG eventId;
    UINT flags;
    const void* item1;
    const void* item2;
};
std::vector<NotifyCall> g_notifications;
void WINAPI recordingNotify(LONG eventId, UINT flags, LPCVOID item1, LPCVOID item2) {
    g_notifications.push_back({eventId, flags, item1, item2});
}
HINSTANCE WINAPI unusedExecute(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT) { return nullptr; }

TEST_F(RegistryNatives, AssociationChangesAreAnnouncedToTheShell) {
    ShellFunctions original = g_shellFunctions;
    g_shellFunctions.changeNotify = recordingNotify;
    g_shellFunctions.execute = unusedExecute;
    g_notifications.clear();
    callLinked("Registry", "changeNotifyAssociations0", {});
    ASSERT_EQ(1u, g_notifications.size());
    EXPECT_EQ(SHCNE_ASSOCCHANGED, g_notifications[0].eventId);
    EXPECT_EQ(static_cast<UINT>(SHCNF_IDLIST), g_notifications[0].flags);
    EXPECT_EQ(nullptr, g_notifications[0].item1);
    EXPECT_EQ(nullptr, g_notifications[0].item2);
    g_shellFunctions = original;
    // And for real, through shell32.
    callExport("Registry", "changeNotifyAssociations0", {});
}

}  // namespace
