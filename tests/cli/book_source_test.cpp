// JSON book sources.

#include "content/writer/book_source.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vrok
