// Cutting a long document for the viewer to take in pieces.

#include "core/pages/html_pieces.h"

#include <gtest/gtest.h>

#include "core/pages/page_text.h"

namespace vrok {
namespace {

const std::u16string kOpen = u"<HTML><HEAD></HEAD><BODY><FONT FACE='PPC_Font2'>";
const std::u16string kClose = u"</FONT></BODY></HTML>";

std::u16string Lines(int from, int to) {
  std::u16string text;
  for (int i = from; i < to; ++i)
    text += u"\u2022 <A HREF='" + Decimal(static_cast<std::uint32_t>(i)) + u"'>Item " +
            Decimal(static_cast<std::uint32_t>(i)) + u"</A><BR>";
  return text;
}

const std::u16string kReopen = u"<HTML><BODY><FONT FACE='PPC_Font2'>";

// The pieces put back together: the reopened frame dropped and the break
// each cut removed restored.
std::u16string Joined(const std::vector<std::u16string>& pieces) {
  std::u16string all = pieces.front();
  for (std::size_t k = 1; k < pieces.size(); ++k) {
    EXPECT_EQ(pieces[k].rfind(kReopen, 0), 0u) << k;
    all += u"<BR>" + pieces[k].substr(kReopen.size());
  }
  return all;
}

TEST(SplitAtLineBreaks, AListIsCutAtItsBreaksIntoPiecesOfAboutTheSizesAsked) {
  const std::u16string page = kOpen + Lines(0, 2000) + kClose;
  const auto pieces = SplitAtLineBreaks(page, 4000, 2000);
  ASSERT_GT(pieces.size(), 10u);
  EXPECT_EQ(Joined(pieces), page);
  // Each later piece opens the frame again (html, body and font, as
  // written, the head left out) and holds whole lines.
  for (std::size_t k = 1; k < pieces.size(); ++k) {
    EXPECT_EQ(pieces[k].rfind(u"<HTML><BODY><FONT FACE='PPC_Font2'>\u2022 <A HREF='", 0), 0u)
        << k;
  }
  EXPECT_GE(pieces[0].size(), 4000u);
  EXPECT_LT(pieces[0].size(), 4000u + 60u);  // up to the end of the line it reached
  for (std::size_t k = 1; k + 1 < pieces.size(); ++k) {
    EXPECT_GE(pieces[k].size(), 2000u);
    EXPECT_LT(pieces[k].size(), 2000u + 100u);
  }
  EXPECT_EQ(pieces.back().substr(pieces.back().size() - kClose.size()), kClose);
}

TEST(SplitAtLineBreaks, ShortPagesAndPagesWithoutCutsStayWhole) {
  const std::u16string shortPage = kOpen + Lines(0, 3) + kClose;
  EXPECT_EQ(SplitAtLineBreaks(shortPage, 4000, 2000), std::vector{shortPage});
  const std::u16string noBreaks = kOpen + std::u16string(20000, u'x') + kClose;
  EXPECT_EQ(SplitAtLineBreaks(noBreaks, 100, 100), std::vector{noBreaks});
}

TEST(SplitAtLineBreaks, NoCutInsideAnOpenElementOrNextToWhiteSpace) {
  // Bold runs over the first thousand lines: the first cut comes after it
  // closes, and the piece after it does not reopen it.
  const std::u16string bold = kOpen + u"<B>" + Lines(0, 1000) + u"</B>" + Lines(1000, 1100) + kClose;
  const auto pieces = SplitAtLineBreaks(bold, 100, 100);
  ASSERT_GT(pieces.size(), 1u);
  EXPECT_NE(pieces[0].find(u"</B>"), std::u16string::npos);
  EXPECT_EQ(pieces[1].find(u"<B>"), std::u16string::npos);
  EXPECT_EQ(Joined(pieces), bold);

  // Breaks with white space beside them, or followed by a tag, are no cut:
  // of each group only "next<BR>more" is.
  std::u16string spaced = kOpen;
  for (int i = 0; i < 500; ++i) spaced += u"line <BR>next<BR>more<BR> more<BR><B>bold</B>";
  spaced += kClose;
  const auto cut = SplitAtLineBreaks(spaced, 10, 10);
  ASSERT_EQ(cut.size(), 501u);
  for (std::size_t k = 0; k + 1 < cut.size(); ++k) {
    EXPECT_EQ(cut[k].substr(cut[k].size() - 4), u"next") << k;
    EXPECT_EQ(cut[k + 1].substr(kReopen.size(), 5), u"more<") << k;
  }
  EXPECT_EQ(Joined(cut), spaced);
}

TEST(SplitAtLineBreaks, BlockStructureACommentOrAnOpenElementStopsTheCutting) {
  for (const std::u16string& stop : std::vector<std::u16string>{u"<UL><LI>x</LI></UL>", u"<TABLE><TR><TD>x</TD></TR></TABLE>",
                                    u"<P>x</P>", u"<!-- x<BR>y -->", u"<DIV>x</DIV>"}) {
    const std::u16string page = kOpen + Lines(0, 100) + stop + Lines(100, 1000) + kClose;
    const auto pieces = SplitAtLineBreaks(page, 100, 100);
    ASSERT_GT(pieces.size(), 1u);
    // The last piece holds the stopper and everything after it.
    EXPECT_NE(pieces.back().find(stop), std::u16string::npos);
    EXPECT_NE(pieces.back().find(Lines(100, 1000)), std::u16string::npos);
    EXPECT_EQ(Joined(pieces), page);
  }
  // A tag that never ends, and an element left open to the end.
  for (const std::u16string tail : {u"<A HREF='x", u"<B>"}) {
    const std::u16string page = kOpen + Lines(0, 100) + tail + Lines(100, 200);
    const auto pieces = SplitAtLineBreaks(page, 100, 100);
    EXPECT_NE(pieces.back().find(tail + Lines(100, 200)), std::u16string::npos);
    EXPECT_EQ(Joined(pieces), page);
  }
}

TEST(SplitAtLineBreaks, FontsOpenAtACutAreReopenedWithTheirAttributes) {
  const std::u16string page = kOpen + u"<FONT COLOR=\"#FF0000\" SIZE='2'>" + Lines(0, 300) +
                              u"</FONT>" + Lines(300, 600) + kClose;
  const auto pieces = SplitAtLineBreaks(page, 100, 100);
  ASSERT_GT(pieces.size(), 5u);
  EXPECT_EQ(pieces[1].rfind(u"<HTML><BODY><FONT FACE='PPC_Font2'><FONT COLOR=\"#FF0000\" SIZE='2'>"
                            u"\u2022",
                            0),
            0u);
  EXPECT_EQ(pieces.back().rfind(u"<HTML><BODY><FONT FACE='PPC_Font2'>\u2022", 0), 0u);
}

}  // namespace
}  // namespace vrok
