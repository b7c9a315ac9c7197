// Book sources from arbitrary bytes: read, sorted where asked, laid out and
// checked for the search's order, as vrok-book does before it writes. The
// sources' item files are looked up in a folder that holds a folder, a FIFO
// and a small file, so that item names reach each kind.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "cli/search_order.h"
#include "content/writer/book_source.h"

namespace {

std::string g_base;

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_base = "/tmp/book_source_fuzz." + std::to_string(::getpid());
  ::mkdir(g_base.c_str(), 0700);
  ::mkdir((g_base + "/dir").c_str(), 0700);
  ::mkfifo((g_base + "/fifo").c_str(), 0600);
  std::ofstream(g_base + "/small.bin") << "abc";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string error;
  auto book = vrok::ParseBookSource(std::string_view(reinterpret_cast<const char*>(data), size),
                                    g_base, error);
  Check(book.has_value() == error.empty());
  if (!book) return 0;
  vrok::SortSearchLists(book->root);
  error.clear();
  const auto layout = vrok::LayOutBook(*book, error);
  Check(layout.has_value() == error.empty());
  if (layout) vrok::FindOrderProblems(vrok::LayoutTree(*layout));
  return 0;
}
