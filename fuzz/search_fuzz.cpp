// Damaged search indexes: the input's bytes are written as an index file,
// opened as the reader opens one (no stamps required) and queried: while
// typing, a whole word, a misspelling and several words. Either the index
// is refused, or every query answers, never a crash, a leak or a hang.
// Seed with the sample book's VROK-Vrok-Search.idx, so that mutations
// land inside a real index.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/search/book_index.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string file = [] {
    char name[] = "/tmp/vrok-search-fuzz-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd >= 0) ::close(fd);
    return std::string(name);
  }();
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return 0;
  const bool written = size == 0 || std::fwrite(data, 1, size, out) == size;
  std::fclose(out);
  if (!written) return 0;
  vrok::search::BookIndex index;
  if (!index.Open(file, "")) return 0;
  for (const char16_t* query : {u"a", u"asth", u"asthma ", u"pnuemonia", u"clot in leg"}) {
    const vrok::search::SearchAnswer answer = index.Query(query);
    if (answer.hits.size() > 20) __builtin_trap();  // never more than asked for
  }
  return 0;
}
