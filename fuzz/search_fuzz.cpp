// The book search on untrusted bytes, two ways, chosen by the first byte:
// - 'Q': the rest is a query (UTF-16 code units, two bytes each) run on the
//   index of a small book: every query answers with at most 20 hits, and
//   every bold range lies inside its snippet.
// - anything else: the bytes are written as an index file and opened as
//   the reader opens one (no stamps required) and queried: while typing, a
//   whole word, a misspelling and several words. A damaged file is refused
//   before the search library reads it.
// Seeds: an index vrok-book wrote for a small book, and a few queries.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "content/content_database.h"
#include "core/search/book_index.h"
#include "support/book_nodes.h"

using vrok::test::Num;
using vrok::test::Ref;
using vrok::test::Str;
using vrok::test::WithId;

namespace {

void Check(const vrok::search::SearchAnswer& answer) {
  if (answer.hits.size() > 20) __builtin_trap();  // never more than asked for
  for (const vrok::search::SearchHit& hit : answer.hits)
    for (const auto& [begin, end] : hit.bold)
      if (begin > end || end > hit.snippet.size()) __builtin_trap();
}

// The index of a small book with labelled sections and index entries.
const vrok::search::BookIndex& SmallIndex() {
  static const vrok::search::BookIndex* index = [] {
    auto* built = new vrok::search::BookIndex;
    const std::string folder = vrok::test::MakeTempFolder("search-fuzz");
    vrok::Book book;
    book.root = Num(
        u"root", 0,
        {Str(u"table", u"TOPICS",
             {Str(u"table type", u"html list"), Str(u"title", u"Topics"), Str(u"field name", u""),
              Str(u"field name", u"Treatment"),
              WithId(Str(u"hierarchy item", u"Asthma",
                         {Str(u"field", u"Wheeze and <B>breathlessness</B>."),
                          Str(u"field", u"Give salbutamol. Then oxygen; review in an hour.")}),
                     "asthma"),
              Str(u"hierarchy item", u"Na\u00EFve haemorrhage",
                  {Str(u"field", u"Oedema, anaemia\nand a clot in the leg.")})}),
         Str(u"table", u"INDEX",
             {Str(u"table type", u"index"),
              Str(u"hierarchy item", u"A",
                  {Str(u"hierarchy item", u"Airway", {Ref(u"link", "asthma")})})})});
    if (folder.empty() || !vrok::WriteBook(book, folder).ok) return built;
    const vrok::ContentDatabase db(folder + "/VROK-Vrok");
    std::string error;
    const std::string file = folder + "/index.idx";
    if (vrok::search::BuildIndex(db, file, error)) built->Open(file, "");
    return built;
  }();
  return *index;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 0 && data[0] == 'Q') {
    std::u16string query;
    for (std::size_t i = 1; i + 1 < size; i += 2)
      query.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    Check(SmallIndex().Query(query));
    return 0;
  }
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
  for (const char16_t* query : {u"a", u"asth", u"asthma ", u"pnuemonia", u"clot in leg"})
    Check(index.Query(query));
  return 0;
}
