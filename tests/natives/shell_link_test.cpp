// ShellLink natives: shortcuts written through the shell's link object and
// read back with IShellLinkW and IPersistFile::Load; through the linked
// copy's binding, a recording link object shows the calls that Wine's own
// ignores (the data list flags) and the failure paths; shell notifications
// through the shared shell binding.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "native/frame/windows/ShellBinding.h"
#include "native/shell/windows/ShellLink.h"
#include "tests/natives/NativeTestSupport.h"

namespace {

using fakejni::newString;

jbyteArray bytesOf(const std::string& text) { return fakejni::newByteArray(std::vector<jbyte>(text.begin(), text.end())); }

// UTF-16LE bytes of the text, without a terminator unless the text has one.
jbyteArray utf16BytesOf(const std::wstring& text) {
    std::vector<jbyte> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<jbyte>(c & 0xFF));
        bytes.push_back(static_cast<jbyte>(c >> 8));
    }
    return fakejni::newByteArray(bytes);
}

struct LinkContents {
    std::wstring target, arguments, workingDirectory, description, iconFile;
    int iconIndex = -1;
    DWORD dataFlags = 0;
};

// What the shell reads from the shortcut file.
bool readLink(const std::wstring& file, LinkContents* out) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* persist = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
              SUCCEEDED(persist->Load(file.c_str(), STGM_READ));
    if (ok) {
        wchar_t text[1024];
        link->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
        out->target = text;
        link->GetArguments(text, 1024);
        out->arguments = text;
        link->GetWorkingDirectory(text, 1024);
        out->workingDirectory = text;
        link->GetDescription(text, 1024);
        out->description = text;
        link->GetIconLocation(text, 1024, &out->iconIndex);
        out->iconFile = text;
    }
    if (persist) persist->Release();
    link->Release();
    return ok;
}

// A 32-bit word of the 76-byte header of a shell link file: LinkFlags at
// 0x14, ShowCommand at 0x3C.
DWORD headerWord(const std::wstring& file, size_t offset) {
    FILE* f = _wfopen(file.c_str(), L"rb");
    if (!f) return 0;
    unsigned char header[0x4C] = {};
    size_t n = fread(header, 1, sizeof header, f);
    fclose(f);
    if (n < sizeof header || offset + 4 > sizeof header) return 0;
    return header[offset] | header[offset + 1] << 8 | header[offset + 2] << 16 |
           static_cast<DWORD>(header[offset + 3]) << 24;
}

DWORD headerFlags(const std::wstring& file) { return headerWord(file, 0x14); }

bool fileExists(const std::wstring& file) { return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; }

class ShellLinkNatives : public ::testing::Test {
protected:
    void SetUp() override {
        nativetest::resetJni();
        EXPECT_TRUE(nativetest::callExport("ShellLink", "initialize0", {}).asBoolean());
    }
    void TearDown() override {
        EXPECT_TRUE(nativetest::callExport("ShellLink", "uninitialize", {}).asBoolean());
        EXPECT_EQ(0u, fakejni::openBuffers());
    }

    bool createWide(const std::wstring& file, const wchar_t* icon, const wchar_t* arguments, bool runAs,
                    const wchar_t* description, int show) {
        auto text = [](const wchar_t* s) -> jobject { return s ? static_cast<jobject>(newString(s)) : nullptr; };
        return nativetest::callExport("ShellLink", "createWide0",
                                      {newString(file), newString(L"C:\\windows\\notepad.exe"),
                                       newString(L"C:\\windows\\temp"), text(icon), text(arguments), runAs,
                                       text(description), show})
            .asBoolean();
    }

    nativetest::ScratchFolder folder_;
};

TEST_F(ShellLinkNatives, EveryFieldIsWrittenAndReadBack) {
    std::wstring file = folder_.file(L"full.lnk");
    ASSERT_TRUE(createWide(file, L"C:\\windows\\system32\\shell32.dll", L"/a \"b c\"", false, L"A description",
                           SW_SHOWMINNOACTIVE));
    LinkContents link;
    ASSERT_TRUE(readLink(file, &link));
    EXPECT_EQ(L"C:\\windows\\notepad.exe", link.target);
    EXPECT_EQ(L"/a \"b c\"", link.arguments);
    EXPECT_EQ(L"C:\\windows\\temp", link.workingDirectory);
    EXPECT_EQ(L"A description", link.description);
    EXPECT_EQ(L"C:\\windows\\system32\\shell32.dll", link.iconFile);
    EXPECT_EQ(0, link.iconIndex);
    // Wine's Load does not restore the show command; the file holds it.
    EXPECT_EQ(static_cast<DWORD>(SW_SHOWMINNOACTIVE), headerWord(file, 0x3C));
}

TEST_F(ShellLinkNatives, AbsentOptionalFieldsStayEmpty) {
    std::wstring file = folder_.file(L"bare.lnk");
    ASSERT_TRUE(createWide(file, nullptr, nullptr, false, nullptr, SW_SHOWMAXIMIZED));
    LinkContents link;
    ASSERT_TRUE(readLink(file, &link));
    EXPECT_EQ(L"C:\\windows\\notepad.exe", link.target);
    EXPECT_EQ(L"C:\\windows\\temp", link.workingDirectory);
    EXPECT_EQ(L"", link.arguments);
    EXPECT_EQ(L"", link.description);
    EXPECT_EQ(L"", link.iconFile);
    EXPECT_EQ(static_cast<DWORD>(SW_SHOWMAXIMIZED), headerWord(file, 0x3C));
    EXPECT_EQ(0u, headerFlags(file) & SLDF_RUNAS_USER);
}

TEST_F(ShellLinkNatives, RunAsAdministratorSucceedsAndSaves) {
    // Wine's link object accepts the data list flags but does not save
    // them (its header keeps 0x2000 clear); the recording link below shows
    // the calls.
    std::wstring file = folder_.file(L"admin.lnk");
    ASSERT_TRUE(createWide(file, nullptr, L"-x", true, nullptr, SW_SHOWNORMAL));
    LinkContents link;
    ASSERT_TRUE(readLink(file, &link));
    EXPECT_EQ(L"-x", link.arguments);
    EXPECT_NE(0u, headerFlags(file) & SLDF_HAS_ARGS);
}

TEST_F(ShellLinkNatives, TheAnsiVariantReadsEachArrayOnlyAsFarAsItGoes) {
    std::wstring file = folder_.file(L"ansi.lnk");
    // Target and arguments end in their NUL; the others do not.
    bool created = nativetest::callExport("ShellLink", "create0",
                                          {newString(file), bytesOf(std::string("C:\\windows\\notepad.exe", 23) + '\0'),
                                           bytesOf("C:\\windows"), bytesOf("C:\\windows\\system32\\shell32.dll"),
                                           bytesOf(std::string("--ansi\0ignored", 14)), false, bytesOf("ANSI link")})
                       .asBoolean();
    ASSERT_TRUE(created);
    LinkContents link;
    ASSERT_TRUE(readLink(file, &link));
    EXPECT_EQ(L"C:\\windows\\notepad.exe", link.target);
    EXPECT_EQ(L"C:\\windows", link.workingDirectory);
    EXPECT_EQ(L"C:\\windows\\system32\\shell32.dll", link.iconFile);
    EXPECT_EQ(L"--ansi", link.arguments);
    EXPECT_EQ(L"ANSI link", link.description);
}

TEST_F(ShellLinkNatives, TheAnsiVariantLeavesOutNullArrays) {
    std::wstring file = folder_.file(L"ansi bare.lnk");
    ASSERT_TRUE(nativetest::callExport("ShellLink", "create0",
                                       {newString(file), bytesOf("C:\\windows\\notepad.exe"), bytesOf("C:\\"), nullptr,
                                        nullptr, false, nullptr})
                    .asBoolean());
    LinkContents link;
    ASSERT_TRUE(readLink(file, &link));
    EXPECT_EQ(L"", link.arguments);
    EXPECT_EQ(L"", link.description);
    EXPECT_EQ(L"", link.iconFile);
}

TEST_F(ShellLinkNatives, InitialiseAndUninitialiseAreTrueWhateverComSays) {
    // A second initialisation reports S_FALSE; both still answer true.
    EXPECT_TRUE(nativetest::callExport("ShellLink", "initialize0", {}).asBoolean());
    EXPECT_TRUE(nativetest::callExport("ShellLink", "uninitialize", {}).asBoolean());
}

TEST(ShellLinkWithoutCom, CreatingALinkBeforeComIsInitialisedFails) {
    nativetest::resetJni();
    nativetest::ScratchFolder folder;
    std::wstring file = folder.file(L"nocom.lnk");
    bool created = true;
    bool implicitApartment = false;
    std::thread uninitialised([&] {
        // Where another thread of the process keeps a multithreaded
        // apartment, this thread belongs to it implicitly.
        APTTYPE type;
        APTTYPEQUALIFIER qualifier;
        implicitApartment = SUCCEEDED(CoGetApartmentType(&type, &qualifier));
        if (implicitApartment) return;
        created = nativetest::callExport("ShellLink", "createWide0",
                                         {newString(file), newString(L"C:\\windows\\notepad.exe"),
                                          newString(L"C:\\"), nullptr, nullptr, false, nullptr, SW_SHOWNORMAL})
                      .asBoolean();
    });
    uninitialised.join();
    if (implicitApartment) GTEST_SKIP() << "a multithreaded apartment of another thread is in the process";
    EXPECT_FALSE(created);
    EXPECT_FALSE(fileExists(file));
}

// ---- apartments of another owner -------------------------------------------------

// Whether the calling thread is still in a COM apartment that can make a
// link object.
bool apartmentStillWorks() {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    if (FAILED(CoGetApartmentType(&type, &qualifier))) return false;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    link->Release();
    return true;
}

// The thread's owner initialises COM with the mode given, the natives run
// in between, then the owner checks its apartment and ends it.
bool ownersApartmentSurvives(DWORD ownerMode, int initialisations, int uninitialisations) {
    nativetest::resetJni();
    bool survives = false;
    std::thread owner([&] {
        if (FAILED(CoInitializeEx(nullptr, ownerMode))) return;
        for (int i = 0; i < initialisations; ++i)
            EXPECT_TRUE(nativetest::callExport("ShellLink", "initialize0", {}).asBoolean());
        for (int i = 0; i < uninitialisations; ++i)
            EXPECT_TRUE(nativetest::callExport("ShellLink", "uninitialize", {}).asBoolean());
        survives = apartmentStillWorks();
        CoUninitialize();
    });
    owner.join();
    return survives;
}

TEST(ShellLinkApartments, AMultithreadedApartmentOfTheCallerIsNotJoinedNorEnded) {
    // CoInitialize answers RPC_E_CHANGED_MODE there: nothing to undo.
    EXPECT_TRUE(ownersApartmentSurvives(COINIT_MULTITHREADED, 1, 1));
}

TEST(ShellLinkApartments, UninitialiseUndoesOnlyTheInitialisationsItMade) {
    // The second initialisation joins the owner's apartment (S_FALSE) and
    // is undone; the extra uninitialisation must not end the owner's.
    EXPECT_TRUE(ownersApartmentSurvives(COINIT_APARTMENTTHREADED, 1, 2));
}

// ---- the recording link object --------------------------------------------------

// A link object that implements the interfaces the natives use, records
// every call in order, and fails where a test tells it to.
class RecordingLink : public IShellLinkW, public IShellLinkA, public IPersistFile, public IShellLinkDataList {
public:
    std::vector<std::wstring> calls;
    LONG references = 1;
    bool noPersistFile = false, noDataList = false;
    HRESULT getFlagsResult = S_OK, setFlagsResult = S_OK, saveResult = S_OK;
    DWORD currentFlags = 0;

    void note(const std::wstring& call) { calls.push_back(call); }
    static std::wstring wide(LPCSTR text) { return text ? std::wstring(text, text + strlen(text)) : L"<null>"; }
    static std::wstring wide(LPCWSTR text) { return text ? text : L"<null>"; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IShellLinkW) *object = static_cast<IShellLinkW*>(this);
        else if (iid == IID_IShellLinkA) *object = static_cast<IShellLinkA*>(this);
        else if (iid == IID_IPersistFile) {
            note(L"QueryInterface IPersistFile");
            if (!noPersistFile) *object = static_cast<IPersistFile*>(this);
        } else if (iid == IID_IShellLinkDataList) {
            note(L"QueryInterface IShellLinkDataList");
            if (!noDataList) *object = static_cast<IShellLinkDataList*>(this);
        }
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--references); }

    // IShellLinkW
    STDMETHODIMP GetPath(LPWSTR, int, WIN32_FIND_DATAW*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDList(PIDLIST_ABSOLUTE*) override { return E_NOTIMPL; }
    STDMETHODIMP SetIDList(PCIDLIST_ABSOLUTE) override { return E_NOTIMPL; }
    STDMETHODIMP GetDescription(LPWSTR, int) override { return E_NOTIMPL; }
    STDMETHODIMP SetDescription(LPCWSTR text) override { return record(L"SetDescription", wide(text)); }
    STDMETHODIMP GetWorkingDirectory(LPWSTR, int) override { return E_NOTIMPL; }
    STDMETHODIMP SetWorkingDirectory(LPCWSTR text) override { return record(L"SetWorkingDirectory", wide(text)); }
    STDMETHODIMP GetArguments(LPWSTR, int) override { return E_NOTIMPL; }
    STDMETHODIMP SetArguments(LPCWSTR text) override { return record(L"SetArguments", wide(text)); }
    STDMETHODIMP GetHotkey(WORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetHotkey(WORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetShowCmd(int*) override { return E_NOTIMPL; }
    STDMETHODIMP SetShowCmd(int show) override { return record(L"SetShowCmd", std::to_wstring(show)); }
    STDMETHODIMP GetIconLocation(LPWSTR, int, int*) override { return E_NOTIMPL; }
    STDMETHODIMP SetIconLocation(LPCWSTR file, int index) override {
        return record(L"SetIconLocation", wide(file) + L"," + std::to_wstring(index));
    }
    STDMETHODIMP SetRelativePath(LPCWSTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Resolve(HWND, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetPath(LPCWSTR text) override { return record(L"SetPath", wide(text)); }

    // IShellLinkA (the calls are recorded with an "A " in front)
    STDMETHODIMP GetPath(LPSTR, int, WIN32_FIND_DATAA*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDescription(LPSTR, int) override { return E_NOTIMPL; }
    STDMETHODIMP SetDescription(LPCSTR text) override { return record(L"A SetDescription", wide(text)); }
    STDMETHODIMP GetWorkingDirectory(LPSTR, int) override { return E_NOTIMPL; }
    STDMETHODIMP SetWorkingDirectory(LPCSTR text) override { return record(L"A SetWorkingDirectory", wide(text)); }
    STDMETHODIMP GetArguments(LPSTR, int) override { return E_NOTIMPL; }
    STDMETHODIMP SetArguments(LPCSTR text) override { return record(L"A SetArguments", wide(text)); }
    STDMETHODIMP GetIconLocation(LPSTR, int, int*) override { return E_NOTIMPL; }
    STDMETHODIMP SetIconLocation(LPCSTR file, int index) override {
        return record(L"A SetIconLocation", wide(file) + L"," + std::to_wstring(index));
    }
    STDMETHODIMP SetRelativePath(LPCSTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetPath(LPCSTR text) override { return record(L"A SetPath", wide(text)); }

    // IPersistFile
    STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP IsDirty() override { return E_NOTIMPL; }
    STDMETHODIMP Load(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Save(LPCOLESTR file, BOOL remember) override {
        note(L"Save " + wide(file) + L" " + std::to_wstring(remember));
        return saveResult;
    }
    STDMETHODIMP SaveCompleted(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP GetCurFile(LPOLESTR*) override { return E_NOTIMPL; }

    // IShellLinkDataList
    STDMETHODIMP AddDataBlock(void*) override { return E_NOTIMPL; }
    STDMETHODIMP CopyDataBlock(DWORD, void**) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveDataBlock(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetFlags(DWORD* flags) override {
        note(L"GetFlags");
        *flags = currentFlags;
        return getFlagsResult;
    }
    STDMETHODIMP SetFlags(DWORD flags) override {
        wchar_t text[32];
        swprintf(text, 32, L"SetFlags 0x%lx", flags);
        note(text);
        return setFlagsResult;
    }

private:
    HRESULT record(const wchar_t* name, const std::wstring& value) {
        note(std::wstring(name) + L" " + value);
        return S_OK;
    }
};

RecordingLink* g_link = nullptr;
std::wstring g_created;

HRESULT WINAPI createRecordingLink(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object) {
    g_created = std::wstring(classId == CLSID_ShellLink ? L"ShellLink" : L"?") + (outer ? L" outer" : L"") +
                L" context " + std::to_wstring(context) +
                (iid == IID_IShellLinkW ? L" W" : iid == IID_IShellLinkA ? L" A" : L" ?");
    if (!g_link) return REGDB_E_CLASSNOTREG;
    return g_link->QueryInterface(iid, object);
}

class ShellLinkCalls : public ::testing::Test {
protected:
    void SetUp() override {
        nativetest::resetJni();
        saved_ = g_shellLinkFunctions;
        g_shellLinkFunctions.createInstance = createRecordingLink;
        g_link = &link_;
        g_created.clear();
    }
    void TearDown() override {
        g_shellLinkFunctions = saved_;
        g_link = nullptr;
        EXPECT_EQ(1, link_.references) << "every interface obtained is released";
        EXPECT_EQ(0u, fakejni::openBuffers());
    }

    bool createWide(bool runAs, bool withOptional = true) {
        return nativetest::callLinked("ShellLink", "createWide0",
                                      {newString(L"C:\\l.lnk"), newString(L"C:\\t.exe"), newString(L"C:\\w"),
                                       withOptional ? newString(L"C:\\i.ico") : nullptr,
                                       withOptional ? newString(L"-a") : nullptr, runAs,
                                       withOptional ? newString(L"d") : nullptr, 3})
            .asBoolean();
    }
    std::vector<std::wstring> calls() const { return link_.calls; }

    RecordingLink link_;
    ShellLinkFunctions saved_;
};

TEST_F(ShellLinkCalls, FieldsAreSetInTheirOrderThenSaved) {
    ASSERT_TRUE(createWide(false));
    EXPECT_EQ(L"ShellLink context 1 W", g_created);
    std::vector<std::wstring> expected = {L"SetPath C:\\t.exe",       L"SetWorkingDirectory C:\\w",
                                          L"SetIconLocation C:\\i.ico,0", L"SetArguments -a",
                                          L"SetDescription d",        L"SetShowCmd 3",
                                          L"QueryInterface IPersistFile", L"Save C:\\l.lnk 1"};
    EXPECT_EQ(expected, calls());
}

TEST_F(ShellLinkCalls, NullOptionalFieldsAreNotSet) {
    ASSERT_TRUE(createWide(false, false));
    std::vector<std::wstring> expected = {L"SetPath C:\\t.exe", L"SetWorkingDirectory C:\\w", L"SetShowCmd 3",
                                          L"QueryInterface IPersistFile", L"Save C:\\l.lnk 1"};
    EXPECT_EQ(expected, calls());
}

TEST_F(ShellLinkCalls, RunAsAdministratorAddsItsFlagToTheCurrentOnes) {
    link_.currentFlags = SLDF_HAS_ARGS | SLDF_UNICODE;
    ASSERT_TRUE(createWide(true));
    std::vector<std::wstring> all = calls();
    ASSERT_LE(4u, all.size());
    std::vector<std::wstring> tail(all.end() - 4, all.end());
    std::vector<std::wstring> expected = {L"QueryInterface IShellLinkDataList", L"GetFlags", L"SetFlags 0x20a0",
                                          L"Save C:\\l.lnk 1"};
    EXPECT_EQ(expected, tail);
}

TEST_F(ShellLinkCalls, DataListFailuresAreFalseAndSkipTheSave) {
    link_.noDataList = true;
    EXPECT_FALSE(createWide(true));
    EXPECT_EQ(L"QueryInterface IShellLinkDataList", calls().back());

    link_.calls.clear();
    link_.noDataList = false;
    link_.getFlagsResult = E_FAIL;
    EXPECT_FALSE(createWide(true));
    EXPECT_EQ(L"GetFlags", calls().back());

    link_.calls.clear();
    link_.getFlagsResult = S_OK;
    link_.setFlagsResult = E_ACCESSDENIED;
    EXPECT_FALSE(createWide(true));
    EXPECT_EQ(L"SetFlags 0x2000", calls().back());
}

TEST_F(ShellLinkCalls, NoPersistFileOrAFailedSaveIsFalse) {
    link_.noPersistFile = true;
    EXPECT_FALSE(createWide(true));
    EXPECT_EQ(L"QueryInterface IPersistFile", calls().back());

    link_.calls.clear();
    link_.noPersistFile = false;
    link_.saveResult = STG_E_ACCESSDENIED;
    EXPECT_FALSE(createWide(false));
    EXPECT_EQ(L"Save C:\\l.lnk 1", calls().back());
}

TEST_F(ShellLinkCalls, ALinkObjectThatCannotBeMadeIsFalse) {
    g_link = nullptr;
    EXPECT_FALSE(createWide(false));
    EXPECT_TRUE(calls().empty());
}

TEST_F(ShellLinkCalls, TheAnsiVariantPassesTerminatedCopiesAndNoShowCommand) {
    // None of these arrays carries its NUL: each is read up to its end only.
    ASSERT_TRUE(nativetest::callLinked("ShellLink", "create0",
                                       {newString(L"C:\\a.lnk"), bytesOf("C:\\t.exe"), bytesOf("C:\\w"),
                                        bytesOf("C:\\i.ico"), bytesOf("-a b"), true, bytesOf("desc")})
                    .asBoolean());
    EXPECT_EQ(L"ShellLink context 1 A", g_created);
    std::vector<std::wstring> expected = {
        L"A SetPath C:\\t.exe",    L"A SetWorkingDirectory C:\\w",         L"A SetIconLocation C:\\i.ico,0",
        L"A SetArguments -a b",    L"A SetDescription desc",               L"QueryInterface IPersistFile",
        L"QueryInterface IShellLinkDataList", L"GetFlags", L"SetFlags 0x2000", L"Save C:\\a.lnk 1"};
    EXPECT_EQ(expected, calls());
    for (const std::string& line : fakejni::records())
        if (line.rfind("ReleaseByteArrayElements", 0) == 0) EXPECT_NE(std::string::npos, line.find("JNI_ABORT")) << line;
}

// ---- shell notifications ------------------------------------------------------------

std::vector<std::wstring> g_notes;

void WINAPI recordNotify(LONG eventId, UINT flags, LPCVOID item1, LPCVOID item2) {
    wchar_t text[600];
    swprintf(text, 600, L"0x%lx 0x%x %ls %p", eventId, flags, static_cast<const wchar_t*>(item1), item2);
    g_notes.push_back(text);
}
HINSTANCE WINAPI noExecute(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT) { return nullptr; }

class ShellNotify : public ::testing::Test {
protected:
    void SetUp() override {
        nativetest::resetJni();
        saved_ = g_shellFunctions;
        g_shellFunctions.changeNotify = recordNotify;
        g_shellFunctions.execute = noExecute;
        g_notes.clear();
    }
    void TearDown() override {
        g_shellFunctions = saved_;
        EXPECT_EQ(0u, fakejni::openBuffers());
    }
    ShellFunctions saved_;
};

TEST_F(ShellNotify, TheCreatedItemThenItsDirectoryFlushed) {
    EXPECT_TRUE(nativetest::callLinked("ShellLink", "changeNotify0",
                                       {utf16BytesOf(std::wstring(L"C:\\d\\x.lnk", 10) + L'\0'),
                                        utf16BytesOf(std::wstring(L"C:\\d", 4) + L'\0')})
                    .asBoolean());
    std::vector<std::wstring> expected = {L"0x2 0x5 C:\\d\\x.lnk 0000000000000000",
                                          L"0x1000 0x1005 C:\\d 0000000000000000"};
    EXPECT_EQ(expected, g_notes);
}

TEST_F(ShellNotify, PathsWithoutTheirTerminatorAreNotReadPastTheArray) {
    EXPECT_TRUE(nativetest::callLinked("ShellLink", "changeNotify0", {utf16BytesOf(L"C:\\y.lnk"), utf16BytesOf(L"C:")})
                    .asBoolean());
    ASSERT_EQ(2u, g_notes.size());
    EXPECT_EQ(L"0x2 0x5 C:\\y.lnk 0000000000000000", g_notes[0]);
    EXPECT_EQ(L"0x1000 0x1005 C: 0000000000000000", g_notes[1]);
}

TEST_F(ShellNotify, IsTrueThroughTheRealShellToo) {
    nativetest::ScratchFolder folder;
    EXPECT_TRUE(nativetest::callExport("ShellLink", "changeNotify0",
                                       {utf16BytesOf(folder.file(L"x.lnk") + L'\0'), utf16BytesOf(folder.path())})
                    .asBoolean());
}

}  // namespace
