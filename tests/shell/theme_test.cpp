// The dark theme: through the reader program (the report, the page as
// drawn, figures left alone, the choice remembered) and in the test process
// (the colours the viewer and the palette object hand out, and their
// contrast).

#include <gtest/gtest.h>

#include <QImage>
#include <QPalette>
#include <QTextBlock>
#include <QTextDocument>
#include <fstream>
#include <sstream>

#include "content/content_database.h"
#include "frame/viewer_control.h"
#include "platform/qt/theme.h"
#include "reader_fixture.h"

namespace vrok {
namespace {

using nlohmann::json;
using platform::ContrastRatio;

struct Theme : test::InstalledSample {
  std::string Png(const std::string& name) const { return dir.File(name + ".png"); }
  // The entry of the figures list that shows the rhythm strips.
  std::string Figure() const {
    const ContentDatabase db(dir.Path() + "/VROK-Vrok");
    for (RowIndex r = 0; r < db.RowCount(); ++r) {
      std::vector<NodeRow> row;
      std::u16string value;
      if (db.ReadRows(r, 1, row) && row.size() == 1 && row[0].value != 0 &&
          db.ReadString(StringId{row[0].value}, value) &&
          value == u"Sinus rhythm and atrial fibrillation")
        return std::to_string(r);
    }
    return "0";
  }
  std::string RegistryText() const {
    std::ifstream in(registry);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

// The rectangle of a pane in a report.
QRect Geometry(const json& pane) {
  const json& g = pane["geometry"];
  return QRect(g[0].get<int>(), g[1].get<int>(), g[2].get<int>(), g[3].get<int>());
}

// The colour of most pixels in a rectangle of an image.
QColor Commonest(const QImage& image, QRect area) {
  std::map<QRgb, int> counts;
  area &= image.rect();
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) ++counts[image.pixel(x, y) | 0xFF000000u];
  QRgb best = 0;
  int most = -1;
  for (const auto& [rgb, n] : counts)
    if (n > most) best = rgb, most = n;
  return QColor::fromRgb(best);
}

// The pixel in the rectangle that stands out most against the background:
// the ink of the text drawn there.
double StrongestContrast(const QImage& image, QRect area, const QColor& background) {
  double best = 1;
  area &= image.rect();
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      best = std::max(best, ContrastRatio(QColor::fromRgb(image.pixel(x, y)), background));
  return best;
}

TEST_F(Theme, DarkIsReportedDrawnAndReadableAndLightComesBackTheSame) {
  const auto r = Run("window 700 800\ntap-tab 1\ndump\ngrab " + Png("light") +
                         "\ntheme dark\ndump\ngrab " + Png("dark") + "\ntheme light\ndump\ngrab " +
                         Png("again") + "\n",
                     {"--desktop"});
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0]["theme"], "light");
  EXPECT_EQ(r[1]["theme"], "dark");
  EXPECT_EQ(r[2]["theme"], "light");
  // The theme changes colours only: the same panes, the same page.
  EXPECT_EQ(r[1]["panes"], r[0]["panes"]);
  EXPECT_EQ(r[1]["title"], r[0]["title"]);
  EXPECT_EQ(r[1]["history"]["entries"].size(), r[0]["history"]["entries"].size());

  const QImage light(QString::fromStdString(Png("light")));
  const QImage dark(QString::fromStdString(Png("dark")));
  const QImage again(QString::fromStdString(Png("again")));
  ASSERT_FALSE(light.isNull());
  ASSERT_EQ(dark.size(), light.size());
  // Back in light, every pixel is as it was before dark was chosen.
  EXPECT_TRUE(again == light) << "light after dark differs from light";

  const json fill = test::FillPane(r[1]);
  ASSERT_FALSE(fill.is_null());
  // The list's area below its title: the background is the page colour,
  // and its text stands out from it.
  const QRect list = Geometry(fill).adjusted(0, 40, 0, 0);
  const QColor darkPage = Commonest(dark, list);
  const QColor lightPage = Commonest(light, list);
  EXPECT_LT(darkPage.lightness(), 60) << darkPage.name().toStdString();
  EXPECT_GT(lightPage.lightness(), 200) << lightPage.name().toStdString();
  EXPECT_GE(StrongestContrast(dark, list, darkPage), 4.5);
  EXPECT_GE(StrongestContrast(light, list, lightPage), 4.5);
  // The command bar at the bottom is dark too.
  const QRect bar(0, dark.height() - 10, dark.width(), 8);
  EXPECT_LT(Commonest(dark, bar).lightness(), 100);
  EXPECT_GT(Commonest(light, bar).lightness(), 150);
}

// Everything made before the switch (the search bar's button and hint, the
// title bars' arrows, the command bar) is drawn again: dark chosen while
// running looks exactly as dark at start-up.
TEST_F(Theme, DarkChosenWhileRunningDrawsAsDarkFromTheStart) {
  const auto switched =
      Run("window 700 800\ntap-tab 0\ntheme dark\ndump\ngrab " + Png("switched") + "\n", {"--desktop"});
  ASSERT_EQ(switched.size(), 1u);
  Run("command 40021\nset theme-dark 1\nanswer ok\n", {"--desktop"});
  const auto fresh =
      Run("window 700 800\ntap-tab 0\ndump\ngrab " + Png("fresh") + "\n", {"--desktop"});
  ASSERT_EQ(fresh.size(), 1u);
  EXPECT_EQ(fresh[0]["theme"], "dark");
  ASSERT_EQ(fresh[0]["panes"], switched[0]["panes"]);
  const QImage a(QString::fromStdString(Png("switched")));
  const QImage b(QString::fromStdString(Png("fresh")));
  ASSERT_FALSE(a.isNull());
  ASSERT_EQ(a.size(), b.size());
  int differ = 0;
  QRect where;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) ++differ, where |= QRect(x, y, 1, 1);
  EXPECT_EQ(differ, 0) << "pixels differ within " << where.x() << "," << where.y() << " "
                       << where.width() << "x" << where.height();
}

// The splash page in a desktop window: the handheld picture in the middle
// of the window, on the theme's page colour.
TEST_F(Theme, TheSplashStandsInTheMiddleOnTheThemesPage) {
  Run("command 40021\nset theme-dark 1\nanswer ok\n", {"--desktop"});
  const test::ProgramRun run = Start({"--desktop"}, "window 700 800\ngrab " + Png("splash") + "\n");
  ASSERT_EQ(run.status, 0) << run.errors;
  const QImage shot(QString::fromStdString(Png("splash")));
  ASSERT_FALSE(shot.isNull());
  const QColor page = platform::DarkColours().page;
  EXPECT_EQ(QColor(shot.pixel(0, 0)), page);
  // The picture: every pixel of the upper half that is not the page.
  QRect picture;
  for (int y = 0; y < shot.height() / 2; ++y)
    for (int x = 0; x < shot.width(); ++x)
      if (QColor(shot.pixel(x, y)) != page) picture |= QRect(x, y, 1, 1);
  ASSERT_FALSE(picture.isEmpty());
  EXPECT_LE(std::abs(picture.left() - (shot.width() - 1 - picture.right())), 1);
  EXPECT_GT(picture.top(), 0);
}

TEST_F(Theme, AFiguresPixelsAreTheSameInBothThemes) {
  const auto r = Run("window 700 800\nnavigate " + Figure() + "\ndump\ngrab " + Png("light") +
                         "\ntheme dark\ngrab " + Png("dark") + "\n",
                     {"--desktop"});
  ASSERT_EQ(r.size(), 1u);
  const json figure = test::PaneWhere(r[0], "kind", "FigureView");
  ASSERT_FALSE(figure.is_null()) << r[0].dump();
  const int iw = figure["image"][0], ih = figure["image"][1];
  ASSERT_GT(iw, 10);
  const QImage light(QString::fromStdString(Png("light")));
  const QImage dark(QString::fromStdString(Png("dark")));
  ASSERT_EQ(dark.size(), light.size());
  // Below the pane's title (grey in light), the pixels the themes agree on
  // are the figure's: their bounds are the figure's size, at the canvas's
  // top-left, and every pixel inside them is the same in both.
  QRect pane = Geometry(figure);
  while (pane.height() > 0 && QColor(light.pixel(pane.right() - 2, pane.top())) == QColor(175, 175, 175))
    pane.setTop(pane.top() + 1);
  ASSERT_GT(pane.top(), Geometry(figure).top()) << "a title above the figure";
  QRect same;
  int differing = 0;
  for (int y = pane.top(); y <= pane.bottom(); ++y)
    for (int x = pane.left(); x <= pane.right(); ++x)
      if (light.pixel(x, y) == dark.pixel(x, y)) same |= QRect(x, y, 1, 1);
      else ++differing;
  EXPECT_GT(differing, 0) << "the pane round the figure is themed";
  ASSERT_FALSE(same.isEmpty());
  EXPECT_EQ(same.topLeft(), pane.topLeft());
  EXPECT_EQ(same.size(), QSize(iw, ih).boundedTo(pane.size()));
  for (int y = same.top(); y <= same.bottom(); ++y)
    for (int x = same.left(); x <= same.right(); ++x)
      ASSERT_EQ(light.pixel(x, y), dark.pixel(x, y)) << x << "," << y;
}

TEST_F(Theme, TheSettingsDialogChoosesItAndTheNextStartKeepsIt) {
  const auto first = Run("command 40021\nset theme-dark 1\nanswer ok\ndump\n", {"--desktop"});
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0]["theme"], "dark");
  EXPECT_NE(RegistryText().find("Theme=dark"), std::string::npos) << RegistryText();
  EXPECT_NE(RegistryText().find("InitialTab=1"), std::string::npos) << "the start tab is kept";
  // A handheld run on the same registry starts dark as well.
  const auto second = Run("dump\n");
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0]["theme"], "dark");
  // OK without touching the theme leaves the stored choice alone.
  const auto third = Run("command 40021\nanswer ok\ndump\n");
  EXPECT_EQ(third[0]["theme"], "dark");
  EXPECT_NE(RegistryText().find("Theme=dark"), std::string::npos);
  const auto back = Run("command 40021\nset theme-light 1\nanswer ok\ndump\n");
  EXPECT_EQ(back[0]["theme"], "light");
  EXPECT_NE(RegistryText().find("Theme=light"), std::string::npos);
}

TEST_F(Theme, AWordThatIsNotAThemeFails) {
  const test::ProgramRun run = Start({"--desktop"}, "dismiss-splash\ntheme purple\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("theme needs light, dark or system"), std::string::npos) << run.errors;
}

// ---- In the test process ----

struct ThemeColours : ::testing::Test {
  void SetUp() override { test::EnsureQtApp(); }
  void TearDown() override { platform::SetThemeChoice(platform::ThemeChoice::kLight); }
};

TEST_F(ThemeColours, EveryTextColourReadsOnItsBackgroundInBothThemes) {
  for (const platform::Colours* c : {&platform::LightColours(), &platform::DarkColours()}) {
    EXPECT_GE(ContrastRatio(c->text, c->page), 4.5);
    EXPECT_GE(ContrastRatio(c->link, c->page), 4.5);
    EXPECT_GE(ContrastRatio(c->richLink, c->page), 4.5);
    EXPECT_GE(ContrastRatio(c->warning, c->page), 4.5);
    EXPECT_GE(ContrastRatio(c->selectedText, c->selected), 4.5);
    EXPECT_GE(ContrastRatio(c->captionText, c->caption), 4.5);
  }
}

TEST_F(ThemeColours, ThePageViewerDrawsWithTheThemesColours) {
  for (const auto choice : {platform::ThemeChoice::kLight, platform::ThemeChoice::kDark}) {
    platform::SetThemeChoice(choice);
    ViewerControl viewer(nullptr);
    const QPalette p = viewer.viewport()->palette();
    const QColor page = p.color(QPalette::Base);
    EXPECT_GE(ContrastRatio(p.color(QPalette::Text), page), 4.5);
    EXPECT_GE(ContrastRatio(p.color(QPalette::Link), page), 4.5);
    // The warning red and the drawn rows' links as the widgets get them.
    EXPECT_GE(ContrastRatio(platform::Themed(QColor(197, 52, 41)), page), 4.5);
    EXPECT_GE(ContrastRatio(platform::Themed(QColor(176, 0, 32)), page), 4.5);
    EXPECT_GE(ContrastRatio(platform::Themed(QColor(0x08, 0x6B, 0xE7)), page), 4.5);
    EXPECT_EQ(page.lightness() < 128, choice == platform::ThemeChoice::kDark);

    // A page rendered: its background and its text's ink, read back.
    viewer.resize(300, 200);
    viewer.ShowHtml(u"<HTML><BODY>Oxygen saturation <B>target</B> 94 to 98%</BODY></HTML>");
    const QImage drawn = viewer.grab().toImage();
    const QColor background = Commonest(drawn, drawn.rect());
    EXPECT_EQ(background.rgb(), page.rgb());
    EXPECT_GE(StrongestContrast(drawn, QRect(0, 0, 280, 40), background), 4.5);

    // Colours a page sets itself: a red warning, black text, a link.
    viewer.ShowHtml(
        u"<HTML><BODY><FONT COLOR='#C53429'>Stop the infusion</FONT> "
        u"<FONT COLOR='black'>now</FONT> <A HREF='12'>see fluids</A></BODY></HTML>");
    int coloured = 0;
    for (QTextBlock block = viewer.document()->begin(); block.isValid(); block = block.next()) {
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat format = it.fragment().charFormat();
        const QColor ink = format.hasProperty(QTextFormat::ForegroundBrush)
                               ? format.foreground().color()
                               : p.color(format.isAnchor() ? QPalette::Link : QPalette::Text);
        EXPECT_GE(ContrastRatio(ink, page), 4.5)
            << it.fragment().text().toStdString() << " " << ink.name().toStdString();
        ++coloured;
      }
    }
    EXPECT_GE(coloured, 3);
  }
}

TEST_F(ThemeColours, LightLeavesEveryColourAsItIsAndDarkTurnsGreysOver) {
  platform::SetThemeChoice(platform::ThemeChoice::kLight);
  for (const QColor c : {QColor(175, 175, 175), QColor(24, 52, 110), QColor(255, 255, 255),
                         QColor(0, 0, 0), QColor(12, 200, 99, 60)})
    EXPECT_EQ(platform::Themed(c), c);
  EXPECT_EQ(platform::ThemedText(QColor(255, 255, 255), QColor(132, 150, 164)),
            QColor(255, 255, 255));
  EXPECT_FALSE(platform::DarkTheme());

  EXPECT_TRUE(platform::SetThemeChoice(platform::ThemeChoice::kDark));
  EXPECT_EQ(platform::Themed(QColor(255, 255, 255)), platform::DarkColours().page);
  EXPECT_EQ(platform::Themed(QColor(0, 0, 0)), platform::DarkColours().text);
  // A lighter grey becomes a darker one, and the other way round.
  EXPECT_LT(platform::Themed(QColor(214, 214, 214)).lightness(),
            platform::Themed(QColor(128, 128, 128)).lightness());
  // A dark colour keeps its hue and reads on the dark page; transparency stays.
  const QColor navy = platform::Themed(QColor(20, 40, 90, 128));
  EXPECT_GE(ContrastRatio(QColor(navy.rgb()), platform::DarkColours().page), 4.5);
  EXPECT_NEAR(navy.hslHue(), QColor(20, 40, 90).hslHue(), 3);
  EXPECT_EQ(navy.alpha(), 128);
  // White text on a slate title stays readable when both are turned dark.
  EXPECT_GE(ContrastRatio(platform::ThemedText(QColor(255, 255, 255), QColor(132, 150, 164)),
                          platform::Themed(QColor(132, 150, 164))),
            4.5);
  EXPECT_GE(ContrastRatio(platform::ThemedText(QColor(0, 0, 0), QColor(175, 175, 175)),
                          platform::Themed(QColor(175, 175, 175))),
            4.5);
}

TEST(ThemeNames, ParseAndNameAgree) {
  for (const auto c : {platform::ThemeChoice::kLight, platform::ThemeChoice::kDark,
                       platform::ThemeChoice::kSystem})
    EXPECT_EQ(platform::ParseThemeChoice(QString::fromLatin1(platform::ThemeChoiceName(c))), c);
  EXPECT_FALSE(platform::ParseThemeChoice(QStringLiteral("Dark")));
  EXPECT_FALSE(platform::ParseThemeChoice(QString()));
}

}  // namespace
}  // namespace vrok
