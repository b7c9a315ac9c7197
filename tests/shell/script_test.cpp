// The reader as a program: "vrok --script" end to end, exit status and the
// screen report.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

#include "reader_fixture.h"
#include "shell_books.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using nlohmann::json;
using test::RowOf;

struct Result {
  int status = -1;
  std::vector<json> reports;
  std::string errors;
};

// Runs build/program/vrok on a program folder with a script on stdin.
Result RunReader(const std::string& folder, const std::string& registry,
                 const std::string& script) {
  test::ProgramRun run = test::RunProgram(
      "vrok", {"--folder", folder, "--registry", registry, "--script", "-"}, script);
  return {run.status, std::move(run.lines), std::move(run.errors)};
}

struct ProgramTest : ::testing::Test {
  test::TempDir dir;
  Book book = test::ShellTestBook();
  std::string registry = dir.File("registry.ini");
  ProgramTest() { test::WriteTestBook(book, dir); }
};

TEST_F(ProgramTest, FailedStartUpExitsWithOneAndReportsTheMessageOnStderr) {
  const Result r = RunReader(dir.Path(), registry, "dump\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.reports.empty());
  EXPECT_NE(r.errors.find(json({{"message", "Invalid application registry entries."},
                                {"caption", "Vrok"},
                                {"icon", "stop"}})
                              .dump()),
            std::string::npos)
      << r.errors;
}

// Content files in place that are no book: a FIFO (which used to block the
// reader for ever) and a data file of the right size that holds no book
// (which used to start an empty reader). Both give the installation
// message, and standard error says what is wrong.
TEST_F(ProgramTest, ContentThatIsNoBookIsRefusedWithTheInstallationMessage) {
  ASSERT_EQ(test::RunProgram("vrok", {"--folder", dir.Path(), "--registry", registry, "--install"})
                .status,
            0);
  const std::string data = dir.File("VROK-Vrok-Data.pdb");
  const std::string message = json({{"message", "Database files are missing or damaged."},
                                    {"caption", "Vrok"},
                                    {"icon", "stop"}})
                                  .dump();
  test::WriteAll(data, std::vector<std::uint8_t>(200, 0));
  Result r = RunReader(dir.Path(), registry, "dump\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find(message), std::string::npos) << r.errors;
  EXPECT_NE(r.errors.find("VROK-Vrok: "), std::string::npos) << r.errors;

  std::filesystem::remove(data);
  ASSERT_EQ(::mkfifo(data.c_str(), 0600), 0);
  r = RunReader(dir.Path(), registry, "dump\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find(message), std::string::npos) << r.errors;
}

TEST_F(ProgramTest, InstallThenScriptWithAFailingLine) {
  ASSERT_EQ(test::RunProgram("vrok", {"--folder", dir.Path(), "--registry", registry, "--install"})
                .status,
            0);

  const Result r =
      RunReader(dir.Path(), registry,
                "dump\ndismiss-splash\nfrobnicate\ntap-tab 2\nnavigate tools x y\ndump\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.errors.find("line 3: unknown command: frobnicate"), std::string::npos) << r.errors;
  ASSERT_EQ(r.reports.size(), 2u);
  EXPECT_EQ(r.reports[0]["panes"][0]["kind"], "Splash");
  const json& last = r.reports[1];
  EXPECT_EQ(last["page"], RowOf(book, "tools"));
  // "x y" as zero-terminated UTF-16.
  EXPECT_EQ(last["page_data"], "7800200079000000");
  EXPECT_EQ(last["tab"], 2);
  EXPECT_EQ(last["history"]["entries"].size(), 3u);
  EXPECT_EQ(last["history"]["entries"][2]["data"], "7800200079000000");
  for (const char* key : {"title", "buttons", "keyboard", "panes", "overlays", "messages", "popup"})
    EXPECT_TRUE(last.contains(key)) << key;
}

TEST_F(ProgramTest, ExitCommandEndsTheScript) {
  test::ReaderFixture unused(book);  // only for its registry layout
  const Result r = RunReader(unused.dir.Path(), unused.registryFile,
                             "dismiss-splash\nanswer yes\ncommand 40019\ndump\n");
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_TRUE(r.reports.empty());  // the dump after Exit never ran
}

TEST(ScriptTest, CommandErrorsAreReportedAndTheScriptGoesOn) {
  test::ReaderFixture f(test::ShellTestBook());
  ASSERT_TRUE(f.Start());
  int status = 0;
  std::string errors;
  const auto r = f.Run(
      "tap-tab 1\ndismiss-splash\ndismiss-splash\ntap-tab 5\ntap-row 0\ntap-link 12\n"
      "command 123\nclick nothing\ntype hello\nanswer maybe\nnavigate 99999999999\ndump\n",
      &status, &errors);
  EXPECT_EQ(status, 2);
  for (const char* expected :
       {"line 1: the tab strip is not shown", "line 3: the splash page is not shown",
        "line 4: tap-tab needs 0, 1 or 2", "line 5: no list on screen",
        "line 6: no HTML viewer on screen", "line 7: no control on screen handles this command",
        "line 8: no control named nothing", "line 9: no edit box has the focus",
        "line 10: answer yes, no, ok or cancel", "line 11: page id out of range"})
    EXPECT_NE(errors.find(expected), std::string::npos) << expected << "\n" << errors;
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0]["tab"], 1);
}

// Sum of the record lengths in an index file (8-byte entries, the length
// little-endian at +4).
std::uint64_t LiveBytes(const std::string& indexPath) {
  std::ifstream in(indexPath, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8)
    sum += bytes[i + 4] | bytes[i + 5] << 8 | bytes[i + 6] << 16 |
           static_cast<std::uint32_t>(bytes[i + 7]) << 24;
  return sum;
}

TEST_F(ProgramTest, BookmarksAndNotesSurviveARestartThroughExitInCompactedFiles) {
  test::ReaderFixture unused(book);  // only for its registry layout
  const std::string folder = unused.dir.Path();
  const std::string asthma = std::to_string(RowOf(book, "asthma"));
  const std::string other = std::to_string(RowOf(book, "otheritem"));
  const auto bookmark = [](const std::string& title) {
    return "command 40025\nset 6969 " + title + "\nclick 17\n";
  };
  const auto note = [](const std::string& title, const std::string& text) {
    return "command 40023\nset 44 " + title + "\nset 44-text " + text + "\nclick 43\n";
  };
  // A replaced note and a deleted bookmark leave dead bytes behind.
  const std::string first =
      "dismiss-splash\nnavigate " + asthma + " dose\n" + bookmark("Dose") + note("Draft", "old") +
      "navigate " + other + "\n" + bookmark("Scratch") + "navigate " + other + " x\n" +
      bookmark("Other") + note("Other note", "two") + "navigate " + asthma + "\n" +
      note("Asthma note", "new text") +
      "command 40026\ntick-row 1\ncommand 123\nanswer yes\ncommand 40019\ndump\n";
  Result r = RunReader(folder, unused.registryFile, first);
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_TRUE(r.reports.empty());  // the program ended at Exit
  for (const char* store : {"bookmarks", "notes"}) {
    const std::string base = folder + "/" + store;
    EXPECT_EQ(std::filesystem::file_size(base + ".vsd"), LiveBytes(base + ".vsi")) << store;
    EXPECT_FALSE(std::filesystem::exists(base + ".vsd.new")) << store;
  }

  r = RunReader(
      folder, unused.registryFile,
      "dismiss-splash\ncommand 40026\ndump\ntap-row 0\ndump\ncommand 40024\ntap-row 1\ndump\n");
  EXPECT_EQ(r.status, 0) << r.errors;
  ASSERT_EQ(r.reports.size(), 3u);
  EXPECT_EQ(r.reports[0]["overlays"][0]["items"], json({"Dose", "Other"}));
  EXPECT_EQ(r.reports[1]["page"], RowOf(book, "asthma"));
  EXPECT_EQ(r.reports[1]["page_data"], "64006f00730065000000");  // "dose", zero-terminated UTF-16
  const json& editor = r.reports[2]["overlays"][0];
  EXPECT_EQ(editor["heading"], "Edit Note");
  EXPECT_EQ(editor["title"], "Asthma note");
  EXPECT_EQ(editor["text"], "new text");
}

}  // namespace
}  // namespace vrok
