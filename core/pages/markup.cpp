#include "core/pages/markup.h"

#include <algorithm>
#include <cstdlib>

#include "core/pages/link_target.h"

namespace vrok {
namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

struct Entity {
  std::u16string_view name;
  char16_t value;
};
constexpr Entity kEntities[] = {
    {u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"nbsp", u' '}, {u"copy", u'\u00A9'},
};

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool IsQuote(char16_t c) { return c == u'\'' || c == u'"'; }

std::u16string AsciiLower(std::u16string s) {
  for (auto& c : s) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return s;
}

// A tag found by the scanner: text[start] is its "<", text[end] its ">".
struct Tag {
  std::size_t start = 0;
  std::size_t end = 0;
  std::u16string name;
  std::u16string attrName;
  std::u16string value;
};

enum class State { kText, kEscape, kBlanks, kName, kAttrName, kValue, kQuoted, kSlash };
enum class Resume { kNone, kName, kAttrName, kEquals, kQuote, kEnd };

// Walks the text with the tag state machine. onTag(tag) returns true to cut
// the tag out of the text; scanning then resumes at the tag's position.
// Otherwise the tag stays and scanning resumes after its ">". A backslash
// makes the next character text; before a "<" the backslash itself is
// dropped. Tags whose attribute value is not quoted never end.
template <typename OnTag>
void ScanTags(std::u16string& text, OnTag&& onTag) {
  State state = State::kText;
  Resume resume = Resume::kNone;
  Tag tag;
  std::size_t i = 0;
  const auto endTag = [&] {
    tag.end = i;
    if (onTag(tag)) {
      text.erase(tag.start, tag.end - tag.start + 1);
      i = tag.start;
    } else {
      ++i;
    }
    state = State::kText;
  };
  while (i < text.size()) {
    const char16_t c = text[i];
    switch (state) {
      case State::kText:
        if (c == u'<') {
          tag = Tag{};
          tag.start = i;
          state = State::kBlanks;
          resume = Resume::kName;
        } else if (c == u'\\') {
          state = State::kEscape;
        }
        ++i;
        continue;
      case State::kEscape:
        state = State::kText;
        if (c == u'<') {
          text.erase(i - 1, 1);  // the "<" now sits at i - 1 and is text
        } else {
          ++i;
        }
        continue;
      case State::kBlanks:
        if (c == u' ') break;
        switch (resume) {
          case Resume::kName:
            tag.name.assign(1, c);
            state = State::kName;
            break;
          case Resume::kAttrName:
            if (c == u'>') {
              endTag();
              continue;
            }
            if (c == u'<') {
              resume = Resume::kName;
            } else {
              tag.attrName.assign(1, c);
              state = State::kAttrName;
            }
            break;
          case Resume::kEquals:
            if (c == u'=') state = State::kValue;
            break;
          case Resume::kQuote:
            if (IsQuote(c)) state = State::kQuoted;
            break;
          case Resume::kEnd:
            if (c == u'>') {
              endTag();
              continue;
            }
            break;
          case Resume::kNone:
            state = State::kText;
            break;
        }
        break;
      case State::kName:
        if (c == u' ') {
          state = State::kBlanks;
          resume = Resume::kAttrName;
        } else if (c == u'>') {
          endTag();
          continue;
        } else {
          tag.name += c;
          if (c == u'/') state = State::kSlash;
        }
        break;
      case State::kAttrName:
        if (c == u' ') {
          state = State::kBlanks;
          resume = Resume::kEquals;
        } else if (c == u'=') {
          state = State::kValue;
        } else {
          tag.attrName += c;
        }
        break;
      case State::kValue:
        tag.value.clear();
        if (c == u' ') {
          state = State::kBlanks;
          resume = Resume::kQuote;
        } else if (IsQuote(c)) {
          state = State::kQuoted;
        }
        break;
      case State::kQuoted:
        if (IsQuote(c)) {
          state = State::kBlanks;
          resume = Resume::kEnd;
        } else if (c != u'\\') {
          tag.value += c;
        }
        break;
      case State::kSlash:
        if (c == u' ') {
          state = State::kBlanks;
          resume = Resume::kNone;
        } else if (c == u'>') {
          endTag();
          continue;
        } else {
          tag.name += c;
        }
        break;
    }
    ++i;
  }
}

// Decoded text with every "<br>" replaced and "<" from entities escaped.
std::u16string PrepareMarkup(std::u16string_view markup) {
  return ReplaceLineBreaks(DecodeEntities(markup, /*escapeLt=*/true));
}

int ScaledHeight(const FontSpec& base, double factor) {
  return static_cast<int>(std::abs(base.height * factor));
}

}  // namespace

std::u16string DecodeEntities(std::u16string_view text, bool escapeLt) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != u'&') {
      out += text[i++];
      continue;
    }
    std::size_t j = i + 1;
    while (j < text.size() && IsAsciiLetter(text[j])) ++j;
    if (j == text.size()) {  // the text ends inside the entity
      out.append(text.substr(i));
      break;
    }
    if (text[j] != u';') {  // not an entity: copied with the character that ended it
      out.append(text.substr(i, j - i + 1));
      i = j + 1;
      continue;
    }
    const std::u16string_view name = text.substr(i + 1, j - i - 1);
    for (const auto& entity : kEntities) {
      if (entity.name.starts_with(name)) {
        if (escapeLt && entity.value == u'<') out += u'\\';
        out += entity.value;
      }
    }
    i = j + 1;
  }
  return out;
}

std::u16string ReplaceLineBreaks(std::u16string text) {
  constexpr std::u16string_view kBreak = u"<br>";
  std::size_t at = 0;
  while ((at = text.find(kBreak, at)) != std::u16string::npos) {
    if (at > 0 && text[at - 1] == u'\\') {
      at += kBreak.size();
      continue;
    }
    text.replace(at, kBreak.size(), 1, u'\n');
    ++at;
  }
  return text;
}

std::u16string PlainTextOf(std::u16string_view markup) {
  std::u16string text = PrepareMarkup(markup);
  ScanTags(text, [](const Tag&) { return true; });
  return text;
}

FontSpec RunFont(const FontSpec& base, const RunStyle& style) {
  FontSpec font = base;
  font.weight = style.bold ? 700 : 400;
  font.italic = style.italic;
  font.underline = style.link;
  if (style.vertical != VerticalPosition::kNormal) font.height = ScaledHeight(base, 0.75);
  return font;
}

int SubscriptDrop(const FontSpec& base) { return ScaledHeight(base, 0.3); }

RichLabel::RichLabel(std::u16string markup) : markup_(std::move(markup)) {}

void RichLabel::SetFontAndColour(const FontSpec& font, Colour colour) {
  font_ = font;
  colour_ = colour;
  rangeWidths_.clear();
}

void RichLabel::SetMargins(std::uint8_t left, std::uint8_t top, std::uint8_t right,
                           std::uint8_t bottom) {
  left_ = left;
  top_ = top;
  right_ = right;
  bottom_ = bottom;
}

bool RichLabel::LayOut(const TextMeasurer& measurer) {
  if (laidOut_ || markup_.empty()) return laidOut_;
  RunStyle current;
  current.colour = colour_;
  RunStyle pending = current;
  text_ = PrepareMarkup(markup_);
  runs_.clear();
  rangeWidths_.clear();
  std::size_t runStart = 0;

  // Applies a tag to the pending style; returns whether it starts a run.
  const auto apply = [&](const Tag& tag) {
    const std::u16string name = AsciiLower(tag.name);
    using V = VerticalPosition;
    const auto setVertical = [&](V v) {
      pending.vertical = v;
      return current.vertical != v;
    };
    if (name == u"br" || name == u"img") return true;
    if (name == u"b") {
      pending.bold = true;
      return !current.bold;
    }
    if (name == u"i") {
      pending.italic = true;
      return !current.italic;
    }
    if (name == u"/b" || name == u"/i") {
      (name == u"/b" ? pending.bold : pending.italic) = false;
      return true;
    }
    if (name == u"sup") return setVertical(V::kSuperscript);
    if (name == u"sub") return setVertical(V::kSubscript);
    if (name == u"/sup" || name == u"/sub") return setVertical(V::kNormal);
    if (name == u"a" && AsciiLower(tag.attrName) == u"href") {
      if (current.link) return false;
      pending.link = true;
      pending.target = ParseLinkTarget(AsciiLower(tag.value)).page;
      pending.colour = kLinkColour;
      return true;
    }
    if (name == u"/a") {
      pending.link = false;
      pending.target = 0;
      pending.colour = colour_;
      return true;
    }
    return false;
  };

  ScanTags(text_, [&](const Tag& tag) {
    if (!apply(tag)) return false;
    if (tag.start > runStart) {
      runs_.push_back(Run{runStart, tag.start, current, 0, 0});
      runStart = tag.start;
    }
    current = pending;
    return true;
  });
  runs_.push_back(Run{runStart, text_.size(), current, 0, 0});

  width_ = left_ + right_ + 1;
  height_ = 0;
  int textWidth = 0;
  for (auto& run : runs_) {
    const auto extent =
        measurer.Measure(std::u16string_view(text_).substr(run.start, run.end - run.start),
                         RunFont(font_, run.style));
    run.width = extent.width;
    run.height = extent.height;
    textWidth += run.width;
    height_ = std::max(height_, run.height);
  }
  width_ += textWidth;
  // The whole text's width is the sum of its runs': a text that fits on a
  // line is not measured again to wrap it.
  measuredBy_ = &measurer;
  if (text_.size() <= 0xffffffffu) rangeWidths_.emplace(text_.size(), textWidth);
  laidOut_ = true;
  return true;
}

int RichLabel::RunAt(int x) const {
  int left = left_;
  for (std::size_t i = 0; i < runs_.size(); ++i) {
    if (x >= left && x < left + runs_[i].width) return static_cast<int>(i);
    left += runs_[i].width;
  }
  return -1;
}

std::optional<std::uint32_t> RichLabel::LinkAt(int x) const {
  const int i = RunAt(x);
  if (i < 0 || !runs_[static_cast<std::size_t>(i)].style.link) return std::nullopt;
  return runs_[static_cast<std::size_t>(i)].style.target;
}

int RichLabel::RangeWidth(const TextMeasurer& measurer, std::size_t start, std::size_t end) const {
  if (measuredBy_ != &measurer) {
    rangeWidths_.clear();
    measuredBy_ = &measurer;
  }
  const bool keyed = start <= 0xffffffffu && end <= 0xffffffffu;
  const std::uint64_t key = (static_cast<std::uint64_t>(start) << 32) | (end & 0xffffffffu);
  if (keyed)
    if (const auto it = rangeWidths_.find(key); it != rangeWidths_.end()) return it->second;
  int width = 0;
  const std::u16string_view text = text_;
  for (const auto& run : runs_) {
    const std::size_t from = std::max(start, run.start);
    const std::size_t to = std::min(end, run.end);
    if (from >= to) continue;
    width += measurer.Measure(text.substr(from, to - from), RunFont(font_, run.style)).width;
  }
  if (keyed) rangeWidths_.emplace(key, width);
  return width;
}

BreakClass BreakClassOf(char16_t c) {
  switch (c) {
    case u'\n':
    case u' ':
      return BreakClass::kDropped;
    case u'(':
    case u'-':
    case u'/':
    case u'\u2012':
    case u'\u2013':
    case u'\u2014':
      return BreakClass::kKept;
    default:
      return BreakClass::kNone;
  }
}

std::vector<TextLine> BreakLines(std::u16string_view text, int width, std::size_t maxLines,
                                 int ellipsisWidth, const RangeWidthFn& rangeWidth,
                                 bool breakWords) {
  std::vector<TextLine> lines;
  const std::size_t n = text.size();

  // The longest start of [from, limit) that fits with "..." after it.
  const auto cut = [&](std::size_t from, std::size_t limit) {
    std::size_t k = from;
    while (k < limit && rangeWidth(from, k + 1) + ellipsisWidth <= width) ++k;
    return TextLine{from, k, true};
  };

  // One paragraph that fits is one line: with widths growing with the
  // text, every break in it fits too, and the walk below would end at its
  // end. A label knows its whole width already.
  if (n > 0 && text.find(u'\n') == std::u16string_view::npos && rangeWidth(0, n) <= width) {
    std::size_t end = n;
    while (end > 0 && text[end - 1] == u' ') --end;
    lines.push_back(TextLine{0, end, false});
    return lines;
  }

  std::size_t pos = 0;
  while (pos < n) {
    // Walk the break opportunities from pos: each gives the end of this line
    // and the start of the next. Keep the last that fits; a newline or the
    // end of the text stops the walk.
    struct Break {
      std::size_t end, next;
    };
    std::optional<Break> fits, first;
    bool newline = false;
    for (std::size_t i = pos; i <= n; ++i) {
      Break at{n, n};
      if (i < n) {
        const char16_t c = text[i];
        const BreakClass kind = BreakClassOf(c);
        if (kind == BreakClass::kNone || (c == u'(' && i == pos)) continue;
        if (kind == BreakClass::kDropped) {
          at = {i, i + 1};
        } else {
          at = c == u'(' ? Break{i, i} : Break{i + 1, i + 1};
        }
      }
      if (!first) first = at;
      if (rangeWidth(pos, at.end) > width) break;
      fits = at;
      newline = i < n && text[i] == u'\n';
      if (i == n || newline) break;
    }

    const bool last = maxLines != 0 && lines.size() + 1 == maxLines;
    if (!fits && breakWords && !last) {
      // A word wider than the line, broken where the line is full; a
      // surrogate pair stays whole.
      std::size_t k = pos + 1;
      if (k < first->end && IsHighSurrogate(text[pos]) && IsLowSurrogate(text[k])) ++k;
      while (k < first->end && rangeWidth(pos, k + 1) <= width) ++k;
      if (k < first->end && k > pos + 1 && IsLowSurrogate(text[k])) --k;
      lines.push_back(TextLine{pos, k, false});
      pos = k;
      continue;
    }
    if (!fits) {  // a word wider than the line
      lines.push_back(cut(pos, first->end));
      pos = first->next;
    } else if (last && fits->next < n) {
      lines.push_back(cut(pos, std::min(n, text.find(u'\n', pos))));
      pos = n;
    } else {
      std::size_t end = fits->end;
      while (end > pos && text[end - 1] == u' ') --end;  // blanks before a break are not drawn
      lines.push_back(TextLine{pos, end, false});
      pos = fits->next;
    }
    if (last) break;
    if (!newline) {
      while (pos < n && text[pos] == u' ') ++pos;  // blanks after a wrap are not drawn
    }
  }
  return lines;
}

}  // namespace vrok
