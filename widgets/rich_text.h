#pragma once
// Drawing marked-up text laid out by RichLabel: measuring with Qt's font
// metrics, breaking a label into lines, drawing the runs of each line in
// their styles, and the rectangles of link runs for hit-testing.

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QWidget>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/pages/markup.h"

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

// Measures with Qt's font metrics. The fonts and metrics of the specs met
// so far are kept for the whole program, shared by every measurer: making
// them is most of the cost of measuring a word, and each page makes its
// labels and their measurers anew.
class QtMeasurer : public TextMeasurer {
 public:
  TextExtent Measure(std::u16string_view text, const FontSpec& font) const override;
  // The height of one line of the base font.
  int LineHeight(const FontSpec& font) const { return Entry(font).height; }
  // The width of "..." in the font.
  int EllipsisWidth(const FontSpec& font) const { return Entry(font).ellipsis; }
  const QFont& Font(const FontSpec& font) const { return Entry(font).font; }
  const QFontMetrics& Metrics(const FontSpec& font) const { return Entry(font).metrics; }

 private:
  struct Measured {
    QFont font;
    QFontMetrics metrics;
    int height;
    int ellipsis;
  };
  const Measured& Entry(const FontSpec& font) const;
};

struct LinkBox {
  QRect rect;
  std::uint32_t target = 0;
};

// The label's text broken into lines at most width pixels wide (0 lines:
// no limit).
std::vector<TextLine> RichLines(const RichLabel& label, const QtMeasurer& measurer, int width,
                                std::size_t maxLines, bool breakWords = false);

// Draws lines of a laid-out label from the top-left of area, one line
// height apart, clipped to the area; appends the link runs drawn to links.
// textColour, when given, replaces the colour of runs that are not links.
void DrawRichLines(QPainter& g, const RichLabel& label, const QtMeasurer& measurer,
                   const std::vector<TextLine>& lines, QRect area, int lineHeight,
                   std::vector<LinkBox>* links, const QColor* textColour = nullptr);

// Marked-up text laid out once and wrapped to whatever width it is drawn at.
class WrappedText {
 public:
  void Set(const std::u16string& markup, const FontSpec& font);
  bool Empty() const { return !label_ || !label_->IsLaidOut(); }
  const std::u16string& Markup() const { return markup_; }
  // The text as drawn, without markup.
  std::u16string Plain() const { return label_ ? label_->Text() : std::u16string(); }
  // The height of the lines the text takes at that width; 0 when empty.
  int HeightFor(int width) const;
  void Draw(QPainter& g, QRect area, const QColor& colour) const;

 private:
  // The text broken into lines at that width. The lines of the last few
  // widths asked are kept: a layout asks its width and the size hint's
  // width in turn, several times, and painting asks again.
  const std::vector<TextLine>& LinesFor(int width) const;

  struct KeptLines {
    int width = -1;
    std::vector<TextLine> lines;
  };
  static constexpr std::size_t kKeptWidths = 4;

  std::u16string markup_;
  std::optional<RichLabel> label_;
  QtMeasurer measurer_;
  mutable std::array<KeptLines, kKeptWidths> kept_;
  mutable std::size_t nextKept_ = 0;
};

// The rich-text display window: marked-up text wrapped to the window's
// width in the font it was given, in one colour. Text must come with a
// font; given text without one (the page font could not be loaded) it
// shows "FONT MISSING" and keeps what it showed.
class RichTextWindow : public QWidget {
 public:
  explicit RichTextWindow(QWidget* parent);

  // False, after the message, when there is no font.
  bool SetText(const std::u16string& markup, const FontSpec* font);
  void SetTextColour(const QColor& colour);
  const QColor& TextColour() const { return colour_; }
  const WrappedText& Text() const { return text_; }

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override { return text_.HeightFor(width); }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  WrappedText text_;
  QColor colour_ = Qt::black;
};

}  // namespace vrok
