// Grid tables on screen: the layout arithmetic at two resolutions, what is
// drawn, the scroll bars, links and footnotes in pop-ups, the full-text
// pop-up of a held cell, and the sample book's grids driven as a program.

#include "views/pages/grid_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScrollBar>

#include "content/schema.h"
#include "core/pages/page_text.h"
#include "frame/main_window.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "platform/qt/timer.h"
#include "platform/qt/window_mode.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "widgets/synthetic_input.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using nlohmann::json;
using test::Num;
using test::Str;
using test::WithId;
using test::WithKey;

BookNode Row(std::vector<std::u16string> fields) {
  std::vector<BookNode> cells;
  for (auto& f : fields) cells.push_back(Str(u"field", std::move(f)));
  return Str(u"row", u"", std::move(cells));
}

// FOUR: 4 columns, 3 rows (the second short), a cell linking to its second
// footnote, two footnotes. SMALL: 2 columns that fit the screen, one long
// cell, no footnotes. NOCOLS: rows but no "column count". HUGE: a column
// count no screen could hold. OTHER: a page of
// another type. ABOUT_KESTOR: where command 1111 leads.
Book GridBook() {
  test::EnsureQtApp();
  Book book;
  book.root = WithKey(
      Num(u"root", 0,
          {WithId(Str(u"table", u"Four <B>columns</B>",
                      {Str(u"table type", u"table"), Num(u"column count", 4),
                       Str(u"column name", u"Drug"), Str(u"column name", u"Dose"),
                       Str(u"column name", u"Route"), Str(u"column name", u"Notes"),
                       Row({u"Aspirin", u"300 mg", u"oral", u"chew"}),
                       Row({u"Glucose", u"<A HREF='{{row:fn2}}'>see note</A>"}),
                       Row({u"Oxygen", u"15 L", u"mask", u"titrate"}),
                       WithId(Str(u"footnote", u"First note."), "fn1"),
                       WithId(Str(u"footnote", u"Second note."), "fn2")}),
                  "four"),
           WithId(Str(u"table", u"Small",
                      {Str(u"table type", u"table"), Num(u"column count", 2),
                       Str(u"column name", u"A"), Str(u"column name", u"B"),
                       Row({u"a rather long text that cannot fit one cell", u"2"})}),
                  "small"),
           WithId(Str(u"table", u"Long word",
                      {Str(u"table type", u"table"), Num(u"column count", 2),
                       Str(u"column name", u"Name"), Str(u"column name", u"Note"),
                       Row({u"Hydroxyethylstarch" + std::u16string(60, u'x') + u"end", u"short"})}),
                  "longword"),
           WithId(Str(u"table", u"No columns", {Str(u"table type", u"table"), Row({u"x", u"y"})}),
                  "nocols"),
           WithId(Str(u"table", u"Damaged",
                      {Str(u"table type", u"table"), Num(u"column count", 4000000000u),
                       Str(u"column name", u"A"), Row({u"x"})}),
                  "huge"),
           WithId(Str(u"table", u"OTHER", {Str(u"table type", u"html")}), "other"),
           WithId(Str(u"table", u"ABOUT_KESTOR", {Str(u"table type", u"html")}), "about")}),
      0);
  return book;
}

json GridPane(const json& report) { return test::PaneWhere(report, "kind", "GridControl"); }

using GridTest = test::BookTest<GridBook>;

TEST_F(GridTest, CellsHeaderFirstShortRowsEmptyAndTheSizeAt96Dpi) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  const auto reports = reader.Run("dismiss-splash\nnavigate " + Row("four") + "\ndump\n");
  ASSERT_EQ(reports.size(), 1u);
  const json grid = GridPane(reports[0]);
  ASSERT_FALSE(grid.is_null()) << reports[0].dump();
  EXPECT_EQ(grid["title"], "Four columns");
  // The page's title, as the history records it: the table's text.
  EXPECT_EQ(reports[0]["title"], "Four <B>columns</B>");
  EXPECT_EQ(reports[0]["history"]["entries"].back()["title"], "Four <B>columns</B>");
  EXPECT_EQ(grid["columns"], 4);
  const json rows = json::array({json::array({"Drug", "Dose", "Route", "Notes"}),
                                 json::array({"Aspirin", "300 mg", "oral", "chew"}),
                                 json::array({"Glucose", "see note", "", ""}),
                                 json::array({"Oxygen", "15 L", "mask", "titrate"})});
  EXPECT_EQ(grid["rows"], rows);
  // 4 x (70 + 2 x 3 + 1) + 1, and four rows of the font's height + 2.
  const GridMetrics& m = reader.app->Grids()->Window().Grid().Metrics();
  EXPECT_EQ(grid["size"][0], 309);
  EXPECT_EQ(grid["size"][1], (1 + m.rowHeight) * 4 + 1);
  EXPECT_EQ(m.rowHeight, QtMeasurer().LineHeight(PageFontSpec()) + 2);
  // Wider than the 240-pixel screen, not higher: the horizontal bar alone.
  EXPECT_EQ(grid["bars"], (json{{"horizontal", true}, {"vertical", false}}));
  EXPECT_EQ(grid["scroll"], json::array({0, 0}));
}

TEST_F(GridTest, InADesktopWindowAWordWiderThanItsColumnIsBrokenNotCut) {
  platform::SetDesktopMode(true);
  struct Back {
    ~Back() { platform::SetDesktopMode(false); }
  } back;
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  const auto reports = reader.Run("dismiss-splash\nnavigate " + Row("longword") + "\ndump\n");
  const json grid = GridPane(reports.at(0));
  ASSERT_TRUE(grid.contains("cells")) << grid.dump();
  const std::string word = "Hydroxyethylstarch" + std::string(60, 'x') + "end";
  bool found = false;
  for (const json& cell : grid["cells"]) {
    if (cell["row"] != 1 || cell["column"] != 0) continue;
    found = true;
    std::string joined;
    for (const json& line : cell["lines"]) {
      const std::string text = line.get<std::string>();
      EXPECT_EQ(text.find("\u2026"), std::string::npos) << text;
      EXPECT_EQ(text.find("..."), std::string::npos) << text;
      joined += text;
    }
    // Every character shows, over more than one line.
    EXPECT_EQ(joined, word);
    EXPECT_GT(cell["lines"].size(), 1u);
  }
  EXPECT_TRUE(found) << grid.dump();
}

TEST_F(GridTest, AtHighResolutionTheSameTableScalesByTheFormulas) {
  test::ReaderFixture reader(book);
  platform::ScreenMetrics() = platform::Screen{480, 640, 192, 192};
  ASSERT_TRUE(reader.Start());
  const auto reports = reader.Run("dismiss-splash\nnavigate " + Row("four") + "\ndump\n");
  const json grid = GridPane(reports.at(0));
  // g = 2, p = (208 x 3) / 96 = 6, w = 140: 4 x (140 + 12 + 2) + 2.
  EXPECT_EQ(grid["size"][0], 618);
  const GridMetrics& m = reader.app->Grids()->Window().Grid().Metrics();
  EXPECT_EQ(m.scrollBar, 26);
  EXPECT_EQ(grid["size"][1], (2 + m.rowHeight) * 4 + 2);
  EXPECT_EQ(grid["bars"]["horizontal"], true);
}

TEST_F(GridTest, ATableThatFitsShowsNoBarsAndIsDrawnInItsColours) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  const auto reports = reader.Run("dismiss-splash\nnavigate " + Row("small") + "\ndump\n");
  const json grid = GridPane(reports.at(0));
  EXPECT_EQ(grid["size"][0], 155);
  EXPECT_EQ(grid["bars"], (json{{"horizontal", false}, {"vertical", false}}));
  GridControl& control = reader.app->Grids()->Window().Grid();
  EXPECT_EQ(control.ViewRect().size(), control.size());
  const QImage& bitmap = control.Bitmap();
  EXPECT_GE(bitmap.width(), control.width());
  EXPECT_GE(bitmap.height(), control.height());

  const QRect header = control.CellRect(0, 1);
  const QRect body = control.CellRect(1, 1);
  EXPECT_EQ(bitmap.pixelColor(header.bottomRight()), QColor(0x99, 0xCC, 0xFF));
  EXPECT_EQ(bitmap.pixelColor(body.bottomRight()), QColor(Qt::white));
  const QColor grey(0xC0, 0xC0, 0xC0);
  EXPECT_EQ(bitmap.pixelColor(0, 5), grey);                              // left edge
  EXPECT_EQ(bitmap.pixelColor(header.right() + 1, header.top()), grey);  // between columns
  EXPECT_EQ(bitmap.pixelColor(body.left(), body.top() - 1), grey);       // between rows
  EXPECT_EQ(bitmap.pixelColor(156, 5), QColor(Qt::white));               // beyond the table
  // Text is drawn inside the cells, and a cut text ends inside its cell.
  const auto darkIn = [&](QRect r) {
    int dark = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) dark += qGray(bitmap.pixel(x, y)) < 100;
    return dark;
  };
  EXPECT_GT(darkIn(control.CellRect(1, 0)), 20);
  EXPECT_GT(darkIn(header), 5);
  const QRect firstCell = control.CellRect(1, 0);
  EXPECT_EQ(darkIn(QRect(firstCell.right() - 2, firstCell.top(), 3, firstCell.height())), 0);
}

TEST_F(GridTest, NoColumnCountDrawsAnEmptyGrid) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  const auto reports = reader.Run("dismiss-splash\nnavigate " + Row("nocols") + "\ndump\n");
  const json grid = GridPane(reports.at(0));
  EXPECT_EQ(grid["columns"], 0);
  EXPECT_EQ(grid["rows"], json::array());
  EXPECT_EQ(grid["size"][0], 1);  // just the outer line, by the formula
  EXPECT_EQ(grid["bars"], (json{{"horizontal", false}, {"vertical", false}}));
  const QImage& bitmap = reader.app->Grids()->Window().Grid().Bitmap();
  for (int y = 0; y < bitmap.height(); y += 3)
    for (int x = 0; x < bitmap.width(); x += 3)
      ASSERT_EQ(bitmap.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
}

TEST_F(GridTest, AnAbsurdColumnCountIsDrawnOnlyAsFarAsTheBitmapMayGrow) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  const auto reports = reader.Run("dismiss-splash\nnavigate " + Row("huge") + "\ndump\n");
  const json grid = GridPane(reports.at(0));
  EXPECT_EQ(grid["columns"], 4000000000u);
  EXPECT_EQ(grid["size"][0], std::int64_t{77} * 4000000000 + 1);  // by the formula
  EXPECT_EQ(grid["rows"][0][0], "A");
  EXPECT_EQ(grid["rows"][1][0], "x");
  const QImage& bitmap = reader.app->Grids()->Window().Grid().Bitmap();
  EXPECT_LE(bitmap.width(), GridControl::kMaxBitmapSide);
  EXPECT_LE(std::int64_t{bitmap.width()} * bitmap.height(), GridControl::kMaxBitmapPixels);
  EXPECT_EQ(grid["bars"]["horizontal"], true);
}

TEST_F(GridTest, OnlyRowsOfTablesOfTypeTableAreAccepted) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  GridView& view = *reader.app->Grids();
  EXPECT_FALSE(view.Accept(test::RowOf(book, "other"), nullptr, 0));
  EXPECT_FALSE(view.Accept(100000, nullptr, 0));
  EXPECT_FALSE(view.Accept(reader.app->Database()->RowCount(), nullptr, 0));
}

TEST_F(GridTest, ScrollingMovesTheOffsetWithinTheTable) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  const auto reports = reader.Run("dismiss-splash\nnavigate " + Row("four") +
                                  "\nset 1002 40\ndump\nset 1002 9999\ndump\n");
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(GridPane(reports[0])["scroll"], json::array({40, 0}));
  GridControl& control = reader.app->Grids()->Window().Grid();
  // Never past the right edge: the last column ends at the view's edge.
  EXPECT_EQ(GridPane(reports[1])["scroll"][0], 309 - control.ViewRect().width());
  // What is painted is the bitmap at the offset.
  const QImage shown = control.grab().toImage();
  const int x = 10;
  EXPECT_EQ(shown.pixel(x, 3), control.Bitmap().pixel(x + control.Offset().x(), 3));
}

TEST_F(GridTest, FootnotesCommandShowsThemAllAndOnlyWhenThereAreAny) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  const auto reports =
      reader.Run("dismiss-splash\nnavigate " + Row("four") + "\ncommand 1001\ndump\nanswer ok\n");
  const json& popup = reports.at(0)["popup"];
  EXPECT_EQ(popup["caption"], "Footnotes");
  EXPECT_EQ(
      popup["html"],
      "<HTML><BODY><FONT FACE='PPC_Font2'>First note.<BR>Second note.<BR></FONT></BODY></FONT>");
  int status = 0;
  reader.Run("navigate " + Row("small") + "\ncommand 1001\n", &status);
  EXPECT_EQ(status, 2);  // no footnotes: no button and nothing handles 1001
  EXPECT_TRUE(reader.Dump()["popup"].is_null());
}

TEST_F(GridTest, ALinkToAFootnoteOpensItAtTheTapPointAndANavigationOverTheGrid) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  auto reports = reader.Run("dismiss-splash\nnavigate " + Row("four") + "\ndump\n" + "tap-link " +
                            Row("fn2") + "\ndump\n");
  ASSERT_EQ(reports.size(), 2u);
  GridView& view = *reader.app->Grids();
  const QRect placed = view.Popup().LastPlacement();
  const json& atTap = reports[1]["popup"];
  ASSERT_FALSE(atTap.is_null());
  EXPECT_EQ(reports[1]["page"], test::RowOf(book, "fn2"));
  EXPECT_EQ(atTap["caption"], "Footnote");
  EXPECT_NE(atTap["html"].get<std::string>().find("Second note."), std::string::npos);
  // The link is in cell (2, 1): the pop-up opens at the tap, from that
  // cell's line down (moved left only as far as it must to fit).
  GridControl& control = view.Window().Grid();
  const QRect cell = control.CellRect(2, 1).translated(control.mapTo(reader.app->Main(), QPoint()));
  EXPECT_GE(placed.top(), cell.top());
  EXPECT_LE(placed.top(), cell.bottom());
  EXPECT_LE(placed.left(), cell.right());
  // The grid was not laid out again: same table, same scroll.
  EXPECT_EQ(GridPane(reports[1])["rows"], GridPane(reports[0])["rows"]);

  reports.push_back(reader.Run("answer ok\nnavigate " + Row("fn1") + "\ndump\n").at(0));

  const json& over = reports[2]["popup"];
  ASSERT_FALSE(over.is_null());
  EXPECT_NE(over["html"].get<std::string>().find("First note."), std::string::npos);
  const QRect grid(view.Window().mapTo(reader.app->Main(), QPoint()), view.Window().size());
  EXPECT_LE(std::abs(view.Popup().LastPlacement().center().x() - grid.center().x()), 1);
  EXPECT_LE(std::abs(view.Popup().LastPlacement().center().y() - grid.center().y()), 1);
}

TEST_F(GridTest, HoldingACellShowsItsWholeTextAndAQuickTapDoesNot) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  reader.Run("dismiss-splash\nnavigate " + Row("small") + "\n");
  GridControl& control = reader.app->Grids()->Window().Grid();
  const QPoint at = control.CellRect(1, 0).center();
  Tap(&control, at);
  platform::AdvanceClock(200);
  EXPECT_FALSE(control.PopupShown());

  // The script's hold, at the cell's place on the screen.
  const QPoint onScreen = control.mapTo(reader.app->Screen(), at);
  int status = 0;
  reader.Run("hold " + std::to_string(onScreen.x()) + " " + std::to_string(onScreen.y()) + "\n",
             &status);
  EXPECT_EQ(status, 0);
  ASSERT_TRUE(control.PopupShown());
  EXPECT_EQ(control.PopupText(), "a rather long text that cannot fit one cell");
  const QWidget* popup = control.findChild<QWidget*>("popup");
  EXPECT_TRUE(control.ViewRect().contains(popup->geometry()));
  // The next tap puts it away.
  Tap(&control, at);
  EXPECT_FALSE(control.PopupShown());
}

TEST_F(GridTest, Command1111GoesToTheAboutPage) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  const auto reports =
      reader.Run("dismiss-splash\nnavigate " + Row("four") + "\ncommand 1111\ndump\n");
  EXPECT_EQ(reports.at(0)["page"], test::RowOf(book, "about"));
  EXPECT_TRUE(GridPane(reports.at(0)).is_null());
}

// The sample book's grids, through the reader program.
struct SampleGrid {
  RowIndex table = 0;
  RowIndex footnote = 0;  // its second footnote, linked from a cell cut short
};

std::optional<SampleGrid> FindSampleGrid(const std::u16string& title) {
  ContentDatabase db(VROK_BINARY_DIR "/program/VROK-Vrok");
  for (RowIndex r = 0; r < db.RowCount(); ++r) {
    if (!FieldIs(db, r, u"table") || TextOf(db, r) != title) continue;
    std::vector<NodeRow> notes;
    NodeCursor(db, r).CollectChildren(u"footnote", notes);
    if (notes.size() < 2) return std::nullopt;
    return SampleGrid{r, notes[1].row};
  }
  return std::nullopt;
}

std::vector<json> RunSample(const test::TempDir& dir, const QStringList& screen,
                            const std::string& script) {
  const QString registry = QString::fromStdString(dir.File("registry.ini"));
  const QString binary = QStringLiteral(VROK_BINARY_DIR "/program/vrok");
  const QStringList common{"--folder", QStringLiteral(VROK_BINARY_DIR "/program"), "--registry",
                           registry};
  QProcess install;
  install.start(binary, common + QStringList{"--install"});
  EXPECT_TRUE(install.waitForFinished(60000));
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p.setProcessEnvironment(env);
  p.start(binary, common + screen + QStringList{"--script", "-"});
  EXPECT_TRUE(p.waitForStarted(10000));
  p.write(script.data(), static_cast<qint64>(script.size()));
  p.closeWriteChannel();
  EXPECT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  std::vector<json> reports;
  for (const QByteArray& line : p.readAllStandardOutput().trimmed().split('\n'))
    if (!line.isEmpty()) reports.push_back(json::parse(line.toStdString()));
  return reports;
}

TEST(GridProgramTest, SampleFluidsGridOpensWithItsFootnotesAtBothResolutions) {
  test::EnsureQtApp();
  const auto fluids = FindSampleGrid(u"Intravenous fluids compared");
  ASSERT_TRUE(fluids) << "the sample book has no fluids grid";
  const std::string table = std::to_string(fluids->table);
  const QByteArray shots = qgetenv("VROK_SCREENSHOTS");
  const auto grab = [&](const std::string& name) {
    return shots.isEmpty() ? std::string() : "grab " + shots.toStdString() + "/" + name + "\n";
  };
  test::TempDir dir;
  struct Case {
    const char* name;
    QStringList screen;
    int width;  // of six columns
  };
  for (const Case& c : {Case{"240", {}, 6 * 77 + 1},
                        Case{"480", {"--dpi", "192", "--screen", "480x640"}, 6 * 154 + 2}}) {
    SCOPED_TRACE(c.name);
    const std::string script =
        "dismiss-splash\nnavigate " + table + "\ndump\n" +
        grab(std::string("grid-") + c.name + ".png") + "command 1001\ndump\n" +
        grab(std::string("grid-footnotes-") + c.name + ".png") + "answer ok\nhold-row 2\n" +
        grab(std::string("grid-hold-") + c.name + ".png") + "tap-link " +
        std::to_string(fluids->footnote) + "\ndump\n" +
        grab(std::string("grid-footnote-") + c.name + ".png");
    const auto reports = RunSample(dir, c.screen, script);
    ASSERT_EQ(reports.size(), 3u);
    const json grid = GridPane(reports[0]);
    ASSERT_FALSE(grid.is_null());
    EXPECT_EQ(grid["title"], "Intravenous fluids compared");
    EXPECT_EQ(grid["columns"], 6);
    EXPECT_EQ(grid["rows"].size(), 7u);
    EXPECT_EQ(grid["rows"][0][1], "Na+");
    EXPECT_EQ(grid["size"][0], c.width);
    EXPECT_EQ(grid["bars"]["horizontal"], true);  // wider than the screen
    EXPECT_EQ(reports[1]["popup"]["caption"], "Footnotes");
    EXPECT_NE(reports[1]["popup"]["html"].get<std::string>().find("Hartmann"), std::string::npos);
    // The link is in a cell too narrow to show it: holding the cell shows
    // its whole text, where the link can be tapped.
    EXPECT_EQ(reports[2]["page"], fluids->footnote);
    EXPECT_EQ(reports[2]["popup"]["caption"], "Footnote");
  }
}

}  // namespace
}  // namespace vrok
