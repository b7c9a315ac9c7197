// Search-as-you-type over sorted index entries.

#include "core/pages/prefix_search.h"

#include <gtest/gtest.h>

#include <vector>

namespace vrok {
namespace {

class List : public SearchEntries {
 public:
  explicit List(std::vector<std::u16string> texts) : texts_(std::move(texts)) {}
  std::uint32_t Count() const override { return static_cast<std::uint32_t>(texts_.size()); }
  std::u16string Text(std::uint32_t i) const override { return texts_.at(i); }

 private:
  std::vector<std::u16string> texts_;
};

TEST(PrefixSearch, FindsTheFirstEntryWithThePrefixIgnoringCase) {
  const List list({u"Apple", u"apricot", u"Banana"});
  EXPECT_EQ(PrefixSearch(list, u"ap"), 0u);
  EXPECT_EQ(PrefixSearch(list, u"APR"), 1u);
  EXPECT_EQ(PrefixSearch(list, u"b"), 2u);
  EXPECT_FALSE(PrefixSearch(list, u""));
  EXPECT_FALSE(PrefixSearch(List({}), u"a"));
}

TEST(PrefixSearch, MarkupIsComparedAsPlainText) {
  const List list({u"<B>Asthma</B>", u"<I>Bronchiolitis</I>", u"Croup &amp; stridor"});
  EXPECT_EQ(PrefixSearch(list, u"bro"), 1u);
  EXPECT_EQ(PrefixSearch(list, u"croup & s"), 2u);
}

TEST(PrefixSearch, WithoutAMatchTheNeighbourIsSelected) {
  const List list({u"Asthma", u"Croup", u"Epilepsy", u"Gout"});
  const auto at = PrefixSearch(list, u"d");
  ASSERT_TRUE(at);
  EXPECT_TRUE(*at == 1u || *at == 2u);
  EXPECT_EQ(PrefixSearch(list, u"zz"), 3u);
  EXPECT_EQ(PrefixSearch(list, u"0"), 0u);
}

TEST(PrefixSearch, ReadsAboutLog2EntriesPerKeystroke) {
  std::vector<std::u16string> texts;
  for (int i = 0; i < 100000; ++i) {
    std::u16string t = u"entry ";
    for (int d = 100000; d > 0; d /= 10) t.push_back(static_cast<char16_t>(u'0' + (i / d) % 10));
    texts.push_back(t);
  }
  const List list(texts);
  std::uint32_t probes = 0;
  EXPECT_EQ(PrefixSearch(list, u"ENTRY 054321", &probes), 54321u);
  EXPECT_LE(probes, 19u);
}

TEST(PrefixSearch, CaseFolding) {
  EXPECT_EQ(FoldCase(u'Q'), u'q');
  EXPECT_EQ(FoldCase(u'\u00C9'), u'\u00E9');
  EXPECT_EQ(FoldCase(u'\u00D7'), u'\u00D7');  // the multiplication sign has no case
  EXPECT_EQ(FoldCase(u'\u0141'), u'\u0142');  // odd-even pairs in Latin Extended-A
  EXPECT_EQ(FoldCase(u'\u0100'), u'\u0101');
  EXPECT_EQ(FoldCase(u'\u0178'), u'\u00FF');
  EXPECT_EQ(FoldCase(u'\u0394'), u'\u03B4');
  EXPECT_EQ(FoldCase(u'\u0416'), u'\u0436');
  EXPECT_EQ(FoldCase(u'\u0401'), u'\u0451');
}

}  // namespace
}  // namespace vrok
