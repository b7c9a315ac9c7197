// The adapter between generated pages and the desktop viewer widget.

#include "core/pages/viewer_html.h"

#include <gtest/gtest.h>

#include "core/pages/page_text.h"

namespace vrok {
namespace {

TEST(ViewerHtml, MenusBecomeListsAndOpenAnchorsCloseAtTheirItem) {
  const std::u16string page = std::u16string(skeleton::kMenuOpen) +
                              u"<LI><A HREF=5>Five<BR></LI><li><a href=6>Six<BR></li>"
                              u"<MENU><LI>Plain<BR></LI></MENU>" +
                              std::u16string(skeleton::kMenuClose);
  EXPECT_EQ(ViewerHtml(page),
            u"<HTML><HEAD></HEAD><BODY><FONT FACE='PPC_Font2'><UL>"
            u"<LI><A HREF=5>Five</A></LI><li><a href=6>Six</A></li>"
            u"<UL><LI>Plain</LI></UL></UL></FONT></HTML></BODY>");
}

TEST(ViewerHtml, ClosedAnchorsNamesAndOtherTagsStayAsTheyAre) {
  const std::u16string page =
      u"<B>x</B><A NAME=\"7\"></A><ABBR>y</ABBR><A HREF='1'>one</A><LI>z</LI><MENUITEM>";
  EXPECT_EQ(ViewerHtml(page), page);
  // The calculator list ends inside an open menu with its anchors closed.
  EXPECT_EQ(ViewerHtml(u"<MENU><LI><A HREF=\"3\"><B>C</B></A>"),
            u"<UL><LI><A HREF=\"3\"><B>C</B></A>");
  // An anchor left open at the end of the page is closed there.
  EXPECT_EQ(ViewerHtml(u"<A HREF=1>a</BODY>"), u"<A HREF=1>a</A></BODY>");
  EXPECT_EQ(ViewerHtml(u"<A HREF=1>a"), u"<A HREF=1>a</A>");
  EXPECT_EQ(ViewerHtml(u"a < b </ <"), u"a < b </ <");
  // Only a break that ends a list item goes.
  EXPECT_EQ(ViewerHtml(u"<LI>a<BR>b<br/></LI><BR><BR"), u"<LI>a<BR>b</LI><BR><BR");
}

std::size_t Count(std::u16string_view text, std::u16string_view part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::u16string_view::npos;
       at = text.find(part, at + part.size()))
    ++n;
  return n;
}

std::u16string Repeat(std::u16string_view part, std::size_t n) {
  std::u16string out;
  for (std::size_t i = 0; i < n; ++i) out += part;
  return out;
}

TEST(ViewerHtml, DeepNestingIsCutAtTheBoundKeepingTextAndBalance) {
  const std::size_t deep = 100000;
  const std::u16string page = Repeat(u"<B>", deep) + u"x" + Repeat(u"</B>", deep) + u"<I>after</I>";
  const std::u16string out = ViewerHtml(page);
  EXPECT_EQ(Count(out, u"<B>"), kMaxNesting);
  EXPECT_EQ(Count(out, u"</B>"), kMaxNesting);
  // Everything after the deep part is passed on again.
  EXPECT_EQ(out,
            Repeat(u"<B>", kMaxNesting) + u"x" + Repeat(u"</B>", kMaxNesting) + u"<I>after</I>");
  // Unclosed elements count as open; runs of list items and paragraphs,
  // void elements and self-closed tags do not.
  const std::u16string flat = Repeat(u"<LI><P>a<BR><IMG SRC='1'><X/>", 1000);
  EXPECT_EQ(ViewerHtml(flat), flat);
  EXPECT_EQ(Count(ViewerHtml(Repeat(u"<SPAN>", 1000)), u"<SPAN>"), kMaxNesting);
  // At the bound, a close of a passed element frees a level for the next.
  const std::u16string atBound = Repeat(u"<B>", kMaxNesting - 1) + u"<U><I>i</I></U><S>s</S>";
  EXPECT_EQ(ViewerHtml(atBound), Repeat(u"<B>", kMaxNesting - 1) + u"<U>i</U><S>s</S>");
}

TEST(ViewerHtml, NestedTablesAreCutAndTablePartsPassOnlyInsidePassedTables) {
  const std::u16string cell = u"<TABLE><TR><TD>";
  const std::u16string end = u"</TD></TR></TABLE>";
  const std::u16string out =
      ViewerHtml(Repeat(cell, 10) + u"deep" + Repeat(end, 10) + cell + u"next" + end);
  EXPECT_EQ(out, Repeat(cell, kMaxTableNesting) + u"deep" + Repeat(end, kMaxTableNesting) + cell +
                     u"next" + end);
  // Cells outside any table, and a quoted '>' inside a tag.
  EXPECT_EQ(ViewerHtml(u"<TD>a</TD><TR>b<A HREF='x>y'>c</A>"), u"ab<A HREF='x>y'>c</A>");
  // Elements that overlap instead of nesting pass unchanged below the bound.
  EXPECT_EQ(ViewerHtml(u"<B><I>x</B>y</I>"), u"<B><I>x</B>y</I>");
}

}  // namespace
}  // namespace vrok
