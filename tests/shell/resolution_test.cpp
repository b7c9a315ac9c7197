// The two readers on the sample book: "vrok" on its 240 x 320 screen at 96
// dots per inch and "vrok-hires" on its 480 x 640 screen at 192 run the same
// scripts. Every length of the layout is designed at 96 dots per inch and
// scaled, so the high-resolution screens must show the same pages with every
// pane twice as large, the larger bitmaps and the larger figure variants.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "content/content_database.h"
#include "content/schema.h"
#include "reader_fixture.h"
#include "support/temp_dir.h"

namespace vrok {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

struct Reader {
  const char* program;
  int width, height, dpi;
  // A length designed as n pixels at 96 dots per inch.
  int S(int n) const { return (dpi * n + 48) / 96; }
  bool High() const { return dpi >= 192; }
};
constexpr Reader kStandard{"vrok", 240, 320, 96};
constexpr Reader kHigh{"vrok-hires", 480, 640, 192};

// A copy of the sample book and the page font, installed for one reader.
struct SampleFolder {
  test::TempDir dir;
  std::string registry = dir.File("registry.ini");

  explicit SampleFolder(const Reader& reader) {
    const fs::path program = VROK_BINARY_DIR "/program";
    for (const char* name : {"VROK-Vrok-Data.pdb", "VROK-Vrok-Strings.pdb",
                             "VROK-Vrok-Binary-PPC.pdb", "ppc_font2.ttf"})
      fs::copy_file(program / name, fs::path(dir.Path()) / name);
    EXPECT_EQ(test::RunProgram(reader.program,
                               {"--folder", dir.Path(), "--registry", registry, "--install"})
                  .status,
              0);
  }

  std::vector<json> Run(const Reader& reader, const std::string& script) {
    test::ProgramRun run = test::RunProgram(
        reader.program, {"--folder", dir.Path(), "--registry", registry, "--script", "-"}, script);
    EXPECT_EQ(run.status, 0) << reader.program << "\n" << run.errors;
    return std::move(run.lines);
  }
};

// The first row of the sample book with that own table type (a table, or a
// figure inside one), other than the splash picture.
std::string FirstTableOfType(std::u16string_view type) {
  const ContentDatabase db(VROK_BINARY_DIR "/program/VROK-Vrok");
  for (RowIndex row = 1; row < db.RowCount(); ++row)
    if (OwnTableTypeIs(db, row, type) && !TableNameIs(db, row, u"SPLASH"))
      return std::to_string(row);
  ADD_FAILURE() << "the sample book has no table of that type";
  return "0";
}

// Each pane and overlay as "kind name side", and its geometry.
std::vector<std::pair<std::string, json>> Panes(const json& report) {
  std::vector<std::pair<std::string, json>> panes;
  for (const char* list : {"panes", "overlays"})
    for (const json& p : report[list])
      panes.emplace_back(p["kind"].get<std::string>() + " " + p["name"].get<std::string>() + " " +
                             std::to_string(p["side"].get<int>()),
                         p["geometry"]);
  return panes;
}

TEST(ResolutionTest, TheShellScriptsShowTheSamePagesWithEveryPaneTwiceAsLarge) {
  // Each step's lines, then a dump: tabs, pages of every table type (those
  // whose views are still to come show their tab strip alone), history,
  // the bookmark and note overlays, the input panel.
  const std::string figure = "navigate " + FirstTableOfType(u"figure");
  const std::vector<std::string> steps{
      "",
      "dismiss-splash",
      "tap-tab 0",
      "tap-tab 2",
      "tap-tab 1",
      "navigate guide",
      "navigate " + FirstTableOfType(u"table"),
      figure,
      "navigate " + FirstTableOfType(u"tight hierarchy"),
      "navigate " + FirstTableOfType(u"linked tight hierarchy"),
      "navigate " + FirstTableOfType(u"questionarie"),
      "navigate " + FirstTableOfType(u"flow chart"),
      "navigate a_z_in_brief",
      "navigate diagnostic_index",
      "navigate index_search asth",
      "command 40006",
      "command 40007",
      figure + "\ncommand 40025\nset 6969 Figure\nclick 17\ncommand 40026",
      "command 40024",
      "command 40023",
      "click 40\ncommand 40038"};
  std::string script;
  for (const std::string& step : steps) script += step + "\ndump\n";
  SampleFolder standardFolder(kStandard), highFolder(kHigh);
  const auto standard = standardFolder.Run(kStandard, script);
  const auto high = highFolder.Run(kHigh, script);
  ASSERT_EQ(standard.size(), high.size());
  ASSERT_EQ(standard.size(), steps.size());

  for (std::size_t i = 0; i < standard.size(); ++i) {
    const json &a = standard[i], &b = high[i];
    SCOPED_TRACE("dump " + std::to_string(i) + ": " + a["title"].get<std::string>());
    for (const char* key : {"title", "page", "page_data", "tab", "buttons", "keyboard", "history"})
      EXPECT_EQ(a[key], b[key]) << key;
    const auto pa = Panes(a), pb = Panes(b);
    ASSERT_EQ(pa.size(), pb.size());
    for (std::size_t p = 0; p < pa.size(); ++p) {
      SCOPED_TRACE(pa[p].first);
      EXPECT_EQ(pa[p].first, pb[p].first);
      // Lengths from the formulas double exactly; a length that follows a
      // font's line may be off by the rounding of the line height.
      for (std::size_t k = 0; k < 4; ++k)
        EXPECT_NEAR(2 * pa[p].second[k].get<int>(), pb[p].second[k].get<int>(), 2)
            << pa[p].second << " " << pb[p].second;
    }
  }
  // The splash picture and the figure are the variants made for each screen.
  const auto find = [](const json& report, const char* kind) {
    for (const json& p : report["panes"])
      if (p["kind"] == kind) return p;
    return json();
  };
  EXPECT_EQ(find(standard[0], "Splash")["picture"], json({240, 320}));
  EXPECT_EQ(find(high[0], "Splash")["picture"], json({480, 640}));
  EXPECT_EQ(find(standard[7], "FigureView")["image"], json({240, 320}));
  EXPECT_EQ(find(high[7], "FigureView")["image"], json({480, 640}));
}

// The first visible widget with that name, from "measure"; null when the
// script could not measure it.
struct Measured {
  std::map<std::string, json> widgets;
  json operator[](const std::string& name) const {
    const auto it = widgets.find(name);
    return it == widgets.end() ? json() : it->second.at(0);
  }
};

Measured MeasureAll(const Reader& reader, const std::string& script) {
  SampleFolder folder(reader);
  Measured m;
  for (const json& line : folder.Run(reader, script))
    if (line.contains("measure")) m.widgets[line["measure"]] = line["widgets"];
  return m;
}

TEST(ResolutionTest, FixedLengthsFollowTheFormulasAtBothResolutions) {
  // The screen and the command bar on a page with tabs, the page's button
  // bar, the bookmark list with its delete strip, the note editor with the
  // input panel up, the settings dialog.
  const std::string script =
      "dismiss-splash\nmeasure screen\nmeasure title-strip\nmeasure Vrok\nmeasure 332\n"
      "measure 40006\nmeasure tab-strip\nmeasure tab-index\n"
      "navigate guide\nmeasure hierarchy-buttons\nmeasure 1234\n"
      "command 40026\nmeasure 798\nmeasure 2000\nmeasure 123\n"
      "command 40023\nmeasure input-panel-strip\nmeasure notes\nclick 40\n"
      "command 40021\nmeasure 2004\nmeasure caption\n";
  std::map<int, int> scrollBar;
  for (const Reader& r : {kStandard, kHigh}) {
    SCOPED_TRACE(r.program);
    const Measured m = MeasureAll(r, script);
    const int k = r.High() ? 2 : 1;  // the larger bitmaps are twice the size
    const int top = r.S(26), menu = r.S(26);
    const auto rect = [](int x, int y, int w, int h) { return json({x, y, w, h}); };
    EXPECT_EQ(m["screen"]["geometry"], rect(0, 0, r.width, r.height));
    EXPECT_EQ(m["title-strip"]["geometry"], rect(0, 0, r.width, top));
    EXPECT_EQ(m["Vrok"]["geometry"], rect(0, top, r.width, r.height - top - menu));
    EXPECT_EQ(m["332"]["geometry"], rect(0, r.height - menu, r.width, menu));
    const int icon = 16 * (r.dpi + 3) / 96;
    EXPECT_EQ(m["40006"]["icon"], json({icon, icon}));
    // Tabs: the strip is as high as the INDEX bitmap; a third of the width each.
    EXPECT_EQ(m["tab-index"]["picture"], json({80 * k, 22 * k}));
    EXPECT_EQ(m["tab-strip"]["geometry"], rect(0, top, r.width, 22 * k));
    EXPECT_EQ(m["tab-index"]["geometry"], rect(0, top, r.width / 3, 22 * k));
    // The page's button bar: menu-bar high at the bottom of the frame; the
    // section button second from the right, a gap of (R + 24) x 2 / 96.
    const int frameBottom = r.height - menu;
    EXPECT_EQ(m["hierarchy-buttons"]["geometry"], rect(0, frameBottom - menu, r.width, menu));
    const int gap = (r.dpi + 24) * 2 / 96, button = 18 * k;
    EXPECT_EQ(
        m["1234"]["geometry"],
        rect(r.width - 2 * button - gap, frameBottom - menu + (menu - button) / 2, button, button));
    // The bookmark list: a heading of one line of the title font, whose
    // character cell is (R_v + 3) x 16 / 96, with a border above and below;
    // the list below it in the system font; the delete strip of
    // (dpiX x 30 + 48) / 96 pixels under the list.
    const int cell = (r.dpi + 3) * 16 / 96;
    const json list = m["798"]["geometry"];
    const int heading = list[1].get<int>() - top;
    EXPECT_LE(heading - 2, cell);
    EXPECT_GE(heading - 2, cell - 2);
    EXPECT_EQ(m["798"]["font"], r.S(12));
    const int strip = r.S(30);
    EXPECT_EQ(m["123"]["picture"], json({64 * k, 22 * k}));
    EXPECT_EQ(m["123"]["geometry"][1], frameBottom - strip + (strip - 22 * k) / 2);
    scrollBar[r.dpi] = m["2000"]["geometry"][2];
    // The input panel sits on the menu bar's row and shortens the frame.
    const int panel = r.S(80);
    EXPECT_EQ(m["input-panel-strip"]["geometry"], rect(0, frameBottom - panel, r.width, panel));
    EXPECT_EQ(m["notes"]["geometry"], rect(0, top, r.width, r.height - top - menu - panel));
    // Settings: dialog units of font 8 "System", 3/2 and 13/8 pixels each.
    EXPECT_EQ(m["caption"]["geometry"], rect(0, 0, r.width, top));
    EXPECT_EQ(m["2004"]["geometry"], rect(r.S(15 * 3 / 2), top + r.S(26 * 13 / 8),
                                          r.S(39 * 3 / 2) + r.S(20), r.S(10 * 13 / 8)));
  }
  // Stock controls scale with the screen too.
  EXPECT_EQ(scrollBar[192], 2 * scrollBar[96]);
}

}  // namespace
}  // namespace vrok
