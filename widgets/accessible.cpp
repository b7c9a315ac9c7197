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

// Qt's own interface of a widget (a text viewer, an item view, a combo
// box), which exposes its text and items: every call goes to it, and its
// place is given in screen pixels like every other.
class ScaledInterface : public QAccessibleInterface {
 public:
  // inner is registered already (Qt made it through the cache); it goes
  // with this interface.
  ScaledInterface(QWidget* widget, QAccessibleInterface* inner)
      : widget_(widget), inner_(inner), innerId_(QAccessible::uniqueId(inner)) {}
  ~ScaledInterface() override { QAccessible::deleteAccessibleInterface(innerId_); }

  bool isValid() const override { return widget_ != nullptr && inner_->isValid(); }
  QObject* object() const override { return inner_->object(); }
  QWindow* window() const override { return inner_->window(); }
  QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(
      QAccessible::Relation match) const override {
    return inner_->relations(match);
  }
  QAccessibleInterface* focusChild() const override { return inner_->focusChild(); }
  QAccessibleInterface* childAt(int x, int y) const override {
    for (int i = 0; i < childCount(); ++i) {
      QAccessibleInterface* c = child(i);
      if (c != nullptr && c->rect().contains(x, y)) return c;
    }
    return nullptr;
  }
  QAccessibleInterface* parent() const override { return inner_->parent(); }
  QAccessibleInterface* child(int index) const override { return inner_->child(index); }
  int childCount() const override { return inner_->childCount(); }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return inner_->indexOfChild(child);
  }
  QString text(QAccessible::Text t) const override { return inner_->text(t); }
  void setText(QAccessible::Text t, const QString& text) override { inner_->setText(t, text); }
  QRect rect() const override {
    if (widget_ == nullptr || !widget_->isVisible()) return {};
    return ScaledFromLogical(widget_, inner_->rect());
  }
  QAccessible::Role role() const override { return inner_->role(); }
  QAccessible::State state() const override { return inner_->state(); }
  QColor foregroundColor() const override { return inner_->foregroundColor(); }
  QColor backgroundColor() const override { return inner_->backgroundColor(); }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return inner_->interface_cast(type);
  }

 private:
  QPointer<QWidget> widget_;
  QAccessibleInterface* inner_;
  QAccessible::Id innerId_;
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
