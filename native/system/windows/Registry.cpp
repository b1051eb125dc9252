// Registry keys and values for the Java side: keys are opened from a root
// code (1 HKCR, 2 HKCU, 3 HKLM, 4 HKU, 5 HKCC) and a path, with the caller's
// view flags (KEY_WOW64_64KEY, KEY_WOW64_32KEY or 0) added to every access
// mask. Nothing throws: a key that cannot be opened gives false, null or
// nothing.
#include "native/system/windows/Registry.h"

#include <jni.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/NativeHandles.h"
#include "native/frame/windows/OptionalBinding.h"
#include "native/frame/windows/Privileges.h"
#include "native/frame/windows/ShellBinding.h"
#include "native/system/RegistryData.h"

RegistryFunctions g_registryFunctions = {RegRestoreKeyW, nullptr};

namespace {

// Values are read and written through one buffer of this size.
const DWORD kValueBytes = 100000;
const DWORD kSmallValueBytes = 1024;
const DWORD kEnumNameChars = 4096;
const DWORD kDeleteNameChars = 1024;

enum class OpenMode { Read, Write, Create };

HKEY rootKey(jint root) {
    switch (root) {
    case 1: return HKEY_CLASSES_ROOT;
    case 2: return HKEY_CURRENT_USER;
    case 3: return HKEY_LOCAL_MACHINE;
    case 4: return HKEY_USERS;
    case 5: return HKEY_CURRENT_CONFIG;
    default: return nullptr;
    }
}

// The key of root code and path in one of the three modes; an invalid key
// when it cannot be opened or created.
UniqueKey openKey(jint root, const wchar_t* path, jint view, OpenMode mode) {
    UniqueKey key;
    HKEY base = rootKey(root);
    if (!base) return key;
    REGSAM viewFlags = static_cast<REGSAM>(view);
    LSTATUS status;
    if (mode == OpenMode::Create)
        status = RegCreateKeyExW(base, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | viewFlags,
                                 nullptr, key.put(), nullptr);
    else
        status = RegOpenKeyExW(base, path, 0, KEY_READ | (mode == OpenMode::Write ? KEY_SET_VALUE : 0) | viewFlags,
                               key.put());
    if (status != ERROR_SUCCESS) key.release();
    return key;
}

UniqueKey openKey(JNIEnv* env, jint root, jstring path, jint view, OpenMode mode) {
    JavaWide keyPath(env, path);
    // An empty stand-in for the path would open the root itself.
    if (keyPath.failed()) return UniqueKey();
    return openKey(root, keyPath.get(), view, mode);
}

const char16_t* units(const BYTE* data) { return reinterpret_cast<const char16_t*>(data); }

jstring stringOfValue(JNIEnv* env, const BYTE* data, DWORD size) {
    return javaStringFromWide(env, reinterpret_cast<const wchar_t*>(data), registryStringUnits(units(data), size));
}

// new <className>(<argument>) through the constructor of that signature.
jobject newValueObject(JNIEnv* env, const char* className, const char* signature, jvalue argument) {
    jclass cls = env->FindClass(className);
    jmethodID constructor = cls ? env->GetMethodID(cls, "<init>", signature) : nullptr;
    jobject object = constructor ? env->NewObjectA(cls, constructor, &argument) : nullptr;
    if (!object) dropPendingException(env);
    if (cls) env->DeleteLocalRef(cls);
    return object;
}

jobject multiStringOfValue(JNIEnv* env, const BYTE* data, DWORD size) {
    JavaStringList list;
    for (const UnitSpan& part : registryMultiStringParts(units(data), size))
        list.add(javaStringFromWide(env, reinterpret_cast<const wchar_t*>(data) + part.start, part.length));
    return newStringArray(env, list);
}

jobject javaValueOf(JNIEnv* env, DWORD type, const BYTE* data, DWORD size) {
    switch (type) {
    case REG_SZ: return stringOfValue(env, data, size);
    case REG_EXPAND_SZ: {
        jvalue text;
        text.l = stringOfValue(env, data, size);
        if (!text.l) return nullptr;
        return newValueObject(env, "com/tavra/api/windows/WinRegistry$ExpandString", "(Ljava/lang/String;)V", text);
    }
    case REG_BINARY: {
        jbyteArray bytes = env->NewByteArray(static_cast<jsize>(size));
        if (bytes) env->SetByteArrayRegion(bytes, 0, static_cast<jsize>(size), reinterpret_cast<const jbyte*>(data));
        else dropPendingException(env);
        return bytes;
    }
    case REG_DWORD: {
        // A shorter value reads as its bytes and zeros.
        DWORD value = 0;
        memcpy(&value, data, size < sizeof value ? size : sizeof value);
        jvalue number;
        number.i = static_cast<jint>(value);
        return newValueObject(env, "java/lang/Integer", "(I)V", number);
    }
    case REG_MULTI_SZ: return multiStringOfValue(env, data, size);
    default: return nullptr;
    }
}

bool isInstanceOf(JNIEnv* env, jobject value, const char* className) {
    if (!value) return false;
    jclass cls = env->FindClass(className);
    if (!cls) {
        dropPendingException(env);
        return false;
    }
    bool instance = env->IsInstanceOf(value, cls);
    env->DeleteLocalRef(cls);
    return instance;
}

// Codes 1 and 5: at most half the buffer less one characters and a NUL.
bool fillString(JNIEnv* env, jobject value, BYTE* buffer, DWORD* size) {
    if (!isInstanceOf(env, value, "java/lang/String")) return false;
    JavaWide text(env, static_cast<jstring>(value));
    if (text.failed()) return false;
    wchar_t* out = reinterpret_cast<wchar_t*>(buffer);
    const size_t maxChars = kValueBytes / 2 - 1;
    size_t n = 0;
    while (n < maxChars && text.get()[n]) {
        out[n] = text.get()[n];
        ++n;
    }
    out[n] = 0;
    *size = static_cast<DWORD>(n * 2 + 2);
    return true;
}

// Code 2: Integer.intValue(), 4 bytes.
bool fillInteger(JNIEnv* env, jobject value, BYTE* buffer, DWORD* size) {
    if (!value) return false;
    jclass integer = env->FindClass("java/lang/Integer");
    jmethodID intValue = integer ? env->GetMethodID(integer, "intValue", "()I") : nullptr;
    if (!intValue) dropPendingException(env);
    bool isInteger = intValue && env->IsInstanceOf(value, integer);
    if (integer) env->DeleteLocalRef(integer);
    if (!isInteger) return false;
    DWORD number = static_cast<DWORD>(env->CallIntMethod(value, intValue));
    memcpy(buffer, &number, sizeof number);
    *size = sizeof number;
    return true;
}

// Code 3: each element and its NUL, then the final NUL.
bool fillMultiString(JNIEnv* env, jobject value, BYTE* buffer, DWORD* size) {
    if (!isInstanceOf(env, value, "[Ljava/lang/String;")) return false;
    jobjectArray array = static_cast<jobjectArray>(value);
    MultiStringWriter writer(reinterpret_cast<char16_t*>(buffer), kValueBytes / 2);
    jsize count = env->GetArrayLength(array);
    for (jsize i = 0; i < count; ++i) {
        jstring element = static_cast<jstring>(env->GetObjectArrayElement(array, i));
        JavaWide text(env, element);
        env->DeleteLocalRef(element);
        if (text.failed()) return false;
        const wchar_t* chars = text.isNull() ? L"" : text.get();
        if (!writer.append(reinterpret_cast<const char16_t*>(chars), wcslen(chars))) return false;
    }
    *size = static_cast<DWORD>(writer.finish());
    return true;
}

// Code 4: the array's bytes, at most the buffer's size.
bool fillBinary(JNIEnv* env, jobject value, BYTE* buffer, DWORD* size) {
    if (!isInstanceOf(env, value, "[B")) return false;
    jbyteArray array = static_cast<jbyteArray>(value);
    jsize length = env->GetArrayLength(array);
    DWORD count = length < static_cast<jsize>(kValueBytes) ? static_cast<DWORD>(length) : kValueBytes;
    env->GetByteArrayRegion(array, 0, static_cast<jsize>(count), reinterpret_cast<jbyte*>(buffer));
    *size = count;
    return true;
}

// The Windows type and data of a value of the Java side's type code.
bool fillValue(JNIEnv* env, jobject value, jint typeCode, BYTE* buffer, DWORD* type, DWORD* size) {
    switch (typeCode) {
    case 1: *type = REG_SZ; return fillString(env, value, buffer, size);
    case 5: *type = REG_EXPAND_SZ; return fillString(env, value, buffer, size);
    case 2: *type = REG_DWORD; return fillInteger(env, value, buffer, size);
    case 3: *type = REG_MULTI_SZ; return fillMultiString(env, value, buffer, size);
    case 4: *type = REG_BINARY; return fillBinary(env, value, buffer, size);
    default: return false;
    }
}

// Deletes subKey below parent with all its subkeys: their names are
// collected first, since deleting while enumerating shifts the indexes.
void deleteKeyTree(HKEY parent, const wchar_t* subKey, REGSAM view) {
    {
        UniqueKey key;
        if (RegOpenKeyExW(parent, subKey, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return;
        std::vector<std::wstring> children;
        wchar_t name[kDeleteNameChars];
        for (DWORD index = 0;; ++index) {
            DWORD nameChars = kDeleteNameChars;
            if (RegEnumKeyExW(key.get(), index, name, &nameChars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            children.emplace_back(name, nameChars);
        }
        for (const std::wstring& child : children) deleteKeyTree(key.get(), child.c_str(), view);
    }
    if (view != 0 &&
        bindFromLoadedModule(g_registryFunctions.deleteKeyEx, L"advapi32.dll", "RegDeleteKeyExW"))
        g_registryFunctions.deleteKeyEx(parent, subKey, view, 0);
    else
        RegDeleteKeyW(parent, subKey);
}

bool isEmptyKey(HKEY key) {
    DWORD subKeys = 0, values = 0;
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS &&
           subKeys == 0 && values == 0;
}

using EnumFunction = LSTATUS (*)(HKEY key, DWORD index, wchar_t* name, DWORD* nameChars);

LSTATUS enumSubKey(HKEY key, DWORD index, wchar_t* name, DWORD* nameChars) {
    wchar_t className[kEnumNameChars];
    DWORD classChars = kEnumNameChars;
    return RegEnumKeyExW(key, index, name, nameChars, nullptr, className, &classChars, nullptr);
}

LSTATUS enumValue(HKEY key, DWORD index, wchar_t* name, DWORD* nameChars) {
    return RegEnumValueW(key, index, name, nameChars, nullptr, nullptr, nullptr, nullptr);
}

// The names of the key's subkeys or values in enumeration order. A name
// longer than the buffer is passed over; any error other than that ends the
// list, so a key deleted meanwhile cannot keep the loop going.
jobjectArray enumNames(JNIEnv* env, jint root, jstring path, jint view, EnumFunction enumerate) {
    UniqueKey key = openKey(env, root, path, view, OpenMode::Read);
    if (!key) return nullptr;
    JavaStringList names;
    wchar_t name[kEnumNameChars];
    for (DWORD index = 0;; ++index) {
        DWORD nameChars = kEnumNameChars;
        LSTATUS status = enumerate(key.get(), index, name, &nameChars);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        names.add(javaStringFromWide(env, name, nameChars));
    }
    return newStringArray(env, names);
}

}  // namespace

extern "C" {

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Registry_keyExists0(JNIEnv* env, jclass,
                                                                                               jint root, jstring path,
                                                                                               jint view) {
    return openKey(env, root, path, view, OpenMode::Read).valid();
}

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Registry_createKey0(JNIEnv* env, jclass,
                                                                                               jint root, jstring path,
                                                                                               jint view) {
    return openKey(env, root, path, view, OpenMode::Create).valid();
}

JNIEXPORT jobject JNICALL Java_com_tavra_runtime_installer_platform_win32_Registry_getValue0(JNIEnv* env, jclass,
                                                                                             jint root, jstring path,
                                                                                             jstring valueName,
                                                                                             jint view) {
    UniqueKey key = openKey(env, root, path, view, OpenMode::Read);
    if (!key) return nullptr;
    JavaWide name(env, valueName);
    if (name.failed()) return nullptr;
    // Most values fit a small buffer on the stack; only a larger one is read
    // again into the value buffer, whose size still sets the limit.
    BYTE small[kSmallValueBytes];
    DWORD type = 0, size = kSmallValueBytes;
    LSTATUS status = RegQueryValueExW(key.get(), name.get(), nullptr, &type, small, &size);
    if (status == ERROR_SUCCESS) return javaValueOf(env, type, small, size);
    if (status != ERROR_MORE_DATA || size > kValueBytes) return nullptr;
    HeapArray<BYTE> buffer(kValueBytes);
    size = kValueBytes;
    if (RegQueryValueExW(key.get(), name.get(), nullptr, &type, buffer.get(), &size) != ERROR_SUCCESS) return nullptr;
    return javaValueOf(env, type, buffer.get(), size);
}

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Registry_setValue0(
    JNIEnv* env, jclass, jint root, jstring path, jstring valueName, jobject value, jint typeCode, jint view) {
    UniqueKey key = openKey(env, root, path, view, OpenMode::Create);
    if (!key) return JNI_FALSE;
    HeapArray<BYTE> buffer(kValueBytes);
    DWORD type = 0, size = 0;
    if (!fillValue(env, value, typeCode, buffer.get(), &type, &size)) return JNI_FALSE;
    JavaWide name(env, valueName);
    // An empty stand-in for the name would write the key's default value.
    if (name.failed()) return JNI_FALSE;
    LSTATUS status = RegSetValueExW(key.get(), name.get(), 0, type, buffer.get(), size);
    if (status != ERROR_SUCCESS) {
        printf("no success %d\n", static_cast<int>(status));
        fflush(stdout);
        return JNI_FALSE;
    }
    return JNI_TRUE;
}

JNIEXPORT void JNICALL Java_com_tavra_runtime_installer_platform_win32_Registry_deleteValue0(JNIEnv* env, jclass,
                                                                                             jint root, jstring path,
                                                                                             jstring valueName,
                                                                                             jint view) {
    UniqueKey key = openKey(env, root, path, view, OpenMode::Write);
    if (!key) return;
    JavaWide name(env, valueName);
    if (name.failed()) return;
    RegDeleteValueW(key.get(), name.get());
}

JNIEXPORT void JNICALL Java_com_tavra_runtime_installer_platform_win32_Registry_deleteKey0(JNIEnv* env, jclass,
                                                                                           jint root, jstring path,
                                                                                           jboolean onlyIfEmpty,
                                                                                           jint view) {
    JavaWide keyPath(env, path);
    // Windows opens the root itself for a null or empty subkey, so the tree
    // delete would empty the whole hive before failing on the root.
    if (keyPath.failed() || !keyPath.get() || !keyPath.get()[0]) return;
    // The emptiness test reads the key: a key the caller may delete but not
    // write to would otherwise skip the test and lose its whole tree. A key
    // that cannot be read is left as it is; a missing one has nothing to lose.
    if (onlyIfEmpty) {
        UniqueKey key = openKey(root, keyPath.get(), view, OpenMode::Read);
        if (!key || !isEmptyKey(key.get())) return;
    }
    HKEY base = rootKey(root);
    if (!base) return;
    deleteKeyTree(base, keyPath.get(), static_cast<REGSAM>(view));
}

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Registry_saveKey0(JNIEnv* env, jclass,
                                                                                             jint root, jstring path,
                                                                                             jstring file, jint view) {
    if (!enableProcessPrivilege(SE_BACKUP_NAME)) return JNI_FALSE;
    UniqueKey key = openKey(env, root, path, view, OpenMode::Write);
    if (!key) return JNI_FALSE;
    JavaWide fileName(env, file);
    if (fileName.failed()) return JNI_FALSE;
    return RegSaveKeyW(key.get(), fileName.get(), nullptr) == ERROR_SUCCESS;
}

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Registry_restoreKey0(JNIEnv* env, jclass,
                                                                                                jint root,
                                                                                                jstring path,
                                                                                                jstring file,
                                                                                                jint view) {
    if (!enableProcessPrivilege(SE_BACKUP_NAME) || !enableProcessPrivilege(SE_RESTORE_NAME)) return JNI_FALSE;
    UniqueKey key = openKey(env, root, path, view, OpenMode::Create);
    if (!key) return JNI_FALSE;
    JavaWide fileName(env, file);
    if (fileName.failed()) return JNI_FALSE;
    return g_registryFunctions.restoreKey(key.get(), fileName.get(), 0) == ERROR_SUCCESS;
}

JNIEXPORT jobjectArray JNICALL Java_com_tavra_runtime_installer_platform_win32_Registry_enumSubKeys0(JNIEnv* env,
                                                                                                     jclass, jint root,
                                                                                                     jstring path,
                                                                                                     jint view) {
    return enumNames(env, root, path, view, enumSubKey);
}

JNIEXPORT jobjectArray JNICALL Java_com_tavra_runtime_installer_platform_win32_Registry_enumValues0(JNIEnv* env,
                                                                                                    jclass, jint root,
                                                                                                    jstring path,
                                                                                                    jint view) {
    return enumNames(env, root, path, view, enumValue);
}

JNIEXPORT void JNICALL Java_com_tavra_runtime_installer_platform_win32_Registry_changeNotifyAssociations0(JNIEnv*,
                                                                                                          jclass) {
    shellChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // extern "C"
