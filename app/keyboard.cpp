#include "app/keyboard.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QShortcut>
#include <QTextEdit>
#include <QToolBar>

#include "app/command_bar.h"
#include "app/reader_app.h"
#include "app/shell_view.h"
#include "app/tab_bar.h"
#include "frame/find_bar.h"
#include "frame/main_window.h"
#include "frame/popup.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "views/search/search_view.h"
#include "widgets/accessible.h"
#include "widgets/search_bar.h"

namespace vrok {

namespace {

// A command bar button: its command, its name, and its keys (the first is
// the one shown).
struct ButtonKeys {
  int command;
  const char* name;
  std::vector<QKeySequence> keys;
};

const std::vector<ButtonKeys>& BarButtons() {
  static const std::vector<ButtonKeys> kButtons{
      {commands::kMenu, "Menu", {}},
      {commands::kBack, "Back", {QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::Key_Backspace)}},
      {commands::kHistory, "History", {QKeySequence(Qt::ALT | Qt::Key_Down)}},
      {commands::kForward, "Forward", {QKeySequence(Qt::ALT | Qt::Key_Right)}},
      {commands::kHome, "Home", {QKeySequence(Qt::ALT | Qt::Key_Home)}},
      // Its key is a shortcut of its own: it also puts the focus in the box.
      {commands::kIndex, "Index", {}},
      {commands::kTools, "Tools", {QKeySequence(Qt::CTRL | Qt::Key_L)}},
      {commands::kNotesMenu, "Notes", {}},
      {commands::kBookmarksMenu, "Bookmarks", {}},
      {commands::kExit, "Exit", {QKeySequence(Qt::CTRL | Qt::Key_Q)}},
  };
  return kButtons;
}

// Menu entries and their keys.
const std::vector<std::pair<int, QKeySequence>>& MenuKeys() {
  static const std::vector<std::pair<int, QKeySequence>> kKeys{
      {commands::kAddBookmark, QKeySequence(Qt::CTRL | Qt::Key_D)},
      {commands::kViewBookmarks, QKeySequence(Qt::CTRL | Qt::Key_B)},
      {commands::kViewNotes, QKeySequence(Qt::CTRL | Qt::Key_N)},
      {commands::kOptions, QKeySequence(Qt::CTRL | Qt::Key_Comma)},
  };
  return kKeys;
}

QString Spelled(const QKeySequence& keys) { return keys.toString(QKeySequence::NativeText); }

// The index page's search box, when it is on screen.
QLineEdit* IndexSearchBox(MainWindow& main) {
  for (const auto& r : main.PagePanes())
    if (auto* bar = dynamic_cast<SearchBar*>(r.window); bar != nullptr && bar->isVisible())
      return &bar->Box();
  return nullptr;
}

// Whether the focus is in a box the user types into (where Escape must not
// throw the typing away).
bool TypingInOverlay(MainWindow& main) {
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr) return false;
  const bool editable =
      (qobject_cast<QLineEdit*>(focus) != nullptr && !static_cast<QLineEdit*>(focus)->isReadOnly()) ||
      (qobject_cast<QTextEdit*>(focus) != nullptr && !static_cast<QTextEdit*>(focus)->isReadOnly()) ||
      (qobject_cast<QPlainTextEdit*>(focus) != nullptr &&
       !static_cast<QPlainTextEdit*>(focus)->isReadOnly());
  if (!editable) return false;
  for (const auto& r : main.OverlayPanes())
    if (r.window->isAncestorOf(focus)) return true;
  return false;
}

// Escape: the open menu, else the pop-up, else the find bar, else the
// overlay (the bookmark or note list), whichever is on top.
void Escape(ReaderApp& app) {
  if (QWidget* menu = QApplication::activePopupWidget()) {
    menu->close();
    return;
  }
  if (PopupHtmlDialog* popup = PopupHtmlDialog::Shown()) {
    popup->reject();
    return;
  }
  if (SearchView* search = app.BookSearch(); search != nullptr && search->CloseFind()) return;
  MainWindow& main = *app.Main();
  if (!main.OverlayPanes().empty() && !TypingInOverlay(main))
    app.Shell()->Commands().Dispatch(commands::kBack);
}

QShortcut* NewShortcut(QWidget* screen, const QKeySequence& keys, const char* name) {
  auto* shortcut = new QShortcut(keys, screen);
  shortcut->setObjectName(QString::fromLatin1(name));
  shortcut->setContext(Qt::ApplicationShortcut);
  return shortcut;
}

bool IsControlContainer(const QWidget* w) {
  return qobject_cast<const QAbstractScrollArea*>(w) != nullptr &&
         w->property("own-controls").toBool();
}

// The first control of a pane in Tab order that can take the focus; a
// scroll area holding controls of its own gives way to its first control.
QWidget* FirstFocusable(QWidget* pane) {
  QWidget* w = pane;
  // The chain runs through the whole window; it is walked once round.
  for (int steps = 0; w != nullptr && steps < 10000; ++steps) {
    if ((w == pane || pane->isAncestorOf(w)) && w->isVisible() && w->isEnabled() &&
        (w->focusPolicy() & Qt::TabFocus) && !IsControlContainer(w))
      return w;
    w = w->nextInFocusChain();
    if (w == pane) break;
  }
  return nullptr;
}

}  // namespace

void FocusPage(MainWindow& main) {
  // The focus stays in the page's content, its bottom bar or an overlay;
  // anywhere else (nowhere, a hidden control, the tab strip it fell to when
  // the old page went) it moves into the page.
  // A dialog or a pop-up keeps it.
  if (platform::OpenDialog() != nullptr || PopupHtmlDialog::Shown() != nullptr ||
      QApplication::activePopupWidget() != nullptr)
    return;
  QWidget* focus = QApplication::focusWidget();
  for (QWidget* up = focus; up != nullptr; up = up->parentWidget())
    if (qobject_cast<QDialog*>(up) != nullptr) return;
  const auto overlays = main.OverlayPanes();
  if (focus != nullptr && focus->isVisible() && !IsControlContainer(focus)) {
    for (const auto& r : overlays)
      if (r.window == focus || r.window->isAncestorOf(focus)) return;
    if (overlays.empty())
      for (const auto& r : main.PagePanes())
        if ((r.side == 3 || r.side == 4) && (r.window == focus || r.window->isAncestorOf(focus)))
          return;
  }
  std::vector<QWidget*> panes;
  for (const auto& r : overlays) panes.push_back(r.window);
  if (panes.empty())
    for (const auto& r : main.PagePanes())
      if (r.side == 4) panes.push_back(r.window);
  for (QWidget* pane : panes)
    if (QWidget* first = FirstFocusable(pane)) {
      first->setFocus(Qt::OtherFocusReason);
      return;
    }
}

const std::vector<KeyRow>& KeyboardRows() {
  static const std::vector<KeyRow> kRows{
      {"Back", "Alt+Left, Backspace outside text boxes"},
      {"Forward", "Alt+Right"},
      {"History menu", "Alt+Down"},
      {"Home", "Alt+Home"},
      {"Index, with the search box focused", "Ctrl+I"},
      {"Contents", "Ctrl+T"},
      {"Tools", "Ctrl+L"},
      {"Book search", "Ctrl+K"},
      {"Find in page", "Ctrl+F"},
      {"Add bookmark", "Ctrl+D"},
      {"Bookmarks", "Ctrl+B"},
      {"Notes", "Ctrl+N"},
      {"Settings", "Ctrl+, (comma)"},
      {"Exit, with its question", "Ctrl+Q"},
      {"Next or previous link or control", "Tab, Shift+Tab"},
      {"Follow a link, press a button, choose a row", "Enter or Space"},
      {"Move in lists and grids", "Arrows, Page Up, Page Down, Home, End"},
      {"From the search box to the list", "Down"},
      {"Hold (the row's whole text)", "Menu key or Shift+F10"},
      {"Close the pop-up, find bar, list or menu on top", "Escape"},
      {"This list", "F1"},
  };
  return kRows;
}

std::u16string KeyboardListHtml() {
  QString html = QStringLiteral("<TABLE BORDER=0 CELLPADDING=1>");
  for (const KeyRow& row : KeyboardRows())
    html += QStringLiteral("<TR><TD>%1</TD><TD><B>%2</B></TD></TR>")
                .arg(QString::fromLatin1(row.action).toHtmlEscaped(),
                     QString::fromLatin1(row.keys).toHtmlEscaped());
  html += QStringLiteral("</TABLE>");
  return platform::FromQ(html);
}

void InstallKeyboard(ReaderApp& app) {
  InstallAccessibility();
  CommandBar& bar = app.Shell()->Commands();
  QWidget* screen = app.Screen();

  for (const ButtonKeys& b : BarButtons()) {
    QAction* action = bar.Action(b.command);
    if (action == nullptr) continue;
    const QString name = QString::fromLatin1(b.name);
    QString keys = b.command == commands::kIndex ? QStringLiteral("Ctrl+I") : QString();
    if (!b.keys.empty()) {
      action->setShortcuts(QList<QKeySequence>(b.keys.begin(), b.keys.end()));
      action->setShortcutContext(Qt::ApplicationShortcut);
      keys = Spelled(b.keys.front());
    }
    action->setToolTip(keys.isEmpty() ? name : name + QStringLiteral(" (") + keys + u')');
    if (QWidget* button = bar.MenuBar()->widgetForAction(action)) {
      button->setAccessibleName(name);
      button->setToolTip(action->toolTip());
      button->setFocusPolicy(Qt::TabFocus);
    }
  }
  bar.MenuBar()->setAccessibleName(QStringLiteral("Commands"));
  for (const auto& [command, keys] : MenuKeys()) {
    if (QAction* action = bar.Action(command)) {
      action->setShortcut(keys);
      action->setShortcutContext(Qt::ApplicationShortcut);
    }
  }

  MainWindow& main = *app.Main();
  QObject::connect(NewShortcut(screen, QKeySequence(Qt::CTRL | Qt::Key_I), "index-shortcut"),
                   &QShortcut::activated, screen, [&app, &main] {
                     if (!app.Shell()->Commands().Dispatch(commands::kIndex)) return;
                     if (QLineEdit* box = IndexSearchBox(main)) {
                       box->setFocus(Qt::ShortcutFocusReason);
                       box->selectAll();
                     }
                   });
  QObject::connect(NewShortcut(screen, QKeySequence(Qt::CTRL | Qt::Key_T), "contents-shortcut"),
                   &QShortcut::activated, screen, [&app] {
                     app.Shell()->CloseOverlays();
                     app.Tabs()->ButtonTapped(0);
                   });
  QObject::connect(NewShortcut(screen, QKeySequence(Qt::Key_Escape), "escape-shortcut"),
                   &QShortcut::activated, screen, [&app] { Escape(app); });
  // The list of keys is made the first time F1 asks for it.
  QObject::connect(NewShortcut(screen, QKeySequence(Qt::Key_F1), "keys-shortcut"),
                   &QShortcut::activated, screen,
                   [&main, keysPopup = QPointer<PopupHtmlDialog>()]() mutable {
                     if (PopupHtmlDialog::Shown() != nullptr) return;
                     if (keysPopup == nullptr) {
                       keysPopup = new PopupHtmlDialog(&main);
                       keysPopup->setObjectName(QStringLiteral("keys-popup"));
                     }
                     keysPopup->Open(QRect(), u"Keyboard", KeyboardListHtml());
                   });
}

}  // namespace vrok
