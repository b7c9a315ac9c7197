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

TEST(PrefixSearch, WithoutAMatchTheLastEntryAtOrBeforeTheTextIsSelected) {
  const List list({u"Asthma", u"Croup", u"Epilepsy", u"Gout"});
  EXPECT_EQ(PrefixSearch(list, u"d"), 1u);
  EXPECT_EQ(PrefixSearch(list, u"zz"), 3u);
  EXPECT_EQ(PrefixSearch(list, u"0"), 0u);  // before every entry: the first
  const auto hit = FindPrefix(list, u"ep");
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->index, 2u);
  EXPECT_TRUE(hit->begins);
  EXPECT_FALSE(FindPrefix(list, u"d")->begins);

  // A letters index has no entry that begins with a word: the word stops
  // at its letter wherever the halving happens to probe, for every letter
  // and every length of list.
  std::vector<std::u16string> letters;
  for (char16_t c = u'A'; c <= u'Z'; ++c) letters.push_back(std::u16string(1, c));
  for (std::size_t n = 1; n <= letters.size(); ++n) {
    const List some(std::vector<std::u16string>(letters.begin(), letters.begin() + n));
    for (std::size_t i = 0; i < n; ++i) {
      const std::u16string word = std::u16string(1, static_cast<char16_t>(u'a' + i)) + u"zzle";
      const auto at = FindPrefix(some, word);
      ASSERT_TRUE(at);
      EXPECT_EQ(at->index, i) << n << " letters, " << static_cast<char>(word[0]);
      EXPECT_FALSE(at->begins);
    }
  }
  const List az(letters);
  EXPECT_EQ(PrefixSearch(az, u"heart"), 7u);
  EXPECT_EQ(PrefixSearch(az, u"sepsis"), 18u);
  EXPECT_EQ(PrefixSearch(az, u"se"), 18u);
  EXPECT_EQ(PrefixSearch(az, u"sa"), 18u);
  EXPECT_TRUE(FindPrefix(az, u"S")->begins);
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
