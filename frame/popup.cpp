#include "frame/popup.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QKeyEvent>
#include <QShortcut>
#include <string>
#include <vector>

#include "content/schema.h"
#include "core/pages/link_target.h"
#include "core/pages/page_text.h"
#include "core/pages/titles.h"
#include "frame/main_window.h"
#include "frame/viewer_control.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "widgets/rich_text.h"
#include "widgets/title_bar.h"
#include "platform/qt/theme.h"

namespace vrok {

namespace {
QPointer<PopupHtmlDialog> shownPopup;
// Where the keyboard focus was when the shown pop-up opened; it goes back
// there when the pop-up closes (else it would fall to the next control).
QPointer<QWidget> focusBeforePopup;

// One border (SM_CXBORDER, SM_CYBORDER).
constexpr int kBorder = 1;
// Room around the text inside the viewer, per side.
int TextMargin() { return platform::ScaleX(4); }
int CaptionHeight() { return platform::ScaleY(20); }

bool IsInputEvent(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return true;
    default:
      return false;
  }
}

// The lines of an HTML fragment: the text between its "<BR>" tags, in any
// case.
std::vector<std::u16string> SplitAtLineBreaks(const std::u16string& text) {
  std::vector<std::u16string> parts(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i + 4 <= text.size() && text[i] == u'<' && (text[i + 1] | 0x20) == u'b' &&
        (text[i + 2] | 0x20) == u'r' && text[i + 3] == u'>') {
      parts.emplace_back();
      i += 3;
    } else {
      parts.back().push_back(text[i]);
    }
  }
  // A break at the very end starts no line that shows.
  if (parts.size() > 1 && parts.back().empty()) parts.pop_back();
  return parts;
}

QRect RectIn(const QWidget* widget, const QWidget* ancestor) {
  return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}
}  // namespace

PopupHtmlDialog::PopupHtmlDialog(QWidget* owner) : QDialog(owner->window()), owner_(owner) {
  // Drawn inside the screen like every window of the program, not as a
  // window of the desktop (QDialog makes itself one on construction).
  setWindowFlags(Qt::Widget);
  setObjectName(QStringLiteral("1005"));
  UseWhiteBackground(*this);

  captionLabel_ = new QLabel(this);
  captionLabel_->setObjectName(QStringLiteral("caption"));
  captionLabel_->setStyleSheet(platform::CaptionSheet());
  ok_ = new QPushButton(QStringLiteral("ok"), this);
  ok_->setObjectName(QStringLiteral("ok"));
  // Caption and OK sized for the screen, as the caption bar is.
  QFont captionFont = captionLabel_->font();
  captionFont.setPixelSize(platform::ScaleY(12));
  captionLabel_->setFont(captionFont);
  ok_->setFont(captionFont);
  connect(ok_, &QPushButton::clicked, this, [this] { accept(); });
  copy_ = new QPushButton(QStringLiteral("Copy"), this);
  copy_->setObjectName(QStringLiteral("copy"));
  copy_->setFont(captionFont);
  copy_->hide();
  connect(copy_, &QPushButton::clicked, this, [this] { CopyToClipboard(); });
  auto* copyKey = new QShortcut(QKeySequence::Copy, this);
  copyKey->setContext(Qt::WidgetWithChildrenShortcut);
  connect(copyKey, &QShortcut::activated, this, [this] { CopyToClipboard(); });

  viewer_ = new ViewerControl(this);
  viewer_->setObjectName(QStringLiteral("1001"));
  // The pop-up supplies no pictures: no page source.
  viewer_->SetLinkListener([this](const std::u16string& href) { LinkTapped(href); });
  hide();
}

PopupHtmlDialog* PopupHtmlDialog::Shown() { return shownPopup.data(); }

void PopupHtmlDialog::Place(const QRect& placement) {
  const QRect owner = RectIn(owner_, parentWidget());
  if (placement.isEmpty()) {
    setGeometry(owner);
  } else {
    setGeometry(owner.left() + (owner.width() - placement.width()) / 2,
                owner.top() + (owner.height() - placement.height()) / 2, placement.width(),
                placement.height());
  }
  Arrange();
}

bool PopupHtmlDialog::Open(const QRect& placement, const std::u16string& caption,
                           const std::u16string& body, Done done) {
  if (open_) return false;
  open_ = true;
  tapped_ = -1;
  caption_ = caption;
  done_ = std::move(done);

  captionLabel_->setText(QStringLiteral(" ") + platform::ToQ(caption));
  placement_ = placement;
  Place(placement);

  html_ = std::u16string(skeleton::kPopupOpen) + body + std::u16string(skeleton::kPopupClose);
  viewer_->Clear();
  viewer_->ShowHtml(html_);

  shownPopup = this;
  // Taps on the page below wait until the pop-up has closed.
  qApp->installEventFilter(this);
  raise();
  focusBeforePopup = QApplication::focusWidget();
  viewer_->setFocus(Qt::PopupFocusReason);
  platform::RunModal(*this);
  return true;
}

std::int32_t PopupHtmlDialog::Show(const QRect& placement, const std::u16string& caption,
                                   const std::u16string& body) {
  std::int32_t result = -1;
  bool ended = false;
  QEventLoop loop;
  const bool opened = Open(placement, caption, body, [&](std::int32_t page) {
    result = page;
    ended = true;
    loop.quit();
  });
  if (!opened) return -1;
  if (!ended) loop.exec();
  return result;
}

void PopupHtmlDialog::LinkTapped(const std::u16string& href) {
  // Web links do nothing here either.
  if (!open_ || IsWebLink(href)) return;
  const ParsedLink link = ParseLinkTarget(href);
  anchor_ = link.anchor;
  // Page ids above the largest signed value would read as "no link".
  tapped_ = static_cast<std::int32_t>(std::min<std::uint32_t>(link.page, INT32_MAX));
  accept();
}

void PopupHtmlDialog::SetCopyText(std::u16string text) { copyText_ = std::move(text); }

bool PopupHtmlDialog::CopyToClipboard() {
  if (copyText_.empty()) return false;
  QGuiApplication::clipboard()->setText(platform::ToQ(copyText_));
  return true;
}

void PopupHtmlDialog::done(int result) {
  copyText_.clear();
  copy_->hide();
  const std::int32_t page = std::exchange(tapped_, -1);
  const bool wasOpen = std::exchange(open_, false);
  replacement_ = nullptr;
  qApp->removeEventFilter(this);
  if (shownPopup == this) shownPopup = nullptr;
  QDialog::done(result);
  if (QWidget* before = std::exchange(focusBeforePopup, nullptr);
      wasOpen && before != nullptr && before->isVisible() && before->isEnabled() &&
      !isAncestorOf(before))
    before->setFocus(Qt::PopupFocusReason);
  if (wasOpen && done_) std::exchange(done_, nullptr)(page);
}

nlohmann::json PopupHtmlDialog::Report() const {
  const QRect g = geometry();
  return {{"caption", platform::ToQ(caption_).toStdString()},
          {"html", platform::ToQ(html_).toStdString()},
          {"geometry", nlohmann::json::array({g.x(), g.y(), g.width(), g.height()})}};
}

void PopupHtmlDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Arrange();
}

void PopupHtmlDialog::Arrange() {
  const int captionH = CaptionHeight();
  const int okW = platform::ScaleX(28);
  captionLabel_->setGeometry(0, 0, width(), captionH);
  ok_->setGeometry(width() - okW - platform::ScaleX(2), platform::ScaleY(2), okW,
                   captionH - platform::ScaleY(4));
  ok_->raise();
  // "Copy" sits left of OK on the caption bar while there is text to copy.
  const int copyW = platform::ScaleX(36);
  copy_->setGeometry(width() - okW - copyW - platform::ScaleX(6), platform::ScaleY(2), copyW,
                     captionH - platform::ScaleY(4));
  copy_->setVisible(!copyText_.empty());
  copy_->raise();
  viewer_->setGeometry(kBorder, captionH, width() - 2 * kBorder, height() - captionH - kBorder);
}

void PopupHtmlDialog::paintEvent(QPaintEvent*) {
  // White inside a one-pixel frame, so the pop-up stands out from the page.
  QPainter g(this);
  g.fillRect(rect(), platform::CurrentColours().page);
  g.setPen(platform::CurrentColours().caption);
  g.drawRect(rect().adjusted(0, 0, -1, -1));
}

bool PopupHtmlDialog::eventFilter(QObject* watched, QEvent* event) {
  if (open_ && event->type() == QEvent::KeyPress) {
    // Escape closes the pop-up, as do Enter and Space unless they follow a
    // link that Tab has reached inside it; other keys stay with it.
    const auto* key = static_cast<QKeyEvent*>(event);
    const int k = key->key();
    const bool onLink = watched == viewer_ && !viewer_->FocusedLink().isEmpty();
    if (k == Qt::Key_Escape ||
        ((k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Space) && !onLink)) {
      ok_->click();
      return true;
    }
  }
  if (open_ && watched == owner_ && event->type() == QEvent::Resize) {
    // The owner has its new size already; the text is wrapped to it again.
    Place(replacement_ ? replacement_() : placement_);
  }
  if (open_ && IsInputEvent(event->type())) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && widget != this && !isAncestorOf(widget) &&
        widget->window() == window())
      return true;
  }
  return QDialog::eventFilter(watched, event);
}

FootnotePopup::FootnotePopup(QWidget* owner) : owner_(owner), font_(PageFontSpec()) {}

PopupHtmlDialog* FootnotePopup::MadeDialog() {
  if (!made_) {
    dialog_ = new PopupHtmlDialog(owner_);
    made_ = true;
  }
  return dialog_.data();
}

FootnotePopup::~FootnotePopup() { delete dialog_.data(); }

QRect FootnotePopup::AvailableArea() const {
  const QRect owner(QPoint(0, 0), owner_->size());
  return owner.adjusted(0, 0, -(platform::ScaleX(1) + kBorder), -(platform::ScaleY(1) + kBorder));
}

QRect FootnotePopup::PopupRect(const std::u16string& text, QPoint point, QRect window,
                               Placement mode) const {
  const FontSpec font = followPage_ ? PageFontSpec() : font_;
  const QRect area = AvailableArea();
  // Everything around the text: borders, the viewer's margins, the caption.
  const int extraW = 2 * kBorder + 2 * TextMargin();
  const int extraH = 2 * kBorder + 2 * TextMargin() + CaptionHeight();
  const int maxTextW = std::max(1, area.width() - extraW);

  // The viewer starts a new line at every "<BR>", whatever its case; each
  // line of the text is measured and wrapped on its own.
  QtMeasurer measurer;
  int textW = 0;
  int lines = 0;
  for (const std::u16string& part : SplitAtLineBreaks(text)) {
    RichLabel label(part);
    label.SetFontAndColour(font, 0);
    if (!label.LayOut(measurer)) {
      ++lines;
      continue;
    }
    const auto wrapped = RichLines(label, measurer, maxTextW, 0);
    const int n = std::max<int>(1, static_cast<int>(wrapped.size()));
    lines += n;
    textW = std::max(textW, n > 1 ? maxTextW : std::min(label.Width(), maxTextW));
  }
  const int w = std::min(area.width(), textW + extraW);
  const int h = std::min(area.height(), lines * measurer.LineHeight(font) + extraH);

  QRect rect(0, 0, std::max(w, CaptionHeight() * 3), h);
  rect.setWidth(std::min(rect.width(), area.width()));
  if (mode == Placement::kAtPoint)
    rect.moveTopLeft(point);
  else
    rect.moveCenter(window.center());
  // Keep it inside the available area.
  rect.moveLeft(std::clamp(rect.left(), area.left(), area.right() + 1 - rect.width()));
  rect.moveTop(std::clamp(rect.top(), area.top(), area.bottom() + 1 - rect.height()));
  return rect;
}

bool FootnotePopup::Show(const std::u16string& title, const std::u16string& text, QPoint point,
                         QRect window, Placement mode) {
  PopupHtmlDialog* dialog = MadeDialog();
  if (dialog == nullptr || dialog->IsOpen()) return false;
  last_ = PopupRect(text, point, window, mode);
  dialog->SetReplacement([this, text, point, window, mode] {
    last_ = PopupRect(text, point, window, mode);
    return last_;
  });
  return dialog->Open(last_, title, text, [this](std::int32_t page) {
    if (page != -1 && listener_) listener_(static_cast<PageId>(page), dialog_->Anchor());
  });
}

bool FootnotePopup::ShowFromPage(const std::u16string& title, const std::u16string& text,
                                 MainWindow& main, const QWidget& pane, bool overPane) {
  const QRect over(pane.mapTo(&main, QPoint(0, 0)), pane.size());
  const QPoint at = main.mapFrom(&main.Screen(), platform::LastStylusPoint());
  return Show(title, text, at, over, overPane ? Placement::kOverWindow : Placement::kAtPoint);
}

bool FootnotePopup::ShowForLink(const ContentDatabase& db, PageId page, MainWindow& main,
                                const QWidget& pane) {
  std::u16string text;
  if (AppendFootnotes(db, page, text)) {
    ShowFromPage(u"Footnotes", text, main, pane, true);
  } else if (FootnoteText(db, page, text)) {
    ShowFromPage(u"Footnote", text, main, pane, false);
  } else if (PopupText(db, page, text)) {
    // With readable titles a pop-up is captioned by the term it explains.
    ShowFromPage(ReadableTitles() ? PopupCaption(text) : std::u16string(), text, main, pane, false);
  } else {
    return false;
  }
  return true;
}

}  // namespace vrok
