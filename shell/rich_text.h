#pragma once
// Drawing marked-up text laid out by RichLabel: measuring with Qt's font
// metrics, breaking a label into lines, drawing the runs of each line in
// their styles, and the rectangles of link runs for hit-testing.

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "render/markup.h"

class QPainter;

namespace vrok {

// A positive height is the character cell's, a negative one the character's.
QFont ToQFont(const FontSpec& spec);
// The font at the largest pixel size whose line height fits cellHeight.
QFont WithCellHeight(QFont font, int cellHeight);
inline QColor ToQColor(Colour c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
inline Colour FromQColor(const QColor& c) {
  return RgbColour(static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                   static_cast<std::uint8_t>(c.blue()));
}

// The face "PPC_Font2" at ((L + 3) x 16) / 96 pixels, weight 400.
FontSpec PageFontSpec();

// Measures with Qt's font metrics. The fonts and metrics of the specs it
// has met are kept: making them is most of the cost of measuring a word.
class QtMeasurer : public TextMeasurer {
 public:
  TextExtent Measure(std::u16string_view text, const FontSpec& font) const override;
  // The height of one line of the base font.
  int LineHeight(const FontSpec& font) const;
  const QFont& Font(const FontSpec& font) const { return Entry(font).first; }
  const QFontMetrics& Metrics(const FontSpec& font) const { return Entry(font).second; }

 private:
  using Key = std::tuple<std::u16string, int, int, bool, bool>;
  const std::pair<QFont, QFontMetrics>& Entry(const FontSpec& font) const;
  mutable std::map<Key, std::pair<QFont, QFontMetrics>> fonts_;
};

struct LinkBox {
  QRect rect;
  std::uint32_t target = 0;
};

// The label's text broken into lines at most width pixels wide (0 lines:
// no limit).
std::vector<TextLine> RichLines(const RichLabel& label, const QtMeasurer& measurer, int width,
                                std::size_t maxLines);

// Draws lines of a laid-out label from the top-left of area, one line
// height apart, clipped to the area; appends the link runs drawn to links.
// textColour, when given, replaces the colour of runs that are not links.
void DrawRichLines(QPainter& g, const RichLabel& label, const QtMeasurer& measurer,
                   const std::vector<TextLine>& lines, QRect area, int lineHeight,
                   std::vector<LinkBox>* links, const QColor* textColour = nullptr);

}  // namespace vrok
