// The adapter between generated pages and the desktop viewer widget.

#include "render/viewer_html.h"

#include <gtest/gtest.h>

#include "render/page_text.h"

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

}  // namespace
}  // namespace vrok
