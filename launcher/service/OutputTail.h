// The last bytes of the service child's output, kept while the output
// drain discards the rest, so that a failing application can be explained.
#pragma once
#include <cstddef>
#include <string>

class OutputTail {
public:
    static constexpr size_t kCapacity = 8192;

    // Keeps the newest kCapacity bytes of everything appended so far.
    void append(const char* data, size_t size);

    // The kept bytes in order.  When older output was dropped, the text
    // starts at the first line start among them, so that it never begins
    // in the middle of a line; the end of a line longer than the capacity
    // is kept as it is.
    std::string text() const;

private:
    void dropOldest(size_t count);

    char ring_[kCapacity];
    size_t start_ = 0;  // index of the oldest kept byte
    size_t size_ = 0;
    bool dropped_ = false;
    char lastDropped_ = 0;  // the byte just before the oldest kept one
};
