#include "core/pages/markup.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vrok {
namespace {

std::string Narrow(std::u16string_view s) {
  std::string out;
  for (const char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// Characters are 6 pixels wide, 8 in bold; the height is the font's.
class FixedMeasurer : public TextMeasurer {
 public:
  TextExtent Measure(std::u16string_view text, const FontSpec& font) const override {
    ++calls;
    lastFonts.push_back(font);
    const int perChar = font.weight == 700 ? 8 : 6;
    return {static_cast<int>(text.size()) * perChar, font.height};
  }
  mutable int calls = 0;
  mutable std::vector<FontSpec> lastFonts;
};

constexpr Colour kBlack = 0x000000;
constexpr Colour kGrey = RgbColour(0x40, 0x40, 0x40);

RichLabel LaidOut(std::u16string markup, const FixedMeasurer& measurer, int height = 16) {
  RichLabel label(std::move(markup));
  label.SetFontAndColour(FontSpec{u"PPC_Font2", height}, kGrey);
  label.LayOut(measurer);
  return label;
}

std::u16string RunText(const RichLabel& label, std::size_t i) {
  const auto& run = label.Runs().at(i);
  return label.Text().substr(run.start, run.end - run.start);
}

TEST(DecodeEntities, KnownAbbreviatedUnknownAndUnfinishedEntities) {
  struct Case {
    std::u16string_view in, out;
  };
  const Case cases[] = {
      {u"salt &amp; pepper", u"salt & pepper"},
      {u"&lt;&gt;&nbsp;&copy;", u"<> \u00A9"},
      {u"x&zz;y", u"xy"},          // unknown: dropped with & and ;
      {u"&AMP;", u""},             // names are case-sensitive
      {u"&ampx;", u""},            // longer than any name
      {u"&am;&l;&n;", u"&< "},     // a prefix of a name is that name
      {u"&;", u"&<> \u00A9"},      // empty name matches every entry
      {u"a & b", u"a & b"},        // blank ends the attempt
      {u"&#169;", u"&#169;"},      // so does any other non-letter
      {u"end &amp", u"end &amp"},  // text ends inside the entity
      {u"&", u"&"},
      {u"&&amp;", u"&&amp;"},  // the second & ends the first attempt
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeEntities(c.in), c.out) << Narrow(c.in);
  EXPECT_EQ(DecodeEntities(u"&lt;b&gt; &l;", true), u"\\<b> \\<");
}

TEST(LineBreakTags, OnlyLowerCaseBrBecomesANewline) {
  EXPECT_EQ(ReplaceLineBreaks(u"a<br>b<br><br>"), u"a\nb\n\n");
  EXPECT_EQ(ReplaceLineBreaks(u"<br<br>>"), u"<br\n>");
  EXPECT_EQ(ReplaceLineBreaks(u"a<BR>b<Br>"), u"a<BR>b<Br>");
  EXPECT_EQ(ReplaceLineBreaks(u"\\<br>"), u"\\<br>") << "escaped";
}

TEST(PlainText, RemovesCompleteTagsOnly) {
  struct Case {
    std::u16string_view in, out;
  };
  const Case cases[] = {
      {u"<b>word</b><br>", u"word\n"},
      {u"a<BR>b", u"ab"},  // removed, no break
      {u"<a href='12'>x</a>", u"x"},
      {u"<a href=\"12\">x</a>", u"x"},
      {u"<a href = ' 12 ' >x</a>", u"x"},          // blanks around the parts
      {u"<a href=12>x</a>", u"<a href=12>x</a>"},  // unquoted: never ends
      {u"<p class>x</p>", u"<p class>x</p>"},      // attribute without value
      {u"<img src='f.png'>", u""},
      {u"<br/>x< b >y", u"xy"},
      {u"<a <b>x", u"x"},  // "<" restarts the name
      {u"a < b", u"a < b"},
      {u"<u>under</u>", u"under"},
      {u"a\\<b>c", u"a<b>c"},  // escaped "<" is text
      {u"a\\bc", u"a\\bc"},
      {u"&lt;b&gt;bold?&lt;/b&gt;", u"<b>bold?</b>"},  // entities stay text
      {u"x &lt; 5 &gt; 2", u"x < 5 > 2"},
      {u"<a href='1\\'2'>q", u"q"},  // backslash skipped in quotes
  };
  for (const auto& c : cases) EXPECT_EQ(PlainTextOf(c.in), c.out) << Narrow(c.in);
}

TEST(RichLabel, LinkRunHasTargetAndLinkColourWithEitherQuote) {
  for (const std::u16string_view markup :
       {u"see <a href='120'>this</a> now", u"see <a href=\"120\">this</a> now"}) {
    FixedMeasurer m;
    const RichLabel label = LaidOut(std::u16string(markup), m);
    EXPECT_EQ(label.Text(), u"see this now");
    ASSERT_EQ(label.Runs().size(), 3u) << Narrow(markup);
    const auto& link = label.Runs()[1];
    EXPECT_EQ(RunText(label, 1), u"this");
    EXPECT_TRUE(link.style.link);
    EXPECT_EQ(link.style.target, 120u);
    EXPECT_EQ(link.style.colour, 0xE76B08u);
    EXPECT_FALSE(label.Runs()[0].style.link);
    EXPECT_EQ(label.Runs()[0].style.colour, kGrey);
    EXPECT_EQ(label.Runs()[2].style, label.Runs()[0].style);
    EXPECT_TRUE(m.lastFonts[1].underline);
  }
  EXPECT_EQ(kLinkColour, 0xE76B08u);
}

TEST(RichLabel, TagsOutsideTheTableAndEscapedTagsStayVisible) {
  FixedMeasurer m;
  const RichLabel escaped = LaidOut(u"&lt;b&gt;text", m);
  EXPECT_EQ(escaped.Text(), u"<b>text");
  ASSERT_EQ(escaped.Runs().size(), 1u);
  EXPECT_FALSE(escaped.Runs()[0].style.bold);

  const RichLabel underline = LaidOut(u"<u>x</u>", m);
  EXPECT_EQ(underline.Text(), u"<u>x</u>");
  ASSERT_EQ(underline.Runs().size(), 1u);

  // A bold tag inside bold text starts no run and is drawn as text.
  const RichLabel twice = LaidOut(u"<b>a<b>b</b>", m);
  EXPECT_EQ(twice.Text(), u"a<b>b");
  EXPECT_TRUE(twice.Runs().at(0).style.bold);
  EXPECT_EQ(RunText(twice, 0), u"a<b>b");
}

TEST(RichLabel, StylesNestAndBreakTagsSplitRuns) {
  FixedMeasurer m;
  const RichLabel label = LaidOut(u"<b>x<i>y</i></b>z<BR>w<br>v", m);
  EXPECT_EQ(label.Text(), u"xyzw\nv");
  ASSERT_EQ(label.Runs().size(), 4u);
  EXPECT_EQ(RunText(label, 0), u"x");
  EXPECT_TRUE(label.Runs()[0].style.bold && !label.Runs()[0].style.italic);
  EXPECT_EQ(RunText(label, 1), u"y");
  EXPECT_TRUE(label.Runs()[1].style.bold && label.Runs()[1].style.italic);
  EXPECT_EQ(RunText(label, 2), u"z");
  EXPECT_EQ(label.Runs()[2].style, (RunStyle{.colour = kGrey}));
  EXPECT_EQ(RunText(label, 3), u"w\nv") << "<BR> only splits the run";
}

TEST(RichLabel, SuperAndSubscriptAreMeasuredThreeQuartersHigh) {
  for (const int base : {16, -16, 15}) {
    FixedMeasurer m;
    const RichLabel label = LaidOut(u"x<sup>2</sup>y<sub>i</sub>", m, base);
    ASSERT_EQ(label.Runs().size(), 5u) << base;
    const int scaled = static_cast<int>(std::abs(base) * 3 / 4);
    EXPECT_EQ(label.Runs()[1].style.vertical, VerticalPosition::kSuperscript);
    EXPECT_EQ(label.Runs()[1].height, scaled) << base;
    EXPECT_EQ(label.Runs()[3].style.vertical, VerticalPosition::kSubscript);
    EXPECT_EQ(label.Runs()[3].height, scaled) << base;
    EXPECT_EQ(label.Runs()[0].height, base);
  }
  EXPECT_EQ(SubscriptDrop(FontSpec{u"f", 16}), 4);
  EXPECT_EQ(SubscriptDrop(FontSpec{u"f", -10}), 3);
}

TEST(RichLabel, SizeIsMarginsPlusRunsPlusOneAndTallestRun) {
  FixedMeasurer m;
  RichLabel label(u"ab<b>cd</b><sup>e</sup>");
  label.SetFontAndColour(FontSpec{u"f", 20}, kBlack);
  label.SetMargins(2, 1, 3, 4);
  ASSERT_TRUE(label.LayOut(m));
  // "ab" 12 + "cd" bold 16 + "e" 6 + the empty last run.
  EXPECT_EQ(label.Width(), 2 + 3 + 12 + 16 + 6 + 1);
  EXPECT_EQ(label.Height(), 20);

  const int calls = m.calls;
  label.SetFontAndColour(FontSpec{u"f", 40}, kBlack);
  EXPECT_TRUE(label.LayOut(m));
  EXPECT_EQ(m.calls, calls) << "laid out once only";
  EXPECT_EQ(label.Height(), 20);

  RichLabel empty(u"");
  EXPECT_FALSE(empty.LayOut(m));
  EXPECT_EQ(empty.Width(), 0);
}

TEST(RichLabel, HitTestingFindsRunAndLink) {
  FixedMeasurer m;
  RichLabel label(u"go <a href='7'>here</a>!");
  label.SetFontAndColour(FontSpec{u"f", 10}, kBlack);
  label.SetMargins(5, 0, 0, 0);
  ASSERT_TRUE(label.LayOut(m));
  // Runs: "go " [5, 23), "here" [23, 47), "!" [47, 53).
  EXPECT_EQ(label.RunAt(4), -1);
  EXPECT_EQ(label.RunAt(5), 0);
  EXPECT_EQ(label.RunAt(23), 1);
  EXPECT_EQ(label.RunAt(52), 2);
  EXPECT_EQ(label.RunAt(53), -1);
  EXPECT_EQ(label.LinkAt(30), 7u);
  EXPECT_EQ(label.LinkAt(22), std::nullopt);
  EXPECT_EQ(label.RangeWidth(m, 1, 5), 2 * 6 + 2 * 6);
}

TEST(RichLabel, RangeWidthsAreMeasuredOnceForTheirFontAndMeasurer) {
  // Wrapping at several widths asks for the same ranges again.
  FixedMeasurer m;
  RichLabel label = LaidOut(u"ab <b>cd</b>", m);
  const int laidOut = m.calls;
  // The whole text is known from laying it out.
  EXPECT_EQ(label.RangeWidth(m, 0, 5), 3 * 6 + 2 * 8);
  EXPECT_EQ(m.calls, laidOut);
  EXPECT_EQ(label.RangeWidth(m, 0, 4), 3 * 6 + 8);
  const int once = m.calls;
  EXPECT_GT(once, laidOut);
  EXPECT_EQ(label.RangeWidth(m, 0, 4), 3 * 6 + 8);
  EXPECT_EQ(m.calls, once);
  // Another measurer measures again; a new font is measured anew.
  FixedMeasurer other;
  EXPECT_EQ(label.RangeWidth(other, 0, 5), 3 * 6 + 2 * 8);
  EXPECT_GT(other.calls, 0);
  const int before = other.calls;
  label.SetFontAndColour(FontSpec{u"PPC_Font2", 20}, kGrey);
  EXPECT_EQ(label.RangeWidth(other, 0, 5), 3 * 6 + 2 * 8);
  EXPECT_GT(other.calls, before);
  EXPECT_EQ(other.lastFonts.back().height, 20);
}

TEST(LineBreaking, BreakCharacters) {
  for (const char16_t c : {u'\n', u' '}) EXPECT_EQ(BreakClassOf(c), BreakClass::kDropped);
  for (const char16_t c : {u'(', u'-', u'/', u'\u2012', u'\u2013', u'\u2014'}) {
    EXPECT_EQ(BreakClassOf(c), BreakClass::kKept) << int(c);
  }
  for (const char16_t c : {u'a', u')', u'.', u',', u'\t', u'\u00A0', u'\u2010', u'\u2015'}) {
    EXPECT_EQ(BreakClassOf(c), BreakClass::kNone) << int(c);
  }
}

// Lines as text, with "..." where a line is cut; one pixel per character.
std::vector<std::u16string> Lines(std::u16string_view text, int width, std::size_t maxLines = 0,
                                  bool breakWords = false) {
  const auto lines = BreakLines(
      text, width, maxLines, 3, [](std::size_t a, std::size_t b) { return static_cast<int>(b - a); },
      breakWords);
  std::vector<std::u16string> out;
  for (const auto& l : lines) {
    out.push_back(std::u16string(text.substr(l.start, l.end - l.start)) +
                  (l.ellipsis ? u"..." : u""));
  }
  return out;
}

TEST(LineBreaking, BrokenWordsShowEveryCharacterAndKeepSurrogatePairsWhole) {
  using L = std::vector<std::u16string>;
  // Cut without the option, broken over lines with it; the words around
  // still break at their blanks.
  EXPECT_EQ(Lines(u"Na Hydroxyethylstarch 6%", 8), (L{u"Na", u"Hydro...", u"6%"}));
  EXPECT_EQ(Lines(u"Na Hydroxyethylstarch 6%", 8, 0, true),
            (L{u"Na", u"Hydroxye", u"thylstar", u"ch 6%"}));
  // Nothing of the text is lost: the lines put back together are the text
  // less the blanks at the wraps.
  std::u16string joined;
  for (const auto& line : Lines(u"Supercalifragilistic", 3, 0, true)) joined += line;
  EXPECT_EQ(joined, u"Supercalifragilistic");
  // One character a line at the least, even when none fits.
  EXPECT_EQ(Lines(u"abc", 0, 0, true), (L{u"a", u"b", u"c"}));
  // A pair is one character: never split between its halves.
  const std::u16string pairs = u"\U0001D11E\U0001D11E\U0001D11E";
  for (const auto& line : Lines(pairs, 3, 0, true)) {
    ASSERT_FALSE(line.empty());
    EXPECT_FALSE(line.front() >= 0xDC00 && line.front() <= 0xDFFF);
    EXPECT_FALSE(line.back() >= 0xD800 && line.back() <= 0xDBFF);
  }
  // The last line allowed is still cut with "..." when text remains.
  EXPECT_EQ(Lines(u"Hydroxyethylstarch", 8, 2, true), (L{u"Hydroxye", u"thyls..."}));
}

TEST(LineBreaking, GreedyLinesAtBreakCharacters) {
  using L = std::vector<std::u16string>;
  EXPECT_EQ(Lines(u"alpha beta gamma", 10), (L{u"alpha beta", u"gamma"}));
  EXPECT_EQ(Lines(u"alpha  beta", 7), (L{u"alpha", u"beta"})) << "blanks at a wrap are dropped";
  EXPECT_EQ(Lines(u"well-known fact", 7), (L{u"well-", u"known", u"fact"}));
  EXPECT_EQ(Lines(u"and/or x", 4), (L{u"and/", u"or x"}));
  EXPECT_EQ(Lines(u"see (note) x", 7), (L{u"see", u"(note)", u"x"}));
  EXPECT_EQ(Lines(u"a\nb", 100), (L{u"a", u"b"}));
  EXPECT_EQ(Lines(u"a\n\n b", 100), (L{u"a", u"", u" b"}));
  EXPECT_EQ(Lines(u"x\u2014y", 2), (L{u"x\u2014", u"y"}));
  EXPECT_EQ(Lines(u"a.b,c;d", 7), (L{u"a.b,c;d"}));
}

TEST(LineBreaking, AParagraphThatFitsIsMeasuredOnce) {
  std::vector<std::pair<std::size_t, std::size_t>> asked;
  const auto width = [&](std::size_t a, std::size_t b) {
    asked.emplace_back(a, b);
    return static_cast<int>(b - a);
  };
  const auto lines = BreakLines(u"one two three  ", 20, 0, 3, width);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].end, 13u) << "blanks at the end are not drawn";
  EXPECT_EQ(asked, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 15}}));
  // Text that does not fit, or has a newline, is walked break by break.
  asked.clear();
  EXPECT_EQ(BreakLines(u"one two three", 8, 0, 3, width).size(), 2u);
  EXPECT_GT(asked.size(), 1u);
  asked.clear();
  EXPECT_EQ(BreakLines(u"one\ntwo", 20, 0, 3, width).size(), 2u);
  EXPECT_EQ(std::count(asked.begin(), asked.end(), std::make_pair(std::size_t{0}, std::size_t{7})),
            0);
}

TEST(LineBreaking, CutTextEndsWithThreeFullStops) {
  using L = std::vector<std::u16string>;
  EXPECT_EQ(Lines(u"abcdefghij xy", 5), (L{u"ab...", u"xy"})) << "a word wider than the line";
  EXPECT_EQ(Lines(u"one two three four", 8, 2), (L{u"one two", u"three..."}));
  EXPECT_EQ(Lines(u"one\ntwo\nthree", 20, 2), (L{u"one", u"two..."}));
  EXPECT_EQ(Lines(u"one two", 8, 1), (L{u"one two"})) << "fits: not cut";
  EXPECT_EQ(Lines(u"abc", 2), (L{u"..."})) << "not even a character fits";
  EXPECT_TRUE(Lines(u"", 10).empty());
}

}  // namespace
}  // namespace vrok
