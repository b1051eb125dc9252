// The common item dialog for opening or saving files, with file type
// filters, extra check boxes and an owner window; the chosen file system
// paths come back as a String[] (null when cancelled or failed).
#include "native/shell/windows/VistaFileChooser.h"

#include <jni.h>
#include <objbase.h>

#include <vector>

#include "native/frame/windows/ComPtr.h"
#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/OptionalBinding.h"

FileChooserFunctions g_fileChooserFunctions = {};

namespace {

const CLSID kFileOpenDialog = {0xDC1C5A9C, 0xE88A, 0x4DDE, {0xA5, 0xA1, 0x60, 0xF8, 0x2A, 0x20, 0xAE, 0xF7}};
const IID kIFileOpenDialog = {0xD57C7288, 0xD4AD, 0x4768, {0xBE, 0x02, 0x9D, 0x96, 0x95, 0x32, 0xD9, 0x60}};
const CLSID kFileSaveDialog = {0xC0B4E2F3, 0xBA21, 0x4773, {0x8D, 0xBA, 0x33, 0x5E, 0xC9, 0x46, 0xEB, 0x8B}};
const IID kIFileDialog = {0x42F85136, 0xDB7E, 0x439C, {0x85, 0xF1, 0xE4, 0x07, 0x5D, 0x13, 0x5F, 0xC8}};
const IID kIFileDialogCustomize = {0xE6FDD21A, 0x163F, 0x4975, {0x9C, 0x8C, 0xA6, 0x9F, 0x1B, 0xA3, 0x70, 0x34}};
const IID kIShellItem = {0x43826D1E, 0xE718, 0x42EE, {0xBC, 0x55, 0xA1, 0xE2, 0x61, 0xC3, 0x7B, 0xFE}};
const IID kIShellItemArray = {0xB63EA76D, 0x1F85, 0x456F, {0xA1, 0x9C, 0x48, 0x15, 0x9E, 0xFA, 0x85, 0x8B}};
const DWORD kOptionsGroupId = 100000;

bool bindShellItemFunctions() {
    FileChooserFunctions& f = g_fileChooserFunctions;
    if (f.createItemFromParsingName && f.createItemArrayFromItem) return true;
    HMODULE shell32 = loadSystemModule(L"shell32.dll");
    if (!shell32) return false;
    if (!f.createItemFromParsingName)
        f.createItemFromParsingName = reinterpret_cast<decltype(f.createItemFromParsingName)>(
            reinterpret_cast<void*>(GetProcAddress(shell32, "SHCreateItemFromParsingName")));
    if (!f.createItemArrayFromItem)
        f.createItemArrayFromItem = reinterpret_cast<decltype(f.createItemArrayFromItem)>(
            reinterpret_cast<void*>(GetProcAddress(shell32, "SHCreateShellItemArrayFromShellItem")));
    return f.createItemFromParsingName && f.createItemArrayFromItem;
}

// The check box states of the Java boolean[], written back on release.
class CheckBoxStates {
public:
    CheckBoxStates(JNIEnv* env, jbooleanArray states)
        : env_(env), array_(states), elements_(states ? env->GetBooleanArrayElements(states, nullptr) : nullptr),
          count_(elements_ ? static_cast<size_t>(env->GetArrayLength(states)) : 0) {
        if (states && !elements_) dropPendingException(env);
    }
    ~CheckBoxStates() {
        if (elements_) env_->ReleaseBooleanArrayElements(array_, elements_, 0);
    }
    size_t size() const { return count_; }
    // The VM could not hand out the elements (a full heap): not a null array.
    bool failed() const { return array_ && !elements_; }
    bool get(size_t i) const { return elements_[i] != JNI_FALSE; }
    void set(size_t i, bool value) { elements_[i] = value ? JNI_TRUE : JNI_FALSE; }

private:
    JNIEnv* env_;
    jbooleanArray array_;
    jboolean* elements_;
    size_t count_;
};

void addCheckBoxes(IFileDialog* dialog, const JavaWideArray& labels, size_t count, const CheckBoxStates& states) {
    ComPtr<IFileDialogCustomize> customize;
    if (FAILED(dialog->QueryInterface(kIFileDialogCustomize, customize.put()))) return;
    bool grouped = count > 1;
    if (grouped) customize->StartVisualGroup(kOptionsGroupId, L"Options:");
    for (size_t i = 0; i < count; ++i) customize->AddCheckButton(static_cast<DWORD>(i + 1), labels.at(i), states.get(i));
    if (grouped) customize->EndVisualGroup();
}

void readCheckBoxes(IFileDialog* dialog, size_t count, CheckBoxStates& states) {
    ComPtr<IFileDialogCustomize> customize;
    if (count == 0 || FAILED(dialog->QueryInterface(kIFileDialogCustomize, customize.put()))) return;
    for (size_t i = 0; i < count; ++i) {
        BOOL checked = FALSE;
        if (SUCCEEDED(customize->GetCheckButtonState(static_cast<DWORD>(i + 1), &checked))) states.set(i, checked != FALSE);
    }
}

// The chosen items: the save dialog's one result as an array, or the open
// dialog's results.
bool chosenItems(IFileDialog* dialog, bool save, ComPtr<IShellItemArray>& items) {
    if (!save) return SUCCEEDED(static_cast<IFileOpenDialog*>(dialog)->GetResults(items.putTyped()));
    ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.putTyped()))) return false;
    return SUCCEEDED(g_fileChooserFunctions.createItemArrayFromItem(item.get(), kIShellItemArray, items.put()));
}

// A String[] of the items' file system paths, at their indexes; an item
// without such a path leaves its element null. Null, with nothing pending,
// when the array cannot be made.
jobjectArray pathsOf(JNIEnv* env, IShellItemArray* items) {
    DWORD count = 0;
    if (FAILED(items->GetCount(&count))) return nullptr;
    jclass stringClass = env->FindClass("java/lang/String");
    if (!stringClass) {
        dropPendingException(env);
        return nullptr;
    }
    jobjectArray paths = env->NewObjectArray(static_cast<jsize>(count), stringClass, nullptr);
    env->DeleteLocalRef(stringClass);
    if (!paths) {
        dropPendingException(env);
        return nullptr;
    }
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IShellItem> item;
        if (FAILED(items->GetItemAt(i, item.putTyped()))) continue;
        wchar_t* path = nullptr;
        if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path) {
            if (path[0]) {
                jstring text = javaStringFromWide(env, path);
                env->SetObjectArrayElement(paths, static_cast<jsize>(i), text);
                env->DeleteLocalRef(text);
            }
            CoTaskMemFree(path);
        }
    }
    return paths;
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_tavra_runtime_installer_platform_win32_VistaFileChooser_initialize0(JNIEnv*, jclass) {
    CoInitialize(nullptr);
}

JNIEXPORT jobjectArray JNICALL Java_com_tavra_runtime_installer_platform_win32_VistaFileChooser_displayDialog0(
    JNIEnv* env, jclass, jlong ownerWindow, jstring title, jstring okButtonLabel, jstring folder, jstring fileName,
    jint optionsToSet, jint optionsToClear, jboolean save, jstring defaultExtension, jobjectArray filterNames,
    jobjectArray filterPatterns, jint filterIndex, jobjectArray checkBoxLabels, jbooleanArray checkBoxStates) {
    JavaWide titleText(env, title), okText(env, okButtonLabel), folderText(env, folder), fileText(env, fileName);
    JavaWide extension(env, defaultExtension);
    JavaWideArray names(env, filterNames), patterns(env, filterPatterns), labels(env, checkBoxLabels);
    CheckBoxStates states(env, checkBoxStates);
    if (anyCopyFailed(titleText, okText, folderText, fileText, extension, names, patterns, labels, states))
        return nullptr;
    // The arrays of one request should be of one length; where they are
    // not, only the pairs that both arrays hold are used, so no Java array
    // is read or written past its end.
    size_t filterCount = names.size() < patterns.size() ? names.size() : patterns.size();
    size_t checkBoxCount = labels.size() < states.size() ? labels.size() : states.size();
    std::vector<COMDLG_FILTERSPEC> filters;
    for (size_t i = 0; i < filterCount; ++i) filters.push_back(COMDLG_FILTERSPEC{names.at(i), patterns.at(i)});

    if (!bindShellItemFunctions()) return nullptr;
    ComPtr<IFileDialog> dialog;
    if (FAILED(CoCreateInstance(save ? kFileSaveDialog : kFileOpenDialog, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                save ? kIFileDialog : kIFileOpenDialog, dialog.put())))
        return nullptr;
    FILEOPENDIALOGOPTIONS options = 0;
    if (SUCCEEDED(dialog->GetOptions(&options)))
        dialog->SetOptions((options | static_cast<DWORD>(optionsToSet)) & ~static_cast<DWORD>(optionsToClear));
    if (!filters.empty()) {
        dialog->SetFileTypes(static_cast<UINT>(filters.size()), filters.data());
        if (filterIndex >= 0) dialog->SetFileTypeIndex(static_cast<UINT>(filterIndex) + 1);
    }
    if (checkBoxCount > 0) addCheckBoxes(dialog.get(), labels, checkBoxCount, states);
    if (!extension.isNull()) dialog->SetDefaultExtension(extension.get());
    if (!titleText.isNull()) dialog->SetTitle(titleText.get());
    if (!okText.isNull()) dialog->SetOkButtonLabel(okText.get());
    dialog->ClearClientData();
    if (!folderText.isNull()) {
        ComPtr<IShellItem> folderItem;
        if (SUCCEEDED(g_fileChooserFunctions.createItemFromParsingName(folderText.get(), nullptr, kIShellItem,
                                                                       folderItem.put())))
            dialog->SetFolder(folderItem.get());
    }
    if (!fileText.isNull()) dialog->SetFileName(fileText.get());

    if (FAILED(dialog->Show(reinterpret_cast<HWND>(ownerWindow)))) return nullptr;
    readCheckBoxes(dialog.get(), checkBoxCount, states);
    ComPtr<IShellItemArray> items;
    if (!chosenItems(dialog.get(), save != JNI_FALSE, items)) return nullptr;
    return pathsOf(env, items.get());
}

}  // extern "C"
