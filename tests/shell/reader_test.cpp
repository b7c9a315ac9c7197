// Start-up, installation checks, "home", the splash page and the settings.

#include <gtest/gtest.h>

#include <QRadioButton>
#include <QSettings>

#include "app/settings_dialog.h"
#include "app/shell_view.h"
#include "app/splash_view.h"
#include "content/internal/format.h"
#include "frame/main_window.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/timer.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using nlohmann::json;
using test::ReaderFixture;
using test::RowOf;

void ExpectOneMessage(const json& report, const std::string& text) {
  ASSERT_EQ(report.size(), 1u) << report.dump();
  EXPECT_EQ(report[0]["text"], text);
  EXPECT_EQ(report[0]["caption"], "Vrok");
  EXPECT_EQ(report[0]["icon"], "stop");
}

json Messages() {
  json list = json::array();
  for (const auto& m : platform::TakeMessages())
    list.push_back({{"text", platform::ToQ(m.text).toStdString()},
                    {"caption", platform::ToQ(m.caption).toStdString()},
                    {"icon", platform::IconName(m.icon)}});
  return list;
}

TEST(StartUpTest, MissingRegistryEntryStopsBeforeAnyView) {
  ReaderFixture f(test::ShellTestBook(), std::nullopt, /*install=*/false);
  EXPECT_FALSE(f.Start());
  ExpectOneMessage(Messages(), "Invalid application registry entries.");
  EXPECT_EQ(f.app->Shell(), nullptr);
  EXPECT_EQ(f.app->Database(), nullptr);
}

TEST(StartUpTest, DataFileOf77BytesIsDamaged) {
  ReaderFixture f(test::ShellTestBook());
  const std::string data = f.dir.File("VROK-Vrok-Data.pdb");
  auto bytes = test::ReadAll(data);
  bytes.resize(77);
  test::WriteAll(data, bytes);
  EXPECT_FALSE(f.Start());
  ExpectOneMessage(Messages(), "Database files are missing or damaged.");
  EXPECT_EQ(f.app->Shell(), nullptr);
}

TEST(StartUpTest, MissingStringsFileIsDamaged) {
  ReaderFixture f(test::ShellTestBook());
  std::remove(f.dir.File("VROK-Vrok-Strings.pdb").c_str());
  EXPECT_FALSE(f.Start());
  ExpectOneMessage(Messages(), "Database files are missing or damaged.");
}

TEST(StartUpTest, FirstPageIsTheSplashWhateverInitialTabSays) {
  for (const std::uint32_t tab : {0u, 1u, 2u, 3u}) {
    ReaderFixture f(test::ShellTestBook(), tab);
    ASSERT_TRUE(f.Start());
    const json r = f.Dump();
    EXPECT_EQ(r["page"], f.app->Names()[u"splash"]) << tab;
    EXPECT_TRUE(r["tab"].is_null()) << tab;
    ASSERT_EQ(r["panes"].size(), 1u);
    EXPECT_EQ(r["panes"][0]["name"], "splash");
    EXPECT_EQ(r["panes"][0]["geometry"], json::array({0, 0, 240, 268}));
    EXPECT_TRUE(r["history"]["entries"].empty());
  }
}

TEST(StartUpTest, PagesMakeTheirWidgetsWhenFirstShown) {
  // Start-up makes only what the splash page shows; each kind of page makes
  // its panes the first time one of its pages is shown.
  ReaderFixture f(test::ShellTestBook(), 0);
  ASSERT_TRUE(f.Start());
  const auto made = [&](const char* name) {
    return f.app->Main()->findChild<QWidget*>(QString::fromLatin1(name)) != nullptr;
  };
  for (const char* name :
       {"index-list", "field-index", "menu-index", "hierarchy", "flow-chart", "grid-buttons",
        "figure-buttons", "questionnaire-buttons", "tree-buttons", "notes"})
    EXPECT_FALSE(made(name)) << name;
  // Nor is the list of keys that F1 shows.
  const auto keysMade = [&] {
    return f.app->Main()->window()->findChild<QWidget*>(QStringLiteral("keys-popup")) != nullptr;
  };
  EXPECT_FALSE(keysMade());
  // Neither the command bar's icons nor the splash picture loads an image
  // plugin (a book's PNG is read by Qt's own decoder).
  EXPECT_TRUE(test::LoadedImagePlugins().empty());
  // Home is the INDEX tab: its list is made, shown and searchable.
  const auto r = f.Run("dismiss-splash\nnavigate index_search apr\ndump\n");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_TRUE(made("index-list"));
  EXPECT_FALSE(made("hierarchy"));
  const json list = test::PaneWhere(r[0], "name", "index-list");
  ASSERT_FALSE(list.is_null()) << r[0].dump();
  EXPECT_EQ(test::PaneWhere(r[0], "kind", "SearchBar")["text"], "apr") << r[0].dump();
  const auto keys = f.Run("key F1\ndump\n");
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_TRUE(keysMade());
  EXPECT_EQ(keys[0]["popup"]["caption"], "Keyboard") << keys[0].dump();
}

TEST(StartUpTest, HomeAfterTheSplashFollowsInitialTab) {
  const Book book = test::ShellTestBook();
  struct Case {
    std::optional<std::uint32_t> tab;
    PageId expected;
    int selected;
  };
  const Case cases[] = {{0, RowOf(book, "index"), 0},
                        {1, RowOf(book, "contents"), 1},
                        {2, RowOf(book, "tools"), 2},
                        {std::nullopt, RowOf(book, "contents"), 1},
                        {3, 0, 1}};  // "home" unregistered: the root row
  for (const Case& c : cases) {
    ReaderFixture f(book, c.tab);
    ASSERT_TRUE(f.Start());
    const auto r = f.Run("dismiss-splash\ndump\n");
    const std::string label = c.tab ? std::to_string(*c.tab) : "missing";
    EXPECT_EQ(r[0]["page"], c.expected) << label;
    EXPECT_EQ(r[0]["tab"], c.selected) << label;
    EXPECT_FALSE(test::PaneWhere(r[0], "name", "tab-strip").is_null()) << label;
  }
}

TEST(StartUpTest, UnreadableRegistryFileCountsAsContents) {
  ReaderFixture f(test::ShellTestBook());
  ASSERT_TRUE(f.Start());
  // Removing the key after the checks: the value can no longer be read.
  f.WriteRegistry("[other]\nx=1\n");
  PageNameMap names;
  RegisterPageNames(*f.app->Database(), names);
  RegisterHome(names, f.app->Registry().InitialTab());
  EXPECT_EQ(names[u"home"], names[u"contents"]);
}

struct SplashTest : ::testing::Test {
  Book book = test::ShellTestBook();
  ReaderFixture f{book, 1};
  void SetUp() override { ASSERT_TRUE(f.Start()); }
  PageId Page() { return f.app->Main()->CurrentPage(); }
};

TEST_F(SplashTest, TapBeforeTheTimerGoesHomeOnceOnly) {
  f.Run("tick 1000\n");
  EXPECT_EQ(Page(), f.app->Names()[u"splash"]);
  f.Run("pen 100 100\n");
  EXPECT_EQ(Page(), RowOf(book, "contents"));
  // Go elsewhere; the timer must not bring "home" back.
  f.Run("tap-tab 2\ntick 10000\n");
  EXPECT_EQ(Page(), RowOf(book, "tools"));
  EXPECT_TRUE(f.app->Splash()->IsDismissed());
  EXPECT_FALSE(f.app->Splash()->Dismiss());
}

TEST_F(SplashTest, TimerGoesHomeAfterTwoAndAHalfSecondsOnce) {
  f.Run("tick 2499\n");
  EXPECT_EQ(Page(), f.app->Names()[u"splash"]);
  f.Run("tick 1\n");
  EXPECT_EQ(Page(), RowOf(book, "contents"));
  f.Run("tap-tab 0\ntick 10000\n");
  EXPECT_EQ(Page(), RowOf(book, "index"));
  EXPECT_EQ(f.app->History().Entries().size(), 2u);
}

TEST(SplashPictureTest, ChoosesTheScreenSizedVariant) {
  const Book book = test::ShellTestBook({{480, 640, test::SolidPng(480, 640, 0xff0000)},
                                         {240, 320, test::SolidPng(240, 320, 0x00ff00)}});
  ReaderFixture f(book);
  ASSERT_TRUE(f.Start());
  const QImage& picture = f.app->Splash()->Picture();
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), QSize(240, 320));
  EXPECT_EQ(picture.pixel(5, 5) & 0xffffff, 0x00ff00u);
}

TEST(SplashPictureTest, UndecodablePictureLeavesWhiteAndTheTimerStillLeadsHome) {
  const Book book = test::ShellTestBook({{240, 320, {1, 2, 3, 4}}});
  ReaderFixture f(book);
  ASSERT_TRUE(f.Start());
  EXPECT_TRUE(f.app->Splash()->Picture().isNull());
  f.Run("tick 2500\n");
  EXPECT_EQ(f.app->Main()->CurrentPage(), RowOf(book, "contents"));
}

struct SettingsTest : ::testing::Test {
  Book book = test::ShellTestBook();
  std::optional<std::uint32_t> InitialTab(const ReaderFixture& f) {
    QSettings s(QString::fromStdString(f.registryFile), QSettings::IniFormat);
    const QVariant v = s.value("HKEY_LOCAL_MACHINE/SOFTWARE/Apps/KESTOR Vrok/InitialTab");
    return v.isValid() ? std::optional<std::uint32_t>(v.toUInt()) : std::nullopt;
  }
};

TEST_F(SettingsTest, ChoosingContentsChangesHomeAtOnceAndIsStored) {
  ReaderFixture f(book, 0);
  ASSERT_TRUE(f.Start());
  f.Run("dismiss-splash\ncommand 40021\n");
  ASSERT_NE(platform::OpenDialog(), nullptr);
  EXPECT_TRUE(f.app->Shell()->Settings().findChild<QRadioButton*>("2004")->isChecked());
  f.Run("click 2005\nanswer ok\ncommand 40038\n");
  EXPECT_EQ(platform::OpenDialog(), nullptr);
  EXPECT_EQ(f.app->Main()->CurrentPage(), RowOf(book, "contents"));
  EXPECT_EQ(InitialTab(f), 1u);

  // The next start uses CONTENTS after the splash.
  f.app->ExitInstance();
  f.app.reset();
  ASSERT_TRUE(f.Start());
  EXPECT_EQ(f.Run("dismiss-splash\ndump\n")[0]["page"], RowOf(book, "contents"));
}

TEST_F(SettingsTest, ValueSevenSelectsNothingAndOkWritesItBack) {
  ReaderFixture f(book, 7);
  ASSERT_TRUE(f.Start());
  const PageId home = f.app->Names()[u"home"];
  f.Run("dismiss-splash\ncommand 40021\n");
  for (const char* id : {"2004", "2005", "2006"})
    EXPECT_FALSE(f.app->Shell()->Settings().findChild<QRadioButton*>(id)->isChecked()) << id;
  f.Run("answer ok\n");
  EXPECT_EQ(f.app->Names()[u"home"], home);
  EXPECT_EQ(InitialTab(f), 7u);
}

TEST_F(SettingsTest, CancelChangesNothingAndTheMenuBarReturns) {
  ReaderFixture f(book, 2);
  ASSERT_TRUE(f.Start());
  f.Run("dismiss-splash\ncommand 40021\nclick 2004\n");
  int status = 0;
  f.Run("click 40038\n", &status);
  EXPECT_EQ(status, 2);  // the menu bar is out of reach while the dialog is open
  f.Run("answer cancel\nclick 40038\n");
  EXPECT_EQ(f.app->Main()->CurrentPage(), RowOf(book, "tools"));
  EXPECT_EQ(InitialTab(f), 2u);
}

}  // namespace
}  // namespace vrok
