// Which pages the HTML hierarchy view takes, and how.

#include "core/pages/hierarchy_rules.h"

#include <gtest/gtest.h>

#include "core/pages/titles.h"

#include "support/test_books.h"

namespace vrok {
namespace {

using test::Num;
using test::Str;
using test::TestBook;
using test::WithId;

Book HierarchyBook() {
  Book b;
  b.root = Num(
      u"root", 0,
      {WithId(Str(u"table", u"CONTENTS", {Str(u"table type", u"html"), Str(u"html", u"<B>hi</B>")}),
              "contents"),
       WithId(Str(u"table", u"A_Z_IN_BRIEF",
                  {Str(u"table type", u"html list"),
                   WithId(Str(u"hierarchy item", u"Asthma",
                              {WithId(Str(u"field", u"wheeze"), "field"),
                               WithId(Str(u"hierarchy item", u"Child asthma",
                                          {WithId(Str(u"field", u"x"), "childfield")}),
                                      "child")}),
                          "record"),
                   WithId(Str(u"hierarchy item", u"Group only"), "group")}),
              "azbrief"),
       WithId(
           Str(u"table", u"CONF",
               {Str(u"table type", u"configurable tight hierarchy"),
                WithId(Str(u"hierarchy item", u"Shown as list",
                           {Str(u"view mode", u"html list"), Str(u"hierarchy item", u"x")}),
                       "conflist"),
                WithId(Str(u"hierarchy item", u"Record", {Str(u"field", u"y")}), "confrecord"),
                WithId(Str(u"hierarchy item", u"With mode and field",
                           {Str(u"view mode", u"index"), WithId(Str(u"field", u"z"), "modefield")}),
                       "confmode")}),
           "conf"),
       WithId(
           Str(u"table", u"EXT",
               {Str(u"table type", u"extended html"), WithId(Str(u"hierarchy item", u"E"), "ext")}),
           "exttable"),
       WithId(Str(u"table", u"PATHS",
                  {Str(u"table type", u"html list"), Num(u"is path", 1),
                   WithId(Str(u"hierarchy item", u"Outer",
                              {WithId(Str(u"hierarchy item", u"Inner", {Str(u"field", u"f")}),
                                      "inner")}),
                          "outer")}),
              "paths"),
       WithId(Str(u"table", u"CALCULATORS", {Str(u"table type", u"html")}), "calculators"),
       WithId(Str(u"table", u"GRID", {Str(u"table type", u"table")}), "grid")});
  return b;
}

class Hierarchy : public ::testing::Test {
 protected:
  TestBook book{HierarchyBook()};
  HierarchyPages pages{book["calculators"], book["azbrief"], 0};
  HierarchyDecision Decide(std::string_view id) {
    return DecideHierarchy(*book.db, book[id], pages);
  }
};

TEST_F(Hierarchy, RecordRedirect) {
  RowIndex jump = 99;
  EXPECT_EQ(RecordRedirect(*book.db, book["record"], jump), book["record"]);
  EXPECT_EQ(jump, 0u);
  EXPECT_EQ(RecordRedirect(*book.db, book["field"], jump), book["record"]);
  EXPECT_EQ(jump, book["field"]);
  EXPECT_EQ(RecordRedirect(*book.db, book["group"], jump), 0u);     // no field
  EXPECT_EQ(RecordRedirect(*book.db, book["confmode"], jump), 0u);  // has a view mode
  EXPECT_EQ(RecordRedirect(*book.db, book["contents"], jump), 0u);
  EXPECT_EQ(RecordRedirect(*book.db, book.db->RowCount(), jump), 0u);
}

TEST_F(Hierarchy, HtmlTablesShowTheirHtmlChildUnderTheTableName) {
  const auto d = Decide("contents");
  EXPECT_TRUE(d.accept);
  EXPECT_FALSE(d.recordPage);
  EXPECT_EQ(d.source, HierarchySource::kChildText);
  EXPECT_EQ(d.title, u"CONTENTS");
}

TEST_F(Hierarchy, FieldsAreShownAsTheirRecordWithAJump) {
  const auto d = Decide("field");
  ASSERT_TRUE(d.accept);
  EXPECT_EQ(d.row, book["record"]);
  EXPECT_EQ(d.jumpToField, book["field"]);
  EXPECT_TRUE(d.recordPage);
  EXPECT_EQ(d.source, HierarchySource::kRecord);
  // The A-Z page and the record itself are left out of the title.
  EXPECT_EQ(d.title, u"");
  EXPECT_EQ(Decide("childfield").title, u"Asthma");
}

TEST_F(Hierarchy, PathTablesKeepTheRecordInTheTitle) {
  EXPECT_EQ(Decide("inner").title, u"PATHS - Outer - Inner");
}

TEST_F(Hierarchy, ConfigurableTables) {
  const auto list = Decide("conflist");
  ASSERT_TRUE(list.accept);
  EXPECT_EQ(list.source, HierarchySource::kChildList);
  EXPECT_EQ(list.title, u"CONF");
  EXPECT_EQ(Decide("confrecord").source, HierarchySource::kRecord);
  EXPECT_FALSE(Decide("confmode").accept);  // a view mode that is not "html list"
  // A field still stands for its record, whatever the record's view mode.
  EXPECT_EQ(Decide("modefield").row, book["confmode"]);
  EXPECT_EQ(Decide("modefield").jumpToField, book["modefield"]);
}

TEST_F(Hierarchy, ExtendedTablesAndCalculators) {
  const auto ext = Decide("ext");
  ASSERT_TRUE(ext.accept);
  EXPECT_EQ(ext.source, HierarchySource::kExtendedRecord);
  EXPECT_EQ(ext.title, u"EXT");
  const auto calc = Decide("calculators");
  ASSERT_TRUE(calc.accept);
  EXPECT_EQ(calc.source, HierarchySource::kCalculators);
  EXPECT_FALSE(Decide("grid").accept);
  EXPECT_FALSE(Decide("group").accept);
  EXPECT_FALSE(DecideHierarchy(*book.db, book.db->RowCount(), pages).accept);
}

// A table's "title" child names it where titles are readable; its name
// still finds it. A page inside a table is named by its own text there.
TEST(ReadableTitles, TablesShowTheirTitlesAndPagesTheirOwnText) {
  TestBook book{[] {
    Book b;
    b.root = Num(
        u"root", 0,
        {WithId(Str(u"table", u"A_Z_IN_BRIEF", {Str(u"table type", u"html list"),
                                                 Str(u"title", u"A to Z in brief"),
                                                 WithId(Str(u"hierarchy item", u"Group"), "group")}),
                "azbrief"),
         WithId(Str(u"table", u"DIAGNOSTIC_INDEX",
                    {Str(u"table type", u"extended html"), Str(u"title", u"Diagnostic index"),
                     WithId(Str(u"hierarchy item", u"Chest pain"), "chest")}),
                "diag"),
         WithId(Str(u"table", u"PATHS",
                    {Str(u"table type", u"html list"), Num(u"is path", 1), Str(u"title", u"Paths"),
                     WithId(Str(u"hierarchy item", u"Outer", {WithId(Str(u"field", u"f"), "f")}),
                            "outer")}),
                "paths"),
         WithId(Str(u"table", u"PLAIN", {Str(u"table type", u"html"), Str(u"html", u"x")}),
                "plain")});
    return b;
  }()};
  const HierarchyPages pages{0, 0, 0};
  const auto title = [&](std::string_view id) {
    return DecideHierarchy(*book.db, book[id], pages).title;
  };
  EXPECT_EQ(book.db->TableRow(u"A_Z_IN_BRIEF"), book["azbrief"]);
  for (const bool readable : {false, true}) {
    SetReadableTitles(readable);
    EXPECT_EQ(ShownName(*book.db, book["azbrief"]), readable ? u"A to Z in brief" : u"A_Z_IN_BRIEF");
    EXPECT_EQ(ShownName(*book.db, book["plain"]), u"PLAIN");  // no title: its name
    EXPECT_EQ(title("chest"), readable ? u"Chest pain" : u"DIAGNOSTIC_INDEX");
    EXPECT_EQ(title("diag"), readable ? u"Diagnostic index" : u"DIAGNOSTIC_INDEX");
    EXPECT_EQ(title("f"), readable ? u"Outer" : u"PATHS - Outer");
  }
  SetReadableTitles(false);
  EXPECT_EQ(ShownName(*book.db, book["azbrief"], true), u"A to Z in brief");
}

TEST(ReadableTitles, APopUpIsCaptionedByTheTermItExplains) {
  EXPECT_EQ(PopupCaption(u"<B>Troponin</B>: a heart muscle protein."), u"Troponin");
  EXPECT_EQ(PopupCaption(u"Peak expiratory flow: the fastest rate."), u"Peak expiratory flow");
  EXPECT_EQ(PopupCaption(u"Short note."), u"Short note.");
  EXPECT_EQ(PopupCaption(u"A note without a term that goes on for rather more than forty letters"),
            u"A note without a term that goes on for\u2026");
  EXPECT_EQ(PopupCaption(u"Ratio: 1: 2"), u"Ratio");
}

}  // namespace
}  // namespace vrok
