// Moving through the node tree.

#include <gtest/gtest.h>

#include "book_fixture.h"
#include "content/internal/bits.h"
#include "content/node_cursor.h"

namespace vrok {
namespace {

class Cursor : public ::testing::Test {
 protected:
  test::Fixture fx;
  ContentDatabase db{fx.prefix};

  NodeCursor At(std::string_view id) { return NodeCursor(db, fx.Row(id)); }
  std::u16string Text(const NodeCursor& c) {
    std::u16string t;
    c.ReadString(t);
    return t;
  }
};

TEST_F(Cursor, RunsAreWalkedByOffset) {
  NodeCursor c = At("a");
  ASSERT_TRUE(c.ToChild(u"field"));
  EXPECT_EQ(c.Row().row, fx.Row("f1"));
  EXPECT_EQ(c.FollowerCount(), 2u);
  NodeCursor third = c;
  ASSERT_TRUE(third.ToRunOffset(2));
  EXPECT_EQ(third.Row().row, fx.Row("f3"));
  EXPECT_FALSE(c.ToRunOffset(3));
  EXPECT_EQ(c.Row().row, fx.Row("f1"));
}

TEST_F(Cursor, FailedMovesLeaveTheCursorInPlace) {
  NodeCursor c = At("fns");
  EXPECT_FALSE(c.ToChildValue(u"footnote", 5));
  EXPECT_EQ(c.Row().row, fx.Row("fns"));
  ASSERT_TRUE(c.ToChildValue(u"footnote", 1));
  EXPECT_EQ(Text(c), u"second");
  EXPECT_FALSE(c.ToChild(u"no such field"));
  EXPECT_FALSE(c.ToAncestor(u"no such field"));
  EXPECT_FALSE(c.ToNextNamed(u"no such field"));
  EXPECT_EQ(Text(c), u"second");
}

TEST_F(Cursor, AncestorsParentsAndSiblings) {
  NodeCursor inner = At("inner");
  ASSERT_TRUE(inner.ToAncestor(u"table"));  // not itself
  EXPECT_EQ(inner.Row().row, fx.Row("book"));

  NodeCursor root(db, 0);
  EXPECT_FALSE(root.ToParent());
  EXPECT_FALSE(root.ToAncestor(u"root"));
  NodeCursor f1 = At("f1");
  ASSERT_TRUE(f1.ToParent());
  EXPECT_EQ(f1.Row().row, fx.Row("a"));

  NodeCursor last = At("f3");
  ASSERT_LT(last.Row().row + 1, db.RowCount());  // a next row exists ...
  EXPECT_FALSE(last.ToNextSibling());            // ... but has another parent
  NodeCursor first = At("inner");
  ASSERT_TRUE(first.ToNextSibling());
  EXPECT_EQ(first.Row().row, fx.Row("f1"));
}

TEST_F(Cursor, FirstChild) {
  NodeCursor a = At("a");
  ASSERT_TRUE(a.ToFirstChild());
  EXPECT_EQ(a.Row().row, fx.Row("inner"));  // "table" sorts before "field" here
  NodeCursor root(db, 0);
  ASSERT_TRUE(root.ToFirstChild());
  EXPECT_EQ(root.Row().row, fx.Row("book"));
  NodeCursor leaf = At("b");
  EXPECT_FALSE(leaf.ToFirstChild());
  NodeCursor lastLeaf(db, db.RowCount() - 1);
  EXPECT_FALSE(lastLeaf.ToFirstChild());
}

TEST_F(Cursor, NextNamedStopsAtTheEndOfTheSiblings) {
  NodeCursor c(db, fx.Row("book"));
  ASSERT_TRUE(c.ToChild(u"table type"));
  ASSERT_TRUE(c.ToNextNamed(u"hierarchy item"));
  EXPECT_EQ(c.Row().row, fx.Row("a"));
  ASSERT_TRUE(c.ToNextNamed(u"hierarchy item"));
  EXPECT_EQ(c.Row().row, fx.Row("b"));
  EXPECT_FALSE(c.ToNextNamed(u"hierarchy item"));
  NodeCursor fromA = At("a");
  EXPECT_FALSE(fromA.ToNextNamed(u"footnotes"));  // lower field id: already passed
}

TEST(CursorRuns, NextNamedJumpsOverLongRunsToTheRightRow) {
  // An item with runs of 300 fields, two items and a link, then a sibling
  // item with a link of its own.
  std::vector<BookNode> children;
  for (int i = 0; i < 300; ++i) children.push_back(test::Str(u"field", u"f"));
  children.push_back(test::Str(u"hierarchy item", u"x"));
  children.push_back(test::Str(u"hierarchy item", u"y"));
  children.push_back(test::Num(u"link", 7));
  Book book;
  book.root =
      test::Num(u"root", 0,
                {test::WithId(test::Str(u"hierarchy item", u"item", std::move(children)), "item"),
                 test::Str(u"hierarchy item", u"after", {test::Num(u"link", 8)})});
  const test::TestBook tb(book);
  const ContentDatabase& db = *tb.db;
  NodeCursor first(db, tb["item"]);
  ASSERT_TRUE(first.ToFirstChild());
  // From every child, the answer a row-by-row scan of the siblings gives.
  for (RowIndex start = first.Row().row; start < first.Row().row + 303; ++start) {
    for (std::u16string_view name : {u"field", u"hierarchy item", u"link"}) {
      const FieldId f = db.FieldIdOf(name);
      RowIndex expected = 0;
      NodeRow r;
      for (RowIndex next = start + 1; next < db.RowCount() && db.ReadRow(next, r); ++next) {
        if (r.parent != tb["item"]) break;
        if (r.field == f) {
          expected = next;
          break;
        }
      }
      NodeCursor c(db, start);
      const bool moved = c.ToNextNamed(name);
      EXPECT_EQ(moved, expected != 0) << "from row " << start;
      EXPECT_EQ(c.Row().row, moved ? expected : start) << "from row " << start;
    }
  }
}

TEST_F(Cursor, CollectChildren) {
  const NodeCursor fns = At("fns");
  std::vector<NodeRow> rows;
  fns.CollectChildren(u"footnote", rows);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(Text(NodeCursor(rows[0])), u"first");
  EXPECT_EQ(Text(NodeCursor(rows[1])), u"second");
  rows.clear();
  fns.CollectChildren(u"footnote", rows, 1);
  EXPECT_EQ(rows.size(), 1u);
  rows.clear();
  fns.CollectChildren(u"field", rows);
  fns.CollectChildren(u"no such field", rows);
  EXPECT_TRUE(rows.empty());
}

TEST_F(Cursor, ReadStringOnlyForStringRows) {
  NodeCursor fns = At("fns");
  std::u16string text = u"kept";
  EXPECT_FALSE(fns.ReadString(text));
  EXPECT_EQ(text, u"kept");
  EXPECT_EQ(fns.TypeName(), u"number");
  EXPECT_EQ(Text(At("a")), u"A");
}

TEST_F(Cursor, KeysMapBackToTheirRows) {
  std::uint32_t largest = 0;
  RowIndex rowOfLargest = 0;
  for (RowIndex r = 0; r < db.RowCount(); ++r) {
    const NodeKey key = db.KeyOfRow(r);
    EXPECT_EQ(db.RowOfKey(key), r);
    if (static_cast<std::uint32_t>(key) >= largest) {
      largest = static_cast<std::uint32_t>(key);
      rowOfLargest = r;
    }
  }
  NodeRow last;
  ASSERT_TRUE(db.ReadRow(db.RowCount() - 1, last));
  EXPECT_EQ(last.keyOrder, rowOfLargest);
  EXPECT_EQ(db.RowOfKey(NodeKey{largest}), rowOfLargest);
  // A key no row has comes back unchanged.
  std::uint32_t absent = largest - 1;
  for (RowIndex r = 0; r < db.RowCount(); ++r) {
    if (db.KeyOfRow(r) == NodeKey{absent}) --absent, r = 0;
  }
  EXPECT_EQ(db.RowOfKey(NodeKey{absent}), absent);
  EXPECT_EQ(db.RowOfKey(NodeKey{0xFFFFFFFFu}), 0xFFFFFFFFu);
  EXPECT_EQ(db.KeyOfRow(db.RowCount()), NodeKey{0});
}

// Points a row's parent field at another row, in the data file itself.
void PatchParent(const std::string& prefix, RowIndex row, RowIndex parent) {
  const ContentDatabase db(prefix);
  const ContentGeometry& g = db.Geometry();
  auto bytes = test::ReadAll(prefix + "-Data.pdb");
  const std::uint64_t bit = g.nodeTableStart * 8 + g.nodeTable.ChunkOffset(row) * 8 +
                            g.nodeTable.BitInChunk(row) + g.keyWidth;
  WriteBits(bytes, bit, g.rowWidth, parent);
  test::WriteAll(prefix + "-Data.pdb", bytes);
}

TEST(CursorDamage, ParentsThatDoNotPointBackwardsEndTheWalk) {
  test::Fixture fx;
  const RowIndex a = fx.Row("a"), f1 = fx.Row("f1");
  PatchParent(fx.prefix, a, a);        // a loop onto itself
  PatchParent(fx.prefix, f1, f1 + 1);  // a forward pointer
  const ContentDatabase db(fx.prefix);
  ASSERT_TRUE(db.IsReady());
  NodeCursor c(db, a);
  EXPECT_FALSE(c.ToParent());
  EXPECT_FALSE(c.ToAncestor(u"table"));
  NodeCursor leaf(db, f1);
  EXPECT_FALSE(leaf.ToParent());
  EXPECT_FALSE(leaf.ToAncestor(u"root"));
  EXPECT_EQ(leaf.Row().row, f1);
  NodeCursor f2(db, f1 + 1);  // its own parent is intact: a, whose parent loops
  EXPECT_FALSE(f2.ToAncestor(u"table"));
}

}  // namespace
}  // namespace vrok
