#pragma once
// The menu bar at the bottom of the screen with the program's commands:
// menu | Back History Forward | Home Index Tools Notes Bookmarks | Exit.
// The information, note and bookmark buttons drop down the sub-menus of
// menu 332. Every command goes to the CommandListener (the shell view).

#include <QWidget>
#include <map>

class QAction;
class QToolBar;

namespace vrok {

namespace commands {
inline constexpr int kBack = 40006;
inline constexpr int kForward = 40007;
inline constexpr int kExit = 40019;
inline constexpr int kOptions = 40021;
inline constexpr int kAddEditNote = 40023;
inline constexpr int kViewNotes = 40024;
inline constexpr int kAddBookmark = 40025;
inline constexpr int kViewBookmarks = 40026;
inline constexpr int kHistory = 40027;
inline constexpr int kTools = 40028;
inline constexpr int kMenu = 40029;
inline constexpr int kBookmarksMenu = 40030;
inline constexpr int kNotesMenu = 40031;
inline constexpr int kIndex = 40032;
inline constexpr int kHome = 40038;
inline constexpr int kAbout = 40055;
inline constexpr int kAuthors = 40056;
inline constexpr int kGuide = 40057;
inline constexpr int kNotice = 40059;
inline constexpr int kSearchBook = 40060;
}  // namespace commands

class CommandListener {
 public:
  virtual ~CommandListener() = default;
  virtual void Back() = 0;
  virtual void Forward() = 0;
  virtual void Home() = 0;
  virtual void Exit() = 0;
  virtual void ViewNotes() = 0;
  virtual void AddEditNote() = 0;
  virtual void ViewBookmarks() = 0;
  virtual void AddBookmark() = 0;
  virtual void CloseOverlays() = 0;
  virtual void Options() = 0;
  virtual void Index() = 0;
  virtual void Tools() = 0;
  virtual void History() = 0;
  virtual void About() = 0;
  virtual void Authors() = 0;
  virtual void Guide() = 0;
  virtual void Notice() = 0;
  // The book-wide search page.
  virtual void SearchBook() {}
  // Whether the command can run in this build (the bookmark and note
  // commands need their stores).
  virtual bool Available(int commandId) const = 0;
};

class CommandBar : public QWidget {
 public:
  // Creates the menu bar in the screen's menu bar row; parent is the main
  // window, of which this is a hidden child.
  CommandBar(QWidget* parent, CommandListener& listener);
  ~CommandBar() override;

  void SetNavButtons(bool back, bool forward, bool history);
  // Runs the listener operation of a command id; false for an id that is
  // not a command of the bar, or not available.
  bool Dispatch(int commandId);

  QToolBar* MenuBar() const { return bar_; }
  // The action of a command id (a bar button or a sub-menu entry), or null.
  QAction* Action(int commandId) const {
    const auto it = actions_.find(commandId);
    return it != actions_.end() ? it->second : nullptr;
  }
  bool IsEnabled(int commandId) const;
  // Draws the bar again in the current theme and at the current text size.
  void ApplyLook();

 private:
  QAction* AddButton(int image, int commandId, const QIcon& icon);

  CommandListener& listener_;
  QToolBar* bar_ = nullptr;
  std::map<int, QAction*> actions_;
};

}  // namespace vrok
