// The book search through the reader program on the sample book: the page
// and its report, opening a result, Ctrl+K, and the index the reader uses
// or builds: vrok-book's when its stamps match, else its own copy in the
// cache folder, built in the background when missing, stale or damaged,
// by two readers at once without harm.

#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>
#include <fstream>

#include "content/content_database.h"
#include "reader_fixture.h"
#include "core/search/book_index.h"
#include "support/temp_dir.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

struct BookSearch : ::testing::Test {
  test::TempDir dir;
  std::string folder = dir.Path() + "/program";
  std::string cache = dir.Path() + "/cache";
  std::string registry = dir.File("registry.ini");
  std::string index = folder + "/VROK-Vrok-Search.idx";

  void SetUp() override {
    fs::create_directory(folder);
    const fs::path program = VROK_BINARY_DIR "/program";
    for (const char* name : {"VROK-Vrok-Data.pdb", "VROK-Vrok-Strings.pdb",
                             "VROK-Vrok-Binary-PPC.pdb", "VROK-Vrok-Search.idx", "ppc_font2.ttf"})
      fs::copy_file(program / name, fs::path(folder) / name);
    ASSERT_EQ(Start({"--install"}, "").status, 0);
  }
  QStringList Args(const std::vector<std::string>& more) const {
    QStringList args{"--folder", QString::fromStdString(folder), "--registry",
                     QString::fromStdString(registry)};
    for (const std::string& a : more) args << QString::fromStdString(a);
    return args;
  }
  // Runs the reader with the cache folder of this test.
  test::ProgramRun Start(const std::vector<std::string>& more, const std::string& script) {
    QProcess p;
    Prepare(p, more, script);
    return Finish(p);
  }
  void Prepare(QProcess& p, const std::vector<std::string>& more, const std::string& script) {
    test::EnsureQtApp();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CACHE_HOME", QString::fromStdString(cache));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VROK_BINARY_DIR "/program/vrok"), Args(more));
    ASSERT_TRUE(p.waitForStarted(10000));
    p.write(script.data(), static_cast<qint64>(script.size()));
    p.closeWriteChannel();
  }
  test::ProgramRun Finish(QProcess& p) {
    EXPECT_TRUE(p.waitForFinished(120000));
    test::ProgramRun r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.errors = p.readAllStandardError().toStdString();
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
      if (!line.isEmpty()) r.lines.push_back(json::parse(line.toStdString()));
    return r;
  }
  std::vector<json> Run(const std::string& script) {
    const test::ProgramRun run = Start({"--script", "-"}, "dismiss-splash\n" + script);
    EXPECT_EQ(run.status, 0) << run.errors;
    return run.lines;
  }
  std::string Stamps() const {
    const ContentDatabase db(folder + "/VROK-Vrok");
    return search::StampsOf(db);
  }
  std::string CacheFile() const { return cache + "/vrok/search/" + Stamps() + "/index.idx"; }
};

json Results(const json& report) { return test::PaneWhere(report, "kind", "SearchResults"); }

TEST_F(BookSearch, TheReportAMisspellingAndOpeningAResult) {
  const auto r = Run("navigate book_search pnuemonia\nwait-search 5000\ndump\ntap-row 0\ndump\n"
                     "navigate book_search asthma\nwait-search 5000\ndump\n");
  ASSERT_EQ(r.size(), 3u);
  const json page = Results(r[0]);
  ASSERT_FALSE(page.is_null()) << r[0].dump();
  EXPECT_EQ(page["query"], "pnuemonia");
  EXPECT_EQ(page["state"], "ready");
  EXPECT_EQ(page["suggestion"], "pneumonia");
  EXPECT_EQ(page["corrected"], true);
  ASSERT_FALSE(page["results"].empty());
  const json first = page["results"][0];
  EXPECT_EQ(first["title"], "Pneumonia, community-acquired");
  EXPECT_EQ(first["path"], json({"A to Z in brief"}));
  EXPECT_EQ(first["page_data"], "");
  EXPECT_NE(first["snippet"].get<std::string>(), "");
  EXPECT_GE(page["total"].get<int>(), static_cast<int>(page["results"].size()));
  EXPECT_LE(page["results"].size(), 20u);
  // The result opens its page.
  EXPECT_EQ(r[1]["page"], first["page"]);
  EXPECT_EQ(r[1]["title"], "Pneumonia, community-acquired");
  // A word found as typed: no suggestion, not corrected.
  const json asthma = Results(r[2]);
  EXPECT_EQ(asthma["suggestion"], nullptr);
  EXPECT_EQ(asthma["corrected"], false);
  EXPECT_EQ(asthma["results"][0]["title"], "Asthma, acute");
}

// A match in a record's later section opens the record scrolled to that
// section (its anchor as the page data, as a link to it carries it), with
// the find bar on the match there; a match in the title opens at the top.
TEST_F(BookSearch, AResultOpensAtTheSectionThatMatched) {
  const auto r = Run("navigate book_search wheeze\nwait-search 5000\ndump\n");
  ASSERT_EQ(r.size(), 1u);
  const json results = Results(r[0])["results"];
  std::size_t row = 0;
  while (row < results.size() && results[row]["title"] != "Acetylcysteine") ++row;
  ASSERT_LT(row, results.size()) << r[0].dump();
  const json hit = results[row];
  EXPECT_EQ(hit["section"], "Cautions");
  const std::string data = hit["page_data"];
  ASSERT_FALSE(data.empty());
  const auto opened = Run("navigate book_search wheeze\nwait-search 5000\ntap-row " +
                          std::to_string(row) + "\ndump\nnavigate book_search acetylcysteine\n" +
                          "wait-search 5000\ntap-row 0\ndump\n");
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0]["page"], hit["page"]);
  EXPECT_EQ(opened[0]["page_data"], data);
  const json pane = test::PaneWhere(opened[0], "kind", "HtmlPane");
  EXPECT_GT(pane["scroll"].get<int>(), 0) << pane.dump();
  EXPECT_EQ(opened[0]["overlays"][0]["current"], 1);
  EXPECT_EQ(opened[1]["page"], hit["page"]);
  EXPECT_EQ(opened[1]["page_data"], "");
  EXPECT_EQ(test::PaneWhere(opened[1], "kind", "HtmlPane")["scroll"], 0);
}

TEST_F(BookSearch, CtrlKAndTheMenuOpenTheSearchPageAndTypingSearches) {
  const auto r = Run("navigate index\nkey Ctrl+K\ndump\ntype sep\ndump\ncommand 40060\ndump\n");
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0]["title"], "Search the book");
  EXPECT_EQ(Results(r[0])["query"], "");
  EXPECT_TRUE(Results(r[0])["results"].empty());
  EXPECT_EQ(Results(r[1])["query"], "sep");
  EXPECT_EQ(Results(r[1])["results"][0]["title"], "Sepsis");
  EXPECT_FALSE(Results(r[2]).is_null());
}

TEST_F(BookSearch, AMissingStaleOrDamagedIndexIsBuiltAgainInTheCache) {
  // Missing: built in the background, then used.
  fs::remove(index);
  auto r = Run("navigate book_search sepsis\ndump\nwait-search 60000\ndump\n");
  ASSERT_EQ(r.size(), 2u);
  const std::string before = Results(r[0])["state"];
  EXPECT_TRUE(before == "building" || before == "ready") << before;
  EXPECT_EQ(Results(r[1])["state"], "ready");
  EXPECT_EQ(Results(r[1])["results"][0]["title"], "Sepsis");
  ASSERT_TRUE(fs::exists(CacheFile()));

  // Damaged copies, beside the book and in the cache: refused, rebuilt.
  for (const std::string& file : {index, CacheFile()}) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(70000, '\x5a');
  }
  r = Run("navigate book_search sepsis\nwait-search 60000\ndump\n");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(Results(r[0])["state"], "ready");
  EXPECT_EQ(Results(r[0])["results"][0]["title"], "Sepsis");
  search::BookIndex rebuilt;
  EXPECT_TRUE(rebuilt.Open(CacheFile(), Stamps()));

  // Stale: an index made for other stamps (another edition) beside the
  // book is not used either.
  Book other;
  other.stamp3 = 424242;
  other.root = test::Num(u"root", 0, {test::Str(u"table", u"ELSEWHERE", {test::Str(u"html", u"Sepsis")})});
  const test::TestBook written(other);
  std::string error;
  ASSERT_TRUE(search::BuildIndex(*written.db, index, error)) << error;
  fs::remove(CacheFile());
  r = Run("navigate book_search sepsis\nwait-search 60000\ndump\n");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(Results(r[0])["results"][0]["title"], "Sepsis");
  EXPECT_TRUE(fs::exists(CacheFile()));
}

TEST_F(BookSearch, AResultOpensWithTheFindBarOnItsMatchesWhichWrapAround) {
  const auto r = Run("navigate book_search wheeze\nwait-search 5000\ndump\ntap-row 0\ndump\n"
                     "key F3\ndump\nkey F3\ndump\nkey Shift+F3\ndump\nkey Escape\ndump\n"
                     "key Ctrl+F\ntype WHEEZE\ndump\nkey Return\ndump\nkey Shift+Return\ndump\n"
                     "set find-box zzzz\ndump\n");
  ASSERT_EQ(r.size(), 10u);
  const std::string title = Results(r[0])["results"][0]["title"];
  EXPECT_EQ(r[1]["page"], Results(r[0])["results"][0]["page"]);
  ASSERT_EQ(r[1]["overlays"].size(), 1u) << r[1].dump();
  const json bar = r[1]["overlays"][0];
  EXPECT_EQ(bar["kind"], "FindBar");
  EXPECT_EQ(bar["text"], "wheeze");
  const int matches = bar["matches"];
  ASSERT_GE(matches, 2) << title;  // the page says "wheeze" more than once
  EXPECT_EQ(bar["current"], 1);
  EXPECT_EQ(r[2]["overlays"][0]["current"], 2);
  EXPECT_EQ(r[3]["overlays"][0]["current"], matches == 2 ? 1 : 3);
  EXPECT_EQ(r[4]["overlays"][0]["current"], 2);
  EXPECT_TRUE(r[5]["overlays"].empty());  // Escape closes the bar
  EXPECT_EQ(r[5]["page"], r[1]["page"]);
  // Ctrl+F opens it empty; the case of the typed text does not matter.
  const json typed = r[6]["overlays"][0];
  EXPECT_EQ(typed["text"], "WHEEZE");
  EXPECT_EQ(typed["matches"], matches);
  EXPECT_EQ(typed["current"], 1);
  EXPECT_EQ(r[7]["overlays"][0]["current"], 2);
  EXPECT_EQ(r[8]["overlays"][0]["current"], 1);
  EXPECT_EQ(r[9]["overlays"][0]["matches"], 0);
  EXPECT_EQ(r[9]["overlays"][0]["current"], 0);
  // Previous from the first wraps to the last.
  const auto back = Run("navigate book_search wheeze\nwait-search 5000\ntap-row 0\nkey Shift+F3\ndump\n");
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0]["overlays"][0]["current"], matches);
}

TEST_F(BookSearch, TwoReadersBuildingAtOnceBothGetAWholeIndex) {
  fs::remove(index);
  QProcess a, b;
  const std::string script =
      "dismiss-splash\nnavigate book_search stroke\nwait-search 60000\ndump\n";
  Prepare(a, {"--script", "-"}, script);
  Prepare(b, {"--script", "-"}, script);
  const test::ProgramRun ra = Finish(a), rb = Finish(b);
  for (const test::ProgramRun* run : {&ra, &rb}) {
    ASSERT_EQ(run->status, 0) << run->errors;
    ASSERT_EQ(run->lines.size(), 1u);
    EXPECT_EQ(Results(run->lines[0])["state"], "ready");
    EXPECT_EQ(Results(run->lines[0])["results"][0]["title"], "Stroke");
  }
  search::BookIndex built;
  EXPECT_TRUE(built.Open(CacheFile(), Stamps()));
  // Nothing half-written is left beside it.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(CacheFile()).parent_path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace vrok
