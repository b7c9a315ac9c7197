#include "widgets/title_bar.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include "platform/qt/environment.h"
#include "platform/qt/theme.h"
#include "widgets/artwork.h"
#include "widgets/picture_button.h"

namespace vrok {

namespace {
constexpr int kBorder = 1;  // SM_CXBORDER, SM_CYBORDER

Qt::Alignment AlignmentOf(int alignment) {
  switch (alignment & 3) {
    case 1:
      return Qt::AlignHCenter;
    case 2:
      return Qt::AlignRight;
    default:
      return Qt::AlignLeft;
  }
}

// Raised to the pane's full width and the given height, over the content.
void ExpandOver(QWidget* title, int height) {
  title->raise();
  title->setGeometry(0, 0, title->parentWidget()->width(), height);
}

QPixmap IndicatorPicture() {
  return art::LoadBitmap(platform::IsHighResolution() ? art::kExpandIndicatorHigh
                                                      : art::kExpandIndicator);
}

}  // namespace

// ---- TitleBar ----

QFont TitleBar::OwnFont() {
  QFont font(QStringLiteral("Sans Serif"));
  font.setBold(true);
  return WithCellHeight(font, (platform::ScreenMetrics().dpiY + 3) * 16 / 96);
}

TitleBar::TitleBar(QWidget* pane) : QWidget(pane) {
  setObjectName(QStringLiteral("title"));
  font_ = OwnFont();
  indicator_ = new PictureButton(kIndicatorId, IndicatorPicture(), this);
  indicator_->hide();
  connect(indicator_, &QAbstractButton::pressed, this, [this] { Press(); });
  connect(indicator_, &QAbstractButton::released, this, [this] { Release(); });
}

void TitleBar::ApplyTheme() {
  indicator_->SetPicture(IndicatorPicture());
}

void TitleBar::Configure(const TitleArgs& args) {
  show_ = args.show;
  textColour_ = args.textColour;
  // A font equal to the one kept does not replace it: the kept one holds
  // the font engines its measurements found, which a new one looks up again.
  const auto take = [this](QFont font) {
    if (font != font_) font_ = std::move(font);
  };
  if (args.font) {
    take(*args.font);
  } else if (ownFont_) {
    take(OwnFont());  // its own font follows the text size of the moment
  }
  ownFont_ = ownFont_ && !args.font;
  if (show_) {
    collapsible_ = args.collapsible;
    background_ = args.background;
    alignment_ = args.alignment;
    text_ = platform::ToQ(PlainTextOf(args.text));
  }
  PlaceIndicator();
  update();
}

int TitleBar::LineHeight() const { return QFontMetrics(font_).height(); }

QStringList TitleBar::Lines(int width) const {
  // Words move to a new line when the line measured up to the next space
  // is at least as wide as the client area; newlines always break.
  const QFontMetrics fm(font_);
  // A one-paragraph text that fits is its own one line: every line the
  // words below could make is a part of it, no wider. One measurement
  // instead of one a word.
  if (!text_.contains(QLatin1Char('\n')) && !text_.startsWith(QLatin1Char(' ')) &&
      fm.horizontalAdvance(text_) < width)
    return {text_};
  QStringList lines;
  for (const QString& paragraph : text_.split(QLatin1Char('\n'))) {
    QString line;
    for (const QString& word : paragraph.split(QLatin1Char(' '))) {
      const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
      if (!line.isEmpty() && fm.horizontalAdvance(candidate) >= width) {
        lines.push_back(line);
        line = word;
      } else {
        line = candidate;
      }
    }
    lines.push_back(line);
  }
  return lines;
}

int TitleBar::Height() const {
  if (!show_) return 0;
  return LineHeight() * (collapsed_ ? 1 : static_cast<int>(Lines(width()).size()));
}

bool TitleBar::IndicatorVisible() const { return indicator_->isVisibleTo(this); }

void TitleBar::PlaceIndicator() {
  if (!show_ || pressed_) return;
  const int lines = static_cast<int>(Lines(width()).size());
  if (lines > 1) {
    const QSize s = indicator_->Picture().size();
    indicator_->setGeometry(width() - s.width() - kBorder, (LineHeight() - s.height()) / 2,
                            s.width(), s.height());
    indicator_->show();
  } else {
    indicator_->hide();
  }
  collapsed_ = true;
}

void TitleBar::Press() {
  if (!collapsible_ || !collapsed_ || pressed_) return;
  pressed_ = true;
  collapsed_ = false;
  indicatorWasVisible_ = indicator_->isVisibleTo(this);
  const int lines = static_cast<int>(Lines(parentWidget()->width()).size());
  ExpandOver(this, LineHeight() * lines + 2 * kBorder);
  if (indicatorWasVisible_) indicator_->hide();
  update();
}

void TitleBar::Release() {
  if (!pressed_) return;
  pressed_ = false;
  if (indicatorWasVisible_) indicator_->show();
  collapsed_ = true;
  setGeometry(0, 0, parentWidget()->width(), LineHeight() + 2 * kBorder);
  update();
}

void TitleBar::paintEvent(QPaintEvent*) {
  QPainter g(this);
  g.fillRect(rect(), platform::Themed(background_));
  if (!show_) return;
  g.setFont(font_);
  g.setPen(platform::ThemedText(textColour_, background_));
  const QStringList lines = collapsed_ ? QStringList{Lines(width()).value(0)} : Lines(width());
  int top = kBorder;
  const int right = IndicatorVisible() ? indicator_->x() : width();
  for (const QString& line : lines) {
    g.drawText(QRect(2, top, right - 4, LineHeight()), AlignmentOf(alignment_) | Qt::AlignVCenter,
               line);
    top += LineHeight();
  }
}

void TitleBar::resizeEvent(QResizeEvent*) { PlaceIndicator(); }
void TitleBar::mousePressEvent(QMouseEvent*) { Press(); }
void TitleBar::mouseReleaseEvent(QMouseEvent*) { Release(); }

// ---- RichTitleBar ----

RichTitleBar::RichTitleBar(QWidget* pane) : QWidget(pane) {
  setObjectName(QStringLiteral("title"));
  LayOut();
}

void RichTitleBar::Configure(const TitleArgs& args) {
  show_ = args.show;
  textColour_ = args.textColour;
  if (args.font) {
    font_.face = args.font->family().toStdU16String();
    font_.height = args.font->pixelSize();
  } else if (ownFont_) {
    // The page font follows the text size of the moment.
    font_ = PageFontSpec();
  }
  ownFont_ = ownFont_ && !args.font;
  if (show_) {
    collapsible_ = args.collapsible;
    background_ = args.background;
    alignment_ = args.alignment;
    markup_ = args.text;
  }
  LayOut();
}

void RichTitleBar::LayOut() {
  label_ = std::make_unique<RichLabel>(markup_);
  label_->SetFontAndColour(font_, FromQColor(textColour_));
  label_->SetMargins(2, 0, 2, 0);
  label_->LayOut(measurer_);
  update();
}

std::vector<TextLine> RichTitleBar::Lines(std::size_t maxLines) const {
  return RichLines(*label_, measurer_, width() - 4, maxLines);
}

int RichTitleBar::Height() const {
  if (!show_ || !label_->IsLaidOut()) return show_ ? measurer_.LineHeight(font_) : 0;
  const int line = std::max(label_->Height(), measurer_.LineHeight(font_));
  return line * (collapsed_ ? 1 : static_cast<int>(Lines(0).size()));
}

std::u16string RichTitleBar::PlainText() const { return label_->Text(); }
std::string RichTitleBar::ReportedTitle() const { return platform::ToQ(PlainText()).toStdString(); }

bool RichTitleBar::TapLink(std::uint32_t target) {
  for (const LinkBox& box : links_) {
    if (box.target != target) continue;
    if (linkListener_) linkListener_(target);
    return true;
  }
  return false;
}

void RichTitleBar::paintEvent(QPaintEvent*) {
  // Drawn into an off-screen bitmap of the client size, then copied.
  drawn_ = QPixmap(size());
  drawn_.fill(platform::Themed(background_));
  links_.clear();
  if (show_ && label_->IsLaidOut()) {
    QPainter g(&drawn_);
    const int line = std::max(label_->Height(), measurer_.LineHeight(font_));
    auto lines = Lines(collapsed_ ? 1 : 0);
    // One line while collapsed, aligned as configured.
    int offset = 0;
    if (lines.size() == 1 && alignment_ != 0) {
      const int w = label_->RangeWidth(measurer_, lines[0].start, lines[0].end);
      offset = alignment_ == 1 ? (width() - 4 - w) / 2 : width() - 4 - w;
    }
    const QColor ink = platform::ThemedText(textColour_, background_);
    DrawRichLines(g, *label_, measurer_, lines,
                  QRect(2 + std::max(0, offset), 0, width() - 4, height()), line, &links_,
                  platform::DarkTheme() ? &ink : nullptr);
  }
  QPainter(this).drawPixmap(0, 0, drawn_);
}

void RichTitleBar::resizeEvent(QResizeEvent*) { update(); }

void RichTitleBar::mousePressEvent(QMouseEvent* event) {
  for (const LinkBox& box : links_) {
    if (box.rect.contains(event->position().toPoint())) {
      if (linkListener_) linkListener_(box.target);
      return;
    }
  }
  if (!collapsible_ || !collapsed_) return;
  pressed_ = true;
  collapsed_ = false;
  ExpandOver(this, Height());
  update();
}

void RichTitleBar::mouseReleaseEvent(QMouseEvent*) {
  if (!pressed_) return;
  pressed_ = false;
  collapsed_ = true;
  setGeometry(0, 0, parentWidget()->width(), Height());
  update();
}

void UseWhiteBackground(QWidget& widget) {
  widget.setAutoFillBackground(true);
  QPalette pal = widget.palette();
  pal.setColor(QPalette::Window, platform::CurrentColours().page);
  pal.setColor(QPalette::Base, platform::CurrentColours().page);
  widget.setPalette(pal);
}

}  // namespace vrok
