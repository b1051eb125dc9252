// A seekable source of bytes: the launcher's own image file on Windows, a
// memory buffer in tests and tools.  The block reader only needs these four
// operations, which keeps it free of platform calls.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Moves to an absolute offset from the start.  Seeking past the end is
    // allowed; the next read then returns 0 bytes.
    virtual bool seek(uint32_t offset) = 0;
    // Reads up to `count` bytes.  Returns false on an I/O failure and puts
    // the platform error code into `error`; a short read at the end of the
    // data returns true with `got` < `count`.
    virtual bool read(void* buffer, uint32_t count, uint32_t& got, uint32_t& error) = 0;
    virtual uint32_t position() = 0;
    // Total size in bytes; lets the reader refuse a length that the rest of
    // the data cannot hold before it allocates anything.
    virtual uint64_t size() = 0;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit MemorySource(const std::vector<uint8_t>& bytes) : MemorySource(bytes.data(), bytes.size()) {}

    bool seek(uint32_t offset) override { pos_ = offset; return true; }
    bool read(void* buffer, uint32_t count, uint32_t& got, uint32_t& error) override {
        error = 0;
        size_t left = pos_ < size_ ? size_ - pos_ : 0;
        got = static_cast<uint32_t>(count < left ? count : left);
        if (got) std::memcpy(buffer, data_ + pos_, got);
        pos_ += got;
        return true;
    }
    uint32_t position() override { return static_cast<uint32_t>(pos_); }
    uint64_t size() override { return size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};
