#pragma once
// An owner-drawn list of marked-up rows from a model: one line per row,
// drawn with RichLabel, a row cache, a vertical scroll bar, a blue selected
// row. A quick tap chooses a row; a tap-and-hold on a row whose text does
// not fit shows the whole text in a pop-up instead; a tap on a link run
// goes to the link listener. By keys: Up, Down, Page Up, Page Down, Home
// and End move the selection, Enter or Space chooses the selected row, and
// the Menu key or Shift+F10 holds it.

#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "content/content_database.h"
#include "platform/qt/timer.h"
#include "widgets/rich_text.h"
#include "widgets/screen_report.h"

class QScrollBar;

namespace vrok {

class ListModel {
 public:
  virtual ~ListModel() = default;
  virtual int RowCount() const = 0;
  virtual std::u16string RowText(int row) const = 0;  // marked-up text
};

// The children of one content row with a given field (by default
// "hierarchy item"): each child's string value is a row. The children form
// one run of rows, so the model holds only the run's first row and its
// length, and reads a child when it is drawn or searched.
class ChildListModel : public ListModel {
 public:
  ChildListModel() = default;  // no rows
  ChildListModel(const ContentDatabase& db, RowIndex row,
                 std::u16string_view field = u"hierarchy item");
  int RowCount() const override { return static_cast<int>(count_); }
  std::u16string RowText(int row) const override;
  RowIndex RowAt(int row) const { return first_ + static_cast<RowIndex>(row); }

 private:
  const ContentDatabase* db_ = nullptr;
  RowIndex first_ = 0;
  std::uint32_t count_ = 0;
};

class ListHost : public QWidget, public RowTarget, public ReportedPane {
 public:
  using RowChosen = std::function<void(ListHost& list, int row)>;
  using LinkTapped = std::function<void(ListHost& list, std::uint32_t page, QPoint rowTopLeft)>;

  static constexpr QColor kSelectedColour{51, 102, 153};
  static constexpr int kHoldTicks = 20;

  explicit ListHost(QWidget* parent);

  // The model is not owned. Without a font the rows use the page font's
  // size ((R_v + 3) x 16 / 96).
  void SetModel(const ListModel* model, std::optional<FontSpec> font, QColor background,
                bool selectable, RowChosen rowChosen, LinkTapped linkTapped = nullptr);
  // The model's rows changed (rows expanded or collapsed): lay out again.
  void ModelChanged();
  void SelectRow(int row);
  void ScrollToRow(int row);

  int RowHeight() const;
  int RowsPerPage() const { return rowsPerPage_; }
  int FirstVisible() const { return first_; }
  int Selected() const { return selected_; }
  bool PopupShown() const;
  QString PopupText() const;

  int RowCount() const { return model_ == nullptr ? 0 : model_->RowCount(); }
  // The row's text without its markup.
  QString RowPlainText(int row) const;
  // Where a row lies in the list's own coordinates (empty when scrolled out).
  QRect RowRect(int row) const;

  bool TapRow(int row) override;
  bool HoldRow(int row) override;
  void Report(nlohmann::json& pane) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // A row laid out, and its line as last drawn at a width.
  struct CachedRow {
    std::unique_ptr<RichLabel> label;
    std::vector<TextLine> line;
    int lineWidth = -1;
  };
  CachedRow& Cached(int row);
  const RichLabel& Label(int row) { return *Cached(row).label; }
  void Redraw();
  void DrawRows();
  void Tick();
  int ClientWidth() const;
  QPoint RowPoint(int row) const;

  const ListModel* model_ = nullptr;
  FontSpec font_ = PageFontSpec();
  bool hasFont_ = false;
  QColor background_ = Qt::white;
  bool selectable_ = true;
  RowChosen rowChosen_;
  LinkTapped linkTapped_;
  int first_ = 0;
  int rowsPerPage_ = 0;
  int selected_ = -1;
  std::map<int, CachedRow> cache_;
  QtMeasurer measurer_;
  QPixmap drawn_;
  bool stale_ = true;
  QScrollBar* scroll_ = nullptr;
  QLabel* popup_ = nullptr;

  // The press: the row, the 100 ms timer and its ticks, the point.
  int pressed_ = -1;
  platform::Timer timer_;
  int ticks_ = 0;
  bool popupShown_ = false;
  QPoint pressPoint_;
};

}  // namespace vrok
