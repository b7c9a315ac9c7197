// Opens arbitrary bytes as the three content files and reads everything.
// Input: three little-endian 16-bit lengths, then the data, strings and
// binary files' bytes (the binary file takes whatever is left).

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "content/content_database.h"
#include "support/walk.h"

namespace {

const std::string& Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/vrok-fuzz-XXXXXX";
    return std::string(::mkdtemp(pattern));
  }();
  return folder;
}

void Put(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  std::size_t lengths[2] = {static_cast<std::size_t>(data[0] | data[1] << 8),
                            static_cast<std::size_t>(data[2] | data[3] << 8)};
  data += 6;
  size -= 6;
  const std::string prefix = Folder() + "/VROK-Vrok";
  const char* suffixes[] = {"-Data.pdb", "-Strings.pdb", "-Binary-PPC.pdb"};
  for (int i = 0; i < 3; ++i) {
    const std::size_t n = i < 2 ? std::min(lengths[i], size) : size;
    Put(prefix + suffixes[i], data, n);
    data += n;
    size -= n;
  }
  const vrok::ContentDatabase db(prefix);
  vrok::test::WalkEverything(db, 500);
  return 0;
}
