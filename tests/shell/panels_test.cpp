// The bookmark and note screens driven through the shell's commands, as a
// person (or a script) would use them.

#include <gtest/gtest.h>

#include "app/shell_view.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "support/test_books.h"
#include "views/userdata/add_bookmark_dialog.h"
#include "widgets/artwork.h"

namespace vrok {
namespace {

using nlohmann::json;
using test::ReaderFixture;
using test::RowOf;

json Message(const std::string& text, const std::string& caption,
             const char* icon = "exclamation") {
  return {{"text", text}, {"caption", caption}, {"icon", icon}, {"answer", "ok"}};
}

struct PanelsTest : ::testing::Test {
  Book book = test::ShellTestBook();
  ReaderFixture f{book, 1};
  std::string asthma = std::to_string(RowOf(book, "asthma"));
  std::string other = std::to_string(RowOf(book, "otheritem"));

  void SetUp() override {
    ASSERT_TRUE(f.Start());
    f.Run("dismiss-splash\n");
  }
  // Bookmarks the page on screen under a title.
  std::string Bookmark(const std::string& title) {
    return "command 40025\nset 6969 " + title + "\nclick 17\n";
  }
  // Saves a note on the page on screen.
  std::string Note(const std::string& title, const std::string& text) {
    return "command 40023\nset 44 " + title + "\nset 44-text " + text + "\nclick 43\n";
  }
  json Overlay() {
    const json r = f.Dump();
    return r["overlays"].empty() ? json() : r["overlays"][0];
  }
};

TEST_F(PanelsTest, SameLinkTwiceGivesExistsButAnotherAnchorIsANewBookmark) {
  auto r =
      f.Run("navigate " + asthma + " a\n" + Bookmark("Asthma") + "dump\n" + "command 40025\n" +
            "dump\nnavigate " + asthma + " b\n" + Bookmark("Asthma b") + "command 40026\ndump\n");
  EXPECT_TRUE(r[0]["messages"].empty()) << r[0]["messages"];
  EXPECT_EQ(
      r[1]["messages"],
      json::array({Message("You can't place a bookmark here. Bookmark exists.", "Bookmarks")}));
  EXPECT_EQ(platform::OpenDialog(), nullptr);
  ASSERT_EQ(r[2]["overlays"].size(), 1u);
  const json& list = r[2]["overlays"][0];
  EXPECT_EQ(list["kind"], "BookmarkList");
  EXPECT_EQ(list["heading"], "Bookmarks");
  EXPECT_EQ(list["items"], json({"Asthma", "Asthma b"}));
  EXPECT_EQ(list["ticked"], json::array());
  EXPECT_TRUE(r[2]["messages"].empty());
}

TEST_F(PanelsTest, BuiltInPagesAndKeyZeroRowsRefuseBookmarksNotesOnlyOnKeyZero) {
  // Page 0 is the root, whose key is 0; "history" is a built-in page.
  auto r =
      f.Run("navigate 0\ncommand 40025\ncommand 40023\ndump\nnavigate history\ncommand 40025\n" +
            Note("On history", "text") + "dump\n");
  EXPECT_EQ(r[0]["messages"], json::array({Message("You can't place a bookmark here.", "Bookmarks"),
                                           Message("You can't place a note here.", "Notes")}));
  EXPECT_TRUE(r[0]["overlays"].empty());
  EXPECT_EQ(r[0]["page"], 0);
  EXPECT_EQ(r[1]["messages"],
            json::array({Message("You can't place a bookmark here.", "Bookmarks")}));
  EXPECT_TRUE(r[1]["overlays"].empty());
  f.Run("command 40024\n");
  EXPECT_EQ(Overlay()["items"], json({"On history"}));
}

TEST_F(PanelsTest, TickingThreeDeletesExactlyThoseAndKeepsTheOrder) {
  std::string script;
  for (const char* anchor : {"a", "b", "c", "d", "e"})
    script += "navigate " + asthma + " " + anchor + "\n" + Bookmark(std::string("Mark ") + anchor);
  script += "command 40026\ntick-row 1\ntick-row 2\ntick-row 4\ndump\ncommand 123\ndump\n";
  auto r = f.Run(script);
  EXPECT_EQ(r[0]["overlays"][0]["ticked"], json({1, 2, 4}));
  const json& after = r[1]["overlays"][0];
  EXPECT_EQ(after["items"], json({"Mark a", "Mark d"}));
  EXPECT_EQ(after["ticked"], json::array());
  // The remaining ones still open their own page and anchor.
  r = f.Run("tap-row 1\ndump\n");
  EXPECT_TRUE(r[0]["overlays"].empty());
  EXPECT_EQ(r[0]["page"], RowOf(book, "asthma"));
  EXPECT_EQ(r[0]["page_data"], "64000000");  // "d" as zero-terminated UTF-16
}

TEST_F(PanelsTest, EmptyTitlesAreRefusedAndNothingIsStored) {
  f.Run("navigate " + asthma + "\ncommand 40025\nclick 17\n");
  auto* dialog = &f.app->Shell()->AddBookmarkBox();
  EXPECT_EQ(platform::OpenDialog(), dialog);
  // The focus is back in the title box: typing goes there, then Save closes.
  f.Run("type Typed\nclick 17\n");
  EXPECT_EQ(platform::OpenDialog(), nullptr);
  f.Run("command 40026\n");
  EXPECT_EQ(Overlay()["items"], json({"Typed"}));

  auto r = f.Run("command 40023\nset 44-text body only\nclick 43\ndump\n");
  EXPECT_EQ(
      r[0]["messages"],
      json::array({Message("You can't save this note. \"Title\" field is empty.", "", "none")}));
  const json& editor = r[0]["overlays"][0];
  EXPECT_EQ(editor["mode"], "editor");
  EXPECT_EQ(editor["text"], "body only");
  f.Run("click 40\ncommand 40024\n");
  EXPECT_EQ(Overlay()["items"], json::array());
}

TEST_F(PanelsTest, ASecondNoteOnAPageReplacesTheFirstAtTheEnd) {
  auto r = f.Run("navigate " + asthma + "\n" + Note("First", "one") + "navigate " + other + "\n" +
                 Note("Other", "two") + "navigate " + asthma + " elsewhere\ncommand 40023\ndump\n");
  // The editor shows the page's note (the anchor does not matter), as an
  // edit of it.
  const json& editor = r[0]["overlays"][0];
  EXPECT_EQ(editor["heading"], "Edit Note");
  EXPECT_EQ(editor["title"], "First");
  EXPECT_EQ(editor["text"], "one");
  r = f.Run("set 44 Second\nset 44-text line 1\nclick 43\ncommand 40024\ndump\n");
  EXPECT_EQ(r[0]["overlays"][0]["items"], json({"Other", "Second"}));
  r = f.Run("tap-row 1\ndump\n");
  EXPECT_EQ(r[0]["overlays"][0]["text"], "line 1");
}

TEST_F(PanelsTest, EditorReturnsToTheListOrToThePageItWasOpenedFrom) {
  const json before = f.Run("navigate " + asthma + "\n" + Note("Asthma", "text") + "dump\n")[0];
  // Opened for the page: the input panel goes up, and Save goes back to
  // the page with the panel as it was.
  EXPECT_TRUE(before["overlays"].empty());
  EXPECT_FALSE(before["keyboard"]);
  EXPECT_EQ(before["page"], RowOf(book, "asthma"));

  auto r = f.Run("command 40023\ndump\nclick 40\ndump\n");
  EXPECT_TRUE(r[0]["keyboard"]);
  EXPECT_EQ(r[0]["overlays"][0]["heading"], "Edit Note");
  EXPECT_TRUE(r[1]["overlays"].empty());
  EXPECT_FALSE(r[1]["keyboard"]);
  EXPECT_EQ(r[1]["panes"], before["panes"]);

  // Opened from the list: "Edit Note", back to the list.
  r = f.Run("command 40024\ntap-row 0\ndump\nset 44 Renamed\nclick 43\ndump\n");
  EXPECT_EQ(r[0]["overlays"][0]["heading"], "Edit Note");
  EXPECT_EQ(r[0]["overlays"][0]["title"], "Asthma");
  EXPECT_TRUE(r[0]["keyboard"]);
  const json& list = r[1]["overlays"][0];
  EXPECT_EQ(list["mode"], "list");
  EXPECT_EQ(list["heading"], "Notes");
  EXPECT_EQ(list["items"], json({"Renamed"}));
  EXPECT_FALSE(r[1]["keyboard"]);
}

TEST(SquareScreenTest, TheInputPanelStaysDownForTheEditorAndTheDialog) {
  const Book book = test::ShellTestBook();
  ReaderFixture f{book, 1};
  platform::ScreenMetrics().width = platform::ScreenMetrics().height = 240;
  ASSERT_TRUE(f.Start());
  ASSERT_EQ(f.app->Screen()->width(), f.app->Screen()->height());
  const std::string asthma = std::to_string(RowOf(book, "asthma"));
  auto r = f.Run("dismiss-splash\nnavigate " + asthma +
                 "\nset input-panel 1\ncommand 40023\ndump\nclick 40\ndump\ncommand "
                 "40025\ndump\nanswer cancel\ndump\n");
  EXPECT_FALSE(r[0]["keyboard"]);
  // Put back as it was before the editor opened.
  EXPECT_TRUE(r[1]["keyboard"]);
  EXPECT_FALSE(r[2]["keyboard"]);
  EXPECT_TRUE(r[3]["keyboard"]);
}

TEST_F(PanelsTest, BackWhileAListIsOpenShowsThePageUnderIt) {
  auto r = f.Run("navigate " + asthma + "\nnavigate " + other +
                 "\ncommand 40026\ndump\n"
                 "command 40006\ndump\n");
  EXPECT_EQ(r[0]["overlays"].size(), 1u);
  EXPECT_EQ(r[0]["tab"], r[1]["tab"]);  // the strip under the list is unchanged
  EXPECT_EQ(r[0]["page"], RowOf(book, "otheritem"));
  EXPECT_TRUE(r[0]["buttons"]["back"]);
  EXPECT_TRUE(r[1]["overlays"].empty());
  EXPECT_EQ(r[1]["page"], RowOf(book, "otheritem"));
  EXPECT_EQ(r[1]["history"], r[0]["history"]);
}

TEST_F(PanelsTest, AddBookmarkPageAsksForTheTitleOfThePageUnderIt) {
  auto r = f.Run("navigate " + other +
                 " x\nnavigate add_bookmark\nset 6969 Via page\nanswer ok\n"
                 "dump\ncommand 40026\ndump\n");
  EXPECT_EQ(r[0]["page"], RowOf(book, "otheritem"));
  EXPECT_EQ(r[1]["overlays"][0]["items"], json({"Via page"}));
  r = f.Run("tap-row 0\ndump\n");
  EXPECT_EQ(r[0]["page_data"], "78000000");
}

TEST_F(PanelsTest, EntriesOfPagesMissingFromANewEditionStayAndSaySo) {
  f.Run("navigate " + other + "\n" + Bookmark("Gone") + Note("Gone note", "kept") + "navigate " +
        asthma + "\n" + Bookmark("Here"));
  // A new edition of the book without that record.
  f.app->ExitInstance();
  f.app.reset();
  Book edition = book;
  edition.root.children.back().children.pop_back();
  test::WriteTestBook(edition, f.dir);
  ASSERT_TRUE(f.Start());
  auto r =
      f.Run("dismiss-splash\ncommand 40026\ntap-row 0\ndump\ncommand 40024\ntap-row 0\ndump\n");
  EXPECT_EQ(r[0]["messages"],
            json::array({Message("This page is not in this edition of the book.", "Bookmarks")}));
  EXPECT_EQ(r[0]["overlays"][0]["items"], json({"Gone", "Here"}));
  EXPECT_EQ(r[1]["messages"],
            json::array({Message("This page is not in this edition of the book.", "Notes")}));
  EXPECT_EQ(r[1]["overlays"][0]["mode"], "list");
  EXPECT_EQ(r[1]["overlays"][0]["items"], json({"Gone note"}));
}

TEST(PanelBitmapsTest, BothResolutionsAndDistinctPressedImages) {
  test::EnsureQtApp();
  const platform::Screen saved = platform::ScreenMetrics();
  for (const int id : {art::kDelete, art::kSave, art::kSavePressed, art::kCancel,
                       art::kCancelPressed, art::kFootnotes, art::kSections}) {
    platform::ScreenMetrics().dpiX = 96;
    const int low = art::ButtonBitmap(id);
    platform::ScreenMetrics().dpiX = 192;
    const int high = art::ButtonBitmap(id);
    EXPECT_EQ(low, id);
    EXPECT_NE(high, id);
    const QPixmap a = art::LoadBitmap(low), b = art::LoadBitmap(high);
    ASSERT_FALSE(a.isNull()) << id;
    EXPECT_EQ(b.size(), a.size() * 2) << id;
  }
  platform::ScreenMetrics() = saved;
  EXPECT_NE(art::LoadBitmap(art::kSave).toImage(), art::LoadBitmap(art::kSavePressed).toImage());
  EXPECT_NE(art::LoadBitmap(art::kCancel).toImage(),
            art::LoadBitmap(art::kCancelPressed).toImage());
}

}  // namespace
}  // namespace vrok
