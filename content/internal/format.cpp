#include "content/internal/format.h"

namespace vrok::format {

std::optional<PackedArray> MakePackedArray(std::uint64_t n, std::uint16_t w) {
  PackedArray a;
  a.count = n;
  a.width = w;
  if (w == 0) {
    if (n > 1) return std::nullopt;
    a.capacity = 1;
    a.chunks = n;
    return a;  // stride and size 0: the entry reads as 0
  }
  a.capacity = kChunkBits / w;
  a.stride = (a.capacity * w + 7) / 8;
  if (n == 0) return a;
  a.chunks = (n + a.capacity - 1) / a.capacity;
  if (a.chunks > kMaxChunks) return std::nullopt;
  const std::uint64_t last = n - (a.chunks - 1) * a.capacity;
  a.size = (a.chunks - 1) * a.stride + (last * w + 7) / 8;
  return a;
}

}  // namespace vrok::format
