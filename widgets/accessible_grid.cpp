#include "widgets/accessible_grid.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWidget>
#include <map>
#include <utility>

#include "widgets/accessible.h"

namespace vrok {

namespace {

AccessibleGrid* GridOf(QWidget* w) { return w != nullptr ? dynamic_cast<AccessibleGrid*>(w) : nullptr; }

class TableInterface;

// One cell of the grid, known by its grid row and column (row 0 holds the
// column headers). It asks the grid at each call, so a cell the grid no
// longer has turns invalid instead of showing another cell's text.
class CellInterface : public QAccessibleInterface,
                      public QAccessibleTableCellInterface,
                      public QAccessibleActionInterface {
 public:
  CellInterface(QWidget* w, int row, int column) : widget_(w), row_(row), column_(column) {}

  AccessibleGrid* Grid() const { return GridOf(widget_); }
  int Row() const { return row_; }
  int Column() const { return column_; }

  bool isValid() const override {
    const AccessibleGrid* g = Grid();
    return g != nullptr && row_ < g->GridRows() && column_ < g->GridColumns();
  }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    return widget_ != nullptr ? widget_->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override {
    return widget_ != nullptr ? QAccessible::queryAccessibleInterface(widget_.data()) : nullptr;
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name && isValid() ? Grid()->GridCellText(row_, column_) : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid() || !widget_->isVisible()) return {};
    QRect box = Grid()->GridCellRect(row_, column_, false);
    if (box.isEmpty()) box = Grid()->GridCellRect(row_, column_, true);
    return box.isEmpty() ? QRect() : ScreenPixels(widget_, box);
  }
  QAccessible::Role role() const override {
    return row_ == 0 ? QAccessible::ColumnHeader : QAccessible::Cell;
  }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    s.selectable = true;
    s.focusable = true;
    s.readOnly = true;
    s.selected = isSelected();
    s.focused = s.selected && widget_->hasFocus();
    s.invisible = !widget_->isVisible();
    s.offscreen = Grid()->GridCellRect(row_, column_, false).isEmpty();
    return s;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
    // The header cells are headers, not cells of a table row.
    if (type == QAccessible::TableCellInterface && row_ > 0)
      return static_cast<QAccessibleTableCellInterface*>(this);
    return nullptr;
  }

  // Table cell: rows counted from the first row under the headers.
  bool isSelected() const override {
    int row = -1, column = -1;
    return isValid() && Grid()->GridCurrentCell(&row, &column) && row == row_ && column == column_;
  }
  QList<QAccessibleInterface*> columnHeaderCells() const override;
  QList<QAccessibleInterface*> rowHeaderCells() const override;
  int columnIndex() const override { return column_; }
  int rowIndex() const override { return row_ - 1; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

  QStringList actionNames() const override { return {pressAction(), showMenuAction()}; }
  void doAction(const QString& action) override {
    if (!isValid()) return;
    if (action == pressAction()) Grid()->ActivateGridCell(row_, column_);
    if (action == showMenuAction()) Grid()->HoldGridCell(row_, column_);
  }
  QStringList keyBindingsForAction(const QString& action) const override {
    if (action == pressAction()) return {QStringLiteral("Return")};
    if (action == showMenuAction()) return {QStringLiteral("Menu")};
    return {};
  }

 private:
  QPointer<QWidget> widget_;
  int row_;
  int column_;
};

// The grid as a table: its children are the header cells, then the cells
// row by row, so child n is cell (n / columns, n % columns).
class TableInterface : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit TableInterface(QWidget* w) : QAccessibleWidget(w, QAccessible::Table) {}
  ~TableInterface() override {
    for (const auto& [place, id] : cells_) QAccessible::deleteAccessibleInterface(id);
  }

  AccessibleGrid* Grid() const { return GridOf(widget()); }
  int Columns() const { return Grid() != nullptr ? Grid()->GridColumns() : 0; }
  int Rows() const { return Grid() != nullptr ? Grid()->GridRows() : 0; }

  // The cell at a grid row and column, made once and kept.
  QAccessibleInterface* Cell(int row, int column) const {
    if (row < 0 || column < 0 || row >= Rows() || column >= Columns()) return nullptr;
    const auto it = cells_.find({row, column});
    if (it != cells_.end()) {
      if (QAccessibleInterface* cell = QAccessible::accessibleInterface(it->second)) return cell;
      cells_.erase(it);
    }
    auto* cell = new CellInterface(widget(), row, column);
    cells_[{row, column}] = QAccessible::registerAccessibleInterface(cell);
    return cell;
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) {
      const QString name = widget()->accessibleName();
      return name.isEmpty() ? QStringLiteral("Table") : name;
    }
    return QAccessibleWidget::text(t);
  }
  QRect rect() const override {
    if (!widget()->isVisible()) return {};
    return ScreenPixels(widget(), widget()->rect());
  }
  int childCount() const override { return Rows() * Columns(); }
  QAccessibleInterface* child(int index) const override {
    const int columns = Columns();
    if (index < 0 || columns == 0) return nullptr;
    return Cell(index / columns, index % columns);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (const auto& [place, id] : cells_)
      if (QAccessible::accessibleInterface(id) == child) {
        if (place.first >= Rows() || place.second >= Columns()) return -1;
        return place.first * Columns() + place.second;
      }
    return -1;
  }
  QAccessibleInterface* focusChild() const override {
    int row = -1, column = -1;
    if (Grid() == nullptr || !widget()->hasFocus() || !Grid()->GridCurrentCell(&row, &column))
      return nullptr;
    return Cell(row, column);
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    AccessibleGrid* grid = Grid();
    if (grid == nullptr) return nullptr;
    for (int r = 0; r < Rows(); ++r)
      for (int c = 0; c < Columns(); ++c) {
        const QRect box = grid->GridCellRect(r, c, false);
        if (!box.isEmpty() && ScreenPixels(widget(), box).contains(x, y)) return Cell(r, c);
      }
    return nullptr;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  // Table: the rows are those under the header row.
  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override { return Cell(row + 1, column); }
  int selectedCellCount() const override { return selectedCells().size(); }
  QList<QAccessibleInterface*> selectedCells() const override {
    int row = -1, column = -1;
    if (Grid() == nullptr || !Grid()->GridCurrentCell(&row, &column)) return {};
    QAccessibleInterface* cell = Cell(row, column);
    return cell != nullptr ? QList<QAccessibleInterface*>{cell} : QList<QAccessibleInterface*>{};
  }
  QString columnDescription(int column) const override {
    return Rows() > 0 && column >= 0 && column < Columns() ? Grid()->GridCellText(0, column)
                                                           : QString();
  }
  QString rowDescription(int row) const override {
    return row >= 0 && row + 1 < Rows() && Columns() > 0 ? Grid()->GridCellText(row + 1, 0)
                                                          : QString();
  }
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return 0; }
  int columnCount() const override { return Columns(); }
  int rowCount() const override { return Rows() > 0 ? Rows() - 1 : 0; }
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override { return {}; }
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int) const override { return false; }
  bool selectRow(int) override { return false; }
  bool selectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  // Cells are known by their place and check it at each call.
  void modelChange(QAccessibleTableModelChangeEvent*) override {}

 private:
  mutable std::map<std::pair<int, int>, QAccessible::Id> cells_;
};

QList<QAccessibleInterface*> CellInterface::columnHeaderCells() const {
  auto* table = dynamic_cast<TableInterface*>(parent());
  QAccessibleInterface* header = table != nullptr ? table->Cell(0, column_) : nullptr;
  return header != nullptr ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
}

QList<QAccessibleInterface*> CellInterface::rowHeaderCells() const {
  // The first column names the row; it has no row header of its own.
  auto* table = dynamic_cast<TableInterface*>(parent());
  QAccessibleInterface* header =
      table != nullptr && column_ > 0 ? table->Cell(row_, 0) : nullptr;
  return header != nullptr ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
}

}  // namespace

QAccessibleInterface* NewGridInterface(QWidget* w) { return new TableInterface(w); }

void RenewGridInterface(QWidget* w) {
  if (!QAccessible::isActive()) return;
  QAccessibleInterface* made = QAccessible::queryAccessibleInterface(w);
  if (made != nullptr && made->tableInterface() == nullptr)
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void AnnounceGridCell(QWidget* w, int row, int column) {
  const AccessibleGrid* grid = GridOf(w);
  if (grid == nullptr || !QAccessible::isActive() || row < 0 || column < 0 ||
      column >= grid->GridColumns() || row >= grid->GridRows())
    return;
  const int index = row * grid->GridColumns() + column;
  QAccessibleEvent selection(w, QAccessible::Selection);
  selection.setChild(index);
  QAccessible::updateAccessibility(&selection);
  if (w->hasFocus()) {
    QAccessibleEvent focus(w, QAccessible::Focus);
    focus.setChild(index);
    QAccessible::updateAccessibility(&focus);
  }
}

}  // namespace vrok
