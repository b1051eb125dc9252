// The dialog natives: the task dialog and the file dialog shown by Wine on
// the test's display and driven from a second thread that finds the dialog
// and presses its controls; the task dialog's configuration and timer
// callback, and the object picker's request, through their bindings.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <sddl.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "native/shell/windows/ObjectPicker.h"
#include "native/shell/windows/VistaFileChooser.h"
#include "native/shell/windows/VistaTaskDialog.h"
#include "tests/natives/NativeTestSupport.h"

namespace {

using nativetest::lower;

using fakejni::newString;
using fakejni::newStringArray;
using nativetest::callExport;
using nativetest::callLinked;

// A visible top-level window of the test, as an application window.
class TestWindow {
public:
    TestWindow() {
        window_ = CreateWindowExW(0, L"STATIC", L"tvrtest owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    }
    ~TestWindow() { DestroyWindow(window_); }
    HWND get() const { return window_; }
    jlong handle() const { return reinterpret_cast<jlong>(window_); }

private:
    HWND window_;
};

// Waits for a top-level window with the title on another thread and runs the
// action with it; gives up after 10 s.
class DialogDriver {
public:
    DialogDriver(const wchar_t* title, std::function<void(HWND)> action)
        : thread_([this, title, action] {
              for (int i = 0; i < 200 && !found_; ++i) {
                  if (HWND dialog = FindWindowW(nullptr, title)) {
                      found_ = true;
                      Sleep(200);  // let the dialog finish its set-up
                      action(dialog);
                      return;
                  }
                  Sleep(50);
              }
          }) {}
    ~DialogDriver() { thread_.join(); }
    bool found() const { return found_; }

private:
    std::atomic<bool> found_{false};
    std::thread thread_;
};

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        nativetest::resetJni();
        LoadLibraryW(L"comctl32.dll");
        CoInitialize(nullptr);
    }
    void TearDown() override {
        CoUninitialize();
        EXPECT_EQ(nullptr, fakejni::pendingException());
        EXPECT_EQ(0u, fakejni::openBuffers());
    }
    int showTask(const wchar_t* title, jlong parent, int flags, std::vector<std::wstring> buttons, int defaultIndex,
                 const wchar_t* verification, bool linked = false) {
        auto call = linked ? callLinked : callExport;
        return call("VistaTaskDialog", "show0",
                    {parent, newString(title), newString(L"Main instruction"), newString(L"Content"), flags, 32516,
                     0, verification ? newString(verification) : nullptr, newStringArray(buttons), defaultIndex})
            .asInt();
    }
};

// ---- task dialog, for real ----------------------------------------------------------

TEST_F(Dialogs, TaskDialogGivesTheOneBasedCustomButtonNegatedWhenVerified) {
    {
        DialogDriver driver(L"tvrtest task 1",
                            [](HWND dialog) { SendMessageW(dialog, TDM_CLICK_BUTTON, 102, 0); });
        EXPECT_EQ(2, showTask(L"tvrtest task 1", 0, 0, {L"First", L"Second", L"Third"}, 0, nullptr));
        EXPECT_TRUE(driver.found());
    }
    {
        DialogDriver driver(L"tvrtest task 2", [](HWND dialog) {
            SendMessageW(dialog, TDM_CLICK_VERIFICATION, TRUE, FALSE);
            SendMessageW(dialog, TDM_CLICK_BUTTON, 102, 0);
        });
        EXPECT_EQ(-2, showTask(L"tvrtest task 2", 0, 0, {L"First", L"Second"}, 0, L"Do not ask again"));
    }
}

TEST_F(Dialogs, TaskDialogClosedWithoutACustomButtonGives1000) {
    const int allowCancel = TDF_ALLOW_DIALOG_CANCELLATION;
    {
        DialogDriver driver(L"tvrtest task 3", [](HWND dialog) { SendMessageW(dialog, TDM_CLICK_BUTTON, IDCANCEL, 0); });
        EXPECT_EQ(1000, showTask(L"tvrtest task 3", 0, allowCancel, {L"Only"}, 0, nullptr));
    }
    {
        DialogDriver driver(L"tvrtest task 4", [](HWND dialog) {
            SendMessageW(dialog, TDM_CLICK_VERIFICATION, TRUE, FALSE);
            SendMessageW(dialog, TDM_CLICK_BUTTON, IDCANCEL, 0);
        });
        EXPECT_EQ(-1000, showTask(L"tvrtest task 4", 0, allowCancel, {}, 0, L"Remember"));
    }
}

// ---- task dialog, through the binding -------------------------------------------------

struct TaskCall {
    TASKDIALOG_FLAGS flags;
    HWND parent;
    std::vector<std::pair<int, std::wstring>> buttons;
    int defaultButton;
    std::wstring verification;
    UINT width;
    bool hasIcon;
    bool hasCallback;
};
TaskCall g_taskCall;
int g_taskButton;
BOOL g_taskVerified;
HRESULT g_taskResult;
std::vector<std::pair<HWND, UINT>> g_positions;

HRESULT WINAPI recordingTaskDialog(const TASKDIALOGCONFIG* config, int* button, int*, BOOL* verified) {
    g_taskCall = {config->dwFlags, config->hwndParent, {}, config->nDefaultButton,
                  config->pszVerificationText ? config->pszVerificationText : L"", config->cxWidth,
                  config->hMainIcon != nullptr, config->pfCallback != nullptr};
    for (UINT i = 0; i < config->cButtons; ++i)
        g_taskCall.buttons.push_back({config->pButtons[i].nButtonID, config->pButtons[i].pszButtonText});
    if (config->pfCallback)
        for (int tick = 0; tick < 7; ++tick)
            config->pfCallback(reinterpret_cast<HWND>(0x1234), TDN_TIMER, 0, 0, config->lpCallbackData);
    *button = g_taskButton;
    *verified = g_taskVerified;
    return g_taskResult;
}

BOOL WINAPI recordingSetWindowPos(HWND, HWND after, int, int, int, int, UINT flags) {
    g_positions.push_back({after, flags});
    return TRUE;
}

class TaskDialogBinding : public Dialogs {
protected:
    void SetUp() override {
        Dialogs::SetUp();
        saved = g_taskDialogFunctions;
        g_taskDialogFunctions = {recordingTaskDialog, recordingSetWindowPos};
        g_positions.clear();
        g_taskButton = 101;
        g_taskVerified = FALSE;
        g_taskResult = S_OK;
    }
    void TearDown() override {
        g_taskDialogFunctions = saved;
        Dialogs::TearDown();
    }
    TaskDialogFunctions saved;
};

TEST_F(TaskDialogBinding, TheConfigurationCarriesButtonsFromId101AndTheDefaultButton) {
    EXPECT_EQ(1, showTask(L"t", 0, TDF_ALLOW_DIALOG_CANCELLATION, {L"Yes", L"No"}, 1, L"Check", true));
    EXPECT_EQ(static_cast<TASKDIALOG_FLAGS>(TDF_ALLOW_DIALOG_CANCELLATION | TDF_USE_HICON_MAIN | TDF_CALLBACK_TIMER),
              g_taskCall.flags);
    ASSERT_EQ(2u, g_taskCall.buttons.size());
    EXPECT_EQ(101, g_taskCall.buttons[0].first);
    EXPECT_EQ(L"Yes", g_taskCall.buttons[0].second);
    EXPECT_EQ(102, g_taskCall.buttons[1].first);
    EXPECT_EQ(102, g_taskCall.defaultButton);
    EXPECT_EQ(L"Check", g_taskCall.verification);
    EXPECT_TRUE(g_taskCall.hasIcon);
    EXPECT_FALSE(g_taskCall.hasCallback);  // no parent to keep the dialog above
    EXPECT_TRUE(g_positions.empty());
}

TEST_F(TaskDialogBinding, WithAParentTheDialogIsPlacedByItAndKeptAboveIt) {
    TestWindow parent;
    g_taskButton = 103;
    g_taskVerified = TRUE;
    EXPECT_EQ(-3, showTask(L"t", parent.handle(), 0, {L"a", L"b", L"c"}, 0, nullptr, true));
    EXPECT_TRUE(g_taskCall.flags & TDF_POSITION_RELATIVE_TO_WINDOW);
    EXPECT_EQ(parent.get(), g_taskCall.parent);
    ASSERT_EQ(7u, g_positions.size());
    for (size_t i = 0; i < g_positions.size(); ++i) {
        EXPECT_EQ(parent.get(), g_positions[i].first);
        EXPECT_EQ(i < 5 ? 0x3u : 0x13u, g_positions[i].second) << i;
    }
    ShowWindow(parent.get(), SW_MINIMIZE);
    showTask(L"t", parent.handle(), 0, {L"a"}, 0, nullptr, true);
    EXPECT_FALSE(g_taskCall.flags & TDF_POSITION_RELATIVE_TO_WINDOW);
}

TEST_F(TaskDialogBinding, AFailedCallOrAStandardButtonGives1000) {
    g_taskButton = IDOK;
    EXPECT_EQ(1000, showTask(L"t", 0, 0, {L"a"}, 0, nullptr, true));
    g_taskResult = E_OUTOFMEMORY;
    g_taskButton = 102;
    EXPECT_EQ(1000, showTask(L"t", 0, 0, {L"a", L"b"}, 0, nullptr, true));
    EXPECT_EQ(-1000, taskDialogResult(0, true));
}

// A label the VM cannot copy (a full heap) would be an empty button: the
// call fails as a dialog closed without a choice, not as a missing one.
TEST_F(TaskDialogBinding, ALabelThatCannotBeCopiedShowsNoDialogAndGives1000) {
    g_taskCall = {};
    fakejni::failCopiesAfter(4);  // title, instruction, content and the first label
    EXPECT_EQ(1000, showTask(L"t", 0, 0, {L"Yes", L"No"}, 0, nullptr, true));
    fakejni::failCopiesAfter(-1);
    EXPECT_TRUE(g_taskCall.buttons.empty());
}

// ---- file dialog, for real --------------------------------------------------------------

std::vector<std::wstring> lowerTexts(jobject array) {
    std::vector<std::wstring> out;
    for (jobject element : fakejni::elements(array)) out.push_back(element ? lower(fakejni::text(element)) : L"<null>");
    return out;
}

// The child windows of the dialog, with their class names and texts.
struct Child {
    HWND window;
    std::wstring className, text;
};
std::vector<Child> childrenOf(HWND dialog) {
    std::vector<Child> children;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM data) -> BOOL {
            wchar_t className[64] = {}, text[256] = {};
            GetClassNameW(child, className, 64);
            GetWindowTextW(child, text, 256);
            reinterpret_cast<std::vector<Child>*>(data)->push_back({child, className, text});
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

void pressOk(HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDOK, 0); }

class FileDialog : public Dialogs {
protected:
    void SetUp() override {
        Dialogs::SetUp();
        for (const wchar_t* name : {L"a.txt", L"b.txt"}) {
            HANDLE file = CreateFileW(folder.file(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            CloseHandle(file);
        }
    }
    fakejni::Value show(const wchar_t* title, bool save, const wchar_t* fileName, int optionsToSet,
                        const wchar_t* extension = nullptr, jobjectArray labels = nullptr,
                        jbooleanArray states = nullptr, jobjectArray filterNames = nullptr,
                        jobjectArray filterPatterns = nullptr, int filterIndex = -1) {
        return callExport("VistaFileChooser", "displayDialog0",
                          {0, newString(title), nullptr, newString(folder.path()),
                           fileName ? newString(fileName) : nullptr, optionsToSet, 0, save,
                           extension ? newString(extension) : nullptr, filterNames, filterPatterns, filterIndex,
                           labels, states});
    }
    std::wstring path(const wchar_t* name) { return lower(folder.file(name)); }
    nativetest::ScratchFolder folder;
};

TEST_F(FileDialog, OpenReturnsTheChosenFileAndCancelReturnsNull) {
    {
        DialogDriver driver(L"tvrtest open", pressOk);
        jobject chosen = show(L"tvrtest open", false, L"a.txt", 0).asObject();
        ASSERT_FALSE(fakejni::isNull(chosen));
        EXPECT_EQ(std::vector<std::wstring>({path(L"a.txt")}), lowerTexts(chosen));
    }
    {
        DialogDriver driver(L"tvrtest cancel", [](HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
        EXPECT_TRUE(fakejni::isNull(show(L"tvrtest cancel", false, L"a.txt", 0).asObject()));
        EXPECT_TRUE(driver.found());
    }
}

TEST_F(FileDialog, AResultArrayThatCannotBeMadeIsNullWithNothingPending) {
    DialogDriver driver(L"tvrtest no array", [](HWND dialog) {
        fakejni::hideClass("java/lang/String");
        pressOk(dialog);
    });
    EXPECT_TRUE(fakejni::isNull(show(L"tvrtest no array", false, L"a.txt", 0).asObject()));
    EXPECT_TRUE(driver.found());
    EXPECT_EQ(nullptr, fakejni::pendingException());
}

TEST_F(FileDialog, OpenWithMultiSelectReturnsEveryChosenPathInOrder) {
    DialogDriver driver(L"tvrtest multi", pressOk);
    jobject chosen = show(L"tvrtest multi", false, L"\"b.txt\" \"a.txt\"", FOS_ALLOWMULTISELECT).asObject();
    ASSERT_FALSE(fakejni::isNull(chosen));
    EXPECT_EQ(std::vector<std::wstring>({path(L"b.txt"), path(L"a.txt")}), lowerTexts(chosen));
}

TEST_F(FileDialog, SaveReturnsOnePathWithTheDefaultExtension) {
    DialogDriver driver(L"tvrtest save", pressOk);
    jobject chosen = show(L"tvrtest save", true, L"report", 0, L"txt").asObject();
    ASSERT_FALSE(fakejni::isNull(chosen));
    EXPECT_EQ(std::vector<std::wstring>({path(L"report.txt")}), lowerTexts(chosen));
}

TEST_F(FileDialog, TwoCheckBoxesAreGroupedUnderOptionsAndTheirStatesComeBack) {
    std::vector<Child> seen;
    DialogDriver driver(L"tvrtest boxes", [&seen](HWND dialog) {
        seen = childrenOf(dialog);
        for (const Child& c : seen)
            if (c.text == L"Second") SendMessageW(c.window, BM_CLICK, 0, 0);
        pressOk(dialog);
    });
    jbooleanArray states = fakejni::newBooleanArray({true, false});
    jobject chosen = show(L"tvrtest boxes", false, L"a.txt", 0, nullptr, newStringArray({L"First", L"Second"}), states)
                         .asObject();
    ASSERT_FALSE(fakejni::isNull(chosen));
    EXPECT_EQ(std::vector<bool>({true, true}), fakejni::booleans(states));
    auto hasText = [&seen](const wchar_t* text) {
        for (const Child& c : seen)
            if (c.text == text) return true;
        return false;
    };
    EXPECT_TRUE(hasText(L"Options:"));
    EXPECT_TRUE(hasText(L"First"));
}

TEST_F(FileDialog, OneCheckBoxHasNoGroupAndAShortStateArrayLimitsTheBoxes) {
    std::vector<Child> seen;
    DialogDriver driver(L"tvrtest one box", [&seen](HWND dialog) {
        seen = childrenOf(dialog);
        pressOk(dialog);
    });
    jbooleanArray states = fakejni::newBooleanArray({true});
    show(L"tvrtest one box", false, L"a.txt", 0, nullptr, newStringArray({L"Only", L"Beyond the states"}), states);
    bool group = false, only = false, beyond = false;
    for (const Child& c : seen) {
        group |= c.text == L"Options:";
        only |= c.text == L"Only";
        beyond |= c.text == L"Beyond the states";
    }
    EXPECT_TRUE(only);
    EXPECT_FALSE(group);
    EXPECT_FALSE(beyond);
    EXPECT_EQ(std::vector<bool>({true}), fakejni::booleans(states));
}

// The selected entry of the dialog's file type box.
int selectedFileType(HWND dialog) {
    for (const Child& c : childrenOf(dialog))
        if (lower(c.className) == L"combobox" && SendMessageW(c.window, CB_GETCOUNT, 0, 0) == 2)
            return static_cast<int>(SendMessageW(c.window, CB_GETCURSEL, 0, 0));
    return -2;
}

TEST_F(FileDialog, TheFilterIndexPreselectsAFilterAndMinusOneKeepsTheDefault) {
    for (int index : {1, 0, -1}) {
        int selected = -3;
        DialogDriver driver(L"tvrtest filters", [&selected](HWND dialog) {
            selected = selectedFileType(dialog);
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        show(L"tvrtest filters", false, nullptr, 0, nullptr, nullptr, nullptr,
             newStringArray({L"Text files", L"All files"}), newStringArray({L"*.txt", L"*.*"}), index);
        EXPECT_EQ(index < 0 ? 0 : index, selected) << index;
    }
}

TEST_F(FileDialog, ShorterPatternsThanNamesUseOnlyTheFullPairs) {
    int selected = -3;
    int count = -1;
    DialogDriver driver(L"tvrtest short filters", [&](HWND dialog) {
        for (const Child& c : childrenOf(dialog))
            if (lower(c.className) == L"combobox" && SendMessageW(c.window, CB_FINDSTRINGEXACT, -1,
                                                                  reinterpret_cast<LPARAM>(L"Text files")) >= 0)
                count = static_cast<int>(SendMessageW(c.window, CB_GETCOUNT, 0, 0));
        selected = 0;
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    show(L"tvrtest short filters", false, nullptr, 0, nullptr, nullptr, nullptr,
         newStringArray({L"Text files", L"All files"}), newStringArray({L"*.txt"}), 0);
    EXPECT_EQ(0, selected);
    EXPECT_EQ(1, count);
}

// ---- object picker ------------------------------------------------------------------------

std::vector<DSOP_INIT_INFO> g_requests;
std::vector<DSOP_SCOPE_INIT_INFO> g_scopes;
std::vector<std::wstring> g_attributes;
HRESULT recordingInitialize(IDsObjectPicker*, DSOP_INIT_INFO* request) {
    g_requests.push_back(*request);
    g_scopes.push_back(request->aDsScopeInfos[0]);
    g_attributes.push_back(request->cAttributesToFetch ? request->apwzAttributeNames[0] : L"");
    return E_FAIL;
}

TEST_F(Dialogs, ObjectPickerAsksForOneScopeAndTheSidOfEachObject) {
    TestWindow window;
    auto saved = g_objectPickerFunctions;
    g_objectPickerFunctions.initialize = recordingInitialize;
    g_requests.clear();
    g_scopes.clear();
    EXPECT_TRUE(fakejni::isNull(callLinked("ObjectPicker", "show0", {true, true, false, true, true}).asObject()));
    EXPECT_TRUE(fakejni::isNull(callLinked("ObjectPicker", "show0", {false, false, true, false, false}).asObject()));
    g_objectPickerFunctions = saved;
    ASSERT_EQ(2u, g_requests.size());
    EXPECT_EQ(48u, g_requests[0].cbSize);
    EXPECT_EQ(nullptr, g_requests[0].pwzTargetComputer);
    EXPECT_EQ(1u, g_requests[0].cDsScopeInfos);
    EXPECT_EQ(1u, g_requests[0].flOptions);
    EXPECT_EQ(0u, g_requests[1].flOptions);
    EXPECT_EQ(L"objectSID", g_attributes[0]);
    EXPECT_EQ(56u, g_scopes[0].cbSize);
    EXPECT_EQ(0x1u, g_scopes[0].flType);
    EXPECT_EQ(0x36Fu, g_scopes[1].flType);
    EXPECT_EQ(0xC0u, g_scopes[0].flScope);
    EXPECT_EQ(0x3FCu, g_scopes[0].FilterFlags.Uplevel.flBothModes);
    EXPECT_EQ(0x80020006u, g_scopes[0].FilterFlags.flDownlevel);
    EXPECT_EQ(0x2u, g_scopes[1].FilterFlags.Uplevel.flBothModes);
    EXPECT_EQ(0x80000001u, g_scopes[1].FilterFlags.flDownlevel);
}

// A fetched attribute value as the picker hands it out: the bytes in a
// one-dimensional byte safe array.
class ByteArrayValue {
public:
    explicit ByteArrayValue(const std::vector<BYTE>& bytes) {
        VariantInit(&value_);
        value_.vt = VT_ARRAY | VT_UI1;
        value_.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
        void* data = nullptr;
        if (value_.parray && !bytes.empty() && SUCCEEDED(SafeArrayAccessData(value_.parray, &data))) {
            memcpy(data, bytes.data(), bytes.size());
            SafeArrayUnaccessData(value_.parray);
        }
    }
    ~ByteArrayValue() { VariantClear(&value_); }
    const VARIANT* get() const { return &value_; }

private:
    VARIANT value_;
};

std::wstring sidTextOf(const std::vector<BYTE>& bytes) {
    ByteArrayValue value(bytes);
    wchar_t* text = objectPickerSidText(value.get());
    if (!text) return L"<null>";
    std::wstring result = text;
    LocalFree(text);
    return result;
}

TEST(ObjectPickerSid, OnlyAWholeValidSidOfTheArrayIsConverted) {
    auto saved = g_objectPickerFunctions;
    g_objectPickerFunctions.convertSidToStringSid = ConvertSidToStringSidW;
    // S-1-5-32-544: revision 1, two sub-authorities, authority 5, 32, 544.
    const std::vector<BYTE> administrators = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
    EXPECT_EQ(L"S-1-5-32-544", sidTextOf(administrators));
    EXPECT_EQ(L"<null>", sidTextOf({})) << "an empty array";
    EXPECT_EQ(L"<null>", sidTextOf({1, 2, 0, 0})) << "shorter than the fixed part of a SID";
    EXPECT_EQ(L"<null>", sidTextOf(std::vector<BYTE>(administrators.begin(), administrators.end() - 4)))
        << "the count claims a sub-authority more than the array holds";
    g_objectPickerFunctions = saved;
}

// EnumWindows runs from the top of the Z order down, and a new window starts
// on top: the last visible window enumerated is the one made first.
TEST_F(Dialogs, ObjectPickerIsShownForTheLastVisibleWindowOfTheProcess) {
    TestWindow first, second;
    EXPECT_EQ(first.get(), objectPickerParent());
    ShowWindow(first.get(), SW_HIDE);
    EXPECT_EQ(second.get(), objectPickerParent());
}

TEST_F(Dialogs, ObjectPickerCancelledGivesNull) {
    TestWindow window;
    // Wine's picker closes at once as cancelled.
    EXPECT_TRUE(fakejni::isNull(callExport("ObjectPicker", "show0", {false, true, true, false, true}).asObject()));
}

}  // namespace
