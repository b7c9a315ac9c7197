#include "core/navigation/page_names.h"

#include <gtest/gtest.h>

#include "content/content_database.h"
#include "core/navigation/tab_for_page.h"
#include "core/pages/figures.h"
#include "shell_books.h"

namespace vrok {
namespace {

using test::RowOf;

struct BookTest : ::testing::Test {
  test::TempDir dir;
  Book book = test::ShellTestBook();
  ContentDatabase db{test::WriteTestBook(book, dir)};
  PageNameMap names;
  BookTest() { RegisterPageNames(db, names); }
};

TEST_F(BookTest, ContentNamesAndBuiltInPages) {
  const PageId n = db.RowCount();
  EXPECT_EQ(names[u"contents"], RowOf(book, "contents"));
  EXPECT_EQ(names[u"tools"], RowOf(book, "tools"));
  EXPECT_EQ(names[u"notice"], RowOf(book, "notice"));
  EXPECT_EQ(names[u"authors"], 0u);  // the book has no such table
  EXPECT_EQ(names[u"bookmarks"], n);
  EXPECT_EQ(names[u"notes"], n + 1);
  EXPECT_EQ(names[u"history"], n + 3);
  EXPECT_EQ(names[u"splash"], n + 5);
  EXPECT_EQ(names[u"index_search"], n + 6);
  EXPECT_EQ(names[u"add_bookmark"], n + 7);
  for (const auto& [name, id] : names.Entries()) EXPECT_NE(id, n + 2) << "N+2 has a name";
}

TEST_F(BookTest, LookupOfAnUnknownNameInsertsPageZero) {
  EXPECT_FALSE(names.Contains(u"Contents"));
  EXPECT_EQ(names[u"Contents"], 0u);  // names are case-sensitive
  EXPECT_TRUE(names.Contains(u"Contents"));
}

TEST_F(BookTest, HomeFollowsTheLowByteOfInitialTab) {
  struct Case {
    std::optional<std::uint32_t> value;
    std::u16string_view expected;  // empty: "home" stays unregistered
  };
  const Case cases[] = {
      {0, u"index"},     {1, u"contents"}, {2, u"tools"}, {std::nullopt, u"contents"},
      {0x102, u"tools"}, {3, u""},         {255, u""}};
  for (const Case& c : cases) {
    PageNameMap map = names;
    RegisterHome(map, c.value);
    const auto label = c.value ? std::to_string(*c.value) : "none";
    if (c.expected.empty()) {
      EXPECT_FALSE(map.Contains(u"home")) << label;
      EXPECT_EQ(map[u"home"], 0u) << label;
    } else {
      EXPECT_EQ(map[u"home"], map[c.expected]) << label;
    }
  }
}

TEST_F(BookTest, TabForPage) {
  const PageId n = db.RowCount();
  EXPECT_EQ(TabForPage(db, names, n + 6), kTabNone);
  EXPECT_EQ(TabForPage(db, names, names[u"contents"]), kTabContents);
  EXPECT_EQ(TabForPage(db, names, names[u"index"]), kTabIndex);
  EXPECT_EQ(TabForPage(db, names, names[u"tools"]), kTabTools);
  EXPECT_EQ(TabForPage(db, names, RowOf(book, "asthma")), kTabContents);
  EXPECT_EQ(TabForPage(db, names, RowOf(book, "fn")), kTabContents);
  EXPECT_EQ(TabForPage(db, names, RowOf(book, "indexitem")), kTabIndex);
  EXPECT_EQ(TabForPage(db, names, RowOf(book, "flowitem")), kTabTools);
  EXPECT_EQ(TabForPage(db, names, RowOf(book, "flow")), kTabTools);
  EXPECT_EQ(TabForPage(db, names, RowOf(book, "quest")), kTabTools);
  EXPECT_EQ(TabForPage(db, names, RowOf(book, "otheritem")), kTabContents);
  EXPECT_EQ(TabForPage(db, names, 0), kTabContents);  // the root: no table
}

TEST(PictureTest, ReadsTheChosenVariantAndRejectsBadOffsets) {
  test::TempDir dir;
  Book book;
  std::vector<std::uint8_t> bad = MakeImageItem({{240, 320, {1, 2, 3}}, {480, 640, {4, 5}}});
  bad[3 + 5 + 3] = 200;  // variant 0's offset now lies past the item's end
  book.items = {MakeImageItem({{480, 640, {4, 5}}, {240, 320, {1, 2, 3}}}), bad};
  book.root = test::Num(u"root", 0,
                        {test::WithId(test::Num(u"figure", 0, {test::Num(u"data", 0)}), "good"),
                         test::WithId(test::Num(u"figure", 1), "bad")});
  ContentDatabase db(test::WriteTestBook(book, dir));
  const auto good = LoadPictureBytes(db, test::RowOf(book, "good"), {});
  ASSERT_TRUE(good);
  EXPECT_EQ(good->encoded, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_FALSE(LoadPictureBytes(db, test::RowOf(book, "bad"), {}));
  EXPECT_FALSE(LoadPictureBytes(db, 9999, {}));
}

}  // namespace
}  // namespace vrok
