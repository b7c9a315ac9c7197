// write_large_book SOURCE FOLDER: writes the sample book source grown to a
// million rows (with an index of 100,000 entries) as content files into
// FOLDER, so that the reader can be measured on it.

#include <cstdio>
#include <string>

#include "samples/large/large_book.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: write_large_book SOURCE FOLDER\n");
    return 2;
  }
  std::string error;
  const auto book = vrok::LargeSampleBook(argv[1], {}, error);
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
