#pragma once
// Bit fields stored most significant bit first: bit k of a stream is bit
// (7 - k % 8) of byte k / 8.

#include <cstddef>
#include <cstdint>
#include <span>

#include "content/byte_order.h"

namespace vrok {

// Reads the unsigned field of `width` bits (0..32) that starts at bit `start`
// of `bytes`. The caller guarantees the field lies inside the span.
std::uint32_t ReadBits(std::span<const std::uint8_t> bytes, std::uint64_t start, unsigned width);

// Writes the low `width` bits (0..32) of `value` at bit `start`; other bits
// of the touched bytes are kept.
void WriteBits(std::span<std::uint8_t> bytes, std::uint64_t start, unsigned width,
               std::uint32_t value);

}  // namespace vrok
