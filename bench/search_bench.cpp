// The book search: query latency per keystroke while typing "myocardial
// infarction" letter by letter (p50 and p99), beside the floor of the same
// Xapian queries on the same database with no reader around them (no
// folding, no fallbacks, no snippets); the time to build the index beside
// the time to only walk the book and extract its text; the index's size
// against the text's. On the sample book (0) and on the sample grown to a
// million rows (1).

#include <benchmark/benchmark.h>
#include <xapian.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "content/content_database.h"
#include "core/search/book_documents.h"
#include "core/search/book_index.h"
#include "samples/large/large_book.h"
#include "support/book_nodes.h"

namespace vrok {
namespace {

constexpr const char* kContentFiles[] = {"VROK-Vrok-Data.pdb", "VROK-Vrok-Strings.pdb",
                                         "VROK-Vrok-Binary-PPC.pdb"};
constexpr std::u16string_view kTyped = u"myocardial infarction";

struct Book {
  std::string folder;
  std::unique_ptr<ContentDatabase> db;
  std::string index;  // built once, by the build benchmark or on first use
};
std::map<int, Book> books;

Book& BookOf(int which) {
  auto it = books.find(which);
  if (it != books.end()) return it->second;
  Book b;
  b.folder = test::MakeTempFolder("vrok-bench");
  if (which == 0) {
    for (const char* name : kContentFiles)
      std::filesystem::copy_file(std::string(VROK_PROGRAM_DIR "/") + name, b.folder + "/" + name);
  } else {
    std::string error;
    const auto book = LargeSampleBook(VROK_SAMPLE_SOURCE, {}, error);
    const auto written = book ? WriteBook(*book, b.folder) : BookWriteResult{false, error};
    if (!written.ok) std::fprintf(stderr, "search_bench: %s\n", written.message.c_str());
  }
  b.db = std::make_unique<ContentDatabase>(b.folder + "/VROK-Vrok");
  return books.emplace(which, std::move(b)).first->second;
}

const std::string& IndexOf(Book& b) {
  if (b.index.empty()) {
    std::string error;
    const std::string file = b.folder + "/VROK-Vrok-Search.idx";
    if (search::BuildIndex(*b.db, file, error)) b.index = file;
  }
  return b.index;
}

// p50 and p99 of the samples, in milliseconds, as counters.
void Percentiles(benchmark::State& state, std::vector<double> ms) {
  if (ms.empty()) return;
  std::sort(ms.begin(), ms.end());
  const auto at = [&](double p) {
    return ms[std::min(ms.size() - 1,
                       static_cast<std::size_t>(p * static_cast<double>(ms.size())))];
  };
  state.counters["p50_ms"] = at(0.50);
  state.counters["p99_ms"] = at(0.99);
  state.counters["max_ms"] = ms.back();
}

// Every keystroke of the typed text: the reader's query (folded, spelling
// and fallbacks, twenty hits unpacked with snippets).
void BM_QueryPerKeystroke(benchmark::State& state) {
  Book& b = BookOf(static_cast<int>(state.range(0)));
  search::BookIndex index;
  if (IndexOf(b).empty() || !index.Open(b.index, search::StampsOf(*b.db))) {
    state.SkipWithError("no index");
    return;
  }
  std::vector<double> ms;
  for (auto _ : state) {
    for (std::size_t n = 1; n <= kTyped.size(); ++n) {
      const auto start = std::chrono::steady_clock::now();
      const search::SearchAnswer a = index.Query(kTyped.substr(0, n));
      benchmark::DoNotOptimize(a.hits.size());
      ms.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count());
    }
  }
  Percentiles(state, std::move(ms));
}
BENCHMARK(BM_QueryPerKeystroke)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(20);

// The floor: the same keystrokes as plain Xapian queries (the last word a
// prefix, English stemming, all words) on the same database, top twenty.
void BM_XapianFloor(benchmark::State& state) {
  Book& b = BookOf(static_cast<int>(state.range(0)));
  if (IndexOf(b).empty()) {
    state.SkipWithError("no index");
    return;
  }
  const int fd = search::OpenSealedIndex(b.index);
  if (fd < 0) {
    state.SkipWithError("the index does not open");
    return;
  }
  Xapian::Database db(fd);  // owns fd
  Xapian::QueryParser parser;
  parser.set_database(db);
  parser.set_stemmer(Xapian::Stem("en"));
  parser.set_stemming_strategy(Xapian::QueryParser::STEM_SOME);
  parser.set_default_op(Xapian::Query::OP_AND);
  Xapian::Enquire enquire(db);
  std::vector<double> ms;
  const std::string typed = "myocardial infarction";
  for (auto _ : state) {
    for (std::size_t n = 1; n <= typed.size(); ++n) {
      const auto start = std::chrono::steady_clock::now();
      enquire.set_query(parser.parse_query(typed.substr(0, n), Xapian::QueryParser::FLAG_PARTIAL));
      const Xapian::MSet found = enquire.get_mset(0, 20);
      benchmark::DoNotOptimize(found.size());
      ms.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count());
    }
  }
  Percentiles(state, std::move(ms));
}
BENCHMARK(BM_XapianFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(20);

// Building the index (walk, extract, index, compact to one file), with its
// size against the text it holds.
void BM_BuildIndex(benchmark::State& state) {
  Book& b = BookOf(static_cast<int>(state.range(0)));
  const std::string file = b.folder + "/build.idx";
  for (auto _ : state) {
    std::string error;
    if (!search::BuildIndex(*b.db, file, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
  }
  std::uint64_t text = 0;
  search::WalkBook(*b.db, [&](search::BookDocument&& d) {
    text += (d.title.size() + d.text.size()) * 2;  // UTF-16 bytes; UTF-8 below
  });
  std::error_code ec;
  state.counters["index_MB"] = static_cast<double>(std::filesystem::file_size(file, ec)) / 1e6;
  state.counters["text_MB_utf16"] = static_cast<double>(text) / 1e6;
  state.counters["strings_file_MB"] =
      static_cast<double>(std::filesystem::file_size(b.folder + "/VROK-Vrok-Strings.pdb", ec)) /
      1e6;
}
BENCHMARK(BM_BuildIndex)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// The floor of the build: walking the book and extracting its documents.
void BM_WalkOnly(benchmark::State& state) {
  Book& b = BookOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::size_t documents = 0;
    search::WalkBook(*b.db, [&](search::BookDocument&& d) {
      benchmark::DoNotOptimize(d.text.size());
      ++documents;
    });
    state.counters["documents"] = static_cast<double>(documents);
  }
}
BENCHMARK(BM_WalkOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace vrok

BENCHMARK_MAIN();
