#include "widgets/accessible.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessibleWidget>
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QPointer>
#include <QWindow>
#include <map>
#include <memory>

#include "widgets/accessible_grid.h"
#include "widgets/list_host.h"
#include "widgets/picture_button.h"
#include "widgets/title_bar.h"

namespace vrok {

namespace {

// A rectangle in logical screen coordinates, in device pixels.
QRect ScaledFromLogical(const QWidget* widget, const QRect& logical) {
  const QWidget* top = widget->window();
  const QWindow* window = top->windowHandle();
  const qreal factor = window != nullptr ? window->devicePixelRatio() : top->devicePixelRatioF();
  const QScreen* screen = window != nullptr ? window->screen() : nullptr;
  const QPoint origin = screen != nullptr ? screen->geometry().topLeft() : QPoint();
  const QPointF at = QPointF(origin) + QPointF(logical.topLeft() - origin) * factor;
  return QRectF(at, QSizeF(logical.size()) * factor).toAlignedRect();
}

}  // namespace

QRect ScreenPixels(const QWidget* widget, const QRect& local) {
  return ScaledFromLogical(widget, QRect(widget->mapToGlobal(local.topLeft()), local.size()));
}

QString RoleName(QAccessible::Role role) {
  static const std::map<QAccessible::Role, const char*> kNames{
      {QAccessible::Window, "window"},       {QAccessible::Dialog, "dialog"},
      {QAccessible::Client, "client"},       {QAccessible::Pane, "pane"},
      {QAccessible::Grouping, "grouping"},   {QAccessible::ToolBar, "tool bar"},
      {QAccessible::StatusBar, "status bar"}, {QAccessible::MenuBar, "menu bar"},
      {QAccessible::PopupMenu, "menu"},      {QAccessible::MenuItem, "menu item"},
      {QAccessible::Separator, "separator"}, {QAccessible::ScrollBar, "scroll bar"},
      {QAccessible::Slider, "slider"},       {QAccessible::List, "list"},
      {QAccessible::ListItem, "list item"},  {QAccessible::Table, "table"},
      {QAccessible::Cell, "cell"},           {QAccessible::ColumnHeader, "column header"},
      {QAccessible::RowHeader, "row header"}, {QAccessible::Row, "row"},
      {QAccessible::PageTab, "page tab"},    {QAccessible::PageTabList, "page tab list"},
      {QAccessible::StaticText, "label"},    {QAccessible::EditableText, "text"},
      {QAccessible::Document, "document"},   {QAccessible::Graphic, "graphic"},
      {QAccessible::Link, "link"},           {QAccessible::Paragraph, "paragraph"},
      {QAccessible::Heading, "heading"},     {QAccessible::Section, "section"},
      {QAccessible::Button, "button"},       {QAccessible::ButtonMenu, "menu button"},
      {QAccessible::CheckBox, "check box"},  {QAccessible::RadioButton, "radio button"},
      {QAccessible::ComboBox, "combo box"},  {QAccessible::SpinBox, "spin box"},
      {QAccessible::ToolTip, "tool tip"},    {QAccessible::Application, "application"},
      {QAccessible::Indicator, "indicator"}, {QAccessible::Canvas, "canvas"},
      {QAccessible::NoRole, "none"}};
  const auto it = kNames.find(role);
  return it != kNames.end() ? QString::fromLatin1(it->second)
                            : QStringLiteral("role ") + QString::number(role);
}

QStringList StateNames(const QAccessible::State& s) {
  QStringList names;
  const auto add = [&names](bool set, const char* name) {
    if (set) names << QString::fromLatin1(name);
  };
  add(s.disabled, "disabled");
  add(s.invisible, "invisible");
  add(s.offscreen, "offscreen");
  add(s.focusable, "focusable");
  add(s.focused, "focused");
  add(s.selectable, "selectable");
  add(s.selected, "selected");
  add(s.checkable, "checkable");
  add(s.checked, "checked");
  add(s.pressed, "pressed");
  add(s.editable, "editable");
  add(s.readOnly, "read only");
  add(s.hasPopup, "has popup");
  add(s.active, "active");
  return names;
}

namespace {

// The name of a control: its accessible name, else its tooltip, else the
// text it shows.
QString NameOf(const QWidget* w) {
  if (!w->accessibleName().isEmpty()) return w->accessibleName();
  if (!w->toolTip().isEmpty()) return w->toolTip();
  // A pane's title reads as its text.
  if (const auto* title = dynamic_cast<const TitleBar*>(w))
    return QString::fromStdString(title->ReportedTitle()).trimmed();
  if (const auto* title = dynamic_cast<const RichTitleBar*>(w))
    return QString::fromStdString(title->ReportedTitle()).trimmed();
  if (const auto* label = qobject_cast<const QLabel*>(w)) return label->text().trimmed();
  if (const auto* button = qobject_cast<const QAbstractButton*>(w))
    return button->text().remove(u'&').trimmed();
  return w->window() == w ? w->windowTitle() : QString();
}

QAccessible::Role RoleOf(const QWidget* w) {
  if (w->isWindow()) return QAccessible::Window;
  if (w->property("tab").toBool()) return QAccessible::PageTab;
  if (qobject_cast<const QToolBar*>(w) != nullptr) return QAccessible::ToolBar;
  if (dynamic_cast<const TitleBar*>(w) != nullptr || dynamic_cast<const RichTitleBar*>(w) != nullptr)
    return QAccessible::Heading;
  if (const auto* tool = qobject_cast<const QToolButton*>(w))
    return tool->menu() != nullptr || (tool->defaultAction() && tool->defaultAction()->menu())
               ? QAccessible::ButtonMenu
               : QAccessible::Button;
  if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
    if (!button->isCheckable()) return QAccessible::Button;
    return button->group() != nullptr && button->group()->exclusive() ? QAccessible::RadioButton
                                                                       : QAccessible::CheckBox;
  }
  if (qobject_cast<const QLineEdit*>(w)) return QAccessible::EditableText;
  if (qobject_cast<const QLabel*>(w)) return QAccessible::StaticText;
  return QAccessible::Pane;
}

class RowInterface;

// Any widget of ours: placed in screen pixels, named by NameOf, pressed by
// the press action when it is a button. A ListHost's children are its
// rows. What the widget is, is asked at each call: an interface can be
// made while its widget is still being built.
class WidgetInterface : public QAccessibleWidget {
 public:
  explicit WidgetInterface(QWidget* w) : QAccessibleWidget(w, QAccessible::Pane) {}
  ~WidgetInterface() override {
    for (const auto& [row, id] : rows_) QAccessible::deleteAccessibleInterface(id);
  }

  ListHost* List() const { return dynamic_cast<ListHost*>(widget()); }

  QAccessible::Role role() const override {
    return List() != nullptr ? QAccessible::List : RoleOf(widget());
  }

  QRect rect() const override {
    if (!widget()->isVisible()) return {};
    return ScreenPixels(widget(), widget()->rect());
  }

  int childCount() const override {
    if (const ListHost* list = List()) return list->RowCount();
    return QAccessibleWidget::childCount();
  }
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (List() == nullptr) return QAccessibleWidget::indexOfChild(child);
    for (const auto& [row, id] : rows_)
      if (QAccessible::accessibleInterface(id) == child) return row;
    return -1;
  }
  QAccessibleInterface* focusChild() const override {
    if (const ListHost* list = List())
      return list->hasFocus() && list->Selected() >= 0 ? child(list->Selected()) : nullptr;
    return QAccessibleWidget::focusChild();
  }

  QAccessibleInterface* childAt(int x, int y) const override {
    if (const ListHost* list = List()) {
      for (int row = list->FirstVisible(); row < list->RowCount(); ++row) {
        QAccessibleInterface* c = child(row);
        if (c == nullptr || c->rect().isEmpty()) break;
        if (c->rect().contains(x, y)) return c;
      }
      return nullptr;
    }
    for (int i = 0; i < childCount(); ++i) {
      QAccessibleInterface* c = child(i);
      if (c != nullptr && c->rect().contains(x, y)) return c;
    }
    return nullptr;
  }

  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name: {
        const QString name = NameOf(widget());
        if (!name.isEmpty() || List() == nullptr) return name;
        // A list without a name of its own takes its pane's, else "List".
        for (const QWidget* up = widget()->parentWidget(); up != nullptr;
             up = up->parentWidget())
          if (!up->accessibleName().isEmpty()) return up->accessibleName();
        return QStringLiteral("List");
      }
      case QAccessible::Value:
        if (const auto* edit = qobject_cast<const QLineEdit*>(widget())) return edit->text();
        return {};
      case QAccessible::Description:
        return widget()->toolTip() != NameOf(widget()) ? widget()->toolTip() : QString();
      default: return QAccessibleWidget::text(t);
    }
  }

  void setText(QAccessible::Text t, const QString& text) override {
    auto* edit = qobject_cast<QLineEdit*>(widget());
    if (t == QAccessible::Value && edit != nullptr && !edit->isReadOnly()) edit->setText(text);
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget())) {
      s.pressed = button->isDown();
      if (button->isCheckable()) {
        s.checkable = true;
        s.checked = button->isChecked();
      }
    }
    if (widget()->property("tab").toBool()) {
      s.selectable = true;
      s.selected = widget()->property("selected").toBool();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget())) {
      s.editable = !edit->isReadOnly();
      s.readOnly = edit->isReadOnly();
    }
    return s;
  }

  QStringList actionNames() const override {
    QStringList names = QAccessibleWidget::actionNames();
    if (qobject_cast<const QAbstractButton*>(widget()) != nullptr) names.prepend(pressAction());
    return names;
  }

  void doAction(const QString& action) override {
    auto* button = qobject_cast<QAbstractButton*>(widget());
    if (action == pressAction() && button != nullptr) {
      if (button->isEnabled()) button->click();
      return;
    }
    QAccessibleWidget::doAction(action);
  }

 private:
  mutable std::map<int, QAccessible::Id> rows_;
};

// One row of a ListHost.
class RowInterface : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  RowInterface(ListHost* list, int row) : list_(list), row_(row) {}

  bool isValid() const override { return list_ != nullptr && row_ < list_->RowCount(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    return list_ != nullptr ? list_->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override {
    return list_ != nullptr ? QAccessible::queryAccessibleInterface(list_) : nullptr;
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name && isValid() ? list_->RowPlainText(row_) : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid() || !list_->isVisible()) return {};
    const QRect box = list_->RowRect(row_);
    return box.isEmpty() ? QRect() : ScreenPixels(list_, box);
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    s.selectable = true;
    s.focusable = true;
    s.selected = list_->Selected() == row_;
    s.focused = s.selected && list_->hasFocus();
    s.offscreen = list_->RowRect(row_).isEmpty();
    s.invisible = !list_->isVisible();
    return s;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
  }
  QStringList actionNames() const override { return {pressAction(), showMenuAction()}; }
  void doAction(const QString& action) override {
    if (!isValid()) return;
    if (action == pressAction()) list_->TapRow(row_);
    if (action == showMenuAction()) list_->HoldRow(row_);
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QPointer<ListHost> list_;
  int row_;
};

QAccessibleInterface* WidgetInterface::child(int index) const {
  ListHost* list = List();
  if (list == nullptr) return QAccessibleWidget::child(index);
  if (index < 0 || index >= list->RowCount()) return nullptr;
  const auto it = rows_.find(index);
  if (it != rows_.end()) return QAccessible::accessibleInterface(it->second);
  auto* row = new RowInterface(list, index);
  rows_[index] = QAccessible::registerAccessibleInterface(row);
  return row;
}

// A point on the screen in device pixels, in logical screen coordinates
// (the inverse of ScaledFromLogical).
QPoint LogicalFromScaled(const QWidget* widget, QPoint device) {
  const QWidget* top = widget->window();
  const QWindow* window = top->windowHandle();
  const qreal factor = window != nullptr ? window->devicePixelRatio() : top->devicePixelRatioF();
  const QScreen* screen = window != nullptr ? window->screen() : nullptr;
  const QPoint origin = screen != nullptr ? screen->geometry().topLeft() : QPoint();
  if (factor <= 0) return device;
  return (QPointF(origin) + QPointF(device - origin) / factor).toPoint();
}

// Qt's own interface of a widget (a text viewer, an item view, a combo
// box), which exposes its text and items: every call goes to it, and its
// place is given in screen pixels like every other. The items Qt makes for
// it (list rows, table cells) are wrapped the same way, and so are the
// places of the characters of its text.
class ScaledInterface : public QAccessibleInterface, public QAccessibleTextInterface {
 public:
  // inner is registered already (Qt made it through the cache). For a
  // widget's own interface (parent 0) inner goes with this interface; an
  // item's inner belongs to Qt, which may drop it at any time.
  ScaledInterface(QWidget* widget, QAccessibleInterface* inner, QAccessible::Id parent = 0)
      : widget_(widget), innerId_(QAccessible::uniqueId(inner)), parentId_(parent) {}
  ~ScaledInterface() override {
    for (const auto& [inner, id] : wrapped_)
      if (QAccessible::accessibleInterface(id) != nullptr) QAccessible::deleteAccessibleInterface(id);
    if (parentId_ == 0 && QAccessible::accessibleInterface(innerId_) != nullptr)
      QAccessible::deleteAccessibleInterface(innerId_);
  }

  QAccessibleInterface* Inner() const { return QAccessible::accessibleInterface(innerId_); }

  bool isValid() const override {
    const QAccessibleInterface* in = Inner();
    return widget_ != nullptr && in != nullptr && in->isValid();
  }
  QObject* object() const override { return Inner() != nullptr ? Inner()->object() : nullptr; }
  QWindow* window() const override { return Inner() != nullptr ? Inner()->window() : nullptr; }
  QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(
      QAccessible::Relation match) const override {
    if (Inner() == nullptr) return {};
    auto related = Inner()->relations(match);
    for (auto& r : related) r.first = Wrap(r.first);
    return related;
  }
  QAccessibleInterface* focusChild() const override {
    return Inner() != nullptr ? Wrap(Inner()->focusChild()) : nullptr;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    for (int i = 0; i < childCount(); ++i) {
      QAccessibleInterface* c = child(i);
      if (c != nullptr && c->rect().contains(x, y)) return c;
    }
    return nullptr;
  }
  QAccessibleInterface* parent() const override {
    if (parentId_ != 0) return QAccessible::accessibleInterface(parentId_);
    return Inner() != nullptr ? Inner()->parent() : nullptr;
  }
  QAccessibleInterface* child(int index) const override {
    return Inner() != nullptr ? Wrap(Inner()->child(index)) : nullptr;
  }
  int childCount() const override { return Inner() != nullptr ? Inner()->childCount() : 0; }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (Inner() == nullptr) return -1;
    if (const auto* wrapper = dynamic_cast<const ScaledInterface*>(child);
        wrapper != nullptr && wrapper->parentId_ != 0)
      child = wrapper->Inner();
    return child != nullptr ? Inner()->indexOfChild(child) : -1;
  }
  QString text(QAccessible::Text t) const override {
    if (Inner() == nullptr) return {};
    const QString text = Inner()->text(t);
    if (t != QAccessible::Name || !text.isEmpty() || parentId_ != 0 ||
        Inner()->role() != QAccessible::List)
      return text;
    // A list without a name (a combo box's drop-down) takes its owner's.
    for (const QWidget* up = widget_->parentWidget(); up != nullptr; up = up->parentWidget())
      if (!up->accessibleName().isEmpty()) return up->accessibleName();
    return QStringLiteral("List");
  }
  void setText(QAccessible::Text t, const QString& text) override {
    if (Inner() != nullptr) Inner()->setText(t, text);
  }
  QRect rect() const override {
    if (widget_ == nullptr || !widget_->isVisible() || Inner() == nullptr) return {};
    const QRect box = ScaledFromLogical(widget_, Inner()->rect());
    if (parentId_ == 0) return box;
    // An item is shown only as far as its list reaches (a row as wide as
    // its text may run past the list's right edge).
    const QAccessibleInterface* owner = QAccessible::accessibleInterface(parentId_);
    const QRect shown = owner != nullptr ? box.intersected(owner->rect()) : QRect();
    return shown.isEmpty() ? box : shown;
  }
  QAccessible::Role role() const override {
    return Inner() != nullptr ? Inner()->role() : QAccessible::NoRole;
  }
  QAccessible::State state() const override {
    if (Inner() != nullptr) return Inner()->state();
    QAccessible::State s;
    s.invalid = true;
    return s;
  }
  QColor foregroundColor() const override {
    return Inner() != nullptr ? Inner()->foregroundColor() : QColor();
  }
  QColor backgroundColor() const override {
    return Inner() != nullptr ? Inner()->backgroundColor() : QColor();
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    QAccessibleInterface* in = Inner();
    if (in == nullptr) return nullptr;
    if (type == QAccessible::TextInterface)
      return in->textInterface() != nullptr ? static_cast<QAccessibleTextInterface*>(this) : nullptr;
    return in->interface_cast(type);
  }

  // Text: Qt's, with the characters' places in screen pixels.
  QAccessibleTextInterface* Text() const {
    return Inner() != nullptr ? Inner()->textInterface() : nullptr;
  }
  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    if (Text() != nullptr) Text()->selection(index, start, end);
  }
  int selectionCount() const override { return Text() != nullptr ? Text()->selectionCount() : 0; }
  void addSelection(int start, int end) override {
    if (Text() != nullptr) Text()->addSelection(start, end);
  }
  void removeSelection(int index) override {
    if (Text() != nullptr) Text()->removeSelection(index);
  }
  void setSelection(int index, int start, int end) override {
    if (Text() != nullptr) Text()->setSelection(index, start, end);
  }
  int cursorPosition() const override { return Text() != nullptr ? Text()->cursorPosition() : 0; }
  void setCursorPosition(int position) override {
    if (Text() != nullptr) Text()->setCursorPosition(position);
  }
  QString text(int start, int end) const override {
    return Text() != nullptr ? Text()->text(start, end) : QString();
  }
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                           int* end) const override {
    *start = *end = -1;
    return Text() != nullptr ? Text()->textBeforeOffset(offset, type, start, end) : QString();
  }
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                          int* end) const override {
    *start = *end = -1;
    return Text() != nullptr ? Text()->textAfterOffset(offset, type, start, end) : QString();
  }
  QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                       int* end) const override {
    *start = *end = -1;
    return Text() != nullptr ? Text()->textAtOffset(offset, type, start, end) : QString();
  }
  int characterCount() const override { return Text() != nullptr ? Text()->characterCount() : 0; }
  QRect characterRect(int offset) const override {
    if (Text() == nullptr || widget_ == nullptr) return {};
    const QRect box = Text()->characterRect(offset);
    return box.isNull() ? box : ScaledFromLogical(widget_, box);
  }
  int offsetAtPoint(const QPoint& point) const override {
    if (Text() == nullptr || widget_ == nullptr) return -1;
    return Text()->offsetAtPoint(LogicalFromScaled(widget_, point));
  }
  void scrollToSubstring(int start, int end) override {
    if (Text() != nullptr) Text()->scrollToSubstring(start, end);
  }
  QString attributes(int offset, int* start, int* end) const override {
    *start = *end = -1;
    return Text() != nullptr ? Text()->attributes(offset, start, end) : QString();
  }

 private:
  // A child Qt made without a widget of its own (a row, a cell, a header)
  // gets a scaled wrapper, made once; widgets' interfaces come from the
  // factory and are placed already.
  QAccessibleInterface* Wrap(QAccessibleInterface* c) const {
    if (c == nullptr || widget_ == nullptr) return c;
    if (c->object() != nullptr && c->object()->isWidgetType()) return c;
    if (dynamic_cast<ScaledInterface*>(c) != nullptr) return c;
    const QAccessible::Id innerId = QAccessible::uniqueId(c);
    const auto it = wrapped_.find(innerId);
    if (it != wrapped_.end()) {
      if (QAccessibleInterface* w = QAccessible::accessibleInterface(it->second)) return w;
      wrapped_.erase(it);
    }
    // Wrappers of items Qt has dropped go before the map grows large.
    if (wrapped_.size() > 64 && wrapped_.size() > 2 * static_cast<std::size_t>(childCount())) {
      for (auto i = wrapped_.begin(); i != wrapped_.end();) {
        if (QAccessible::accessibleInterface(i->first) != nullptr) {
          ++i;
          continue;
        }
        if (QAccessible::accessibleInterface(i->second) != nullptr)
          QAccessible::deleteAccessibleInterface(i->second);
        i = wrapped_.erase(i);
      }
    }
    auto* wrapper = new ScaledInterface(widget_, c, QAccessible::uniqueId(
                                                       const_cast<ScaledInterface*>(this)));
    wrapped_[innerId] = QAccessible::registerAccessibleInterface(wrapper);
    return wrapper;
  }

  QPointer<QWidget> widget_;
  QAccessible::Id innerId_;
  QAccessible::Id parentId_;
  mutable std::map<QAccessible::Id, QAccessible::Id> wrapped_;
};

bool KeepsQtInterface(const QWidget* w) {
  return qobject_cast<const QAbstractScrollArea*>(w) != nullptr ||
         qobject_cast<const QComboBox*>(w) != nullptr ||
         qobject_cast<const QAbstractSpinBox*>(w) != nullptr ||
         qobject_cast<const QAbstractSlider*>(w) != nullptr ||
         qobject_cast<const QMenu*>(w) != nullptr;
}

QAccessibleInterface* Factory(const QString& className, QObject* object);

// Qt's own interface for a widget, made with this factory out of the way.
QAccessibleInterface* QtInterface(QWidget* w) {
  QAccessible::removeFactory(Factory);
  QAccessibleInterface* inner = QAccessible::queryAccessibleInterface(w);
  QAccessible::installFactory(Factory);
  return inner;
}

QAccessibleInterface* Factory(const QString& /*className*/, QObject* object) {
  auto* w = qobject_cast<QWidget*>(object);
  if (w == nullptr) return nullptr;
  // A grid drawn by the program is a table of cells.
  if (dynamic_cast<AccessibleGrid*>(w) != nullptr) return NewGridInterface(w);
  // A scroll area of our own controls is a plain container: ours.
  if (w->property("own-controls").toBool()) return new WidgetInterface(w);
  bool qts = false;
  for (const QWidget* up = w; up != nullptr && !qts; up = up->parentWidget()) {
    // The viewport of the scroll area of our controls, and what it holds,
    // are ours too.
    if (up != w && up->property("own-controls").toBool()) break;
    qts = KeepsQtInterface(up) && up != w->window();
  }
  if (!qts) return new WidgetInterface(w);
  QAccessibleInterface* inner = QtInterface(w);
  return inner != nullptr ? new ScaledInterface(w, inner) : nullptr;
}

}  // namespace

void InstallAccessibility() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(Factory);
}

}  // namespace vrok
