// registerNatives: the classes in table order with one RegisterNatives each,
// stopping at the first class that fails with one message through the log
// callback.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cwchar>
#include <set>

#include "native/frame/RegistrationTable.h"
#include "native/frame/windows/NativeRegistration.h"
#include "tests/natives/NativeTestSupport.h"

namespace {

std::vector<std::wstring> g_logged;

void recordLog(const wchar_t* format, ...) {
    wchar_t text[1024];
    va_list args;
    va_start(args, format);
    _vsnwprintf(text, 1023, format, args);
    va_end(args);
    text[1023] = 0;
    g_logged.push_back(text);
}

void JNICALL placeholder() {}

// Every export is there, except the names in `missing`.
std::set<std::string> g_missing;
void* everyExportBut(void*, const char* name) {
    return g_missing.count(name) ? nullptr : reinterpret_cast<void*>(placeholder);
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        nativetest::resetJni();
        g_logged.clear();
        g_missing.clear();
    }
    void TearDown() override { fakejni::clearException(); }

    bool registerAll() {
        return registerNativeClasses(fakejni::env(), everyExportBut, nullptr, recordLog);
    }
    size_t boundRowsOf(const std::string& cls) {
        size_t n = 0;
        for (const auto& r : fakejni::registrations())
            if (r.className == "com/tavra/runtime/installer/platform/win32/" + cls) ++n;
        return n;
    }
};

TEST_F(Registration, AllClassesPresentBindsEveryRowInTableOrderWithOneCallPerClass) {
    EXPECT_TRUE(registerAll());
    EXPECT_TRUE(g_logged.empty());
    auto bound = fakejni::registrations();
    ASSERT_EQ(79u, bound.size());
    ASSERT_EQ(79u, registrationRowCount());
    size_t calls = 0;
    for (const std::string& line : fakejni::records())
        if (line.rfind("RegisterNatives\t", 0) == 0) ++calls;
    EXPECT_EQ(15u, calls);
    size_t i = 0;
    for (size_t g = 0; g < registrationClassCount(); ++g)
        for (size_t r = 0; r < registrationClasses()[g].rowCount; ++r, ++i) {
            EXPECT_EQ(registrationClasses()[g].rows[r].name, bound[i].name);
            EXPECT_EQ(registrationClasses()[g].rows[r].signature, bound[i].signature);
        }
}

TEST_F(Registration, AMissingClassStopsThereAndEarlierClassesStayRegistered) {
    fakejni::hideClass("com/tavra/runtime/installer/platform/win32/Misc");
    EXPECT_FALSE(registerAll());
    EXPECT_EQ(1u, boundRowsOf("ACLHandling"));
    EXPECT_EQ(1u, boundRowsOf("FileVersion"));
    EXPECT_EQ(7u, boundRowsOf("FolderInfo"));
    EXPECT_EQ(9u, fakejni::registrations().size());
    ASSERT_EQ(1u, g_logged.size());
    EXPECT_EQ(L"could not load class com/tavra/runtime/installer/platform/win32/Misc", g_logged[0]);
}

TEST_F(Registration, AMissingExportRegistersNothingOfItsClass) {
    g_missing.insert("Java_com_tavra_runtime_installer_platform_win32_FolderInfo_getDriveType0");
    EXPECT_FALSE(registerAll());
    EXPECT_EQ(0u, boundRowsOf("FolderInfo"));
    EXPECT_EQ(2u, fakejni::registrations().size());
    ASSERT_EQ(1u, g_logged.size());
    EXPECT_EQ(L"did not find Java_com_tavra_runtime_installer_platform_win32_FolderInfo_getDriveType0", g_logged[0]);
}

TEST_F(Registration, AFailingRegisterNativesIsLoggedWithItsCode) {
    fakejni::hideMethod("com/tavra/runtime/installer/platform/win32/Registry", "getValue0",
                        "(ILjava/lang/String;Ljava/lang/String;I)Ljava/lang/Object;");
    EXPECT_FALSE(registerAll());
    ASSERT_EQ(1u, g_logged.size());
    EXPECT_EQ(L"register com/tavra/runtime/installer/platform/win32/Registry failed -1", g_logged[0]);
    EXPECT_EQ(0u, boundRowsOf("Win32Exec"));
}

// The export of the built library, with its own module handle: every row
// bound to the library's own export of that name, and the export-only
// ShellLink.create0 there too.
TEST_F(Registration, TheBuiltLibraryRegistersEveryNativeThroughItsOwnExports) {
    using Export = jboolean (*)(JNIEnv*, void*, NativeLogCallback);
    auto exported = reinterpret_cast<Export>(GetProcAddress(nativetest::tvrinst(), "registerNatives"));
    ASSERT_NE(nullptr, exported);
    EXPECT_TRUE(exported(fakejni::env(), nativetest::tvrinst(), recordLog));
    EXPECT_TRUE(g_logged.empty());
    ASSERT_EQ(79u, fakejni::registrations().size());
    for (const auto& r : fakejni::registrations()) {
        std::string cls = r.className.substr(r.className.rfind('/') + 1);
        EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(nativetest::tvrinst(),
                                                         nativetest::exportName(cls.c_str(), r.name.c_str()).c_str())),
                  r.fnPtr)
            << r.name;
    }
    EXPECT_NE(nullptr, GetProcAddress(nativetest::tvrinst(), nativetest::exportName("ShellLink", "create0").c_str()));
}

}  // namespace
