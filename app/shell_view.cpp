#include "app/shell_view.h"

#include <QPointer>
#include <QToolBar>
#include <ctime>

#include "app/keyboard.h"
#include "app/note_mark.h"
#include "app/settings_dialog.h"
#include "app/user_data_actions.h"
#include "content/schema.h"
#include "core/userdata/backups.h"
#include "core/userdata/store_messages.h"
#include "frame/main_window.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "views/userdata/add_bookmark_dialog.h"
#include "views/userdata/bookmark_list_panel.h"
#include "views/userdata/notes_panel.h"

namespace vrok {

ShellView::ShellView(MainWindow& main, const ContentDatabase& db, PageNameMap& names,
                     HistoryList& history, std::map<std::uint32_t, std::uint32_t>& userMap,
                     platform::Registry& registry)
    : main_(main), db_(db), names_(names), history_(history), userMap_(userMap) {
  history_.SetNavigator(this);
  commandBar_ = new CommandBar(&main, *this);
  settings_ = std::make_unique<SettingsDialog>(&main.Screen(), names, registry);
  OpenUserData();
  AddUserDataMenu(*this);
  noteMark_ = std::make_unique<NoteMark>(
      main, [this](std::uint32_t page) { return notes_ != nullptr && notes_->Find(page) >= 0; },
      [this] { AddEditNote(); });
}

void ShellView::OpenUserData() {
  const std::string folder = Folder();
  bookmarks_ = std::make_unique<BookmarkStore>(folder, db_, userMap_);
  notes_ = std::make_unique<NoteStore>(folder, db_, userMap_);
  // What the opening of the record files found (repairs and where the
  // copies are, missing or refused files, a read-only pair) is said at once.
  for (const auto& text : OpeningMessages(bookmarks_->Records(), kBookmarkWords))
    Exclaim(text, kBookmarksCaption);
  for (const auto& text : OpeningMessages(notes_->Records(), kNoteWords))
    Exclaim(text, kNotesCaption);
  if (const auto draft = notes_->Draft(); draft && draft->page) {
    platform::ShowMessage(std::u16string(kNoteDraftKeptMessage), std::u16string(kNotesCaption),
                          platform::MessageIcon::kInformation, platform::MessageButtons::kOk,
                          &main_);
  }
}

BookmarkListPanel& ShellView::BookmarkList() {
  // The overlays and the dialog are made when first opened, not at start-up.
  if (bookmarkList_ == nullptr) {
    bookmarkList_ = new BookmarkListPanel(&main_, *bookmarks_);
    bookmarkList_->SetOpenListener([this](int position) { OpenBookmark(position); });
  }
  return *bookmarkList_;
}

NotesPanel& ShellView::NotesOverlay() {
  if (notesPanel_ == nullptr) {
    notesPanel_ = new NotesPanel(&main_, *notes_, main_.Screen());
    notesPanel_->SetReturnListener([this] { CloseOverlays(); });
  }
  return *notesPanel_;
}

AddBookmarkDialog& ShellView::AddBookmarkBox() {
  if (addBookmark_ == nullptr) addBookmark_ = new AddBookmarkDialog(&main_.Screen());
  return *addBookmark_;
}

std::string ShellView::Folder() const { return platform::ProgramFolder().toStdString(); }

void ShellView::ReopenUserData(const std::function<void()>& change) {
  CloseOverlays();
  // The panels go before the stores they show; closing the stores compacts
  // and unlocks their files.
  delete notesPanel_;
  delete bookmarkList_;
  notesPanel_ = nullptr;
  bookmarkList_ = nullptr;
  notes_.reset();
  bookmarks_.reset();
  change();
  OpenUserData();
}

ShellView::~ShellView() {
  history_.SetNavigator(nullptr);
  // Exit and a close from outside both end here: what was typed in the note
  // editor and not saved is kept for the next start.
  if (notesPanel_ != nullptr) notesPanel_->KeepDraft();
  // The panels go before the stores they show.
  delete addBookmark_;
  delete notesPanel_;
  delete bookmarkList_;
  const bool writable = !notes_->ReadOnly() && !bookmarks_->ReadOnly();
  notes_.reset();
  bookmarks_.reset();
  // A copy of the record files, when they changed since the last one.
  if (writable) MakeBackup(Folder(), static_cast<std::int64_t>(std::time(nullptr)));
  settings_.reset();
  delete commandBar_;
}

bool ShellView::Accept(PageId page, const std::uint8_t* data, std::uint32_t length) {
  const bool bookmarksPage = page == names_[pages::kBookmarks];
  const bool notesPage = page == names_[pages::kNotes];
  const bool addBookmarkPage = page == names_[pages::kAddBookmark];
  if (bookmarksPage || notesPage) {
    QWidget* panel = nullptr;
    if (!notesPage) {
      panel = &BookmarkList();
    } else {
      NotesPanel& notes = NotesOverlay();
      panel = &notes;
      if (data != nullptr && length >= 4) {
        // The note editor for the page id in the block's first four bytes.
        const RowIndex target = static_cast<RowIndex>(data[0] | data[1] << 8 | data[2] << 16 |
                                                      static_cast<std::uint32_t>(data[3]) << 24);
        notes.OpenEditor(target);
        raisePanel_ = true;
      } else {
        notes.OpenList();
      }
    }
    main_.AddOverlay(0, kSideFill, panel);
    overlayOpened_ = panel;
  } else if (!addBookmarkPage) {
    // The overlays and Add Bookmark keep the page under them current.
    main_.SetCurrentPage(page, data, length);
  }
  if (addBookmarkPage) {
    platform::SetWaitCursor(false);
    AddBookmark();
    platform::SetWaitCursor(true);
  }
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
  if (overlayOpened_ != nullptr) {
    if (overlayOpened_ == bookmarkList_)
      bookmarkList_->Refresh();
    else
      notesPanel_->Refresh();
    overlayOpened_ = nullptr;
    history_.SetOverlayShown(true);
    RefreshButtons();
  }
  if (std::exchange(raisePanel_, false)) main_.Screen().ShowInputPanelOnRequest();
  noteMark_->Update(history_.OverlayShown());
  FocusPageSoon();
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

void ShellView::CloseOverlays() {
  main_.CloseOverlays();
  // The page is in view again (a note may have been saved for it).
  if (noteMark_) {
    noteMark_->Update(false);
    FocusPageSoon();
  }
}

void ShellView::FocusPageSoon() {
  // Once every view has shown its part of the page.
  QMetaObject::invokeMethod(
      &main_, [main = QPointer<MainWindow>(&main_)] { if (main) FocusPage(*main); },
      Qt::QueuedConnection);
}

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
void ShellView::SearchBook() { GoToNamed(u"book_search"); }

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

void ShellView::Exclaim(std::u16string_view text, std::u16string_view caption) {
  platform::ShowMessage(std::u16string(text), std::u16string(caption),
                        platform::MessageIcon::kExclamation, platform::MessageButtons::kOk, &main_);
}

void ShellView::ViewNotes() {
  CloseOverlays();
  main_.KeepPanes();
  // Without a data block the page opens the list, headed "Notes".
  main_.Navigate(names_[pages::kNotes], nullptr, 0, true);
}

void ShellView::AddEditNote() {
  const PageId page = main_.CurrentPage();
  if (!notes_->CanPlace(page)) {
    Exclaim(kNoteNotPlaceableMessage, kNotesCaption);
    return;
  }
  CloseOverlays();
  main_.KeepPanes();
  const std::uint8_t block[4] = {
      static_cast<std::uint8_t>(page), static_cast<std::uint8_t>(page >> 8),
      static_cast<std::uint8_t>(page >> 16), static_cast<std::uint8_t>(page >> 24)};
  main_.Navigate(names_[pages::kNotes], block, sizeof block, true);
}

void ShellView::ViewBookmarks() {
  CloseOverlays();
  main_.KeepPanes();
  main_.Navigate(names_[pages::kBookmarks], nullptr, 0, true);
}

void ShellView::AddBookmark() {
  CloseOverlays();
  // Scripts leave the dialog open between lines; one is asked at a time.
  if (addBookmark_ != nullptr && addBookmark_->isVisible()) return;
  if (bookmarks_->ReadOnly()) {
    Exclaim(ReadOnlyMessage(bookmarks_->Records(), kBookmarkWords), kBookmarksCaption);
    return;
  }
  const PageId page = main_.CurrentPage();
  const std::vector<std::uint8_t> state = main_.CurrentData();
  switch (bookmarks_->CanPlace(page, state)) {
    case Placement::kExists:
      Exclaim(kBookmarkExistsMessage, kBookmarksCaption);
      return;
    case Placement::kNotPlaceable:
      Exclaim(kBookmarkNotPlaceableMessage, kBookmarksCaption);
      return;
    case Placement::kAllowed:
      break;
  }
  auto& screen = main_.Screen();
  const bool panelWasOn = screen.InputPanelOn();
  screen.ShowInputPanelOnRequest();
  AddBookmarkBox().Run([this, page, state, panelWasOn](std::optional<std::u16string> title) {
    if (title && bookmarks_->Add(*title, page, state) != 0)
      Exclaim(kBookmarkNotSavedMessage, kBookmarksCaption);
    main_.Screen().SetInputPanel(panelWasOn);
  });
}

void ShellView::OpenBookmark(int position) {
  const Bookmark* entry = bookmarks_->Entry(position);
  if (entry == nullptr) return;
  if (!entry->page) {
    // The entry stays; its page is not in this edition of the book.
    Exclaim(kPageNotInEditionMessage, kBookmarksCaption);
    return;
  }
  const PageId page = *entry->page;
  const std::vector<std::uint8_t> state = entry->state;
  CloseOverlays();
  main_.Navigate(page, state.empty() ? nullptr : state.data(),
                 static_cast<std::uint32_t>(state.size()), true);
}

}  // namespace vrok
