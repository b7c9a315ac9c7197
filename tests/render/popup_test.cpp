// The pop-up dialog and the footnote pop-up that sizes and opens it.

#include "frame/popup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "core/pages/page_source.h"
#include "frame/html_pane.h"
#include "frame/viewer_control.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "reader_fixture.h"
#include "widgets/rich_text.h"

namespace vrok {
namespace {

// The emulated screen with the reader's frame below a 26-pixel strip.
struct PopupTest : ::testing::Test {
  std::unique_ptr<QWidget> screen;
  QWidget* frame = nullptr;

  PopupTest() {
    test::EnsureQtApp();
    platform::ScreenMetrics() = platform::Screen{};
    platform::SetAutomated(false);
    screen = std::make_unique<QWidget>();
    screen->resize(240, 320);
    frame = new QWidget(screen.get());
    frame->setGeometry(0, 26, 240, 268);
    screen->show();
  }
  ~PopupTest() override { platform::SetAutomated(true); }

  // Runs f on the dialog once its modal loop is running.
  static void WhenOpen(std::function<void()> f) { QTimer::singleShot(0, std::move(f)); }
};

TEST_F(PopupTest, ALinkTapReturnsItsPageAndKeepsTheAnchorOkReturnsMinusOne) {
  PopupHtmlDialog dialog(frame);
  WhenOpen([&] {
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_EQ(PopupHtmlDialog::Shown(), &dialog);
    EXPECT_TRUE(dialog.Viewer().TapLink(u"http://example.org"));  // inert: stays open
    EXPECT_TRUE(dialog.IsOpen());
    dialog.Viewer().TapLink(u"120#a2");
  });
  EXPECT_EQ(dialog.Show({}, u"Footnote",
                        u"See <A HREF='120#a2'>this</A> and "
                        u"<A HREF='http://example.org'>that</A>."),
            120);
  EXPECT_EQ(dialog.Anchor(), u"a2");
  EXPECT_FALSE(dialog.IsOpen());
  EXPECT_EQ(PopupHtmlDialog::Shown(), nullptr);
  EXPECT_EQ(dialog.Html(),
            u"<HTML><BODY><FONT FACE='PPC_Font2'>See <A HREF='120#a2'>this</A> "
            u"and <A HREF='http://example.org'>that</A>.</FONT></BODY></FONT>");

  WhenOpen([&] { dialog.findChild<QPushButton*>(QStringLiteral("ok"))->click(); });
  EXPECT_EQ(dialog.Show({}, u"", u"Plain text"), -1);
  EXPECT_EQ(dialog.Anchor(), u"a2");  // replaced only by the next link tap
}

TEST_F(PopupTest, ASecondShowWhileOpenReturnsMinusOneAndChangesNothing) {
  PopupHtmlDialog dialog(frame);
  std::int32_t inner = 0;
  WhenOpen([&] {
    inner = dialog.Show(QRect(0, 0, 50, 50), u"Other", u"<A HREF='9'>nine</A>");
    EXPECT_EQ(dialog.Caption(), u"Footnotes");
    EXPECT_EQ(dialog.geometry(), QRect(0, 26, 240, 268));
    dialog.Viewer().TapLink(u"7");
  });
  EXPECT_EQ(dialog.Show({}, u"Footnotes", u"<A HREF='7'>seven</A>"), 7);
  EXPECT_EQ(inner, -1);
}

TEST_F(PopupTest, PlacementCoversTheOwnerOrCentresOnIt) {
  PopupHtmlDialog dialog(frame);
  QRect covered, centred, odd;
  WhenOpen([&] {
    covered = dialog.geometry();
    dialog.accept();
  });
  dialog.Show({}, u"", u"x");
  WhenOpen([&] {
    centred = dialog.geometry();
    nlohmann::json report = dialog.Report();
    EXPECT_EQ(report["geometry"], nlohmann::json::array({70, 120, 100, 80}));
    EXPECT_EQ(report["caption"], "Cap");
    dialog.accept();
  });
  dialog.Show(QRect(5, 5, 100, 80), u"Cap", u"x");
  WhenOpen([&] {
    odd = dialog.geometry();
    dialog.accept();
  });
  dialog.Show(QRect(0, 0, 101, 81), u"", u"x");
  EXPECT_EQ(covered, QRect(0, 26, 240, 268));
  EXPECT_EQ(centred, QRect(70, 120, 100, 80));
  EXPECT_EQ(odd, QRect(69, 119, 101, 81));  // integer halves
}

TEST_F(PopupTest, ThePageBelowGetsNoTapsWhileThePopupIsOpen) {
  struct Sink : LinkSink {
    int taps = 0;
    void OnLink(HtmlPane&, PageId, const std::u16string&) override { ++taps; }
  } sink;
  auto* pane = new HtmlPane(frame, nullptr, &sink);
  pane->setGeometry(0, 0, 240, 268);
  pane->show();
  pane->ShowHtml(u"<A HREF='3'>three three three</A>");
  const QPoint at =
      pane->Viewer().cursorRect(QTextCursor(pane->Viewer().document())).center() + QPoint(8, 0);
  ASSERT_EQ(pane->Viewer().anchorAt(at), QStringLiteral("3"));
  const auto tap = [&] {
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent e(type, QPointF(at), QPointF(at), Qt::LeftButton,
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                    Qt::NoModifier);
      QApplication::sendEvent(pane->Viewer().viewport(), &e);
    }
  };
  PopupHtmlDialog dialog(frame);
  WhenOpen([&] {
    tap();
    dialog.accept();
  });
  dialog.Show(QRect(0, 0, 100, 50), u"", u"x");
  EXPECT_EQ(sink.taps, 0);
  tap();
  EXPECT_EQ(sink.taps, 1);
}

TEST_F(PopupTest, FootnotePopupFitsTheAvailableAreaAndTellsItsListener) {
  FootnotePopup popup(frame);
  // (L + 48) / 96 plus one border off the right and the bottom.
  EXPECT_EQ(popup.AvailableArea(), QRect(0, 0, 238, 266));
  const QRect area = popup.AvailableArea();

  const QRect small =
      popup.PopupRect(u"Short.", QPoint(200, 250), {}, FootnotePopup::Placement::kAtPoint);
  EXPECT_TRUE(area.contains(small)) << small.x() << "," << small.y();
  EXPECT_LT(small.width(), area.width());

  std::u16string longText;
  for (int i = 0; i < 40; ++i) longText += u"word <B>bold</B> ";
  const QRect large = popup.PopupRect(longText, QPoint(0, 0), QRect(0, 0, 240, 268),
                                      FootnotePopup::Placement::kOverWindow);
  EXPECT_TRUE(area.contains(large));
  EXPECT_EQ(large.width(), area.width());
  EXPECT_GT(large.height(), 3 * small.height());

  // Every "<BR>", in either case, starts a line; one at the end does not.
  const QRect oneLine = popup.PopupRect(u"SCORE: 10 text", {}, QRect(0, 0, 240, 268),
                                        FootnotePopup::Placement::kOverWindow);
  const QRect threeLines =
      popup.PopupRect(u"SCORE: 10<BR>text<br>more<BR>", {}, QRect(0, 0, 240, 268),
                      FootnotePopup::Placement::kOverWindow);
  EXPECT_EQ(threeLines.height() - oneLine.height(), 2 * QtMeasurer().LineHeight(PageFontSpec()));

  std::vector<std::pair<PageId, std::u16string>> heard;
  popup.SetListener(
      [&](PageId page, const std::u16string& anchor) { heard.emplace_back(page, anchor); });
  WhenOpen([&] { popup.Dialog().accept(); });
  EXPECT_TRUE(popup.Show(u"Footnote", u"<A HREF='44#n'>x</A>", {}, QRect(0, 0, 240, 268),
                         FootnotePopup::Placement::kOverWindow));
  EXPECT_TRUE(heard.empty());
  WhenOpen([&] { popup.Dialog().Viewer().TapLink(u"44#n"); });
  popup.Show(u"Footnote", u"<A HREF='44#n'>x</A>", {}, QRect(0, 0, 240, 268),
             FootnotePopup::Placement::kOverWindow);
  EXPECT_EQ(heard, (std::vector<std::pair<PageId, std::u16string>>{{44, u"n"}}));
  // The dialog keeps the rectangle's size, centred over the frame.
  EXPECT_EQ(popup.Dialog().size(), popup.LastPlacement().size());

  platform::ScreenMetrics() = platform::Screen{480, 640, 192, 192};
  frame->setGeometry(0, 52, 480, 536);
  EXPECT_EQ(popup.AvailableArea(), QRect(0, 0, 477, 533));
}

}  // namespace
}  // namespace vrok
