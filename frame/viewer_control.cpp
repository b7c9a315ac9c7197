#include "frame/viewer_control.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include "core/pages/html_pieces.h"
#include "core/pages/page_source.h"
#include "core/pages/viewer_html.h"
#include "platform/qt/environment.h"
#include "platform/qt/fonts.h"
#include "platform/qt/image_decoder.h"
#include "platform/qt/theme.h"

namespace vrok {

namespace {
// What an unanswered picture shows: nothing (a null image would make the
// widget draw its broken-picture icon instead).
QImage NoPicture() {
  QImage empty(1, 1, QImage::Format_ARGB32);
  empty.fill(Qt::transparent);
  return empty;
}

// In the dark theme, text the page colours itself (a red warning, black
// text) is drawn in that colour's dark-theme counterpart, from `from` on;
// in the light theme nothing changes.
void ThemeInk(QTextDocument& doc, int from = 0) {
  if (!platform::DarkTheme()) return;
  struct Ink {
    int start, end;
    QColor colour;
  };
  std::vector<Ink> inks;
  for (QTextBlock block = doc.findBlock(from); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QTextCharFormat format = fragment.charFormat();
      if (!format.hasProperty(QTextFormat::ForegroundBrush)) continue;
      const QColor colour = format.foreground().color();
      const QColor themed = platform::Themed(colour);
      if (themed != colour)
        inks.push_back({fragment.position(), fragment.position() + fragment.length(), themed});
    }
  }
  QTextCursor cursor(&doc);
  for (const Ink& ink : inks) {
    cursor.setPosition(ink.start);
    cursor.setPosition(ink.end, QTextCursor::KeepAnchor);
    QTextCharFormat change;
    change.setForeground(ink.colour);
    cursor.mergeCharFormat(change);
  }
}

// How long one slice of appending a long document may take.
constexpr int kPieceBudgetMs = 8;

// Calls f(href, position) for every link fragment of the document.
template <class F>
void ForEachLink(const QTextDocument& doc, F f) {
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QTextCharFormat format = fragment.charFormat();
      if (format.isAnchor() && !format.anchorHref().isEmpty() &&
          !f(format.anchorHref(), fragment.position()))
        return;
    }
  }
}
}  // namespace

ViewerControl::ViewerControl(QWidget* parent) : QTextBrowser(parent) {
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setUndoRedoEnabled(false);
  setFrameShape(QFrame::NoFrame);
  // Screen readers read the text itself; the viewer is named by what it is.
  setAccessibleName(QStringLiteral("Page"));
  QFont font(QString::fromLatin1(platform::kPageFontFace));
  font.setPixelSize(platform::ScaleY(12));
  document()->setDefaultFont(font);
  verticalScrollBar()->setSingleStep(platform::ScaleY(16));
  // The rest of a long document, a slice of the event loop at a time.
  pieceTimer_ = new QTimer(this);
  pieceTimer_->setInterval(0);
  connect(pieceTimer_, &QTimer::timeout, this, [this] { AppendPieces(kPieceBudgetMs); });
  // Scrolled to the end of what is loaded: the rest is wanted now.
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
    if (Loading() && value >= LoadedEnd()) FinishLoading();
  });
}

void ViewerControl::ShowHtml(const std::u16string& html) {
  document_ = html;
  pieces_.clear();
  nextPiece_ = 0;
  trailingBlock_ = false;
  pieceTimer_->stop();
  std::u16string viewerHtml = ViewerHtml(html);
  std::vector<std::u16string> pieces;
  if (firstPiece_ > 0 && viewerHtml.size() >= 2 * firstPiece_) {
    pieces = SplitAtLineBreaks(viewerHtml, firstPiece_, laterPieces_);
    if (pieces.size() > 1) viewerHtml = std::move(pieces.front());
  }
  setUpdatesEnabled(false);
  // Laid out with the scroll bar in place: a long page then needs one
  // layout instead of two (one without the bar, one again with it); a
  // short page drops the bar afterwards and is laid out again cheaply.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  TakePendingResize();
  setHtml(platform::ToQ(viewerHtml));
  ThemeInk(*document());
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  SettleResize();
  setUpdatesEnabled(true);
  // The rest waits only once the first piece is in: replacing the old
  // document moves the scroll bar, which must not fetch the rest.
  if (pieces.size() > 1) {
    pieces_ = std::move(pieces);
    nextPiece_ = 1;
    pieceTimer_->start();
  }
}

void ViewerControl::TakePendingResize() {
  // A hidden viewer hears of its new size only when shown, and then lays
  // its document out again even at the width it was laid out for. Told
  // now, with the old document gone, it lays the new one out once.
  QWidget* area = viewport();
  if (!area->testAttribute(Qt::WA_PendingResizeEvent)) return;
  document()->clear();
  QResizeEvent resize(area->size(), QSize());
  QCoreApplication::sendEvent(area, &resize);
  area->setAttribute(Qt::WA_PendingResizeEvent, false);
}

void ViewerControl::SettleResize() {
  // The scroll bar's coming and going leaves a hidden viewer a resize to
  // hear of when shown, which would lay the page out again even at the
  // width it has just been laid out at. At that width the viewer need
  // only set its scroll bars, so it is told now that the width is the same.
  QWidget* area = viewport();
  if (!area->testAttribute(Qt::WA_PendingResizeEvent) ||
      document()->textWidth() != area->width()) {
    return;
  }
  QResizeEvent resize(area->size(), area->size());
  QCoreApplication::sendEvent(area, &resize);
  area->setAttribute(Qt::WA_PendingResizeEvent, false);
}

void ViewerControl::AppendPieces(int budgetMs) {
  if (!Loading()) return;
  QElapsedTimer clock;
  clock.start();
  // Each piece goes into a paragraph of its own, in front of an empty last
  // one: the viewer then lays out the new text once, and what is already
  // there not again. The break the document was cut at becomes that new
  // paragraph, which the viewer draws as the new line it was.
  QTextCursor at(document());
  if (!trailingBlock_) {
    at.movePosition(QTextCursor::End);
    at.insertBlock();
    trailingBlock_ = true;
  }
  while (Loading() && (budgetMs < 0 || clock.elapsed() < budgetMs)) {
    at.movePosition(QTextCursor::End);
    at.insertBlock();
    at.movePosition(QTextCursor::PreviousBlock);
    const int start = at.position();
    at.insertFragment(
        QTextDocumentFragment::fromHtml(platform::ToQ(pieces_[nextPiece_]), document()));
    ThemeInk(*document(), start);
    pieces_[nextPiece_++].clear();
  }
  if (!Loading()) {
    at.movePosition(QTextCursor::End);
    at.deletePreviousChar();
    trailingBlock_ = false;
    pieceTimer_->stop();
    pieces_.clear();
    nextPiece_ = 0;
  }
}

int ViewerControl::LoadedEnd() const {
  // From the layout: the scroll bar's range can lag behind a new document.
  const qreal height = document()->documentLayout()->documentSize().height();
  return static_cast<int>(height) - viewport()->height();
}

void ViewerControl::FinishLoading() {
  if (!Loading()) return;
  AppendPieces(-1);
}

void ViewerControl::Clear() {
  document_.clear();
  pieces_.clear();
  nextPiece_ = 0;
  trailingBlock_ = false;
  pieceTimer_->stop();
  // Clearing an empty viewer again costs a new document's set-up.
  if (!document()->isEmpty()) clear();
}

void ViewerControl::JumpToAnchor(const std::u16string& name) {
  FinishLoading();
  scrollToAnchor(platform::ToQ(name));
}

int ViewerControl::ScrollPosition() const { return verticalScrollBar()->value(); }

void ViewerControl::SetScrollPosition(int p) {
  QScrollBar* bar = verticalScrollBar();
  if (Loading() && p > LoadedEnd()) FinishLoading();
  viewport()->setUpdatesEnabled(false);
  {
    const QSignalBlocker quiet(bar);
    bar->setValue(p);
  }
  const QAbstractSlider::SliderAction down = QAbstractSlider::SliderSingleStepAdd;
  const QAbstractSlider::SliderAction up = QAbstractSlider::SliderSingleStepSub;
  lineScrolls_ = p <= 30 ? std::vector{LineScroll::kDown, LineScroll::kUp}
                         : std::vector{LineScroll::kUp, LineScroll::kDown};
  for (const LineScroll step : lineScrolls_)
    bar->triggerAction(step == LineScroll::kDown ? down : up);
  // Near either end of a short document one of the two steps is cut off by
  // the end; the position asked for still wins.
  bar->setValue(p);
  viewport()->setUpdatesEnabled(true);
  viewport()->update();
}

QVariant ViewerControl::loadResource(int type, const QUrl& name) {
  if (type != QTextDocument::ImageResource) return QTextBrowser::loadResource(type, name);
  const std::uint32_t cookie = nextCookie_++;
  if (nextCookie_ == kNoPictureCookie) ++nextCookie_;
  const std::u16string source = platform::FromQ(name.toString());
  ++imageRequests_;
  if (imageListener_) imageListener_(source, cookie);
  if (source_ == nullptr) return NoPicture();
  const ImageReply reply = source_->SupplyImage(source, cookie);
  if (reply.cookie != cookie) return NoPicture();
  const QImage image = platform::DecodeImage(reply.encoded);
  if (image.isNull()) return NoPicture();
  ++imagesShown_;
  return image;
}

std::vector<std::u16string> ViewerControl::Links() {
  FinishLoading();
  std::vector<std::u16string> links;
  ForEachLink(*document(), [&links](const QString& href, int) {
    if (links.empty() || links.back() != platform::FromQ(href))
      links.push_back(platform::FromQ(href));
    return true;
  });
  return links;
}

bool ViewerControl::TapLink(const std::u16string& href) {
  FinishLoading();
  const QString wanted = platform::ToQ(href);
  int position = -1;
  ForEachLink(*document(), [&](const QString& h, int at) {
    if (h != wanted) return true;
    position = at;
    return false;
  });
  if (position < 0) return false;
  QTextCursor cursor(document());
  cursor.setPosition(position);
  setTextCursor(cursor);
  ensureCursorVisible();
  LinkTapped(href);
  return true;
}

void ViewerControl::mousePressEvent(QMouseEvent* event) {
  pressedHref_ =
      event->button() == Qt::LeftButton ? anchorAt(event->position().toPoint()) : QString();
  QTextBrowser::mousePressEvent(event);
}

QString ViewerControl::FocusedLink() const {
  const QTextCursor cursor = textCursor();
  if (!cursor.hasSelection()) return {};
  // Tab selects a whole link; its format is read inside the selection.
  QTextCursor probe(document());
  probe.setPosition(cursor.selectionStart() + 1);
  return probe.charFormat().isAnchor() ? probe.charFormat().anchorHref() : QString();
}

void ViewerControl::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
      (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    const QString href = FocusedLink();
    if (!href.isEmpty()) {
      LinkTapped(platform::FromQ(href));
      return;
    }
  }
  QTextBrowser::keyPressEvent(event);
}

void ViewerControl::mouseReleaseEvent(QMouseEvent* event) {
  QTextBrowser::mouseReleaseEvent(event);
  const QString href = std::exchange(pressedHref_, QString());
  // A tap is a press and a release on the same link.
  if (event->button() == Qt::LeftButton && !href.isEmpty() &&
      anchorAt(event->position().toPoint()) == href)
    LinkTapped(platform::FromQ(href));
}

void ViewerControl::focusOutEvent(QFocusEvent* event) {
  // A viewer hidden with the focus in it (its page has gone) has nothing
  // to redraw: the text control would still work out the caret's rectangle
  // for the repaint, shaping the caret's whole paragraph again. A link the
  // keyboard had marked is a selection, and is unmarked the usual way.
  if (!isVisible() && !textCursor().hasSelection()) {
    QAbstractScrollArea::focusOutEvent(event);
    return;
  }
  QTextBrowser::focusOutEvent(event);
}

void ViewerControl::LinkTapped(const std::u16string& href) {
  if (linkListener_) linkListener_(href);
}

}  // namespace vrok
