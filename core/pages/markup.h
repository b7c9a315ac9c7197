#pragma once
// Stored markup: entities, "<br>", <b>, <i>, <sup>, <sub>, <a href='page'>.
// Pages in the HTML viewer get the markup unchanged; everything the program
// draws itself goes through one of the two transforms here:
//   PlainTextOf  markup -> plain text (titles, list rows, searching);
//   RichLabel    markup -> styled runs of one line, measured.
// Both share the entity decoder and one tag scanner. Measuring text is left
// to a TextMeasurer so that layout can be computed without a display.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vrok {

// Replaces "&name;" entities (amp, lt, gt, nbsp, copy; a name matches every
// entry it is a prefix of). With escapeLt, a "<" that comes from an entity is
// written as "\<" so that the tag scanner keeps it as text.
std::u16string DecodeEntities(std::u16string_view text, bool escapeLt = false);

// Replaces every lower-case "<br>" by a newline, except one written as "\<br>"
// (an escaped "<" is text, not a tag).
std::u16string ReplaceLineBreaks(std::u16string text);

// Markup to plain text: entities decoded, "<br>" kept as newlines, every
// complete tag removed. Text that only looks like a tag because it was
// written with entities ("&lt;b&gt;") stays.
std::u16string PlainTextOf(std::u16string_view markup);

// A colour as the platform stores it: 0x00BBGGRR.
using Colour = std::uint32_t;
constexpr Colour RgbColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<Colour>(r) | static_cast<Colour>(g) << 8 | static_cast<Colour>(b) << 16;
}
inline constexpr Colour kLinkColour = RgbColour(0x08, 0x6B, 0xE7);  // 0xE76B08

enum class VerticalPosition : std::int32_t { kNormal = 0, kSuperscript = 1, kSubscript = 2 };

struct RunStyle {
  bool link = false;
  bool bold = false;
  bool italic = false;
  VerticalPosition vertical = VerticalPosition::kNormal;
  std::uint32_t target = 0;  // page id of a link, 0 otherwise
  Colour colour = 0;
  bool operator==(const RunStyle&) const = default;
};

// The parts of a font that run styles change. height is the base pixel
// height; only its magnitude matters for derived fonts.
struct FontSpec {
  std::u16string face;
  int height = 0;
  int weight = 400;
  bool italic = false;
  bool underline = false;
};

// The font a run is measured and drawn in: weight 700 when bold, italic as
// styled, underlined for links, and 3/4 of the base height for sup and sub.
FontSpec RunFont(const FontSpec& base, const RunStyle& style);

// How far a subscript run is drawn below the line: |0.3 * base height|.
int SubscriptDrop(const FontSpec& base);

struct TextExtent {
  int width = 0;
  int height = 0;
};

// Measures text in a font; the widgets implement it over their font metrics.
class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  virtual TextExtent Measure(std::u16string_view text, const FontSpec& font) const = 0;
};

struct Run {
  std::size_t start = 0;  // [start, end) in RichLabel::Text()
  std::size_t end = 0;
  RunStyle style;
  int width = 0;
  int height = 0;
};

// One line of marked-up text as styled runs with its measured size.
class RichLabel {
 public:
  explicit RichLabel(std::u16string markup);

  void SetFontAndColour(const FontSpec& font, Colour colour);
  void SetMargins(std::uint8_t left, std::uint8_t top, std::uint8_t right, std::uint8_t bottom);

  // Builds and measures the runs once; later calls do nothing. Returns
  // whether the label is laid out (an empty text never is).
  bool LayOut(const TextMeasurer& measurer);

  bool IsLaidOut() const { return laidOut_; }
  const std::u16string& Text() const { return text_; }  // decoded, tags removed
  const std::vector<Run>& Runs() const { return runs_; }
  const FontSpec& Font() const { return font_; }
  int Width() const { return width_; }    // margins + run widths + 1
  int Height() const { return height_; }  // the tallest run

  // The run drawn at x (from the label's left edge, margin included), or -1.
  int RunAt(int x) const;
  // The target page of the link drawn at x, if any.
  std::optional<std::uint32_t> LinkAt(int x) const;

  // Width of Text()[start, end) drawn in the fonts of the runs it crosses;
  // what the line breaker needs to wrap a laid-out label.
  int RangeWidth(const TextMeasurer& measurer, std::size_t start, std::size_t end) const;

 private:
  std::u16string markup_;
  std::u16string text_;
  std::vector<Run> runs_;
  FontSpec font_;
  Colour colour_ = 0;
  std::uint8_t left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool laidOut_ = false;
  // Range widths measured so far, by (start, end): wrapping the label at
  // several widths, as a layout does, asks for the same ranges again.
  mutable std::unordered_map<std::uint64_t, int> rangeWidths_;
  mutable const TextMeasurer* measuredBy_ = nullptr;
};

// Line breaking of drawn text. Newline and blank are dropped at a break;
// "(", "-", "/" and the dashes U+2012..U+2014 stay visible ("(" starts the
// next line, the others end the current one). Nothing else breaks.
enum class BreakClass { kNone, kDropped, kKept };
BreakClass BreakClassOf(char16_t c);

struct TextLine {
  std::size_t start = 0;  // [start, end) of the text shown on the line
  std::size_t end = 0;
  bool ellipsis = false;  // the line is cut short and ends with "..."
};

// Width in pixels of text[start, end) as drawn.
using RangeWidthFn = std::function<int(std::size_t start, std::size_t end)>;

// Greedy line breaking into lines at most `width` wide. A newline always
// ends a line. A word wider than a whole line is cut and ended with "...",
// or, with breakWords, broken over as many lines as it needs (at least one
// character a line); the last line is cut and ended with "..." when the
// text needs more than maxLines (0: no limit).
std::vector<TextLine> BreakLines(std::u16string_view text, int width, std::size_t maxLines,
                                 int ellipsisWidth, const RangeWidthFn& rangeWidth,
                                 bool breakWords = false);

}  // namespace vrok
