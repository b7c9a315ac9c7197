#include "shell/shell_view.h"

#include <QToolBar>

#include "content/schema.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "shell/main_window.h"
#include "shell/settings_dialog.h"

namespace vrok {

ShellView::ShellView(MainWindow& main, const ContentDatabase& db, PageNameMap& names,
                     HistoryList& history, std::map<std::uint32_t, std::uint32_t>& userMap,
                     platform::Registry& registry)
    : main_(main), db_(db), names_(names), history_(history), userMap_(userMap) {
  const std::string folder = platform::ProgramFolder().toStdString();
  bookmarks_ = std::make_unique<BookmarkStore>(folder, db, userMap_);
  notes_ = std::make_unique<NoteStore>(folder, db, userMap_);
  history_.SetNavigator(this);
  commandBar_ = new CommandBar(&main, *this);
  settings_ = std::make_unique<SettingsDialog>(&main.Screen(), names, registry);
}

ShellView::~ShellView() {
  history_.SetNavigator(nullptr);
  notes_.reset();
  bookmarks_.reset();
  settings_.reset();
  delete commandBar_;
}

bool ShellView::Accept(PageId page, const std::uint8_t* data, std::uint32_t length) {
  // The bookmark and note overlays and the Add Bookmark command join with
  // their stores; those pages are never made the current page.
  if (page != names_[pages::kBookmarks] && page != names_[pages::kNotes] &&
      page != names_[pages::kAddBookmark])
    main_.SetCurrentPage(page, data, length);
  history_.SetOverlayShown(false);
  RefreshButtons();
  return true;
}

bool ShellView::IsFootnoteRow(PageId page) const {
  // Footnote rows carry "footnote" as their field name.
  return page < db_.RowCount() && FieldIs(db_, page, names::kFootnote);
}

void ShellView::Show() {
  const PageId page = main_.CurrentPage();
  const auto& data = main_.CurrentData();
  const bool overlay = page == names_[pages::kBookmarks] || page == names_[pages::kNotes] ||
                       page == names_[pages::kAddBookmark];
  if (overlay || page == names_[pages::kSplash] || IsFootnoteRow(page)) {
    if (page != names_[pages::kSplash]) history_.SetOverlayShown(true);
  } else {
    history_.Record(page, data.empty() ? nullptr : data.data(),
                    static_cast<std::uint32_t>(data.size()), main_.Title());
  }
  RefreshButtons();
}

void ShellView::Navigate(PageId page, const std::uint8_t* data, std::uint32_t length) {
  main_.Navigate(page, data, length, true);
}

void ShellView::RefreshButtons() {
  commandBar_->SetNavButtons(history_.CanGoBack(), history_.CanGoForward(), history_.HasMenu());
}

void ShellView::GoToNamed(std::u16string_view name) {
  CloseOverlays();
  main_.Navigate(names_[name], nullptr, 0, true);
}

void ShellView::CloseOverlays() { main_.CloseOverlays(); }

void ShellView::Back() {
  CloseOverlays();
  history_.Back();
}

void ShellView::Forward() {
  CloseOverlays();
  history_.Forward();
}

void ShellView::Home() { GoToNamed(pages::kHome); }
void ShellView::Index() { GoToNamed(pages::kIndex); }
void ShellView::Tools() { GoToNamed(pages::kTools); }
void ShellView::About() { GoToNamed(pages::kAbout); }
void ShellView::Authors() { GoToNamed(pages::kAuthors); }
void ShellView::Guide() { GoToNamed(pages::kGuide); }
void ShellView::Notice() { GoToNamed(pages::kNotice); }

void ShellView::Exit() {
  CloseOverlays();
  auto& screen = main_.Screen();
  const bool panelWasOn = screen.InputPanelOn();
  screen.SetInputPanel(false);
  const auto answer = platform::ShowMessage(
      u"Are you sure you want to exit", platform::LoadString(platform::kStrAppCaption),
      platform::MessageIcon::kQuestion, platform::MessageButtons::kYesNo, commandBar_->MenuBar());
  if (answer == platform::MessageAnswer::kYes) platform::PostQuit();
  if (panelWasOn) screen.ShowInputPanelOnRequest();
}

void ShellView::Options() {
  CloseOverlays();
  // The menu bar stays out of reach while the dialog is open.
  commandBar_->MenuBar()->setEnabled(false);
  settings_->Run([this] { commandBar_->MenuBar()->setEnabled(true); });
}

void ShellView::History() {
  CloseOverlays();
  const auto titles = history_.Titles();
  QStringList items;
  for (auto it = titles.rbegin(); it != titles.rend(); ++it) items.push_back(platform::ToQ(*it));
  QToolBar* bar = commandBar_->MenuBar();
  const int chosen = platform::TrackPopupMenu(items, bar->mapToGlobal(QPoint(0, 0)), bar);
  if (chosen >= 0) history_.GoTo(static_cast<int>(titles.size()) - 1 - chosen);
}

bool ShellView::Available(int commandId) const {
  switch (commandId) {
    case commands::kAddEditNote:
    case commands::kViewNotes:
    case commands::kAddBookmark:
    case commands::kViewBookmarks:
      return false;  // they come with the bookmark and note stores
    default:
      return true;
  }
}

}  // namespace vrok
