// vrok-book SOURCE.json OUTFOLDER: compiles a book source into the three
// content files.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "cli/book_source.h"

namespace {

int Compile(const char* source, const char* folder) {
  std::string error;
  const auto book = vrok::ReadBookSource(source, error);
  if (!book) {
    std::fprintf(stderr, "vrok-book: %s\n", error.c_str());
    return 1;
  }
  if (::mkdir(folder, 0755) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "vrok-book: cannot create %s\n", folder);
    return 1;
  }
  const auto result = vrok::WriteBook(*book, folder);
  if (!result.ok) {
    std::fprintf(stderr, "vrok-book: %s\n", result.message.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vrok-book SOURCE.json OUTFOLDER\n");
    return 2;
  }
  try {
    return Compile(argv[1], argv[2]);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "vrok-book: out of memory\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vrok-book: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "vrok-book: unexpected failure\n");
  }
  return 1;
}
