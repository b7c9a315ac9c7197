// Page builders: record pages, child lists, field previews, index menus.

#include <gtest/gtest.h>

#include "content/content_database.h"
#include "core/pages/child_pages.h"
#include "core/pages/menu_index_page.h"
#include "core/pages/page_text.h"
#include "core/pages/record_page.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using test::Num;
using test::Ref;
using test::Str;
using test::WithId;

constexpr std::u16string_view kOpen = skeleton::kPageOpen;
constexpr std::u16string_view kClose = skeleton::kPageClose;

std::u16string Page(std::u16string_view body) {
  return std::u16string(kOpen) + std::u16string(body) + std::u16string(kClose);
}

using test::TestBook;

Book RecordBook() {
  Book b;
  b.root = Num(
      u"root", 0,
      {WithId(Str(u"table", u"DISEASES",
                  {Str(u"table type", u"html list"), Str(u"field name", u"Overview"),
                   Str(u"field name", u"Treatment"), Str(u"field name", u"Notes"),
                   WithId(Str(u"hierarchy item", u"Croup",
                              {WithId(Str(u"field", u"Barking cough."), "f0"),
                               WithId(Num(u"field", 5), "f1"),
                               WithId(Str(u"field", u"Give <I>steroid</I>."), "f2"),
                               WithId(Str(u"field", u"Unlabelled."), "f3")}),
                          "croup")}),
              "diseases"),
       WithId(Str(u"table", u"PATH",
                  {Num(u"is path", 1),
                   WithId(Str(u"hierarchy item", u"Chapter",
                              {Str(u"html prelabel", u"[pre]"), Str(u"post label", u"[post]"),
                               WithId(Str(u"hierarchy item", u"Topic",
                                          {Str(u"pre label", u"&gt;"), Str(u"field", u"x")}),
                                      "topic")}),
                          "chapter")}),
              "path"),
       WithId(
           Str(u"table", u"EXT",
               {Str(u"table type", u"extended html"),
                WithId(Str(u"hierarchy item", u"Ext record",
                           {WithId(Str(u"field", u"Dose", {Str(u"html", u"<P>5 mg</P>")}), "e0"),
                            Str(u"field", u"No html"), Num(u"field", 0, {Str(u"html", u"<HR>")})}),
                       "ext")}),
           "exttable")});
  return b;
}

TEST(RecordPage, LabelsAnchorsAndColumnsConsumedBySkippedFields) {
  const TestBook book(RecordBook());
  RecordPage page(*book.db, {});
  const std::u16string html = page.BuildPage(book["croup"]);
  EXPECT_EQ(html, Page(u"<B>Croup</B><BR><BR>"
                       u"<BR><A NAME=\"" +
                       book.Decimal("f0") +
                       u"\"></A><B>Overview:</B><BR>Barking cough."
                       u"<BR><A NAME=\"" +
                       book.Decimal("f2") +
                       u"\"></A><B>Notes:</B><BR>Give <I>steroid</I>."
                       u"<BR>Unlabelled."));
  const std::vector<SectionEntry> want = {{u"Overview", book["f0"]}, {u"Notes", book["f2"]}};
  EXPECT_EQ(page.SectionsFor(book["croup"]), want);
  // Built again: the identical page, and the same sections.
  EXPECT_EQ(page.BuildPage(book["croup"]), html);
  EXPECT_EQ(page.SectionsFor(book["croup"]), want);
}

TEST(RecordPage, PathHeadingListsTheAncestorsAsLinks) {
  const TestBook book(RecordBook());
  RecordPage page(*book.db, {});
  EXPECT_EQ(page.BuildPage(book["topic"]),
            Page(u"<A HREF='" + book.Decimal("path") + u"'>PATH</A> - [pre]<A HREF='" +
                 book.Decimal("chapter") + u"'>Chapter</A>[post] - &gt;Topic:<BR><BR>x"));
}

TEST(RecordPage, TheCacheNeverAnswersForARowNotBuilt) {
  const TestBook book(RecordBook());
  RecordPage page(*book.db, {});
  // Row 0 first: a real page, not an empty cached one.
  EXPECT_EQ(page.BuildPage(0), Page(u"<B></B><BR><BR>"));
  EXPECT_EQ(page.SectionsFor(book["croup"]).size(), 2u);  // built on demand
  EXPECT_EQ(page.SectionCount(), 2u);
}

TEST(ExtendedRecordPage, LabelsCarryABlankBeforeTheBreak) {
  const TestBook book(RecordBook());
  ExtendedRecordPage page(*book.db);
  EXPECT_EQ(page.BuildPage(book["ext"]), Page(u"<A NAME=\"" + book.Decimal("e0") +
                                              u"\"></A><B>Dose:</B> <BR><P>5 mg</P><BR><HR><BR>"));
  const std::vector<SectionEntry> want = {{u"Dose", book["e0"]}};
  EXPECT_EQ(page.SectionsFor(book["ext"]), want);
}

Book ListBook() {
  Book b;
  b.root = Num(
      u"root", 0,
      {WithId(Str(u"table", u"LIST",
                  {WithId(Str(u"hierarchy item", u"Group", {Str(u"hierarchy item", u"Inner")}),
                          "group"),
                   WithId(Str(u"hierarchy item", u"Record", {WithId(Str(u"field", u"f"), "field")}),
                          "record"),
                   Str(u"hierarchy item", u"Linked", {Ref(u"link", "target")}),
                   Str(u"hierarchy item", u"Other child", {Num(u"colour", 3)}),
                   Str(u"hierarchy item", u"Leaf"), Str(u"html", u"<B>Hello</B>")}),
              "list"),
       WithId(Str(u"table", u"TARGET"), "target")});
  return b;
}

TEST(ChildListPage, BulletsAndTargets) {
  const TestBook book(ListBook());
  ChildListPage page(*book.db, u"hierarchy item");
  EXPECT_EQ(page.BuildPage(book["list"]), Page(u"\u2022 <A HREF='" + book.Decimal("group") +
                                               u"'>Group</A><BR>"
                                               u"\u2022 <A HREF='" +
                                               book.Decimal("field") +
                                               u"'>Record</A><BR>"
                                               u"\u2022 <A HREF='" +
                                               book.Decimal("target") +
                                               u"'>Linked</A><BR>"
                                               u"\u2022 <A HREF=''>Other child</A><BR>"
                                               u"Leaf<BR>"));
}

TEST(ChildTextPage, TheChildsTextOrTheRowsOwn) {
  const TestBook book(ListBook());
  EXPECT_EQ(ChildTextPage(*book.db, u"html").BuildPage(book["list"]), Page(u"<B>Hello</B>"));
  EXPECT_EQ(ChildTextPage(*book.db, u"html").BuildPage(book["target"]), Page(u"TARGET"));
  EXPECT_EQ(ChildTextPage(*book.db, u"").BuildPage(book["group"]), Page(u"Group"));
}

TEST(FieldListPage, ColumnsAnchorsAndTitle) {
  const TestBook book(RecordBook());
  FieldListPage page(*book.db);
  page.Load(book["croup"], true);
  EXPECT_EQ(page.BuildPage(book["croup"]),
            u"<HTML><BODY><FONT FACE='PPC_font2'>Croup<BR><BR>"
            u"<B><A NAME=" +
                book.Decimal("f0") +
                u">Overview</A></B><BR>Barking cough.<BR>"
                u"<B><A NAME=" +
                book.Decimal("f1") +
                u">Treatment</A></B><BR><BR>"
                u"<B><A NAME=" +
                book.Decimal("f2") +
                u">Notes</A></B><BR>Give <I>steroid</I>.<BR>"
                u"<B><A NAME=" +
                book.Decimal("f3") +
                u"></A></B>Unlabelled.<BR>"
                u"</FONT></BODY></HTML>");
  page.Load(book["diseases"], false);  // a table row names its own columns
  EXPECT_EQ(page.BuildPage(book["ext"]).find(u"Ext record"), std::u16string::npos);
}

TEST(MenuIndexPage, LinksAndNestedEntries) {
  Book b;
  b.root = Num(u"root", 0,
               {Str(u"table", u"INDEX",
                    {WithId(Str(u"hierarchy item", u"A",
                                {Str(u"hierarchy item", u"Asthma", {Ref(u"link", "t")}),
                                 Str(u"hierarchy item", u"Anaemia",
                                     {Str(u"hierarchy item", u"iron", {Ref(u"link", "t")}),
                                      Str(u"hierarchy item", u"B12")})}),
                            "a")}),
                WithId(Str(u"table", u"T"), "t")});
  const TestBook book(std::move(b));
  MenuIndexPage page(*book.db);
  EXPECT_EQ(page.Title(book["a"]), u"A");
  EXPECT_EQ(page.BuildPage(book["a"]),
            std::u16string(skeleton::kMenuOpen) + u"<LI><A HREF=" + book.Decimal("t") +
                u">Asthma<BR></LI><LI>Anaemia<BR></LI><MENU><LI><A HREF=" + book.Decimal("t") +
                u">iron<BR></LI><LI>B12<BR></LI></MENU>" + std::u16string(skeleton::kMenuClose));
}

TEST(MenuIndexPage, DeepNestingIsBounded) {
  Book b;
  BookNode deepest = Str(u"hierarchy item", u"bottom");
  for (int i = 0; i < 200; ++i) deepest = Str(u"hierarchy item", u"level", {std::move(deepest)});
  b.root = Num(u"root", 0, {Str(u"table", u"INDEX", {std::move(deepest)})});
  const TestBook book(std::move(b));
  const std::u16string html = MenuIndexPage(*book.db).BuildPage(1);
  std::size_t menus = 0;
  for (std::size_t at = 0; (at = html.find(u"<MENU>", at)) != std::u16string::npos; ++at) ++menus;
  EXPECT_EQ(menus, 1u + MenuIndexPage::kMaxDepth);
  EXPECT_EQ(html.find(u"bottom"), std::u16string::npos);
}

}  // namespace
}  // namespace vrok
