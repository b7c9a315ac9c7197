// Opens arbitrary bytes as the three content files and reads everything.
// Input: three little-endian 16-bit lengths, then the data, strings and
// binary files' bytes (the binary file takes whatever is left).

#include <cstdint>

#include "content/content_database.h"
#include "content_input.h"
#include "support/walk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto prefix = vrok::fuzz::WriteContentFiles(data, size);
  if (!prefix) return 0;
  const vrok::ContentDatabase db(*prefix);
  vrok::test::WalkEverything(db, 500);
  return 0;
}
