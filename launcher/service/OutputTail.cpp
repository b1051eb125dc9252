#include "launcher/service/OutputTail.h"

#include <algorithm>
#include <cstring>

void OutputTail::dropOldest(size_t count) {
    lastDropped_ = ring_[(start_ + count - 1) % kCapacity];
    start_ = (start_ + count) % kCapacity;
    size_ -= count;
    dropped_ = true;
}

void OutputTail::append(const char* data, size_t size) {
    if (size == 0) return;
    if (size >= kCapacity) {
        // Everything kept so far goes, and the front of this chunk with it.
        if (size > kCapacity) {
            lastDropped_ = data[size - kCapacity - 1];
            dropped_ = true;
        } else if (size_ > 0) {
            lastDropped_ = ring_[(start_ + size_ - 1) % kCapacity];
            dropped_ = true;
        }
        std::memcpy(ring_, data + size - kCapacity, kCapacity);
        start_ = 0;
        size_ = kCapacity;
        return;
    }
    if (size_ + size > kCapacity) dropOldest(size_ + size - kCapacity);
    size_t end = (start_ + size_) % kCapacity;
    size_t first = std::min(size, kCapacity - end);
    std::memcpy(ring_ + end, data, first);
    std::memcpy(ring_, data + first, size - first);
    size_ += size;
}

std::string OutputTail::text() const {
    std::string kept;
    kept.reserve(size_);
    size_t first = std::min(size_, kCapacity - start_);
    kept.append(ring_ + start_, first);
    kept.append(ring_, size_ - first);
    if (dropped_ && lastDropped_ != '\n') {
        size_t lineEnd = kept.find('\n');
        // A cut that would leave nothing keeps the end of the long line.
        if (lineEnd != std::string::npos && lineEnd + 1 < kept.size()) kept.erase(0, lineEnd + 1);
    }
    return kept;
}
