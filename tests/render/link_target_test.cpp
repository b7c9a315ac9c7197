#include "core/pages/link_target.h"

#include <gtest/gtest.h>

namespace vrok {
namespace {

TEST(LinkTarget, PageAndAnchor) {
  struct Case {
    std::u16string_view target;
    std::uint32_t page;
    std::u16string_view anchor;
  };
  const Case cases[] = {
      {u"120#a2", 120, u"a2"}, {u"120", 120, u""},
      {u"#top", 0, u"top"},    {u"81#sec2", 81, u"sec2"},
      {u"HTTP://x", 0, u""},   {u"7#a#b", 7, u"a#b"},
      {u"", 0, u""},           {u"12ab#c", 12, u"c"},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseLinkTarget(c.target);
    EXPECT_EQ(parsed.page, c.page) << std::string(c.target.begin(), c.target.end());
    EXPECT_EQ(parsed.anchor, c.anchor) << std::string(c.target.begin(), c.target.end());
  }
}

TEST(LinkTarget, OverlongNumberIsClampedNotWrapped) {
  EXPECT_EQ(ParseLinkTarget(u"4294967295").page, 4294967295u);
  EXPECT_EQ(ParseLinkTarget(u"4294967296").page, 4294967295u);
  EXPECT_EQ(ParseLinkTarget(u"99999999999999999999999#x").page, 4294967295u);
}

TEST(LinkTarget, OnlyLowerCaseHttpIsAWebLink) {
  EXPECT_TRUE(IsWebLink(u"http://example.org"));
  EXPECT_TRUE(IsWebLink(u"https://example.org"));
  EXPECT_FALSE(IsWebLink(u"HTTP://example.org"));
  EXPECT_FALSE(IsWebLink(u"htt"));
  EXPECT_FALSE(IsWebLink(u"120#http"));
}

TEST(LinkTarget, NavigationTextStopsAtTheTerminatorAndTheBlockEnd) {
  const std::uint8_t apple[] = {'a', 0, 'p', 0, 0, 0, 'x', 0};
  EXPECT_EQ(NavigationText(apple, sizeof apple), u"ap");
  EXPECT_EQ(NavigationText(apple, 3), u"a");         // the odd byte is not read
  const std::uint8_t wide[] = {0x16, 0x04, 'b', 0};  // no terminator
  EXPECT_EQ(NavigationText(wide, sizeof wide), u"\u0416b");
  EXPECT_EQ(NavigationText(nullptr, 8), u"");
}

}  // namespace
}  // namespace vrok
