// The reader by keys alone, through the reader program on the sample book:
// every row of the shortcut table, the keys that move the focus and
// activate, Escape, the F1 list, and a calculator done without the stylus.
// Also the note mark, the history of a page shown again, and the cells of a
// grid by keys.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "content/content_database.h"
#include "reader_fixture.h"
#include "support/temp_dir.h"

namespace vrok {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

struct SampleReader : test::InstalledSample {
  // The fluids grid's row, as "navigate" takes it: 7 rows of 6 columns,
  // wider than the handheld screen; cell (2, 0) links to a footnote.
  std::string Fluids() const {
    const ContentDatabase db(dir.Path() + "/VROK-Vrok");
    return std::to_string(db.TableRow(u"Intravenous fluids compared"));
  }
};

json Grid(const json& report) { return test::PaneWhere(report, "kind", "GridControl"); }

std::vector<std::string> MessageTexts(const json& report) {
  std::vector<std::string> texts;
  for (const json& m : report["messages"]) texts.push_back(m["text"]);
  return texts;
}

TEST_F(SampleReader, EveryShortcutOfTheTableRunsItsCommand) {
  // The home page is CONTENTS; each "focus" is one report.
  const auto r = Run(
      "key Ctrl+L\nfocus\n"           // 0 Tools
      "key Ctrl+T\nfocus\n"           // 1 Contents
      "key Ctrl+I\nfocus\n"           // 2 Index, the search box focused
      "key Alt+Left\nfocus\n"         // 3 Back
      "key Alt+Right\nfocus\n"        // 4 Forward
      "key Alt+Home\nfocus\n"         // 5 Home
      "choose 2\nkey Alt+Down\nfocus\n"  // 6 History menu: the third entry from the top
      "key Ctrl+B\nfocus\n"           // 7 Bookmarks
      "key Escape\nfocus\n"           // 8 closes the list
      "key Ctrl+N\nfocus\n"           // 9 Notes
      "key Escape\nfocus\n"           // 10
      "key Ctrl+D\ntype Contents page\nanswer ok\nkey Ctrl+B\nfocus\nkey Escape\n"  // 11
      "key Ctrl+,\nmeasure 1004\nanswer cancel\n"  // the settings dialog (a measure line)
      "answer no\nkey Ctrl+Q\nfocus\n"  // 12 Exit asks
      "key Ctrl+K\nfocus\n");           // 13 Book search
  ASSERT_EQ(r.size(), 15u);
  EXPECT_EQ(r[0]["title"], "TOOLS");
  EXPECT_EQ(r[0]["tab"], 2);
  EXPECT_EQ(r[1]["title"], "CONTENTS");
  EXPECT_EQ(r[1]["tab"], 1);
  EXPECT_EQ(r[2]["title"], "INDEX");
  EXPECT_EQ(r[2]["focus"]["name"], "150");
  EXPECT_EQ(r[2]["focus"]["accessible_name"], "Search");
  EXPECT_EQ(r[3]["title"], "CONTENTS");
  EXPECT_EQ(r[4]["title"], "INDEX");
  EXPECT_EQ(r[5]["title"], "CONTENTS");
  // Entries newest first: CONTENTS (current), INDEX, CONTENTS, TOOLS...
  const json& history = r[5]["history"]["entries"];
  ASSERT_GE(history.size(), 3u);
  EXPECT_EQ(r[6]["page"], history[history.size() - 3]["page"]);
  EXPECT_EQ(r[6]["history"]["position"], static_cast<int>(history.size()) - 3);
  EXPECT_EQ(r[7]["overlays"][0]["name"], "bookmarks");
  EXPECT_TRUE(r[8]["overlays"].empty());
  EXPECT_EQ(r[9]["overlays"][0]["name"], "notes");
  EXPECT_EQ(r[9]["overlays"][0]["heading"], "Notes");
  EXPECT_TRUE(r[10]["overlays"].empty());
  EXPECT_EQ(r[11]["overlays"][0]["items"], json({"Contents page"}));
  EXPECT_EQ(r[12]["measure"], "1004");
  EXPECT_EQ(MessageTexts(r[13]), std::vector<std::string>{"Are you sure you want to exit"});
  EXPECT_EQ(r[14]["title"], "Search the book");
}

TEST_F(SampleReader, BackspaceGoesBackExceptInATextBox) {
  const auto r = Run("navigate tools\nnavigate calculators\nkey Backspace\nfocus\n"
                     "navigate index\ntype abc\nkey Backspace\nfocus\n");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0]["title"], "TOOLS");
  // In the search box it deletes the last letter and the page stays.
  EXPECT_EQ(r[1]["title"], "INDEX");
  EXPECT_EQ(test::PaneWhere(r[1], "kind", "SearchBar")["text"], "ab");
}

TEST_F(SampleReader, TheCommandBarIsNamedAndTheF1ListClosesWithEscape) {
  const auto r = Run("key F1\ndump\nkey Escape\ndump\nkey F1\nkey Return\ndump\n");
  ASSERT_EQ(r.size(), 3u);
  ASSERT_FALSE(r[0]["popup"].is_null());
  EXPECT_EQ(r[0]["popup"]["caption"], "Keyboard");
  const std::string html = r[0]["popup"]["html"];
  for (const char* keys : {"Alt+Left", "Ctrl+I", "Ctrl+T", "Ctrl+D", "Ctrl+Q", "F1"})
    EXPECT_NE(html.find(keys), std::string::npos) << keys;
  EXPECT_TRUE(r[1]["popup"].is_null());
  EXPECT_TRUE(r[2]["popup"].is_null());
}

TEST_F(SampleReader, TypingInTheIndexThenReturnOpensTheEntry) {
  const auto r = Run("navigate a_z_in_brief\ntype asth\nkey Return\ndump\n");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0]["title"], "Asthma, acute");
}

TEST_F(SampleReader, ArrowsAndPageKeysMoveInTheListAndReturnOpensTheRow) {
  const auto r = Run("key Ctrl+I\ntype a\nkey Down\nfocus\nkey Down\nfocus\nkey End\nfocus\n"
                     "key Home\nfocus\nkey PgDown\nfocus\nkey PgUp\nfocus\nkey Up\nfocus\n"
                     "key Down\nkey Return\ndump\n");
  ASSERT_EQ(r.size(), 8u);
  // Down leaves the box for the list, at the row the search selected.
  EXPECT_EQ(r[0]["focus"]["kind"], "ListHost");
  EXPECT_EQ(r[0]["focus"]["role"], "list item");
  EXPECT_EQ(r[0]["focus"]["accessible_name"], "A");
  EXPECT_EQ(r[1]["focus"]["accessible_name"], "B");
  const json list = test::FillPane(r[2]);
  const std::vector<std::string> rows = list["rows"];
  EXPECT_EQ(r[2]["focus"]["accessible_name"], rows.back());
  EXPECT_EQ(test::FillPane(r[2])["selected"], static_cast<int>(rows.size()) - 1);
  EXPECT_EQ(r[3]["focus"]["accessible_name"], "A");
  // A page down moves by the rows that fit, and stays within the list.
  const int page = test::FillPane(r[4])["selected"];
  EXPECT_GT(page, 1);
  EXPECT_LT(page, static_cast<int>(rows.size()));
  EXPECT_EQ(test::FillPane(r[5])["selected"], 0);
  EXPECT_EQ(test::FillPane(r[6])["selected"], 0);  // Up at the top stays
  EXPECT_EQ(r[7]["title"], "B");
}

TEST_F(SampleReader, TabReachesALinkAndEnterFollowsIt) {
  const auto r = Run("navigate calculators\nfocus\nkey Tab\nkey Return\ndump\n");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0]["focus"]["kind"], "ViewerControl");
  EXPECT_NE(r[1]["page"], r[0]["page"]);  // followed: the first link's page
  EXPECT_NE(test::PaneWhere(r[1], "name", "hierarchy")["html"].get<std::string>().find(
                "Glasgow Coma Scale"),
            std::string::npos);
}

TEST_F(SampleReader, EscapeEnterAndSpaceCloseAFootnotePopup) {
  const auto r = Run("navigate index\nclick 1002\ndump\nkey Escape\ndump\n"
                     "click 1002\nkey Return\ndump\nclick 1002\nkey Space\ndump\n");
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0]["popup"]["caption"], "Footnotes");
  for (std::size_t i = 1; i < r.size(); ++i) EXPECT_TRUE(r[i]["popup"].is_null()) << i;
  EXPECT_EQ(r[3]["title"], "INDEX");
}

TEST_F(SampleReader, ACalculatorIsAnsweredAndCalculatedByKeysAlone) {
  // CURB-65: five check boxes, one point each. Tick the first and the
  // third, then Tab on to Calculate.
  std::string script = "navigate 18\nfocus\nkey Space\nkey Down\nkey Down\nkey Space\nfocus\n";
  for (int i = 0; i < 12; ++i) script += "key Tab\nfocus\n";
  const auto r = Run(script);
  ASSERT_EQ(r.size(), 14u);
  EXPECT_EQ(r[0]["focus"]["role"], "check box");
  EXPECT_EQ(r[0]["focus"]["accessible_name"], "Confusion (new)");
  const json q = test::PaneWhere(r[1], "kind", "Questionnaire");
  std::vector<bool> ticked;
  for (const json& c : q["groups"][0]["controls"]) ticked.push_back(c["checked"]);
  EXPECT_EQ(ticked, (std::vector<bool>{true, false, true, false, false}));
  // The command buttons are on the Tab round, by name.
  std::set<std::string> reached;
  for (std::size_t i = 2; i < r.size(); ++i)
    if (r[i]["focus"].is_object()) reached.insert(r[i]["focus"]["accessible_name"].get<std::string>());
  for (const char* name : {"Back", "Next", "Calculate", "Clear"})
    EXPECT_TRUE(reached.count(name)) << name;

  int tabsToCalculate = 0;
  for (int i = 0; i < 12 && tabsToCalculate == 0; ++i) {
    const json& f = r[2 + static_cast<std::size_t>(i)]["focus"];
    if (f.is_object() && f["accessible_name"] == "Calculate") tabsToCalculate = i + 1;
  }
  ASSERT_GT(tabsToCalculate, 0);
  std::string press = "navigate 18\nkey Space\nkey Down\nkey Down\nkey Space\n";
  for (int i = 0; i < tabsToCalculate; ++i) press += "key Tab\n";
  press += "key Return\ndump\n";
  const auto score = Run(press);
  ASSERT_EQ(score.size(), 1u);
  ASSERT_FALSE(score[0]["popup"].is_null());
  EXPECT_EQ(score[0]["popup"]["caption"], "Score");
  EXPECT_NE(score[0]["popup"]["html"].get<std::string>().find("SCORE: 2"), std::string::npos)
      << score[0]["popup"]["html"];
}

TEST_F(SampleReader, APageWithANoteShowsTheMarkThatOpensIt) {
  // Without a note there is no mark to measure: the line fails.
  const test::ProgramRun none = test::RunProgram(
      "vrok", {"--folder", dir.Path(), "--registry", registry, "--script", "-"},
      "dismiss-splash\nnavigate calculators\nmeasure note-mark\n");
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.errors.find("no control named note-mark"), std::string::npos) << none.errors;

  const auto r = Run("navigate calculators\ncommand 40023\ndump\nset 44 Mine\nclick 43\n"
                     "measure note-mark\nclick note-mark\ndump\n");
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0]["overlays"][0]["heading"], "Add Note");
  EXPECT_EQ(r[1]["measure"], "note-mark");
  const json mark = r[1]["widgets"][0]["geometry"];
  EXPECT_GT(mark[2].get<int>(), 0);
  EXPECT_GT(mark[1].get<int>(), 0);  // in the title, below the tab strip
  EXPECT_EQ(r[2]["overlays"][0]["heading"], "Edit Note");
  EXPECT_EQ(r[2]["overlays"][0]["title"], "Mine");
}

TEST_F(SampleReader, TheNoteEditorOrTheCurrentTabLeaveOneHistoryEntry) {
  const auto r = Run("navigate tools\nnavigate contents\ndump\ncommand 40023\nclick 40\ndump\n"
                     "tap-tab 1\ndump\nkey Alt+Left\ndump\n");
  ASSERT_EQ(r.size(), 4u);
  const std::size_t entries = r[0]["history"]["entries"].size();
  EXPECT_EQ(r[1]["history"]["entries"].size(), entries);
  EXPECT_EQ(r[2]["history"]["entries"].size(), entries);
  // One Back leaves the page.
  EXPECT_EQ(r[3]["title"], "TOOLS");
}

TEST_F(SampleReader, StartUpErrorsSayOnStandardErrorWhatIsWrong) {
  const std::string other = dir.File("other.ini");
  test::ProgramRun run = test::RunProgram(
      "vrok", {"--folder", dir.Path(), "--registry", other, "--script", "-"}, "dump\n");
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.errors.find("InstallDir"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find(other), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("vrok --install"), std::string::npos) << run.errors;

  fs::remove(fs::path(dir.Path()) / "VROK-Vrok-Strings.pdb");
  run = test::RunProgram("vrok", {"--folder", dir.Path(), "--registry", registry, "--script", "-"},
                         "dump\n");
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.errors.find("VROK-Vrok-Strings.pdb"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("copy the book's files"), std::string::npos) << run.errors;
}

TEST_F(SampleReader, ArrowsAndPageKeysMoveTheCurrentGridCellIntoView) {
  const auto r = Run("navigate " + Fluids() + "\nfocus\n"  // 0 the grid, no cell yet
                     "key Down\nfocus\n"                    // 1 the first key: the top left cell
                     "key Right\nkey Right\nkey Right\nkey Right\nkey Right\ndump\n"  // 2
                     "key Right\nkey Down\nfocus\n"        // 3 no column past the last
                     "key End\ndump\n"                      // 4
                     "key PgUp\ndump\n"                     // 5
                     "key Home\ndump\n"                     // 6
                     "key Left\nkey Left\nkey Left\nkey Left\nkey Left\nkey Left\ndump\n"  // 7
                     "key Up\ndump\n");                     // 8
  ASSERT_EQ(r.size(), 9u);
  EXPECT_EQ(r[0]["focus"]["role"], "table");
  EXPECT_EQ(r[0]["focus"]["accessible_name"], "Intravenous fluids compared");
  EXPECT_FALSE(Grid(r[0]).contains("cell"));
  EXPECT_EQ(Grid(r[1])["cell"], json::array({0, 0}));
  EXPECT_EQ(r[1]["focus"]["role"], "column header");
  EXPECT_EQ(r[1]["focus"]["accessible_name"], "Fluid");
  const json rows = Grid(r[1])["rows"];
  ASSERT_EQ(rows.size(), 7u);
  ASSERT_EQ(rows[0].size(), 6u);

  // The last column, scrolled to so that all of it shows.
  EXPECT_EQ(Grid(r[2])["cell"], json::array({0, 5}));
  const int width = Grid(r[2])["size"][0];
  EXPECT_GT(Grid(r[2])["scroll"][0].get<int>(), 0);
  EXPECT_GE(Grid(r[2])["scroll"][0].get<int>(), width - 240);
  EXPECT_EQ(r[3]["focus"]["role"], "cell");
  EXPECT_EQ(r[3]["focus"]["accessible_name"], rows[1][5]);
  EXPECT_EQ(Grid(r[4])["cell"], json::array({6, 5}));
  const int pageUp = Grid(r[5])["cell"][0];
  EXPECT_LT(pageUp, 6);
  EXPECT_GE(pageUp, 0);
  EXPECT_EQ(Grid(r[5])["cell"][1], 5);
  EXPECT_EQ(Grid(r[6])["cell"], json::array({0, 5}));
  // Back to the first column: scrolled back to the left edge.
  EXPECT_EQ(Grid(r[7])["cell"], json::array({0, 0}));
  EXPECT_EQ(Grid(r[7])["scroll"], json::array({0, 0}));
  EXPECT_EQ(Grid(r[8])["cell"], json::array({0, 0}));
}

TEST_F(SampleReader, EnterTapsTheCurrentCellAndTheMenuKeyHoldsIt) {
  const auto r = Run("navigate " + Fluids() + "\ntap-row 2\ndump\n"  // 0 by stylus: no cell
                     "key Down\nkey Down\nkey Down\nkey Menu\ndump\n"  // 1 held
                     "key Escape\ndump\n"                               // 2 the pop-up goes
                     "key Shift+F10\ndump\n"                            // 3 held again
                     "key Right\nkey Return\ndump\n"                   // 4 no link: nothing
                     "key Left\nkey Return\ndump\n");  // 5 its link, though cut off
  ASSERT_EQ(r.size(), 6u);
  // A stylus user's reports stay as they were.
  EXPECT_FALSE(Grid(r[0]).contains("cell"));
  EXPECT_EQ(Grid(r[1])["cell"], json::array({2, 0}));
  const std::string whole = Grid(r[1])["full_text"];
  EXPECT_EQ(whole.rfind("Compound sodium lactate", 0), 0u) << whole;
  // Escape put the pop-up away and nothing else: same page, same cell.
  EXPECT_FALSE(Grid(r[2]).contains("full_text"));
  EXPECT_EQ(r[2]["page"], r[1]["page"]);
  EXPECT_EQ(Grid(r[2])["cell"], json::array({2, 0}));
  EXPECT_EQ(Grid(r[3])["full_text"], whole);
  EXPECT_TRUE(r[4]["popup"].is_null());
  EXPECT_EQ(Grid(r[4])["cell"], json::array({2, 1}));
  ASSERT_FALSE(r[5]["popup"].is_null()) << r[5].dump();
  EXPECT_EQ(r[5]["popup"]["caption"], "Footnote");
  EXPECT_NE(r[5]["page"], r[1]["page"]);
}

TEST_F(SampleReader, TheCurrentCellStaysBesideThePinnedColumnOnTheDesktop) {
  const auto r = Run("window 300 640\nnavigate " + Fluids() +
                         "\nkey Down\nkey Right\nkey Right\nkey Right\nkey Right\nkey Right\ndump\n"
                         "key Left\nkey Left\nkey Left\nkey Left\ndump\n",
                     {"--desktop"});
  ASSERT_EQ(r.size(), 2u);
  const json far = Grid(r[0]);
  EXPECT_EQ(far["cell"], json::array({0, 5}));
  EXPECT_TRUE(far["pinned"]);
  // The current cell is among those reported in view.
  bool seen = false;
  for (const json& cell : far["cells"]) seen |= cell["row"] == 0 && cell["column"] == 5;
  EXPECT_TRUE(seen);
  // Column 1, right of the pinned first column, is shown whole: scrolled
  // back to the start, where nothing is pinned over it.
  const json near = Grid(r[1]);
  EXPECT_EQ(near["cell"], json::array({0, 1}));
  EXPECT_EQ(near["scroll"][0], 0);
  EXPECT_FALSE(near["pinned"]);
}

TEST_F(SampleReader, ClosingAPopupGivesTheFocusBackToWhereItWas) {
  const auto r = Run("navigate " + Fluids() + "\nkey Tab\nfocus\nkey Return\nkey Escape\nfocus\n"
                     "key Shift+Tab\nkey Down\nkey Down\nkey Down\nkey Return\ndump\nkey Return\nfocus\n");
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0]["focus"]["accessible_name"], "Footnotes");
  EXPECT_TRUE(r[1]["popup"].is_null());
  EXPECT_EQ(r[1]["focus"]["accessible_name"], "Footnotes");
  // From a grid cell's footnote (Return opens it and closes it), back on
  // the cell.
  EXPECT_EQ(r[2]["popup"]["caption"], "Footnote");
  EXPECT_TRUE(r[3]["popup"].is_null());
  EXPECT_EQ(r[3]["focus"]["role"], "cell");
  EXPECT_EQ(r[3]["focus"]["accessible_name"].get<std::string>().rfind("Compound sodium lactate", 0), 0u);
}

}  // namespace
}  // namespace vrok
