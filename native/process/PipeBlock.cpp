#include "native/process/PipeBlock.h"

void encodeBlockLength(int32_t length, uint8_t out[kBlockLengthBytes]) {
    uint32_t bits = static_cast<uint32_t>(length);
    for (size_t i = 0; i < kBlockLengthBytes; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t decodeBlockLength(const uint8_t field[kBlockLengthBytes]) {
    uint32_t bits = 0;
    for (size_t i = 0; i < kBlockLengthBytes; ++i) bits |= static_cast<uint32_t>(field[i]) << (8 * i);
    return static_cast<int32_t>(bits);
}
