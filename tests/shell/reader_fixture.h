#pragma once
// Runs the reader in the test process on a book written to a temporary
// folder, with a registry file of its own, offscreen and automated (no
// modal loops, virtual time). Scripts go through the same ScriptRunner as
// "vrok --script".

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/reader_app.h"
#include "content/writer/book_writer.h"
#include "shell_books.h"
#include "support/temp_dir.h"

namespace vrok::test {

// The QApplication of the test program, created on first use.
void EnsureQtApp();

// The image plugins mapped into this process, by path.
std::set<std::string> LoadedImagePlugins();

// A PNG of w x h filled with one colour.
std::vector<std::uint8_t> SolidPng(int w, int h, unsigned rgb);

struct ReaderFixture {
  TempDir dir;
  std::string registryFile;
  std::unique_ptr<ReaderApp> app;

  // Writes the book into the program folder and "InstallDir" (unless
  // install is false) and "InitialTab" (when given) into the registry.
  explicit ReaderFixture(const Book& book, std::optional<std::uint32_t> initialTab = std::nullopt,
                         bool install = true);
  // Copies the three content files of a compiled book from that folder.
  struct CompiledBook {
    std::string folder;
  };
  explicit ReaderFixture(const CompiledBook& compiled);
  ~ReaderFixture();

  bool Start();
  // Runs script lines; returns the reports printed by "dump".
  std::vector<nlohmann::json> Run(const std::string& script, int* status = nullptr,
                                  std::string* errors = nullptr);
  // One report of the screen now.
  nlohmann::json Dump();
  void WriteRegistry(const std::string& text);
};

// A test on one book. Row names a node of the book by its id, as the text
// a script names it by; R gives its row.
template <Book (*MakeBook)()>
struct BookTest : ::testing::Test {
  Book book = MakeBook();

  std::string Row(std::string_view id) const { return std::to_string(RowOf(book, id)); }
  RowIndex R(std::string_view id) const { return RowOf(book, id); }
};

// The same, in a reader started and past its splash page.
template <Book (*MakeBook)()>
struct ReaderTest : BookTest<MakeBook> {
  ReaderFixture reader{this->book};

  void SetUp() override {
    ASSERT_TRUE(reader.Start());
    reader.Run("dismiss-splash");
  }
};

// A run of a reader program ("vrok" or "vrok-hires" in build/program)
// offscreen with its arguments and a script on standard input: the exit
// status, each JSON line of standard output, standard error.
struct ProgramRun {
  int status = -1;
  std::vector<nlohmann::json> lines;
  std::string errors;
};
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& script = {});

// The sample book installed in a folder of its own, for runs of the
// reader program on it.
struct InstalledSample : ::testing::Test {
  TempDir dir;
  std::string registry = dir.File("registry.ini");

  void SetUp() override;
  // A script run with these arguments besides the folder and registry.
  ProgramRun Start(const std::vector<std::string>& more, const std::string& script) const;
  // The reports of a script run after the splash page, which must succeed.
  std::vector<nlohmann::json> Run(const std::string& script,
                                  const std::vector<std::string>& more = {}) const;
};

// The first pane of a screen report whose `key` is `value`; null when none.
nlohmann::json PaneWhere(const nlohmann::json& report, const char* key,
                         const nlohmann::json& value);
// The pane filling the page (side 4); null when none. Two would mean two
// views took the page: that fails the test.
nlohmann::json FillPane(const nlohmann::json& report);

}  // namespace vrok::test
