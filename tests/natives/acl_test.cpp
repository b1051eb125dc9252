// ACLHandling.addACE: entries that Wine keeps on registry keys, read back
// with GetNamedSecurityInfoW, through the export of tvrinst.dll; the entry
// handed to SetEntriesInAclW and the failures of the list calls (which Wine
// never produces, and which it cannot show on files) through doubles in the
// linked copy's bindings.
#include <gtest/gtest.h>

#include "native/shell/windows/ACLHandling.h"
#include "tests/natives/NativeTestSupport.h"

#include <fcntl.h>
#include <io.h>
#include <sddl.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using nativetest::callExport;
using nativetest::callLinked;

const DWORD kInheritFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

jstring jstr(const std::wstring& text) { return fakejni::newString(text); }

// What the natives print to standard output meanwhile.
class StdoutCapture {
public:
    StdoutCapture() {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"tvr", 0, path_);
        fflush(stdout);
        saved_ = _dup(1);
        int file = _wopen(path_, _O_CREAT | _O_TRUNC | _O_RDWR | _O_BINARY, _S_IREAD | _S_IWRITE);
        _dup2(file, 1);
        _close(file);
    }
    ~StdoutCapture() { finish(); }
    std::string finish() {
        if (saved_ < 0) return text_;
        fflush(stdout);
        _dup2(saved_, 1);
        _close(saved_);
        saved_ = -1;
        FILE* file = _wfopen(path_, L"rb");
        for (int c; file && (c = fgetc(file)) != EOF;)
            if (c != '\r') text_ += static_cast<char>(c);
        if (file) fclose(file);
        DeleteFileW(path_);
        return text_;
    }

private:
    wchar_t path_[MAX_PATH];
    int saved_ = -1;
    std::string text_;
};

std::wstring sidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return L"<bad sid>";
    std::wstring result = text;
    LocalFree(text);
    return result;
}

struct AllowEntry {
    std::wstring sid;
    DWORD mask;
    DWORD flags;
    bool operator==(const AllowEntry& other) const {
        return sid == other.sid && mask == other.mask && flags == other.flags;
    }
};

std::vector<AllowEntry> allowEntriesOf(const std::wstring& object) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::vector<AllowEntry> entries;
    if (GetNamedSecurityInfoW(object.c_str(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return entries;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        entries.push_back({sidText(&ace->SidStart), ace->Mask, ace->Header.AceFlags});
    }
    LocalFree(descriptor);
    return entries;
}

// The entry as it is stored: Windows may split an inheritable entry into one
// for the object itself (rights mapped) and one inherited only (as given).
bool holdsEntry(const std::vector<AllowEntry>& entries, const std::wstring& sid, DWORD mask) {
    for (const AllowEntry& entry : entries)
        if (entry.sid == sid && entry.mask == mask && (entry.flags & kInheritFlags) == kInheritFlags) return true;
    return false;
}

class AclOnWine : public ::testing::Test {
protected:
    void SetUp() override { nativetest::resetJni(); }
    bool addEntry(const std::wstring& object, bool registryKey, bool read, bool write, bool execute, bool all,
                  int kind, const wchar_t* account) {
        return callExport("ACLHandling", "addACE",
                          {jstr(object), registryKey, read, write, execute, all, kind,
                           account ? jstr(account) : nullptr})
            .asBoolean();
    }
    nativetest::ScratchKey key_{L"acl"};
    std::wstring object_ = L"CURRENT_USER\\" + key_.path();
};

TEST_F(AclOnWine, EntriesAreMergedIntoTheKeysListAndInherited) {
    EXPECT_TRUE(addEntry(object_, true, false, true, false, false, 0, nullptr));
    EXPECT_TRUE(addEntry(object_, true, true, false, true, false, 1, nullptr));
    std::vector<AllowEntry> entries = allowEntriesOf(object_);
    EXPECT_TRUE(holdsEntry(entries, L"S-1-1-0", GENERIC_WRITE)) << "the earlier entry stays";
    EXPECT_TRUE(holdsEntry(entries, L"S-1-5-11", GENERIC_READ | GENERIC_EXECUTE));
}

TEST_F(AclOnWine, EachTrusteeKindNamesItsSid) {
    EXPECT_TRUE(addEntry(object_, true, false, false, false, true, 3, L"S-1-5-32-545"));
    EXPECT_TRUE(addEntry(object_, true, true, false, false, false, 3, L"Administrators"));
    EXPECT_TRUE(addEntry(object_, true, false, false, true, false, 5, nullptr));
    EXPECT_TRUE(addEntry(object_, true, true, true, false, false, 42, nullptr));
    std::vector<AllowEntry> entries = allowEntriesOf(object_);
    EXPECT_TRUE(holdsEntry(entries, L"S-1-5-32-545", GENERIC_ALL)) << "a SID text is used as it is";
    EXPECT_TRUE(holdsEntry(entries, L"S-1-5-32-544", GENERIC_READ)) << "an account name is looked up";
    EXPECT_TRUE(holdsEntry(entries, L"S-1-2-547", GENERIC_EXECUTE));
    EXPECT_TRUE(holdsEntry(entries, L"S-1-1-0", GENERIC_READ | GENERIC_WRITE)) << "other kinds grant Everyone";
}

TEST_F(AclOnWine, AnUnknownOrMissingAccountLeavesTheListAlone) {
    std::vector<AllowEntry> before = allowEntriesOf(object_);
    StdoutCapture output;
    EXPECT_FALSE(addEntry(object_, true, true, true, true, true, 3, L"tvr_no_such_account"));
    EXPECT_FALSE(addEntry(object_, true, true, true, true, true, 3, nullptr));
    EXPECT_FALSE(addEntry(object_, true, true, true, true, true, 3, L""));
    EXPECT_EQ("", output.finish());
    EXPECT_EQ(before, allowEntriesOf(object_));
}

// Gives the key a NULL DACL: no list at all, so everyone has full access.
bool openToEveryone(HKEY key) {
    SECURITY_DESCRIPTOR descriptor;
    return InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE) &&
           RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
}

// 1: the object has a NULL DACL, 0: it has a list, -1: it cannot be read.
int hasNullDacl(const std::wstring& object) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(object.c_str(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return -1;
    LocalFree(descriptor);
    return dacl ? 0 : 1;
}

TEST_F(AclOnWine, AKeyOpenToEveryoneStaysOpenToEveryone) {
    HKEY key = key_.open();
    ASSERT_NE(nullptr, key);
    bool opened = openToEveryone(key);
    RegCloseKey(key);
    ASSERT_TRUE(opened);
    ASSERT_EQ(1, hasNullDacl(object_));
    EXPECT_TRUE(addEntry(object_, true, true, false, false, false, 1, nullptr));
    EXPECT_EQ(1, hasNullDacl(object_)) << "a list of the new entry alone would shut everyone else out";
}

TEST_F(AclOnWine, AMissingObjectIsReportedWithItsErrorAndPath) {
    nativetest::ScratchFolder folder;
    std::wstring missing = folder.file(L"missing.txt");
    StdoutCapture output;
    EXPECT_FALSE(addEntry(missing, false, true, false, false, false, 0, nullptr));
    std::string narrowPath(missing.begin(), missing.end());
    EXPECT_EQ("GetNamedSecurityInfo Error 2 " + narrowPath + "\n", output.finish());
}

TEST_F(AclOnWine, ANullPathIsAnInvalidParameterWithoutAMessage) {
    StdoutCapture output;
    EXPECT_FALSE(callExport("ACLHandling", "addACE", {nullptr, false, true, false, false, false, 0, nullptr})
                     .asBoolean());
    EXPECT_EQ("", output.finish());
}

// ---- doubles of the list calls -------------------------------------------------

struct ListScript {
    DWORD getResult = ERROR_SUCCESS, mergeResult = ERROR_SUCCESS, setResult = ERROR_SUCCESS;
    std::vector<std::wstring> calls;
    EXPLICIT_ACCESS_W entry = {};
    std::wstring trustee;
    ACL currentList = {};
    bool nullList = false;  // the object has a NULL DACL
    PACL mergedList = nullptr;
    int allocations = 0;
};
ListScript g_lists;

std::wstring typeName(SE_OBJECT_TYPE type) {
    return type == SE_FILE_OBJECT ? L"file" : type == SE_REGISTRY_KEY ? L"key" : L"other";
}

DWORD WINAPI fakeGetNamedSecurityInfo(LPCWSTR object, SE_OBJECT_TYPE type, SECURITY_INFORMATION info, PSID* owner,
                                      PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) {
    g_lists.calls.push_back(L"Get " + std::wstring(object) + L" " + typeName(type) + L" " + std::to_wstring(info) +
                            (owner || group || sacl ? L" more" : L""));
    if (g_lists.getResult != ERROR_SUCCESS) return g_lists.getResult;
    *descriptor = LocalAlloc(LMEM_ZEROINIT, 64);
    *dacl = g_lists.nullList ? nullptr : &g_lists.currentList;
    return ERROR_SUCCESS;
}

DWORD WINAPI fakeSetEntriesInAcl(ULONG count, PEXPLICIT_ACCESS_W entries, PACL current, PACL* merged) {
    g_lists.calls.push_back(L"Merge " + std::to_wstring(count) +
                            (current == &g_lists.currentList ? L" current" : L" other"));
    g_lists.entry = entries[0];
    g_lists.trustee = sidText(static_cast<PSID>(static_cast<void*>(entries[0].Trustee.ptstrName)));
    if (g_lists.mergeResult != ERROR_SUCCESS) return g_lists.mergeResult;
    *merged = g_lists.mergedList = static_cast<PACL>(LocalAlloc(LMEM_ZEROINIT, sizeof(ACL)));
    return ERROR_SUCCESS;
}

DWORD WINAPI fakeSetNamedSecurityInfo(LPWSTR object, SE_OBJECT_TYPE type, SECURITY_INFORMATION info, PSID owner,
                                      PSID group, PACL dacl, PACL sacl) {
    g_lists.calls.push_back(L"Set " + std::wstring(object) + L" " + typeName(type) + L" " + std::to_wstring(info) +
                            (owner || group || sacl ? L" more" : L"") +
                            (dacl == g_lists.mergedList ? L" merged" : L" other"));
    return g_lists.setResult;
}

class AclLists : public ::testing::Test {
protected:
    void SetUp() override {
        nativetest::resetJni();
        saved_ = g_aclFunctions;
        g_lists = ListScript();
        g_aclFunctions = {fakeGetNamedSecurityInfo, fakeSetEntriesInAcl, fakeSetNamedSecurityInfo};
    }
    void TearDown() override { g_aclFunctions = saved_; }
    bool addEntry(bool read, bool write, bool execute, bool all, int kind = 1) {
        return callLinked("ACLHandling", "addACE",
                          {jstr(L"C:\\app\\data"), false, read, write, execute, all, kind, nullptr})
            .asBoolean();
    }

private:
    AclFunctions saved_;
};

TEST_F(AclLists, AFileGetsOneInheritableGrantForTheTrusteesSid) {
    EXPECT_TRUE(addEntry(true, false, true, false));
    EXPECT_EQ((std::vector<std::wstring>{L"Get C:\\app\\data file 4", L"Merge 1 current",
                                         L"Set C:\\app\\data file 4 merged"}),
              g_lists.calls);
    EXPECT_EQ(static_cast<DWORD>(GENERIC_READ | GENERIC_EXECUTE), g_lists.entry.grfAccessPermissions);
    EXPECT_EQ(GRANT_ACCESS, g_lists.entry.grfAccessMode);
    EXPECT_EQ(kInheritFlags, g_lists.entry.grfInheritance);
    EXPECT_EQ(TRUSTEE_IS_SID, g_lists.entry.Trustee.TrusteeForm);
    EXPECT_EQ(TRUSTEE_IS_WELL_KNOWN_GROUP, g_lists.entry.Trustee.TrusteeType);
    EXPECT_EQ(L"S-1-5-11", g_lists.trustee);
}

TEST_F(AclLists, TheFlagsMakeTheMaskAndNoFlagGrantsNothing) {
    EXPECT_TRUE(addEntry(false, false, false, false));
    EXPECT_EQ(0u, g_lists.entry.grfAccessPermissions);
    EXPECT_TRUE(addEntry(true, true, true, true, 5));
    EXPECT_EQ(static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL),
              g_lists.entry.grfAccessPermissions);
    EXPECT_EQ(L"S-1-2-547", g_lists.trustee);
}

TEST_F(AclLists, AFailingMergeOrWriteIsReportedAndGivesFalse) {
    g_lists.mergeResult = ERROR_INVALID_ACL;
    {
        StdoutCapture output;
        EXPECT_FALSE(addEntry(true, false, false, false));
        EXPECT_EQ("SetEntriesInAcl Error 1336\n", output.finish());
    }
    EXPECT_EQ(2u, g_lists.calls.size()) << "nothing is written";
    g_lists = ListScript();
    g_lists.setResult = ERROR_ACCESS_DENIED;
    StdoutCapture output;
    EXPECT_FALSE(addEntry(true, false, false, false));
    EXPECT_EQ("SetNamedSecurityInfo Error 5\n", output.finish());
}

TEST_F(AclLists, AnObjectWithoutAListIsOpenToEveryoneAndLeftSo) {
    // A list of the new entry alone would shut everyone else out.
    g_lists.nullList = true;
    StdoutCapture output;
    EXPECT_TRUE(addEntry(true, false, false, false));
    EXPECT_EQ("", output.finish());
    EXPECT_EQ((std::vector<std::wstring>{L"Get C:\\app\\data file 4"}), g_lists.calls);
}

}  // namespace
