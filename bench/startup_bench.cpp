// Start-up of the reader to its first shown page (offscreen): the
// application object's initialisation (screen, main window, installation
// checks, content database, page names, views, the navigation to the splash
// page) and the first paint. The floor is an empty QWidget shown and
// painted in the same process.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <memory>

#include "bench_books.h"
#include "content/book_writer.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "shell/reader_app.h"

namespace {

using namespace vrok;

using bench::TextNode;

// A book of about `rows` rows: the named tables, then CONTENTS holding
// records of ten fields each.
Book GeneratedBook(std::uint32_t rows) {
  Book book;
  book.root.field = u"root";
  std::vector<BookNode> tables;
  for (const char16_t* name : {u"INDEX", u"TOOLS", u"NOTICE", u"ABOUT_KESTOR"})
    tables.push_back(TextNode(u"table", name, {TextNode(u"table type", u"html")}));
  BookNode contents = TextNode(u"table", u"CONTENTS", {TextNode(u"table type", u"html list")});
  for (std::uint32_t i = 0; contents.children.size() * 11 + 16 < rows; ++i) {
    BookNode record = TextNode(u"hierarchy item", u"Record");
    for (int f = 0; f < 10; ++f) {
      BookNode value;
      value.field = u"field";
      value.value = i * 10 + static_cast<std::uint32_t>(f);
      record.children.push_back(std::move(value));
    }
    contents.children.push_back(std::move(record));
  }
  tables.push_back(std::move(contents));
  book.root.children = std::move(tables);
  return book;
}

struct Folder {
  std::string path;
  std::string registry;
};

std::map<std::uint32_t, Folder> folders;

// Writes the book (once per size) and a registry naming its folder.
const Folder& BookFolder(std::uint32_t rows) {
  auto it = folders.find(rows);
  if (it != folders.end()) return it->second;
  Folder f;
  f.path = bench::MakeTempFolder();
  if (rows == 0) {
    // The sample book from the program folder.
    for (const char* name :
         {"VROK-Vrok-Data.pdb", "VROK-Vrok-Strings.pdb", "VROK-Vrok-Binary-PPC.pdb"})
      std::filesystem::copy_file(std::string(VROK_PROGRAM_DIR "/") + name, f.path + "/" + name);
  } else {
    const auto result = WriteBook(GeneratedBook(rows), f.path);
    if (!result.ok) std::fprintf(stderr, "bench: %s\n", result.message.c_str());
  }
  f.registry = bench::WriteInstallRegistry(f.path);
  return folders.emplace(rows, f).first->second;
}

void StartUp(benchmark::State& state) {
  const Folder& folder = BookFolder(static_cast<std::uint32_t>(state.range(0)));
  platform::SetProgramFolder(QString::fromStdString(folder.path));
  for (auto _ : state) {
    auto app =
        std::make_unique<ReaderApp>(platform::Registry(QString::fromStdString(folder.registry)));
    if (!app->InitInstance()) {
      state.SkipWithError("start-up failed");
      break;
    }
    QCoreApplication::processEvents();  // the first paint
    state.PauseTiming();
    state.counters["rows"] = app->Database()->RowCount();
    app->ExitInstance();
    app.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}
// 0: the sample book; else a generated book of about that many rows.
BENCHMARK(StartUp)->Arg(0)->Arg(1000000)->Unit(benchmark::kMillisecond);

void Floor(benchmark::State& state) {
  for (auto _ : state) {
    auto w = std::make_unique<QWidget>();
    w->resize(240, 320);
    w->show();
    QCoreApplication::processEvents();
    state.PauseTiming();
    w.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(Floor)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qt(argc, argv);
  platform::SetAutomated(true);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const auto& [rows, folder] : folders) std::filesystem::remove_all(folder.path);
  return 0;
}
