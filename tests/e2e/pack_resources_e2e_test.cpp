// Packed launchers with their own icon and version information, read back
// through Windows' own calls (version.dll, shell32) under Wine, and still
// starting: /run against the stub JVM and the service verbs.  The probe,
// which has no resource section, takes its resources in a new section.
#include <gtest/gtest.h>
#include <windows.h>
#include <winver.h>

#include "tests/e2e/E2eSupport.h"
#include "tests/support/runtime/FakeRuntime.h"
#include "tools/pack/Image.h"

namespace {

using GetSizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using GetInfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
using ExtractIconExFn = UINT(WINAPI*)(LPCWSTR, int, HICON*, HICON*, UINT);

// A bitmap icon image: info header (height doubled for the mask), the
// pixels, then the AND mask.
std::vector<uint8_t> bitmapImage(int size, uint16_t bits) {
    std::vector<uint8_t> b(40, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, static_cast<uint32_t>(size));
    put32(8, static_cast<uint32_t>(2 * size));
    b[12] = 1;
    b[14] = static_cast<uint8_t>(bits);
    const size_t stride = (static_cast<size_t>(size) * bits + 31) / 32 * 4;
    if (bits <= 8) b.resize(b.size() + 4 * (1u << bits), 0x40);  // the palette
    for (size_t i = 0; i < stride * static_cast<size_t>(size); ++i) b.push_back(static_cast<uint8_t>(i * 13));
    b.resize(b.size() + (static_cast<size_t>(size) + 31) / 32 * 4 * static_cast<size_t>(size), 0);
    return b;
}

IconSet threeImageIcon() {
    IconSet icon;
    const std::pair<int, uint16_t> images[] = {{16, 32}, {32, 32}, {48, 8}};
    for (const auto& i : images) {
        IconImage image;
        image.width = image.height = static_cast<uint8_t>(i.first);
        image.planes = 1;
        image.bitCount = i.second;
        image.data = bitmapImage(i.first, i.second);
        icon.images.push_back(image);
    }
    return icon;
}

void describeApplication(LauncherDescription& d) {
    d.hasIcon = true;
    std::string error;
    ASSERT_TRUE(parseIconFile(formatIconFile(threeImageIcon()), d.icon, error)) << error;
    d.hasVersion = true;
    const uint16_t file[4] = {3, 2, 2, 0}, product[4] = {3, 2, 0, 0};
    std::copy(file, file + 4, d.version.fileVersion);
    std::copy(product, product + 4, d.version.productVersion);
    d.version.set(VersionField::FileVersion, u"3.2.2.0");
    d.version.set(VersionField::ProductVersion, u"3.2");
    d.version.set(VersionField::ProductName, u"orvane");
    d.version.set(VersionField::CompanyName, u"Orvane Ltd");
    d.version.set(VersionField::FileDescription, u"orvane Service \u00FC");
    d.version.set(VersionField::LegalCopyright, u"\u00A9 2026 Orvane");
    d.version.set(VersionField::OriginalFilename, u"orvane.exe");
    d.version.set(VersionField::InternalName, u"orvane");
}

// The version information of a file through version.dll.
class FileVersion {
public:
    explicit FileVersion(const std::wstring& path) {
        module_ = LoadLibraryW(L"version.dll");
        if (!module_) return;
        auto getSize = reinterpret_cast<GetSizeFn>(GetProcAddress(module_, "GetFileVersionInfoSizeW"));
        auto getInfo = reinterpret_cast<GetInfoFn>(GetProcAddress(module_, "GetFileVersionInfoW"));
        query_ = reinterpret_cast<QueryFn>(GetProcAddress(module_, "VerQueryValueW"));
        DWORD handle = 0;
        const DWORD size = getSize && getInfo && query_ ? getSize(path.c_str(), &handle) : 0;
        if (size == 0) return;
        data_.resize(size);
        if (!getInfo(path.c_str(), 0, size, data_.data())) data_.clear();
    }
    ~FileVersion() {
        if (module_) FreeLibrary(module_);
    }
    bool present() const { return !data_.empty(); }

    const VS_FIXEDFILEINFO* fixed() {
        void* value = nullptr;
        UINT length = 0;
        if (!present() || !query_(data_.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }
    std::wstring text(const std::wstring& key) {
        void* value = nullptr;
        UINT length = 0;
        const std::wstring path = L"\\StringFileInfo\\040904B0\\" + key;
        if (!present() || !query_(data_.data(), path.c_str(), &value, &length)) return L"<missing>";
        return std::wstring(static_cast<const wchar_t*>(value));
    }
    DWORD translation() {
        void* value = nullptr;
        UINT length = 0;
        if (!present() || !query_(data_.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < 4) return 0;
        const WORD* pair = static_cast<const WORD*>(value);
        return (static_cast<DWORD>(pair[0]) << 16) | pair[1];
    }

private:
    HMODULE module_ = nullptr;
    QueryFn query_ = nullptr;
    std::vector<uint8_t> data_;
};

BOOL CALLBACK countName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// Resources of a type in the file, loaded as data.
int resourceCount(const std::wstring& path, LPCWSTR type) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return -1;
    int count = 0;
    EnumResourceNamesW(module, type, countName, reinterpret_cast<LONG_PTR>(&count));
    FreeLibrary(module);
    return count;
}

std::vector<uint8_t> manifestOf(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return bytes;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const uint8_t* data = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    if (data) bytes.assign(data, data + SizeofResource(module, found));
    FreeLibrary(module);
    return bytes;
}

UINT iconGroups(const std::wstring& path) {
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    auto extract = shell ? reinterpret_cast<ExtractIconExFn>(GetProcAddress(shell, "ExtractIconExW")) : nullptr;
    const UINT count = extract ? extract(path.c_str(), -1, nullptr, nullptr, 0) : 0;
    if (shell) FreeLibrary(shell);
    return count;
}

// The width of the large icon that ExtractIconExW makes from the file.
int extractedIconWidth(const std::wstring& path) {
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    auto extract = shell ? reinterpret_cast<ExtractIconExFn>(GetProcAddress(shell, "ExtractIconExW")) : nullptr;
    HICON large = nullptr;
    int width = 0;
    if (extract && extract(path.c_str(), 0, &large, nullptr, 1) >= 1 && large) {
        ICONINFO info{};
        BITMAP bitmap{};
        if (GetIconInfo(large, &info)) {
            if (GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap)) width = bitmap.bmWidth;
            if (info.hbmColor) DeleteObject(info.hbmColor);
            if (info.hbmMask) DeleteObject(info.hbmMask);
        }
        DestroyIcon(large);
    }
    if (shell) FreeLibrary(shell);
    return width;
}

class PackResources : public ::testing::Test {
protected:
    void SetUp() override {
        layOutSampleApplication(dir);
        exe = dir.file(L"bin\\orvane.exe");
        description = sampleDescription();
        describeApplication(description);
        packTo(exe, description);
    }
    void TearDown() override {
        if (serviceInstalled) run(exe, L"/uninstall");  // also after a failed check
        fake_runtime::removeCacheEntriesBelow(dir.path());
    }

    std::wstring jvmFile(const wchar_t* file) { return dir.file(L"jre\\bin\\server\\") + file; }

    ChildResult run(const std::wstring& program, const std::wstring& arguments) {
        ChildOptions options;
        options.environment = {L"TMP=" + dir.file(L"tmp"), L"TEMP=" + dir.file(L"tmp"), L"JAVA_HOME=", L"JDK_HOME=",
                               L"LORIX_JAVA_HOME=", L"TAVRA_JAVA_HOME="};
        options.timeoutMs = 120000;
        return runChild(commandLine(program, arguments), options);
    }

    ScratchDir dir{L"pack_resources"};
    bool serviceInstalled = false;
    std::wstring exe;
    LauncherDescription description;
};

}  // namespace

TEST_F(PackResources, VersionInformationReadsBackThroughVersionDll) {
    FileVersion version(exe);
    ASSERT_TRUE(version.present());
    const VS_FIXEDFILEINFO* fixed = version.fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00030002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00030002u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(version.translation(), 0x040904B0u);
    EXPECT_EQ(version.text(L"FileVersion"), L"3.2.2.0");
    EXPECT_EQ(version.text(L"ProductVersion"), L"3.2");
    EXPECT_EQ(version.text(L"ProductName"), L"orvane");
    EXPECT_EQ(version.text(L"CompanyName"), L"Orvane Ltd");
    EXPECT_EQ(version.text(L"FileDescription"), L"orvane Service \u00FC");
    EXPECT_EQ(version.text(L"LegalCopyright"), L"\u00A9 2026 Orvane");
    EXPECT_EQ(version.text(L"OriginalFilename"), L"orvane.exe");
    EXPECT_EQ(version.text(L"InternalName"), L"orvane");
    EXPECT_EQ(version.text(L"Comments"), L"<missing>");
}

TEST_F(PackResources, IconsAndTheManifestAreResourcesOfThePackedLauncher) {
    EXPECT_EQ(iconGroups(exe), 1u);
    EXPECT_EQ(resourceCount(exe, MAKEINTRESOURCEW(3)), 3);   // RT_ICON
    EXPECT_EQ(resourceCount(exe, MAKEINTRESOURCEW(14)), 1);  // RT_GROUP_ICON
    EXPECT_EQ(resourceCount(exe, MAKEINTRESOURCEW(24)), 1);  // RT_MANIFEST, kept from the generic image
    EXPECT_EQ(extractedIconWidth(exe), GetSystemMetrics(SM_CXICON));

    // The manifest is the generic image's, byte for byte.
    const std::vector<uint8_t> manifest = manifestOf(exe);
    EXPECT_FALSE(manifest.empty());
    EXPECT_EQ(manifest, manifestOf(launcherImagePath()));
}

TEST_F(PackResources, PackedLauncherRunsTheApplication) {
    ChildResult r = run(exe, L"/run a");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    const std::string record = readText(jvmFile(L"jvm.record"));
    EXPECT_NE(record.find("com.orvane.server.ServerMain"), std::string::npos) << record;
    EXPECT_NE(record.find("\"a\"}"), std::string::npos) << record;

    // Packed again onto itself with another icon and version: the resources
    // are rebuilt where they are and the launcher still starts.
    description.icon.images.resize(1);
    description.version.set(VersionField::ProductName, u"orvane 2");
    const std::wstring again = dir.file(L"bin\\again.exe");
    packTo(again, description, exe);
    EXPECT_EQ(resourceCount(again, MAKEINTRESOURCEW(3)), 1);
    EXPECT_EQ(FileVersion(again).text(L"ProductName"), L"orvane 2");
    r = run(again, L"/run");
    EXPECT_EQ(r.exitCode, 0u) << r.err;
}

TEST_F(PackResources, ServiceVerbsOfThePackedLauncher) {
    const std::wstring name = L"Lrx Resources " + std::to_wstring(GetCurrentProcessId());
    setConfigValue(description, 101, narrowUtf8(name));
    packTo(exe, description);
    fake_runtime::writeText(jvmFile(L"jvm.behaviour"), "main wait-stop\n");
    ChildResult r = run(exe, L"/install-demand");
    serviceInstalled = true;
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    EXPECT_EQ(r.out, "Installed service '" + narrowUtf8(name) + "'.\r\n");
    r = run(exe, L"/status");
    EXPECT_EQ(r.out, "Not running.\r\n");
    EXPECT_EQ(r.exitCode, 3u);
    r = run(exe, L"/start");
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    bool running = false;
    for (int i = 0; i < 300 && !running; ++i, Sleep(100))
        running = readText(jvmFile(L"jvm.record")).find("wait-stop") != std::string::npos;
    EXPECT_TRUE(running);
    r = run(exe, L"/stop");
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    r = run(exe, L"/uninstall");
    serviceInstalled = false;
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    EXPECT_NE(r.out.find("Uninstalled service '" + narrowUtf8(name) + "'."), std::string::npos) << r.out;
}

TEST_F(PackResources, ImageWithoutResourcesGetsANewLastSection) {
    const std::wstring probe = dir.file(L"probe.exe");
    packTo(probe, description, probeImagePath());
    EXPECT_EQ(iconGroups(probe), 1u);
    EXPECT_EQ(FileVersion(probe).text(L"ProductName"), L"orvane");
    ChildResult r = run(probe, L"");
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(r.out.find("result=0"), std::string::npos) << r.out;

    // The packed probe reads back as the description, and packs to itself.
    LauncherDescription back;
    std::string error;
    const std::vector<uint8_t> bytes = readBytes(probe);
    ASSERT_TRUE(readLauncher(bytes, back, error)) << error;
    EXPECT_TRUE(back.hasIcon);
    EXPECT_TRUE(back.hasVersion);
    EXPECT_EQ(back.icon, description.icon);
    EXPECT_EQ(back.version, description.version);
    std::vector<uint8_t> again;
    ASSERT_TRUE(packLauncher(bytes, back, again, error)) << error;
    EXPECT_EQ(again, bytes);
}
