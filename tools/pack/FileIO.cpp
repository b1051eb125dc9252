#include "tools/pack/FileIO.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "tools/pack/TextForms.h"

#ifdef _WIN32
#include <direct.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
std::wstring widePath(const std::string& path) {
    std::u16string units;
    if (!utf16FromUtf8(path, units)) return std::wstring();
    return std::wstring(units.begin(), units.end());
}

std::string narrowPath(const wchar_t* path) {
    std::u16string units;
    for (; *path; ++path) units.push_back(static_cast<char16_t>(*path));
    return utf8FromUtf16(units);
}

FILE* openFile(const std::string& path, const char* mode) {
    std::wstring wide = widePath(path);
    std::wstring wideMode(mode, mode + std::strlen(mode));
    if (wide.empty()) {
        errno = EINVAL;  // not a UTF-8 path
        return nullptr;
    }
    return _wfopen(wide.c_str(), wideMode.c_str());
}

bool removeFile(const std::string& path) { return _wremove(widePath(path).c_str()) == 0; }

bool renameReplacing(const std::string& from, const std::string& to) {
    if (MoveFileExW(widePath(from).c_str(), widePath(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}

bool isDirectory(const std::string& path) {
    DWORD attributes = GetFileAttributesW(widePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool makeDirectory(const std::string& path) { return _wmkdir(widePath(path).c_str()) == 0; }

std::string currentDirectory() {
    wchar_t buffer[32768];
    return _wgetcwd(buffer, 32768) ? narrowPath(buffer) : std::string(".");
}

int processId() { return _getpid(); }

bool isSeparator(char c) { return c == '/' || c == '\\'; }
#else
FILE* openFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool removeFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool renameReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool makeDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

std::string currentDirectory() {
    char buffer[8192];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string(".");
}

int processId() { return static_cast<int>(getpid()); }

bool isSeparator(char c) { return c == '/'; }
#endif

std::string systemError() { return std::strerror(errno); }

// On hosts other than Windows a backslash written in a description is a
// directory separator too.
std::string withHostSeparators(std::string path) {
#ifndef _WIN32
    for (char& c : path)
        if (c == '\\') c = '/';
#endif
    return path;
}

bool writeAll(FILE* file, const std::vector<uint8_t>& data) {
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), file) != data.size()) return false;
    return std::fflush(file) == 0;
}

// A path split into its root ("/", "C:", or "" when relative) and its
// parts, with "." removed and ".." applied where possible.
struct PathParts {
    std::string root;
    std::vector<std::string> parts;
};

PathParts splitPath(const std::string& path) {
    PathParts out;
    size_t i = 0;
#ifdef _WIN32
    if (path.size() >= 2 && path[1] == ':') {
        out.root = path.substr(0, 2);
        out.root[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out.root[0])));
        i = 2;
    }
#endif
    if (i < path.size() && isSeparator(path[i])) out.root += "/";
    while (i < path.size()) {
        while (i < path.size() && isSeparator(path[i])) ++i;
        size_t end = i;
        while (end < path.size() && !isSeparator(path[end])) ++end;
        std::string part = path.substr(i, end - i);
        if (part == ".." && !out.parts.empty() && out.parts.back() != "..") out.parts.pop_back();
        else if (!part.empty() && part != ".") out.parts.push_back(part);
        i = end;
    }
    return out;
}

std::string absolutePath(const std::string& path) {
    return isAbsoluteHostPath(path) ? path : joinHostPath(currentDirectory(), path);
}

}  // namespace

bool readHostFile(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    FILE* file = openFile(path, "rb");
    if (!file) {
        error = systemError();
        return false;
    }
    uint8_t buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) out.insert(out.end(), buffer, buffer + got);
    bool failed = std::ferror(file) != 0;
    if (failed) error = systemError();
    std::fclose(file);
    return !failed;
}

bool writeHostFileReplacing(const std::string& path, const std::vector<uint8_t>& data, std::string& error) {
    const std::string temporary = path + "." + std::to_string(processId()) + ".tmp";
    FILE* file = openFile(temporary, "wb");
    if (!file) {
        error = "cannot create " + temporary + ": " + systemError();
        return false;
    }
    bool written = writeAll(file, data);
    if (!written) error = "cannot write " + temporary + ": " + systemError();
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = "cannot write " + temporary + ": " + systemError();
    }
    if (written && !renameReplacing(temporary, path)) {
        written = false;
        error = "cannot rename " + temporary + " to " + path + ": " + systemError();
    }
    if (!written) removeFile(temporary);
    return written;
}

bool writeHostStream(std::FILE* stream, const std::string& text) {
    const bool written = text.empty() || std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return written && std::fflush(stream) == 0 && !std::ferror(stream);
}

bool makeHostDirectories(const std::string& path, std::string& error) {
    const std::string host = withHostSeparators(path);
    for (size_t i = 1; i <= host.size(); ++i) {
        if (i < host.size() && !isSeparator(host[i])) continue;
        const std::string prefix = host.substr(0, i);
        if (isDirectory(prefix)) continue;
        if (!makeDirectory(prefix) && !isDirectory(prefix)) {
            error = "cannot create directory " + prefix + ": " + systemError();
            return false;
        }
    }
    return true;
}

bool isAbsoluteHostPath(const std::string& path) {
#ifdef _WIN32
    if (path.size() >= 3 && path[1] == ':' && isSeparator(path[2])) return true;
#endif
    return !path.empty() && isSeparator(withHostSeparators(path)[0]);
}

std::string joinHostPath(const std::string& base, const std::string& relative) {
    const std::string rel = withHostSeparators(relative);
    if (base.empty() || isAbsoluteHostPath(rel)) return rel;
    const std::string b = withHostSeparators(base);
    return isSeparator(b.back()) ? b + rel : b + "/" + rel;
}

std::string hostDirectoryOf(const std::string& path) {
    const std::string host = withHostSeparators(path);
    size_t i = host.size();
    while (i > 0 && !isSeparator(host[i - 1])) --i;
    if (i == 0) return std::string();
    return i == 1 ? host.substr(0, 1) : host.substr(0, i - 1);
}

std::string relativeHostPath(const std::string& fromDir, const std::string& target) {
    const PathParts from = splitPath(absolutePath(fromDir));
    const PathParts to = splitPath(absolutePath(target));
    std::string result;
    if (from.root != to.root) {
        result = to.root;
        for (size_t i = 0; i < to.parts.size(); ++i) result += (i ? "/" : "") + to.parts[i];
        return result;
    }
    size_t common = 0;
    while (common < from.parts.size() && common < to.parts.size() && from.parts[common] == to.parts[common])
        ++common;
    for (size_t i = common; i < from.parts.size(); ++i) result += "../";
    for (size_t i = common; i < to.parts.size(); ++i) result += to.parts[i] + (i + 1 < to.parts.size() ? "/" : "");
    if (result.empty()) return ".";
    if (result.back() == '/') result.pop_back();
    return result;
}
