#include "launcher/config/windows/ConfigLoader.h"

#include "launcher/config/ConfigBlock.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/Locale.h"
#include "launcher/config/Log.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Handles.h"
#include "launcher/config/windows/LocaleDetect.h"
#include "launcher/config/windows/Paths.h"

namespace {

uint32_t g_embeddedDataOffset = 0;

// The image file as a ByteSource: absolute 32-bit seeks and ReadFile.
class FileSource : public ByteSource {
public:
    explicit FileSource(HANDLE file) : file_(file) {}

    bool seek(uint32_t offset) override {
        return SetFilePointer(file_, static_cast<LONG>(offset), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
    }
    bool read(void* buffer, uint32_t count, uint32_t& got, uint32_t& error) override {
        DWORD n = 0;
        BOOL ok = ReadFile(file_, buffer, count, &n, nullptr);
        got = n;
        error = ok ? 0 : GetLastError();
        return ok != FALSE;
    }
    uint32_t position() override { return SetFilePointer(file_, 0, nullptr, FILE_CURRENT); }
    uint64_t size() override {
        LARGE_INTEGER size;
        return GetFileSizeEx(file_, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
    }

private:
    HANDLE file_;
};

void failOn(BlockStatus status) {
    if (status != BlockStatus::Ok) fatalText(blockStatusText(status));
}

}  // namespace

HANDLE openOwnImage() {
    return CreateFileW(executableLongPath(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void loadConfigurationBlock() {
    UniqueHandle image(openOwnImage());
    if (!image.valid()) {
        logError(L"Could not open %p %d %s", image.get(), static_cast<int>(GetLastError()), executableLongPath());
        fatalText(L"Error opening media file.");
    }
    FileSource source(image.get());

    uint32_t blockOffset = 0;
    failOn(locateBlock(source, blockOffset));
    source.seek(blockOffset);

    // What was read goes into the tables even when reading fails, so that
    // the fatal error is shown with the block's own caption when it came
    // before the failure.  The message-box flag stays set until the block
    // is whole.
    BlockData block;
    char locale[16] = "";
    BlockStatus status = readBlockHead(source, block);
    if (status == BlockStatus::Ok) {
        detectLocale(locale, sizeof locale);
        splitLocale(locale);
        status = readBlockGroups(source, block);
    }
    if (status != BlockStatus::Ok) {
        storeConfigurationTables(block, locale);
        failOn(status);
    }
    g_embeddedDataOffset = source.position();
    image.reset();

    applyConfigurationBlock(block, locale);
}

uint32_t embeddedDataOffset() { return g_embeddedDataOffset; }
