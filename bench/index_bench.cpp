// Search as you type on a flat index of 100,000 or 500,000 entries, through
// the real index list view of a started reader (offscreen): each keystroke
// puts the next text into the search box; the time runs from the text change
// to the selected, scrolled and redrawn row. Beside it, in the same run: the
// search alone on the same model; the floor of reading the strings of
// exactly the entries the search reads (the string reads it cannot avoid);
// the same search on the texts already in memory; and an indexed SQLite
// prefix query on the same names. Showing the index page is measured at 26,
// 100,000 and 500,000 entries, with the heap it keeps.
//
// Counters: "syscalls" is the content read path's system calls per
// operation (ContentFile::ReadCalls); with VROK_BENCH_READS=calls the
// content files are read with positioned reads instead of a mapping.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "app/reader_app.h"
#include "content/internal/content_file.h"
#include "content/node_cursor.h"
#include "content/writer/book_writer.h"
#include "core/navigation/page_names.h"
#include "core/pages/markup.h"
#include "frame/main_window.h"
#include "platform/qt/environment.h"
#include "support/book_nodes.h"
#include "views/pages/index_views.h"
#include "widgets/rich_text.h"
#include "widgets/search_bar.h"

namespace vrok {
namespace {

constexpr int kWords = 300;   // entries typed, letter by letter
constexpr int kTypedMax = 8;  // letters typed per entry

using test::Str;

// Made-up index words of two to four syllables, mixed case, every
// sixteenth in bold, sorted on their plain text ignoring case.
std::vector<std::u16string> IndexTexts(int entries) {
  static const char* kSyllables[] = {"ab", "ca", "de", "fi", "go", "hu", "ka", "le", "mo", "nu",
                                     "pa", "re", "si", "to", "ul", "va", "xe", "yo", "za", "th",
                                     "br", "cl", "st", "ph", "qu", "en", "or", "is", "an", "em"};
  std::mt19937 random(7);
  std::vector<std::u16string> texts;
  std::vector<std::u16string> seen;
  while (texts.size() < static_cast<std::size_t>(entries) * 11 / 10) {
    std::u16string w;
    const int n = 2 + static_cast<int>(random() % 3);
    for (int s = 0; s < n; ++s)
      for (const char* c = kSyllables[random() % 30]; *c != 0; ++c)
        w.push_back(static_cast<char16_t>(*c));
    if (random() % 2 == 0) w[0] = static_cast<char16_t>(w[0] - 32);
    w += u" " + std::u16string(1, static_cast<char16_t>(u'a' + random() % 26));
    texts.push_back(std::move(w));
  }
  const auto folded = [](const std::u16string& s) {
    std::u16string f;
    for (char16_t c : s) f.push_back(FoldCase(c));
    return f;
  };
  std::sort(texts.begin(), texts.end(),
            [&](const auto& a, const auto& b) { return folded(a) < folded(b); });
  texts.erase(std::unique(texts.begin(), texts.end(),
                          [&](const auto& a, const auto& b) { return folded(a) == folded(b); }),
              texts.end());
  texts.resize(static_cast<std::size_t>(entries));
  for (std::size_t i = 0; i < texts.size(); i += 16) texts[i] = u"<B>" + texts[i] + u"</B>";
  return texts;
}

struct IndexReader {
  std::string folder;
  std::vector<std::u16string> texts;  // as stored
  std::unique_ptr<ReaderApp> app;
  std::vector<std::u16string> keystrokes;  // the box's text after each one

  explicit IndexReader(int count) {
    folder = test::MakeTempFolder("vrok-bench");
    texts = IndexTexts(count);
    std::vector<BookNode> entries{Str(u"table type", u"index")};
    for (const std::u16string& t : texts) {
      BookNode link;
      link.field = u"link";
      link.ref = "target";
      entries.push_back(Str(u"hierarchy item", t, {std::move(link)}));
    }
    BookNode target = Str(u"table", u"TARGET", {Str(u"table type", u"html"), Str(u"html", u"x")});
    target.id = "target";
    Book book;
    book.root.field = u"root";
    book.root.children = {Str(u"table", u"INDEX", std::move(entries)), std::move(target)};
    const auto written = WriteBook(book, folder);
    if (!written.ok) std::fprintf(stderr, "index_bench: %s\n", written.message.c_str());
    const std::string registry = test::WriteInstallRegistry(folder);
    platform::SetProgramFolder(QString::fromStdString(folder));
    app = std::make_unique<ReaderApp>(platform::Registry(QString::fromStdString(registry)));
    if (!app->InitInstance()) std::fprintf(stderr, "index_bench: start-up failed\n");

    // Letter by letter, the plain texts of entries picked at random.
    std::mt19937 random(11);
    for (int w = 0; w < kWords; ++w) {
      const std::u16string plain = PlainTextOf(texts[random() % texts.size()]);
      for (std::size_t n = 1; n <= std::min<std::size_t>(plain.size(), kTypedMax); ++n)
        keystrokes.push_back(plain.substr(0, n));
    }
  }
  ~IndexReader() {
    app.reset();
    std::filesystem::remove_all(folder);
  }

  IndexListView& View() const { return *app->IndexList(); }
  void ShowIndex() {
    app->Main()->Navigate(app->Names()[pages::kIndex], nullptr, 0, true);
    QCoreApplication::processEvents();
  }
};

// Made on first use, one at a time, ended before the QApplication is.
std::unique_ptr<IndexReader> reader;
IndexReader& Reader(int entries) {
  if (!reader || reader->texts.size() != static_cast<std::size_t>(entries)) {
    reader.reset();
    reader = std::make_unique<IndexReader>(entries);
  }
  return *reader;
}
int Entries(const benchmark::State& state) { return static_cast<int>(state.range(0)); }

// System calls of the content read path per iteration.
void CountCalls(benchmark::State& state, std::uint64_t calls) {
  state.counters["syscalls"] =
      benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kAvgIterations);
}

// The entries the search reads, in the order it reads them.
class RecordedEntries : public SearchEntries {
 public:
  explicit RecordedEntries(const IndexItemModel& model) : model_(model) {}
  std::uint32_t Count() const override { return model_.Count(); }
  std::u16string Text(std::uint32_t i) const override {
    read.push_back(static_cast<int>(i));
    return model_.Text(i);
  }
  mutable std::vector<int> read;

 private:
  const IndexItemModel& model_;
};

void BM_Keystroke(benchmark::State& state) {
  IndexReader& r = Reader(Entries(state));
  r.ShowIndex();
  QLineEdit& box = r.View().Bar().Box();
  const ListHost& list = r.View().Pane().List();
  std::size_t k = 0, strokes = 0, read = 0;
  std::uint32_t most = 0;
  std::uint64_t calls = 0;
  for (auto _ : state) {
    const QString text = platform::ToQ(r.keystrokes[k]);
    const std::uint64_t before = ContentFile::ReadCalls();
    box.setText(text);                  // the change notification runs the search
    QCoreApplication::processEvents();  // and the list is painted
    benchmark::DoNotOptimize(list.Selected());
    calls += ContentFile::ReadCalls() - before;
    state.PauseTiming();
    std::uint32_t probes = 0;
    const auto expected = PrefixSearch(r.View().Model(), r.keystrokes[k], &probes);
    if (!expected || list.Selected() != static_cast<int>(*expected)) {
      state.SkipWithError("the list did not select the entry the search finds");
      break;
    }
    read += probes;
    most = std::max(most, probes);
    ++strokes;
    k = (k + 1) % r.keystrokes.size();
    state.ResumeTiming();
  }
  state.counters["entries_read"] =
      static_cast<double>(read) / static_cast<double>(std::max<std::size_t>(1, strokes));
  state.counters["entries_read_max"] = most;
  state.counters["entries"] = r.View().Model().Count();
  CountCalls(state, calls);
}
BENCHMARK(BM_Keystroke)->Arg(100000)->Arg(500000)->Unit(benchmark::kMicrosecond);

// The search alone, on the view's model, for the same keystrokes.
void BM_SearchOnly(benchmark::State& state) {
  IndexReader& r = Reader(Entries(state));
  r.ShowIndex();
  const IndexItemModel& model = r.View().Model();
  std::size_t k = 0;
  const std::uint64_t before = ContentFile::ReadCalls();
  for (auto _ : state) {
    benchmark::DoNotOptimize(PrefixSearch(model, r.keystrokes[k]));
    k = (k + 1) % r.keystrokes.size();
  }
  CountCalls(state, ContentFile::ReadCalls() - before);
}
BENCHMARK(BM_SearchOnly)->Arg(100000)->Arg(500000)->Unit(benchmark::kMicrosecond);

// Floor: the same search over the same texts already in memory (the plain
// text of each probed entry is still made, as the search makes it).
class TextsInMemory : public SearchEntries {
 public:
  explicit TextsInMemory(const std::vector<std::u16string>& texts) : texts_(texts) {}
  std::uint32_t Count() const override { return static_cast<std::uint32_t>(texts_.size()); }
  std::u16string Text(std::uint32_t i) const override { return texts_[i]; }

 private:
  const std::vector<std::u16string>& texts_;
};

void BM_FloorSearchInMemory(benchmark::State& state) {
  IndexReader& r = Reader(Entries(state));
  const TextsInMemory entries(r.texts);
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(PrefixSearch(entries, r.keystrokes[k]));
    k = (k + 1) % r.keystrokes.size();
  }
}
BENCHMARK(BM_FloorSearchInMemory)->Arg(100000)->Arg(500000)->Unit(benchmark::kMicrosecond);

// Floor: an indexed SQLite prefix query on the same names (plain texts in a
// case-insensitive indexed column of a database file): the first name at
// or after the typed text, as the search selects it.
void BM_FloorSqlitePrefix(benchmark::State& state) {
  IndexReader& r = Reader(Entries(state));
  const std::string path = r.folder + "/names.sqlite";
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
    state.SkipWithError("sqlite3_open failed");
    sqlite3_close(db);
    return;
  }
  sqlite3_exec(db,
               "CREATE TABLE names(name TEXT COLLATE NOCASE);"
               "CREATE INDEX by_name ON names(name);BEGIN;",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO names(name) VALUES(?1)", -1, &insert, nullptr);
  for (const std::u16string& t : r.texts) {
    const std::u16string plain = PlainTextOf(t);
    sqlite3_bind_text16(insert, 1, plain.data(), static_cast<int>(plain.size() * 2),
                        SQLITE_TRANSIENT);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
  sqlite3_stmt* query = nullptr;
  sqlite3_prepare_v2(db, "SELECT rowid FROM names WHERE name >= ?1 ORDER BY name LIMIT 1", -1,
                     &query, nullptr);
  std::size_t k = 0;
  std::int64_t found = 0;
  for (auto _ : state) {
    const std::u16string& text = r.keystrokes[k];
    sqlite3_bind_text16(query, 1, text.data(), static_cast<int>(text.size() * 2), SQLITE_STATIC);
    if (sqlite3_step(query) == SQLITE_ROW) found += sqlite3_column_int64(query, 0);
    sqlite3_reset(query);
    k = (k + 1) % r.keystrokes.size();
  }
  benchmark::DoNotOptimize(found);
  sqlite3_finalize(query);
  sqlite3_close(db);
}
BENCHMARK(BM_FloorSqlitePrefix)->Arg(100000)->Arg(500000)->Unit(benchmark::kMicrosecond);

// Floor: reading the strings of the entries each keystroke's search reads.
void BM_FloorReadEntries(benchmark::State& state) {
  IndexReader& r = Reader(Entries(state));
  r.ShowIndex();
  const IndexItemModel& model = r.View().Model();
  std::vector<std::vector<int>> probed;
  for (const std::u16string& text : r.keystrokes) {
    RecordedEntries recorded(model);
    PrefixSearch(recorded, text);
    probed.push_back(std::move(recorded.read));
  }
  std::size_t k = 0;
  const std::uint64_t before = ContentFile::ReadCalls();
  for (auto _ : state) {
    for (int i : probed[k]) benchmark::DoNotOptimize(model.RowText(i));
    k = (k + 1) % probed.size();
  }
  CountCalls(state, ContentFile::ReadCalls() - before);
}
BENCHMARK(BM_FloorReadEntries)->Arg(100000)->Arg(500000)->Unit(benchmark::kMicrosecond);

// Floor of a keystroke: the same work on screen with bare Qt widgets and no
// search logic. The strings of the entries the search reads and of the rows
// shown are read; a bare edit box gets the text, a bare scroll bar moves to
// the row, and a bare widget of the list's size draws the rows' plain texts
// with QPainter::drawText in the page font through an off-screen bitmap.
class BareRows : public QWidget {
 public:
  using QWidget::QWidget;
  std::vector<QString> rows;
  QFont font;
  int rowHeight = 18;

 protected:
  void paintEvent(QPaintEvent*) override {
    if (drawn_.size() != size()) drawn_ = QPixmap(size());
    drawn_.fill(Qt::white);
    QPainter g(&drawn_);
    g.setFont(font);
    const int ascent = QFontMetrics(font).ascent();
    for (std::size_t i = 0; i < rows.size(); ++i)
      g.drawText(QPoint(2, static_cast<int>(i) * rowHeight + 1 + ascent), rows[i]);
    g.end();
    QPainter(this).drawPixmap(0, 0, drawn_);
  }

 private:
  QPixmap drawn_;
};

void BM_FloorKeystroke(benchmark::State& state) {
  IndexReader& r = Reader(Entries(state));
  r.ShowIndex();
  const ListHost& list = r.View().Pane().List();
  const IndexItemModel& model = r.View().Model();
  QWidget window;
  window.resize(list.width(), list.height() + r.View().Bar().height());
  auto* rows = new BareRows(&window);
  rows->font = ToQFont(PageFontSpec());
  rows->rowHeight = list.RowHeight();
  rows->setGeometry(0, 0, list.width() - 16, list.height());
  auto* bar = new QScrollBar(Qt::Vertical, &window);
  bar->setGeometry(list.width() - 16, 0, 16, list.height());
  bar->setRange(0, model.RowCount() - 1);
  auto* box = new QLineEdit(&window);
  box->setGeometry(50, list.height(), list.width() - 80, r.View().Bar().height());
  window.show();
  struct Stroke {
    QString text;
    int at = 0;
    std::vector<int> probed;
  };
  std::vector<Stroke> strokes;
  for (const std::u16string& text : r.keystrokes) {
    RecordedEntries recorded(model);
    const int at = static_cast<int>(PrefixSearch(recorded, text).value_or(0));
    strokes.push_back({platform::ToQ(text), at, std::move(recorded.read)});
  }
  const int shown = list.RowsPerPage() + 1;
  std::size_t k = 0;
  for (auto _ : state) {
    const Stroke& s = strokes[k];
    box->setText(s.text);
    for (int i : s.probed) benchmark::DoNotOptimize(model.RowText(i));
    rows->rows.clear();
    for (int i = s.at; i < std::min(model.RowCount(), s.at + shown); ++i)
      rows->rows.push_back(platform::ToQ(PlainTextOf(model.RowText(i))));
    bar->setValue(s.at);
    rows->update();
    QCoreApplication::processEvents();
    k = (k + 1) % strokes.size();
  }
}
BENCHMARK(BM_FloorKeystroke)->Arg(100000)->Arg(500000)->Unit(benchmark::kMicrosecond);

// Showing the index page, of 26, 100,000 or 500,000 entries: the list made
// over the entries, the first rows laid out and painted. "heap_bytes" is
// what the heap holds more with the index shown than with another page.
void BM_ShowIndex(benchmark::State& state) {
  IndexReader& r = Reader(Entries(state));
  const auto heap = [] { return static_cast<double>(mallinfo2().uordblks); };
  r.app->Main()->Navigate(r.app->Names()[pages::kNotice], nullptr, 0, true);
  QCoreApplication::processEvents();
  const double away = heap();
  r.ShowIndex();
  state.counters["heap_bytes"] = heap() - away;
  const std::uint64_t before = ContentFile::ReadCalls();
  for (auto _ : state) r.ShowIndex();
  CountCalls(state, ContentFile::ReadCalls() - before);
  state.counters["entries"] = r.View().Model().Count();
}
BENCHMARK(BM_ShowIndex)->Arg(26)->Arg(100000)->Arg(500000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vrok

int main(int argc, char** argv) {
  if (qgetenv("VROK_BENCH_READS") == "calls") vrok::ContentFile::SetMapping(false);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qt(argc, argv);
  vrok::platform::SetAutomated(true);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  vrok::reader.reset();
  return 0;
}
