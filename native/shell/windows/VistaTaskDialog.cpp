// A task dialog for the Java user interface: custom buttons with the ids
// 101, 102, ..., an optional verification check box and a system icon.
// With a parent window, a timer callback keeps the dialog above it: the
// first five ticks may activate it, later ones do not steal the focus.
#include "native/shell/windows/VistaTaskDialog.h"

#include <jni.h>

#include <vector>

#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/OptionalBinding.h"

TaskDialogFunctions g_taskDialogFunctions = {nullptr, SetWindowPos};

namespace {

const int kFirstButtonId = 101;
const int kNoCustomButton = 1000;
const int kActivatingTicks = 5;

struct ParentTracking {
    HWND parent;
    int ticks;
};

HRESULT CALLBACK keepAboveParent(HWND dialog, UINT notification, WPARAM, LPARAM, LONG_PTR data) {
    if (notification == TDN_TIMER) {
        auto* tracking = reinterpret_cast<ParentTracking*>(data);
        UINT flags = SWP_NOSIZE | SWP_NOMOVE;
        if (tracking->ticks >= kActivatingTicks) flags |= SWP_NOACTIVATE;
        g_taskDialogFunctions.setWindowPos(dialog, tracking->parent, 0, 0, 0, 0, flags);
        ++tracking->ticks;
    }
    return S_OK;
}

// The buttons of the labels, with the ids 101, 102, ...
std::vector<TASKDIALOG_BUTTON> buttonsOf(const JavaWideArray& labels) {
    std::vector<TASKDIALOG_BUTTON> buttons;
    for (size_t i = 0; i < labels.size(); ++i)
        buttons.push_back(TASKDIALOG_BUTTON{kFirstButtonId + static_cast<int>(i), labels.at(i)});
    return buttons;
}

}  // namespace

int taskDialogResult(int buttonId, bool verificationChecked) {
    int result = buttonId > 100 ? buttonId - 100 : kNoCustomButton;
    return verificationChecked ? -result : result;
}

extern "C" JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_VistaTaskDialog_show0(
    JNIEnv* env, jclass, jlong parentWindow, jstring windowTitle, jstring mainInstruction, jstring content, jint flags,
    jint iconId, jint width, jstring verificationText, jobjectArray buttonLabels, jint defaultButtonIndex) {
    if (!bindFromLoadedModule(g_taskDialogFunctions.taskDialogIndirect, L"Comctl32.dll", "TaskDialogIndirect"))
        return 0;
    HWND parent = reinterpret_cast<HWND>(parentWindow);
    JavaWide title(env, windowTitle), instruction(env, mainInstruction), text(env, content);
    JavaWide verification(env, verificationText);
    JavaWideArray labels(env, buttonLabels);
    // A text the VM could not copy fails the call; 0 would claim the task
    // dialog is missing from this Windows.
    if (anyCopyFailed(title, instruction, text, verification, labels)) return kNoCustomButton;
    std::vector<TASKDIALOG_BUTTON> buttons = buttonsOf(labels);

    TASKDIALOGCONFIG config = {};
    config.cbSize = sizeof config;
    config.hwndParent = parent;
    config.dwFlags = static_cast<TASKDIALOG_FLAGS>(flags) | TDF_USE_HICON_MAIN | TDF_CALLBACK_TIMER;
    if (parent && !IsIconic(parent)) config.dwFlags |= TDF_POSITION_RELATIVE_TO_WINDOW;
    config.hMainIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(iconId & 0xFFFF));
    config.pszWindowTitle = title.get();
    config.pszMainInstruction = instruction.get();
    config.pszContent = text.get();
    config.cButtons = static_cast<UINT>(buttons.size());
    config.pButtons = buttons.empty() ? nullptr : buttons.data();
    config.nDefaultButton = defaultButtonIndex + kFirstButtonId;
    config.pszVerificationText = verification.get();
    config.cxWidth = static_cast<UINT>(width);
    ParentTracking tracking = {parent, 0};
    if (parent) {
        config.pfCallback = keepAboveParent;
        config.lpCallbackData = reinterpret_cast<LONG_PTR>(&tracking);
    }
    int button = 0;
    BOOL verificationChecked = FALSE;
    if (FAILED(g_taskDialogFunctions.taskDialogIndirect(&config, &button, nullptr, &verificationChecked))) button = 0;
    return taskDialogResult(button, verificationChecked != FALSE);
}
