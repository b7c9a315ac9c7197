// Row reads, searches and string reads on a generated book of 1,000,000
// rows, each beside a bare pread of the same bytes (the physical floor).
//
// Book: root -> 10 tables -> 1,000 records ("hierarchy item", text) -> 98
// fields ("field", text) and one "link" each.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "content/content_database.h"
#include "content/internal/bits.h"
#include "content/node_cursor.h"
#include "content/writer/book_writer.h"

namespace vrok {
namespace {

constexpr int kTables = 10, kRecords = 1000, kFields = 98;

struct GeneratedBook {
  std::string folder;
  std::string prefix;
  std::uint32_t rows = 0;

  GeneratedBook() {
    char pattern[] = "/tmp/vrok-bench-XXXXXX";
    folder = ::mkdtemp(pattern);
    prefix = folder + "/VROK-Vrok";
    Book book;
    book.root.field = u"root";
    for (int t = 0; t < kTables; ++t) {
      BookNode table;
      table.field = u"table";
      table.type = u"string";
      table.text = u"TABLE_" + std::u16string(1, static_cast<char16_t>(u'A' + t));
      for (int r = 0; r < kRecords; ++r) {
        BookNode record;
        record.field = u"hierarchy item";
        record.type = u"string";
        record.text = u"Record " + std::u16string(1, static_cast<char16_t>(u'a' + r % 26));
        record.text += std::u16string(r % 7, u'x');
        for (int f = 0; f < kFields; ++f) {
          BookNode field;
          field.field = u"field";
          field.type = u"string";
          field.text = u"Text of field " + std::u16string(1, static_cast<char16_t>(u'0' + f % 10)) +
                       u" with a few more words in it.";
          record.children.push_back(std::move(field));
        }
        BookNode link;
        link.field = u"link";
        link.value = static_cast<std::uint32_t>(r);
        record.children.push_back(std::move(link));
        table.children.push_back(std::move(record));
      }
      book.root.children.push_back(std::move(table));
    }
    if (!WriteBook(book, folder).ok) std::abort();
    rows = ContentDatabase(prefix).RowCount();
  }
  ~GeneratedBook() { std::filesystem::remove_all(folder); }
};

const GeneratedBook& Book1M() {
  static const GeneratedBook book;
  return book;
}

// Random rows, the same sequence for a benchmark and its floor.
std::vector<RowIndex> RandomRows(std::uint32_t count, std::uint32_t n = 4096) {
  std::mt19937 rng(42);
  std::vector<RowIndex> rows(n);
  for (auto& r : rows) r = rng() % count;
  return rows;
}

void BM_Open(benchmark::State& state) {
  const auto& book = Book1M();
  for (auto _ : state) {
    ContentDatabase db(book.prefix);
    benchmark::DoNotOptimize(db.RowCount());
  }
}
BENCHMARK(BM_Open);

void BM_ReadRow(benchmark::State& state) {
  const ContentDatabase db(Book1M().prefix);
  const auto rows = RandomRows(db.RowCount());
  NodeRow row;
  std::size_t i = 0;
  for (auto _ : state) {
    db.ReadRow(rows[i++ % rows.size()], row);
    benchmark::DoNotOptimize(row);
  }
  state.counters["rows"] = db.RowCount();
}
BENCHMARK(BM_ReadRow);

// The floor of a row read: one pread of the same bytes.
void BM_ReadRowFloor(benchmark::State& state) {
  const ContentDatabase db(Book1M().prefix);
  const ContentGeometry& g = db.Geometry();
  const int fd = ::open((Book1M().prefix + "-Data.pdb").c_str(), O_RDONLY);
  const auto rows = RandomRows(db.RowCount());
  std::uint8_t buffer[25];
  std::size_t i = 0;
  for (auto _ : state) {
    const RowIndex r = rows[i++ % rows.size()];
    const std::uint64_t bit = g.nodeTable.BitInChunk(r);
    benchmark::DoNotOptimize(
        ::pread(fd, buffer, (g.nodeRowWidth + bit % 8 + 7) / 8,
                static_cast<off_t>(g.nodeTableStart + g.nodeTable.ChunkOffset(r) + bit / 8)));
  }
  ::close(fd);
}
BENCHMARK(BM_ReadRowFloor);

void BM_FindChild(benchmark::State& state) {
  const ContentDatabase db(Book1M().prefix);
  // Parents: random records; fields alternate between "field" and "link".
  std::vector<RowIndex> parents;
  for (RowIndex r : RandomRows(kTables * kRecords)) parents.push_back(1 + kTables + r);
  const FieldId fields[] = {db.FieldIdOf(u"field"), db.FieldIdOf(u"link")};
  const std::uint64_t before = db.RowReads();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(db.FindChild(parents[i % parents.size()], fields[i % 2]));
    ++i;
  }
  state.counters["row_reads_per_search"] =
      static_cast<double>(db.RowReads() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FindChild);

void BM_RowOfKey(benchmark::State& state) {
  const ContentDatabase db(Book1M().prefix);
  std::vector<NodeKey> keys;
  for (RowIndex r : RandomRows(db.RowCount())) keys.push_back(db.KeyOfRow(r));
  const std::uint64_t before = db.RowReads();
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(db.RowOfKey(keys[i++ % keys.size()]));
  state.counters["row_reads_per_search"] =
      static_cast<double>(db.RowReads() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_RowOfKey);

void BM_ReadString(benchmark::State& state) {
  const ContentDatabase db(Book1M().prefix);
  const auto ids = RandomRows(db.Geometry().stringCount);
  std::u16string text;
  std::size_t i = 0;
  for (auto _ : state) {
    db.ReadString(StringId{ids[i++ % ids.size()]}, text);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_ReadString);

// The floor of a string read: the two location entries and the string's
// bytes, three preads at positions worked out beforehand.
void BM_ReadStringFloor(benchmark::State& state) {
  const ContentDatabase db(Book1M().prefix);
  const std::string path = Book1M().prefix + "-Strings.pdb";
  const int fd = ::open(path.c_str(), O_RDONLY);
  const ContentGeometry& g = db.Geometry();
  const format::PackedArray& t = g.stringLocations;
  std::vector<std::uint8_t> table(t.size);
  if (::pread(fd, table.data(), table.size(), static_cast<off_t>(g.stringLocationsStart)) < 0) {
    std::abort();
  }
  const auto entry = [&](std::uint64_t i) {
    return ReadBits(table, t.ChunkOffset(i) * 8 + t.BitInChunk(i), t.width);
  };
  struct Probe {
    off_t entry;
    off_t bytes;
    std::size_t length;
  };
  std::vector<Probe> probes;
  for (const std::uint32_t id : RandomRows(g.stringCount - 1)) {
    const std::uint64_t from = format::LocationPosition(g.stringDataStart, entry(id));
    const std::uint64_t to = format::LocationPosition(g.stringDataStart, entry(id + 1));
    probes.push_back(
        {static_cast<off_t>(g.stringLocationsStart + t.ChunkOffset(id) + t.BitInChunk(id) / 8),
         static_cast<off_t>(from), static_cast<std::size_t>(to - from)});
  }
  std::vector<std::uint8_t> buffer(4096);
  std::size_t i = 0;
  for (auto _ : state) {
    const Probe& p = probes[i++ % probes.size()];
    benchmark::DoNotOptimize(::pread(fd, buffer.data(), 5, p.entry));
    benchmark::DoNotOptimize(::pread(fd, buffer.data(), 5, p.entry + 2));
    benchmark::DoNotOptimize(
        ::pread(fd, buffer.data(), std::min(p.length, buffer.size()), p.bytes));
  }
  ::close(fd);
}
BENCHMARK(BM_ReadStringFloor);

void BM_CollectChildren(benchmark::State& state) {
  const ContentDatabase db(Book1M().prefix);
  std::vector<RowIndex> parents;
  for (RowIndex r : RandomRows(kTables * kRecords)) parents.push_back(1 + kTables + r);
  std::vector<NodeRow> run;
  std::size_t i = 0;
  for (auto _ : state) {
    run.clear();
    NodeCursor(db, parents[i++ % parents.size()]).CollectChildren(u"field", run);
    benchmark::DoNotOptimize(run.data());
  }
  state.counters["rows_collected"] = static_cast<double>(run.size());
}
BENCHMARK(BM_CollectChildren);

// The floor of collecting a run: the reads to find it (one row read per
// search step, taken from BM_FindChild) are not counted here, only one
// pread of the run's bytes.
void BM_CollectChildrenFloor(benchmark::State& state) {
  const ContentDatabase db(Book1M().prefix);
  const ContentGeometry& g = db.Geometry();
  const int fd = ::open((Book1M().prefix + "-Data.pdb").c_str(), O_RDONLY);
  std::vector<std::uint8_t> buffer((kFields * g.nodeRowWidth + 7) / 8 + 1);
  std::vector<RowIndex> firsts;
  for (RowIndex r : RandomRows(kTables * kRecords)) {
    firsts.push_back(db.FindChild(1 + kTables + r, db.FieldIdOf(u"field")));
  }
  std::size_t i = 0;
  for (auto _ : state) {
    const RowIndex r = firsts[i++ % firsts.size()];
    benchmark::DoNotOptimize(
        ::pread(fd, buffer.data(), buffer.size(),
                static_cast<off_t>(g.nodeTableStart + g.nodeTable.ChunkOffset(r) +
                                   g.nodeTable.BitInChunk(r) / 8)));
  }
  ::close(fd);
}
BENCHMARK(BM_CollectChildrenFloor);

}  // namespace
}  // namespace vrok

BENCHMARK_MAIN();
