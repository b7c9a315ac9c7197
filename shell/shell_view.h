#pragma once
// The shell view: registered first, it sees every navigation. It records
// each page shown in the history, opens the bookmark and note overlays, and
// implements the commands of the command bar.

#include <map>
#include <memory>

#include "content/content_database.h"
#include "platform/qt/fonts.h"
#include "shell/command_bar.h"
#include "shell/history_list.h"
#include "shell/page_names.h"
#include "shell/page_view.h"
#include "userdata/bookmark_store.h"
#include "userdata/note_store.h"

namespace vrok {

class MainWindow;
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
  void ViewNotes() override {}
  void AddEditNote() override {}
  void ViewBookmarks() override {}
  void AddBookmark() override {}
  void CloseOverlays() override;
  void Options() override;
  void Index() override;
  void Tools() override;
  void History() override;
  void About() override;
  void Authors() override;
  void Guide() override;
  void Notice() override;
  bool Available(int commandId) const override;

  CommandBar& Commands() { return *commandBar_; }
  SettingsDialog& Settings() { return *settings_; }

 private:
  // Closes the overlays and navigates to a page by name.
  void GoToNamed(std::u16string_view name);
  void RefreshButtons();
  bool IsFootnoteRow(PageId page) const;

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
};

}  // namespace vrok
