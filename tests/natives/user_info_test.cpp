// Win32UserInfo: what Wine keeps (the token of an elevated administrator,
// account names, SIDs) through the exports of tvrinst.dll; what Wine only
// pretends (accounts, groups, logons, rights, filtered tokens) through the
// linked copy with doubles in its bindings.
#include <gtest/gtest.h>

#include "native/frame/windows/ShellBinding.h"
#include "native/system/windows/Win32UserInfo.h"
#include "tests/natives/NativeTestSupport.h"

#include <sddl.h>

#include <set>
#include <string>
#include <vector>

namespace {

using nativetest::callExport;
using nativetest::callLinked;

const char kClass[] = "Win32UserInfo";

jstring jstr(const std::wstring& text) { return fakejni::newString(text); }

std::wstring textOf(const fakejni::Value& value) {
    return fakejni::isNull(value.asObject()) ? L"<null>" : value.asText();
}

std::wstring sidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return L"<bad sid>";
    std::wstring result = text;
    LocalFree(text);
    return result;
}

// A SID kept by the test for as long as its doubles hand it out.
std::vector<BYTE> sidOf(const wchar_t* text) {
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(text, &sid)) return {};
    std::vector<BYTE> bytes(static_cast<const BYTE*>(sid), static_cast<const BYTE*>(sid) + GetLengthSid(sid));
    LocalFree(sid);
    return bytes;
}

std::wstring shown(const wchar_t* text) { return text ? std::wstring(text) : L"null"; }

bool handleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}

std::wstring processTokenText(TOKEN_INFORMATION_CLASS infoClass) {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    BYTE buffer[4096];
    DWORD size = 0;
    GetTokenInformation(token, infoClass, buffer, sizeof buffer, &size);
    CloseHandle(token);
    if (infoClass == TokenUser) return sidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
    return std::to_wstring(*reinterpret_cast<DWORD*>(buffer));
}

// ---- what Wine keeps, through the exports ---------------------------------------

class UserInfoOnWine : public ::testing::Test {
protected:
    void SetUp() override { nativetest::resetJni(); }
};

TEST_F(UserInfoOnWine, TheCallersSidAndElevationAreThoseOfTheProcessToken) {
    EXPECT_EQ(processTokenText(TokenUser), textOf(callExport(kClass, "getUserSid0", {})));
    jint type = callExport(kClass, "getElevationType0", {}).asInt();
    EXPECT_EQ(processTokenText(TokenElevationType), std::to_wstring(type));
    EXPECT_GE(type, 1);
    EXPECT_LE(type, 3);
}

TEST_F(UserInfoOnWine, TheAdministratorTokenHoldsAdministratorsButNotGuests) {
    EXPECT_TRUE(callExport(kClass, "isMemberOfGroup0", {544}).asBoolean());
    EXPECT_FALSE(callExport(kClass, "isMemberOfGroup0", {546}).asBoolean());
}

TEST_F(UserInfoOnWine, BuiltInGroupsAreShownOnTheLocalMachine) {
    PSID administrators = nullptr;
    ConvertStringSidToSidW(L"S-1-5-32-544", &administrators);
    wchar_t name[256], domain[256];
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use;
    ASSERT_TRUE(LookupAccountSidW(nullptr, administrators, name, &nameSize, domain, &domainSize, &use));
    LocalFree(administrators);
    EXPECT_EQ(std::wstring(L".\\") + name, textOf(callExport(kClass, "getAccountName0", {jstr(L"S-1-5-32-544"), false})));
    EXPECT_EQ(name, textOf(callExport(kClass, "getAccountName0", {jstr(L"S-1-5-32-544"), true})));
}

TEST_F(UserInfoOnWine, ServiceAccountsAreNamedWithoutALookUp) {
    EXPECT_EQ(L"NT AUTHORITY\\System", textOf(callExport(kClass, "getAccountName0", {jstr(L"S-1-5-18"), false})));
    EXPECT_EQ(L"NT AUTHORITY\\LocalService", textOf(callExport(kClass, "getAccountName0", {jstr(L"S-1-5-19"), true})));
    EXPECT_EQ(L"NT AUTHORITY\\NetworkService",
              textOf(callExport(kClass, "getAccountName0", {jstr(L"S-1-5-20"), false})));
}

TEST_F(UserInfoOnWine, ASidThatDoesNotConvertOrIsUnknownGivesItsErrorAfterASpace) {
    EXPECT_EQ(L" 1337", textOf(callExport(kClass, "getAccountName0", {jstr(L"no sid"), false})));
    EXPECT_EQ(L" 1332", textOf(callExport(kClass, "getAccountName0", {jstr(L"S-1-5-21-7-7-7-4242"), false})));
}

TEST_F(UserInfoOnWine, TheLocalSystemHasNoProfileToLogOnFor) {
    EXPECT_EQ(L" no user account",
              textOf(callExport(kClass, "getUserProfileDirectory0", {jstr(L"S-1-5-18"), jstr(L"secret")})));
}

TEST_F(UserInfoOnWine, DeletingAnUnknownUserGivesTheNetworkStatus) {
    EXPECT_EQ(NERR_UserNotFound, callExport(kClass, "deleteUser0", {nullptr, jstr(L"tvr_no_such_user")}).asInt());
}

// ---- doubles in the linked copy's bindings ---------------------------------------

// The script of the token doubles: which opens fail and what the token holds.
struct TokenScript {
    DWORD threadError = ERROR_NO_TOKEN;  // 0: the thread has a token
    bool processOpens = true;
    DWORD sizeError = ERROR_INSUFFICIENT_BUFFER;
    bool readFails = false;
    std::vector<std::vector<BYTE>> sids;
    std::vector<DWORD> attributes;
    DWORD elevationType = TokenElevationTypeLimited;
    std::vector<std::wstring> opens;
    std::vector<HANDLE> handles;
    std::vector<BYTE> groupBytes;

    void addGroup(const wchar_t* sid, DWORD groupAttributes) {
        sids.push_back(sidOf(sid));
        attributes.push_back(groupAttributes);
    }
    void buildGroups() {
        groupBytes.assign(offsetof(TOKEN_GROUPS, Groups) + sids.size() * sizeof(SID_AND_ATTRIBUTES), 0);
        auto* groups = reinterpret_cast<TOKEN_GROUPS*>(groupBytes.data());
        groups->GroupCount = static_cast<DWORD>(sids.size());
        for (size_t i = 0; i < sids.size(); ++i) groups->Groups[i] = {sids[i].data(), attributes[i]};
    }
    HANDLE newHandle() {
        HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        handles.push_back(handle);
        return handle;
    }
};
TokenScript g_token;

BOOL WINAPI fakeOpenThreadToken(HANDLE, DWORD access, BOOL openAsSelf, PHANDLE token) {
    g_token.opens.push_back(L"thread " + std::to_wstring(access) + (openAsSelf ? L" self" : L""));
    if (g_token.threadError) {
        SetLastError(g_token.threadError);
        return FALSE;
    }
    *token = g_token.newHandle();
    return TRUE;
}

BOOL WINAPI fakeOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    g_token.opens.push_back(L"process " + std::to_wstring(access) +
                            (process == GetCurrentProcess() ? L" current" : L""));
    if (!g_token.processOpens) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *token = g_token.newHandle();
    return TRUE;
}

BOOL WINAPI fakeGetTokenInformation(HANDLE, TOKEN_INFORMATION_CLASS infoClass, LPVOID info, DWORD size,
                                    PDWORD returned) {
    if (infoClass == TokenElevationType) {
        if (g_token.readFails || size < sizeof(DWORD)) return FALSE;
        *static_cast<DWORD*>(info) = g_token.elevationType;
        *returned = sizeof(DWORD);
        return TRUE;
    }
    g_token.buildGroups();
    DWORD needed = static_cast<DWORD>(g_token.groupBytes.size());
    if (!info) {
        *returned = needed;
        SetLastError(g_token.sizeError);
        return FALSE;
    }
    if (g_token.readFails || size < needed) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    memcpy(info, g_token.groupBytes.data(), needed);
    *returned = needed;
    return TRUE;
}

std::set<std::string> g_missing;

FARPROC findUnlessMissing(HMODULE module, const char* name) {
    if (g_missing.count(name)) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return GetProcAddress(module, name);
}

class UserInfoBindings : public ::testing::Test {
protected:
    void SetUp() override {
        nativetest::resetJni();
        saved_ = g_userInfoFunctions;
        savedShell_ = g_shellFunctions;
        g_token = TokenScript();
        g_missing.clear();
        g_userInfoFunctions.findFunction = findUnlessMissing;
    }
    void TearDown() override {
        expectTokensClosed();
        g_userInfoFunctions = saved_;
        g_shellFunctions = savedShell_;
    }
    void useTokenDoubles() {
        g_userInfoFunctions.openThreadToken = fakeOpenThreadToken;
        g_userInfoFunctions.openProcessToken = fakeOpenProcessToken;
        g_userInfoFunctions.getTokenInformation = fakeGetTokenInformation;
    }
    // A function of the given slot is missing from its module.
    template <class Function>
    void makeMissing(Function& slot, const char* name) {
        slot = nullptr;
        g_missing.insert(name);
    }
    // Checked right after each call, before a handle value can be reused.
    static void expectTokensClosed() {
        for (HANDLE handle : g_token.handles) EXPECT_FALSE(handleIsOpen(handle)) << "a token was left open";
        g_token.handles.clear();
    }
    static fakejni::Value call(const char* method, std::initializer_list<fakejni::Arg> args) {
        fakejni::Value result = callLinked(kClass, method, args);
        expectTokensClosed();
        return result;
    }
    bool isMember(jint rid) { return call("isMemberOfGroup0", {rid}).asBoolean(); }

private:
    UserInfoFunctions saved_;
    ShellFunctions savedShell_;
};

TEST_F(UserInfoBindings, MembershipNeedsTheGroupEnabledAndNotDenyOnly) {
    useTokenDoubles();
    g_token.addGroup(L"S-1-5-32-545", SE_GROUP_ENABLED | SE_GROUP_MANDATORY);
    g_token.addGroup(L"S-1-5-32-544", SE_GROUP_USE_FOR_DENY_ONLY);
    EXPECT_FALSE(isMember(544)) << "a filtered token's deny-only administrators group";
    EXPECT_TRUE(isMember(545));
    EXPECT_FALSE(isMember(546)) << "a group the token does not hold";
    g_token.attributes[1] = SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY;
    EXPECT_FALSE(isMember(544));
    g_token.attributes[1] = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT;
    EXPECT_FALSE(isMember(544)) << "not enabled";
    g_token.attributes[1] = SE_GROUP_ENABLED | SE_GROUP_OWNER;
    EXPECT_TRUE(isMember(544));
}

TEST_F(UserInfoBindings, TheThreadsTokenComesFirstAndTheProcessTokenOnlyWhenTheThreadHasNone) {
    useTokenDoubles();
    g_token.addGroup(L"S-1-5-32-544", SE_GROUP_ENABLED);
    EXPECT_TRUE(isMember(544));
    EXPECT_EQ((std::vector<std::wstring>{L"thread 8 self", L"process 8 current"}), g_token.opens);
    g_token.opens.clear();
    g_token.threadError = 0;
    EXPECT_TRUE(isMember(544));
    EXPECT_EQ(std::vector<std::wstring>{L"thread 8 self"}, g_token.opens);
}

TEST_F(UserInfoBindings, AMembershipThatCannotBeDeterminedIsAssumed) {
    useTokenDoubles();
    g_token.addGroup(L"S-1-5-32-545", SE_GROUP_ENABLED);
    g_token.threadError = ERROR_ACCESS_DENIED;
    EXPECT_TRUE(isMember(544)) << "a thread token that cannot be opened";
    EXPECT_EQ(std::vector<std::wstring>{L"thread 8 self"}, g_token.opens) << "no other identity is asked";
    g_token.threadError = ERROR_NO_TOKEN;
    g_token.processOpens = false;
    EXPECT_TRUE(isMember(544)) << "no token at all";
    g_token.processOpens = true;
    g_token.sizeError = ERROR_ACCESS_DENIED;
    EXPECT_TRUE(isMember(544)) << "the size query fails";
    g_token.sizeError = ERROR_INSUFFICIENT_BUFFER;
    g_token.readFails = true;
    EXPECT_TRUE(isMember(544)) << "the read fails";
    g_token.readFails = false;
    EXPECT_FALSE(isMember(544)) << "read, and not there";
}

TEST_F(UserInfoBindings, TheTokenBindingIsAllFiveFunctionsOrNothing) {
    useTokenDoubles();
    g_token.addGroup(L"S-1-5-32-545", SE_GROUP_ENABLED);
    makeMissing(g_userInfoFunctions.equalSid, "EqualSid");
    EXPECT_TRUE(isMember(544));
    EXPECT_EQ(0, call("getElevationType0", {}).asInt());
    EXPECT_TRUE(fakejni::isNull(call("getUserSid0", {}).asObject()));
    EXPECT_TRUE(g_token.opens.empty()) << "no token is opened without the whole binding";
}

TEST_F(UserInfoBindings, TheElevationTypeIsReadFromTheProcessToken) {
    useTokenDoubles();
    g_token.threadError = 0;
    EXPECT_EQ(TokenElevationTypeLimited, call("getElevationType0", {}).asInt());
    EXPECT_EQ(std::vector<std::wstring>{L"process 8 current"}, g_token.opens);
    g_token.readFails = true;
    EXPECT_EQ(0, call("getElevationType0", {}).asInt());
    g_token.processOpens = false;
    EXPECT_EQ(0, call("getElevationType0", {}).asInt());
}

TEST_F(UserInfoBindings, TheCallersSidNeedsTheTokenAndItsConversion) {
    useTokenDoubles();
    g_token.sizeError = ERROR_ACCESS_DENIED;
    EXPECT_TRUE(fakejni::isNull(call("getUserSid0", {}).asObject()));
    g_token.opens.clear();
    makeMissing(g_userInfoFunctions.convertSidToStringSid, "ConvertSidToStringSidW");
    EXPECT_TRUE(fakejni::isNull(call("getUserSid0", {}).asObject()));
    EXPECT_TRUE(g_token.opens.empty());
}

// ---- elevated start ----

struct ShellCall {
    HWND hwnd;
    std::wstring verb, file, parameters, directory;
    int show;
};
std::vector<ShellCall> g_shellCalls;
INT_PTR g_shellResult = 42;

void WINAPI fakeChangeNotify(LONG, UINT, LPCVOID, LPCVOID) {}
HINSTANCE WINAPI fakeShellExecute(HWND hwnd, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                  INT show) {
    g_shellCalls.push_back({hwnd, shown(verb), shown(file), shown(parameters), shown(directory), show});
    return reinterpret_cast<HINSTANCE>(g_shellResult);
}

TEST_F(UserInfoBindings, AnElevatedStartIsTheRunasVerbOfTheShell) {
    g_shellFunctions.changeNotify = fakeChangeNotify;
    g_shellFunctions.execute = fakeShellExecute;
    g_shellCalls.clear();
    g_userInfoFunctions.sspicliLoaded = false;
    g_shellResult = 33;
    EXPECT_TRUE(callLinked(kClass, "executeElevated0",
                           {jstr(L"C:\\setup.exe"), jstr(L"/quiet"), jstr(L"C:\\"), SW_SHOWNORMAL})
                    .asBoolean());
    EXPECT_TRUE(g_userInfoFunctions.sspicliLoaded);
    g_shellResult = 5;
    EXPECT_FALSE(callLinked(kClass, "executeElevated0", {jstr(L"C:\\setup.exe"), nullptr, nullptr, SW_HIDE}).asBoolean());
    g_shellResult = 32;
    EXPECT_FALSE(callLinked(kClass, "executeElevated0", {nullptr, nullptr, nullptr, SW_HIDE}).asBoolean());
    ASSERT_EQ(3u, g_shellCalls.size());
    EXPECT_EQ(nullptr, g_shellCalls[0].hwnd);
    EXPECT_EQ(L"runas", g_shellCalls[0].verb);
    EXPECT_EQ(L"C:\\setup.exe", g_shellCalls[0].file);
    EXPECT_EQ(L"/quiet", g_shellCalls[0].parameters);
    EXPECT_EQ(L"C:\\", g_shellCalls[0].directory);
    EXPECT_EQ(SW_SHOWNORMAL, g_shellCalls[0].show);
    EXPECT_EQ(L"null", g_shellCalls[1].parameters);
    EXPECT_EQ(L"null", g_shellCalls[2].file);
}

// ---- local users and groups ----

// The script of the network API doubles and the calls they saw.
struct NetScript {
    NET_API_STATUS groupAdd = NERR_Success, groupGetInfo = NERR_Success, userAdd = NERR_Success;
    NET_API_STATUS userGetInfo = NERR_Success, addMembers = NERR_Success, deletion = NERR_Success;
    DWORD badParameter = 0;
    std::vector<std::wstring> calls;
    int buffersHanded = 0, buffersFreed = 0;
    std::vector<BYTE> userSid = sidOf(L"S-1-5-21-1-2-3-1001");
    std::vector<BYTE> groupSid = sidOf(L"S-1-5-21-1-2-3-1002");
    bool sidConverts = true;
};
NetScript g_net;

LPBYTE handOutBuffer(size_t size) {
    ++g_net.buffersHanded;
    return static_cast<LPBYTE>(LocalAlloc(LMEM_ZEROINIT, size));
}

NET_API_STATUS WINAPI fakeGroupAdd(LPCWSTR server, DWORD level, LPBYTE info, LPDWORD) {
    auto* group = reinterpret_cast<LOCALGROUP_INFO_1*>(info);
    g_net.calls.push_back(L"NetLocalGroupAdd " + shown(server) + L" " + std::to_wstring(level) + L" " +
                          shown(group->lgrpi1_name) + L" " + shown(group->lgrpi1_comment));
    return g_net.groupAdd;
}

NET_API_STATUS WINAPI fakeGroupGetInfo(LPCWSTR server, LPCWSTR group, DWORD level, LPBYTE* info) {
    g_net.calls.push_back(L"NetLocalGroupGetInfo " + shown(server) + L" " + shown(group) + L" " +
                          std::to_wstring(level));
    *info = g_net.groupGetInfo == NERR_Success ? handOutBuffer(sizeof(LOCALGROUP_INFO_1)) : nullptr;
    return g_net.groupGetInfo;
}

NET_API_STATUS WINAPI fakeBufferFree(LPVOID buffer) {
    ++g_net.buffersFreed;
    LocalFree(buffer);
    return NERR_Success;
}

NET_API_STATUS WINAPI fakeUserAdd(LPCWSTR server, DWORD level, LPBYTE info, LPDWORD badParameter) {
    auto* user = reinterpret_cast<USER_INFO_1*>(info);
    g_net.calls.push_back(L"NetUserAdd " + shown(server) + L" " + std::to_wstring(level) + L" " +
                          shown(user->usri1_name) + L" " + shown(user->usri1_password) + L" " +
                          std::to_wstring(user->usri1_priv) + L" " + shown(user->usri1_home_dir) + L" " +
                          shown(user->usri1_comment) + L" " + std::to_wstring(user->usri1_flags) + L" " +
                          shown(user->usri1_script_path));
    if (g_net.userAdd != NERR_Success && badParameter) *badParameter = g_net.badParameter;
    return g_net.userAdd;
}

NET_API_STATUS WINAPI fakeUserGetInfo(LPCWSTR server, LPCWSTR user, DWORD level, LPBYTE* info) {
    g_net.calls.push_back(L"NetUserGetInfo " + shown(server) + L" " + shown(user) + L" " + std::to_wstring(level));
    if (g_net.userGetInfo != NERR_Success) {
        *info = nullptr;
        return g_net.userGetInfo;
    }
    *info = handOutBuffer(sizeof(USER_INFO_23));
    reinterpret_cast<USER_INFO_23*>(*info)->usri23_user_sid = g_net.userSid.data();
    return NERR_Success;
}

NET_API_STATUS WINAPI fakeAddMembers(LPCWSTR server, LPCWSTR group, DWORD level, LPBYTE members, DWORD count) {
    PSID member = reinterpret_cast<LOCALGROUP_MEMBERS_INFO_0*>(members)->lgrmi0_sid;
    g_net.calls.push_back(L"NetLocalGroupAddMembers " + shown(server) + L" " + shown(group) + L" " +
                          std::to_wstring(level) + L" " + sidText(member) + L" " + std::to_wstring(count));
    return g_net.addMembers;
}

NET_API_STATUS WINAPI fakeUserDel(LPCWSTR server, LPCWSTR user) {
    g_net.calls.push_back(L"NetUserDel " + shown(server) + L" " + shown(user));
    return g_net.deletion;
}

NET_API_STATUS WINAPI fakeGroupDel(LPCWSTR server, LPCWSTR group) {
    g_net.calls.push_back(L"NetLocalGroupDel " + shown(server) + L" " + shown(group));
    return g_net.deletion;
}

// Knows the one group "staff" of the doubles' machine.
BOOL WINAPI fakeLookupAccountName(LPCWSTR system, LPCWSTR account, PSID sid, LPDWORD sidSize, LPWSTR domain,
                                  LPDWORD domainSize, PSID_NAME_USE use) {
    g_net.calls.push_back(L"LookupAccountName " + shown(system) + L" " + shown(account) + L" " +
                          std::to_wstring(*sidSize) + L" " + std::to_wstring(*domainSize));
    if (!account || std::wstring(account) != L"staff") {
        SetLastError(ERROR_NONE_MAPPED);
        return FALSE;
    }
    memcpy(sid, g_net.groupSid.data(), g_net.groupSid.size());
    wcscpy(domain, L"HOST");
    *use = SidTypeAlias;
    return TRUE;
}

BOOL WINAPI failingConvertSid(PSID, LPWSTR*) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
}

class AccountCreation : public UserInfoBindings {
protected:
    void SetUp() override {
        UserInfoBindings::SetUp();
        g_net = NetScript();
        UserInfoFunctions& f = g_userInfoFunctions;
        f.netLocalGroupAdd = fakeGroupAdd;
        f.netLocalGroupGetInfo = fakeGroupGetInfo;
        f.netApiBufferFree = fakeBufferFree;
        f.netUserAdd = fakeUserAdd;
        f.netUserGetInfo = fakeUserGetInfo;
        f.netLocalGroupAddMembers = fakeAddMembers;
        f.netUserDel = fakeUserDel;
        f.netLocalGroupDel = fakeGroupDel;
        f.lookupAccountName = fakeLookupAccountName;
    }
    void TearDown() override {
        EXPECT_EQ(g_net.buffersHanded, g_net.buffersFreed) << "network buffers left";
        UserInfoBindings::TearDown();
    }
    std::wstring addUser(const wchar_t* group, bool createGroup, bool failIfExists) {
        return textOf(callLinked(kClass, "addUser0",
                                 {jstr(L"alice"), jstr(L"pw"), jstr(L"Alice"), group ? jstr(group) : nullptr,
                                  jstr(L"Staff"), createGroup, failIfExists}));
    }
};

const std::wstring kUserAdded = L"NetUserAdd null 1 alice pw 1 null Alice 1 null";
const std::wstring kUserRead = L"NetUserGetInfo null alice 23";
const std::wstring kMemberAdded = L"NetLocalGroupAddMembers null staff 0 S-1-5-21-1-2-3-1001 1";
const std::wstring kGroupLookedUp = L"LookupAccountName null staff 8192 8192";

TEST_F(AccountCreation, ANewGroupAndUserGiveBothSidsAndTrue) {
    EXPECT_EQ(L"S-1-5-21-1-2-3-1001 S-1-5-21-1-2-3-1002 true", addUser(L"staff", true, true));
    EXPECT_EQ((std::vector<std::wstring>{L"NetLocalGroupAdd null 1 staff Staff", kUserAdded, kUserRead, kMemberAdded,
                                         kGroupLookedUp}),
              g_net.calls);
}

TEST_F(AccountCreation, AnExistingGroupIsUsedUnlessThatIsToFail) {
    for (NET_API_STATUS exists : {1379u, 2223u}) {
        g_net = NetScript();
        g_net.groupAdd = exists;
        EXPECT_EQ(L"S-1-5-21-1-2-3-1001 S-1-5-21-1-2-3-1002 false", addUser(L"staff", true, false));
        g_net.calls.clear();
        EXPECT_EQ(L"1 " + std::to_wstring(exists), addUser(L"staff", true, true));
        EXPECT_EQ(std::vector<std::wstring>{L"NetLocalGroupAdd null 1 staff Staff"}, g_net.calls);
    }
    g_net.groupAdd = ERROR_ACCESS_DENIED;
    EXPECT_EQ(L"1 5", addUser(L"staff", true, false));
}

TEST_F(AccountCreation, WithoutCreationTheGroupMustExist) {
    EXPECT_EQ(L"S-1-5-21-1-2-3-1001 S-1-5-21-1-2-3-1002 false", addUser(L"staff", false, true));
    EXPECT_EQ(L"NetLocalGroupGetInfo null staff 1", g_net.calls[0]);
    g_net.groupGetInfo = NERR_GroupNotFound;
    g_net.calls.clear();
    EXPECT_EQ(L"6 2220", addUser(L"staff", false, false));
    EXPECT_EQ(1u, g_net.calls.size());
}

TEST_F(AccountCreation, AUserThatCannotBeAddedGivesStatusAndParameterAndKeepsTheNewGroup) {
    g_net.userAdd = ERROR_INVALID_PARAMETER;
    g_net.badParameter = USER_PASSWORD_PARMNUM;
    EXPECT_EQ(L"2 87 3", addUser(L"staff", true, true));
    EXPECT_EQ((std::vector<std::wstring>{L"NetLocalGroupAdd null 1 staff Staff", kUserAdded}), g_net.calls)
        << "nothing is undone";
    g_net.userAdd = NERR_UserExists;
    g_net.badParameter = 0;
    EXPECT_EQ(L"2 2224 0", addUser(nullptr, false, false));
}

TEST_F(AccountCreation, LaterStepsReportTheirNumber) {
    g_net.userGetInfo = NERR_UserNotFound;
    EXPECT_EQ(L"3 2221", addUser(L"staff", true, true));
    g_net = NetScript();
    g_net.addMembers = ERROR_MEMBER_IN_ALIAS;
    EXPECT_EQ(L"S-1-5-21-1-2-3-1001 S-1-5-21-1-2-3-1002 true", addUser(L"staff", true, true));
    g_net.addMembers = ERROR_NO_SUCH_ALIAS;
    EXPECT_EQ(L"4 1376", addUser(L"staff", true, true));
    g_net.addMembers = NERR_Success;
    g_userInfoFunctions.convertSidToStringSid = failingConvertSid;
    EXPECT_EQ(L"5", addUser(L"staff", true, true));
}

TEST_F(AccountCreation, WithoutAGroupOrAKnownGroupTheResultIsTheUsersSid) {
    EXPECT_EQ(L"S-1-5-21-1-2-3-1001", addUser(nullptr, true, true));
    EXPECT_EQ((std::vector<std::wstring>{kUserAdded, kUserRead}), g_net.calls);
    g_net.calls.clear();
    EXPECT_EQ(L"S-1-5-21-1-2-3-1001", addUser(L"", true, true)) << "an empty name is no group";
    EXPECT_EQ(L"S-1-5-21-1-2-3-1001", addUser(L"nobody", true, true)) << "a group the look-up does not find";
}

TEST_F(AccountCreation, AMissingFunctionGivesNull) {
    makeMissing(g_userInfoFunctions.netUserGetInfo, "NetUserGetInfo");
    EXPECT_EQ(L"<null>", addUser(L"staff", true, true));
    EXPECT_TRUE(g_net.calls.empty());
}

TEST_F(AccountCreation, DeletionsPassServerNameAndStatusThrough) {
    g_net.deletion = NERR_UserNotFound;
    EXPECT_EQ(2221, callLinked(kClass, "deleteUser0", {nullptr, jstr(L"alice")}).asInt());
    g_net.deletion = NERR_Success;
    EXPECT_EQ(0, callLinked(kClass, "deleteLocalGroup0", {jstr(L"\\\\host"), jstr(L"staff")}).asInt());
    EXPECT_EQ((std::vector<std::wstring>{L"NetUserDel null alice", L"NetLocalGroupDel \\\\host staff"}), g_net.calls);
    makeMissing(g_userInfoFunctions.netUserDel, "NetUserDel");
    makeMissing(g_userInfoFunctions.netLocalGroupDel, "NetLocalGroupDel");
    EXPECT_EQ(-1, callLinked(kClass, "deleteUser0", {nullptr, jstr(L"alice")}).asInt());
    EXPECT_EQ(-1, callLinked(kClass, "deleteLocalGroup0", {nullptr, jstr(L"staff")}).asInt());
}

// ---- profile directories ----

struct LogonScript {
    bool logonWorks = true, profileWorks = true;
    std::vector<std::wstring> calls;
    HANDLE token = nullptr;
};
LogonScript g_logon;

BOOL WINAPI fakeLogonUser(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD type, DWORD provider,
                          PHANDLE token) {
    g_logon.calls.push_back(L"LogonUser " + shown(user) + L" " + shown(domain) + L" " + shown(password) + L" " +
                            std::to_wstring(type) + L" " + std::to_wstring(provider));
    if (!g_logon.logonWorks) {
        SetLastError(ERROR_LOGON_FAILURE);
        return FALSE;
    }
    *token = g_logon.token = g_token.newHandle();
    return TRUE;
}

BOOL WINAPI fakeProfileDirectory(HANDLE token, LPWSTR directory, LPDWORD size) {
    g_logon.calls.push_back(std::wstring(L"GetUserProfileDirectory ") +
                            (token == g_logon.token ? L"logon token " : L"other token ") + std::to_wstring(*size));
    if (!g_logon.profileWorks) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    wcscpy(directory, L"C:\\users\\Administrators");
    return TRUE;
}

class ProfileDirectory : public UserInfoBindings {
protected:
    void SetUp() override {
        UserInfoBindings::SetUp();
        g_logon = LogonScript();
        g_userInfoFunctions.logonUser = fakeLogonUser;
        g_userInfoFunctions.getUserProfileDirectory = fakeProfileDirectory;
    }
    std::wstring profileOf(const wchar_t* sid) {
        return textOf(call("getUserProfileDirectory0", {jstr(sid), jstr(L"pw")}));
    }
};

TEST_F(ProfileDirectory, TheAccountLogsOnOverTheNetworkAndItsTokenGivesTheDirectory) {
    EXPECT_EQ(L"C:\\users\\Administrators", profileOf(L"S-1-5-32-544"));
    ASSERT_EQ(2u, g_logon.calls.size());
    EXPECT_EQ(0u, g_logon.calls[0].find(L"LogonUser ")) << "the built-in domain logs on as \".\"";
    EXPECT_NE(std::wstring::npos, g_logon.calls[0].find(L" . pw 3 0"));
    EXPECT_EQ(L"GetUserProfileDirectory logon token 8192", g_logon.calls[1]);
}

TEST_F(ProfileDirectory, EachFailingStepHasItsText) {
    g_logon.profileWorks = false;
    EXPECT_EQ(L" could not get user profile dir 122", profileOf(L"S-1-5-32-544"));
    g_logon.logonWorks = false;
    EXPECT_EQ(L" could not get token 1326", profileOf(L"S-1-5-32-544"));
    EXPECT_EQ(L" could not convert sid 1337", profileOf(L"S-1-5-x"));
    EXPECT_EQ(L" could not look up account name 1332", profileOf(L"S-1-5-21-7-7-7-4242"));
    makeMissing(g_userInfoFunctions.logonUser, "LogonUserW");
    EXPECT_EQ(L" could not get functions 127", profileOf(L"S-1-5-32-544"));
    EXPECT_EQ(L" no user account", profileOf(L"S-1-5-20")) << "before any function is needed";
    g_userInfoFunctions.logonUser = fakeLogonUser;
    makeMissing(g_userInfoFunctions.getUserProfileDirectory, "GetUserProfileDirectoryW");
    EXPECT_EQ(L" could not get functions 127", profileOf(L"S-1-5-32-544"));
}

TEST_F(ProfileDirectory, TheProfileFunctionIsNotKeptOnceItsLibraryIsFreed) {
    g_userInfoFunctions.getUserProfileDirectory = nullptr;
    std::wstring result = profileOf(L"S-1-5-32-544");
    EXPECT_EQ(1u, g_logon.calls.size());
    EXPECT_FALSE(result.empty());
    EXPECT_EQ(nullptr, g_userInfoFunctions.getUserProfileDirectory);
}

// ---- LSA account rights ----

struct LsaScript {
    NTSTATUS open = 0, change = 0;
    std::vector<std::wstring> calls;
    int handle = 7;
};
LsaScript g_lsa;

std::wstring lsaText(const LSA_UNICODE_STRING& text) {
    return L"'" + std::wstring(text.Buffer, text.Length / 2) + L"' " + std::to_wstring(text.Length) + L"/" +
           std::to_wstring(text.MaximumLength);
}

NTSTATUS NTAPI fakeLsaOpen(PLSA_UNICODE_STRING system, PLSA_OBJECT_ATTRIBUTES attributes, ACCESS_MASK access,
                           PLSA_HANDLE policy) {
    LSA_OBJECT_ATTRIBUTES zero = {};
    bool zeroed = memcmp(attributes, &zero, sizeof zero) == 0;
    g_lsa.calls.push_back(L"LsaOpenPolicy " + std::wstring(system ? L"remote" : L"local") +
                          (zeroed ? L" zeroed " : L" set ") + std::to_wstring(access));
    *policy = &g_lsa.handle;
    return g_lsa.open;
}

NTSTATUS NTAPI fakeLsaAdd(LSA_HANDLE policy, PSID sid, PLSA_UNICODE_STRING rights, ULONG count) {
    g_lsa.calls.push_back(L"LsaAddAccountRights " + std::wstring(policy == &g_lsa.handle ? L"policy " : L"? ") +
                          sidText(sid) + L" " + lsaText(*rights) + L" " + std::to_wstring(count));
    return g_lsa.change;
}

NTSTATUS NTAPI fakeLsaRemove(LSA_HANDLE policy, PSID sid, BOOLEAN all, PLSA_UNICODE_STRING rights, ULONG count) {
    g_lsa.calls.push_back(L"LsaRemoveAccountRights " + std::wstring(policy == &g_lsa.handle ? L"policy " : L"? ") +
                          sidText(sid) + (all ? L" all " : L" one ") + lsaText(*rights) + L" " +
                          std::to_wstring(count));
    return g_lsa.change;
}

NTSTATUS NTAPI fakeLsaClose(LSA_HANDLE policy) {
    g_lsa.calls.push_back(policy == &g_lsa.handle ? L"LsaClose policy" : L"LsaClose ?");
    return 0;
}

class LsaRights : public UserInfoBindings {
protected:
    void SetUp() override {
        UserInfoBindings::SetUp();
        g_lsa = LsaScript();
        g_userInfoFunctions.lsaOpenPolicy = fakeLsaOpen;
        g_userInfoFunctions.lsaAddAccountRights = fakeLsaAdd;
        g_userInfoFunctions.lsaRemoveAccountRights = fakeLsaRemove;
        g_userInfoFunctions.lsaClose = fakeLsaClose;
    }
    bool setRight(const wchar_t* account, const wchar_t* right, bool add) {
        return callLinked(kClass, "setLsaAccountRight0", {jstr(account), right ? jstr(right) : nullptr, add})
            .asBoolean();
    }
};

const std::wstring kPolicyOpened = L"LsaOpenPolicy local zeroed 2064";

TEST_F(LsaRights, ARightIsAddedOrRemovedForTheAccountsSid) {
    EXPECT_TRUE(setRight(L"S-1-5-21-1-2-3-1001", L"SeServiceLogonRight", true));
    EXPECT_TRUE(setRight(L"S-1-5-21-1-2-3-1001", L"SeServiceLogonRight", false));
    EXPECT_EQ((std::vector<std::wstring>{
                  kPolicyOpened, L"LsaAddAccountRights policy S-1-5-21-1-2-3-1001 'SeServiceLogonRight' 38/40 1",
                  L"LsaClose policy", kPolicyOpened,
                  L"LsaRemoveAccountRights policy S-1-5-21-1-2-3-1001 one 'SeServiceLogonRight' 38/40 1",
                  L"LsaClose policy"}),
              g_lsa.calls);
}

TEST_F(LsaRights, RemovingANullRightRemovesEveryRight) {
    EXPECT_TRUE(setRight(L"S-1-5-32-544", nullptr, false));
    EXPECT_EQ(L"LsaRemoveAccountRights policy S-1-5-32-544 all '' 0/2 1", g_lsa.calls.at(1));
}

TEST_F(LsaRights, AnAccountNameIsLookedUp) {
    EXPECT_TRUE(setRight(L"Administrators", L"SeBatchLogonRight", true));
    EXPECT_EQ(L"LsaAddAccountRights policy S-1-5-32-544 'SeBatchLogonRight' 34/36 1", g_lsa.calls.at(1));
    g_lsa.calls.clear();
    EXPECT_FALSE(setRight(L"tvr_no_such_account", L"SeBatchLogonRight", true));
    EXPECT_FALSE(setRight(L"", L"SeBatchLogonRight", true));
    EXPECT_FALSE(callLinked(kClass, "setLsaAccountRight0", {nullptr, jstr(L"SeBatchLogonRight"), true}).asBoolean());
    EXPECT_TRUE(g_lsa.calls.empty()) << "no policy is opened without a SID";
}

TEST_F(LsaRights, OnlyTextsOfTheSidFormAreSids) {
    // Names that the SID conversion would read as built-in groups.
    EXPECT_FALSE(setRight(L"bu", L"SeServiceLogonRight", true));
    EXPECT_FALSE(setRight(L"Au", L"SeServiceLogonRight", true));
    EXPECT_FALSE(setRight(L"BA", L"SeServiceLogonRight", false));
    EXPECT_TRUE(g_lsa.calls.empty()) << "unknown account names, not the groups they abbreviate";
    EXPECT_TRUE(setRight(L"S-1-5-32-545", L"SeServiceLogonRight", true));
    EXPECT_TRUE(setRight(L"s-1-5-32-545", L"SeServiceLogonRight", true));
    EXPECT_EQ(L"LsaAddAccountRights policy S-1-5-32-545 'SeServiceLogonRight' 38/40 1", g_lsa.calls.at(1));
    EXPECT_EQ(L"LsaAddAccountRights policy S-1-5-32-545 'SeServiceLogonRight' 38/40 1", g_lsa.calls.at(4));
}

TEST_F(LsaRights, FailuresOfThePolicyGiveFalse) {
    g_lsa.change = static_cast<NTSTATUS>(0xC0000034L);
    EXPECT_FALSE(setRight(L"S-1-5-32-544", L"SeBatchLogonRight", false));
    EXPECT_EQ(L"LsaClose policy", g_lsa.calls.back());
    g_lsa.calls.clear();
    g_lsa.open = static_cast<NTSTATUS>(0xC0000022L);
    EXPECT_FALSE(setRight(L"S-1-5-32-544", L"SeBatchLogonRight", true));
    EXPECT_EQ(std::vector<std::wstring>{kPolicyOpened}, g_lsa.calls);
    makeMissing(g_userInfoFunctions.lsaRemoveAccountRights, "LsaRemoveAccountRights");
    g_lsa.open = 0;
    g_lsa.calls.clear();
    EXPECT_FALSE(setRight(L"S-1-5-32-544", L"SeBatchLogonRight", true)) << "adding needs all four functions too";
    EXPECT_TRUE(g_lsa.calls.empty());
}

}  // namespace
