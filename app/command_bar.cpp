#include "app/command_bar.h"

#include <QMenu>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>

#include "frame/main_window.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "platform/qt/theme.h"
#include "platform/qt/window_mode.h"
#include "widgets/artwork.h"

namespace vrok {

namespace {

struct MenuItem {
  const char* text;
  int id;
};

// Sub-menus 0, 1 and 2 of menu 332.
const std::vector<MenuItem> kInfoMenu{{"About KESTOR", commands::kAbout},
                                      {"Authors and Contributors", commands::kAuthors},
                                      {"Guide to Tarvessa", commands::kGuide},
                                      {"Notice", commands::kNotice},
                                      {"Options", commands::kOptions},
                                      {"Search the book", commands::kSearchBook}};
const std::vector<MenuItem> kNotesMenu{{"- Add/Edit Note", commands::kAddEditNote},
                                       {"- View Notes", commands::kViewNotes}};
const std::vector<MenuItem> kBookmarksMenu{{"- Add Bookmark", commands::kAddBookmark},
                                           {"- View Bookmarks", commands::kViewBookmarks}};

// The ten images of the enabled list, and the disabled list: the same with
// images 1, 2 and 3 replaced by the grey back, up and forward.
std::vector<QPixmap> Images(bool disabled) {
  const bool hi = platform::IsHighResolution();
  const int w = 16 * (platform::ScreenMetrics().dpiX + 3) / 96;
  // A desktop window's text size draws them at their size; the handheld
  // has its two bitmap sets.
  const bool drawn = platform::DesktopMode();
  const QPixmap strip = drawn ? art::CommandStripAt(false, w)
                              : art::LoadMaskedBitmap(hi ? art::kCommandStripHigh : art::kCommandStrip);
  const QPixmap grey = drawn ? art::CommandStripAt(true, w)
                             : art::LoadMaskedBitmap(hi ? art::kDisabledArrowsHigh : art::kDisabledArrows);
  std::vector<QPixmap> images;
  for (int i = 0; i < 10; ++i) images.push_back(strip.copy(i * w, 0, w, strip.height()));
  if (disabled)
    for (int i = 0; i < 3; ++i) images[1 + i] = grey.copy(i * w, 0, w, grey.height());
  return images;
}

// The bar's style sheet in the current theme; its lengths are pixels at 96
// dots per inch, scaled.
QString Sheet() {
  return       QStringLiteral(
          "QToolBar { background: %3; border-top: %1px solid %4;"
          " spacing: 0px; padding: 0px; margin: 0px; }"
          " QToolBar::separator { width: %2px; background: transparent; }"
          " QToolButton { padding: %1px; margin: 0px; border: %1px solid transparent; }"
          " QToolButton:pressed { background: %5; }"
          " QToolButton::menu-indicator { image: none; width: 0px; }")
          .arg(platform::ScaleX(1))
          .arg(platform::ScaleX(4))
          .arg(platform::CurrentColours().chrome.name(), platform::CurrentColours().chromeLine.name(),
               platform::CurrentColours().chromePressed.name());
}

}  // namespace

CommandBar::CommandBar(QWidget* parent, CommandListener& listener)
    : QWidget(parent), listener_(listener) {
  setObjectName(QStringLiteral("command-bar"));
  hide();
  auto* main = static_cast<MainWindow*>(parent);
  bar_ = new QToolBar;
  bar_->setObjectName(QStringLiteral("332"));
  const int w = 16 * (platform::ScreenMetrics().dpiX + 3) / 96;
  bar_->setIconSize(QSize(w, w));
  bar_->setMovable(false);
  bar_->setFloatable(false);
  bar_->setStyleSheet(Sheet());

  const auto enabled = Images(false);
  const auto disabled = Images(true);
  const int ids[10] = {commands::kMenu,    commands::kBack,      commands::kHistory,
                       commands::kForward, commands::kHome,      commands::kIndex,
                       commands::kTools,   commands::kNotesMenu, commands::kBookmarksMenu,
                       commands::kExit};
  for (int i = 0; i < 10; ++i) {
    QIcon icon;
    icon.addPixmap(enabled[static_cast<std::size_t>(i)], QIcon::Normal);
    icon.addPixmap(disabled[static_cast<std::size_t>(i)], QIcon::Disabled);
    AddButton(i, ids[i], icon);
  }

  const auto addMenu = [this](int button, const std::vector<MenuItem>& items) {
    auto* menu = new QMenu(bar_);
    menu->setObjectName(QString::number(button) + QStringLiteral("-menu"));
    for (const MenuItem& item : items) {
      QAction* a = menu->addAction(QString::fromLatin1(item.text));
      a->setObjectName(QString::number(item.id));
      a->setEnabled(listener_.Available(item.id));
      QObject::connect(a, &QAction::triggered, bar_, [this, id = item.id] { Dispatch(id); });
      actions_[item.id] = a;
    }
    actions_[button]->setMenu(menu);
    auto* tb = static_cast<QToolButton*>(bar_->widgetForAction(actions_[button]));
    tb->setPopupMode(QToolButton::InstantPopup);
  };
  addMenu(commands::kMenu, kInfoMenu);
  addMenu(commands::kNotesMenu, kNotesMenu);
  addMenu(commands::kBookmarksMenu, kBookmarksMenu);

  // Separators at positions 1, 5 and 11, in that order.
  for (const int position : {1, 5, 11}) {
    const auto list = bar_->actions();
    bar_->insertSeparator(list.at(position));
  }
  SetNavButtons(false, false, false);
  main->Screen().SetMenuBar(bar_);
}

CommandBar::~CommandBar() {
  static_cast<MainWindow*>(parentWidget())->Screen().SetMenuBar(nullptr);
  delete bar_;
}

void CommandBar::ApplyLook() {
  const int w = 16 * (platform::ScreenMetrics().dpiX + 3) / 96;
  bar_->setIconSize(QSize(w, w));
  bar_->setStyleSheet(Sheet());
  const auto enabled = Images(false);
  const auto disabled = Images(true);
  for (QAction* a : bar_->actions()) {
    const QVariant image = a->property("image");
    if (!image.isValid()) continue;
    const auto i = static_cast<std::size_t>(image.toInt());
    if (i >= enabled.size()) continue;
    QIcon icon;
    icon.addPixmap(enabled[i], QIcon::Normal);
    icon.addPixmap(disabled[i], QIcon::Disabled);
    a->setIcon(icon);
    if (QWidget* button = bar_->widgetForAction(a))
      button->setFixedSize(w + w * 3 / 8, platform::MenuBarHeight() - 1);
  }
}

QAction* CommandBar::AddButton(int image, int commandId, const QIcon& icon) {
  QAction* a = bar_->addAction(icon, QString());
  a->setObjectName(QString::number(commandId));
  a->setProperty("image", image);
  QWidget* button = bar_->widgetForAction(a);
  button->setObjectName(QString::number(commandId));
  // Ten buttons and three separators fit the 240-pixel screen.
  const int w = bar_->iconSize().width();
  button->setFixedSize(w + w * 3 / 8, platform::MenuBarHeight() - 1);
  QObject::connect(a, &QAction::triggered, bar_, [this, commandId] { Dispatch(commandId); });
  actions_[commandId] = a;
  return a;
}

void CommandBar::SetNavButtons(bool back, bool forward, bool history) {
  actions_[commands::kBack]->setEnabled(back);
  actions_[commands::kHistory]->setEnabled(history);
  actions_[commands::kForward]->setEnabled(forward);
}

bool CommandBar::IsEnabled(int commandId) const {
  const auto it = actions_.find(commandId);
  return it != actions_.end() && it->second->isEnabled();
}

bool CommandBar::Dispatch(int commandId) {
  if (!listener_.Available(commandId)) return false;
  using L = CommandListener;
  static const std::map<int, void (L::*)()> kTable{
      {commands::kBack, &L::Back},
      {commands::kForward, &L::Forward},
      {commands::kHome, &L::Home},
      {commands::kExit, &L::Exit},
      {commands::kViewNotes, &L::ViewNotes},
      {commands::kAddEditNote, &L::AddEditNote},
      {commands::kViewBookmarks, &L::ViewBookmarks},
      {commands::kAddBookmark, &L::AddBookmark},
      {commands::kOptions, &L::Options},
      {commands::kIndex, &L::Index},
      {commands::kTools, &L::Tools},
      {commands::kHistory, &L::History},
      {commands::kAbout, &L::About},
      {commands::kAuthors, &L::Authors},
      {commands::kGuide, &L::Guide},
      {commands::kNotice, &L::Notice},
      {commands::kSearchBook, &L::SearchBook},
  };
  const auto it = kTable.find(commandId);
  if (it == kTable.end()) return false;
  (listener_.*(it->second))();
  return true;
}

}  // namespace vrok
