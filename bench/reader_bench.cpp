// The reader as a whole, offscreen: start-up to the first shown page and to
// the home page after the splash, on the sample book and on the sample
// grown to a million rows; then navigation to each kind of page of the large
// book, from the request to the end of the views' Show.
//
// Floors, measured in the same run: for start-up, an empty QWidget shown and
// painted, and one with as many plain children as the reader has widgets;
// for a navigation, the work the page cannot avoid done directly:
// reading the page row's string and those of its first children, as many
// as a screen shows, and laying out, in a bare QTextDocument at the pane's
// width, the HTML of every text pane the page shows; for a figure, reading
// its chosen picture and decoding it from memory. A second floor for a
// navigation is the screen it ends on made from data already in memory:
// the same content reads (the mapped book, its pages resident after the
// first run), and every text the page's panes report (titles, list rows,
// tree items, grid cells, questions and their controls, HTML) shaped and
// broken into lines at its pane's width in the page font, with no view,
// widget or dispatch around it.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QTextDocument>
#include <QTextLayout>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <sys/resource.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define VROK_TOGGLE_COUNTING() CALLGRIND_TOGGLE_COLLECT
#define VROK_UNDER_VALGRIND() (RUNNING_ON_VALGRIND != 0)
#else
#define VROK_TOGGLE_COUNTING() static_cast<void>(0)
#define VROK_UNDER_VALGRIND() false
#endif

#include "app/automation.h"
#include "app/reader_app.h"
#include "app/splash_view.h"
#include "content/internal/content_file.h"
#include "content/node_cursor.h"
#include "content/schema.h"
#include "core/navigation/page_names.h"
#include "frame/main_window.h"
#include "frame/picture_loader.h"
#include "platform/qt/environment.h"
#include "samples/large/large_book.h"
#include "support/book_nodes.h"
#include "widgets/rich_text.h"

namespace vrok {
namespace {

// Under `valgrind --tool=callgrind --collect-atstart=no` only the measured
// part of an iteration is counted: instructions per navigation and per
// floor, free of the machine's load. The number of parts counted, over all
// of Google Benchmark's runs of a benchmark, is printed at the end, to
// divide by. Outside valgrind it does nothing.
struct Counted {
  static inline std::uint64_t parts = 0;
  Counted() {
    ++parts;
    VROK_TOGGLE_COUNTING();
  }
  ~Counted() { VROK_TOGGLE_COUNTING(); }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;
};

constexpr const char* kContentFiles[] = {"VROK-Vrok-Data.pdb", "VROK-Vrok-Strings.pdb",
                                         "VROK-Vrok-Binary-PPC.pdb"};

struct Folder {
  std::string path;
  std::string registry;
};

std::map<int, Folder> folders;

// 0: the sample book as built; 1: the sample grown to a million rows.
const Folder& BookFolder(int which) {
  auto it = folders.find(which);
  if (it != folders.end()) return it->second;
  Folder f;
  f.path = test::MakeTempFolder("vrok-bench");
  if (which == 0) {
    for (const char* name : kContentFiles)
      std::filesystem::copy_file(std::string(VROK_PROGRAM_DIR "/") + name, f.path + "/" + name);
  } else {
    std::string error;
    const auto book = LargeSampleBook(VROK_SAMPLE_SOURCE, {}, error);
    const auto written = book ? WriteBook(*book, f.path) : BookWriteResult{false, error};
    if (!written.ok) std::fprintf(stderr, "reader_bench: %s\n", written.message.c_str());
  }
  std::filesystem::copy_file(VROK_PROGRAM_DIR "/ppc_font2.ttf", f.path + "/ppc_font2.ttf");
  f.registry = test::WriteInstallRegistry(f.path);
  return folders.emplace(which, f).first->second;
}

// System calls of the content read path per iteration.
void CountCalls(benchmark::State& state, std::uint64_t calls) {
  state.counters["syscalls"] =
      benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kAvgIterations);
}

std::unique_ptr<ReaderApp> Start(const Folder& folder) {
  platform::SetProgramFolder(QString::fromStdString(folder.path));
  auto app =
      std::make_unique<ReaderApp>(platform::Registry(QString::fromStdString(folder.registry)));
  if (!app->InitInstance()) return nullptr;
  return app;
}

void Stop(std::unique_ptr<ReaderApp>& app) {
  if (app) app->ExitInstance();
  app.reset();
  QCoreApplication::processEvents();
}

// Start-up to the first paint (range 1 = 0), or on to the home page shown
// and painted after the splash is dismissed (range 1 = 1).
void BM_StartUp(benchmark::State& state) {
  const Folder& folder = BookFolder(static_cast<int>(state.range(0)));
  const bool home = state.range(1) != 0;
  for (auto _ : state) {
    auto app = Start(folder);
    if (!app) {
      state.SkipWithError("start-up failed");
      break;
    }
    QCoreApplication::processEvents();  // the first paint
    if (home) {
      app->Splash()->Dismiss();
      QCoreApplication::processEvents();
    }
    state.PauseTiming();
    state.counters["rows"] = app->Database()->RowCount();
    if (home && app->Main()->CurrentPage() != app->Names()[pages::kHome])
      state.SkipWithError("the home page is not shown");
    Stop(app);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartUp)
    ->ArgNames({"large", "home"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// How many widgets the reader has after start-up (counted once, outside
// any timing).
std::size_t ReaderWidgets() {
  static const std::size_t count = [] {
    const auto before = QApplication::allWidgets().size();
    auto app = Start(BookFolder(0));
    const auto after = QApplication::allWidgets().size();
    Stop(app);
    return static_cast<std::size_t>(after - before);
  }();
  return count;
}

// Range 0 = 0: an empty 240 x 320 QWidget shown and painted; 1: the same
// with as many plain child widgets as the reader makes at start-up (most
// hidden, as the reader's are), the floor for making a widget tree that
// size.
void BM_FloorShowWidgets(benchmark::State& state) {
  const std::size_t children = state.range(0) != 0 ? ReaderWidgets() - 1 : 0;
  for (auto _ : state) {
    auto w = std::make_unique<QWidget>();
    w->resize(240, 320);
    for (std::size_t i = 0; i < children; ++i) {
      auto* child = new QWidget(w.get());
      child->setGeometry(0, 0, 24, 24);
      if (i % 8 != 0) child->hide();
    }
    w->show();
    QCoreApplication::processEvents();
    state.PauseTiming();
    w.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["widgets"] = static_cast<double>(children + 1);
}
BENCHMARK(BM_FloorShowWidgets)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// --- navigation ----------------------------------------------------------------

enum Kind {
  kRecord,
  kList,
  kTree,
  kIndex,
  kGrid,
  kQuestionnaire,
  kFlowChart,
  kFigure,
  kLetters,
  kKinds
};
constexpr int kScreenRows = 20;  // about the list rows a 240 x 320 screen shows
constexpr const char* kKindNames[] = {"record",
                                      "hierarchy list",
                                      "tree with preview",
                                      "index of 100,000 entries",
                                      "grid",
                                      "questionnaire",
                                      "flow chart",
                                      "figure",
                                      "index of 26 letter groups"};

// The first row, in row order, whose own "table type" child is that type
// (a table, or an item that is a table of its own such as a figure), other
// than the splash picture.
RowIndex FirstOfType(const ContentDatabase& db, std::u16string_view type) {
  std::u16string text;
  for (RowIndex row = 1; row < db.RowCount(); ++row) {
    NodeCursor c(db, row);
    if (!c.FieldIs(names::kTableType) || !c.ReadString(text) || text != type) continue;
    if (c.ToParent() && !TableNameIs(db, c.Row().row, u"SPLASH")) return c.Row().row;
  }
  return 0;
}

// A record page: the first item of the first "html list" table with
// fields of its own. (The table's own page is shown by no view: only its
// records are pages.)
RowIndex FirstRecord(const ContentDatabase& db) {
  const RowIndex table = FirstOfType(db, u"html list");
  NodeCursor c(db, table);
  if (!c.ToChild(u"hierarchy item")) return 0;
  do {
    NodeCursor f = c;
    if (f.ToFirstChild() && !f.FieldIs(u"hierarchy item")) return c.Row().row;
  } while (c.ToNextNamed(u"hierarchy item"));
  return 0;
}

struct Navigator {
  std::unique_ptr<ReaderApp> app;
  PageId pages[kKinds] = {};
  PageId away = 0;  // a page of another view, shown between two measurements

  Navigator() {
    app = Start(BookFolder(1));
    if (!app) return;
    app->Splash()->Dismiss();
    const ContentDatabase& db = *app->Database();
    pages[kRecord] = FirstRecord(db);
    pages[kList] = app->Names()[pages::kContents];
    pages[kTree] = FirstOfType(db, u"tight hierarchy");
    pages[kIndex] = db.TableRow(u"Flat index");
    pages[kLetters] = db.TableRow(u"Large index");
    pages[kGrid] = FirstOfType(db, u"table");
    pages[kQuestionnaire] = FirstOfType(db, u"questionarie");
    pages[kFlowChart] = FirstOfType(db, u"flow chart");
    pages[kFigure] = FirstOfType(db, u"figure");
    away = app->Names()[pages::kNotice];
    QCoreApplication::processEvents();
  }
  ~Navigator() { Stop(app); }

  void Go(PageId page) { app->Main()->Navigate(page, nullptr, 0, true); }
};

std::unique_ptr<Navigator> navigator;
Navigator& Nav() {
  if (!navigator) navigator = std::make_unique<Navigator>();
  return *navigator;
}

// Minor page faults of this process so far: with the book mapped, a
// navigation that faults no page in reads only data already in memory.
std::uint64_t PageFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::uint64_t>(usage.ru_minflt);
}

// The benchmark's kind of page (range 0), named in its label; none, and
// the benchmark skipped, when the book has no such page.
std::optional<Kind> KindOf(benchmark::State& state, const Navigator& n) {
  const Kind kind = static_cast<Kind>(state.range(0));
  state.SetLabel(kKindNames[kind]);
  if (!n.app || n.pages[kind] == 0) {
    state.SkipWithError("no such page in the book");
    return std::nullopt;
  }
  return kind;
}

// Range 1 = 0: from the request to the end of Show; 1: on to the first
// paint of the new screen. Counters: system calls and page faults per
// navigation.
void BM_Navigate(benchmark::State& state) {
  Navigator& n = Nav();
  const std::optional<Kind> known = KindOf(state, n);
  if (!known) return;
  const Kind kind = *known;
  const bool paint = state.range(1) != 0;
  const PageId page = n.pages[kind];
  // A page's view makes its widgets on its first visit: that visit is made
  // here, untimed, so that each timed one is a visit like any later one.
  n.Go(page);
  QCoreApplication::processEvents();
  std::uint64_t calls = 0;
  std::uint64_t faults = 0;
  for (auto _ : state) {
    state.PauseTiming();
    n.Go(n.away);
    QCoreApplication::processEvents();
    state.ResumeTiming();
    const std::uint64_t before = ContentFile::ReadCalls();
    const std::uint64_t faultsBefore = PageFaults();
    {
      const Counted counted;
      n.Go(page);
      if (paint) QCoreApplication::processEvents();
    }
    faults += PageFaults() - faultsBefore;
    calls += ContentFile::ReadCalls() - before;
    state.PauseTiming();
    if (n.app->Main()->CurrentPage() != page) state.SkipWithError("the page was not shown");
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  CountCalls(state, calls);
  state.counters["faults"] =
      benchmark::Counter(static_cast<double>(faults), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Navigate)
    ->ArgNames({"kind", "paint"})
    ->ArgsProduct({benchmark::CreateDenseRange(0, kKinds - 1, 1), {0, 1}})
    ->Unit(benchmark::kMillisecond);

// What the floor of one page does, prepared from the page as shown.
struct PageFloor {
  RowIndex row = 0;
  struct Text {
    QString html;
    int width;
  };
  std::vector<Text> texts;
  std::optional<PictureBytes> picture;  // a figure's chosen variant
};

PageFloor FloorOf(Navigator& n, Kind kind) {
  PageFloor floor;
  floor.row = n.pages[kind];
  n.Go(floor.row);
  QCoreApplication::processEvents();
  if (kind == kFigure)
    floor.picture = LoadPictureBytes(*n.app->Database(), floor.row, EmulatedScreen());
  const nlohmann::json report = ScreenReport(*n.app);
  for (const nlohmann::json& pane : report["panes"])
    if (pane.value("kind", "") == "HtmlPane")
      floor.texts.push_back({QString::fromStdString(pane["html"].get<std::string>()),
                             pane["geometry"][2].get<int>()});
  return floor;
}

// Reads the page's row and string, and the rows and strings of its first
// children, as many as a screen shows.
std::size_t ReadContent(const ContentDatabase& db, RowIndex top) {
  std::u16string text;
  NodeCursor c(db, top);
  std::size_t read = c.ReadString(text) ? text.size() : 0;
  if (!c.ToFirstChild()) return read;
  int n = 0;
  do {
    if (c.ReadString(text)) read += text.size();
  } while (++n < kScreenRows && c.ToNextSibling());
  return read;
}

void BM_FloorNavigate(benchmark::State& state) {
  Navigator& n = Nav();
  const std::optional<Kind> known = KindOf(state, n);
  if (!known) return;
  const Kind kind = *known;
  const PageFloor floor = FloorOf(n, kind);
  const ContentDatabase& db = *n.app->Database();
  const std::uint64_t before = ContentFile::ReadCalls();
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReadContent(db, floor.row));
    for (const PageFloor::Text& t : floor.texts) {
      QTextDocument doc;
      doc.setHtml(t.html);
      doc.setTextWidth(t.width);
      benchmark::DoNotOptimize(doc.size());
    }
    if (floor.picture) {
      benchmark::DoNotOptimize(LoadPictureBytes(db, floor.row, EmulatedScreen()));
      const auto& bytes = floor.picture->encoded;
      benchmark::DoNotOptimize(
          QImage::fromData(bytes.data(), static_cast<int>(bytes.size())).size());
    }
  }
  state.counters["text_panes"] = static_cast<double>(floor.texts.size());
  CountCalls(state, ContentFile::ReadCalls() - before);
}
BENCHMARK(BM_FloorNavigate)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);

// The screen a navigation ends on, as texts to lay out: each pane's plain
// texts (one layout each) and HTML documents, at the pane's width.
struct ScreenTexts {
  struct Text {
    QString text;
    int width;
  };
  std::vector<Text> plain;
  std::vector<Text> html;
};

ScreenTexts ScreenOf(Navigator& n, Kind kind) {
  ScreenTexts screen;
  n.Go(n.pages[kind]);
  QCoreApplication::processEvents();
  const nlohmann::json report = ScreenReport(*n.app);
  const auto text = [](const nlohmann::json& j) {
    return QString::fromStdString(j.is_string() ? j.get<std::string>() : std::string());
  };
  for (const nlohmann::json& pane : report["panes"]) {
    const int width = pane["geometry"][2].get<int>();
    const auto plain = [&](const nlohmann::json& j, int w) {
      const QString s = text(j);
      if (!s.isEmpty()) screen.plain.push_back({s, w});
    };
    plain(pane.value("title", nlohmann::json()), width);
    if (const std::string html = pane.value("html", ""); !html.empty())
      screen.html.push_back({QString::fromStdString(html), width});
    const std::string paneKind = pane.value("kind", "");
    if (paneKind == "ListHost") {
      const auto& rows = pane["rows"];
      const std::size_t first = static_cast<std::size_t>(std::max(0, pane.value("first_visible", 0)));
      for (std::size_t i = first; i < rows.size() && i < first + kScreenRows; ++i)
        plain(rows[i], width);
    } else if (paneKind == "TreeList") {
      int shown = 0;
      for (const nlohmann::json& item : pane["items"])
        if (shown++ < kScreenRows) plain(item["label"], width);
    } else if (paneKind == "GridControl") {
      const int columns = std::max(1, pane["columns"].is_number() ? pane["columns"].get<int>() : 1);
      int shown = 0;
      for (const nlohmann::json& row : pane["rows"]) {
        if (shown++ >= kScreenRows) break;
        for (const nlohmann::json& cell : row) plain(cell, width / columns);
      }
    } else if (paneKind == "Questionnaire") {
      plain(pane["question"], width);
      for (const nlohmann::json& group : pane["groups"]) {
        plain(group["caption"], width);
        for (const nlohmann::json& control : group["controls"]) plain(control["text"], width);
      }
    }
  }
  return screen;
}

// Shapes the text and breaks it into lines at the width; returns the lines.
int LayOutLines(const QString& text, const QFont& font, int width) {
  QTextLayout layout(text, font);
  layout.beginLayout();
  int lines = 0;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(std::max(1, width));
    ++lines;
  }
  layout.endLayout();
  return lines;
}

// The in-memory floor of a navigation: the screen it ends on made from
// data in memory with nothing else (see the top of the file). Made over and
// over in a tight loop, it finds the processor's caches holding all it
// needs; afterAway, each time follows a visit to the page a navigation
// starts from, untimed, as each timed navigation does.
void FloorScreen(benchmark::State& state, bool afterAway) {
  Navigator& n = Nav();
  const std::optional<Kind> known = KindOf(state, n);
  if (!known) return;
  const Kind kind = *known;
  const ScreenTexts screen = ScreenOf(n, kind);
  const PageFloor floor = FloorOf(n, kind);
  const ContentDatabase& db = *n.app->Database();
  const QFont font = ToQFont(PageFontSpec());
  const std::uint64_t before = ContentFile::ReadCalls();
  for (auto _ : state) {
    if (afterAway) {
      state.PauseTiming();
      n.Go(floor.row);
      QCoreApplication::processEvents();
      n.Go(n.away);
      QCoreApplication::processEvents();
      state.ResumeTiming();
    }
    const Counted counted;
    benchmark::DoNotOptimize(ReadContent(db, floor.row));
    int lines = 0;
    for (const ScreenTexts::Text& t : screen.plain) lines += LayOutLines(t.text, font, t.width);
    benchmark::DoNotOptimize(lines);
    for (const ScreenTexts::Text& t : screen.html) {
      QTextDocument doc;
      doc.setDefaultFont(font);
      doc.setHtml(t.text);
      doc.setTextWidth(t.width);
      benchmark::DoNotOptimize(doc.size());
    }
    if (floor.picture) {
      benchmark::DoNotOptimize(LoadPictureBytes(db, floor.row, EmulatedScreen()));
      const auto& bytes = floor.picture->encoded;
      benchmark::DoNotOptimize(
          QImage::fromData(bytes.data(), static_cast<int>(bytes.size())).size());
    }
  }
  state.counters["texts"] = static_cast<double>(screen.plain.size());
  state.counters["html"] = static_cast<double>(screen.html.size());
  CountCalls(state, ContentFile::ReadCalls() - before);
}
void BM_FloorScreen(benchmark::State& state) { FloorScreen(state, false); }
BENCHMARK(BM_FloorScreen)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);

void BM_FloorScreenAfterAway(benchmark::State& state) { FloorScreen(state, true); }
BENCHMARK(BM_FloorScreenAfterAway)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vrok

int main(int argc, char** argv) {
  // VROK_BENCH_READS=calls: positioned reads instead of mappings.
  if (qgetenv("VROK_BENCH_READS") == "calls") vrok::ContentFile::SetMapping(false);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qt(argc, argv);
  vrok::platform::SetAutomated(true);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (VROK_UNDER_VALGRIND())
    std::fprintf(stderr, "counted parts: %llu\n",
                 static_cast<unsigned long long>(vrok::Counted::parts));
  vrok::navigator.reset();
  for (const auto& [which, folder] : vrok::folders) std::filesystem::remove_all(folder.path);
  return 0;
}
