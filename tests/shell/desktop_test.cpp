// The desktop window through the reader program: resizes lay every pane out
// again, the text size steps and is remembered, handheld runs keep their
// reports, and bad screen options stop the start.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

#include "content/content_database.h"
#include "platform/qt/window_mode.h"
#include "reader_fixture.h"
#include "support/temp_dir.h"

namespace vrok {
namespace {

using nlohmann::json;

struct Desktop : test::InstalledSample {
  std::vector<json> Run(const std::string& script) const {
    return InstalledSample::Run(script, {"--desktop"});
  }
  // The fluids table's row, as "navigate" takes it.
  std::string Fluids() const {
    const ContentDatabase db(dir.Path() + "/VROK-Vrok");
    return std::to_string(db.TableRow(u"Intravenous fluids compared"));
  }
  std::string RegistryText() const {
    std::ifstream in(registry);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

// The panes of a report tile the frame: inside the window, the fill pane
// reaching the right edge, and together down to the menu bar's top.
void ExpectPanesFill(const json& r) {
  const int w = r["window"][0], h = r["window"][1];
  int bottom = 0;
  bool fill = false;
  for (const json& p : r["panes"]) {
    const int x = p["geometry"][0], y = p["geometry"][1], pw = p["geometry"][2],
              ph = p["geometry"][3];
    EXPECT_GE(x, 0);
    EXPECT_LE(x + pw, w) << p.dump();
    EXPECT_EQ(pw, w) << "a pane of this page spans the window: " << p.dump();
    bottom = std::max(bottom, y + ph);
    fill = fill || p["side"] == 4;
  }
  EXPECT_TRUE(fill);
  // Below the panes only the menu bar, 26 pixels at 96 dots per inch
  // scaled by the text size.
  const int dpi = (96 * r["text_size"].get<int>() + 50) / 100;
  EXPECT_EQ(h - bottom, (dpi * 26 + 48) / 96) << r.dump();
}

TEST_F(Desktop, ResizingLaysThePanesOutAgainAndBackAgain) {
  const auto reports = Run(
      "window 480 640\ntap-tab 0\ndump\nwindow 1400 900\ndump\nwindow 480 640\ndump\n"
      "tap-tab 1\nwindow 1400 900\ndump\nmeasure tab-index\n");
  ASSERT_EQ(reports.size(), 5u);
  // The tabs are drawn at their own size, not a small picture stretched.
  const json tab = reports[4]["widgets"][0];
  EXPECT_EQ(tab["geometry"][2], 1400 / 3);
  EXPECT_EQ(tab["picture"], json::array({tab["geometry"][2], tab["geometry"][3]}));
  EXPECT_EQ(reports[0]["mode"], "desktop");
  EXPECT_EQ(reports[0]["window"], json::array({480, 640}));
  EXPECT_EQ(reports[1]["window"], json::array({1400, 900}));
  for (int i = 0; i < 4; ++i) ExpectPanesFill(reports[i]);
  // The same arithmetic gives the same layout for the same size.
  EXPECT_EQ(reports[2]["panes"], reports[0]["panes"]);
  EXPECT_NE(reports[1]["panes"], reports[0]["panes"]);
  // The index list takes the new height; the tab strip keeps its own.
  const json list = test::PaneWhere(reports[1], "kind", "ListHost");
  ASSERT_FALSE(list.is_null());
  EXPECT_EQ(list["geometry"][3].get<int>() - test::PaneWhere(reports[0], "kind", "ListHost")["geometry"][3].get<int>(),
            900 - 640);
  // A page shown after a resize is laid out at the size of the moment.
  EXPECT_EQ(reports[3]["title"], "Contents");
  EXPECT_EQ(test::FillPane(reports[3])["geometry"][2], 1400);
}

TEST_F(Desktop, AnOpenDialogFollowsTheWindow) {
  const auto r = Run("window 900 600\ncommand 40021\nmeasure 1004\nmeasure caption\nmeasure ok\n"
                     "window 500 650\nmeasure 1004\nmeasure caption\nmeasure ok\nanswer cancel\n");
  ASSERT_EQ(r.size(), 6u);
  for (int at : {0, 3}) {
    const int w = at == 0 ? 900 : 500;
    const json dialog = r[at]["widgets"][0]["geometry"];
    EXPECT_EQ(dialog[2], w);
    // Over the whole frame, down to the menu bar.
    EXPECT_EQ(dialog[3].get<int>(), (at == 0 ? 600 : 650) - 26);
    EXPECT_EQ(r[at + 1]["widgets"][0]["geometry"][2], w) << "the caption spans the dialog";
    const json ok = r[at + 2]["widgets"][0]["geometry"];
    EXPECT_GT(ok[0].get<int>() + ok[2].get<int>(), w - 10) << "OK at the caption's right end";
    EXPECT_LE(ok[0].get<int>() + ok[2].get<int>(), w);
  }
}

TEST_F(Desktop, TextSizeStepsBetweenItsEndsAndGrowsTheRows) {
  std::string script = "dump\nkey Ctrl+=\ndump\nkey Ctrl+-\nkey Ctrl+-\ndump\nkey Ctrl+0\ndump\n";
  for (int i = 0; i < 20; ++i) script += "key Ctrl+=\n";
  script += "dump\n";
  for (int i = 0; i < 20; ++i) script += "key Ctrl+-\n";
  script += "dump\nkey Ctrl+0\ntap-tab 0\ndump\nkey Ctrl++\nkey Ctrl+=\ndump\n";
  const auto r = Run("window 480 640\n" + script);
  ASSERT_EQ(r.size(), 8u);
  EXPECT_EQ(r[0]["text_size"], 100);
  EXPECT_EQ(r[1]["text_size"], 110);
  EXPECT_EQ(r[2]["text_size"], 90);
  EXPECT_EQ(r[3]["text_size"], 100);
  EXPECT_EQ(r[4]["text_size"], 300);
  EXPECT_EQ(r[5]["text_size"], 50);
  EXPECT_EQ(r[7]["text_size"], 125);
  // Larger text: the menu bar grows, so the page above it loses height,
  // and the history did not gain an entry from showing the page again.
  const json before = test::FillPane(r[6]), after = test::FillPane(r[7]);
  EXPECT_LT(after["geometry"][3].get<int>(), before["geometry"][3].get<int>());
  EXPECT_EQ(r[7]["history"], r[6]["history"]);
  // The tab strip and the search bar follow the text size too (22 and 26
  // pixels at 100 %).
  EXPECT_EQ(test::PaneWhere(r[6], "kind", "TabStrip")["geometry"][3], 22);
  EXPECT_EQ(test::PaneWhere(r[7], "kind", "TabStrip")["geometry"][3], (120 * 22 + 48) / 96);
  EXPECT_EQ(test::PaneWhere(r[7], "kind", "SearchBar")["geometry"][3], (120 * 26 + 48) / 96);
  for (const json& report : r) ExpectPanesFill(report);
}

TEST_F(Desktop, SizeAndTextSizeAreRememberedForTheNextStart) {
  Run("window 700 800\nkey Ctrl+=\n");
  const std::string text = RegistryText();
  EXPECT_NE(text.find("WindowWidth=700"), std::string::npos) << text;
  EXPECT_NE(text.find("WindowHeight=800"), std::string::npos) << text;
  EXPECT_NE(text.find("TextSize=110"), std::string::npos) << text;
  EXPECT_NE(text.find("WindowMaximized=0"), std::string::npos) << text;
  EXPECT_NE(text.find("InstallDir="), std::string::npos) << "other values are kept: " << text;
  const auto r = Run("dump\n");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0]["window"], json::array({700, 800}));
  EXPECT_EQ(r[0]["text_size"], 110);
}

TEST_F(Desktop, HandheldRunsKeepTheirReportsAndRefuseTheWindowCommand) {
  const auto run = Start({}, "dismiss-splash\ndump\nwindow 700 800\ndump\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("line 3: window needs desktop mode"), std::string::npos) << run.errors;
  ASSERT_EQ(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[0]["mode"], "handheld");
  EXPECT_EQ(run.lines[0]["window"], json::array({240, 320}));
  EXPECT_EQ(run.lines[0]["text_size"], 100);
  EXPECT_EQ(run.lines[0]["theme"], "light");
  // The handheld screen: 240 x 320 less title strip and menu bar.
  EXPECT_EQ(test::FillPane(run.lines[1])["geometry"][2], 240);
  EXPECT_EQ(run.lines[1]["panes"], run.lines[0]["panes"]);
  // Its registry file gains nothing.
  EXPECT_EQ(RegistryText().find("Window"), std::string::npos);
}

TEST_F(Desktop, TheWindowCommandChecksItsSize) {
  const auto run = Start({"--desktop"}, "window 100 100\nwindow 500\nwindow a b\nwindow 600 700\ndump\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("line 1: window size out of range"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("line 2: window needs W and H"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("line 3: window needs W and H"), std::string::npos) << run.errors;
  ASSERT_EQ(run.lines.size(), 1u);
  EXPECT_EQ(run.lines[0]["window"], json::array({600, 700}));
}

TEST_F(Desktop, BadScreenOptionsStopTheStartWithAReason) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--zoom", "abc"}, "--zoom needs a whole number"},
      {{"--zoom", "0"}, "--zoom needs a whole number"},
      {{"--zoom", "2x"}, "--zoom needs a whole number"},
      {{"--zoom", "-1"}, "--zoom needs a whole number"},
      {{"--screen", "480"}, "--screen needs WIDTHxHEIGHT"},
      {{"--screen", "wide"}, "--screen needs WIDTHxHEIGHT"},
      {{"--screen", "50x50"}, "--screen needs WIDTHxHEIGHT"},
      {{"--dpi", "lots"}, "--dpi needs a whole number"},
      {{"--dpi", "5000"}, "--dpi needs a whole number"},
      {{"--desktop", "--zoom", "4"}, "text size: 1, 2 or 3"},
  };
  for (const auto& [args, message] : cases) {
    const auto run = Start(args, "dump\n");
    EXPECT_EQ(run.status, 2) << args.back();
    EXPECT_NE(run.errors.find(message), std::string::npos) << args.back() << ": " << run.errors;
    EXPECT_TRUE(run.lines.empty()) << "nothing ran";
  }
  // A person's start: a window larger than the desktop (the offscreen
  // platform's is 800 x 600) is refused before anything is shown.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--handheld", "--zoom", "4"},
        std::vector<std::string>{"--handheld", "--screen", "480x1000", "--zoom", "1"},
        std::vector<std::string>{"--screen", "2000x500"}}) {
    std::vector<std::string> full{"--folder", dir.Path(), "--registry", registry};
    full.insert(full.end(), args.begin(), args.end());
    const auto run = test::RunProgram("vrok", full);
    EXPECT_EQ(run.status, 2) << args.back();
    EXPECT_NE(run.errors.find("does not fit the desktop"), std::string::npos) << run.errors;
  }
}

json GridPane(const json& report) { return test::PaneWhere(report, "kind", "GridControl"); }

// A cell's whole text, its lines joined as they wrapped.
std::string Joined(const json& cell) {
  std::string text;
  for (const json& line : cell["lines"]) text += (text.empty() ? "" : " ") + line.get<std::string>();
  return text;
}

TEST_F(Desktop, GridCellsWrapInsteadOfBeingCutWhereThereIsRoom) {
  const auto r = Run("window 1200 800\nnavigate " + Fluids() + "\ndump\nwindow 700 800\ndump\n");
  ASSERT_EQ(r.size(), 2u);
  const json wide = GridPane(r[0]);
  ASSERT_FALSE(wide.is_null()) << r[0].dump();
  ASSERT_TRUE(wide["columns"].is_array());
  ASSERT_EQ(wide["columns"].size(), 6u);
  std::vector<std::string> firstColumn;
  for (const json& cell : wide["cells"]) {
    for (const json& line : cell["lines"]) {
      EXPECT_EQ(line.get<std::string>().find("\u2026"), std::string::npos) << cell.dump();
      EXPECT_EQ(line.get<std::string>().find("..."), std::string::npos) << cell.dump();
    }
    if (cell["column"] == 0) firstColumn.push_back(Joined(cell));
  }
  // Every row in view, the two glucose rows told apart.
  EXPECT_EQ(wide["cells"].size(), 7u * 6u);
  EXPECT_NE(std::find(firstColumn.begin(), firstColumn.end(), "Glucose 5%"), firstColumn.end());
  EXPECT_NE(std::find(firstColumn.begin(), firstColumn.end(),
                      "Glucose 4% with sodium chloride 0.18%"),
            firstColumn.end());
  // The columns share the width: the table fills the pane, no bar.
  int sum = 0;
  for (const json& w : wide["columns"]) sum += w.get<int>();
  EXPECT_FALSE(wide["bars"]["horizontal"]);
  EXPECT_GT(sum, 1200 - 40);
  EXPECT_LE(sum, 1200);
  // Narrower: a long cell takes more lines, so its row is taller.
  const json narrow = GridPane(r[1]);
  ASSERT_FALSE(narrow.is_null());
  EXPECT_LT(narrow["columns"][0].get<int>(), wide["columns"][0].get<int>());
  EXPECT_LT(narrow["size"][0].get<int>(), wide["size"][0].get<int>());
}

TEST_F(Desktop, TheFirstColumnStaysInViewWhileScrollingSideways) {
  const auto r = Run("window 300 640\nnavigate " + Fluids() + "\ndump\nset 1002 400\ndump\n");
  ASSERT_EQ(r.size(), 2u);
  const json before = GridPane(r[0]), after = GridPane(r[1]);
  ASSERT_FALSE(after.is_null());
  EXPECT_TRUE(before["bars"]["horizontal"]) << "the table is wider than 300 pixels";
  EXPECT_FALSE(before["pinned"]);
  EXPECT_EQ(after["scroll"][0], 400);
  EXPECT_TRUE(after["pinned"]);
  // Scrolled past the first column's width, yet every row's first cell is
  // still reported in view.
  ASSERT_LT(after["columns"][0].get<int>(), 400);
  int firstCells = 0;
  for (const json& cell : after["cells"]) firstCells += cell["column"] == 0 ? 1 : 0;
  EXPECT_EQ(firstCells, 7);
}

// The desktop shows the readable titles the book gives its tables, a page
// inside a table its own text, and a caption on every pop-up; the handheld
// layout keeps the names.
TEST_F(Desktop, TitlesAreReadableAndPopUpsHaveCaptions) {
  const std::string script =
      "navigate a_z_in_brief\ndump\nnavigate diagnostic_index\ndump\nnavigate " +
      std::to_string(ContentDatabase(dir.Path() + "/VROK-Vrok").TableRow(u"TABLE_20")) +
      "\ndump\nnavigate guide\ndump\n";
  const auto desktop = Run(script);
  const auto handheld = Start({}, "dismiss-splash\n" + script).lines;
  ASSERT_EQ(desktop.size(), 4u);
  ASSERT_EQ(handheld.size(), 4u);
  const std::vector<std::pair<std::string, std::string>> titles = {
      {"A to Z in brief", "A_Z_IN_BRIEF"},
      {"Diagnostic index", "DIAGNOSTIC_INDEX"},
      {"Low back pain red flags", "TABLE_20"},
      {"Guide to Tarvessa", "GUIDE_TO_TARVESSA"}};
  for (std::size_t i = 0; i < titles.size(); ++i) {
    EXPECT_EQ(desktop[i]["title"], titles[i].first);
    EXPECT_EQ(handheld[i]["title"], titles[i].second);
    // The history names the page the same way.
    EXPECT_EQ(desktop[i]["history"]["entries"].back()["title"], titles[i].first);
  }
  // A page inside a table is named by its own text, not the table's; a
  // glossary pop-up by the word it explains.
  const ContentDatabase db(dir.Path() + "/VROK-Vrok");
  const auto child = [&](RowIndex parent, std::u16string_view text) {
    for (RowIndex r = 0; r < db.RowCount(); ++r) {
      std::vector<NodeRow> row;
      std::u16string value;
      if (db.ReadRows(r, 1, row) && row.size() == 1 && row[0].parent == parent &&
          row[0].value != 0 && db.ReadString(StringId{row[0].value}, value) && value == text)
        return std::to_string(r);
    }
    return std::string("0");
  };
  const std::string chest = child(db.TableRow(u"DIAGNOSTIC_INDEX"), u"Chest pain");
  const std::string page = Run("navigate " + chest + "\ndump\n").at(0).dump();
  std::smatch link;
  ASSERT_TRUE(std::regex_search(page, link, std::regex("HREF='([0-9]+)'>troponin<"))) << page;
  const std::string open = "navigate " + chest + "\ndump\ntap-link " + link[1].str() + "\ndump\n";
  const auto onDesktop = Run(open);
  const auto onHandheld = Start({}, "dismiss-splash\n" + open).lines;
  ASSERT_EQ(onDesktop.size(), 2u);
  ASSERT_EQ(onHandheld.size(), 2u);
  EXPECT_EQ(onDesktop[0]["title"], "Chest pain");
  EXPECT_EQ(onHandheld[0]["title"], "DIAGNOSTIC_INDEX");
  ASSERT_FALSE(onDesktop[1]["popup"].is_null()) << onDesktop[1].dump();
  EXPECT_EQ(onDesktop[1]["popup"]["caption"], "Troponin");
  ASSERT_FALSE(onHandheld[1]["popup"].is_null());
  EXPECT_EQ(onHandheld[1]["popup"]["caption"], "");

  // A record's path of links names its table by the readable title too.
  const std::string record =
      "navigate " + child(db.TableRow(u"A_Z_IN_BRIEF"), u"Acute cholecystitis") + "\ndump\n";
  const std::string desktopPage = Run(record).at(0).dump();
  const std::string handheldPage = Start({}, "dismiss-splash\n" + record).lines.at(0).dump();
  EXPECT_NE(desktopPage.find("'>A to Z in brief</A> - Acute cholecystitis:"), std::string::npos)
      << desktopPage;
  EXPECT_EQ(desktopPage.find("A_Z_IN_BRIEF"), std::string::npos);
  EXPECT_NE(handheldPage.find("'>A_Z_IN_BRIEF</A> - Acute cholecystitis:"), std::string::npos)
      << handheldPage;
}

TEST_F(Desktop, HandheldGridsKeepTheFixedColumns) {
  const auto run = Start({}, "dismiss-splash\nnavigate " + Fluids() + "\ndump\n");
  ASSERT_EQ(run.lines.size(), 1u);
  const json grid = GridPane(run.lines[0]);
  ASSERT_FALSE(grid.is_null());
  EXPECT_EQ(grid["columns"], 6) << "a count, as before";
  EXPECT_FALSE(grid.contains("cells"));
  EXPECT_FALSE(grid.contains("pinned"));
}

TEST(TextSizeSteps, StepUpAndDownToTheNearestStepAndStopAtTheEnds) {
  using platform::NextTextSize;
  EXPECT_EQ(NextTextSize(100, 1), 110);
  EXPECT_EQ(NextTextSize(100, -1), 90);
  EXPECT_EQ(NextTextSize(300, 1), 300);
  EXPECT_EQ(NextTextSize(50, -1), 50);
  // Between steps (a remembered 105 %): to the neighbour on that side.
  EXPECT_EQ(NextTextSize(105, 1), 110);
  EXPECT_EQ(NextTextSize(105, -1), 100);
  EXPECT_EQ(NextTextSize(20, 1), 50);
  EXPECT_EQ(NextTextSize(900, -1), 300);
  // Every step up from the bottom reaches the top in increasing order.
  int at = 50, steps = 0;
  while (at < 300 && steps < 100) {
    const int next = NextTextSize(at, 1);
    ASSERT_GT(next, at);
    at = next;
    ++steps;
  }
  EXPECT_EQ(at, 300);
}

}  // namespace
}  // namespace vrok
