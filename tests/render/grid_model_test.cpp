// Grid tables: cells, sizes and scroll bars.

#include "core/pages/grid_columns.h"
#include "core/pages/grid_model.h"

#include <gtest/gtest.h>

#include "support/test_books.h"

namespace vrok {
namespace {

using test::Num;
using test::Str;
using test::TestBook;
using test::WithId;

Book GridBook() {
  Book b;
  b.root = Num(
      u"root", 0,
      {WithId(
           Str(u"table", u"Doses",
               {Str(u"table type", u"table"), Num(u"column count", 3), Str(u"column name", u"Drug"),
                Str(u"column name", u"Dose"), Str(u"column name", u"Route"),
                Str(u"row", u"",
                    {Str(u"field", u"A"), Str(u"field", u"1 mg"), Str(u"field", u"iv")}),
                Str(u"row", u"", {Str(u"field", u"B"), Str(u"field", u"2 mg")}),
                Str(u"row", u"", {Str(u"field", u"C <B>x</B>")}),
                WithId(Str(u"footnote", u"Adult doses."), "note"), Str(u"footnote", u"Check.")}),
           "doses"),
       WithId(Str(u"table", u"Bare", {Str(u"table type", u"table"), Str(u"row", u"")}), "bare"),
       WithId(Str(u"table", u"Html", {Str(u"table type", u"html")}), "html")});
  return b;
}

TEST(GridModel, CellsHeaderAndMissingCells) {
  const TestBook book(GridBook());
  EXPECT_EQ(GridModel::GridTableOf(*book.db, book["doses"]), book["doses"]);
  EXPECT_EQ(GridModel::GridTableOf(*book.db, book["note"]), book["doses"]);
  EXPECT_FALSE(GridModel::GridTableOf(*book.db, book["html"]));
  EXPECT_FALSE(GridModel::GridTableOf(*book.db, 0));

  GridModel model(*book.db);
  model.SetTable(book["doses"]);
  EXPECT_EQ(model.ColumnCount(), 3u);
  EXPECT_EQ(model.RowCount(), 4u);  // three rows and the header
  EXPECT_EQ(model.Title(), u"Doses");
  EXPECT_EQ(model.Cell(0, 1), u"Dose");
  EXPECT_EQ(model.Cell(1, 2), u"iv");
  EXPECT_EQ(model.Cell(3, 0), u"C <B>x</B>");
  RowIndex row = 7;
  EXPECT_EQ(model.Cell(2, 2, &row), u"");  // a short row
  EXPECT_EQ(row, 0u);
  EXPECT_EQ(model.Cell(2, 1, &row), u"2 mg");
  EXPECT_NE(row, 0u);
  EXPECT_EQ(model.Cell(2, 1), u"2 mg");  // again, from the cache
  EXPECT_EQ(model.Cell(9, 9), u"");
  EXPECT_EQ(model.Footnotes(), u"Adult doses.<BR>Check.<BR>");

  model.SetTable(book["bare"]);  // no column count: no columns
  EXPECT_EQ(model.ColumnCount(), 0u);
  EXPECT_EQ(model.RowCount(), 2u);
  EXPECT_EQ(model.Cell(0, 0), u"");
}

TEST(GridMetrics, LayoutArithmetic) {
  const GridMetrics at96 = GridMetrics::For(96, 96, 0);
  EXPECT_EQ(at96.line, 1);
  EXPECT_EQ(at96.inset, 3);
  EXPECT_EQ(at96.column, 70);
  EXPECT_EQ(at96.scrollBar, 13);
  EXPECT_EQ(at96.rowHeight, 2 + 16);
  EXPECT_EQ(at96.TableWidth(4), 309);
  EXPECT_EQ(at96.TableHeight(4), 4 * (1 + 18) + 1);
  const GridMetrics at192 = GridMetrics::For(192, 192, 30);
  EXPECT_EQ(at192.line, 2);
  EXPECT_EQ(at192.inset, 6);
  EXPECT_EQ(at192.column, 140);
  EXPECT_EQ(at192.rowHeight, 34);
  EXPECT_EQ(at192.TableWidth(4), 4 * (140 + 12 + 2) + 2);
}

TEST(GridMetrics, ScrollBarsOnlyWhenNeeded) {
  const auto fits = NeedScrollBars(200, 100, 240, 200, 13);
  EXPECT_FALSE(fits.horizontal);
  EXPECT_FALSE(fits.vertical);
  const auto wide = NeedScrollBars(309, 100, 240, 200, 13);
  EXPECT_TRUE(wide.horizontal);
  EXPECT_FALSE(wide.vertical);
  // The horizontal bar takes 13 pixels of height, which the table needed.
  const auto both = NeedScrollBars(309, 195, 240, 200, 13);
  EXPECT_TRUE(both.horizontal);
  EXPECT_TRUE(both.vertical);
  // The vertical bar takes 13 pixels of width, which the table needed.
  const auto tall = NeedScrollBars(235, 300, 240, 200, 13);
  EXPECT_TRUE(tall.vertical);
  EXPECT_TRUE(tall.horizontal);
}

}  // namespace
}  // namespace vrok

namespace vrok {
namespace {

TEST(FitColumns, EachColumnFitsItsLongestCellWithinTheBoundsAndSharesTheRest) {
  // Room to spare: clamped widths, then the spare shared, remainder first.
  EXPECT_EQ(FitColumns({30, 100, 500}, 50, 200, 400), (std::vector<int>{67, 117, 216}));
  EXPECT_EQ(FitColumns({30, 100, 500}, 50, 200, 350), (std::vector<int>{50, 100, 200}));
  // No room to spare: the clamped widths, wider than the room (scrolled).
  EXPECT_EQ(FitColumns({300, 300}, 50, 200, 100), (std::vector<int>{200, 200}));
  // The sum fills the room exactly whenever there is spare width.
  for (const std::int64_t room : {351, 352, 353, 999}) {
    const auto w = FitColumns({30, 100, 500}, 50, 200, room);
    EXPECT_EQ(w[0] + w[1] + w[2], room);
  }
  EXPECT_TRUE(FitColumns({}, 50, 200, 1000).empty());
  // A most below least, or a least below 1, is raised.
  EXPECT_EQ(FitColumns({10, 500}, 60, 20, 0), (std::vector<int>{60, 60}));
  EXPECT_EQ(FitColumns({0}, 0, 0, 0), (std::vector<int>{1}));
}

}  // namespace
}  // namespace vrok
