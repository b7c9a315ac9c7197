// The command bar and the commands of the shell view.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include "app/command_bar.h"
#include "app/shell_view.h"
#include "frame/main_window.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "reader_fixture.h"
#include "shell_books.h"

namespace vrok {
namespace {

using nlohmann::json;
using test::ReaderFixture;
using test::RowOf;

struct CommandsTest : ::testing::Test {
  Book book = test::ShellTestBook();
  ReaderFixture f{book, 1};
  void SetUp() override { ASSERT_TRUE(f.Start()); }
  QToolBar* Bar() { return f.app->Shell()->Commands().MenuBar(); }
};

TEST_F(CommandsTest, TenButtonsWithSeparatorsAtOneFiveAndEleven) {
  std::vector<std::string> layout;
  for (QAction* a : Bar()->actions())
    layout.push_back(a->isSeparator() ? "|" : a->objectName().toStdString());
  EXPECT_EQ(layout, (std::vector<std::string>{"40029", "|", "40006", "40027", "40007", "|", "40038",
                                              "40032", "40028", "40031", "40030", "|", "40019"}));
  const auto items = [&](const char* button) {
    std::vector<std::string> texts;
    for (QAction* a : Bar()->findChild<QAction*>(button)->menu()->actions())
      texts.push_back(a->text().toStdString() + "=" + a->objectName().toStdString());
    return texts;
  };
  EXPECT_EQ(items("40029"),
            (std::vector<std::string>{"About KESTOR=40055", "Authors and Contributors=40056",
                                      "Guide to Tarvessa=40057", "Notice=40059", "Options=40021",
                                      "Search the book=40060"}));
  // The handheld's two note items come first; export, import and restore follow.
  EXPECT_EQ(items("40031"),
            (std::vector<std::string>{"- Add/Edit Note=40023", "- View Notes=40024",
                                      "- Export bookmarks and notes\u2026=export-user-data",
                                      "- Save notes as a web page\u2026=export-html",
                                      "- Import bookmarks and notes\u2026=import-user-data",
                                      "- Restore from backup\u2026=restore-backup"}));
  EXPECT_EQ(items("40030"),
            (std::vector<std::string>{"- Add Bookmark=40025", "- View Bookmarks=40026"}));
}

// A tap on a menu button in a scripted run opens the menu and closes it
// again instead of entering a menu loop no script line could end.
TEST_F(CommandsTest, ScriptedTapOnAMenuButtonDoesNotBlock) {
  for (const char* id : {"40029", "40031", "40030"}) {
    QWidget* button = Bar()->widgetForAction(Bar()->findChild<QAction*>(id));
    const QPoint centre = button->mapTo(button->window(), button->rect().center());
    f.Run("pen " + std::to_string(centre.x()) + " " + std::to_string(centre.y()) + "\n");
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << id;
  }
}

TEST_F(CommandsTest, DisabledNavigationButtonsShowTheGreyImages) {
  const auto* back = Bar()->findChild<QToolButton*>("40006");
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(back->isEnabled());
  const QImage normal = back->icon().pixmap(16, QIcon::Normal).toImage();
  const QImage grey = back->icon().pixmap(16, QIcon::Disabled).toImage();
  ASSERT_EQ(normal.size(), grey.size());
  // The enabled arrow is green; the disabled one has no colour.
  const QColor arrow = normal.pixelColor(8, 8), greyArrow = grey.pixelColor(8, 8);
  EXPECT_GT(arrow.green(), arrow.red() + 40);
  EXPECT_EQ(greyArrow.red(), greyArrow.green());
}

TEST_F(CommandsTest, NavigationButtonsFollowTheHistory) {
  auto r = f.Run("dismiss-splash\ndump\ntap-tab 2\ndump\ncommand 40006\ndump\ntap-tab 0\ndump\n");
  EXPECT_EQ(r[0]["buttons"], json({{"back", false}, {"forward", false}, {"history", false}}));
  EXPECT_EQ(r[1]["buttons"], json({{"back", true}, {"forward", false}, {"history", true}}));
  EXPECT_EQ(r[2]["buttons"], json({{"back", false}, {"forward", true}, {"history", true}}));
  EXPECT_EQ(r[2]["page"], RowOf(book, "contents"));
  // A new page after Back drops the forward entry.
  EXPECT_EQ(r[3]["buttons"], json({{"back", true}, {"forward", false}, {"history", true}}));
  EXPECT_EQ(r[3]["history"]["entries"].size(), 2u);
  EXPECT_EQ(r[3]["history"]["entries"][1]["page"], RowOf(book, "index"));
}

TEST_F(CommandsTest, NamedPageCommands) {
  const PageId notice = RowOf(book, "notice");
  struct Case {
    int command;
    PageId page;
  };
  const Case cases[] = {{40032, RowOf(book, "index")},
                        {40028, RowOf(book, "tools")},
                        {40059, notice},
                        {40055, 0},  // no ABOUT_KESTOR table
                        {40038, RowOf(book, "contents")}};
  f.Run("dismiss-splash\n");
  for (const Case& c : cases) {
    f.Run("command " + std::to_string(c.command) + "\n");
    EXPECT_EQ(f.app->Main()->CurrentPage(), c.page) << c.command;
  }
}

TEST_F(CommandsTest, ExitAnsweredNoChangesNothingYesQuits) {
  f.Run("dismiss-splash\n");
  f.app->Screen()->SetInputPanel(true);
  const auto r = f.Run("answer no\ncommand 40019\ndump\n");
  ASSERT_EQ(r[0]["messages"].size(), 1u);
  EXPECT_EQ(r[0]["messages"][0], json({{"text", "Are you sure you want to exit"},
                                       {"caption", "Vrok"},
                                       {"icon", "question"},
                                       {"answer", "no"}}));
  EXPECT_FALSE(platform::QuitPosted());
  EXPECT_TRUE(r[0]["keyboard"]);  // the input panel is back
  f.Run("answer yes\ncommand 40019\n");
  EXPECT_TRUE(platform::QuitPosted());
}

TEST_F(CommandsTest, HistoryMenuListsNewestFirstAndGoesToTheChoice) {
  f.Run("dismiss-splash\ntap-tab 0\ntap-tab 2\nchoose 2\ncommand 40027\n");
  EXPECT_EQ(f.app->Main()->CurrentPage(), RowOf(book, "contents"));
  EXPECT_EQ(f.app->History().CurrentPosition(), 0);
  // Choosing the current entry does nothing; no choice does nothing.
  f.Run("choose 2\ncommand 40027\ncommand 40027\n");
  EXPECT_EQ(f.app->History().CurrentPosition(), 0);
  EXPECT_EQ(f.app->History().Entries().size(), 3u);
}

TEST_F(CommandsTest, BookmarkAndNoteMenuItemsOpenTheirScreens) {
  for (const char* id : {"40023", "40024", "40025", "40026"})
    EXPECT_TRUE(Bar()->findChild<QAction*>(id)->isEnabled()) << id;
  auto r = f.Run("dismiss-splash\nclick 40026\ndump\nclick 40024\ndump\n");
  ASSERT_EQ(r[0]["overlays"].size(), 1u);
  EXPECT_EQ(r[0]["overlays"][0]["kind"], "BookmarkList");
  ASSERT_EQ(r[1]["overlays"].size(), 1u);
  EXPECT_EQ(r[1]["overlays"][0]["kind"], "NotesPanel");
  EXPECT_EQ(r[1]["overlays"][0]["mode"], "list");
}

}  // namespace
}  // namespace vrok
