#include "launcher/jvmsearch/windows/PackedRuntime.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Handles.h"
#include "launcher/config/windows/Paths.h"

namespace {

const char kPackSuffix[] = ".jar.pack";
constexpr size_t kPackSuffixLength = sizeof kPackSuffix - 1;
constexpr size_t kDotPackLength = 5;  // ".pack"
// Scanned in this order.
const char* const kArchiveDirectories[] = {"lib", "lib\\ext"};

bool endsWithPackSuffix(const char* name) {
    size_t length = std::strlen(name);
    return length > kPackSuffixLength && _stricmp(name + length - kPackSuffixLength, kPackSuffix) == 0;
}

// The names of the packed archives directly in `directory`.  A wildcard
// may also match through 8.3 names, so each long name is checked again.
std::vector<std::string> packedArchiveNames(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    UniqueFindHandle find(FindFirstFileA((directory + "\\*" + kPackSuffix).c_str(), &entry));
    for (bool more = find.valid(); more; more = FindNextFileA(find.get(), &entry) != FALSE)
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && endsWithPackSuffix(entry.cFileName))
            names.push_back(entry.cFileName);
    return names;
}

// Starts unpack200 and waits for it without a time limit (unpacking a
// large archive takes a while).  Gives its exit code.  A start that fails
// ends the launcher.
DWORD runUnpacker(const std::string& application, const std::string& arguments) {
    // The program's own name leads the command line, so that the unpacker
    // sees -r as its first argument rather than as its program name.
    std::string line = "\"" + application + "\" " + arguments;
    logLine(L"%S", application.c_str());
    logLine(L"%S", line.c_str());
    std::vector<char> commandLine(line.begin(), line.end());
    commandLine.push_back(0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process)) {
        logLine(L"could not create unpack process");
        fatalMessage(kInternalErrorMessage, "20");
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    logLine(L"waiting for unpack200 to finish");
    WaitForSingleObject(processHandle.get(), INFINITE);
    logLine(L"unpack done");
    DWORD exitCode = 1;
    GetExitCodeProcess(processHandle.get(), &exitCode);
    return exitCode;
}

// Unpacks home\...\x.jar.pack into x.jar and deletes the packed file.  An
// unpacker that fails leaves the packed file (and no half-written .jar),
// so that the next launch tries again instead of finding a broken runtime.
// When it removed the packed file all the same, the .jar is the only copy
// left and stays for the java.exe probe to judge.
void unpack(const std::string& packed, const char* home) {
    std::string archive = packed.substr(0, packed.size() - kDotPackLength);
    if (!pathExistsNarrow(packed.c_str())) {
        logLine(L"pack path doesn't exists");
        return;
    }
    std::string application = std::string(home) + "\\bin\\unpack200.exe";
    DWORD exitCode = runUnpacker(application, "-r \"" + packed + "\" \"" + archive + "\"");
    if (exitCode != 0 || !pathExistsNarrow(archive.c_str())) {
        if (!pathExistsNarrow(packed.c_str())) {
            logLine(L"unpack200 failed with exit code %d and removed %S", static_cast<int>(exitCode), packed.c_str());
            return;
        }
        logLine(L"unpack200 failed with exit code %d, keeping %S", static_cast<int>(exitCode), packed.c_str());
        DeleteFileA(archive.c_str());
        return;
    }
    if (!DeleteFileA(packed.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        logLine(L"could not delete packed file (error %d)", static_cast<int>(GetLastError()));
}

// Unpacks the packed archives of home\subdirectory whose .jar is missing.
void prepareDirectory(const char* home, const char* subdirectory, bool& announced) {
    std::string directory = std::string(home) + "\\" + subdirectory;
    for (const std::string& name : packedArchiveNames(directory)) {
        std::string jarName = name.substr(0, name.size() - kDotPackLength);
        std::string archive = directory + "\\" + jarName;
        logLine(L"checking %S", archive.c_str());
        if (pathExistsNarrow(archive.c_str())) continue;
        if (!announced) {
            logLine(L"Unpacking JRE");
            std::fputs("Preparing JRE ...\n", stdout);
            std::fflush(stdout);
            announced = true;
        }
        std::string relative = std::string(subdirectory) + "\\" + jarName;
        unpack(std::string(home) + "\\" + relative + ".pack", home);
    }
}

}  // namespace

void preparePackedRuntime(const char* home) {
    bool announced = false;
    for (const char* subdirectory : kArchiveDirectories) prepareDirectory(home, subdirectory, announced);
    if (announced) logLine(L"Unpacking JRE done");
}
