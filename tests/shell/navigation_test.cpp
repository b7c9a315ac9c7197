#include "core/navigation/navigation.h"

#include <gtest/gtest.h>

namespace vrok {
namespace {

TEST(NavigationQueueTest, RequestsWhileBusyWaitInOrderWithTheirOwnCopies) {
  NavigationQueue queue;
  EXPECT_TRUE(queue.Begin(1, nullptr, 0));
  std::uint8_t data[] = {'a', 0};
  EXPECT_FALSE(queue.Begin(2, data, 2));
  data[0] = 'z';  // the caller's block may change after the call
  EXPECT_FALSE(queue.Begin(3, nullptr, 0));
  queue.End();
  auto first = queue.TakeNext();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->page, 2u);
  EXPECT_EQ(first->data, (std::vector<std::uint8_t>{'a', 0}));
  EXPECT_EQ(queue.TakeNext()->page, 3u);
  EXPECT_FALSE(queue.TakeNext());
}

TEST(PaneLayoutTest, LeftPaneAndTopPane) {
  const auto placed = LayOutPanes(240, 268, {{0, kSideLeft, 40, 10}, {0, kSideTop, 100, 22}});
  EXPECT_EQ(placed[0], (PaneRect{0, 0, 40, 268}));
  EXPECT_EQ(placed[1], (PaneRect{40, 0, 200, 22}));
}

TEST(PaneLayoutTest, AllSidesAndTheLastFillPaneWins) {
  const auto placed = LayOutPanes(240, 268,
                                  {{0, kSideFill, 1, 1},
                                   {0, kSideTop, 5, 22},
                                   {0, kSideBottom, 5, 20},
                                   {0, kSideRight, 30, 5},
                                   {0, kSideFill, 1, 1},
                                   {0, 9, 50, 50}});
  EXPECT_FALSE(placed[0]);
  EXPECT_EQ(placed[1], (PaneRect{0, 0, 240, 22}));
  EXPECT_EQ(placed[2], (PaneRect{0, 248, 240, 20}));
  EXPECT_EQ(placed[3], (PaneRect{210, 22, 30, 226}));
  EXPECT_EQ(placed[4], (PaneRect{0, 22, 210, 226}));
  EXPECT_FALSE(placed[5]);
}

TEST(PaneLayoutTest, OrderKeysSortStably) {
  // The bottom pane with key -1 is placed first, so it spans the full width.
  const auto placed = LayOutPanes(100, 100, {{0, kSideLeft, 10, 0}, {-1, kSideBottom, 0, 20}});
  EXPECT_EQ(placed[1], (PaneRect{0, 80, 100, 20}));
  EXPECT_EQ(placed[0], (PaneRect{0, 0, 10, 80}));
}

TEST(PaneLayoutTest, HeightOf294CountsAs268) {
  EXPECT_EQ(LayoutHeight(294, 96), 268);
  EXPECT_EQ(LayoutHeight(293, 96), 293);
  EXPECT_EQ(LayoutHeight(588, 192), 536);
  EXPECT_EQ(LayoutHeight(294, 192), 294);
}

TEST(PaneSetsTest, WindowsInBothSetsAreLeftAlone) {
  PaneSets<int> sets;
  int strip = 0, a = 0, b = 0;
  sets.Begin();
  sets.Add(0, kSideTop, &strip);
  sets.Add(0, kSideFill, &a);
  auto v = sets.Changes();
  EXPECT_EQ(v.show, (std::vector<int*>{&strip, &a}));
  sets.Begin();
  sets.Add(0, kSideTop, &strip);
  sets.Add(0, kSideFill, &b);
  v = sets.Changes();
  EXPECT_EQ(v.show, (std::vector<int*>{&b}));
  EXPECT_EQ(v.hide, (std::vector<int*>{&a}));
}

TEST(PaneSetsTest, OverlaysLeaveThePageAndKeepPanesSkipsOneSwap) {
  PaneSets<int> sets;
  int page = 0, list = 0;
  sets.Begin();
  sets.Add(0, kSideFill, &page);
  sets.Keep();
  sets.Begin();  // kept: the page stays the new set
  sets.AddOverlay(0, kSideFill, &list);
  auto v = sets.Changes();
  EXPECT_TRUE(v.overlays);
  EXPECT_EQ(v.show, (std::vector<int*>{&list}));
  EXPECT_TRUE(v.hide.empty());
  ASSERT_EQ(sets.ToPlace().size(), 1u);
  EXPECT_EQ(sets.ToPlace()[0].window, &list);
  EXPECT_EQ(sets.CloseOverlays(), (std::vector<int*>{&list}));
  ASSERT_EQ(sets.New().size(), 1u);
  EXPECT_EQ(sets.New()[0].window, &page);
}

}  // namespace
}  // namespace vrok
