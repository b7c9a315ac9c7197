#pragma once
// Bit fields stored most significant bit first: bit k of a stream is bit
// (7 - k % 8) of byte k / 8.

#include <cstddef>
#include <cstdint>
#include <span>

namespace vrok {

// Reads the unsigned field of `width` bits (0..32) that starts at bit `start`
// of `bytes`. The caller guarantees the field lies inside the span.
std::uint32_t ReadBits(std::span<const std::uint8_t> bytes, std::uint64_t start,
                       unsigned width);

// Writes the low `width` bits (0..32) of `value` at bit `start`; other bits
// of the touched bytes are kept.
void WriteBits(std::span<std::uint8_t> bytes, std::uint64_t start, unsigned width,
               std::uint32_t value);

// Big-endian numbers of info records and headers.
inline std::uint16_t ReadBE16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t ReadBE32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

}  // namespace vrok
