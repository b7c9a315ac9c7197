// JSON book sources.

#include "content/writer/book_source.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "cli/search_order.h"
#include "command_run.h"
#include "content/content_database.h"
#include "content/node_cursor.h"
#include "support/test_books.h"

namespace vrok {
namespace {

std::string ErrorOf(const std::string& json) {
  std::string error;
  EXPECT_FALSE(ParseBookSource(json, ".", error)) << json;
  return error;
}

TEST(BookSource, ParsesNodesItemsAndStamps) {
  test::TempDir dir;
  test::WriteAll(dir.File("a.png"), {1, 2});
  test::WriteAll(dir.File("raw.bin"), {9});
  const std::string json = R"({
    "stamps": [2, 3, 4],
    "items": [{"file": "raw.bin"},
              {"variants": [{"width": 240, "height": 320, "file": "a.png"}]}],
    "root": {"field": "root", "children": [
      {"id": "t", "field": "table", "text": "CONTENTS \u00e9", "key": 9, "children": [
        {"field": "table type", "text": "html"},
        {"field": "link", "ref": "t"},
        {"field": "flag", "type": "bit", "value": 1}]}]}})";
  std::string error;
  const auto book = ParseBookSource(json, dir.Path(), error);
  ASSERT_TRUE(book) << error;
  EXPECT_EQ(book->stamp1, 2);
  EXPECT_EQ(book->stamp3, 4u);
  ASSERT_EQ(book->items.size(), 2u);
  EXPECT_EQ(book->items[0], std::vector<std::uint8_t>{9});
  EXPECT_EQ(book->items[1], MakeImageItem({{240, 320, {1, 2}}}));
  const BookNode& t = book->root.children.at(0);
  EXPECT_EQ(t.type, u"string");
  EXPECT_EQ(t.text, u"CONTENTS \u00e9");
  EXPECT_EQ(t.key, 9u);
  EXPECT_EQ(t.children.at(1).ref, "t");
  EXPECT_EQ(t.children.at(2).type, u"bit");

  const ContentDatabase db(test::WriteTestBook(*book, dir));
  EXPECT_EQ(db.TableRow(u"CONTENTS \u00e9"), 1u);
}

// A questionnaire control is typed by its kind ("radio button") and still
// shows a label: the label is stored as a string and the value is its id.
TEST(BookSource, TypedNodeWithATextStoresTheTextsId) {
  test::TempDir dir;
  std::string error;
  const auto book = ParseBookSource(R"({"root": {"field": "root", "children": [
      {"field": "radio button", "type": "radio button", "text": "Opens eyes"},
      {"field": "radio button", "type": "radio button", "value": 0}]}})",
                                    dir.Path(), error);
  ASSERT_TRUE(book) << error;
  const ContentDatabase db(test::WriteTestBook(*book, dir));
  NodeCursor c(db, 1);
  EXPECT_EQ(c.TypeName(), u"radio button");
  std::u16string text;
  EXPECT_FALSE(c.ReadString(text)) << "only \"string\" rows read as strings";
  ASSERT_TRUE(db.ReadString(StringId{c.Row().value}, text));
  EXPECT_EQ(text, u"Opens eyes");
  ASSERT_TRUE(c.ToNextSibling());
  EXPECT_EQ(c.Row().value, 0u);
}

TEST(BookSource, ClearMessagesForBadSources) {
  EXPECT_NE(ErrorOf("{").find("not valid JSON"), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"root": {"text": "x"}})").find("needs a \"field\""), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"root": {"field": "r", "colour": 1}})").find("unknown member \"colour\""),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"root": {"field": "r", "children": [{"field": "a", "value": -1}]}})")
                .find("root/r[0]/a: \"value\""),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"root": {"field": "r", "text": "a", "value": 1}})").find("only one of"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"root": {"field": "r"}, "items": [{"file": "nope.bin"}]})")
                .find("cannot read ./nope.bin"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"root": {"field": "r", "id": "x", "type": "number", "text": "a"}})")
                .find("node 'x': \"text\" needs the type"),
            std::string::npos);
}

// A node that first names its type (here "number", for a table without a
// text) may grow the list of names while the node's own field name is
// still wanted: with 1 to 40 names before it, whatever the list's room,
// a sorted table is read and a "sort" elsewhere refused (the sanitizer
// build catches a read of the old list).
TEST(BookSource, NamingATypeKeepsTheNodesFieldName) {
  for (int names = 1; names <= 40; ++names) {
    std::string children;
    for (int i = 0; i < names; ++i)
      children += R"({"field": "f)" + std::to_string(i) + R"(", "text": "x"}, )";
    const std::string json = R"({"root": {"field": "root", "text": "r", "children": [)" + children +
                             R"({"field": "table", "sort": true}]}})";
    std::string error;
    EXPECT_TRUE(ParseBookSource(json, ".", error)) << names << ": " << error;
    std::string misplaced = json;
    misplaced.replace(misplaced.rfind(R"("field": "table")"), 16, R"("field": "tablet")");
    EXPECT_NE(ErrorOf(misplaced).find("\"sort\" belongs on a table"), std::string::npos) << names;
  }
}

// vrok-book reads a source into compact records; the same source read into
// BookNodes (sorted the same way) must give the same bytes: names first met
// inside a sorted list, characters beyond U+FFFF, placeholders, typed texts,
// refs and explicit keys included.
TEST(BookSource, RecordsAndNodesWriteTheSameBook) {
  test::TempDir dir;
  const std::string json = R"({"stamps": [3, 4, 5], "root": {"field": "root", "children": [
    {"field": "table", "text": "INDEX", "id": "index", "sort": true, "children": [
      {"field": "table type", "text": "index"},
      {"field": "hierarchy item", "text": "zebra", "children": [{"field": "late field", "value": 7}]},
      {"field": "hierarchy item", "text": "\u00c4rger \ud83d\ude00", "id": "a",
       "children": [{"field": "another", "ref": "b"}]},
      {"field": "hierarchy item", "text": "apple {{row:b}} {{open}}row:", "key": 77}]},
    {"field": "radio button", "type": "radio button", "text": "label"},
    {"field": "table", "text": "B", "id": "b", "children": [
      {"field": "table type", "text": "html"}, {"field": "string only", "type": "string"},
      {"field": "flag", "type": "bit", "value": 1}]}]}})";
  std::ofstream(dir.File("book.json")) << json;
  const auto run = test::RunCommand(std::string(VROK_BOOK) + " " + dir.File("book.json") + " " +
                                    dir.File("records") + " 2>&1");
  ASSERT_EQ(run.status, 0) << run.out;

  std::string error;
  auto book = ParseBookSource(json, dir.Path(), error);
  ASSERT_TRUE(book) << error;
  SortSearchLists(book->root);
  ASSERT_EQ(::mkdir(dir.File("nodes").c_str(), 0755), 0);
  const auto written = WriteBook(*book, dir.File("nodes"));
  ASSERT_TRUE(written.ok) << written.message;
  for (const char* file :
       {"VROK-Vrok-Data.pdb", "VROK-Vrok-Strings.pdb", "VROK-Vrok-Binary-PPC.pdb"}) {
    EXPECT_EQ(test::ReadAll(dir.File(std::string("records/") + file)),
              test::ReadAll(dir.File(std::string("nodes/") + file)))
        << file;
  }
  // The sorted list, read back: "apple" first, the Ä entry after "zebra".
  const ContentDatabase db(dir.File("records/VROK-Vrok"));
  NodeCursor c(db, db.TableRow(u"INDEX"));
  ASSERT_TRUE(c.ToChild(u"hierarchy item"));
  std::u16string text;
  ASSERT_TRUE(c.ReadString(text));
  const std::string rowOfB = std::to_string(db.TableRow(u"B"));
  EXPECT_EQ(text, u"apple " + std::u16string(rowOfB.begin(), rowOfB.end()) + u" {{row:");
  ASSERT_TRUE(c.ToNextSibling());
  ASSERT_TRUE(c.ToNextSibling());
  ASSERT_TRUE(c.ReadString(text));
  EXPECT_EQ(text, u"\u00c4rger \U0001F600");
}

}  // namespace
}  // namespace vrok
