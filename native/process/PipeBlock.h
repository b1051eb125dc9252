// The length field that opens every block on the communication pipe: a
// signed 32-bit count of the payload bytes that follow, little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

const size_t kBlockLengthBytes = 4;

void encodeBlockLength(int32_t length, uint8_t out[kBlockLengthBytes]);
int32_t decodeBlockLength(const uint8_t field[kBlockLengthBytes]);
