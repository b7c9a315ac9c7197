// Figure items: variant tables, the choice of variant, and loading bytes.

#include "core/pages/figures.h"

#include <gtest/gtest.h>

#include "content/writer/book_writer.h"
#include "core/pages/record_page.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using test::Num;
using test::Str;

std::vector<ImageVariantRecord> Sizes(std::initializer_list<std::pair<int, int>> sizes) {
  std::vector<ImageVariantRecord> v;
  for (const auto& [w, h] : sizes) {
    v.push_back({static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h), 0, 1});
  }
  return v;
}

TEST(Figures, VariantChoice) {
  const ScreenMetrics small{240, 320, 96, 96};
  const ScreenMetrics large{480, 640, 192, 192};
  EXPECT_EQ(ChooseVariant(Sizes({{480, 640}, {240, 320}}), small), 1u);
  EXPECT_EQ(ChooseVariant(Sizes({{480, 640}, {240, 320}}), large), 0u);
  // The last exact match wins.
  EXPECT_EQ(ChooseVariant(Sizes({{240, 320}, {100, 100}, {240, 320}}), small), 2u);
  // No exact match: 240 x 320 scaled to the dots per inch, first one.
  EXPECT_EQ(
      ChooseVariant(Sizes({{1, 1}, {480, 640}, {480, 640}}), ScreenMetrics{600, 800, 192, 192}),
      1u);
  EXPECT_EQ(ChooseVariant(Sizes({{240, 320}, {480, 640}}), ScreenMetrics{480, 800, 192, 192}), 1u);
  EXPECT_EQ(ChooseVariant(Sizes({{1, 1}, {2, 2}}), small), 0u);
  // One variant is always used, whatever its size.
  EXPECT_EQ(ChooseVariant(Sizes({{10, 10}}), small), 0u);
  EXPECT_EQ(ChooseVariant({}, small), 0u);
}

struct FigureBook {
  test::TempDir dir;
  std::unique_ptr<ContentDatabase> db;
  RowIndex figure = 0, bare = 0, broken = 0;

  FigureBook() {
    Book b;
    b.items = {MakeImageItem({{480, 640, {1, 1, 1}}, {240, 320, {2, 2}}}),
               MakeImageItem({{99, 99, {7}}}),
               {2, 0, 0}};
    b.root = Num(u"root", 0,
                 {Str(u"table", u"FIG", {Str(u"table type", u"figure"), Num(u"data", 0)}),
                  Num(u"figure without data", 1), Num(u"broken", 2)});
    db = std::make_unique<ContentDatabase>(test::WriteTestBook(b, dir));
    figure = db->TableRow(u"FIG");
    bare = db->FindChild(0, db->FieldIdOf(u"figure without data"));
    broken = db->FindChild(0, db->FieldIdOf(u"broken"));
  }
};

TEST(Figures, LoadsTheChosenVariantsBytes) {
  FigureBook fb;
  const auto small = LoadPictureBytes(*fb.db, fb.figure, {240, 320, 96, 96});
  ASSERT_TRUE(small);
  EXPECT_EQ(small->variant, 1u);
  EXPECT_EQ(small->encoded, (std::vector<std::uint8_t>{2, 2}));
  const auto large = LoadPictureBytes(*fb.db, fb.figure, {480, 640, 192, 192});
  ASSERT_TRUE(large);
  EXPECT_EQ(large->encoded, (std::vector<std::uint8_t>{1, 1, 1}));
  // Without a "data" child the row's own value names the item.
  const auto own = LoadPictureBytes(*fb.db, fb.bare, {});
  ASSERT_TRUE(own);
  EXPECT_EQ(own->encoded, std::vector<std::uint8_t>{7});
  // A header that announces more variants than the item holds.
  EXPECT_FALSE(LoadPictureBytes(*fb.db, fb.broken, {}));
  EXPECT_FALSE(LoadPictureBytes(*fb.db, fb.db->RowCount(), {}));
}

TEST(Figures, RecordPagesAnswerPictureRequestsWithTheFiguresBytes) {
  FigureBook fb;
  RecordPage page(*fb.db, {240, 320, 96, 96});
  const std::u16string source = std::u16string(1, static_cast<char16_t>(u'0' + fb.figure));
  const ImageReply reply = page.SupplyImage(source, 77);
  EXPECT_EQ(reply.cookie, 77u);
  EXPECT_EQ(reply.encoded, (std::vector<std::uint8_t>{2, 2}));
  EXPECT_EQ(page.SupplyImage(u"99999", 78).cookie, kNoPictureCookie);
  EXPECT_TRUE(page.SupplyImage(u"99999", 78).encoded.empty());
}

}  // namespace
}  // namespace vrok
