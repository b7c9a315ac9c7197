#include "app/automation_a11y.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <ostream>

#include "app/reader_app.h"
#include "frame/viewer_control.h"
#include "platform/qt/screen_window.h"
#include "widgets/accessible.h"
#include "widgets/list_host.h"
#include "widgets/picture_button.h"

namespace vrok {

using nlohmann::json;

namespace {

// Deeper than any window of ours; stops a tree that loops.
constexpr int kMaxDepth = 48;

std::string KindOf(const QWidget* w) {
  if (dynamic_cast<const ListHost*>(w) != nullptr) return "ListHost";
  if (dynamic_cast<const PictureButton*>(w) != nullptr) return "PictureButton";
  if (dynamic_cast<const ViewerControl*>(w) != nullptr) return "ViewerControl";
  if (dynamic_cast<const platform::ScreenWindow*>(w) != nullptr) return "ScreenWindow";
  return w->metaObject()->className();
}

}  // namespace

json AccessibleTree(QAccessibleInterface* node, int depth) {
  if (node == nullptr || !node->isValid()) return nullptr;
  const QRect g = node->rect();
  json states = json::array();
  for (const QString& state : StateNames(node->state())) states.push_back(state.toStdString());
  json out{{"role", RoleName(node->role()).toStdString()},
           {"name", node->text(QAccessible::Name).toStdString()},
           {"state", std::move(states)},
           {"geometry", json::array({g.x(), g.y(), g.width(), g.height()})}};
  // A table's size, and a cell's place and headers.
  if (node->role() == QAccessible::Table)
    if (QAccessibleTableInterface* table = node->tableInterface()) {
      out["rows"] = table->rowCount();
      out["columns"] = table->columnCount();
    }
  if (QAccessibleTableCellInterface* cell = node->tableCellInterface();
      cell != nullptr && node->role() == QAccessible::Cell) {
    out["row"] = cell->rowIndex();
    out["column"] = cell->columnIndex();
    const auto headerName = [](const QList<QAccessibleInterface*>& headers) {
      return headers.isEmpty() || headers.front() == nullptr
                 ? std::string()
                 : headers.front()->text(QAccessible::Name).toStdString();
    };
    out["column_header"] = headerName(cell->columnHeaderCells());
    out["row_header"] = headerName(cell->rowHeaderCells());
  }
  // Where a text's first character is drawn.
  if (QAccessibleTextInterface* text = node->textInterface();
      text != nullptr && text->characterCount() > 0) {
    const QRect c = text->characterRect(0);
    out["first_character"] = json::array({c.x(), c.y(), c.width(), c.height()});
  }
  json children = json::array();
  if (depth < kMaxDepth) {
    const int count = node->childCount();
    for (int i = 0; i < count; ++i) {
      json child = AccessibleTree(node->child(i), depth + 1);
      if (!child.is_null()) children.push_back(std::move(child));
    }
  }
  out["children"] = std::move(children);
  return out;
}

bool RunFocus(Script& s, const std::string& /*verb*/, const std::string& /*rest*/) {
  json report = ScreenReport(s.app);
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr) {
    report["focus"] = nullptr;
  } else {
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(focus);
    // A list's focused item is its selected row.
    QAccessibleInterface* item = node != nullptr ? node->focusChild() : nullptr;
    if (item == nullptr) item = node;
    report["focus"] = {
        {"kind", KindOf(focus)},
        {"name", focus->objectName().toStdString()},
        {"accessible_name", item != nullptr ? item->text(QAccessible::Name).toStdString() : ""},
        {"role", item != nullptr ? RoleName(item->role()).toStdString() : ""}};
  }
  s.out << report.dump() << '\n' << std::flush;
  return true;
}

bool RunAccessible(Script& s, const std::string& /*verb*/, const std::string& /*rest*/) {
  QAccessibleInterface* root = QAccessible::queryAccessibleInterface(s.app.Screen());
  if (root == nullptr) return s.Fail("no accessibility interface for the window");
  s.out << json{{"accessible", AccessibleTree(root)}}.dump() << '\n' << std::flush;
  return true;
}

}  // namespace vrok
