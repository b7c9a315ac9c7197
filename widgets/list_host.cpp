#include "widgets/list_host.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <limits>

#include "content/node_cursor.h"
#include "platform/qt/environment.h"
#include "platform/qt/theme.h"
#include "widgets/focus_ring.h"
#include "widgets/synthetic_input.h"

namespace vrok {

ChildListModel::ChildListModel(const ContentDatabase& db, RowIndex row, std::u16string_view field) {
  NodeCursor cursor;
  if (!cursor.Open(db, row) || !cursor.ToChild(field)) return;
  const NodeRow head = cursor.Row();
  // The run's length from its first row's follower count, bounded by the
  // table's end and, should the count be damaged, by where the run really
  // ends: rows are sorted, so the last row of the run is found by halving.
  const auto inRun = [&db, &head](std::uint64_t r) {
    NodeRow n;
    return db.ReadRow(static_cast<RowIndex>(r), n) && n.parent == head.parent &&
           n.field == head.field;
  };
  std::uint64_t last =
      std::min<std::uint64_t>(std::uint64_t{head.row} + head.followers, db.RowCount() - 1);
  if (!inRun(last)) {
    std::uint64_t lo = head.row;  // in the run
    std::uint64_t hi = last;      // not in it
    while (hi - lo > 1) {
      const std::uint64_t mid = lo + (hi - lo) / 2;
      (inRun(mid) ? lo : hi) = mid;
    }
    last = lo;
  }
  const std::uint64_t count = last - head.row + 1;
  if (count > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) return;
  db_ = &db;
  first_ = head.row;
  count_ = static_cast<std::uint32_t>(count);
}

std::u16string ChildListModel::RowText(int row) const {
  std::u16string text;
  NodeCursor cursor;
  if (db_ != nullptr && row >= 0 && row < RowCount() && cursor.Open(*db_, RowAt(row)))
    cursor.ReadString(text);
  return text;
}

ListHost::ListHost(QWidget* parent) : QWidget(parent), timer_([this] { Tick(); }) {
  setObjectName(QStringLiteral("list"));
  scroll_ = new QScrollBar(Qt::Vertical, this);
  scroll_->setObjectName(QStringLiteral("list-scroll"));
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int value) {
    if (model_ == nullptr) return;
    first_ = std::clamp(value, 0, std::max(0, model_->RowCount() - 1));
    Redraw();
  });
  popup_ = new QLabel(this);
  popup_->setObjectName(QStringLiteral("popup"));
  popup_->setProperty("id", 1001);
  popup_->setWordWrap(true);
  popup_->setStyleSheet(
      QStringLiteral("background: white; border: 1px solid black; padding: 2px;"));
  popup_->hide();
  setFocusPolicy(Qt::StrongFocus);
}

void ListHost::SetModel(const ListModel* model, std::optional<FontSpec> font, QColor background,
                        bool selectable, RowChosen rowChosen, LinkTapped linkTapped) {
  model_ = model;
  hasFont_ = font.has_value();
  font_ = font.value_or(PageFontSpec());
  background_ = background;
  selectable_ = selectable;
  rowChosen_ = std::move(rowChosen);
  linkTapped_ = std::move(linkTapped);
  first_ = 0;
  selected_ = -1;
  ModelChanged();
}

void ListHost::ModelChanged() {
  cache_.clear();
  resizeEvent(nullptr);
}

int ListHost::RowHeight() const {
  // The font's height (the page font's size without one) and a margin of
  // (R_v + 48) / 96 above and below.
  const int dpiY = platform::ScreenMetrics().dpiY;
  const int text = hasFont_ ? std::abs(font_.height) : (dpiY + 3) * 16 / 96;
  return text + 2 * ((dpiY + 48) / 96);
}

int ListHost::ClientWidth() const {
  return width() - (scroll_->isVisible() ? scroll_->width() : 0);
}

ListHost::CachedRow& ListHost::Cached(int row) {
  CachedRow& slot = cache_[row];
  if (!slot.label) {
    slot.label = std::make_unique<RichLabel>(model_->RowText(row));
    slot.label->SetFontAndColour(font_, RgbColour(0, 0, 0));
    slot.label->SetMargins(2, 0, 2, 0);
    slot.label->LayOut(measurer_);
  }
  return slot;
}

void ListHost::resizeEvent(QResizeEvent*) {
  const int count = model_ == nullptr ? 0 : model_->RowCount();
  rowsPerPage_ = std::max(1, height() / RowHeight());
  const int sw = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  scroll_->setGeometry(width() - sw, 0, sw, height());
  {
    const QSignalBlocker block(scroll_);
    scroll_->setRange(0, std::max(0, count - 1));
    scroll_->setPageStep(rowsPerPage_);
    first_ = std::clamp(first_, 0, std::max(0, count - 1));
    scroll_->setValue(first_);
  }
  scroll_->setVisible(count > rowsPerPage_);
  Redraw();
}

// Changes only mark the bitmap stale; the rows are drawn into it when the
// list is next painted, so that a selection and a scroll made together (as
// a search makes them) draw once.
void ListHost::Redraw() {
  stale_ = true;
  update();
}

void ListHost::DrawRows() {
  stale_ = false;
  if (width() <= 0 || height() <= 0) return;
  if (drawn_.size() != size()) drawn_ = QPixmap(size());
  drawn_.fill(platform::Themed(background_));
  if (model_ == nullptr) return;
  QPainter g(&drawn_);
  const int rh = RowHeight();
  const int margin = (platform::ScreenMetrics().dpiY + 48) / 96;
  const QColor white = platform::CurrentColours().selectedText;
  for (int row = first_; row < model_->RowCount() && (row - first_) * rh < height(); ++row) {
    const QRect box(0, (row - first_) * rh, ClientWidth(), rh);
    const bool selected = row == selected_;
    g.fillRect(box, platform::Themed(selected ? kSelectedColour : background_));
    CachedRow& cached = Cached(row);
    if (!cached.label->IsLaidOut()) continue;
    if (cached.lineWidth != box.width() - 4) {
      cached.lineWidth = box.width() - 4;
      cached.line = RichLines(*cached.label, measurer_, cached.lineWidth, 1);
    }
    DrawRichLines(g, *cached.label, measurer_, cached.line, box.adjusted(2, margin, -2, 0), rh,
                  nullptr, selected ? &white : nullptr);
  }
}

void ListHost::paintEvent(QPaintEvent*) {
  if (stale_) DrawRows();
  QPainter g(this);
  g.drawPixmap(0, 0, drawn_);
  if (hasFocus()) {
    // The ring goes round the selected row, or round the list without one.
    const QRect row = RowRect(selected_);
    DrawFocusRing(g, row.isEmpty() ? QRect(0, 0, ClientWidth(), height()) : row);
  }
}

// A hidden list keeps no bitmap of its rows: it is drawn again when next
// painted.
void ListHost::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  drawn_ = QPixmap();
  stale_ = true;
}

void ListHost::SelectRow(int row) {
  const int before = selected_;
  selected_ = model_ != nullptr && row >= 0 && row < model_->RowCount() ? row : -1;
  Redraw();
  if (selected_ != before && selected_ >= 0 && QAccessible::isActive()) {
    // Screen readers hear of the new row; with the focus here it is also
    // the focused item.
    QAccessibleEvent selection(this, QAccessible::Selection);
    selection.setChild(selected_);
    QAccessible::updateAccessibility(&selection);
    if (hasFocus()) {
      QAccessibleEvent focus(this, QAccessible::Focus);
      focus.setChild(selected_);
      QAccessible::updateAccessibility(&focus);
    }
  }
}

QString ListHost::RowPlainText(int row) const {
  if (model_ == nullptr || row < 0 || row >= model_->RowCount()) return {};
  return platform::ToQ(PlainTextOf(model_->RowText(row)));
}

QRect ListHost::RowRect(int row) const {
  if (model_ == nullptr || row < first_ || row >= model_->RowCount()) return {};
  const QRect box(0, (row - first_) * RowHeight(), ClientWidth(), RowHeight());
  return box.top() < height() ? box : QRect();
}

void ListHost::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void ListHost::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

bool ListHost::event(QEvent* event) {
  return ClaimEscapeForPopup(event, popup_) || QWidget::event(event);
}

void ListHost::keyPressEvent(QKeyEvent* event) {
  const int count = RowCount();
  const int key = event->key();
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if ((key == Qt::Key_Menu && plain) ||
      (key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
    if (selected_ >= 0) HoldRow(selected_);
    return;
  }
  if (!plain || count == 0) {
    QWidget::keyPressEvent(event);
    return;
  }
  if (key == Qt::Key_Escape && popup_->isVisible()) {
    popup_->hide();
    return;
  }
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
    popup_->hide();
    if (selected_ >= 0 && selectable_ && rowChosen_) rowChosen_(*this, selected_);
    return;
  }
  const int page = std::max(1, rowsPerPage_);
  int row = selected_;
  switch (key) {
    case Qt::Key_Down: row = selected_ < 0 ? first_ : selected_ + 1; break;
    case Qt::Key_Up: row = selected_ < 0 ? first_ : selected_ - 1; break;
    case Qt::Key_PageDown: row = (selected_ < 0 ? first_ : selected_) + page; break;
    case Qt::Key_PageUp: row = (selected_ < 0 ? first_ : selected_) - page; break;
    case Qt::Key_Home: row = 0; break;
    case Qt::Key_End: row = count - 1; break;
    default: QWidget::keyPressEvent(event); return;
  }
  row = std::clamp(row, 0, count - 1);
  popup_->hide();
  SelectRow(row);
  if (row < first_) {
    scroll_->setValue(row);
  } else if (row >= first_ + page) {
    scroll_->setValue(row - page + 1);
  }
}

void ListHost::ScrollToRow(int row) {
  if (model_ == nullptr || row < 0 || row >= model_->RowCount()) return;
  if (row >= first_ && row < first_ + rowsPerPage_) return;
  scroll_->setValue(row);  // redraws through valueChanged
  first_ = std::clamp(row, 0, std::max(0, model_->RowCount() - 1));
  Redraw();
}

void ListHost::wheelEvent(QWheelEvent* event) {
  scroll_->setValue(scroll_->value() - event->angleDelta().y() / 40);
}

void ListHost::mousePressEvent(QMouseEvent* event) {
  popup_->hide();
  if (model_ == nullptr) return;
  const QPoint at = event->position().toPoint();
  const int row = first_ + at.y() / RowHeight();
  if (row >= model_->RowCount()) return;  // below the last row: nothing selected
  pressed_ = row;
  SelectRow(row);
  const RichLabel& label = Label(row);
  if (linkTapped_ && label.IsLaidOut()) {
    if (const auto page = label.LinkAt(at.x() - 2)) {
      pressed_ = -1;
      linkTapped_(*this, *page, RowPoint(row));
      return;
    }
  }
  ticks_ = 0;
  popupShown_ = false;
  pressPoint_ = at;
  timer_.Start(kHoldDelayMs);
}

void ListHost::Tick() {
  ++ticks_;
  if (pressed_ < 0 || ticks_ >= kHoldTicks) return;
  timer_.Stop();
  const RichLabel& label = Label(pressed_);
  if (label.Width() > ClientWidth()) {
    popup_->setText(platform::ToQ(label.Text()));
    popup_->setFixedWidth(std::max(40, ClientWidth() - pressPoint_.x()));
    popup_->adjustSize();
    popup_->move(pressPoint_);
    popup_->raise();
    popup_->show();
    popupShown_ = true;
  }
}

void ListHost::mouseReleaseEvent(QMouseEvent*) {
  timer_.Stop();
  const int row = std::exchange(pressed_, -1);
  if (row >= 0 && ticks_ < kHoldTicks && !popupShown_ && selectable_ && rowChosen_)
    rowChosen_(*this, row);
}

bool ListHost::PopupShown() const { return popup_->isVisibleTo(this); }
QString ListHost::PopupText() const { return popup_->text(); }

QPoint ListHost::RowPoint(int row) const { return QPoint(0, (row - first_) * RowHeight()); }

bool ListHost::TapRow(int row) {
  if (model_ == nullptr || row < 0 || row >= model_->RowCount()) return false;
  ScrollToRow(row);
  // Right of the text's start, clear of a link run at the row's left.
  const QPoint at = RowPoint(row) + QPoint(ClientWidth() - 4, RowHeight() / 2);
  Tap(this, at);
  return true;
}

bool ListHost::HoldRow(int row) {
  if (model_ == nullptr || row < 0 || row >= model_->RowCount()) return false;
  ScrollToRow(row);
  const QPoint at = RowPoint(row) + QPoint(4, RowHeight() / 2);
  Tap(this, at, kHoldDelayMs);
  return true;
}

void ListHost::Report(nlohmann::json& pane) const {
  pane["kind"] = "ListHost";
  nlohmann::json rows = nlohmann::json::array();
  const int count = model_ == nullptr ? 0 : model_->RowCount();
  for (int i = 0; i < count; ++i)
    rows.push_back(platform::ToQ(PlainTextOf(model_->RowText(i))).toStdString());
  pane["rows"] = std::move(rows);
  pane["selected"] = selected_;
  pane["first_visible"] = first_;
}

}  // namespace vrok
