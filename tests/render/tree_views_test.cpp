// The tree views on screen: lazy filling, reveal of a record with its
// preview, activation of leaves and groups, the split bar, and the linked
// tree navigating from its items.

#include "views/pages/tree_views.h"

#include <gtest/gtest.h>

#include "platform/qt/environment.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using nlohmann::json;
using test::FillPane;
using test::Num;
using test::Ref;
using test::Str;
using test::WithId;
using test::WithKey;

Book TreeBook() {
  Book book;
  book.root = WithKey(
      Num(u"root", 0,
          {WithId(Str(u"table", u"DRUGS",
                      {Str(u"table type", u"tight hierarchy"), Str(u"field name", u"Dose"),
                       Str(u"field name", u""),
                       WithId(Str(u"hierarchy item", u"Antibiotics",
                                  {WithId(Str(u"hierarchy item", u"Amoxicillin",
                                              {WithId(Str(u"field", u"500 mg"), "dose"),
                                               Str(u"field", u"Take with water.")}),
                                          "amox"),
                                   Str(u"hierarchy item", u"Penicillin", {Str(u"field", u"1 g")})}),
                              "abx"),
                       WithId(Str(u"hierarchy item", u"Pain",
                                  {WithId(Str(u"hierarchy item", u"Paracetamol",
                                              {Str(u"field", u"1 g")}),
                                          "para")}),
                              "pain")}),
                  "drugs"),
           WithId(Str(u"table", u"LINKS",
                      {Str(u"table type", u"linked tight hierarchy"),
                       WithId(Str(u"hierarchy item", u"Go to paracetamol", {Ref(u"link", "para")}),
                              "go")}),
                  "links")}),
      0);
  return book;
}

struct TreeViewTest : test::ReaderTest<TreeBook> {};

TEST_F(TreeViewTest, ARecordIsRevealedInTheTreeAndPreviewedBelowIt) {
  const json pane = FillPane(reader.Run("navigate " + Row("amox") + "\ndump").at(0));
  ASSERT_EQ(pane["kind"], "TreeList") << pane.dump();
  EXPECT_EQ(pane["title"], "DRUGS");
  EXPECT_EQ(pane["ratio"], 0.5);
  const json& items = pane["items"];
  ASSERT_EQ(items.size(), 4u) << items.dump();
  EXPECT_EQ(items[0], json({{"row", R("abx")},
                            {"label", "Antibiotics"},
                            {"depth", 0},
                            {"expanded", true},
                            {"highlighted", false}}));
  EXPECT_EQ(items[1]["row"], R("amox"));
  EXPECT_EQ(items[1]["depth"], 1);
  EXPECT_TRUE(items[1]["highlighted"]);
  EXPECT_EQ(items[3]["label"], "Pain");
  EXPECT_FALSE(items[3]["expanded"]);
  // A collapsed group has only its placeholder until it is opened.
  EXPECT_EQ(reader.app->Tight()->Pane().List().Find(R("para")), nullptr);

  const std::string html = pane["html"];
  EXPECT_EQ(html,
            "<HTML><BODY><FONT FACE='PPC_font2'>Amoxicillin<BR><BR><B><A NAME=" + Row("dose") +
                ">Dose</A></B><BR>500 mg<BR><B><A NAME=" + std::to_string(R("dose") + 1) +
                "></A></B>Take with water.<BR></FONT></BODY></HTML>");
}

TEST_F(TreeViewTest, GroupsExpandInPlaceAndLeavesOpenTheirPreview) {
  const json top = FillPane(reader.Run("navigate " + Row("drugs") + "\ndump").at(0));
  ASSERT_EQ(top["items"].size(), 2u);
  EXPECT_EQ(top["html"], "");

  const auto after = reader.Run("tap-row 1\ndump\ntap-row 2\ndump");
  const json opened = FillPane(after.at(0));
  EXPECT_EQ(after.at(0)["page"], R("drugs"));  // expanding does not navigate
  ASSERT_EQ(opened["items"].size(), 3u);
  EXPECT_EQ(opened["items"][2]["label"], "Paracetamol");

  const json leaf = FillPane(after.at(1));
  EXPECT_EQ(after.at(1)["page"], R("para"));
  EXPECT_EQ(after.at(1)["page_data"], "01");
  EXPECT_TRUE(leaf["items"][2]["highlighted"]);
  EXPECT_EQ(leaf["items"].size(), 3u);  // the list was kept as it was
  EXPECT_NE(leaf["html"].get<std::string>().find("1 g"), std::string::npos);
}

TEST_F(TreeViewTest, TheSplitBarDragsWithinAQuarterAndThreeQuartersAndHasRatioButtons) {
  reader.Run("navigate " + Row("amox"));
  SplitPane& split = reader.app->Tight()->Pane();
  const int t = split.Title().OuterHeight();
  const int H = split.height();
  const int h = SplitPane::BarHeight();
  const int y =
      t + static_cast<int>(0.5F * static_cast<float>(H - t) - static_cast<float>(h) * 0.5F);
  EXPECT_EQ(split.List().geometry(), QRect(0, t, split.width(), y - t));
  EXPECT_EQ(split.Bar().geometry(), QRect(0, y, split.width(), h));
  EXPECT_EQ(split.Preview().geometry().top(), y + h);

  const int onBar = split.BarTop(true) + 1;
  split.StylusDown(QPoint(5, onBar));
  split.StylusMove(QPoint(5, onBar + H));
  EXPECT_FLOAT_EQ(split.Ratio(), 0.75F);
  split.StylusMove(QPoint(5, onBar - 2 * H));
  EXPECT_FLOAT_EQ(split.Ratio(), 0.25F);
  split.StylusMove(QPoint(5, onBar - 2 * H + H / 10));
  EXPECT_NEAR(split.Ratio(), 0.35F, 0.01F);
  split.StylusUp(QPoint(5, 0));

  const int r = split.width();
  const int bar = split.BarTop(true) + 1;
  split.StylusUp(QPoint(r - platform::ScaleX(40), bar));
  EXPECT_FLOAT_EQ(split.Ratio(), 0.75F);
  split.StylusUp(QPoint(r - platform::ScaleX(8), split.BarTop(true) + 1));
  EXPECT_FLOAT_EQ(split.Ratio(), 0.25F);
  split.StylusUp(QPoint(r - platform::ScaleX(24), split.BarTop(true) + 1));
  EXPECT_FLOAT_EQ(split.Ratio(), 0.5F);
  split.StylusUp(QPoint(r / 2, split.BarTop(true) + 1));  // between the grip and the buttons
  EXPECT_FLOAT_EQ(split.Ratio(), 0.5F);
}

TEST_F(TreeViewTest, TheLinkedTreeNavigatesWhereItsItemsLead) {
  const json r = reader.Run("navigate " + Row("links") + "\ndump").at(0);
  const json pane = FillPane(r);
  ASSERT_EQ(pane["kind"], "TreeList");
  EXPECT_EQ(pane["name"], "tree");
  ASSERT_EQ(pane["items"].size(), 1u);
  EXPECT_EQ(pane["items"][0]["label"], "Go to paracetamol");

  const json moved = reader.Run("tap-row 0\ndump").at(0);
  EXPECT_EQ(moved["page"], R("para"));
  EXPECT_EQ(FillPane(moved)["name"], "split");
}

}  // namespace
}  // namespace vrok
