#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/navigation/history_list.h"

namespace vrok {
namespace {

// Records what the history navigates to, and plays the shell view's part:
// each page shown is recorded again (which the history must ignore once).
struct Recorder : Navigator {
  HistoryList* history = nullptr;
  std::vector<PageId> pages;
  void Navigate(PageId page, const std::uint8_t* data, std::uint32_t length) override {
    pages.push_back(page);
    history->Record(page, data, length, u"again");
  }
};

struct HistoryTest : ::testing::Test {
  Recorder nav;
  HistoryList history{&nav};
  HistoryTest() { nav.history = &history; }
  void Visit(PageId page) {
    history.Record(page, nullptr, 0, u"p" + std::u16string(1, u'0' + page % 10));
  }
  std::vector<PageId> Pages() const {
    std::vector<PageId> pages;
    for (const auto& e : history.Entries()) pages.push_back(e.page);
    return pages;
  }
};

TEST_F(HistoryTest, SamePageAndDataTwiceLeavesOneEntry) {
  const std::uint8_t a[] = {1, 2}, b[] = {1, 3};
  history.Record(5, a, 2, u"x");
  history.Record(5, a, 2, u"x");
  EXPECT_EQ(history.Entries().size(), 1u);
  history.Record(5, b, 2, u"x");  // other data: a new entry
  history.Record(5, nullptr, 0, u"x");
  EXPECT_EQ(history.Entries().size(), 3u);
  history.Record(5, b, 0, u"x");  // length 0 is "no data"
  EXPECT_EQ(history.Entries().size(), 3u);
}

// A page left at a scroll position keeps it in its entry; shown again from
// its top (the note editor closed, its own tab tapped) it is the same visit.
// An anchor is another place on the page, and a page of its own.
TEST_F(HistoryTest, AScrollPositionIsNotANewVisitButAnAnchorIs) {
  const std::uint8_t scrolled[8] = {0, 0, 0, 0, 40, 1, 0, 0};
  const char16_t anchor[] = u"12";
  history.Record(3, nullptr, 0, u"a");
  history.Record(5, nullptr, 0, u"b");
  history.ReplaceShownData(scrolled, 8);
  history.Record(5, nullptr, 0, u"b");
  ASSERT_EQ(history.Entries().size(), 2u);
  EXPECT_TRUE(history.Entries()[1].data.empty());  // shown from the top now
  history.Record(5, scrolled, 8, u"b");
  EXPECT_EQ(history.Entries().size(), 2u);
  EXPECT_EQ(history.CurrentPosition(), 1);
  // One Back reaches the page before.
  history.Back();
  ASSERT_FALSE(nav.pages.empty());
  EXPECT_EQ(nav.pages.back(), 3u);
  history.Forward();
  history.Record(5, reinterpret_cast<const std::uint8_t*>(anchor), sizeof anchor, u"b");
  EXPECT_EQ(history.Entries().size(), 3u);
  // Eight bytes that begin with text are an anchor, not a position.
  const std::uint8_t text[8] = {'4', 0, '2', 0, '7', 0, 0, 0};
  history.Record(5, text, 8, u"b");
  EXPECT_EQ(history.Entries().size(), 4u);
}

TEST_F(HistoryTest, BackForwardAndButtons) {
  EXPECT_FALSE(history.CanGoBack());
  EXPECT_FALSE(history.HasMenu());
  Visit(1);
  EXPECT_FALSE(history.CanGoBack());
  EXPECT_FALSE(history.HasMenu());
  history.Back();  // at the first entry: nothing
  EXPECT_TRUE(nav.pages.empty());
  Visit(2);
  Visit(3);
  EXPECT_TRUE(history.CanGoBack());
  EXPECT_TRUE(history.HasMenu());
  EXPECT_FALSE(history.CanGoForward());
  history.Back();
  history.Back();
  EXPECT_EQ(nav.pages, (std::vector<PageId>{2, 1}));
  EXPECT_EQ(history.CurrentPosition(), 0);
  EXPECT_TRUE(history.CanGoForward());
  // Showing them did not record them again.
  EXPECT_EQ(Pages(), (std::vector<PageId>{1, 2, 3}));
  history.Forward();
  EXPECT_EQ(nav.pages.back(), 2u);
  EXPECT_EQ(history.ShownPosition(), 1);
}

TEST_F(HistoryTest, NewPageAfterBackDropsForwardEntries) {
  Visit(1);
  Visit(2);
  Visit(3);
  history.Back();
  history.Back();
  Visit(7);
  EXPECT_EQ(Pages(), (std::vector<PageId>{1, 7}));
  EXPECT_FALSE(history.CanGoForward());
}

TEST_F(HistoryTest, BackFromOverlayReturnsToThePageUnderIt) {
  Visit(1);
  EXPECT_FALSE(history.CanGoBack());
  history.SetOverlayShown(true);
  EXPECT_TRUE(history.CanGoBack());
  history.Back();
  EXPECT_EQ(nav.pages, (std::vector<PageId>{1}));
  EXPECT_EQ(history.CurrentPosition(), 0);
  EXPECT_FALSE(history.OverlayShown());
}

TEST_F(HistoryTest, KeepsAtMostFiftyEntries) {
  for (PageId p = 100; p < 151; ++p) Visit(p);
  ASSERT_EQ(history.Entries().size(), HistoryList::kMaxEntries);
  EXPECT_EQ(history.Entries().front().page, 101u);
  EXPECT_EQ(history.Entries().back().page, 150u);
  EXPECT_EQ(history.CurrentPosition(), 49);
}

TEST_F(HistoryTest, GoToIgnoresCurrentAndInvalidPositions) {
  Visit(1);
  Visit(2);
  Visit(3);
  history.GoTo(2);
  history.GoTo(-1);
  history.GoTo(3);
  EXPECT_TRUE(nav.pages.empty());
  history.GoTo(0);
  EXPECT_EQ(nav.pages, (std::vector<PageId>{1}));
  EXPECT_EQ(history.Titles(), (std::vector<std::u16string>{u"p1", u"p2", u"p3"}));
}

TEST_F(HistoryTest, ReplaceShownDataChangesTheShownEntryOnly) {
  const std::uint8_t scroll[] = {9, 9, 9, 9};
  history.ReplaceShownData(scroll, 4);  // nothing shown yet: no effect
  Visit(1);
  Visit(2);
  history.Back();
  history.ReplaceShownData(scroll, 4);
  EXPECT_EQ(history.Entries()[0].data, (std::vector<std::uint8_t>{9, 9, 9, 9}));
  EXPECT_TRUE(history.Entries()[1].data.empty());
}

}  // namespace
}  // namespace vrok
