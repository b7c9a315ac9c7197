// A desktop window's resize, offscreen, on the sample book grown to a
// million rows: from the new size to the end of the new layout and paint,
// for a record page, the 100,000-entry flat index and a grid. The floor,
// measured on the same screens: painting the same widgets at the same size
// with no layout work. Target: one frame, 16 ms.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <filesystem>
#include <memory>

#include "app/reader_app.h"
#include "app/splash_view.h"
#include "content/node_cursor.h"
#include "content/schema.h"
#include "core/navigation/page_names.h"
#include "frame/main_window.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "platform/qt/window_mode.h"
#include "samples/large/large_book.h"
#include "support/book_nodes.h"

namespace vrok {
namespace {

enum Kind { kRecord, kIndex, kGrid, kKinds };
constexpr const char* kKindNames[kKinds] = {"record page", "index of 100,000 entries", "grid"};

RowIndex FirstOfType(const ContentDatabase& db, std::u16string_view type) {
  std::u16string text;
  for (RowIndex row = 1; row < db.RowCount(); ++row) {
    NodeCursor c(db, row);
    if (!c.FieldIs(names::kTableType) || !c.ReadString(text) || text != type) continue;
    if (c.ToParent() && !TableNameIs(db, c.Row().row, u"SPLASH")) return c.Row().row;
  }
  return 0;
}

// The first item of the first "html list" table with fields of its own.
RowIndex FirstRecord(const ContentDatabase& db) {
  NodeCursor c(db, FirstOfType(db, u"html list"));
  if (!c.ToChild(u"hierarchy item")) return 0;
  do {
    NodeCursor f = c;
    if (f.ToFirstChild() && !f.FieldIs(u"hierarchy item")) return c.Row().row;
  } while (c.ToNextNamed(u"hierarchy item"));
  return 0;
}

struct Desk {
  std::string folder;
  std::unique_ptr<ReaderApp> app;
  PageId pages[kKinds] = {};

  Desk() {
    folder = test::MakeTempFolder("vrok-bench");
    std::string error;
    const auto book = LargeSampleBook(VROK_SAMPLE_SOURCE, {}, error);
    const auto written = book ? WriteBook(*book, folder) : BookWriteResult{false, error};
    if (!written.ok) std::fprintf(stderr, "resize_bench: %s\n", written.message.c_str());
    std::filesystem::copy_file(VROK_PROGRAM_DIR "/ppc_font2.ttf", folder + "/ppc_font2.ttf");
    const std::string registry = test::WriteInstallRegistry(folder);
    platform::SetProgramFolder(QString::fromStdString(folder));
    app = std::make_unique<ReaderApp>(platform::Registry(QString::fromStdString(registry)));
    if (!app->InitInstance()) {
      app.reset();
      return;
    }
    app->Splash()->Dismiss();
    const ContentDatabase& db = *app->Database();
    pages[kRecord] = FirstRecord(db);
    pages[kIndex] = db.TableRow(u"Flat index");
    pages[kGrid] = FirstOfType(db, u"table");
    app->Screen()->resize(1000, 700);
    QCoreApplication::processEvents();
  }
  ~Desk() {
    if (app) app->ExitInstance();
    app.reset();
    std::filesystem::remove_all(folder);
  }
  bool Show(Kind kind, benchmark::State& state) {
    state.SetLabel(kKindNames[kind]);
    if (!app || pages[kind] == 0) {
      state.SkipWithError("no such page in the book");
      return false;
    }
    app->Main()->Navigate(pages[kind], nullptr, 0, true);
    QCoreApplication::processEvents();
    return true;
  }
};

std::unique_ptr<Desk> desk;
Desk& TheDesk() {
  if (!desk) desk = std::make_unique<Desk>();
  return *desk;
}

// Each iteration goes to the other of two sizes, as a drag of the corner
// does frame by frame, and paints the whole window at once.
void BM_Resize(benchmark::State& state) {
  Desk& d = TheDesk();
  if (!d.Show(static_cast<Kind>(state.range(0)), state)) return;
  platform::ScreenWindow& window = *d.app->Screen();
  bool wide = false;
  for (auto _ : state) {
    wide = !wide;
    window.resize(wide ? 1400 : 1000, wide ? 900 : 700);
    QCoreApplication::processEvents();
    window.repaint();
  }
  if (window.size() != QSize(wide ? 1400 : 1000, wide ? 900 : 700))
    state.SkipWithError("the window did not take the size");
}
BENCHMARK(BM_Resize)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);

// The floor: the same screen painted whole at 1400 x 900, nothing laid out.
void BM_FloorPaint(benchmark::State& state) {
  Desk& d = TheDesk();
  if (!d.Show(static_cast<Kind>(state.range(0)), state)) return;
  platform::ScreenWindow& window = *d.app->Screen();
  window.resize(1400, 900);
  QCoreApplication::processEvents();
  for (auto _ : state) window.repaint();
}
BENCHMARK(BM_FloorPaint)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vrok

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qt(argc, argv);
  vrok::platform::SetAutomated(true);
  vrok::platform::SetDesktopMode(true);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  vrok::desk.reset();
  return 0;
}
