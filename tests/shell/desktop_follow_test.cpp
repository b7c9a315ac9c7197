// A desktop window follows what changes while it runs: the text size
// reaches title bars, footnote buttons and command-bar pictures at once, an
// open pop-up follows a resize, and the window is placed before it shows.

#include <gtest/gtest.h>

#include <QEvent>
#include <QImage>
#include <regex>

#include "app/reader_app.h"
#include "content/content_database.h"
#include "platform/qt/screen_window.h"
#include "reader_fixture.h"

namespace vrok {
namespace {

using nlohmann::json;

struct DesktopFollow : test::InstalledSample {
  std::vector<json> Run(const std::string& script) const {
    return InstalledSample::Run(script, {"--desktop"});
  }
  // A record of the A to Z, whose title bar is drawn as rich text.
  std::string Record() const {
    const ContentDatabase db(dir.Path() + "/VROK-Vrok");
    const RowIndex table = db.TableRow(u"A_Z_IN_BRIEF");
    for (RowIndex r = table + 1; r < db.RowCount(); ++r) {
      std::vector<NodeRow> row;
      std::u16string text;
      if (db.ReadRows(r, 1, row) && row.size() == 1 && row[0].parent == table &&
          row[0].value != 0 && db.ReadString(StringId{row[0].value}, text) &&
          text == u"Acute cholecystitis")
        return std::to_string(r);
    }
    return "0";
  }
  std::string Fluids() const {
    const ContentDatabase db(dir.Path() + "/VROK-Vrok");
    return std::to_string(db.TableRow(u"Intravenous fluids compared"));
  }
};

// The measured widgets of one "measure" line, without their places.
json Sizes(const json& measured) {
  json out = json::array();
  for (const json& w : measured["widgets"]) {
    json s = w;
    s.erase("geometry");
    out.push_back(s);
  }
  return out;
}

TEST_F(DesktopFollow, ATextSizeChangeReachesTitlesButtonsAndPicturesAsANewStartWould) {
  const std::string measure = "measure title\nmeasure 1001\nmeasure 40038\nmeasure 40006\n";
  const auto before = Run("window 900 700\nnavigate " + Fluids() + "\n" + measure +
                          "key Ctrl+=\nkey Ctrl+=\nkey Ctrl+=\ndump\n" + measure);
  ASSERT_EQ(before.size(), 9u);
  ASSERT_EQ(before[4]["text_size"], 150);
  // The footnote button and the command bar's pictures grew with the text.
  const int button = before[1]["widgets"][0]["picture"][0];
  const int buttonAfter = before[6]["widgets"][0]["picture"][0];
  EXPECT_EQ(buttonAfter, (button * 3 + 1) / 2);
  EXPECT_GT(before[7]["widgets"][0]["icon"][0].get<int>(), before[2]["widgets"][0]["icon"][0].get<int>());
  EXPECT_GT(before[5]["widgets"][0]["font"].get<int>(), before[0]["widgets"][0]["font"].get<int>());

  // The next start is at 150 % from the beginning: the same sizes.
  const auto fresh = Run("window 900 700\nnavigate " + Fluids() + "\ndump\n" + measure);
  ASSERT_EQ(fresh.size(), 5u);
  ASSERT_EQ(fresh[0]["text_size"], 150);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Sizes(fresh[1 + i]), Sizes(before[5 + i])) << i;
  // And so are the panes.
  EXPECT_EQ(fresh[0]["panes"], before[4]["panes"]);
}

// The whole screen, pixel for pixel: every title (the rich ones too) is
// drawn at the new size, not only measured.
TEST_F(DesktopFollow, ATextSizeChangeDrawsTheScreenAsANewStartWould) {
  const std::string show = "window 900 700\nnavigate " + Record() + "\n";
  const std::string changed = dir.File("changed.png"), fresh = dir.File("fresh.png");
  const auto a = Run(show + "key Ctrl+=\nkey Ctrl+=\ndump\ngrab " + changed + "\n");
  const auto b = Run(show + "dump\ngrab " + fresh + "\n");
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  ASSERT_EQ(a[0]["title"], "Acute cholecystitis");
  ASSERT_EQ(a[0]["text_size"], 125);
  ASSERT_EQ(b[0]["text_size"], 125);
  const QImage one(QString::fromStdString(changed)), two(QString::fromStdString(fresh));
  ASSERT_FALSE(one.isNull());
  ASSERT_EQ(one.size(), two.size());
  QRect differ;
  for (int y = 0; y < one.height(); ++y)
    for (int x = 0; x < one.width(); ++x)
      if (one.pixel(x, y) != two.pixel(x, y)) differ |= QRect(x, y, 1, 1);
  EXPECT_TRUE(differ.isEmpty()) << "pixels differ within " << differ.x() << "," << differ.y()
                                << " " << differ.width() << "x" << differ.height();
}

TEST_F(DesktopFollow, AnOpenPopupFollowsTheWindow) {
  const ContentDatabase db(dir.Path() + "/VROK-Vrok");
  std::string chest = "0";
  for (RowIndex r = 0; r < db.RowCount() && chest == "0"; ++r) {
    std::vector<NodeRow> row;
    std::u16string value;
    if (db.ReadRows(r, 1, row) && row.size() == 1 &&
        row[0].parent == db.TableRow(u"DIAGNOSTIC_INDEX") && row[0].value != 0 &&
        db.ReadString(StringId{row[0].value}, value) && value == u"Chest pain")
      chest = std::to_string(r);
  }
  const std::string page = Run("navigate " + chest + "\ndump\n").at(0).dump();
  std::smatch link;
  ASSERT_TRUE(std::regex_search(page, link, std::regex("HREF='([0-9]+)'>troponin<"))) << page;
  const auto r = Run("window 1200 900\nnavigate " + chest + "\ntap-link " + link[1].str() +
                     "\ndump\nwindow 300 400\ndump\nwindow 1200 900\ndump\n");
  ASSERT_EQ(r.size(), 3u);
  for (const json& report : r) ASSERT_FALSE(report["popup"].is_null()) << report.dump();
  const json wide = r[0]["popup"]["geometry"], narrow = r[1]["popup"]["geometry"];
  // Inside the narrow window, and wrapped to it: narrower and taller.
  EXPECT_GE(narrow[0].get<int>(), 0);
  EXPECT_LE(narrow[0].get<int>() + narrow[2].get<int>(), 300) << narrow.dump();
  EXPECT_LE(narrow[1].get<int>() + narrow[3].get<int>(), 400) << narrow.dump();
  EXPECT_LT(narrow[2].get<int>(), wide[2].get<int>());
  EXPECT_GT(narrow[3].get<int>(), wide[3].get<int>());
  // Back at the first size, the same place as at first.
  EXPECT_EQ(r[2]["popup"]["geometry"], wide);
}

// Records the window's size when it is first shown.
struct FirstShow : QObject {
  QSize size;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && size.isEmpty())
      size = static_cast<QWidget*>(watched)->size();
    return false;
  }
};

TEST(DesktopPlacement, TheWindowIsPlacedBeforeItIsFirstShown) {
  test::ReaderFixture reader(test::ShellTestBook());
  reader.app = std::make_unique<ReaderApp>(platform::Registry(QString::fromStdString(reader.registryFile)));
  FirstShow first;
  bool wasVisible = true;
  QSize start;
  reader.app->BeforeShow([&] {
    platform::ScreenWindow& screen = *reader.app->Screen();
    wasVisible = screen.isVisible();
    start = screen.size();
    screen.installEventFilter(&first);
    screen.setFixedSize(screen.width() + 37, screen.height() + 23);
  });
  ASSERT_TRUE(reader.app->InitInstance());
  reader.app->Screen()->removeEventFilter(&first);
  EXPECT_FALSE(wasVisible);
  EXPECT_EQ(first.size, start + QSize(37, 23));
}

}  // namespace
}  // namespace vrok
