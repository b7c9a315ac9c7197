#pragma once
// Bytes as lowercase hexadecimal text, two digits a byte: how page data is
// written into screen reports, export files and search documents.

#include <cstdint>
#include <span>
#include <string>

namespace vrok {

inline std::string ToHex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string s;
  s.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

}  // namespace vrok
