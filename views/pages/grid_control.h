#pragma once
// GridControl draws a GridModel itself: a header row on light blue, white
// cells, grey grid lines, all drawn once into an off-screen bitmap that
// painting copies from at the scroll offset. Its scroll bars (1001 vertical,
// 1002 horizontal, corner 1003) appear only when the table needs them. A tap
// on a link in a cell goes to the link listener; a tap-and-hold on a cell
// shows its whole text in the hidden "popup" child (1004).
//
// By keys: the arrows, Page Up, Page Down, Home and End move a current cell
// (ringed while the grid has the focus, scrolled into view); Enter or Space
// taps it, the Menu key or Shift+F10 holds it. Screen readers see the grid
// as a table of its cells (AccessibleGrid).

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/navigation/page_view.h"
#include "core/pages/grid_model.h"
#include "platform/qt/fonts.h"
#include "platform/qt/timer.h"
#include "widgets/accessible_grid.h"
#include "widgets/rich_text.h"
#include "widgets/screen_report.h"

class QLabel;
class QScrollBar;

namespace vrok {

class GridControl : public QWidget,
                    public ReportedPane,
                    public LinkTarget,
                    public RowTarget,
                    public AccessibleGrid {
 public:
  static constexpr int kVerticalBarId = 1001;
  static constexpr int kHorizontalBarId = 1002;
  static constexpr int kCornerId = 1003;
  static constexpr int kPopupId = 1004;
  static constexpr Colour kHeaderColour = 0xFFCC99;  // light blue, as 0x00BBGGRR
  static constexpr Colour kCellColour = 0xFFFFFF;
  static constexpr Colour kLineColour = 0xC0C0C0;
  // The bitmap is never larger than this many pixels; rows beyond it are
  // not drawn (a damaged count must not size a huge allocation).
  static constexpr std::int64_t kMaxBitmapPixels = 16LL * 1024 * 1024;
  static constexpr int kMaxBitmapSide = 8192;

  explicit GridControl(QWidget* parent);

  // The model is not owned; it must outlive the control or be replaced.
  void SetModel(GridModel* model, const FontSpec& font);
  // Lays the table out again from the model and scrolls to its top left.
  void LayOut();
  void SetLinkListener(std::function<void(PageId page, QPoint at)> listener) {
    linkListener_ = std::move(listener);
  }

  const GridMetrics& Metrics() const { return metrics_; }
  std::int64_t TableWidth() const { return tableWidth_; }
  std::int64_t TableHeight() const { return tableHeight_; }
  const QImage& Bitmap() const { return bitmap_; }
  QPoint Offset() const;
  void ScrollTo(QPoint offset);
  // The part of the control the table is shown in (less the bars).
  QRect ViewRect() const;
  bool HorizontalBarShown() const;
  bool VerticalBarShown() const;
  QScrollBar& HorizontalBar() const { return *hbar_; }
  QScrollBar& VerticalBar() const { return *vbar_; }
  bool PopupShown() const;
  QString PopupText() const;
  // A cell's rectangle in table coordinates.
  QRect CellRect(std::uint32_t row, std::uint32_t column) const;

  void Report(nlohmann::json& pane) const override;
  // Taps the first link to the HREF's page: in the full-text pop-up when
  // it is shown, else in the cells as drawn.
  bool TapLink(const std::u16string& href) override;
  // A tap, or a tap-and-hold, on the first cell of grid row N.
  bool TapRow(int row) override;
  bool HoldRow(int row) override;

  // The cell the keys are on (grid row, column; row 0 is the header row).
  std::optional<QPoint> CurrentCell() const;  // x = column, y = row
  // Makes a laid-out cell the current one and scrolls it into view.
  bool SetCurrentCell(std::uint32_t row, std::uint32_t column);

  int GridRows() const override { return static_cast<int>(drawnRows_); }
  int GridColumns() const override { return static_cast<int>(drawnColumns_); }
  QString GridCellText(int row, int column) const override;
  QRect GridCellRect(int row, int column, bool whole) const override;
  bool GridCurrentCell(int* row, int* column) const override;
  // A tap follows the cell's first link (by keys, also one cut off from
  // view); a hold shows its whole text.
  bool ActivateGridCell(int row, int column) override;
  bool HoldGridCell(int row, int column) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct Cell {
    explicit Cell(std::u16string text) : markup(text), label(std::move(text)) {}
    std::uint32_t row = 0;
    std::uint32_t column = 0;
    std::u16string markup;
    RichLabel label;
    Colour background = kCellColour;
    bool cut = false;  // drawn short, ending in "..."
    std::vector<TextLine> lines;  // wrapped, where the grid has room
  };

  // The part of the table laid out and drawn (all of it unless too large).
  QSize DrawnSize() const;
  void ArrangeBars();
  void Draw();
  std::optional<std::size_t> CellAt(QPoint tablePoint) const;
  void HoldTick();
  // The cell's whole text in the pop-up, placed near `at`.
  void ShowFullText(std::size_t cell, QPoint at);
  // Lays the table out again; the current cell stays when it still exists.
  void Relayout();
  const Cell* CellOf(std::uint32_t row, std::uint32_t column) const;
  // Scrolls so that the whole cell, or as much as fits, is in view.
  void ScrollIntoView(std::uint32_t row, std::uint32_t column);
  void PopupLinkTapped(const QString& href);
  // Scrolls the first cell of a grid row into view; its centre, or none.
  std::optional<QPoint> ShowRowStart(int row);
  // Where there is room (a desktop window): columns as wide as their
  // longest cell up to a readable width, spare width shared, cells wrapped
  // and rows as tall as their longest cell. Else every column and row of
  // the fixed size.
  void FitToRoom();
  // The first column's width drawn over the left edge while the table is
  // scrolled sideways; 0 when it is not pinned.
  int PinnedWidth() const;
  QPoint TablePoint(QPoint at) const;

  GridModel* model_ = nullptr;
  FontSpec font_ = PageFontSpec();
  QtMeasurer measurer_;
  GridMetrics metrics_;
  bool roomy_ = false;
  std::vector<int> columnX_, columnW_, rowY_, rowH_;  // of the drawn cells
  std::int64_t tableWidth_ = 0;
  std::int64_t tableHeight_ = 0;
  std::uint32_t drawnRows_ = 0;  // rows and columns that fit the bitmap
  std::uint32_t drawnColumns_ = 0;
  std::vector<Cell> cells_;
  std::vector<LinkBox> links_;  // in table coordinates
  QImage bitmap_;
  QScrollBar* vbar_ = nullptr;
  QScrollBar* hbar_ = nullptr;
  QWidget* corner_ = nullptr;
  QLabel* popup_ = nullptr;
  QString popupText_;  // plain
  platform::Timer holdTimer_;
  std::optional<std::size_t> pressedCell_;
  std::optional<QPoint> current_;  // x = column, y = row
  QPoint pressPoint_;
  std::function<void(PageId, QPoint)> linkListener_;
};

}  // namespace vrok
