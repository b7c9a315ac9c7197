#include "widgets/rich_text.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <map>
#include <tuple>

#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/theme.h"

namespace vrok {

QFont ToQFont(const FontSpec& spec) {
  QFont font(platform::ToQ(spec.face));
  font.setWeight(spec.weight >= 700 ? QFont::Bold : QFont::Normal);
  font.setItalic(spec.italic);
  font.setUnderline(spec.underline);
  if (spec.height < 0)
    font.setPixelSize(-spec.height);  // the character height
  else
    font = WithCellHeight(font, std::max(1, spec.height));
  return font;
}

QFont WithCellHeight(QFont font, int cellHeight) {
  // A positive font height is the height of the character cell (ascent plus
  // descent), as the handheld's fonts were sized; the largest pixel size
  // whose line fits is used. Results are kept per family and height.
  static std::map<std::tuple<QString, int, bool>, int> sizes;
  const auto key = std::make_tuple(font.family(), cellHeight, font.bold());
  auto it = sizes.find(key);
  if (it == sizes.end()) {
    int size = cellHeight;
    for (; size > 1; --size) {
      font.setPixelSize(size);
      if (QFontMetrics(font).height() <= cellHeight) break;
    }
    it = sizes.emplace(key, size).first;
  }
  font.setPixelSize(it->second);
  return font;
}

FontSpec PageFontSpec() {
  FontSpec spec;
  spec.face = u"PPC_Font2";
  spec.height = (platform::ScreenMetrics().dpiY + 3) * 16 / 96;
  return spec;
}

const QtMeasurer::Measured& QtMeasurer::Entry(const FontSpec& font) const {
  using Key = std::tuple<std::u16string, int, int, bool, bool>;
  // Fonts hold Qt's font engines, so the table goes with the application.
  static std::map<Key, Measured>* fonts = nullptr;
  if (fonts == nullptr) {
    fonts = new std::map<Key, Measured>;
    qAddPostRoutine([] {
      delete fonts;
      fonts = nullptr;
    });
  }
  const Key key{font.face, font.height, font.weight, font.italic, font.underline};
  auto it = fonts->find(key);
  if (it == fonts->end()) {
    const QFont q = ToQFont(font);
    const QFontMetrics metrics(q);
    it = fonts->emplace(key, Measured{q, metrics, metrics.height(),
                                      metrics.horizontalAdvance(QStringLiteral("..."))})
             .first;
  }
  return it->second;
}

TextExtent QtMeasurer::Measure(std::u16string_view text, const FontSpec& font) const {
  const Measured& m = Entry(font);
  const QString s = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
  return {m.metrics.horizontalAdvance(s), m.height};
}

std::vector<TextLine> RichLines(const RichLabel& label, const QtMeasurer& measurer, int width,
                                std::size_t maxLines, bool breakWords) {
  return BreakLines(
      label.Text(), std::max(1, width), maxLines, measurer.EllipsisWidth(label.Font()),
      [&](std::size_t start, std::size_t end) { return label.RangeWidth(measurer, start, end); },
      breakWords);
}

void DrawRichLines(QPainter& g, const RichLabel& label, const QtMeasurer& measurer,
                   const std::vector<TextLine>& lines, QRect area, int lineHeight,
                   std::vector<LinkBox>* links, const QColor* textColour) {
  const FontSpec& base = label.Font();
  const int ascent = measurer.Metrics(base).ascent();
  const std::u16string& text = label.Text();
  g.save();
  g.setClipRect(area);
  int top = area.top();
  for (const TextLine& line : lines) {
    int x = area.left();
    for (const Run& run : label.Runs()) {
      const std::size_t from = std::max(run.start, line.start);
      const std::size_t to = std::min(run.end, line.end);
      if (from >= to) continue;
      const FontSpec spec = RunFont(base, run.style);
      const QString part = QString::fromUtf16(text.data() + from, static_cast<qsizetype>(to - from))
                               .replace(QLatin1Char('\n'), QLatin1Char(' '));
      const int w = measurer.Measure(part.toStdU16String(), spec).width;
      int baseline = top + ascent;
      if (run.style.vertical == VerticalPosition::kSubscript) baseline += SubscriptDrop(base);
      if (run.style.vertical == VerticalPosition::kSuperscript)
        baseline = top + measurer.Metrics(spec).ascent();
      g.setFont(measurer.Font(spec));
      g.setPen(textColour != nullptr && !run.style.link ? *textColour
                                                         : platform::Themed(ToQColor(run.style.colour)));
      g.drawText(QPoint(x, baseline), part);
      if (run.style.link && links != nullptr)
        links->push_back({QRect(x, top, w, lineHeight), run.style.target});
      x += w;
    }
    if (line.ellipsis) {
      g.setFont(measurer.Font(base));
      g.drawText(QPoint(x, top + ascent), QStringLiteral("..."));
    }
    top += lineHeight;
  }
  g.restore();
}

void WrappedText::Set(const std::u16string& markup, const FontSpec& font) {
  markup_ = markup;
  label_.emplace(markup);
  label_->SetFontAndColour(font, 0);
  label_->LayOut(measurer_);
  kept_ = {};
  nextKept_ = 0;
}

const std::vector<TextLine>& WrappedText::LinesFor(int width) const {
  for (const KeptLines& k : kept_)
    if (k.width == width) return k.lines;
  // The oldest width gives way.
  KeptLines& slot = kept_[nextKept_];
  nextKept_ = (nextKept_ + 1) % kKeptWidths;
  slot.lines = RichLines(*label_, measurer_, width, 0);
  slot.width = width;
  return slot.lines;
}

int WrappedText::HeightFor(int width) const {
  if (Empty()) return 0;
  return static_cast<int>(LinesFor(width).size()) * measurer_.LineHeight(label_->Font());
}

void WrappedText::Draw(QPainter& g, QRect area, const QColor& colour) const {
  if (Empty()) return;
  const auto& lines = LinesFor(area.width());
  DrawRichLines(g, *label_, measurer_, lines, area, measurer_.LineHeight(label_->Font()), nullptr,
                &colour);
}

RichTextWindow::RichTextWindow(QWidget* parent) : QWidget(parent) {
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
}

bool RichTextWindow::SetText(const std::u16string& markup, const FontSpec* font) {
  if (font == nullptr) {
    platform::ShowMessage(u"FONT MISSING", platform::LoadString(platform::kStrAppCaption),
                          platform::MessageIcon::kNone, platform::MessageButtons::kOk, this);
    return false;
  }
  text_.Set(markup, *font);
  // Screen readers read the text as a label.
  setAccessibleName(platform::ToQ(PlainTextOf(markup)));
  updateGeometry();
  update();
  return true;
}

void RichTextWindow::SetTextColour(const QColor& colour) {
  colour_ = colour;
  update();
}

QSize RichTextWindow::sizeHint() const {
  // As wide as the parent allows; the height follows from the width.
  const int w = parentWidget() != nullptr ? parentWidget()->width() : width();
  return QSize(w, heightForWidth(w));
}

void RichTextWindow::paintEvent(QPaintEvent*) {
  QPainter g(this);
  text_.Draw(g, rect(), platform::Themed(colour_));
}

}  // namespace vrok
