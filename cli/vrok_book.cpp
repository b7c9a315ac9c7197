// vrok-book SOURCE.json OUTFOLDER: compiles a book source into the three
// content files; vrok-book --from markdown FOLDER OUTFOLDER compiles a
// folder of Markdown topics.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "cli/markdown_source.h"
#include "cli/search_order.h"
#include "content/content_database.h"
#include "content/writer/book_source.h"
#include "core/search/book_index.h"

namespace {

int Compile(const char* source, const char* folder, bool markdown) {
  std::string error;
  std::optional<vrok::BookSource> book;
  if (markdown) {
    // A Markdown folder is made into nodes first: such books are small.
    if (auto tree = vrok::ReadMarkdownBook(source, error)) {
      book.emplace();
      book->records = vrok::ToRecords(tree->root);
      tree->root = vrok::BookNode();
      book->book = std::move(*tree);
    }
  } else {
    book = vrok::ReadBookSourceRecords(source, error);
  }
  if (!book) {
    std::fprintf(stderr, "vrok-book: %s\n", error.c_str());
    return 1;
  }
  vrok::SortSearchLists(book->records);
  // The records are freed as they are laid out.
  const auto layout = vrok::LayOutRecords(std::move(book->records), book->book.items.size(), error);
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
    std::fprintf(stderr, "vrok-book: %s; sort the entries, or give the table \"sort\": true\n",
                 vrok::DescribeProblem(problem).c_str());
    return 1;
  }
  if (::mkdir(folder, 0755) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "vrok-book: cannot create %s\n", folder);
    return 1;
  }
  // The search index is made from the staged files and committed with them.
  const vrok::StageExtra index = [](const std::string& staging, const std::string& file,
                                    std::string& why) {
    const vrok::ContentDatabase staged(staging + "/VROK-Vrok");
    return vrok::search::BuildIndex(staged, file, why);
  };
  const auto result = vrok::WriteBook(book->book, *layout, folder, nullptr, &index);
  if (!result.ok) {
    std::fprintf(stderr, "vrok-book: %s\n", result.message.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool markdown =
      argc == 5 && std::string(argv[1]) == "--from" && std::string(argv[2]) == "markdown";
  if (argc != 3 && !markdown) {
    std::fprintf(stderr,
                 "usage: vrok-book SOURCE.json OUTFOLDER\n"
                 "       vrok-book --from markdown FOLDER OUTFOLDER\n");
    return 2;
  }
  try {
    return markdown ? Compile(argv[3], argv[4], true) : Compile(argv[1], argv[2], false);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "vrok-book: out of memory\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vrok-book: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "vrok-book: unexpected failure\n");
  }
  return 1;
}
