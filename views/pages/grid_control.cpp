#include "views/pages/grid_control.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "core/pages/grid_columns.h"
#include "core/pages/markup.h"
#include "core/pages/page_text.h"
#include "platform/qt/environment.h"
#include "platform/qt/window_mode.h"
#include "widgets/focus_ring.h"
#include "widgets/synthetic_input.h"
#include "platform/qt/theme.h"

namespace vrok {

namespace {
// A cell's runs as the rich text of the full-text pop-up, links kept.
QString PopupHtml(const RichLabel& label) {
  QString html;
  const std::u16string& text = label.Text();
  for (const Run& run : label.Runs()) {
    QString part =
        QString::fromUtf16(text.data() + run.start, static_cast<qsizetype>(run.end - run.start))
            .toHtmlEscaped()
            .replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    if (run.style.bold) part = QStringLiteral("<b>") + part + QStringLiteral("</b>");
    if (run.style.italic) part = QStringLiteral("<i>") + part + QStringLiteral("</i>");
    if (run.style.vertical == VerticalPosition::kSuperscript)
      part = QStringLiteral("<sup>") + part + QStringLiteral("</sup>");
    if (run.style.vertical == VerticalPosition::kSubscript)
      part = QStringLiteral("<sub>") + part + QStringLiteral("</sub>");
    if (run.style.link)
      part = QStringLiteral("<a href=\"%1\">%2</a>").arg(run.style.target).arg(part);
    html += part;
  }
  return html;
}
}  // namespace

GridControl::GridControl(QWidget* parent) : QWidget(parent), holdTimer_([this] { HoldTick(); }) {
  setObjectName(QStringLiteral("grid"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  // The keys move a current cell; the bars need no focus of their own.
  setFocusPolicy(Qt::StrongFocus);
  vbar_ = new QScrollBar(Qt::Vertical, this);
  vbar_->setObjectName(QString::number(kVerticalBarId));
  hbar_ = new QScrollBar(Qt::Horizontal, this);
  hbar_->setObjectName(QString::number(kHorizontalBarId));
  corner_ = new QWidget(this);
  corner_->setObjectName(QString::number(kCornerId));
  corner_->setAutoFillBackground(true);
  for (QWidget* w : {static_cast<QWidget*>(vbar_), static_cast<QWidget*>(hbar_), corner_})
    w->hide();
  vbar_->setFocusPolicy(Qt::NoFocus);
  hbar_->setFocusPolicy(Qt::NoFocus);
  connect(vbar_, &QScrollBar::valueChanged, this, [this] { update(); });
  connect(hbar_, &QScrollBar::valueChanged, this, [this] { update(); });

  popup_ = new QLabel(this);
  popup_->setObjectName(QStringLiteral("popup"));
  popup_->setProperty("id", kPopupId);
  popup_->setWordWrap(true);
  popup_->setTextFormat(Qt::RichText);
  popup_->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  connect(popup_, &QLabel::linkActivated, this,
          [this](const QString& href) { PopupLinkTapped(href); });
  const platform::Colours& colours = platform::CurrentColours();
  popup_->setStyleSheet(QStringLiteral("background: %1; color: %2; border: 1px solid %2; padding: 2px;")
                            .arg(colours.page.name(), colours.text.name()));
  popup_->hide();
  RenewGridInterface(this);
}

void GridControl::SetModel(GridModel* model, const FontSpec& font) {
  model_ = model;
  font_ = font;
  popup_->setFont(ToQFont(font));
}

void GridControl::LayOut() {
  // Another table: the keys start again from no cell.
  current_.reset();
  Relayout();
}

void GridControl::Relayout() {
  popup_->hide();
  holdTimer_.Stop();
  pressedCell_.reset();
  cells_.clear();
  const platform::Screen& screen = platform::ScreenMetrics();
  metrics_ = GridMetrics::For(screen.dpiX, screen.dpiY, measurer_.LineHeight(font_));
  const std::uint32_t columns = model_ != nullptr ? model_->ColumnCount() : 0;
  const std::uint32_t rows = model_ != nullptr ? model_->RowCount() : 0;
  tableWidth_ = metrics_.TableWidth(columns);
  tableHeight_ = metrics_.TableHeight(rows);

  // Only as many columns and rows as the bitmap may hold are laid out.
  const std::int64_t columnPitch = metrics_.column + 2 * metrics_.inset + metrics_.line;
  const std::int64_t rowPitch = metrics_.line + metrics_.rowHeight;
  drawnColumns_ = static_cast<std::uint32_t>(
      std::min<std::int64_t>(columns, (kMaxBitmapSide - metrics_.line) / columnPitch));
  const std::int64_t width = std::max<std::int64_t>(1, metrics_.TableWidth(drawnColumns_));
  const std::int64_t maxHeight = std::min<std::int64_t>(kMaxBitmapPixels / width, 32767);
  drawnRows_ = static_cast<std::uint32_t>(std::min<std::int64_t>(
      rows, std::max<std::int64_t>(0, (maxHeight - metrics_.line) / rowPitch)));
  if (drawnColumns_ == 0 || drawnRows_ == 0) drawnColumns_ = drawnRows_ = 0;

  cells_.reserve(std::size_t{drawnRows_} * drawnColumns_);
  for (std::uint32_t r = 0; r < drawnRows_; ++r)
    for (std::uint32_t c = 0; c < drawnColumns_; ++c) {
      Cell cell(model_->Cell(r, c));
      cell.row = r;
      cell.column = c;
      cell.background = r == 0 ? kHeaderColour : kCellColour;
      cell.label.SetFontAndColour(font_, 0);
      cell.label.LayOut(measurer_);
      cells_.push_back(std::move(cell));
    }
  FitToRoom();
  hbar_->setValue(0);
  vbar_->setValue(0);
  ArrangeBars();
  Draw();
  if (current_ && CellOf(current_->y(), current_->x()) == nullptr) current_.reset();
  if (current_) ScrollIntoView(current_->y(), current_->x());
  update();
}

void GridControl::FitToRoom() {
  const int g = metrics_.line, p = metrics_.inset;
  roomy_ = platform::DesktopMode() && drawnColumns_ > 0;
  columnW_.assign(drawnColumns_, metrics_.column);
  rowH_.assign(drawnRows_, metrics_.rowHeight);
  if (roomy_) {
    std::vector<int> longest(drawnColumns_, 0);
    for (const Cell& cell : cells_)
      longest[cell.column] = std::max(longest[cell.column], cell.label.Width());
    // About 40 average characters: longer cells wrap.
    const int most = std::max(metrics_.column, measurer_.LineHeight(font_) * 12);
    // Each column's most keeps the table inside the largest bitmap.
    const std::int64_t pitchExtra = 2 * p + g;
    const int bitmapMost = static_cast<int>(std::max<std::int64_t>(
        metrics_.column, (kMaxBitmapSide - g) / drawnColumns_ - pitchExtra));
    const std::int64_t room =
        std::int64_t{width()} - metrics_.scrollBar - g - pitchExtra * drawnColumns_;
    columnW_ = FitColumns(longest, metrics_.column, std::min(most, bitmapMost), room);
    const int lineHeight = measurer_.LineHeight(font_);
    for (Cell& cell : cells_) {
      // A word wider than its column is broken rather than cut: nothing is hidden.
      cell.lines = RichLines(cell.label, measurer_, columnW_[cell.column], 0, true);
      const int lines = std::max<int>(1, static_cast<int>(cell.lines.size()));
      rowH_[cell.row] = std::max(rowH_[cell.row],
                                 metrics_.rowHeight + (lines - 1) * lineHeight);
    }
    // Rows past the largest bitmap are not drawn.
    const std::int64_t tableW = g + [&] {
      std::int64_t w = 0;
      for (int c : columnW_) w += c + pitchExtra;
      return w;
    }();
    const std::int64_t maxHeight = std::min<std::int64_t>(kMaxBitmapPixels / tableW, 32767);
    std::int64_t y = g;
    std::uint32_t fit = 0;
    while (fit < drawnRows_ && y + rowH_[fit] + g <= maxHeight) y += rowH_[fit++] + g;
    if (fit < drawnRows_) {
      drawnRows_ = fit;
      rowH_.resize(fit);
      cells_.erase(cells_.begin() + static_cast<std::ptrdiff_t>(std::size_t{fit} * drawnColumns_),
                   cells_.end());
    }
    if (drawnRows_ == 0) drawnColumns_ = 0;
  }
  columnX_.assign(columnW_.size(), 0);
  rowY_.assign(rowH_.size(), 0);
  int x = g;
  for (std::size_t c = 0; c < columnW_.size(); ++c) {
    columnX_[c] = x;
    x += columnW_[c] + 2 * p + g;
  }
  int y = g;
  for (std::size_t r = 0; r < rowH_.size(); ++r) {
    rowY_[r] = y;
    y += rowH_[r] + g;
  }
  if (roomy_ && drawnColumns_ > 0) {
    tableWidth_ = x;
    tableHeight_ = y;
  }
}

int GridControl::PinnedWidth() const {
  if (!roomy_ || columnX_.size() < 2 || Offset().x() <= 0) return 0;
  return columnX_[1];
}

QPoint GridControl::TablePoint(QPoint at) const {
  // The pinned first column stays where it is drawn, at the left edge.
  if (at.x() < PinnedWidth()) return QPoint(at.x(), at.y() + Offset().y());
  return at + Offset();
}

QSize GridControl::DrawnSize() const {
  if (drawnColumns_ == 0) return QSize(0, 0);
  if (roomy_)
    return QSize(columnX_.back() + columnW_.back() + 2 * metrics_.inset + metrics_.line,
                 rowY_.back() + rowH_.back() + metrics_.line);
  return QSize(static_cast<int>(metrics_.TableWidth(drawnColumns_)),
               static_cast<int>(metrics_.TableHeight(drawnRows_)));
}

QRect GridControl::CellRect(std::uint32_t row, std::uint32_t column) const {
  if (roomy_ && row < rowY_.size() && column < columnX_.size())
    return QRect(columnX_[column], rowY_[row], columnW_[column] + 2 * metrics_.inset, rowH_[row]);
  const int g = metrics_.line;
  const int x = g + static_cast<int>(column) * (metrics_.column + 2 * metrics_.inset + g);
  const int y = g + static_cast<int>(row) * (metrics_.rowHeight + g);
  return QRect(x, y, metrics_.column + 2 * metrics_.inset, metrics_.rowHeight);
}

void GridControl::ArrangeBars() {
  const QSize table = DrawnSize();
  const int s = metrics_.scrollBar;
  const ScrollBarsNeeded need = NeedScrollBars(table.width(), table.height(), width(), height(), s);
  hbar_->setVisible(need.horizontal);
  vbar_->setVisible(need.vertical);
  corner_->setVisible(need.horizontal && need.vertical);
  const QRect view = ViewRect();
  if (need.vertical) vbar_->setGeometry(view.right() + 1, 0, s, view.height());
  if (need.horizontal) hbar_->setGeometry(0, view.bottom() + 1, view.width(), s);
  if (need.horizontal && need.vertical)
    corner_->setGeometry(view.right() + 1, view.bottom() + 1, s, s);

  hbar_->setRange(0, need.horizontal ? std::max(0, table.width() - view.width()) : 0);
  hbar_->setPageStep(std::max(1, view.width()));
  hbar_->setSingleStep(metrics_.column + 2 * metrics_.inset + metrics_.line);
  vbar_->setRange(0, need.vertical ? std::max(0, table.height() - view.height()) : 0);
  vbar_->setPageStep(std::max(1, view.height()));
  vbar_->setSingleStep(metrics_.rowHeight + metrics_.line);
}

QRect GridControl::ViewRect() const {
  const int s = metrics_.scrollBar;
  return QRect(0, 0, std::max(0, width() - (vbar_->isVisibleTo(this) ? s : 0)),
               std::max(0, height() - (hbar_->isVisibleTo(this) ? s : 0)));
}

bool GridControl::HorizontalBarShown() const { return hbar_->isVisibleTo(this); }
bool GridControl::VerticalBarShown() const { return vbar_->isVisibleTo(this); }

QPoint GridControl::Offset() const { return QPoint(hbar_->value(), vbar_->value()); }

void GridControl::ScrollTo(QPoint offset) {
  hbar_->setValue(offset.x());
  vbar_->setValue(offset.y());
}

void GridControl::Draw() {
  links_.clear();
  const QSize table = DrawnSize();
  const QSize size(std::max({1, table.width(), width()}), std::max({1, table.height(), height()}));
  bitmap_ = QImage(size, QImage::Format_RGB32);
  bitmap_.fill(platform::CurrentColours().page);
  if (cells_.empty()) return;
  QPainter g(&bitmap_);
  // The grey shows between and around the cells as the grid lines.
  g.fillRect(QRect(QPoint(0, 0), table), platform::Themed(ToQColor(kLineColour)));
  const int lineHeight = measurer_.LineHeight(font_);
  const int top = std::max(0, (metrics_.rowHeight - lineHeight) / 2);
  for (Cell& cell : cells_) {
    const QRect rect = CellRect(cell.row, cell.column);
    g.fillRect(rect, platform::Themed(ToQColor(cell.background)));
    if (!cell.label.IsLaidOut()) continue;
    if (roomy_) {
      // Every line of the wrapped cell.
      cell.cut = !cell.lines.empty() && cell.lines.back().ellipsis;
      const QRect text(rect.left() + metrics_.inset, rect.top() + top, columnW_[cell.column],
                       lineHeight * static_cast<int>(std::max<std::size_t>(1, cell.lines.size())));
      DrawRichLines(g, cell.label, measurer_, cell.lines, text, lineHeight, &links_);
      continue;
    }
    const auto lines = RichLines(cell.label, measurer_, metrics_.column, 1);
    cell.cut = !lines.empty() && lines.back().ellipsis;
    const QRect text(rect.left() + metrics_.inset, rect.top() + top, metrics_.column, lineHeight);
    DrawRichLines(g, cell.label, measurer_, lines, text, lineHeight, &links_);
  }
}

void GridControl::paintEvent(QPaintEvent*) {
  QPainter g(this);
  const QRect view = ViewRect();
  g.drawImage(view.topLeft(), bitmap_, QRect(Offset(), view.size()));
  if (const int pinned = std::min(PinnedWidth(), view.width()); pinned > 0)
    g.drawImage(view.topLeft(), bitmap_, QRect(0, Offset().y(), pinned, view.height()));
  if (hasFocus()) {
    // The ring goes round the current cell, or round the grid without one.
    QRect ring = current_ ? GridCellRect(current_->y(), current_->x(), false) : QRect();
    if (ring.isEmpty()) ring = view;
    g.setClipRect(view);
    DrawFocusRing(g, ring);
  }
}

void GridControl::resizeEvent(QResizeEvent*) {
  // With room to fit, the columns are fitted to the new width.
  if (platform::DesktopMode() && model_ != nullptr) {
    Relayout();
    return;
  }
  ArrangeBars();
  // The bitmap is at least as large as the client area.
  if (bitmap_.width() < width() || bitmap_.height() < height()) Draw();
}

std::optional<std::size_t> GridControl::CellAt(QPoint p) const {
  for (std::size_t i = 0; i < cells_.size(); ++i)
    if (CellRect(cells_[i].row, cells_[i].column).contains(p)) return i;
  return std::nullopt;
}

void GridControl::mousePressEvent(QMouseEvent* event) {
  popup_->hide();
  const QPoint at = event->position().toPoint();
  if (event->button() != Qt::LeftButton || !ViewRect().contains(at)) return;
  const QPoint p = TablePoint(at);
  for (const LinkBox& link : links_)
    if (link.rect.contains(p)) {
      if (linkListener_) linkListener_(link.target, at);
      return;
    }
  pressedCell_ = CellAt(p);
  pressPoint_ = at;
  // Once the keys are in use, the pressed cell becomes the current one.
  if (pressedCell_ && current_) {
    const Cell& cell = cells_[*pressedCell_];
    current_ = QPoint(static_cast<int>(cell.column), static_cast<int>(cell.row));
    AnnounceGridCell(this, current_->y(), current_->x());
    update();
  }
  if (pressedCell_) holdTimer_.Start(kHoldDelayMs);
}

void GridControl::HoldTick() {
  holdTimer_.Stop();
  if (!pressedCell_) return;
  const std::size_t index = *pressedCell_;
  pressedCell_.reset();
  ShowFullText(index, pressPoint_);
}

void GridControl::ShowFullText(std::size_t index, QPoint at) {
  const Cell& cell = cells_[index];
  if (cell.label.Text().empty()) return;
  // The whole text at full size, wrapped to the room the grid shows.
  const QRect view = ViewRect();
  popupText_ = platform::ToQ(cell.label.Text());
  popup_->setText(PopupHtml(cell.label));
  popup_->setMaximumWidth(std::max(40, view.width() - 2));
  popup_->setMinimumWidth(0);
  popup_->adjustSize();
  const QSize size = popup_->size().boundedTo(view.size());
  popup_->resize(size);
  popup_->move(std::clamp(at.x(), 0, std::max(0, view.width() - size.width())),
               std::clamp(at.y(), 0, std::max(0, view.height() - size.height())));
  popup_->raise();
  popup_->show();
}

void GridControl::mouseReleaseEvent(QMouseEvent*) {
  holdTimer_.Stop();
  pressedCell_.reset();
}

void GridControl::wheelEvent(QWheelEvent* event) {
  const QPoint steps = event->angleDelta() / 120;
  if (event->modifiers() & Qt::ShiftModifier || steps.y() == 0)
    hbar_->setValue(hbar_->value() - (steps.y() + steps.x()) * hbar_->singleStep());
  else
    vbar_->setValue(vbar_->value() - steps.y() * 3 * vbar_->singleStep());
}

bool GridControl::PopupShown() const { return popup_->isVisibleTo(this); }
QString GridControl::PopupText() const { return popupText_; }

void GridControl::PopupLinkTapped(const QString& href) {
  // The link leads on from where the pop-up is, over the cell.
  const QPoint at = popup_->geometry().topLeft();
  popup_->hide();
  if (linkListener_) linkListener_(LeadingNumber(href.toStdU16String()), at);
}

std::optional<QPoint> GridControl::ShowRowStart(int row) {
  if (row < 0) return std::nullopt;
  for (const Cell& cell : cells_) {
    if (cell.row != static_cast<std::uint32_t>(row) || cell.column != 0) continue;
    const QRect rect = CellRect(cell.row, 0);
    const QRect view = ViewRect();
    if (!QRect(Offset(), view.size()).contains(rect.center()))
      ScrollTo(QPoint(0, rect.top() - metrics_.line));
    return rect.center() - Offset();
  }
  return std::nullopt;
}

bool GridControl::TapRow(int row) {
  const auto at = ShowRowStart(row);
  if (!at) return false;
  Tap(this, *at);
  return true;
}

bool GridControl::HoldRow(int row) {
  const auto at = ShowRowStart(row);
  if (!at) return false;
  Tap(this, *at, kHoldDelayMs);
  return true;
}

bool GridControl::TapLink(const std::u16string& href) {
  const std::uint32_t page = LeadingNumber(href);
  if (PopupShown() && popup_->text().contains(QStringLiteral("<a href=\"%1\">").arg(page))) {
    PopupLinkTapped(QString::number(page));
    return true;
  }
  for (const LinkBox& link : links_) {
    if (link.target != page) continue;
    // Scroll the link into view, then tap its middle.
    const QRect view = ViewRect();
    QPoint offset = Offset();
    if (!QRect(offset, view.size()).contains(link.rect.center()))
      ScrollTo(link.rect.center() - QPoint(view.width() / 2, view.height() / 2));
    const QPoint at = link.rect.center() - Offset();
    Tap(this, at);
    return true;
  }
  return false;
}

void GridControl::Report(nlohmann::json& pane) const {
  pane["kind"] = "GridControl";
  pane["columns"] = model_ != nullptr ? model_->ColumnCount() : 0;
  if (roomy_) {
    // With room: the columns' widths, and the lines of every cell in view.
    nlohmann::json widths = nlohmann::json::array();
    for (std::size_t c = 0; c < columnW_.size(); ++c)
      widths.push_back(columnW_[c] + 2 * metrics_.inset);
    pane["columns"] = std::move(widths);
    const QRect seen(Offset(), ViewRect().size());
    const int pinned = PinnedWidth();
    nlohmann::json cells = nlohmann::json::array();
    for (const Cell& cell : cells_) {
      const QRect rect = CellRect(cell.row, cell.column);
      const bool inView = rect.intersects(seen) ||
                          (cell.column == 0 && pinned > 0 && rect.top() < seen.bottom() &&
                           rect.bottom() > seen.top());
      if (!inView) continue;
      nlohmann::json lines = nlohmann::json::array();
      const std::u16string& text = cell.label.Text();
      for (const TextLine& line : cell.lines) {
        const std::size_t end = std::min(line.end, text.size());
        std::u16string shown = text.substr(std::min(line.start, end), end - std::min(line.start, end));
        if (line.ellipsis) shown += u"\u2026";
        lines.push_back(platform::ToQ(shown).toStdString());
      }
      cells.push_back({{"row", cell.row}, {"column", cell.column}, {"lines", std::move(lines)}});
    }
    pane["cells"] = std::move(cells);
    pane["pinned"] = pinned > 0;
  }
  nlohmann::json rows = nlohmann::json::array();
  for (const Cell& cell : cells_) {
    if (cell.column == 0) rows.push_back(nlohmann::json::array());
    rows.back().push_back(platform::ToQ(cell.label.Text()).toStdString());
  }
  pane["rows"] = std::move(rows);
  // Once the keys are in use: the current cell, and a held cell's text.
  if (current_) {
    pane["cell"] = {current_->y(), current_->x()};
    if (PopupShown()) pane["full_text"] = popupText_.toStdString();
  }
  pane["size"] = {tableWidth_, tableHeight_};
  pane["scroll"] = {Offset().x(), Offset().y()};
  pane["bars"] = {{"horizontal", HorizontalBarShown()}, {"vertical", VerticalBarShown()}};
}

const GridControl::Cell* GridControl::CellOf(std::uint32_t row, std::uint32_t column) const {
  if (row >= drawnRows_ || column >= drawnColumns_) return nullptr;
  const std::size_t index = std::size_t{row} * drawnColumns_ + column;
  return index < cells_.size() ? &cells_[index] : nullptr;
}

std::optional<QPoint> GridControl::CurrentCell() const { return current_; }

bool GridControl::GridCurrentCell(int* row, int* column) const {
  if (!current_) return false;
  *row = current_->y();
  *column = current_->x();
  return true;
}

QString GridControl::GridCellText(int row, int column) const {
  if (row < 0 || column < 0) return {};
  const Cell* cell = CellOf(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column));
  return cell != nullptr ? platform::ToQ(cell->label.Text()) : QString();
}

QRect GridControl::GridCellRect(int row, int column, bool whole) const {
  if (row < 0 || column < 0 ||
      CellOf(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column)) == nullptr)
    return {};
  const QRect cell = CellRect(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column));
  const int pinned = PinnedWidth();
  // The pinned first column is drawn at the left edge, whatever the offset.
  const QRect placed = column == 0 && pinned > 0 ? cell.translated(0, -Offset().y())
                                                 : cell.translated(-Offset());
  if (whole) return placed;
  QRect shown = ViewRect();
  if (column > 0 && pinned > 0) shown.setLeft(std::min(pinned, shown.right() + 1));
  return placed.intersected(shown);
}

void GridControl::ScrollIntoView(std::uint32_t row, std::uint32_t column) {
  if (CellOf(row, column) == nullptr) return;
  const QRect cell = CellRect(row, column);
  const QSize view = ViewRect().size();
  const int g = metrics_.line;
  QPoint offset = Offset();
  // Across: the first column is seen from the left edge; another must
  // also clear the pinned first column drawn over the left edge.
  if (column == 0) {
    offset.setX(0);
  } else {
    const int pinned = roomy_ && columnX_.size() >= 2 ? columnX_[1] : 0;
    if (cell.right() + 1 + g > offset.x() + view.width())
      offset.setX(cell.right() + 1 + g - view.width());
    if (cell.left() - (offset.x() > 0 ? pinned : g) < offset.x())
      offset.setX(std::max(0, cell.left() - g - pinned));
  }
  // Down: the whole row, its top first where it does not fit.
  if (cell.bottom() + 1 + g > offset.y() + view.height())
    offset.setY(cell.bottom() + 1 + g - view.height());
  if (cell.top() - g < offset.y()) offset.setY(std::max(0, cell.top() - g));
  ScrollTo(offset);
}

bool GridControl::SetCurrentCell(std::uint32_t row, std::uint32_t column) {
  if (CellOf(row, column) == nullptr) return false;
  const QPoint cell(static_cast<int>(column), static_cast<int>(row));
  const bool moved = current_ != cell;
  current_ = cell;
  popup_->hide();
  ScrollIntoView(row, column);
  update();
  if (moved) AnnounceGridCell(this, cell.y(), cell.x());
  return true;
}

bool GridControl::ActivateGridCell(int row, int column) {
  if (row < 0 || column < 0) return false;
  const auto r = static_cast<std::uint32_t>(row), c = static_cast<std::uint32_t>(column);
  if (CellOf(r, c) == nullptr) return false;
  // A tap on a cell follows a link in it: by keys the first one, also
  // when the cell is cut short before it.
  for (const Run& run : CellOf(r, c)->label.Runs()) {
    if (!run.style.link) continue;
    ScrollIntoView(r, c);
    const QRect shown = GridCellRect(row, column, false);
    if (linkListener_) linkListener_(run.style.target, shown.isEmpty() ? QPoint() : shown.center());
    return true;
  }
  return false;
}

bool GridControl::HoldGridCell(int row, int column) {
  if (row < 0 || column < 0) return false;
  const auto r = static_cast<std::uint32_t>(row), c = static_cast<std::uint32_t>(column);
  const Cell* cell = CellOf(r, c);
  if (cell == nullptr || cell->label.Text().empty()) return false;
  ScrollIntoView(r, c);
  const QRect shown = GridCellRect(row, column, false);
  ShowFullText(static_cast<std::size_t>(cell - cells_.data()), shown.topLeft());
  return PopupShown();
}

bool GridControl::event(QEvent* event) {
  return ClaimEscapeForPopup(event, popup_) || QWidget::event(event);
}

void GridControl::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  if ((key == Qt::Key_Menu && mods == Qt::NoModifier) ||
      (key == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
    if (current_) HoldGridCell(current_->y(), current_->x());
    return;
  }
  if (mods != Qt::NoModifier || drawnRows_ == 0 || drawnColumns_ == 0) {
    QWidget::keyPressEvent(event);
    return;
  }
  if (key == Qt::Key_Escape && popup_->isVisible()) {
    popup_->hide();
    return;
  }
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
    popup_->hide();
    if (current_) ActivateGridCell(current_->y(), current_->x());
    return;
  }
  // The first key only puts the current cell on the top left one.
  const int rows = static_cast<int>(drawnRows_), columns = static_cast<int>(drawnColumns_);
  const int page = std::max(1, ViewRect().height() / std::max(1, metrics_.rowHeight + metrics_.line) - 1);
  int row = current_ ? current_->y() : 0, column = current_ ? current_->x() : 0;
  const int step = current_ ? 1 : 0;
  switch (key) {
    case Qt::Key_Down: row += step; break;
    case Qt::Key_Up: row -= step; break;
    case Qt::Key_Right: column += step; break;
    case Qt::Key_Left: column -= step; break;
    case Qt::Key_PageDown: row += step * page; break;
    case Qt::Key_PageUp: row -= step * page; break;
    case Qt::Key_Home: row = 0; break;
    case Qt::Key_End: row = rows - 1; break;
    default: QWidget::keyPressEvent(event); return;
  }
  SetCurrentCell(static_cast<std::uint32_t>(std::clamp(row, 0, rows - 1)),
                 static_cast<std::uint32_t>(std::clamp(column, 0, columns - 1)));
}

void GridControl::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void GridControl::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

}  // namespace vrok
