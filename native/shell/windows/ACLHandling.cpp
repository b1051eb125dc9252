// Grants a user or group access to a file, a directory or a registry key:
// one explicit "allow" entry, inherited by files and subfolders (or
// subkeys), merged into the object's current access list.
#include "native/shell/windows/ACLHandling.h"

#include <jni.h>

#include <cstdio>

#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/NativeHandles.h"
#include "native/frame/windows/OptionalBinding.h"
#include "native/shell/AclRules.h"

AclFunctions g_aclFunctions = {GetNamedSecurityInfoW, SetEntriesInAclW, SetNamedSecurityInfoW};

namespace {

// Account names are looked up with SID buffers of this many bytes and domain
// buffers of this many units.
const DWORD kSidBytes = 8192;
const DWORD kDomainUnits = 8192;

using ConvertStringSidFunction = BOOL(WINAPI*)(LPCWSTR text, PSID* sid);

// The trustee's SID and how it is freed: LocalFree for an account's SID,
// FreeSid for one built from an authority.
class TrusteeSidHolder {
public:
    TrusteeSidHolder() = default;
    ~TrusteeSidHolder() {
        if (!sid_) return;
        if (local_) LocalFree(sid_);
        else FreeSid(sid_);
    }
    TrusteeSidHolder(const TrusteeSidHolder&) = delete;
    TrusteeSidHolder& operator=(const TrusteeSidHolder&) = delete;

    void holdLocal(PSID sid) { sid_ = sid, local_ = true; }
    void holdBuilt(PSID sid) { sid_ = sid, local_ = false; }
    PSID get() const { return sid_; }

private:
    PSID sid_ = nullptr;
    bool local_ = false;
};

// The SID of a SID text, or else of an account name on the local machine.
// No account gives no SID: the name look-up would answer a null or empty
// name with some account of its own choosing.
PSID sidOfAccount(const wchar_t* account) {
    if (!account || !*account) return nullptr;
    ConvertStringSidFunction convert = nullptr;
    if (!bindSlot(convert, procOfLoadedModule(L"advapi32.dll", "ConvertStringSidToSidW"))) return nullptr;
    PSID sid = nullptr;
    if (convert(account, &sid)) return sid;
    UniqueLocalMemory found(LocalAlloc(LMEM_ZEROINIT, kSidBytes));
    if (!found) return nullptr;
    HeapArray<wchar_t> domain(kDomainUnits);
    DWORD sidSize = kSidBytes, domainSize = kDomainUnits;
    SID_NAME_USE use;
    if (!LookupAccountNameW(nullptr, account, found.get(), &sidSize, domain.get(), &domainSize, &use)) return nullptr;
    return found.release();
}

// False only when a SID of an authority could not be built; an account
// that gives no SID leaves the holder empty.
bool buildTrusteeSid(jint kind, const wchar_t* account, TrusteeSidHolder& holder) {
    TrusteeSid trustee = trusteeSidOfKind(kind);
    if (trustee.fromAccount) {
        holder.holdLocal(sidOfAccount(account));
        return true;
    }
    SID_IDENTIFIER_AUTHORITY authority = {{0, 0, 0, 0, 0, trustee.authority}};
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&authority, 1, trustee.subAuthority, 0, 0, 0, 0, 0, 0, 0, &sid)) return false;
    holder.holdBuilt(sid);
    return true;
}

// Merges the entry into the object's access list and writes the list back
// (an object open to everyone is left as it is); the first failing call's
// code, or 0.
DWORD applyEntry(wchar_t* path, SE_OBJECT_TYPE type, EXPLICIT_ACCESS_W& entry) {
    if (!path) return ERROR_INVALID_PARAMETER;
    PACL current = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD code = g_aclFunctions.getNamedSecurityInfo(path, type, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                                     &current, nullptr, &descriptor);
    UniqueLocalMemory descriptorHolder(descriptor);
    if (code != ERROR_SUCCESS) {
        printf("GetNamedSecurityInfo Error %u %ls\n", static_cast<unsigned>(code), path);
        fflush(stdout);
        return code;
    }
    // No list at all (a NULL DACL) lets everyone do everything, so the entry
    // is granted already. A list of the entry alone would take all other
    // access away, so nothing is written.
    if (!current) return ERROR_SUCCESS;
    PACL merged = nullptr;
    code = g_aclFunctions.setEntriesInAcl(1, &entry, current, &merged);
    UniqueLocalMemory mergedHolder(merged);
    if (code != ERROR_SUCCESS) {
        printf("SetEntriesInAcl Error %u\n", static_cast<unsigned>(code));
        fflush(stdout);
        return code;
    }
    code = g_aclFunctions.setNamedSecurityInfo(path, type, DACL_SECURITY_INFORMATION, nullptr, nullptr, merged,
                                               nullptr);
    if (code != ERROR_SUCCESS) {
        printf("SetNamedSecurityInfo Error %u\n", static_cast<unsigned>(code));
        fflush(stdout);
    }
    return code;
}

}  // namespace

extern "C" {

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_ACLHandling_addACE(
    JNIEnv* env, jclass, jstring objectPath, jboolean registryKey, jboolean read, jboolean write, jboolean execute,
    jboolean all, jint trusteeKind, jstring account) {
    TrusteeSidHolder sid;
    {
        JavaWide accountName(env, account);
        if (accountName.failed() || !buildTrusteeSid(trusteeKind, accountName.get(), sid)) return JNI_FALSE;
    }
    if (!sid.get()) return JNI_FALSE;
    EXPLICIT_ACCESS_W entry = {};
    entry.grfAccessPermissions = aclAccessMask(read, write, execute, all);
    entry.grfAccessMode = GRANT_ACCESS;
    entry.grfInheritance = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(sid.get());
    JavaWide path(env, objectPath);
    if (path.failed()) return JNI_FALSE;
    SE_OBJECT_TYPE type = registryKey ? SE_REGISTRY_KEY : SE_FILE_OBJECT;
    return applyEntry(path.mutableText(), type, entry) == ERROR_SUCCESS ? JNI_TRUE : JNI_FALSE;
}

}  // extern "C"
