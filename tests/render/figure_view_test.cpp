// Figures on screen: the variant chosen, decoding from memory, the note
// pop-up, panning, and record-page pictures, driven as scripts drive them.

#include "views/pages/figure_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScrollBar>

#include "core/pages/record_page.h"
#include "frame/html_pane.h"
#include "frame/picture_loader.h"
#include "frame/viewer_control.h"
#include "platform/qt/environment.h"
#include "platform/qt/image_decoder.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "support/test_books.h"
#include "test_pictures.h"

namespace vrok {
namespace {

using nlohmann::json;
using test::Num;
using test::Str;
using test::WithId;
using test::WithKey;

// FIG: two variants (PNG 480 x 640, JPEG 240 x 320) and a note linking to
// GIF; GIF: one GIF variant of 50 x 40; BAD: bytes that are no picture;
// NONE: an item that does not exist; RECORD: a record page showing FIG.
Book FigureBook() {
  test::EnsureQtApp();
  Book book;
  book.items = {
      MakeImageItem({{480, 640, test::EncodedImage(480, 640, Qt::red, "PNG")},
                     {240, 320, test::EncodedImage(240, 320, Qt::blue, "JPG")}}),
      MakeImageItem({{50, 40, test::TwoColourGif(50, 40, Qt::darkGreen, Qt::yellow)}}),
      MakeImageItem({{240, 320, {'G', 'I', 'F', '8', '9', 'a', 0, 0}}}),
  };
  book.root = WithKey(
      Num(u"root", 0,
          {WithId(Str(u"table", u"FIG",
                      {Str(u"table type", u"figure"), Num(u"data", 0),
                       Str(u"note", u"Compare <A HREF='{{row:gif}}#top'>the small one</A>.")}),
                  "fig"),
           WithId(
               Str(u"table", u"GIF <B>small</B>", {Str(u"table type", u"figure"), Num(u"data", 1)}),
               "gif"),
           WithId(Str(u"table", u"BAD", {Str(u"table type", u"figure"), Num(u"data", 2)}), "bad"),
           WithId(Str(u"table", u"NONE", {Str(u"table type", u"figure"), Num(u"data", 99)}),
                  "none"),
           WithId(Str(u"table", u"RECORD",
                      {Str(u"table type", u"html"), Str(u"field name", u"Picture"),
                       WithId(Str(u"record", u"Rash",
                                  {Str(u"field", u"<IMG SRC='{{row:fig}}'><BR>A red rash.")}),
                              "rash")}),
                  "record")}),
      0);
  return book;
}

json FigurePane(const json& report) { return test::PaneWhere(report, "kind", "FigureView"); }

using FigureTest = test::BookTest<FigureBook>;

TEST_F(FigureTest, TheVariantOfTheScreenIsDecodedAndReported) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  const auto reports =
      reader.Run("dismiss-splash\nnavigate " + Row("fig") + "\ndump\nnavigate " + Row("gif") +
                 "\ndump\nnavigate " + Row("bad") + "\ndump\nnavigate " + Row("none") + "\ndump\n");
  ASSERT_EQ(reports.size(), 4u);
  const json fig = FigurePane(reports[0]);
  EXPECT_EQ(fig["title"], "FIG");
  EXPECT_EQ(fig["variant"], 1);
  EXPECT_EQ(fig["image"], json::array({240, 320}));
  EXPECT_EQ(fig["note"], "Compare <A HREF='" + Row("gif") + "#top'>the small one</A>.");
  const json gif = FigurePane(reports[1]);
  EXPECT_EQ(gif["title"], "GIF small");  // plain text
  EXPECT_EQ(reports[1]["history"]["entries"].back()["title"], "GIF small");
  EXPECT_EQ(gif["variant"], 0);
  EXPECT_EQ(gif["image"], json::array({50, 40}));
  EXPECT_EQ(gif["note"], "");
  EXPECT_EQ(FigurePane(reports[2])["image"], json::array({0, 0}));
  EXPECT_EQ(FigurePane(reports[2])["variant"], 0);
  EXPECT_EQ(FigurePane(reports[3])["image"], json::array({0, 0}));
  EXPECT_TRUE(FigurePane(reports[3])["variant"].is_null());
  // The note button shows only with a note: a figure without one has no
  // control for command 1001.
  int status = 0;
  reader.Run("command 1001\n", &status);
  EXPECT_EQ(status, 2);
  // Other tables are not the figure view's.
  EXPECT_FALSE(reader.app->Figures()->Accept(test::RowOf(book, "record"), nullptr, 0));
  EXPECT_FALSE(reader.app->Figures()->Accept(100000, nullptr, 0));
}

TEST_F(FigureTest, HighResolutionScreensGetTheLargeVariant) {
  test::ReaderFixture reader(book);
  platform::ScreenMetrics() = platform::Screen{480, 640, 192, 192};
  ASSERT_TRUE(reader.Start());
  const auto reports = reader.Run("dismiss-splash\nnavigate " + Row("fig") + "\ndump\n");
  EXPECT_EQ(FigurePane(reports.at(0))["variant"], 0);
  EXPECT_EQ(FigurePane(reports.at(0))["image"], json::array({480, 640}));
}

TEST_F(FigureTest, TheNoteOpensInAPopupWhoseLinksNavigate) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  const auto reports = reader.Run(
      "dismiss-splash\nnavigate " + Row("fig") + "\ndump\ncommand 1001\ndump\n" + "tap-link " +
      Row("gif") + "#top\ndump\nnavigate " + Row("fig") + "\ncommand 1001\nanswer ok\ndump\n");
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_TRUE(reports[0]["popup"].is_null());
  const json& popup = reports[1]["popup"];
  EXPECT_EQ(popup["caption"], "");
  EXPECT_EQ(popup["html"], "<HTML><BODY><FONT FACE='PPC_Font2'>Compare <A HREF='" + Row("gif") +
                               "#top'>the small one</A>.</FONT></BODY></FONT>");
  const json frame = reports[1]["panes"][1]["geometry"];
  const json g = popup["geometry"];
  EXPECT_GE(g[0].get<int>(), 0);
  EXPECT_LE(g[0].get<int>() + g[2].get<int>(), 240);
  EXPECT_GT(g[3].get<int>(), 20);
  // The link tapped in the pop-up leads to the other figure, anchor and all.
  EXPECT_TRUE(reports[2]["popup"].is_null());
  EXPECT_EQ(reports[2]["page"], test::RowOf(book, "gif"));
  EXPECT_EQ(reports[2]["page_data"], "74006f0070000000");  // "top" as UTF-16 with its terminator
  // OK closes it and nothing else happens.
  EXPECT_TRUE(reports[3]["popup"].is_null());
  EXPECT_EQ(reports[3]["page"], test::RowOf(book, "fig"));
}

TEST_F(FigureTest, DraggingPansThePictureWithinItsBounds) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  reader.Run("dismiss-splash\nnavigate " + Row("fig") + "\n");
  ImageCanvas& canvas = reader.app->Figures()->Window().Canvas();
  ASSERT_TRUE(canvas.isVisible());
  ASSERT_LT(canvas.viewport()->height(), 320);
  const auto drag = [&](QPoint from, QPoint to) {
    QWidget* v = canvas.viewport();
    QMouseEvent press(QEvent::MouseButtonPress, from, v->mapToGlobal(from), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, to, v->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, to, v->mapToGlobal(to), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(v, &press);
    QApplication::sendEvent(v, &move);
    QApplication::sendEvent(v, &release);
  };
  drag(QPoint(50, 100), QPoint(50, 60));  // the picture moves up with the stylus
  EXPECT_EQ(canvas.Offset(), QPoint(0, 40));
  drag(QPoint(50, 10), QPoint(50, 300));  // never past its top
  EXPECT_EQ(canvas.Offset(), QPoint(0, 0));
  drag(QPoint(50, 300), QPoint(50, 0));  // nor past its bottom
  EXPECT_EQ(canvas.Offset().y(), 320 - canvas.viewport()->height());
  EXPECT_EQ(canvas.Offset().y(), canvas.verticalScrollBar()->maximum());
}

TEST_F(FigureTest, RecordPagePicturesAreDecodedFromTheFigure) {
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  RecordPage page(*reader.app->Database(), EmulatedScreen());
  QWidget host;
  host.resize(240, 294);
  auto* pane = new HtmlPane(&host, &page);
  pane->setGeometry(host.rect());
  host.show();
  pane->ShowPage(test::RowOf(book, "rash"));
  pane->Viewer().document()->adjustSize();
  EXPECT_EQ(pane->Viewer().ImageRequests(), 1);
  EXPECT_EQ(pane->Viewer().ImagesShown(), 1);
  EXPECT_GE(pane->Viewer().document()->size().height(), 320);
  // What a person sees: the picture (blue, the small variant) and the text.
  const QImage shot = host.grab().toImage();
  if (const QByteArray dir = qgetenv("VROK_SCREENSHOTS"); !dir.isEmpty())
    shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/record-page.png"));
  int blue = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      const QColor c = shot.pixelColor(x, y);  // JPEG: nearly pure blue
      blue += c.blue() > 200 && c.red() < 40 && c.green() < 40;
    }
  EXPECT_GT(blue, 100 * 100);
}

// The reader as a program, on the figure book.
TEST_F(FigureTest, ScriptsOpenAFigureItsNoteAndFollowTheNotesLink) {
  test::TempDir dir;
  test::WriteTestBook(book, dir);
  const QString registry = QString::fromStdString(dir.File("registry.ini"));
  const QString binary = QStringLiteral(VROK_BINARY_DIR "/program/vrok");
  const QStringList common{"--folder", QString::fromStdString(dir.Path()), "--registry", registry};
  QProcess install;
  install.start(binary, common + QStringList{"--install"});
  ASSERT_TRUE(install.waitForFinished(60000));
  ASSERT_EQ(install.exitCode(), 0);

  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p.setProcessEnvironment(env);
  p.start(binary, common + QStringList{"--script", "-"});
  ASSERT_TRUE(p.waitForStarted(10000));
  const std::string script = "dismiss-splash\nnavigate " + Row("fig") + "\ncommand 1001\ndump\n" +
                             "tap-link " + Row("gif") + "#top\ndump\n";
  p.write(script.data(), static_cast<qint64>(script.size()));
  p.closeWriteChannel();
  ASSERT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
  ASSERT_EQ(lines.size(), 2);
  const json open = json::parse(lines[0].toStdString());
  const json after = json::parse(lines[1].toStdString());
  EXPECT_EQ(FigurePane(open)["variant"], 1);
  EXPECT_NE(open["popup"]["html"].get<std::string>().find("the small one"), std::string::npos);
  EXPECT_TRUE(after["popup"].is_null());
  EXPECT_EQ(after["page"], test::RowOf(book, "gif"));
  EXPECT_EQ(FigurePane(after)["image"], json::array({50, 40}));
}

TEST(DecodeImage, EachFormatIsReadByItsOwnDecoder) {
  test::EnsureQtApp();
  // A PNG is read without loading any image plugin. (Each test runs in a
  // process of its own, but one run with others may find them loaded.) The
  // bytes are written out here: Qt's own PNG writer loads the plugins.
  const std::vector<std::uint8_t> pngBytes{
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44,
      0x52, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0x12,
      0x16, 0xF1, 0x4D, 0x00, 0x00, 0x00, 0x10, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0xF8,
      0xCF, 0xC0, 0x00, 0x41, 0x0C, 0x70, 0x16, 0x00, 0x41, 0xD2, 0x05, 0xFB, 0x6F, 0xF1, 0x16,
      0xC7, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};  // 3 x 2, red
  const std::set<std::string> before = test::LoadedImagePlugins();
  const QImage png = platform::DecodeImage(pngBytes);
  EXPECT_EQ(test::LoadedImagePlugins(), before);
  ASSERT_EQ(png.size(), QSize(3, 2));
  EXPECT_EQ(png.pixelColor(2, 1), QColor(Qt::red));

  const QImage bmp = platform::DecodeImage(test::EncodedImage(5, 3, Qt::blue, "BMP"));
  ASSERT_EQ(bmp.size(), QSize(5, 3));
  EXPECT_EQ(bmp.pixelColor(0, 0), QColor(Qt::blue));
  const QImage gif = platform::DecodeImage(test::TwoColourGif(8, 2, Qt::darkGreen, Qt::yellow));
  ASSERT_EQ(gif.size(), QSize(8, 2));
  EXPECT_EQ(gif.pixelColor(7, 1), QColor(Qt::yellow));
  const QImage jpeg = platform::DecodeImage(test::EncodedImage(16, 8, Qt::white, "JPG"));
  EXPECT_EQ(jpeg.size(), QSize(16, 8));

  // Bytes of no known signature are still recognised from their contents,
  // and a body that does not match its signature is still no picture.
  std::vector<std::uint8_t> ico = test::EncodedImage(4, 4, Qt::green, "ICO");
  EXPECT_EQ(platform::DecodeImage(ico).size(), QSize(4, 4));
  std::vector<std::uint8_t> broken = pngBytes;
  broken.resize(40);
  EXPECT_TRUE(platform::DecodeImage(broken).isNull());
}

}  // namespace
}  // namespace vrok
