// The HTML hierarchy view on screen: record pages with their sections and
// footnotes, fields shown as their record, child lists, in-page jumps and
// pop-ups that do not navigate, and the scroll position kept for Back.

#include "views/pages/hierarchy_view.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "frame/main_window.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "support/test_books.h"
#include "widgets/button_bar.h"
#include "widgets/picture_button.h"

namespace vrok {
namespace {

using nlohmann::json;
using test::Num;
using test::Ref;
using test::Str;
using test::WithId;
using test::WithKey;

std::u16string LongText(std::u16string_view head) {
  std::u16string text(head);
  for (int i = 0; i < 60; ++i) text += u"A line of the signs.<BR>";
  return text;
}

// CONTENTS: an html page; DISEASES: an html list with the record Asthma
// (two labelled fields, a footnotes row); CONF: a configurable tree with a
// group shown as a child list and an item shown as a tree.
Book HierarchyBook() {
  Book book;
  book.root = WithKey(
      Num(u"root", 0,
          {WithId(Str(u"table", u"CONTENTS",
                      {Str(u"table type", u"html"),
                       Str(u"html",
                           u"<A HREF='{{row:asthma}}'>Asthma</A><BR>"
                           u"<A HREF='{{row:group}}'>Group</A><BR>"
                           u"<A HREF='{{row:pop}}'>What?</A><BR>"
                           u"<A HREF='{{row:asthma}}#T'>Treatment</A>"),
                       WithId(Str(u"popup", u"A short text."), "pop")}),
                  "contents"),
           WithId(Str(u"table", u"ABOUT_KESTOR",
                      {Str(u"table type", u"html"), Str(u"html", u"About.")}),
                  "about"),
           WithId(Str(u"table", u"DISEASES",
                      {Str(u"table type", u"html list"), Str(u"field name", u"Signs"),
                       Str(u"field name", u"Treatment"),
                       WithId(Str(u"hierarchy item", u"Asthma",
                                  {WithId(Str(u"field",
                                              LongText(u"Wheeze, see <A HREF='{{row:inhaler}}#"
                                                       u"{{row:inhaler}}'>treatment</A> and "
                                                       u"<A HREF='{{row:fn}}'>1</A>.<BR>")),
                                          "wheeze"),
                                   WithId(Str(u"field", u"Inhaler."), "inhaler"),
                                   WithId(Num(u"footnotes", 0,
                                              {WithId(Str(u"footnote", u"A note."), "fn"),
                                               Str(u"footnote", u"Another note.")}),
                                          "fns")}),
                              "asthma")}),
                  "diseases"),
           WithId(Str(u"table", u"CONF",
                      {Str(u"table type", u"configurable tight hierarchy"),
                       WithId(Str(u"hierarchy item", u"Group",
                                  {Str(u"view mode", u"html list"),
                                   WithId(Str(u"hierarchy item", u"Sub",
                                              {Str(u"hierarchy item", u"Deeper")}),
                                          "sub"),
                                   Str(u"hierarchy item", u"Linked", {Ref(u"link", "asthma")}),
                                   Str(u"hierarchy item", u"Plain")}),
                              "group"),
                       WithId(Str(u"hierarchy item", u"Tree",
                                  {Str(u"view mode", u"tree"), Str(u"field", u"F.")}),
                              "treemode")}),
                  "conf")}),
      0);
  return book;
}

json PagePane(const json& report) { return test::PaneWhere(report, "name", "hierarchy"); }

struct HierarchyViewTest : test::ReaderTest<HierarchyBook> {
  HierarchyView& View() { return *reader.app->Hierarchy(); }
  bool ButtonShown(int id) {
    return View().Buttons().isVisible() && View().Buttons().Button(id)->isVisible();
  }
};

// After a section is chosen from the list, the page stands at it as a link
// to the section would leave it: the state a bookmark takes is the
// section's anchor, so the bookmark reopens there.
TEST_F(HierarchyViewTest, AChosenSectionIsThePageStateABookmarkKeeps) {
  const json before = reader.Run("navigate " + Row("asthma") + "\ndump").at(0);
  EXPECT_EQ(before["page_data"], "");
  const json after = reader.Run("command 1234\nset sections 1\ndump").at(0);
  std::string hex;
  for (const char c : Row("inhaler")) {
    char byte[5];
    std::snprintf(byte, sizeof byte, "%02x00", static_cast<unsigned>(c));
    hex += byte;
  }
  hex += "0000";
  EXPECT_EQ(after["page_data"], hex);
  EXPECT_EQ(after["page"], before["page"]);
  // Opened again with that state, the page stands at the section.
  const json reopened = reader.Run("navigate contents\nnavigate " + Row("asthma") + " " +
                                   Row("inhaler") + "\ndump").at(0);
  EXPECT_EQ(reopened["page_data"], hex);
  EXPECT_GT(PagePane(reopened)["scroll"].get<int>(), 0);
}

TEST_F(HierarchyViewTest, RecordPageHasSectionsFootnotesAndItsPathAsTitle) {
  const json r = reader.Run("navigate " + Row("asthma") + "\ndump").at(0);
  const json pane = PagePane(r);
  ASSERT_FALSE(pane.is_null()) << r.dump();
  EXPECT_EQ(r["title"], "DISEASES");  // the record itself is not part of its path
  const std::string html = pane["html"];
  EXPECT_NE(html.find("<A NAME=\"" + Row("inhaler") + "\"></A><B>Treatment:</B><BR>Inhaler."),
            std::string::npos)
      << html;
  EXPECT_TRUE(ButtonShown(HierarchyView::kFootnotesCommand));
  EXPECT_TRUE(ButtonShown(HierarchyView::kSectionsCommand));
  ASSERT_EQ(View().SectionList().count(), 2);
  EXPECT_EQ(View().SectionList().itemText(1), "Treatment");

  // Choosing a section scrolls to it without navigating.
  const json after = reader.Run("command 1234\nset sections 1\ndump").at(0);
  EXPECT_EQ(after["page"], test::RowOf(book, "asthma"));
  EXPECT_GT(PagePane(after)["scroll"].get<int>(), 0);
  EXPECT_EQ(after["history"]["entries"].size(), r["history"]["entries"].size());

  // The footnotes button shows every footnote of the record over the page.
  const json notes = reader.Run("command 1236\ndump").at(0);
  ASSERT_FALSE(notes["popup"].is_null());
  EXPECT_EQ(notes["popup"]["caption"], "Footnotes");
  EXPECT_NE(notes["popup"]["html"].get<std::string>().find("A note.<BR><BR>Another note."),
            std::string::npos);
  reader.Run("answer ok");

  // A drop-down left open does not follow the user to the next page.
  reader.Run("command 1234");
  ASSERT_TRUE(View().SectionList().isVisible());
  reader.Run("navigate contents");
  EXPECT_FALSE(View().SectionList().isVisible());
}

TEST_F(HierarchyViewTest, AFieldIsShownAsItsRecordScrolledToTheField) {
  const json top = reader.Run("navigate " + Row("asthma") + "\ndump").at(0);
  const json field = reader.Run("navigate " + Row("inhaler") + "\ndump").at(0);
  EXPECT_EQ(PagePane(field)["html"], PagePane(top)["html"]);
  EXPECT_EQ(PagePane(top)["scroll"], 0);
  EXPECT_GT(PagePane(field)["scroll"].get<int>(), 0);
}

TEST_F(HierarchyViewTest, LinksInsideThePageJumpAndPopUpWithoutNavigating) {
  const std::string inhaler = Row("inhaler");
  const json before = reader.Run("navigate " + Row("asthma") + "\ndump").at(0);
  const json jumped = reader.Run("tap-link " + inhaler + "#" + inhaler + "\ndump").at(0);
  EXPECT_EQ(jumped["page"], before["page"]);
  EXPECT_EQ(jumped["history"], before["history"]);
  EXPECT_GT(PagePane(jumped)["scroll"].get<int>(), 0);

  const json popped = reader.Run("pen 100 120\ntap-link " + Row("fn") + "\ndump").at(0);
  EXPECT_EQ(popped["page"], before["page"]);
  EXPECT_EQ(popped["history"], before["history"]);
  ASSERT_FALSE(popped["popup"].is_null());
  EXPECT_EQ(popped["popup"]["caption"], "Footnote");
  EXPECT_NE(popped["popup"]["html"].get<std::string>().find("A note."), std::string::npos);
  reader.Run("answer ok");

  const json text = reader.Run("navigate contents\ntap-link " + Row("pop") + "\ndump").at(0);
  EXPECT_EQ(text["page"], test::RowOf(book, "contents"));
  ASSERT_FALSE(text["popup"].is_null());
  EXPECT_EQ(text["popup"]["caption"], "");
  reader.Run("answer ok");

  // A link to another page navigates with its anchor as the data.
  const json moved = reader.Run("tap-link " + Row("asthma") + "#T\ndump").at(0);
  EXPECT_EQ(moved["page"], test::RowOf(book, "asthma"));
  EXPECT_EQ(moved["page_data"], "54000000");
}

TEST_F(HierarchyViewTest, ChildListLinksEachItemToWhereItLeads) {
  const json r = reader.Run("navigate " + Row("group") + "\ndump").at(0);
  const std::string html = PagePane(r)["html"];
  EXPECT_EQ(r["title"], "CONF");
  EXPECT_NE(html.find("\u2022 <A HREF='" + Row("sub") + "'>Sub</A><BR>"), std::string::npos)
      << html;
  // An item whose only child is a "link" leads to the linked row.
  EXPECT_NE(html.find("\u2022 <A HREF='" + Row("asthma") + "'>Linked</A><BR>"), std::string::npos)
      << html;
  EXPECT_NE(html.find("Plain<BR>"), std::string::npos);
  EXPECT_EQ(html.find(">Plain</A>"), std::string::npos);
  EXPECT_FALSE(View().Buttons().isVisible());  // no footnotes, no sections

  const json next = reader.Run("tap-link " + Row("asthma") + "\ndump").at(0);
  EXPECT_EQ(next["page"], test::RowOf(book, "asthma"));
  EXPECT_EQ(next["page_data"], "");
}

TEST_F(HierarchyViewTest, ConfigurableItemsWithAViewModeAreNotRecords) {
  EXPECT_FALSE(View().Accept(test::RowOf(book, "treemode"), nullptr, 0));
  EXPECT_FALSE(View().Accept(reader.app->Database()->RowCount(), nullptr, 0));
  EXPECT_TRUE(View().Accept(test::RowOf(book, "asthma"), nullptr, 0));
}

TEST_F(HierarchyViewTest, BackRestoresTheScrollPositionOfThePageLeft) {
  reader.Run("navigate " + Row("asthma"));
  View().Pane().SetScrollPosition(200);
  const int kept = View().Pane().ScrollPosition();
  ASSERT_GT(kept, 0);
  const json away = reader.Run("navigate contents\ndump").at(0);
  const json& entries = away["history"]["entries"];
  ASSERT_GE(entries.size(), 2u);
  const json& left = entries[entries.size() - 2];
  EXPECT_EQ(left["page"], test::RowOf(book, "asthma"));
  char expected[17];
  std::snprintf(expected, sizeof expected, "00000000%02x%02x0000", kept & 0xFF, (kept >> 8) & 0xFF);
  EXPECT_EQ(left["data"], expected);

  const json back = reader.Run("command 40006\ndump").at(0);
  EXPECT_EQ(back["page"], test::RowOf(book, "asthma"));
  EXPECT_EQ(PagePane(back)["scroll"], kept);
}

TEST_F(HierarchyViewTest, AboutCommandOpensTheAboutPage) {
  const json r = reader.Run("navigate contents\ncommand 1111\ndump").at(0);
  EXPECT_EQ(r["page"], test::RowOf(book, "about"));
  EXPECT_NE(PagePane(r)["html"].get<std::string>().find("About."), std::string::npos);
}

}  // namespace
}  // namespace vrok
