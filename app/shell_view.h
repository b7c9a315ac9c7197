#pragma once
// The shell view: registered first, it sees every navigation. It records
// each page shown in the history, opens the bookmark and note overlays, and
// implements the commands of the command bar.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/command_bar.h"
#include "content/content_database.h"
#include "core/navigation/history_list.h"
#include "core/navigation/page_names.h"
#include "core/navigation/page_view.h"
#include "core/userdata/bookmark_store.h"
#include "core/userdata/note_store.h"
#include "platform/qt/fonts.h"

namespace vrok {

class AddBookmarkDialog;
class BookmarkListPanel;
class MainWindow;
class NoteMark;
class NotesPanel;
class SettingsDialog;
namespace platform {
class Registry;
}

class ShellView : public PageView, public CommandListener, public Navigator {
 public:
  ShellView(MainWindow& main, const ContentDatabase& db, PageNameMap& names, HistoryList& history,
            std::map<std::uint32_t, std::uint32_t>& userMap, platform::Registry& registry);
  ~ShellView() override;

  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;
  void Show() override;

  // Navigator: the history's pages go through the main window.
  void Navigate(PageId page, const std::uint8_t* data, std::uint32_t length) override;

  void Back() override;
  void Forward() override;
  void Home() override;
  void Exit() override;
  void ViewNotes() override;
  void AddEditNote() override;
  void ViewBookmarks() override;
  void AddBookmark() override;
  void CloseOverlays() override;
  void Options() override;
  void Index() override;
  void Tools() override;
  void History() override;
  void About() override;
  void Authors() override;
  void Guide() override;
  void Notice() override;
  void SearchBook() override;
  bool Available(int) const override { return true; }

  CommandBar& Commands() { return *commandBar_; }
  SettingsDialog& Settings() { return *settings_; }
  AddBookmarkDialog& AddBookmarkBox();
  const BookmarkStore& Bookmarks() const { return *bookmarks_; }
  const NoteStore& Notes() const { return *notes_; }
  const NoteMark& Mark() const { return *noteMark_; }
  const ContentDatabase& Database() const { return db_; }
  const std::map<std::uint32_t, std::uint32_t>& ReservedKeys() const { return userMap_; }
  MainWindow& Main() { return main_; }
  // The folder of the user's record files.
  std::string Folder() const;
  // Closes the bookmark and note stores (their files compacted and
  // unlocked), runs change on their files, and opens them again.
  void ReopenUserData(const std::function<void()>& change);

 private:
  // Opens the stores; the panels that show them are made on first use.
  void OpenUserData();
  BookmarkListPanel& BookmarkList();
  NotesPanel& NotesOverlay();
  // Closes the overlays and navigates to a page by name.
  void GoToNamed(std::u16string_view name);
  void RefreshButtons();
  // Puts the keyboard focus into the page once the views are done.
  void FocusPageSoon();
  bool IsFootnoteRow(PageId page) const;
  // A row of the bookmark list chosen: its page with its state.
  void OpenBookmark(int position);
  void Exclaim(std::u16string_view text, std::u16string_view caption);

  platform::PageFontUse font_;
  MainWindow& main_;
  const ContentDatabase& db_;
  PageNameMap& names_;
  HistoryList& history_;
  std::map<std::uint32_t, std::uint32_t>& userMap_;
  // The user's bookmarks and notes, open from start-up to exit; their record
  // files are compacted when the stores are destroyed with this view.
  std::unique_ptr<BookmarkStore> bookmarks_;
  std::unique_ptr<NoteStore> notes_;
  CommandBar* commandBar_ = nullptr;  // a child of the main window
  std::unique_ptr<SettingsDialog> settings_;
  // The overlays over the page area (children of the main window) and the
  // dialog asking a bookmark's title (a child of the screen).
  BookmarkListPanel* bookmarkList_ = nullptr;
  NotesPanel* notesPanel_ = nullptr;
  AddBookmarkDialog* addBookmark_ = nullptr;
  // Set in Accept for Show: the overlay opened (its list is rebuilt), and
  // whether the input panel goes up for the note editor.
  QWidget* overlayOpened_ = nullptr;
  bool raisePanel_ = false;
  // The mark in the title of a page that has a note.
  std::unique_ptr<NoteMark> noteMark_;
};

}  // namespace vrok
