// What screen readers are given, through the reader program's "accessible"
// tree on the sample book: every control named, every visible node inside
// the window, in real pixels at a zoom of 1 and of 2; tabs, command
// buttons, list rows and calculator controls by name and role; a grid as a
// table of cells with their headers; the page text's characters and the
// rows of Qt's own lists placed like everything else.

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "content/content_database.h"
#include "reader_fixture.h"
#include "support/temp_dir.h"

namespace vrok {
namespace {

using nlohmann::json;

struct SampleTree : test::InstalledSample {
  // The tree after the script, at a zoom.
  json Tree(const std::string& script, int zoom) {
    const test::ProgramRun run =
        Start({"--zoom", std::to_string(zoom)}, "dismiss-splash\n" + script + "\naccessible\n");
    EXPECT_EQ(run.status, 0) << run.errors;
    if (run.lines.empty()) return json();
    return run.lines.back()["accessible"];
  }
  std::string Fluids() const {
    const ContentDatabase db(dir.Path() + "/VROK-Vrok");
    return std::to_string(db.TableRow(u"Intravenous fluids compared"));
  }
  // A calculator whose first question is a combo box.
  std::string Scores() const {
    const ContentDatabase db(dir.Path() + "/VROK-Vrok");
    return std::to_string(db.TableRow(u"CHA2DS2-VASc"));
  }
};

bool Has(const json& node, const char* state) {
  for (const json& s : node["state"])
    if (s == state) return true;
  return false;
}

// Every visible node, depth first.
void Visit(const json& node, const std::function<void(const json&)>& f) {
  if (Has(node, "invisible")) return;
  f(node);
  for (const json& child : node["children"]) Visit(child, f);
}

const json* Find(const json& root, const std::string& role, const std::string& name) {
  const json* found = nullptr;
  Visit(root, [&](const json& n) {
    if (found == nullptr && n["role"] == role && n["name"] == name) found = &n;
  });
  return found;
}

// The checks every screen must pass: interactive nodes have names, and
// whatever is on screen lies inside the window.
void ExpectSound(const json& root, const std::string& where) {
  ASSERT_TRUE(root.is_object()) << where;
  EXPECT_EQ(root["role"], "window") << where;
  const json w = root["geometry"];
  static const std::set<std::string> kInteractive{
      "button", "menu button", "page tab", "check box", "radio button", "text",
      "list",   "list item",   "combo box", "menu item", "table"};
  Visit(root, [&](const json& n) {
    const std::string role = n["role"];
    if (kInteractive.count(role) != 0) {
      EXPECT_FALSE(n["name"].get<std::string>().empty())
          << where << ": a " << role << " at " << n["geometry"];
    }
    const json g = n["geometry"];
    if (g[2] == 0 || g[3] == 0 || Has(n, "offscreen")) return;
    // The first character of a text lies inside its text's box.
    if (const json c = n.value("first_character", json()); c.is_array() && c[2] != 0) {
      EXPECT_GE(c[0].get<int>(), g[0].get<int>()) << where << " " << n["name"];
      EXPECT_GE(c[1].get<int>(), g[1].get<int>()) << where << " " << n["name"];
      EXPECT_LE(c[0].get<int>() + c[2].get<int>(), g[0].get<int>() + g[2].get<int>()) << where;
      EXPECT_LE(c[1].get<int>() + c[3].get<int>(), g[1].get<int>() + g[3].get<int>()) << where;
    }
    EXPECT_GE(g[0].get<int>(), w[0].get<int>()) << where << " " << n.dump().substr(0, 200);
    EXPECT_GE(g[1].get<int>(), w[1].get<int>()) << where << " " << n.dump().substr(0, 200);
    EXPECT_LE(g[0].get<int>() + g[2].get<int>(), w[0].get<int>() + w[2].get<int>())
        << where << " " << n.dump().substr(0, 200);
    EXPECT_LE(g[1].get<int>() + g[3].get<int>(), w[1].get<int>() + w[3].get<int>())
        << where << " " << n.dump().substr(0, 200);
  });
}

TEST_F(SampleTree, EveryControlIsNamedAndInsideTheWindowAtBothZooms) {
  for (const int zoom : {1, 2})
    for (const char* script :
         {"navigate index", "navigate calculators", "navigate 18", "navigate a_z_in_brief",
          "command 40024", "navigate index\nclick 1002"}) {
      const std::string where = std::string(script) + " at zoom " + std::to_string(zoom);
      ExpectSound(Tree(script, zoom), where);
    }
}

TEST_F(SampleTree, PlacesAreInRealPixelsAtAZoomOfTwo) {
  const json one = Tree("navigate index", 1);
  const json two = Tree("navigate index", 2);
  ASSERT_TRUE(one.is_object() && two.is_object());
  EXPECT_EQ(two["geometry"][2], 2 * one["geometry"][2].get<int>());
  EXPECT_EQ(two["geometry"][3], 2 * one["geometry"][3].get<int>());
  for (const char* name : {"Back", "Exit"}) {
    const json* a = Find(one, "button", name);
    const json* b = Find(two, "button", name);
    ASSERT_TRUE(a != nullptr && b != nullptr) << name;
    // Twice as far from the window's corner, twice as large.
    for (int i = 0; i < 2; ++i)
      EXPECT_EQ((*b)["geometry"][i].get<int>() - two["geometry"][i].get<int>(),
                2 * ((*a)["geometry"][i].get<int>() - one["geometry"][i].get<int>()))
          << name;
    EXPECT_EQ((*b)["geometry"][2], 2 * (*a)["geometry"][2].get<int>()) << name;
  }
  const json* row = Find(two, "list item", "B");
  ASSERT_NE(row, nullptr);
  EXPECT_EQ((*row)["geometry"][3], 2 * (*Find(one, "list item", "B"))["geometry"][3].get<int>());
}

TEST_F(SampleTree, CommandsTabsRowsAndTheSearchBoxByName) {
  const json root = Tree("navigate index\nkey Ctrl+I\ntype c", 1);
  for (const char* name : {"Menu", "Back", "History", "Forward", "Home", "Index", "Tools", "Exit"})
    EXPECT_TRUE(Find(root, "button", name) != nullptr || Find(root, "menu button", name) != nullptr)
        << name;
  for (const char* name : {"Notes", "Bookmarks", "Menu"})
    EXPECT_NE(Find(root, "menu button", name), nullptr) << name;
  int selectedTabs = 0;
  for (const char* name : {"INDEX", "CONTENTS", "TOOLS"}) {
    const json* tab = Find(root, "page tab", name);
    ASSERT_NE(tab, nullptr) << name;
    selectedTabs += Has(*tab, "selected");
  }
  EXPECT_EQ(selectedTabs, 1);
  EXPECT_TRUE(Has(*Find(root, "page tab", "INDEX"), "selected"));
  const json* box = Find(root, "text", "Search");
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(Has(*box, "focused"));
  EXPECT_NE(Find(root, "button", "Footnotes"), nullptr);
  // The rows, with the one the search chose selected.
  const json* c = Find(root, "list item", "C");
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(Has(*c, "selected"));
  EXPECT_FALSE(Has(*Find(root, "list item", "A"), "selected"));
}

TEST_F(SampleTree, CalculatorControlsAndButtonsAreNamed) {
  const json root = Tree("navigate 18\nkey Space", 1);
  const json* first = Find(root, "check box", "Confusion (new)");
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(Has(*first, "checked"));
  EXPECT_TRUE(Has(*first, "focused"));
  // Back appears twice (the command bar's and the calculator's).
  for (const char* name : {"Back", "Next", "Calculate", "Clear"})
    EXPECT_NE(Find(root, "button", name), nullptr) << name;
  int backs = 0;
  Visit(root, [&](const json& n) { backs += n["role"] == "button" && n["name"] == "Back"; });
  EXPECT_EQ(backs, 2);
}

TEST_F(SampleTree, GridsBookmarksAndPageTextAreInsideTheWindowAtBothZooms) {
  for (const int zoom : {1, 2})
    for (const std::string& script :
         std::vector<std::string>{"navigate " + Fluids(), "navigate " + Fluids() + "\nkey Down\nkey End\nkey Right",
          "key Ctrl+D\ntype Contents page\nanswer ok\nkey Ctrl+B",
          "navigate a_z_in_brief\ntype asth\nkey Return", "navigate " + Scores() + "\nkey F4"}) {
      const std::string where = script + " at zoom " + std::to_string(zoom);
      ExpectSound(Tree(script, zoom), where);
    }
}

TEST_F(SampleTree, AGridIsATableOfCellsWithTheirHeaders) {
  // The keys on the second row's "Na+" cell.
  const json root = Tree("navigate " + Fluids() + "\nkey Down\nkey Down\nkey Right", 1);
  const json* table = Find(root, "table", "Intravenous fluids compared");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ((*table)["rows"], 6);
  EXPECT_EQ((*table)["columns"], 6);
  const json& cells = (*table)["children"];
  ASSERT_EQ(cells.size(), 7u * 6u);
  // The header row first, then the rows under it.
  std::vector<std::string> headers;
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(cells[c]["role"], "column header");
    headers.push_back(cells[c]["name"]);
  }
  EXPECT_EQ(headers[0], "Fluid");
  EXPECT_EQ(headers[1], "Na+");
  const json& current = cells[6 + 1];
  EXPECT_EQ(current["role"], "cell");
  EXPECT_EQ(current["name"], "154");
  EXPECT_EQ(current["row"], 0);
  EXPECT_EQ(current["column"], 1);
  EXPECT_EQ(current["column_header"], "Na+");
  EXPECT_EQ(current["row_header"], "Sodium chloride 0.9%");
  EXPECT_TRUE(Has(current, "selected"));
  EXPECT_TRUE(Has(current, "focused"));
  // Only one cell is the current one; the first column heads no row.
  int selected = 0;
  for (const json& cell : cells) selected += Has(cell, "selected");
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(cells[6 * 3]["row_header"], "");
  EXPECT_EQ(cells[6 * 3]["column_header"], "Fluid");
  EXPECT_EQ(cells[6 * 3 + 5]["column"], 5);
  EXPECT_EQ(cells[6 * 3 + 5]["row"], 2);
  // The last column is off the handheld screen until scrolled to.
  EXPECT_TRUE(Has(cells[6 + 5], "offscreen"));
  EXPECT_FALSE(Has(current, "offscreen"));
}

TEST_F(SampleTree, CellsRowsAndCharactersAreInRealPixelsAtAZoomOfTwo) {
  const std::string grid = "navigate " + Fluids() + "\nkey Down\nkey Down";
  const std::string bookmarks = "key Ctrl+D\ntype Contents page\nanswer ok\nkey Ctrl+B";
  const std::string page = "navigate a_z_in_brief\ntype asth\nkey Return";
  // Twice as far from the window's corner and twice as large, give or take
  // a pixel of rounding; a character's width may differ by hinting.
  const auto expectDoubled = [](const json& oneWindow, const json& twoWindow, const json& a,
                                const json& b, bool width, const std::string& what) {
    for (int i = 0; i < 2; ++i)
      EXPECT_NEAR(b[i].get<int>() - twoWindow[i].get<int>(),
                  2 * (a[i].get<int>() - oneWindow[i].get<int>()), 1)
          << what;
    if (width) {
      EXPECT_NEAR(b[2].get<int>(), 2 * a[2].get<int>(), 1) << what;
    }
    EXPECT_NEAR(b[3].get<int>(), 2 * a[3].get<int>(), 1) << what;
  };
  {
    const json one = Tree(grid, 1), two = Tree(grid, 2);
    const json* a = Find(one, "cell", "Sodium chloride 0.9%");
    const json* b = Find(two, "cell", "Sodium chloride 0.9%");
    ASSERT_TRUE(a != nullptr && b != nullptr);
    expectDoubled(one["geometry"], two["geometry"], (*a)["geometry"], (*b)["geometry"], true,
                  "grid cell");
  }
  {
    const json one = Tree(bookmarks, 1), two = Tree(bookmarks, 2);
    const json* a = Find(one, "list item", "Contents page");
    const json* b = Find(two, "list item", "Contents page");
    ASSERT_TRUE(a != nullptr && b != nullptr);
    expectDoubled(one["geometry"], two["geometry"], (*a)["geometry"], (*b)["geometry"], true,
                  "bookmark row");
  }
  {
    // The rows of a combo box's open drop-down.
    const std::string combo = "navigate " + Scores() + "\nkey F4";
    const json one = Tree(combo, 1), two = Tree(combo, 2);
    const json* a = Find(one, "list item", "65 to 74");
    const json* b = Find(two, "list item", "65 to 74");
    ASSERT_TRUE(a != nullptr && b != nullptr);
    expectDoubled(one["geometry"], two["geometry"], (*a)["geometry"], (*b)["geometry"], true,
                  "combo row");
  }
  {
    const json one = Tree(page, 1), two = Tree(page, 2);
    const auto firstCharacter = [](const json& root) {
      json found;
      Visit(root, [&](const json& n) {
        if (found.is_null() && n.contains("first_character") && n["name"] == "Page")
          found = n["first_character"];
      });
      return found;
    };
    const json a = firstCharacter(one), b = firstCharacter(two);
    ASSERT_TRUE(a.is_array() && b.is_array()) << one.dump().substr(0, 400);
    expectDoubled(one["geometry"], two["geometry"], a, b, false, "page text");
  }
}

}  // namespace
}  // namespace vrok
