// vrok-book SOURCE.json OUTFOLDER: compiles a book source into the three
// content files.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "cli/book_source.h"
#include "cli/search_order.h"
#include "content/content_database.h"
#include "search/book_index.h"

namespace {

int Compile(const char* source, const char* folder) {
  std::string error;
  auto book = vrok::ReadBookSource(source, error);
  if (!book) {
    std::fprintf(stderr, "vrok-book: %s\n", error.c_str());
    return 1;
  }
  vrok::SortSearchLists(book->root);
  const auto layout = vrok::LayOutBook(*book, error);
  if (!layout) {
    std::fprintf(stderr, "vrok-book: %s\n", error.c_str());
    return 1;
  }
  // Every searched list must be in the search's order, unless its table
  // says "sort": false; those are only named.
  for (const auto& problem : vrok::FindOrderProblems(vrok::LayoutTree(*layout))) {
    if (problem.keepOrder) {
      std::fprintf(stderr, "vrok-book: warning: %s (kept: the table says \"sort\": false)\n",
                   vrok::DescribeProblem(problem).c_str());
      continue;
    }
    std::fprintf(stderr,
                 "vrok-book: %s; sort the entries, or give the table \"sort\": true\n",
                 vrok::DescribeProblem(problem).c_str());
    return 1;
  }
  if (::mkdir(folder, 0755) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "vrok-book: cannot create %s\n", folder);
    return 1;
  }
  // The layout holds all the files need: free the nodes before they are
  // encoded, which lowers the peak of a large book.
  book->root = vrok::BookNode();
  // The search index is made from the staged files and committed with them.
  const vrok::StageExtra index = [](const std::string& staging, const std::string& file,
                                    std::string& why) {
    const vrok::ContentDatabase staged(staging + "/VROK-Vrok");
    return vrok::search::BuildIndex(staged, file, why);
  };
  const auto result = vrok::WriteBook(*book, *layout, folder, nullptr, &index);
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
