#include "content/internal/bits.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

namespace vrok {

std::uint32_t ReadBits(std::span<const std::uint8_t> bytes, std::uint64_t start, unsigned width) {
  if (width == 0) return 0;
  assert(width <= 32);
  const std::uint64_t end = start + width - 1;  // last bit of the field
  assert(end / 8 < bytes.size());
  if (bytes.size() - start / 8 >= 8) {
    // Eight bytes at once, most significant first: the field (at most 32
    // bits, at most 7 bits into its first byte) lies inside them.
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + start / 8, sizeof word);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return static_cast<std::uint32_t>((word << (start % 8)) >> (64 - width));
  }
  std::uint64_t acc = 0;  // at most five bytes: 40 bits
  for (std::uint64_t i = start / 8; i <= end / 8; ++i) acc = (acc << 8) | bytes[i];
  acc >>= 7 - end % 8;
  return static_cast<std::uint32_t>(acc & ((std::uint64_t{1} << width) - 1));
}

void WriteBits(std::span<std::uint8_t> bytes, std::uint64_t start, unsigned width,
               std::uint32_t value) {
  // A byte at a time: the bits of each byte the field touches are replaced
  // in one step, the byte's other bits kept.
  std::uint64_t bit = start;
  unsigned left = width;
  while (left > 0) {
    const unsigned offset = static_cast<unsigned>(bit % 8);
    const unsigned n = std::min(left, 8 - offset);
    const unsigned shift = 8 - offset - n;
    const unsigned ones = (1u << n) - 1;
    const auto part = static_cast<std::uint8_t>(((value >> (left - n)) & ones) << shift);
    const auto mask = static_cast<std::uint8_t>(ones << shift);
    bytes[bit / 8] = static_cast<std::uint8_t>((bytes[bit / 8] & ~mask) | part);
    left -= n;
    bit += n;
  }
}

}  // namespace vrok
