// Facts about the calling user and management of local accounts for the
// Java side: group membership, elevation, SIDs and account names, profile
// directories, elevated starts, local users and groups, and account rights
// of the local security policy. Nothing throws: failures are the values
// each native documents (true for a membership that cannot be determined,
// null, -1, step-coded or space-prefixed texts, false).
#include "native/system/windows/Win32UserInfo.h"

#include <jni.h>

#include <cstddef>
#include <cwchar>
#include <vector>

#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/NativeHandles.h"
#include "native/frame/windows/OptionalBinding.h"
#include "native/frame/windows/ShellBinding.h"
#include "native/system/UserAccountText.h"

namespace {

FARPROC findProcAddress(HMODULE module, const char* name) { return GetProcAddress(module, name); }

}  // namespace

UserInfoFunctions g_userInfoFunctions = {
    nullptr, nullptr, nullptr, nullptr, nullptr,           // token binding
    nullptr, nullptr, nullptr,                             // SID texts, logon
    nullptr, nullptr, nullptr, nullptr,                    // LSA
    nullptr, nullptr, nullptr, nullptr,                    // netapi32: deletions, groups,
    nullptr, nullptr, nullptr, nullptr,                    // users and members
    nullptr,                                               // Userenv.dll
    LookupAccountNameW, LookupAccountSidW, findProcAddress, false};

namespace {

UserInfoFunctions& bound() { return g_userInfoFunctions; }

// Results and looked-up names use buffers of this many UTF-16 units, SIDs
// looked up by name buffers of this many bytes.
const DWORD kTextUnits = 8192;
const DWORD kSidBytes = 8192;

const DWORD kLogonNetwork = 3;     // LOGON32_LOGON_NETWORK
const DWORD kProviderDefault = 0;  // LOGON32_PROVIDER_DEFAULT
const ACCESS_MASK kPolicyAccess = POLICY_CREATE_ACCOUNT | POLICY_LOOKUP_NAMES;  // 0x810
const DWORD kGroupEnabledNotDenyOnly = SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY;  // 0x14

int lastError() { return static_cast<int>(GetLastError()); }

const char16_t* u16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

struct SidTraits {
    static PSID none() { return nullptr; }
    static bool valid(PSID sid) { return sid != nullptr; }
    static void close(PSID sid) { FreeSid(sid); }
};
using UniqueSid = UniqueResource<PSID, SidTraits>;

struct LibraryTraits {
    static HMODULE none() { return nullptr; }
    static bool valid(HMODULE module) { return module != nullptr; }
    static void close(HMODULE module) { FreeLibrary(module); }
};
using UniqueLibrary = UniqueResource<HMODULE, LibraryTraits>;

// A buffer that the network API allocated, freed with NetApiBufferFree.
struct NetBufferTraits {
    static LPBYTE none() { return nullptr; }
    static bool valid(LPBYTE buffer) { return buffer != nullptr; }
    static void close(LPBYTE buffer) { bound().netApiBufferFree(buffer); }
};
using UniqueNetBuffer = UniqueResource<LPBYTE, NetBufferTraits>;

// A result text in a buffer of its own.
struct ResultText {
    HeapArray<char16_t> buffer{kTextUnits};
    UnitText text{buffer.get(), kTextUnits};
};

template <class Function>
bool bindIn(Function& slot, HMODULE module, const char* name) {
    return slot || (module && bindSlot(slot, bound().findFunction(module, name)));
}

HMODULE advapi32() { return GetModuleHandleW(L"advapi32.dll"); }

template <class Function>
bool bindAdvapi(Function& slot, const char* name) {
    return slot || bindIn(slot, advapi32(), name);
}

// netapi32 stays loaded once it was loaded here.
HMODULE netapi32() {
    HMODULE module = GetModuleHandleW(L"netapi32.dll");
    return module ? module : loadSystemModule(L"netapi32.dll");
}

template <class Function>
bool bindNetapi(Function& slot, const char* name) {
    return slot || bindIn(slot, netapi32(), name);
}

// All five token functions, or the natives that need them give up.
bool bindTokenFunctions() {
    UserInfoFunctions& f = bound();
    bool complete = bindAdvapi(f.allocateAndInitializeSid, "AllocateAndInitializeSid");
    complete &= bindAdvapi(f.equalSid, "EqualSid");
    complete &= bindAdvapi(f.getTokenInformation, "GetTokenInformation");
    complete &= bindAdvapi(f.openProcessToken, "OpenProcessToken");
    complete &= bindAdvapi(f.openThreadToken, "OpenThreadToken");
    return complete;
}

// The thread's token when it impersonates, otherwise the process's token.
// A thread token that exists but cannot be opened is not replaced by the
// process's: that would answer for another identity.
UniqueHandle openCallerToken() {
    UserInfoFunctions& f = bound();
    HANDLE token = nullptr;
    if (f.openThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return UniqueHandle(token);
    if (GetLastError() != ERROR_NO_TOKEN) return UniqueHandle();
    token = nullptr;
    if (f.openProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return UniqueHandle(token);
    return UniqueHandle();
}

enum class TokenRead { Done, SizeUnknown, ReadFailed };

// A size query, then the read of one class of token information.
TokenRead readTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, std::vector<BYTE>& info) {
    UserInfoFunctions& f = bound();
    DWORD size = 0;
    if (!f.getTokenInformation(token, infoClass, nullptr, 0, &size) && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return TokenRead::SizeUnknown;
    if (size == 0) return TokenRead::ReadFailed;
    info.assign(size, 0);
    if (!f.getTokenInformation(token, infoClass, info.data(), size, &size)) return TokenRead::ReadFailed;
    return TokenRead::Done;
}

// True when the groups hold the SID enabled and not for deny only.
bool groupsHoldEnabled(const std::vector<BYTE>& info, PSID sid) {
    if (info.size() < offsetof(TOKEN_GROUPS, Groups)) return false;
    const TOKEN_GROUPS* groups = reinterpret_cast<const TOKEN_GROUPS*>(info.data());
    size_t room = (info.size() - offsetof(TOKEN_GROUPS, Groups)) / sizeof(SID_AND_ATTRIBUTES);
    size_t count = groups->GroupCount < room ? groups->GroupCount : room;
    for (size_t i = 0; i < count; ++i) {
        const SID_AND_ATTRIBUTES& group = groups->Groups[i];
        if (bound().equalSid(group.Sid, sid) && (group.Attributes & kGroupEnabledNotDenyOnly) == SE_GROUP_ENABLED)
            return true;
    }
    return false;
}

jstring javaStringOf(JNIEnv* env, const UnitText& text) { return javaStringFromWide(env, wide(text.text())); }

// True for a text that starts as a SID does ("S-" or "s-"). The conversion
// also takes two-letter abbreviations ("BA", "AU", "SY", in any case), which
// would turn a user named so into a built-in account.
bool hasSidForm(const wchar_t* text) { return (text[0] == L'S' || text[0] == L's') && text[1] == L'-'; }

// The SID of a SID text, freed with LocalFree; invalid when the text does
// not convert (GetLastError says why).
UniqueLocalMemory sidOfText(const wchar_t* text) {
    PSID sid = nullptr;
    if (!bound().convertStringSidToSid(text, &sid)) return UniqueLocalMemory();
    return UniqueLocalMemory(sid);
}

// The SID of an account name on the local machine, in 8192 zeroed bytes of
// LocalAlloc; invalid when the name is unknown.
UniqueLocalMemory sidOfAccountName(const wchar_t* account) {
    UniqueLocalMemory sid(LocalAlloc(LMEM_ZEROINIT, kSidBytes));
    if (!sid) return sid;
    HeapArray<wchar_t> domain(kTextUnits);
    DWORD sidSize = kSidBytes, domainSize = kTextUnits;
    SID_NAME_USE use;
    if (!bound().lookupAccountName(nullptr, account, sid.get(), &sidSize, domain.get(), &domainSize, &use))
        sid.reset();
    return sid;
}

// The name and domain of a SID on the local machine.
struct Account {
    HeapArray<wchar_t> name{kTextUnits};
    HeapArray<wchar_t> domain{kTextUnits};
};

bool lookUpAccount(PSID sid, Account& account) {
    DWORD nameSize = kTextUnits, domainSize = kTextUnits;
    SID_NAME_USE use;
    return bound().lookupAccountSid(nullptr, sid, account.name.get(), &nameSize, account.domain.get(), &domainSize,
                                    &use);
}

// Appends the SID in string form; false when it does not convert.
bool appendSidText(UnitText& out, PSID sid) {
    LPWSTR text = nullptr;
    if (!bound().convertSidToStringSid(sid, &text)) return false;
    out.append(u16(text));
    LocalFree(text);
    return true;
}

bool hasText(const JavaWide& text) { return !text.isNull() && text.get()[0] != 0; }

// The functions account creation needs, all of them or none.
bool bindAccountCreation() {
    UserInfoFunctions& f = bound();
    bool complete = bindAdvapi(f.convertSidToStringSid, "ConvertSidToStringSidW");
    complete &= bindNetapi(f.netLocalGroupAdd, "NetLocalGroupAdd");
    complete &= bindNetapi(f.netLocalGroupGetInfo, "NetLocalGroupGetInfo");
    complete &= bindNetapi(f.netApiBufferFree, "NetApiBufferFree");
    complete &= bindNetapi(f.netUserAdd, "NetUserAdd");
    complete &= bindNetapi(f.netUserGetInfo, "NetUserGetInfo");
    complete &= bindNetapi(f.netLocalGroupAddMembers, "NetLocalGroupAddMembers");
    return complete;
}

// Creates the group or checks that it exists; false with the step's text
// on failure.
bool prepareGroup(const wchar_t* group, const wchar_t* comment, bool create, bool failIfExists, bool& created,
                  UnitText& result) {
    UserInfoFunctions& f = bound();
    if (create) {
        LOCALGROUP_INFO_1 info = {const_cast<LPWSTR>(group), const_cast<LPWSTR>(comment)};
        NET_API_STATUS status = f.netLocalGroupAdd(nullptr, 1, reinterpret_cast<LPBYTE>(&info), nullptr);
        if (status == NERR_Success) {
            created = true;
            return true;
        }
        bool exists = status == ERROR_ALIAS_EXISTS || status == NERR_GroupExists;
        if (exists && !failIfExists) return true;
        result.appendNumbers({1, static_cast<long long>(status)});
        return false;
    }
    UniqueNetBuffer info;
    NET_API_STATUS status = f.netLocalGroupGetInfo(nullptr, group, 1, info.put());
    if (status == NERR_Success) return true;
    result.appendNumbers({6, static_cast<long long>(status)});
    return false;
}

// Creates the user, adds it to the group, and writes the SIDs; on failure
// the step's text. The user stays when a later step fails.
void createUser(const wchar_t* user, const wchar_t* password, const wchar_t* comment, const wchar_t* group,
                bool groupCreated, UnitText& result) {
    UserInfoFunctions& f = bound();
    USER_INFO_1 info = {};
    info.usri1_name = const_cast<LPWSTR>(user);
    info.usri1_password = const_cast<LPWSTR>(password);
    info.usri1_priv = USER_PRIV_USER;
    info.usri1_comment = const_cast<LPWSTR>(comment);
    info.usri1_flags = UF_SCRIPT;
    DWORD badParameter = 0;
    NET_API_STATUS status = f.netUserAdd(nullptr, 1, reinterpret_cast<LPBYTE>(&info), &badParameter);
    if (status != NERR_Success) {
        result.appendNumbers({2, static_cast<long long>(status), static_cast<long long>(badParameter)});
        return;
    }
    UniqueNetBuffer created;
    status = f.netUserGetInfo(nullptr, user, 23, created.put());
    if (status != NERR_Success || !created) {
        result.appendNumbers({3, static_cast<long long>(status)});
        return;
    }
    PSID userSid = reinterpret_cast<USER_INFO_23*>(created.get())->usri23_user_sid;
    if (group) {
        LOCALGROUP_MEMBERS_INFO_0 member = {userSid};
        status = f.netLocalGroupAddMembers(nullptr, group, 0, reinterpret_cast<LPBYTE>(&member), 1);
        if (status != NERR_Success && status != ERROR_MEMBER_IN_ALIAS) {
            result.appendNumbers({4, static_cast<long long>(status)});
            return;
        }
    }
    HeapArray<char16_t> userText(kTextUnits);
    UnitText userSidText(userText.get(), kTextUnits);
    if (!appendSidText(userSidText, userSid)) {
        result.appendNumber(5);
        return;
    }
    // The group's SID is added only when the group can be looked up.
    HeapArray<char16_t> groupText(kTextUnits);
    UnitText groupSidText(groupText.get(), kTextUnits);
    UniqueLocalMemory groupSid = group ? sidOfAccountName(group) : UniqueLocalMemory();
    bool groupKnown = groupSid && appendSidText(groupSidText, groupSid.get());
    appendCreatedAccount(result, userSidText.text(), groupKnown ? groupSidText.text() : nullptr, groupCreated);
}

using DeleteFunction = NET_API_STATUS(WINAPI*)(LPCWSTR server, LPCWSTR account);

jint deleteAccount(JNIEnv* env, DeleteFunction& slot, const char* name, jstring server, jstring account) {
    if (!bindNetapi(slot, name)) return -1;
    JavaWide serverName(env, server), accountName(env, account);
    if (anyCopyFailed(serverName, accountName)) return ERROR_NOT_ENOUGH_MEMORY;
    return static_cast<jint>(slot(serverName.get(), accountName.get()));
}

}  // namespace

extern "C" {

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32UserInfo_isMemberOfGroup0(JNIEnv*,
                                                                                                           jclass,
                                                                                                           jint rid) {
    // Whatever cannot be determined answers true: the caller then tries, and
    // Windows itself refuses what the user may not do.
    if (!bindTokenFunctions()) return JNI_TRUE;
    UserInfoFunctions& f = bound();
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    UniqueSid group;
    if (!f.allocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, static_cast<DWORD>(rid), 0, 0, 0,
                                    0, 0, 0, group.put()))
        return JNI_TRUE;
    UniqueHandle token = openCallerToken();
    if (!token) return JNI_TRUE;
    std::vector<BYTE> groups;
    if (readTokenInformation(token.get(), TokenGroups, groups) != TokenRead::Done) return JNI_TRUE;
    return groupsHoldEnabled(groups, group.get()) ? JNI_TRUE : JNI_FALSE;
}

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32UserInfo_executeElevated0(
    JNIEnv* env, jclass, jstring file, jstring parameters, jstring directory, jint showCommand) {
    JavaWide program(env, file), arguments(env, parameters), folder(env, directory);
    if (anyCopyFailed(program, arguments, folder)) return JNI_FALSE;
    UserInfoFunctions& f = bound();
    if (!f.sspicliLoaded) {
        // Needed by the elevation prompt on some systems; the result does not matter.
        f.sspicliLoaded = true;
        loadSystemModule(L"sspicli.dll");
    }
    HINSTANCE instance = shellExecute(nullptr, L"runas", program.get(), arguments.get(), folder.get(), showCommand);
    return reinterpret_cast<INT_PTR>(instance) > 32 ? JNI_TRUE : JNI_FALSE;
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32UserInfo_getElevationType0(JNIEnv*,
                                                                                                       jclass) {
    if (!bindTokenFunctions()) return 0;
    UserInfoFunctions& f = bound();
    HANDLE opened = nullptr;
    if (!f.openProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return 0;
    UniqueHandle token(opened);
    DWORD type = 0, size = 0;
    if (!f.getTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &size)) return 0;
    return static_cast<jint>(type);
}

JNIEXPORT jstring JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32UserInfo_addUser0(
    JNIEnv* env, jclass, jstring userName, jstring password, jstring userComment, jstring groupName,
    jstring groupComment, jboolean createGroup, jboolean failIfGroupExists) {
    if (!bindAccountCreation()) return nullptr;
    JavaWide user(env, userName), secret(env, password), comment(env, userComment);
    JavaWide group(env, groupName), groupText(env, groupComment);
    if (anyCopyFailed(user, secret, comment, group, groupText)) return nullptr;
    ResultText result;
    const wchar_t* groupToUse = hasText(group) ? group.get() : nullptr;
    bool groupCreated = false;
    if (!groupToUse ||
        prepareGroup(groupToUse, groupText.get(), createGroup, failIfGroupExists, groupCreated, result.text))
        createUser(user.get(), secret.get(), comment.get(), groupToUse, groupCreated, result.text);
    return result.text.empty() ? nullptr : javaStringOf(env, result.text);
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32UserInfo_deleteUser0(JNIEnv* env, jclass,
                                                                                                 jstring server,
                                                                                                 jstring user) {
    return deleteAccount(env, bound().netUserDel, "NetUserDel", server, user);
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32UserInfo_deleteLocalGroup0(
    JNIEnv* env, jclass, jstring server, jstring group) {
    return deleteAccount(env, bound().netLocalGroupDel, "NetLocalGroupDel", server, group);
}

JNIEXPORT jstring JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32UserInfo_getAccountName0(
    JNIEnv* env, jclass, jstring sidText, jboolean nameOnly) {
    ResultText result;
    if (!advapi32()) return javaStringOf(env, result.text);
    JavaWide sid(env, sidText);
    if (sid.failed()) {
        result.text.append(u" ").appendNumber(ERROR_NOT_ENOUGH_MEMORY);
        return javaStringOf(env, result.text);
    }
    if (const char16_t* serviceName = wellKnownAccountName(u16(sid.get()))) {
        result.text.append(serviceName);
        return javaStringOf(env, result.text);
    }
    if (!bindAdvapi(bound().convertStringSidToSid, "ConvertStringSidToSidW")) return javaStringOf(env, result.text);
    UniqueLocalMemory binary = sidOfText(sid.get());
    Account account;
    if (!binary || !lookUpAccount(binary.get(), account)) {
        result.text.append(u" ").appendNumber(lastError());
        return javaStringOf(env, result.text);
    }
    appendAccountName(result.text, u16(sid.get()), u16(account.domain.get()), u16(account.name.get()), nameOnly);
    return javaStringOf(env, result.text);
}

JNIEXPORT jstring JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32UserInfo_getUserProfileDirectory0(
    JNIEnv* env, jclass, jstring sidText, jstring password) {
    ResultText result;
    UnitText& text = result.text;
    HMODULE advapi = advapi32();
    UniqueLibrary userenv(loadSystemModule(L"Userenv.dll"));
    if (!advapi || !userenv) {
        text.append(u" could not load library ").appendNumber(lastError());
        return javaStringOf(env, text);
    }
    JavaWide sid(env, sidText), secret(env, password);
    if (wellKnownAccountName(u16(sid.get()))) {
        text.append(u" no user account");
        return javaStringOf(env, text);
    }
    UserInfoFunctions& f = bound();
    auto profileDirectory = f.getUserProfileDirectory;
    bool complete = bindIn(f.convertStringSidToSid, advapi, "ConvertStringSidToSidW");
    complete &= bindIn(f.logonUser, advapi, "LogonUserW");
    complete &= bindIn(profileDirectory, userenv.get(), "GetUserProfileDirectoryW");
    if (!complete) {
        text.append(u" could not get functions ").appendNumber(lastError());
        return javaStringOf(env, text);
    }
    // A text the VM could not copy fails the step that needs it, with the
    // error of a failed allocation.
    UniqueLocalMemory binary = sid.failed() ? UniqueLocalMemory() : sidOfText(sid.get());
    if (!binary) {
        text.append(u" could not convert sid ").appendNumber(sid.failed() ? ERROR_NOT_ENOUGH_MEMORY : lastError());
        return javaStringOf(env, text);
    }
    Account account;
    if (!lookUpAccount(binary.get(), account)) {
        text.append(u" could not look up account name ").appendNumber(lastError());
        return javaStringOf(env, text);
    }
    const wchar_t* domain = wide(shownDomain(u16(sid.get()), u16(account.domain.get())));
    HANDLE logon = nullptr;
    if (secret.failed() ||
        !f.logonUser(account.name.get(), domain, secret.get(), kLogonNetwork, kProviderDefault, &logon)) {
        text.append(u" could not get token ").appendNumber(secret.failed() ? ERROR_NOT_ENOUGH_MEMORY : lastError());
        return javaStringOf(env, text);
    }
    UniqueHandle token(logon);
    DWORD size = kTextUnits;
    if (!profileDirectory(token.get(), reinterpret_cast<LPWSTR>(result.buffer.get()), &size)) {
        int error = lastError();
        text = UnitText(result.buffer.get(), kTextUnits);
        text.append(u" could not get user profile dir ").appendNumber(error);
    }
    result.buffer[kTextUnits - 1] = 0;
    return javaStringFromWide(env, wide(result.buffer.get()));
}

JNIEXPORT jstring JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32UserInfo_getUserSid0(JNIEnv* env,
                                                                                                    jclass) {
    if (!bindTokenFunctions() || !bindAdvapi(bound().convertSidToStringSid, "ConvertSidToStringSidW"))
        return nullptr;
    UniqueHandle token = openCallerToken();
    if (!token) return nullptr;
    std::vector<BYTE> user;
    if (readTokenInformation(token.get(), TokenUser, user) != TokenRead::Done || user.size() < sizeof(TOKEN_USER))
        return nullptr;
    ResultText result;
    if (!appendSidText(result.text, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid)) return nullptr;
    return javaStringOf(env, result.text);
}

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32UserInfo_setLsaAccountRight0(
    JNIEnv* env, jclass, jstring accountText, jstring rightName, jboolean add) {
    UserInfoFunctions& f = bound();
    bool complete = bindAdvapi(f.lsaOpenPolicy, "LsaOpenPolicy");
    complete &= bindAdvapi(f.lsaAddAccountRights, "LsaAddAccountRights");
    complete &= bindAdvapi(f.lsaRemoveAccountRights, "LsaRemoveAccountRights");
    complete &= bindAdvapi(f.lsaClose, "LsaClose");
    if (!complete) return JNI_FALSE;
    JavaWide account(env, accountText), right(env, rightName);
    if (anyCopyFailed(account, right)) return JNI_FALSE;
    // The account as a SID text, or else as an account name; without one the
    // name look-up would choose an account itself.
    if (!hasText(account)) return JNI_FALSE;
    UniqueLocalMemory sid;
    if (hasSidForm(account.get()) && bindAdvapi(f.convertStringSidToSid, "ConvertStringSidToSidW"))
        sid = sidOfText(account.get());
    if (!sid) sid = sidOfAccountName(account.get());
    if (!sid) return JNI_FALSE;
    const wchar_t* rightText = right.isNull() ? L"" : right.get();
    size_t rightChars = wcslen(rightText);
    // The string's byte counts are 16 bits wide; a longer name would wrap.
    if (rightChars > 32766) return JNI_FALSE;
    LSA_OBJECT_ATTRIBUTES attributes = {};
    LSA_HANDLE policy = nullptr;
    if (f.lsaOpenPolicy(nullptr, &attributes, kPolicyAccess, &policy) != 0) return JNI_FALSE;
    LSA_UNICODE_STRING rights;
    rights.Buffer = const_cast<PWSTR>(rightText);
    rights.Length = static_cast<USHORT>(rightChars * 2);
    rights.MaximumLength = static_cast<USHORT>(rights.Length + 2);
    NTSTATUS status = add ? f.lsaAddAccountRights(policy, sid.get(), &rights, 1)
                          : f.lsaRemoveAccountRights(policy, sid.get(), right.isNull(), &rights, 1);
    f.lsaClose(policy);
    return status == 0 ? JNI_TRUE : JNI_FALSE;
}

}  // extern "C"
