#include "launcher/config/windows/ConfigLoader.h"

#include <cstring>
#include <vector>

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

// The image file as a ByteSource, read through a window: the block reader
// asks for a few bytes at a time (the PE headers, then the block's fields),
// and one ReadFile of a window normally holds the headers and a second one
// the whole block.  Seeks only move the position.
class FileSource : public ByteSource {
public:
    explicit FileSource(HANDLE file) : file_(file), window_(kWindowBytes) {}

    bool seek(uint32_t offset) override {
        position_ = offset;
        return true;
    }
    bool read(void* buffer, uint32_t count, uint32_t& got, uint32_t& error) override {
        got = 0;
        error = 0;
        if (!inWindow(position_, count) && !fill(count, error)) return false;
        uint64_t available = windowEnd() > position_ ? windowEnd() - position_ : 0;
        got = count < available ? count : static_cast<uint32_t>(available);
        if (got) std::memcpy(buffer, window_.data() + (position_ - windowStart_), got);
        position_ += got;
        return true;
    }
    uint32_t position() override { return position_; }
    uint64_t size() override {
        LARGE_INTEGER size;
        if (fileSize_ == kUnknownSize)
            fileSize_ = GetFileSizeEx(file_, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
        return fileSize_;
    }

private:
    static constexpr uint32_t kWindowBytes = 64 * 1024;
    static constexpr uint64_t kUnknownSize = ~uint64_t(0);

    // True when the window holds [offset, offset + count), or everything
    // the file has from offset on.
    bool inWindow(uint32_t offset, uint32_t count) const {
        if (!filled_ || offset < windowStart_ || offset > windowEnd()) return false;
        return uint64_t(offset) + count <= windowEnd() || windowBytes_ < window_.size();
    }
    uint64_t windowEnd() const { return uint64_t(windowStart_) + windowBytes_; }
    // Reads the window anew from the position, large enough for `count`.
    bool fill(uint32_t count, uint32_t& error) {
        if (count > window_.size()) window_.resize(count);
        windowStart_ = position_;
        windowBytes_ = 0;
        filled_ = false;
        LARGE_INTEGER offset;
        offset.QuadPart = position_;
        DWORD n = 0;
        if (!SetFilePointerEx(file_, offset, nullptr, FILE_BEGIN) ||
            !ReadFile(file_, window_.data(), static_cast<DWORD>(window_.size()), &n, nullptr)) {
            error = GetLastError();
            return false;
        }
        windowBytes_ = n;
        filled_ = true;
        return true;
    }

    HANDLE file_;
    std::vector<uint8_t> window_;
    bool filled_ = false;
    uint32_t windowStart_ = 0;
    uint32_t windowBytes_ = 0;  // what the last read gave; fewer than the window at the end of the file
    uint32_t position_ = 0;
    uint64_t fileSize_ = kUnknownSize;
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
