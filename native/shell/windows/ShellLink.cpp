// Shortcut files made through the shell's link object, optionally marked to
// run as administrator, and the shell notifications that make Explorer show
// them at once. COM is initialised by the Java side through initialize0 on
// the thread that makes the links, and uninitialised through uninitialize
// only as far as initialize0 joined it there.
#include "native/shell/windows/ShellLink.h"

#include <jni.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "native/frame/windows/ComPtr.h"
#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/ShellBinding.h"
#include "native/shell/TerminatedBytes.h"

ShellLinkFunctions g_shellLinkFunctions = {CoCreateInstance};

namespace {

const CLSID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidShellLinkDataList = {0x45E2B4AE, 0xB1C3, 0x11D0, {0xB9, 0x2F, 0x00, 0xA0, 0xC9, 0x03, 0x12, 0xE1}};

const DWORD kRunAsUser = 0x2000;  // SLDF_RUNAS_USER

// The CoInitialize calls of initialize0 on this thread that succeeded (S_OK
// or S_FALSE) and still wait for their CoUninitialize. A thread that is
// already in a multithreaded apartment of someone else gets
// RPC_E_CHANGED_MODE and joins nothing; uninitialising it anyway would end
// that owner's apartment under it.
thread_local unsigned t_comJoins = 0;

// A Java byte array copied out with a NUL unit behind it, so that a string
// without its terminator is read only as far as the array goes. The array
// is released at once (JNI_ABORT: nothing is written back). Null for a null
// array.
class TerminatedArray {
public:
    TerminatedArray(JNIEnv* env, jbyteArray array, size_t unitSize) {
        if (!array) return;
        jsize length = env->GetArrayLength(array);
        jbyte* elements = env->GetByteArrayElements(array, nullptr);
        if (!elements) {
            dropPendingException(env);
            failed_ = true;
            return;
        }
        copy_ = terminatedCopy(elements, static_cast<size_t>(length), unitSize);
        env->ReleaseByteArrayElements(array, elements, JNI_ABORT);
        present_ = true;
    }
    const char* text() const { return present_ ? copy_.data() : nullptr; }
    const wchar_t* wide() const { return reinterpret_cast<const wchar_t*>(text()); }
    bool isNull() const { return !present_; }
    // The VM could not hand out the elements (a full heap): not a null array.
    bool failed() const { return failed_; }

private:
    std::vector<char> copy_;
    bool present_ = false;
    bool failed_ = false;
};

// Adds the run-as-administrator flag to the link's current data flags.
HRESULT markRunAsAdministrator(IUnknown* link) {
    ComPtr<IShellLinkDataList> dataList;
    HRESULT status = link->QueryInterface(kIidShellLinkDataList, dataList.put());
    if (FAILED(status)) return status;
    DWORD flags = 0;
    status = dataList->GetFlags(&flags);
    if (SUCCEEDED(status)) status = dataList->SetFlags(flags | kRunAsUser);
    return status;
}

// What both variants do once the fields are set: the data flags when asked
// for, then the save. True exactly when the last status was a success.
bool saveLink(JNIEnv* env, IUnknown* link, jstring linkFile, bool runAsAdministrator) {
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(kIidPersistFile, file.put()))) return false;
    JavaWide fileName(env, linkFile);
    if (fileName.failed()) return false;
    HRESULT status = S_OK;
    if (runAsAdministrator) status = markRunAsAdministrator(link);
    if (SUCCEEDED(status)) status = file->Save(fileName.get(), TRUE);
    return SUCCEEDED(status);
}

}  // namespace

extern "C" {

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_ShellLink_createWide0(
    JNIEnv* env, jclass, jstring linkFile, jstring target, jstring workingDirectory, jstring iconFile,
    jstring arguments, jboolean runAsAdministrator, jstring description, jint showCommand) {
    ComPtr<IShellLinkW> link;
    if (FAILED(g_shellLinkFunctions.createInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkW,
                                                   link.put())))
        return JNI_FALSE;
    // The results of the Set calls are not checked: the save decides. A
    // field that could not be copied is not saved as an empty one.
    JavaWide targetText(env, target), directoryText(env, workingDirectory);
    JavaWide iconText(env, iconFile), argumentText(env, arguments), descriptionText(env, description);
    if (anyCopyFailed(targetText, directoryText, iconText, argumentText, descriptionText)) return JNI_FALSE;
    link->SetPath(targetText.get());
    link->SetWorkingDirectory(directoryText.get());
    if (iconFile) link->SetIconLocation(iconText.get(), 0);
    if (arguments) link->SetArguments(argumentText.get());
    if (description) link->SetDescription(descriptionText.get());
    link->SetShowCmd(showCommand);
    return saveLink(env, link.get(), linkFile, runAsAdministrator != JNI_FALSE);
}

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_ShellLink_create0(
    JNIEnv* env, jclass, jstring linkFile, jbyteArray target, jbyteArray workingDirectory, jbyteArray iconFile,
    jbyteArray arguments, jboolean runAsAdministrator, jbyteArray description) {
    ComPtr<IShellLinkA> link;
    if (FAILED(g_shellLinkFunctions.createInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA,
                                                   link.put())))
        return JNI_FALSE;
    TerminatedArray targetText(env, target, 1), directoryText(env, workingDirectory, 1);
    TerminatedArray iconText(env, iconFile, 1), argumentText(env, arguments, 1), descriptionText(env, description, 1);
    if (anyCopyFailed(targetText, directoryText, iconText, argumentText, descriptionText)) return JNI_FALSE;
    link->SetPath(targetText.text());
    link->SetWorkingDirectory(directoryText.text());
    if (iconFile) link->SetIconLocation(iconText.text(), 0);
    if (arguments) link->SetArguments(argumentText.text());
    if (description) link->SetDescription(descriptionText.text());
    return saveLink(env, link.get(), linkFile, runAsAdministrator != JNI_FALSE);
}

// Both arrays hold UTF-16LE paths. A null array has nothing to announce.
JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_ShellLink_changeNotify0(
    JNIEnv* env, jclass, jbyteArray createdItem, jbyteArray directory) {
    {
        TerminatedArray item(env, createdItem, sizeof(wchar_t));
        if (!item.isNull()) shellChangeNotify(SHCNE_CREATE, SHCNF_PATHW, item.wide(), nullptr);
    }
    {
        TerminatedArray folder(env, directory, sizeof(wchar_t));
        if (!folder.isNull()) shellChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW | SHCNF_FLUSH, folder.wide(), nullptr);
    }
    return JNI_TRUE;
}

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_ShellLink_initialize0(JNIEnv*, jclass) {
    if (SUCCEEDED(CoInitialize(nullptr))) ++t_comJoins;
    return JNI_TRUE;
}

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_ShellLink_uninitialize(JNIEnv*, jclass) {
    if (t_comJoins > 0) {
        --t_comJoins;
        CoUninitialize();
    }
    return JNI_TRUE;
}

}  // extern "C"
