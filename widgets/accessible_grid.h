#pragma once
// What a screen reader is told of a grid drawn by the program itself: a
// table whose first row is the column headers, whose first column heads
// each row, and whose cells carry their text, their place and whether the
// keys are on them. A grid control implements AccessibleGrid; the
// accessibility factory gives it the table interface made here.

#include <QAccessible>
#include <QRect>
#include <QString>

class QWidget;

namespace vrok {

class AccessibleGrid {
 public:
  virtual ~AccessibleGrid() = default;
  // Rows counting the header row (row 0), and columns, as laid out.
  virtual int GridRows() const = 0;
  virtual int GridColumns() const = 0;
  virtual QString GridCellText(int row, int column) const = 0;
  // The cell in the widget's own coordinates: the part on view, or with
  // whole = true all of it; empty when it is not laid out.
  virtual QRect GridCellRect(int row, int column, bool whole) const = 0;
  // The cell the keys are on; false when there is none.
  virtual bool GridCurrentCell(int* row, int* column) const = 0;
  // A tap on the cell, and a hold; false when they do nothing.
  virtual bool ActivateGridCell(int row, int column) = 0;
  virtual bool HoldGridCell(int row, int column) = 0;
};

// The table interface of a grid control (w implements AccessibleGrid).
QAccessibleInterface* NewGridInterface(QWidget* w);

// Called at the end of a grid control's constructor: an interface made
// for it while it was still being built (before it was a grid) is dropped,
// so that the next one asked for is the table.
void RenewGridInterface(QWidget* w);

// Tells screen readers that the grid's current cell moved to (row, column):
// it is the focused and the selected cell.
void AnnounceGridCell(QWidget* w, int row, int column);

}  // namespace vrok
