// The list-rendered hierarchy views: acceptance and the item tree.

#include "core/pages/tree_model.h"

#include <gtest/gtest.h>

#include "support/test_books.h"

namespace vrok {
namespace {

using test::Num;
using test::Ref;
using test::Str;
using test::TestBook;
using test::WithId;

Book TreeBook() {
  Book b;
  b.root = Num(
      u"root", 0,
      {WithId(
           Str(u"table", u"TREE",
               {Str(u"table type", u"tight hierarchy"),
                WithId(
                    Str(u"hierarchy item", u"<B>Heart</B> &amp; vessels",
                        {WithId(Str(u"hierarchy item", u"Arrhythmias",
                                    {WithId(Str(u"hierarchy item", u"AF",
                                                {WithId(Str(u"field", u"irregular"), "affield")}),
                                            "af")}),
                                "arrhythmias"),
                         WithId(Str(u"hierarchy item", u"Linked", {Ref(u"link", "other")}),
                                "linked")}),
                    "heart")}),
           "tree"),
       WithId(Str(u"table", u"LINKED",
                  {Str(u"table type", u"linked tight hierarchy"),
                   WithId(Str(u"hierarchy item", u"x"), "lx")}),
              "linkedtable"),
       WithId(Str(u"table", u"CONF",
                  {Str(u"table type", u"configurable tight hierarchy"),
                   WithId(Str(u"hierarchy item", u"Moded",
                              {Str(u"view mode", u"index"),
                               WithId(Str(u"hierarchy item", u"under mode"), "undermode")}),
                          "moded")}),
              "conf"),
       WithId(Str(u"table", u"OTHER", {Str(u"table type", u"html")}), "other")});
  return b;
}

TEST(TreeViews, WhichPagesTheyTake) {
  const TestBook book(TreeBook());
  const TreeDecision table = DecideTree(*book.db, book["tree"]);
  ASSERT_TRUE(table.accept);
  EXPECT_EQ(table.table, book["tree"]);
  EXPECT_EQ(table.listRoot, book["tree"]);
  EXPECT_FALSE(table.linked);

  const TreeDecision field = DecideTree(*book.db, book["affield"]);
  ASSERT_TRUE(field.accept);
  EXPECT_EQ(field.row, book["af"]);
  EXPECT_EQ(field.jumpToField, book["affield"]);
  EXPECT_EQ(field.listRoot, book["tree"]);

  const TreeDecision linked = DecideTree(*book.db, book["linkedtable"]);
  ASSERT_TRUE(linked.accept);
  EXPECT_TRUE(linked.linked);
  EXPECT_EQ(linked.listRoot, book["linkedtable"]);  // the row itself
  EXPECT_EQ(DecideTree(*book.db, book["lx"]).listRoot, book["linkedtable"]);

  EXPECT_FALSE(DecideTree(*book.db, book["other"]).accept);
  EXPECT_FALSE(DecideTree(*book.db, book["moded"]).accept);
  EXPECT_FALSE(DecideTree(*book.db, 0).accept);
  EXPECT_FALSE(DecideTree(*book.db, book.db->RowCount()).accept);
}

TEST(TreeViews, ItemsLabelsLeavesAndTargets) {
  const TestBook book(TreeBook());
  const TreeItemModel model(*book.db, false);
  EXPECT_EQ(model.Label(book["heart"]), u"Heart & vessels");
  EXPECT_EQ(model.Children(book["tree"]), std::vector<RowIndex>{book["heart"]});
  EXPECT_EQ(model.Children(book["heart"]),
            (std::vector<RowIndex>{book["arrhythmias"], book["linked"]}));
  EXPECT_FALSE(model.IsLeaf(book["heart"]));
  EXPECT_TRUE(model.IsLeaf(book["af"]));
  EXPECT_EQ(model.RevealChain(book["af"]),
            (std::vector<RowIndex>{book["heart"], book["arrhythmias"], book["af"]}));
  EXPECT_EQ(model.Target(book["linked"]), book["other"]);
  EXPECT_EQ(model.Target(book["af"]), book["affield"]);
  EXPECT_EQ(model.Target(book["arrhythmias"]), book["arrhythmias"]);

  const TreeItemModel configurable(*book.db, true);
  EXPECT_TRUE(configurable.IsLeaf(book["moded"]));  // a view mode makes a leaf
  EXPECT_FALSE(TreeItemModel(*book.db, false).IsLeaf(book["moded"]));
  EXPECT_EQ(configurable.RevealChain(book["undermode"]), std::vector<RowIndex>{book["undermode"]});
}

}  // namespace
}  // namespace vrok
