// vrok-book --from markdown: the sample folder compiled and read back
// through vrok-dump and the content database, and bad sources refused with
// their file and line.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "command_run.h"
#include "content/content_database.h"
#include "content/node_cursor.h"
#include "content/schema.h"
#include "support/temp_dir.h"

namespace vrok {
namespace {

namespace fs = std::filesystem;

test::CommandRun Program(const std::string& command) { return test::RunCommand(command + " 2>&1"); }

class MarkdownBook : public ::testing::Test {
 protected:
  test::CommandRun Compile(const std::string& folder) {
    return Program(std::string(VROK_BOOK) + " --from markdown " + folder + " " + dir.File("out"));
  }
  std::vector<nlohmann::json> Rows() const {
    const auto dump = Program(std::string(VROK_DUMP) + " rows " + dir.File("out"));
    std::vector<nlohmann::json> rows;
    std::istringstream lines(dump.out);
    for (std::string line; std::getline(lines, line);) rows.push_back(nlohmann::json::parse(line));
    return rows;
  }
  // A copy of the sample folder to spoil.
  std::string Sample() const {
    const std::string copy = dir.File("src");
    fs::copy(VROK_MARKDOWN_SAMPLE, copy, fs::copy_options::recursive);
    return copy;
  }
  test::TempDir dir;
};

// The children of a row whose field is `field`, as (text, row).
std::vector<std::pair<std::string, std::size_t>> Children(const std::vector<nlohmann::json>& rows,
                                                          std::size_t parent,
                                                          const std::string& field) {
  std::vector<std::pair<std::string, std::size_t>> out;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    if (rows[r]["parent"] == parent && rows[r]["field"] == field) {
      out.emplace_back(rows[r].value("text", ""), r);
    }
  }
  return out;
}

TEST_F(MarkdownBook, TheSampleGivesTheBookTheGuideDescribes) {
  const auto run = Compile(VROK_MARKDOWN_SAMPLE);
  ASSERT_EQ(run.status, 0) << run.out;
  const auto rows = Rows();
  ASSERT_FALSE(rows.empty());
  const ContentDatabase db(dir.File("out/VROK-Vrok"));
  ASSERT_TRUE(db.IsBook());

  // CONTENTS: the book's own topic, then the chapters by folder name, each
  // a list of its topics by file name; sections from the headings.
  const RowIndex contents = db.TableRow(u"CONTENTS");
  ASSERT_NE(contents, 0u);
  const auto top = Children(rows, contents, "hierarchy item");
  ASSERT_EQ(top.size(), 3u);
  EXPECT_EQ(top[0].first, "About this sample");
  EXPECT_EQ(top[1].first, "Heart and circulation");
  EXPECT_EQ(top[2].first, "lungs");
  const auto heart = Children(rows, top[1].second, "hierarchy item");
  ASSERT_EQ(heart.size(), 2u);
  EXPECT_EQ(heart[0].first, "Atrial fibrillation");
  EXPECT_EQ(heart[1].first, "Heart failure");
  std::vector<std::string> headings;
  for (const auto& [text, row] : Children(rows, contents, "field name")) headings.push_back(text);
  EXPECT_EQ(headings,
            (std::vector<std::string>{"Overview", "How to read it", "Features", "Management"}));

  // The AF record: a field per heading (empty where it has none), its
  // explicit key, a footnote per Markdown footnote, a figure and a grid.
  const std::size_t af = heart[0].second;
  EXPECT_EQ(rows[af]["key"], 1001);
  const auto fields = Children(rows, af, "field");
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_NE(fields[0].first.find("without organised atrial activity.<SUP><A HREF='"),
            std::string::npos)
      << fields[0].first;
  EXPECT_EQ(fields[1].first, "");
  EXPECT_NE(fields[2].first.find("An <B>irregularly irregular</B> pulse"), std::string::npos);
  EXPECT_NE(fields[2].first.find("<IMG SRC='"), std::string::npos);
  EXPECT_NE(fields[3].first.find(">Table 1</A>"), std::string::npos);
  const auto notes = Children(rows, af, "footnotes");
  ASSERT_EQ(notes.size(), 1u);
  const auto footnotes = Children(rows, notes[0].second, "footnote");
  ASSERT_EQ(footnotes.size(), 2u);
  EXPECT_EQ(footnotes[0].first, "Confirm on a 12-lead ECG.");
  // The first footnote mark links to the first footnote's row.
  EXPECT_NE(fields[0].first.find("HREF='" + std::to_string(footnotes[0].second) + "'>1</A>"),
            std::string::npos);
  // A link to another topic's file leads to its row.
  const auto failure = Children(rows, heart[1].second, "field");
  ASSERT_EQ(failure.size(), 4u);
  EXPECT_NE(failure[3].first.find("HREF='" + std::to_string(af) + "'>atrial fibrillation</A>"),
            std::string::npos);

  // The figure: a table of type figure whose item is the PNG, sized from it.
  const RowIndex figure = db.TableRow(u"Sinus rhythm above, atrial fibrillation below");
  ASSERT_NE(figure, 0u);
  EXPECT_NE(fields[2].first.find("<IMG SRC='" + std::to_string(figure) + "'>"), std::string::npos);
  EXPECT_TRUE(TableTypeIs(db, figure, u"figure"));
  std::vector<std::uint8_t> head(3 + 11);
  ASSERT_TRUE(db.ReadBinary(0, std::span(head), 0));
  EXPECT_EQ(head[0], 1);  // one variant of 240 x 120
  EXPECT_EQ(head[3] << 8 | head[4], 240);
  EXPECT_EQ(head[5] << 8 | head[6], 120);

  // The grid: three columns, a row per table line.
  const RowIndex grid = db.TableRow(u"Atrial fibrillation: table 1");
  ASSERT_NE(grid, 0u);
  EXPECT_TRUE(TableTypeIs(db, grid, u"table"));
  std::vector<std::string> columns;
  for (const auto& [text, row] : Children(rows, grid, "column name")) columns.push_back(text);
  EXPECT_EQ(columns, (std::vector<std::string>{"Drug", "Usual first dose", "Notes"}));
  EXPECT_EQ(Children(rows, grid, "row").size(), 2u);

  // INDEX: every title and term, grouped by letter, in the search's order
  // (vrok-dump check finds nothing), Ö after Z.
  const RowIndex index = db.TableRow(u"INDEX");
  std::vector<std::string> letters;
  for (const auto& [text, row] : Children(rows, index, "hierarchy item")) letters.push_back(text);
  EXPECT_EQ(letters,
            (std::vector<std::string>{"A", "C", "F", "H", "I", "M", "O", "S", "W", "\xc3\x96"}));
  const auto a =
      Children(rows, Children(rows, index, "hierarchy item")[0].second, "hierarchy item");
  ASSERT_EQ(a.size(), 4u);
  EXPECT_EQ(a[0].first, "About this sample");
  EXPECT_EQ(a[1].first, "AF");
  EXPECT_EQ(a[2].first, "Asthma, acute");
  EXPECT_EQ(a[3].first, "Atrial fibrillation");
  const auto link = Children(rows, a[1].second, "link");
  ASSERT_EQ(link.size(), 1u);
  EXPECT_EQ(rows[link[0].second]["value"], af);
  const auto check = Program(std::string(VROK_DUMP) + " check " + dir.File("out"));
  EXPECT_EQ(check.status, 0) << check.out;
}

TEST_F(MarkdownBook, BadSourcesNameTheirFileAndLine) {
  struct Case {
    std::string file, text, expected;
  };
  const std::vector<Case> cases = {
      {"lungs/asthma.md", "---\ntitle: [unclosed\n---\nText.\n", "not valid YAML"},
      {"lungs/asthma.md", "---\nid: x\n---\nText.\n",
       "lungs/asthma.md:1: the front matter needs a \"title\""},
      {"lungs/asthma.md", "---\ntitle: A\ncolour: red\n---\n",
       "lungs/asthma.md:3: unknown front matter \"colour\""},
      {"lungs/asthma.md", "---\njust words\n---\n",
       "lungs/asthma.md:2: the front matter must be a map"},
      {"lungs/asthma.md", "---\ntitle: A\n---\n\nSee [this](nowhere.md).\n",
       "lungs/asthma.md:5: the link leads to no topic: nowhere.md"},
      {"lungs/asthma.md", "---\ntitle: A\n---\n# A\n",
       "lungs/asthma.md:4: the title goes in the front matter"},
      {"lungs/asthma.md", "---\ntitle: A\n---\nText.\n\n<div>x</div>\n",
       "lungs/asthma.md:6: HTML blocks"},
      {"lungs/asthma.md", "---\ntitle: A\n---\n![x](missing.png)\n",
       "lungs/asthma.md:4: no picture"},
      {"lungs/asthma.md", "---\ntitle: A\nid: af\n---\n", "the id 'af' is taken by another topic"},
  };
  for (const Case& c : cases) {
    const std::string src = Sample();
    std::ofstream(src + "/" + c.file) << c.text;
    const auto run = Compile(src);
    EXPECT_EQ(run.status, 1) << c.text;
    EXPECT_NE(run.out.find(c.expected), std::string::npos) << c.text << "\n" << run.out;
    EXPECT_FALSE(fs::exists(dir.File("out/VROK-Vrok-Data.pdb"))) << c.text;
    fs::remove_all(src);
  }
  // A folder without book.yaml is no Markdown book.
  const std::string src = Sample();
  fs::remove(src + "/book.yaml");
  const auto run = Compile(src);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("book.yaml: a Markdown book needs this file"), std::string::npos)
      << run.out;
}

// Text that looks like a placeholder stays text.
TEST_F(MarkdownBook, BracesInTheTextAreKept) {
  const std::string src = Sample();
  std::ofstream(src + "/about.md") << "---\ntitle: About\n---\nWrite {{row:x}} for a row.\n";
  const auto run = Compile(src);
  ASSERT_EQ(run.status, 0) << run.out;
  bool found = false;
  for (const auto& row : Rows())
    found = found || row.value("text", "") == "Write {{row:x}} for a row.";
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace vrok
