#include "content/internal/bits.h"

#include <cassert>

namespace vrok {

std::uint32_t ReadBits(std::span<const std::uint8_t> bytes, std::uint64_t start, unsigned width) {
  if (width == 0) return 0;
  assert(width <= 32);
  const std::uint64_t end = start + width - 1;  // last bit of the field
  assert(end / 8 < bytes.size());
  std::uint64_t acc = 0;  // at most five bytes: 40 bits
  for (std::uint64_t i = start / 8; i <= end / 8; ++i) acc = (acc << 8) | bytes[i];
  acc >>= 7 - end % 8;
  return static_cast<std::uint32_t>(acc & ((std::uint64_t{1} << width) - 1));
}

void WriteBits(std::span<std::uint8_t> bytes, std::uint64_t start, unsigned width,
               std::uint32_t value) {
  for (unsigned k = 0; k < width; ++k) {
    const std::uint64_t bit = start + k;
    const auto mask = static_cast<std::uint8_t>(0x80u >> (bit % 8));
    if ((value >> (width - 1 - k)) & 1u) {
      bytes[bit / 8] |= mask;
    } else {
      bytes[bit / 8] &= static_cast<std::uint8_t>(~mask);
    }
  }
}

}  // namespace vrok
