// write_large_book SOURCE FOLDER [ROWS [FLAT]]: writes the sample book
// source grown to ROWS rows (a million by default), with an index of
// 100,000 entries in letter groups and a flat index of FLAT entries
// (100,000 by default), as content files into FOLDER, so that the reader
// can be measured on it.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include "samples/large/large_book.h"

namespace {

bool ParseCount(const char* text, std::uint32_t& value) {
  const char* end = text + std::strlen(text);
  const auto [at, ec] = std::from_chars(text, end, value);
  return ec == std::errc() && at == end && at != text;
}

}  // namespace

int main(int argc, char** argv) {
  vrok::LargeBookShape shape;
  if (argc < 3 || argc > 5 || (argc > 3 && !ParseCount(argv[3], shape.rows)) ||
      (argc > 4 && !ParseCount(argv[4], shape.flatEntries))) {
    std::fprintf(stderr, "usage: write_large_book SOURCE FOLDER [ROWS [FLAT]]\n");
    return 2;
  }
  std::string error;
  const auto book = vrok::LargeSampleBook(argv[1], shape, error);
  if (!book) {
    std::fprintf(stderr, "write_large_book: %s\n", error.c_str());
    return 1;
  }
  const auto written = vrok::WriteBook(*book, argv[2]);
  if (!written.ok) {
    std::fprintf(stderr, "write_large_book: %s\n", written.message.c_str());
    return 1;
  }
  return 0;
}
