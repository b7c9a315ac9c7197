#pragma once
// The application object: start-up (instance initialisation) and exit.
// It owns the screen, the main window, the content database, the page
// names, the history and the page views.

#include <QSocketNotifier>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "content/content_database.h"
#include "core/navigation/history_list.h"
#include "core/navigation/page_names.h"
#include "platform/core/window_registry.h"
#include "platform/qt/registry.h"

namespace vrok {

namespace platform {
class ScreenWindow;
}
class MainWindow;
class ShellView;
class TabBar;
class SplashView;
class FigureView;
class HierarchyView;
class LinkedTreeView;
class TightHierarchyView;
class GridView;
class IndexListView;
class SearchView;
class MenuIndexView;
class FieldIndexView;
class FlowChartView;
class QuestionnaireView;

// The window class under which the reader of one user-data folder can be
// found: "Vrok-" and a hash of the folder's canonical path.
std::string FolderWindowClass(const QString& folder);

// A start page as the command line gives it: a decimal page id or a page
// name. False for an empty text or an id beyond 32 bits.
bool IsPageText(const QString& page);

// A second start on `folder`: asks the reader already running on it (a
// process of this user) to come to the front and, when `page` is not empty,
// to show that page. True when that reader took the request.
bool HandOverToRunningReader(const QString& folder, const QString& page);

class ReaderApp {
 public:
  explicit ReaderApp(platform::Registry registry);
  ~ReaderApp();
  ReaderApp(const ReaderApp&) = delete;
  ReaderApp& operator=(const ReaderApp&) = delete;

  // Creates the main window, checks the installation (false, after a
  // message box, when it is unusable), opens the content, names the pages,
  // creates and registers the views and navigates to the splash page.
  bool InitInstance();
  // Destroys the views and removes the page font; returns the exit code.
  int ExitInstance();

  // Before InitInstance: when another reader registers the user-data folder
  // first (two starts at once), InitInstance hands over to it, with `page`,
  // and returns false; HandedOver() then says so.
  void HandOverWhenHeld(const QString& page) { handOverPage_ = page; }
  // Before InitInstance: runs once the screen window exists, before it is
  // first shown (to size and place it there, so that it never shows at
  // another size first).
  void BeforeShow(std::function<void()> place) { beforeShow_ = std::move(place); }
  bool HandedOver() const { return handedOver_; }

  // Shows `page` (a page id or name, IsPageText) as a navigation would.
  void ShowPage(const QString& page);
  // What a second start on our folder asks for (the argument of its
  // request): the window comes to the front, and shows the page it names.
  // False when the request is not for our folder or names no page.
  bool TakeHandOver(std::string_view request);

  platform::ScreenWindow* Screen() const { return screen_.get(); }
  MainWindow* Main() const { return main_; }
  const ContentDatabase* Database() const { return db_.get(); }
  PageNameMap& Names() { return names_; }
  HistoryList& History() { return history_; }
  platform::Registry& Registry() { return registry_; }
  const std::map<std::uint32_t, std::uint32_t>& UserMap() const { return userMap_; }
  ShellView* Shell() const { return shell_.get(); }
  TabBar* Tabs() const { return tabs_.get(); }
  SplashView* Splash() const { return splash_.get(); }
  FigureView* Figures() const { return figures_.get(); }
  HierarchyView* Hierarchy() const { return hierarchy_.get(); }
  LinkedTreeView* Linked() const { return linked_.get(); }
  TightHierarchyView* Tight() const { return tight_.get(); }
  GridView* Grids() const { return grids_.get(); }
  IndexListView* IndexList() const { return indexList_.get(); }
  SearchView* BookSearch() const { return search_.get(); }
  MenuIndexView* MenuIndex() const { return menuIndex_.get(); }
  FieldIndexView* FieldIndex() const { return fieldIndex_.get(); }
  FlowChartView* FlowCharts() const { return flowCharts_.get(); }
  QuestionnaireView* Questionnaires() const { return questionnaires_.get(); }

 private:
  bool CheckInstallation();
  // Makes the main window findable by its class, so that another process of
  // the user (the sync plug-in) can close the reader.
  void RegisterWindow();
  // The book-wide search page, Ctrl+K, and Enter in the index search bars.
  void AddBookSearch(const std::string& prefix);

  platform::Registry registry_;
  std::unique_ptr<platform::ScreenWindow> screen_;
  MainWindow* main_ = nullptr;  // a child of the screen
  std::unique_ptr<ContentDatabase> db_;
  PageNameMap names_;
  HistoryList history_;
  std::map<std::uint32_t, std::uint32_t> userMap_;  // handed to the bookmark and note stores
  std::unique_ptr<WindowRegistration> window_;
  std::unique_ptr<QSocketNotifier> windowNotifier_;
  // The registration by user-data folder, which later starts hand over to.
  std::unique_ptr<WindowRegistration> folderWindow_;
  std::unique_ptr<QSocketNotifier> folderNotifier_;
  std::optional<QString> handOverPage_;
  std::function<void()> beforeShow_;
  bool handedOver_ = false;

  // The page views, in creation order.
  std::unique_ptr<ShellView> shell_;
  std::unique_ptr<TabBar> tabs_;
  std::unique_ptr<IndexListView> indexList_;
  std::unique_ptr<SearchView> search_;
  std::unique_ptr<LinkedTreeView> linked_;
  std::unique_ptr<HierarchyView> hierarchy_;
  std::unique_ptr<SplashView> splash_;
  std::unique_ptr<MenuIndexView> menuIndex_;
  std::unique_ptr<FigureView> figures_;
  std::unique_ptr<FlowChartView> flowCharts_;
  std::unique_ptr<FieldIndexView> fieldIndex_;
  std::unique_ptr<QuestionnaireView> questionnaires_;
  std::unique_ptr<TightHierarchyView> tight_;
  std::unique_ptr<GridView> grids_;
};

}  // namespace vrok
