#pragma once
// The fuzz input format of the targets that open content: three
// little-endian 16-bit lengths, then the data, strings and binary files'
// bytes (the binary file takes whatever is left). The files are written
// into one temporary folder per process.

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace vrok::fuzz {

inline void PutFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

// Writes the three content files from the input; their common path prefix,
// or nothing for an input too short to hold the lengths.
inline std::optional<std::string> WriteContentFiles(const std::uint8_t* data, std::size_t size) {
  static const std::string folder = [] {
    char pattern[] = "/tmp/vrok-fuzz-XXXXXX";
    return std::string(::mkdtemp(pattern));
  }();
  if (size < 6) return std::nullopt;
  const std::size_t lengths[2] = {static_cast<std::size_t>(data[0] | data[1] << 8),
                                  static_cast<std::size_t>(data[2] | data[3] << 8)};
  data += 6;
  size -= 6;
  const std::string prefix = folder + "/VROK-Vrok";
  const char* suffixes[] = {"-Data.pdb", "-Strings.pdb", "-Binary-PPC.pdb"};
  for (int i = 0; i < 3; ++i) {
    const std::size_t n = i < 2 ? std::min(lengths[i], size) : size;
    PutFile(prefix + suffixes[i], data, n);
    data += n;
    size -= n;
  }
  return prefix;
}

}  // namespace vrok::fuzz
