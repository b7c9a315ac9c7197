// The page host over the desktop viewer: link taps, scrolling, pictures.

#include "frame/html_pane.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextList>
#include <map>

#include "app/reader_app.h"
#include "core/pages/page_source.h"
#include "core/pages/page_text.h"
#include "frame/main_window.h"
#include "frame/viewer_control.h"
#include "platform/qt/environment.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "test_pictures.h"

namespace vrok {
namespace {

std::u16string Page(std::u16string_view body) {
  return std::u16string(skeleton::kPageOpen) + std::u16string(body) +
         std::u16string(skeleton::kPageClose);
}

struct FakeSource : PageSource {
  std::map<std::uint32_t, std::u16string> pages;
  std::map<std::u16string, std::vector<std::uint8_t>> pictures;
  std::vector<std::pair<std::u16string, std::uint32_t>> requests;
  bool wrongCookie = false;

  std::u16string BuildPage(std::uint32_t page) override { return pages[page]; }
  ImageReply SupplyImage(std::u16string_view source, std::uint32_t cookie) override {
    requests.emplace_back(std::u16string(source), cookie);
    ImageReply reply;
    const auto it = pictures.find(std::u16string(source));
    if (it == pictures.end()) return reply;
    reply.cookie = wrongCookie ? kNoPictureCookie : cookie;
    reply.encoded = it->second;
    return reply;
  }
};

struct Tap {
  HtmlPane* pane;
  PageId page;
  std::u16string anchor;
  bool operator==(const Tap&) const = default;
};

struct FakeSink : LinkSink {
  std::vector<Tap> taps;
  int imageRequests = 0;
  void OnLink(HtmlPane& pane, PageId page, const std::u16string& anchor) override {
    taps.push_back({&pane, page, anchor});
  }
  void OnImageRequest(HtmlPane&, std::u16string_view, std::uint32_t) override { ++imageRequests; }
};

struct PaneTest : ::testing::Test {
  FakeSource source;
  FakeSink sink;
  HtmlPane* pane = nullptr;
  std::unique_ptr<QWidget> host;

  PaneTest() {
    test::EnsureQtApp();
    platform::SetAutomated(true);
    host = std::make_unique<QWidget>();
    host->resize(240, 294);
    pane = new HtmlPane(host.get(), &source, &sink);
    pane->setGeometry(0, 0, 240, 294);
    host->show();
  }

  // A real stylus tap (press and release) in the middle of the first
  // fragment that links to href.
  void MouseTap(const QString& href) {
    ViewerControl& v = pane->Viewer();
    QTextCursor cursor(v.document());
    for (QTextBlock b = v.document()->begin(); b.isValid(); b = b.next())
      for (auto it = b.begin(); !it.atEnd(); ++it)
        if (it.fragment().charFormat().anchorHref() == href && cursor.position() == 0)
          cursor.setPosition(it.fragment().position() + 1);
    ASSERT_GT(cursor.position(), 0) << href.toStdString();
    // The middle of the link's first character.
    const QRect after = v.cursorRect(cursor);
    cursor.movePosition(QTextCursor::PreviousCharacter);
    const QPoint at((v.cursorRect(cursor).center().x() + after.center().x()) / 2,
                    after.center().y());
    ASSERT_EQ(v.anchorAt(at), href);
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent e(type, QPointF(at), v.viewport()->mapToGlobal(QPointF(at)), Qt::LeftButton,
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                    Qt::NoModifier);
      QApplication::sendEvent(v.viewport(), &e);
    }
  }
};

TEST_F(PaneTest, LinkTargetsReachTheSinkAsPageAndAnchor) {
  pane->ShowHtml(Page(
      u"<A HREF='120#a2'>a</A> <A HREF='120'>b</A> <A HREF='#top'>c</A> <A HREF='HTTP://x'>d</A> "
      u"<A HREF='http://example.org'>e</A> <A HREF='https://example.org'>f</A> "
      u"<A HREF='81#sec%202'>g</A> <A HREF='99999999999#z'>h</A>"));
  for (const char16_t* href : {u"120#a2", u"120", u"#top", u"HTTP://x", u"http://example.org",
                               u"https://example.org", u"81#sec%202", u"99999999999#z"})
    EXPECT_TRUE(pane->Viewer().TapLink(href));
  EXPECT_EQ(sink.taps, (std::vector<Tap>{{pane, 120, u"a2"},
                                         {pane, 120, u""},
                                         {pane, 0, u"top"},
                                         {pane, 0, u""},
                                         {pane, 81, u"sec%202"},
                                         {pane, 4294967295u, u"z"}}));
  EXPECT_FALSE(pane->Viewer().TapLink(u"121"));

  // A real tap delivers the raw HREF too, percent signs and all.
  sink.taps.clear();
  MouseTap(QStringLiteral("81#sec%202"));
  MouseTap(QStringLiteral("https://example.org"));
  EXPECT_EQ(sink.taps, (std::vector<Tap>{{pane, 81, u"sec%202"}}));
}

TEST_F(PaneTest, TapsAreIgnoredWithoutASinkOrWhenNotInteractiveOrFromAnotherViewer) {
  FakeSink otherSink;
  auto* other = new HtmlPane(host.get(), &source, &otherSink);
  other->setGeometry(0, 0, 240, 100);
  other->show();
  other->ShowHtml(Page(u"<A HREF='5'>five</A>"));
  pane->ShowHtml(Page(u"<A HREF='7'>seven</A>"));
  other->Viewer().TapLink(u"5");
  EXPECT_TRUE(sink.taps.empty());
  EXPECT_EQ(otherSink.taps.size(), 1u);

  pane->SetInteractive(false);
  MouseTap(QStringLiteral("7"));
  EXPECT_TRUE(sink.taps.empty());
  pane->SetInteractive(true);
  pane->SetLinkSink(nullptr);
  pane->Viewer().TapLink(u"7");
  EXPECT_TRUE(sink.taps.empty());
}

TEST_F(PaneTest, ScrollPositionUsesTheTwoCancellingLineScrollsInOrder) {
  std::u16string body;
  for (int i = 0; i < 200; ++i) body += u"Line of the page<BR>";
  pane->ShowHtml(Page(body));
  using S = ViewerControl::LineScroll;
  pane->SetScrollPosition(30);
  EXPECT_EQ(pane->Viewer().LastLineScrolls(), (std::vector<S>{S::kDown, S::kUp}));
  EXPECT_EQ(pane->ScrollPosition(), 30);
  pane->SetScrollPosition(31);
  EXPECT_EQ(pane->Viewer().LastLineScrolls(), (std::vector<S>{S::kUp, S::kDown}));
  EXPECT_EQ(pane->ScrollPosition(), 31);
  // At either end one of the line scrolls is cut off; the position holds.
  const int end = pane->Viewer().verticalScrollBar()->maximum();
  ASSERT_GT(end, 100);
  pane->SetScrollPosition(end);
  EXPECT_EQ(pane->ScrollPosition(), end);
  pane->SetScrollPosition(0);
  EXPECT_EQ(pane->ScrollPosition(), 0);
}

TEST_F(PaneTest, ShowPageBuildsShowsTheExactDocumentAndStartsAtTheTop) {
  std::u16string longBody;
  for (int i = 0; i < 200; ++i) longBody += u"Text<BR>";
  source.pages[4] = Page(longBody + u"<A NAME=\"9\"></A>End");
  source.pages[5] = Page(u"<B>Five</B>");
  pane->ShowPage(4);
  EXPECT_EQ(pane->Document(), source.pages[4]);
  pane->JumpToAnchor(u"9");
  EXPECT_GT(pane->ScrollPosition(), 0);
  pane->ShowPage(5);
  EXPECT_EQ(pane->Document(), source.pages[5]);
  EXPECT_EQ(pane->ScrollPosition(), 0);

  nlohmann::json report;
  pane->Report(report);
  EXPECT_EQ(report["kind"], "HtmlPane");
  EXPECT_EQ(report["html"],
            "<HTML><HEAD></HEAD><BODY><FONT FACE='PPC_Font2'><B>Five</B>"
            "</FONT></BODY></HTML>");
  EXPECT_EQ(report["scroll"], 0);

  pane->SetPageSource(nullptr);
  pane->ShowPage(4);  // nothing without a source
  EXPECT_EQ(pane->Document(), source.pages[5]);
  pane->Clear();
  EXPECT_TRUE(pane->Document().empty());
  EXPECT_TRUE(pane->Viewer().toPlainText().isEmpty());
}

TEST_F(PaneTest, EveryPictureRequestGetsExactlyOneAnswerFromThePageSource) {
  source.pictures[u"1"] = test::EncodedImage(30, 20, Qt::red, "PNG");
  source.pictures[u"2"] = test::EncodedImage(40, 30, Qt::blue, "JPG");
  source.pictures[u"3"] = test::TwoColourGif(24, 10, Qt::green, Qt::white);
  source.pictures[u"4"] = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
  pane->ShowHtml(Page(u"<IMG SRC='1'><IMG SRC='2'><IMG SRC='3'><IMG SRC='4'><IMG SRC='5'>"));
  pane->Viewer().document()->adjustSize();
  ASSERT_EQ(source.requests.size(), 5u);
  std::vector<std::uint32_t> cookies;
  for (const auto& [src, cookie] : source.requests) {
    EXPECT_NE(cookie, kNoPictureCookie);
    for (std::uint32_t seen : cookies) EXPECT_NE(seen, cookie);
    cookies.push_back(cookie);
  }
  EXPECT_EQ(pane->Viewer().ImageRequests(), 5);
  EXPECT_EQ(pane->Viewer().ImagesShown(), 3);  // the undecodable and the missing show nothing
  EXPECT_EQ(sink.imageRequests, 5);

  // An answer that does not carry the request's cookie shows no picture;
  // a pane that is not interactive does not tell its sink.
  source.requests.clear();
  source.wrongCookie = true;
  pane->SetInteractive(false);
  pane->ShowHtml(Page(u"<IMG SRC='1'>"));
  pane->Viewer().document()->adjustSize();
  EXPECT_EQ(source.requests.size(), 1u);
  EXPECT_EQ(pane->Viewer().ImagesShown(), 3);
  EXPECT_EQ(sink.imageRequests, 5);
}

TEST_F(PaneTest, MenuPagesShowAsListsWithOneLinkPerItem) {
  pane->ShowHtml(std::u16string(skeleton::kMenuOpen) +
                 u"<LI><A HREF=5>Five<BR></LI><LI><A HREF=6>Six<BR></LI><LI>Seven<BR></LI>" +
                 std::u16string(skeleton::kMenuClose));
  ViewerControl& v = pane->Viewer();
  EXPECT_EQ(v.Links(), (std::vector<std::u16string>{u"5", u"6"}));
  int listed = 0;
  for (QTextBlock b = v.document()->begin(); b.isValid(); b = b.next())
    if (b.textList() != nullptr && !b.text().trimmed().isEmpty()) ++listed;
  EXPECT_EQ(listed, 3);
  EXPECT_EQ(pane->Document().substr(0, skeleton::kMenuOpen.size()), skeleton::kMenuOpen);
}

// Untrusted page text nested far deeper than any real page: the viewer used
// to take minutes over deep elements and overflowed its stack on a few
// dozen nested tables. The page shows with all its text.
TEST_F(PaneTest, PagesNestedDeeplyShowAllTheirText) {
  std::u16string body;
  for (int i = 0; i < 100000; ++i) body += u"<B>";
  body += u"bold";
  for (int i = 0; i < 100000; ++i) body += u"</B>";
  for (int i = 0; i < 1000; ++i) body += u"<TABLE><TR><TD>";
  body += u"cell";
  for (int i = 0; i < 1000; ++i) body += u"<DIV>";
  body += u"end";
  pane->ShowHtml(Page(body));
  const QString shown = pane->Viewer().document()->toPlainText();
  EXPECT_TRUE(shown.contains(QStringLiteral("bold"))) << shown.left(80).toStdString();
  EXPECT_TRUE(shown.contains(QStringLiteral("cell")));
  EXPECT_TRUE(shown.contains(QStringLiteral("end")));
  EXPECT_EQ(pane->Document(), Page(body));
}

}  // namespace
}  // namespace vrok

namespace vrok {
namespace {

TEST(NavigateToLink, AnAnchorTravelsAsTextAndNoAnchorAsNoData) {
  test::ReaderFixture reader(test::ShellTestBook());
  ASSERT_TRUE(reader.Start());
  reader.Run("dismiss-splash\n");
  MainWindow& main = *reader.app->Main();
  NavigateToLink(main, 1, u"a2");
  EXPECT_EQ(main.CurrentPage(), 1u);
  EXPECT_EQ(main.CurrentData(), (std::vector<std::uint8_t>{'a', 0, '2', 0, 0, 0}));
  NavigateToLink(main, 2, u"");
  EXPECT_EQ(main.CurrentPage(), 2u);
  EXPECT_TRUE(main.CurrentData().empty());
}

}  // namespace
}  // namespace vrok
