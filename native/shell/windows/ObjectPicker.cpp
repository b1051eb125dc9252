// The directory object picker for choosing users and groups: one scope
// built from the caller's five choices, the selection read from the data
// object's selection list, one ObjectPicker$Result per chosen object.
#include "native/shell/windows/ObjectPicker.h"

#include <jni.h>
#include <objbase.h>

#include <cstdio>

#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/OptionalBinding.h"
#include "native/shell/ObjectPickerRequest.h"

namespace {

HRESULT initializePicker(IDsObjectPicker* picker, DSOP_INIT_INFO* request) {
    return picker ? picker->Initialize(request) : E_INVALIDARG;
}

const CLSID kDsObjectPicker = {0x17D6CCD8, 0x3B7B, 0x11D2, {0xB9, 0xE0, 0x00, 0xC0, 0x4F, 0xD8, 0xDB, 0xF7}};
const IID kIDsObjectPicker = {0x0C87E64E, 0x3B7A, 0x11D2, {0xB9, 0xE0, 0x00, 0xC0, 0x4F, 0xD8, 0xDB, 0xF7}};
const char kResultClass[] = "com/tavra/runtime/installer/platform/win32/ObjectPicker$Result";
const char kResultConstructor[] =
    "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)V";
const DWORD kConsoleTitleChars = 8192;
// Revision, sub-authority count and the six bytes of the authority.
const ULONG kSidFixedBytes = 8;

// The search state: the console window, found once, and the last visible
// window of the enumeration.
bool g_consoleLookedUp = false;
HWND g_consoleWindow = nullptr;
HWND g_lastOwnWindow = nullptr;

// The console window is found by a title of its own for a moment.
HWND findConsoleWindow() {
    static wchar_t saved[kConsoleTitleChars];
    if (!GetConsoleTitleW(saved, kConsoleTitleChars)) return nullptr;
    wchar_t unique[64];
    wsprintfW(unique, L"%d/%d", static_cast<int>(GetTickCount()), static_cast<int>(GetCurrentProcessId()));
    SetConsoleTitleW(unique);
    Sleep(40);
    HWND found = FindWindowW(nullptr, unique);
    SetConsoleTitleW(saved);
    return found;
}

BOOL CALLBACK noteOwnVisibleWindow(HWND window, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && window != g_consoleWindow) g_lastOwnWindow = window;
    return TRUE;
}

jstring stringOrNull(JNIEnv* env, const wchar_t* text) { return text ? javaStringFromWide(env, text) : nullptr; }

// The SID string of the fetched "objectSID" value, or null.
jstring sidOf(JNIEnv* env, const VARIANT* value) {
    wchar_t* text = objectPickerSidText(value);
    if (!text) return nullptr;
    jstring result = javaStringFromWide(env, text);
    LocalFree(text);
    return result;
}

jobjectArray resultsOf(JNIEnv* env, const DS_SELECTION_LIST* list) {
    jclass resultClass = env->FindClass(kResultClass);
    if (!resultClass) {
        dropPendingException(env);
        return nullptr;
    }
    jmethodID constructor = env->GetMethodID(resultClass, "<init>", kResultConstructor);
    jobjectArray results =
        constructor ? env->NewObjectArray(static_cast<jsize>(list->cItems), resultClass, nullptr) : nullptr;
    if (!results) dropPendingException(env);
    for (ULONG i = 0; results && i < list->cItems; ++i) {
        const DS_SELECTION& item = list->aDsSelection[i];
        jstring sid = list->cFetchedAttributes > 0 ? sidOf(env, item.pvarFetchedAttributes) : nullptr;
        jstring name = stringOrNull(env, item.pwzName), path = stringOrNull(env, item.pwzADsPath);
        jstring objectClass = stringOrNull(env, item.pwzClass), upn = stringOrNull(env, item.pwzUPN);
        jobject result = env->NewObject(resultClass, constructor, name, path, objectClass, upn, sid);
        if (!result) dropPendingException(env);
        env->SetObjectArrayElement(results, static_cast<jsize>(i), result);
        for (jobject ref : {static_cast<jobject>(name), static_cast<jobject>(path), static_cast<jobject>(objectClass),
                            static_cast<jobject>(upn), static_cast<jobject>(sid), result})
            if (ref) env->DeleteLocalRef(ref);
    }
    env->DeleteLocalRef(resultClass);
    return results;
}

jobjectArray readSelection(JNIEnv* env, IDataObject* selection) {
    FORMATETC format = {static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"CFSTR_DSOP_DS_SELECTION_LIST")), nullptr,
                        DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(selection->GetData(&format, &medium))) return nullptr;
    jobjectArray results = nullptr;
    if (auto* list = static_cast<const DS_SELECTION_LIST*>(GlobalLock(medium.hGlobal))) {
        results = resultsOf(env, list);
        GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    return results;
}

}  // namespace

ObjectPickerFunctions g_objectPickerFunctions = {nullptr, initializePicker};

// The value comes from the picker's data object; its bytes are read only
// as far as the array holds them: the fixed part of a SID (revision,
// sub-authority count, authority) first, then as many sub-authorities as
// that count gives.
wchar_t* objectPickerSidText(const VARIANT* value) {
    if (!value || value->vt != (VT_ARRAY | VT_UI1) || !value->parray) return nullptr;
    SAFEARRAY* array = value->parray;
    if (SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != 1) return nullptr;
    ULONG size = array->rgsabound[0].cElements;
    if (size < kSidFixedBytes || !g_objectPickerFunctions.convertSidToStringSid) return nullptr;
    void* bytes = nullptr;
    if (FAILED(SafeArrayAccessData(array, &bytes))) return nullptr;
    PSID sid = static_cast<PSID>(bytes);
    wchar_t* text = nullptr;
    if (!IsValidSid(sid) || GetLengthSid(sid) > size || !g_objectPickerFunctions.convertSidToStringSid(sid, &text))
        text = nullptr;
    SafeArrayUnaccessData(array);
    return text;
}

HWND objectPickerParent() {
    if (!g_consoleLookedUp) {
        g_consoleWindow = findConsoleWindow();
        g_consoleLookedUp = true;
    }
    g_lastOwnWindow = nullptr;
    EnumWindows(noteOwnVisibleWindow, 0);
    return g_lastOwnWindow ? g_lastOwnWindow : g_consoleWindow;
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_com_tavra_runtime_installer_platform_win32_ObjectPicker_show0(
    JNIEnv* env, jclass, jboolean multiSelect, jboolean groups, jboolean users, jboolean wellKnownPrincipals,
    jboolean localComputerOnly) {
    if (!bindFromLoadedModule(g_objectPickerFunctions.convertSidToStringSid, L"advapi32.dll",
                              "ConvertSidToStringSidW"))
        return nullptr;
    HWND parent = objectPickerParent();
    if (!parent) {
        printf("could not find window\n");
        fflush(stdout);
        return nullptr;
    }
    if (FAILED(CoInitialize(nullptr))) return nullptr;

    ObjectPickerScope scope = objectPickerScope(
        {multiSelect != 0, groups != 0, users != 0, wellKnownPrincipals != 0, localComputerOnly != 0});
    DSOP_SCOPE_INIT_INFO scopeInfo = {};
    scopeInfo.cbSize = sizeof scopeInfo;
    scopeInfo.flType = scope.scopeType;
    scopeInfo.flScope = scope.scopeFlags;
    scopeInfo.FilterFlags.Uplevel.flBothModes = scope.uplevelFilter;
    scopeInfo.FilterFlags.flDownlevel = scope.downlevelFilter;
    PCWSTR attributes[] = {L"objectSID"};
    DSOP_INIT_INFO request = {};
    request.cbSize = sizeof request;
    request.pwzTargetComputer = nullptr;
    request.cDsScopeInfos = 1;
    request.aDsScopeInfos = &scopeInfo;
    request.flOptions = scope.options;
    request.cAttributesToFetch = 1;
    request.apwzAttributeNames = attributes;

    IDsObjectPicker* picker = nullptr;
    CoCreateInstance(kDsObjectPicker, nullptr, CLSCTX_INPROC_SERVER, kIDsObjectPicker, reinterpret_cast<void**>(&picker));
    jobjectArray results = nullptr;
    if (SUCCEEDED(g_objectPickerFunctions.initialize(picker, &request))) {
        IDataObject* selection = nullptr;
        if (picker && picker->InvokeDialog(parent, &selection) == S_OK && selection) results = readSelection(env, selection);
        if (selection) selection->Release();
    }
    if (picker) picker->Release();
    CoUninitialize();
    fflush(stdout);
    return results;
}
