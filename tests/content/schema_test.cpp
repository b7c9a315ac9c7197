// Schema queries over the fixture book.

#include "content/schema.h"

#include <gtest/gtest.h>

#include "book_fixture.h"
#include "content/node_cursor.h"

namespace vrok {
namespace {

class Schema : public ::testing::Test {
 protected:
  test::Fixture fx;
  ContentDatabase db{fx.prefix};
};

TEST_F(Schema, TablesAndTheirTypes) {
  const RowIndex book = fx.Row("book"), a = fx.Row("a"), inner = fx.Row("inner");
  EXPECT_EQ(db.TableRow(u"BOOK"), book);
  EXPECT_TRUE(TableNameIs(db, book, u"BOOK"));  // a table node names itself
  EXPECT_TRUE(TableNameIs(db, a, u"BOOK"));     // a record names its table
  EXPECT_FALSE(TableNameIs(db, a, u"BOO"));
  EXPECT_TRUE(TableNameIs(db, inner, u"INNER"));
  std::u16string name;
  ASSERT_TRUE(TableNameOf(db, fx.Row("f1"), name));
  EXPECT_EQ(name, u"BOOK");
  EXPECT_FALSE(TableNameOf(db, 0, name));

  EXPECT_TRUE(TableTypeIs(db, a, u"html"));
  EXPECT_FALSE(TableTypeIs(db, a, u"HTML"));
  EXPECT_TRUE(OwnTableTypeIs(db, book, u"html"));
  EXPECT_FALSE(OwnTableTypeIs(db, a, u"html"));
  EXPECT_TRUE(TableTypeIs(db, inner, u"grid"));

  EXPECT_EQ(TableRowOf(db, a), book);
  EXPECT_EQ(TableRowOf(db, book), 0u);  // a table enclosed by no other
  EXPECT_EQ(TableRowOf(db, inner), book);

  EXPECT_TRUE(IsDefinitionsTable(db, fx.Row("ofns")));
  EXPECT_TRUE(IsDefinitionsTable(db, fx.Row("other")));  // stays on the table row
  EXPECT_FALSE(IsDefinitionsTable(db, a));
}

TEST_F(Schema, IsPathReadsTheLowByte) {
  std::uint8_t flag = 7;
  ASSERT_TRUE(IsPath(db, fx.Row("f1"), flag));
  EXPECT_EQ(flag, 0);  // 256
  flag = 7;
  EXPECT_FALSE(IsPath(db, fx.Row("other"), flag));
  EXPECT_EQ(flag, 7);
}

TEST_F(Schema, Footnotes) {
  EXPECT_EQ(FootnotesRowOf(db, fx.Row("a")), fx.Row("fns"));
  EXPECT_EQ(FootnotesRowOf(db, fx.Row("book")), fx.Row("fns"));  // its own child
  std::u16string text = u"before:";
  ASSERT_TRUE(AppendFootnotes(db, fx.Row("fns"), text));
  EXPECT_EQ(text, u"before:first<BR><BR>second<BR><BR>");
  EXPECT_FALSE(AppendFootnotes(db, fx.Row("a"), text));
  std::u16string one;
  NodeCursor c(db, fx.Row("fns"));
  ASSERT_TRUE(c.ToChild(u"footnote"));
  EXPECT_TRUE(FootnoteText(db, c.Row().row, one));
  EXPECT_EQ(one, u"first");
  EXPECT_FALSE(FootnoteText(db, fx.Row("a"), one));
  EXPECT_FALSE(PopupText(db, c.Row().row, one));
}

TEST_F(Schema, FieldsChildrenAndStrings) {
  EXPECT_TRUE(FieldIs(db, fx.Row("a"), u"hierarchy item"));
  EXPECT_FALSE(FieldIs(db, fx.Row("a"), u"Hierarchy item"));
  EXPECT_TRUE(HasChild(db, fx.Row("a"), u"field"));
  EXPECT_FALSE(HasChild(db, fx.Row("b"), u"field"));
  std::u16string text;
  EXPECT_TRUE(StringOf(db, fx.Row("b"), text));
  EXPECT_EQ(text, u"B");
  EXPECT_FALSE(ViewModeIs(db, fx.Row("a"), u""));
}

TEST_F(Schema, RowsOutOfRangeAnswerNothing) {
  const RowIndex beyond = db.RowCount();
  std::u16string text = u"kept";
  std::uint8_t flag = 9;
  EXPECT_FALSE(FieldIs(db, beyond, u"table"));
  EXPECT_FALSE(HasChild(db, beyond, u"table"));
  EXPECT_FALSE(StringOf(db, beyond, text));
  EXPECT_FALSE(TableNameIs(db, beyond, u"BOOK"));
  EXPECT_FALSE(TableTypeIs(db, beyond, u"html"));
  EXPECT_FALSE(IsPath(db, beyond, flag));
  EXPECT_FALSE(AppendFootnotes(db, beyond, text));
  EXPECT_EQ(TableRowOf(db, beyond), 0u);
  EXPECT_EQ(FootnotesRowOf(db, beyond), 0u);
  EXPECT_EQ(text, u"kept");
  EXPECT_EQ(flag, 9);
}

}  // namespace
}  // namespace vrok
