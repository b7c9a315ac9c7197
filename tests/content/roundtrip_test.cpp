// Writer -> reader round trip over large random books that cross chunk and
// data-record boundaries.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "content/content_database.h"
#include "content/node_cursor.h"
#include "support/test_books.h"

namespace vrok {
namespace {

constexpr int kRows = 24000;

std::u16string RandomText(std::mt19937& rng) {
  std::uniform_int_distribution<int> len(0, 40);
  std::uniform_int_distribution<int> kind(0, 9);
  std::u16string s;
  for (int n = len(rng); n > 0; --n) {
    const int k = kind(rng);
    if (k < 6) {
      s.push_back(static_cast<char16_t>(u' ' + rng() % 90));  // printable ASCII, no '{'
      if (s.back() == u'{') s.back() = u'x';
    } else if (k < 8) {
      s.push_back(static_cast<char16_t>(0x80 + rng() % 0x780));
    } else {
      s.push_back(static_cast<char16_t>(0x800 + rng() % 0xF7FF));  // includes surrogates
    }
  }
  return s;
}

Book RandomBook(unsigned seed) {
  std::mt19937 rng(seed);
  const std::u16string fields[] = {u"table",    u"field", u"hierarchy item", u"link",  u"html",
                                   u"footnote", u"row",   u"column name",    u"score", u"answer"};
  std::vector<BookNode> nodes(kRows);
  std::vector<int> parent(kRows, -1);
  for (int i = 0; i < kRows; ++i) {
    BookNode& n = nodes[i];
    n.field = i == 0 ? u"root" : fields[rng() % std::size(fields)];
    if (n.field == u"table" || rng() % 3 == 0) {
      n.type = u"string";
      n.text = RandomText(rng);
    } else {
      n.type = rng() % 2 ? u"number" : u"flag";
      n.value = static_cast<std::uint32_t>(rng());
    }
    if (i % 97 == 5) n.id = "node" + std::to_string(i);
    if (i % 131 == 7) n.key = 1000000u + static_cast<std::uint32_t>(i);
    if (i > 0) parent[i] = std::max(0, i - 1 - static_cast<int>(rng() % 60));
  }
  // Children were made after their parents: attach from the last node back.
  for (int i = kRows - 1; i > 0; --i) nodes[parent[i]].children.push_back(std::move(nodes[i]));
  for (auto& n : nodes) std::reverse(n.children.begin(), n.children.end());
  Book book;
  book.stamp3 = seed;
  book.root = std::move(nodes[0]);
  book.items = {std::vector<std::uint8_t>(70000, 0x5A), {1, 2, 3}};
  return book;
}

class RoundTrip : public ::testing::TestWithParam<unsigned> {};

TEST_P(RoundTrip, EveryRowReadsBackAsWritten) {
  const Book book = RandomBook(GetParam());
  std::string error;
  const auto layout = LayOutBook(book, error);
  ASSERT_TRUE(layout) << error;
  test::TempDir dir;
  const ContentDatabase db(test::WriteTestBook(book, dir));
  ASSERT_TRUE(db.IsReady());
  ASSERT_EQ(db.RowCount(), static_cast<std::uint32_t>(kRows));

  // The book must exercise chunk boundaries and rows starting at bit 7.
  const format::PackedArray& t = db.Geometry().nodeTable;
  ASSERT_GE(t.chunks, 3u);
  bool offset7 = false;
  for (RowIndex r = 0; r < t.capacity && !offset7; ++r) offset7 = t.BitInChunk(r) % 8 == 7;
  EXPECT_TRUE(offset7);
  // ... and strings that run across data records.
  EXPECT_GT(test::ReadAll(dir.File("VROK-Vrok-Strings.pdb")).size() - db.Geometry().stringDataStart,
            2 * format::kDataRecordSize);

  std::map<std::pair<RowIndex, FieldId>, RowIndex> firstOfRun;
  std::vector<RowIndex> firstChild(kRows, 0);
  for (RowIndex r = 0; r < db.RowCount(); ++r) {
    const LaidOutRow& want = layout->rows[r];
    NodeRow got;
    ASSERT_TRUE(db.ReadRow(r, got)) << r;
    ASSERT_EQ(static_cast<std::uint32_t>(got.key), want.key) << r;
    ASSERT_EQ(got.field, want.field) << r;
    ASSERT_EQ(got.type, want.type) << r;
    ASSERT_EQ(got.value, want.value) << r;
    ASSERT_EQ(got.followers, want.followers) << r;
    ASSERT_EQ(got.keyOrder, want.keyOrder) << r;
    ASSERT_EQ(db.FieldNames()[got.field], layout->nodes[r]->field) << r;
    if (r == 0) continue;
    ASSERT_EQ(got.parent, want.parent) << r;
    firstOfRun.try_emplace({got.parent, got.field}, r);
    if (firstChild[got.parent] == 0) firstChild[got.parent] = r;
    std::u16string text;
    if (layout->nodes[r]->type == u"string") {
      ASSERT_TRUE(NodeCursor(got).ReadString(text)) << r;
      ASSERT_EQ(text, layout->nodes[r]->text) << r;
    } else {
      ASSERT_FALSE(NodeCursor(got).ReadString(text)) << r;
    }
    ASSERT_EQ(db.RowOfKey(got.key), r);
  }

  // Each node's children, walked by cursor, are the source node's children
  // stably ordered by field id.
  for (RowIndex r = 0; r < db.RowCount(); ++r) {
    std::vector<const BookNode*> kids;
    for (const auto& c : layout->nodes[r]->children) kids.push_back(&c);
    std::stable_sort(kids.begin(), kids.end(), [&db](const BookNode* x, const BookNode* y) {
      return db.FieldIdOf(x->field) < db.FieldIdOf(y->field);
    });
    NodeCursor c(db, r);
    const bool has = c.ToFirstChild();
    ASSERT_EQ(has, !kids.empty()) << r;
    if (has) {
      ASSERT_EQ(c.Row().row, firstChild[r]) << r;
    }
    for (std::size_t k = 0; k < kids.size(); ++k) {
      if (k > 0) {
        ASSERT_TRUE(c.ToNextSibling()) << r;
      }
      ASSERT_EQ(db.FieldNames()[c.Row().field], kids[k]->field) << r;
      if (kids[k]->type != u"string") {
        ASSERT_EQ(c.Row().value, kids[k]->value) << r;
      }
    }
    if (has) {
      ASSERT_FALSE(c.ToNextSibling()) << r;
    }
  }

  // Every run is found by FindChild and collected whole; absent fields are not.
  for (const auto& [key, first] : firstOfRun) {
    ASSERT_EQ(db.FindChild(key.first, key.second), first);
    NodeCursor c(db, key.first);
    std::vector<NodeRow> run;
    c.CollectChildren(db.FieldNames()[key.second], run);
    ASSERT_EQ(run.size(), layout->rows[first].followers + 1u);
    for (const NodeRow& row : run) ASSERT_EQ(row.parent, key.first);
  }
  for (RowIndex p = 0; p < db.RowCount(); p += 7) {
    for (FieldId f = 0; f < db.FieldNames().size(); ++f) {
      if (!firstOfRun.contains({p, f})) {
        ASSERT_EQ(db.FindChild(p, f), 0u) << p << "/" << f;
      }
    }
  }

  EXPECT_EQ(db.BinaryItemSize(0), 70000u);
  std::vector<std::uint8_t> tail(3);
  ASSERT_TRUE(db.ReadBinary(1, tail, 0));
  EXPECT_EQ(tail, (std::vector<std::uint8_t>{1, 2, 3}));
}

INSTANTIATE_TEST_SUITE_P(Seeds, RoundTrip, ::testing::Values(1u, 2u, 3u));

}  // namespace
}  // namespace vrok
