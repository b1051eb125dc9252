#include "launcher/config/windows/Extraction.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/EmbeddedNames.h"
#include "launcher/config/Log.h"
#include "launcher/config/windows/ConfigLoader.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Handles.h"
#include "launcher/config/windows/TempDir.h"

namespace {

constexpr int kDirectoryAttempts = 10;
constexpr DWORD kChunkSize = 6000;
constexpr uint8_t kMask = 0xB9;

enum ExtractResult { kExtracted = 0, kReadFailed = 1, kWriteFailed = 2 };

uint32_t g_endPosition = 0;

// "<temp>\lrxNNNN.tmp"; GetTempFileNameA also creates that empty file
// (`reserved`), which holds the name until the directory beside it exists.
std::string uniqueBaseName(const char* tempDir, bool& reserved) {
    char file[MAX_PATH + 16];
    reserved = GetTempFileNameA(tempDir, "lrx", 0, file) != 0;
    if (reserved) return file;
    logLine(L"GetTempFileName failed (last error %d)", static_cast<int>(GetLastError()));
    std::string base = tempDir;
    if (base.empty() || (base.back() != '\\' && base.back() != '/')) base += '\\';
    srand(static_cast<unsigned>(time(nullptr) * GetCurrentProcessId()));
    return base + "lrx" + std::to_string(rand());
}

bool readExact(HANDLE file, void* buffer, DWORD count, DWORD& got) {
    return ReadFile(file, buffer, count, &got, nullptr) && got == count;
}

// Writes the whole chunk, repeating partial writes.
bool writeChunk(HANDLE file, const uint8_t* data, DWORD count) {
    while (count > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, count, &written, nullptr) || written == 0) {
            logError(L"WriteFile failed %d %d", static_cast<int>(count), static_cast<int>(GetLastError()));
            return false;
        }
        data += written;
        count -= written;
    }
    return true;
}

int copyEmbeddedFile(HANDLE image, HANDLE out, int64_t size) {
    uint8_t chunk[kChunkSize];
    int64_t copied = 0;
    while (copied < size) {
        DWORD want = static_cast<DWORD>(size - copied < kChunkSize ? size - copied : kChunkSize);
        DWORD got = 0;
        if (!ReadFile(image, chunk, want, &got, nullptr) || got == 0) {
            logError(L"ReadFile failed %d %d %I64d", static_cast<int>(got), static_cast<int>(GetLastError()), copied);
            return kReadFailed;
        }
        for (DWORD i = 0; i < got; ++i) chunk[i] ^= kMask;
        if (!writeChunk(out, chunk, got)) return kWriteFailed;
        copied += got;
    }
    return kExtracted;
}

// The first directory level of a name like lib\x.dll.
void createNameDirectory(const std::string& path, const std::string& name) {
    size_t slash = name.find('\\');
    if (slash == std::string::npos) return;
    std::string dir = path.substr(0, path.size() - name.size() + slash);
    logLine(L"creating directory %S", dir.c_str());
    if (!CreateDirectoryA(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        logError(L"failed to create directory %S", dir.c_str());
}

int extractOne(HANDLE image, const std::string& name) {
    std::string path = std::string(extractionDirectory()) + "\\" + name;
    // A name from the block must not write outside the extraction directory.
    if (!isSafeEmbeddedName(name)) {
        logError(L"refusing to extract %S: the name leaves the extraction directory", name.c_str());
        fatalMessage(kInternalErrorMessage, "11");
    }
    createNameDirectory(path, name);

    uint8_t sizeBytes[8];
    DWORD got = 0;
    if (!readExact(image, sizeBytes, sizeof sizeBytes, got)) {
        logError(L"ReadFile failed %d %d %I64d", static_cast<int>(got), static_cast<int>(GetLastError()), 0LL);
        logError(L"Failed to extract %S", path.c_str());
        return kReadFailed;
    }
    uint64_t raw = 0;
    for (int i = 7; i >= 0; --i) raw = (raw << 8) | sizeBytes[i];
    int64_t size = static_cast<int64_t>(raw);
    logLine(L"extracting %S (size: %I64d)", path.c_str(), size);
    if (size <= 0) return kExtracted;

    UniqueHandle out(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) fatalMessage(kInternalErrorMessage, "11");
    int result = copyEmbeddedFile(image, out.get(), size);
    out.reset();
    if (result != kExtracted) logError(L"Failed to extract %S", path.c_str());
    return result;
}

}  // namespace

void createExtractionDirectory() {
    for (int attempt = 0; attempt < kDirectoryAttempts; ++attempt) {
        char tempDir[kBufferChars];
        findTempDirNarrow(tempDir);
        logLine(L"tempPath is %S", tempDir);
        bool reserved = false;
        std::string file = uniqueBaseName(tempDir, reserved);
        logLine(L"tempFile is %S", file.c_str());
        std::string dir = file + "_dir" + std::to_string(static_cast<long long>(time(nullptr)));
        logLine(L"Temp dir3: %S", dir.c_str());
        bool created = dir.size() < kBufferChars && CreateDirectoryA(dir.c_str(), nullptr);
        DWORD error = GetLastError();
        // The directory's own name is unique from now on; the empty
        // reservation file would otherwise stay behind after every run
        // (and GetTempFileNameA fails once 65535 of them exist).
        if (reserved) DeleteFileA(file.c_str());
        if (created) {
            setExtractionDirectory(dir.c_str());
            return;
        }
        logLine(L"Could not create dir (%d)", static_cast<int>(error));
    }
    setExtractionDirectory("");
    fatalMessage(kInternalErrorMessage, "7");
}

int extractEmbeddedFiles(bool createDirectory) {
    logLine(L"extracting files");
    int count = configInt(kFileCountKey);
    logLine(L"Included files: %d", count);
    if (count <= 0) {
        if (createDirectory) setExtractionDirectory("");
        return kExtracted;
    }
    if (createDirectory) createExtractionDirectory();

    UniqueHandle image(openOwnImage());
    SetFilePointer(image.get(), static_cast<LONG>(embeddedDataOffset()), nullptr, FILE_BEGIN);
    std::vector<std::string> names = splitEmbeddedNames(configStringCopy(kFileNamesKey));
    for (size_t i = 0; i < names.size() && i < static_cast<size_t>(count); ++i) {
        int result = extractOne(image.get(), names[i]);
        if (result != kExtracted) return result;
    }
    g_endPosition = SetFilePointer(image.get(), 0, nullptr, FILE_CURRENT);
    image.reset();
    logLine(L"extracting files done");
    return kExtracted;
}

uint32_t extractionEndPosition() { return g_endPosition; }
