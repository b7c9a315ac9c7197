// vrok-book SOURCE.json OUTFOLDER: compiles a book source into the three
// content files.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "cli/book_source.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vrok-book SOURCE.json OUTFOLDER\n");
    return 2;
  }
  std::string error;
  const auto book = vrok::ReadBookSource(argv[1], error);
  if (!book) {
    std::fprintf(stderr, "vrok-book: %s\n", error.c_str());
    return 1;
  }
  if (::mkdir(argv[2], 0755) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "vrok-book: cannot create %s\n", argv[2]);
    return 1;
  }
  const auto result = vrok::WriteBook(*book, argv[2]);
  if (!result.ok) {
    std::fprintf(stderr, "vrok-book: %s\n", result.message.c_str());
    return 1;
  }
  return 0;
}
