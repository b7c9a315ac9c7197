// Navigation through the real main window: the queue, panes, overlays, the
// input panel and what the shell view records.

#include <gtest/gtest.h>

#include <QWidget>
#include <functional>

#include "app/tab_bar.h"
#include "frame/main_window.h"
#include "platform/qt/screen_window.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "widgets/picture_button.h"

namespace vrok {
namespace {

using nlohmann::json;
using test::ReaderFixture;
using test::RowOf;

// A view for the tests: accepts the pages its predicate names and runs a
// hook in Accept; logs "accept N" and "show N".
struct ProbeView : PageView {
  MainWindow& main;
  std::vector<std::string>& log;
  std::function<bool(PageId)> accepts;
  std::function<void(PageId)> onAccept;
  PageId last = 0;
  ProbeView(MainWindow& m, std::vector<std::string>& l, std::function<bool(PageId)> a)
      : main(m), log(l), accepts(std::move(a)) {}
  bool Accept(PageId page, const std::uint8_t*, std::uint32_t) override {
    if (!accepts(page)) return false;
    log.push_back("accept " + std::to_string(page));
    last = page;
    if (onAccept) onAccept(page);
    return true;
  }
  void Show() override { log.push_back("show " + std::to_string(last)); }
};

struct NavigateTest : ::testing::Test {
  Book book = test::ShellTestBook();
  ReaderFixture f{book, 1};
  std::vector<std::string> log;
  void SetUp() override {
    ASSERT_TRUE(f.Start());
    f.Run("dismiss-splash\n");
  }
  MainWindow& Main() { return *f.app->Main(); }
  QWidget* Pane(int w, int h, const char* name) {
    auto* pane = new QWidget(&Main());
    pane->setObjectName(name);
    pane->resize(w, h);
    pane->hide();
    return pane;
  }
};

TEST_F(NavigateTest, RequestsFromInsideAcceptRunAfterThePageIsShownInOrder) {
  ProbeView probe(Main(), log, [](PageId p) { return p >= 900 && p < 910; });
  probe.onAccept = [&](PageId p) {
    if (p != 900) return;
    Main().Navigate(901, nullptr, 0, true);
    Main().Navigate(902, nullptr, 0, true);
    Main().Navigate(903, nullptr, 0, true);
    log.push_back("requested");
  };
  Main().RegisterView(&probe);
  Main().Navigate(900, nullptr, 0, true);
  EXPECT_EQ(log, (std::vector<std::string>{"accept 900", "requested", "show 900", "accept 901",
                                           "show 901", "accept 902", "show 902", "accept 903",
                                           "show 903"}));
  EXPECT_EQ(Main().CurrentPage(), 903u);
}

TEST_F(NavigateTest, QueuedDataIsCopiedAndDelivered) {
  std::vector<std::uint8_t> seen;
  struct DataView : PageView {
    std::vector<std::uint8_t>* seen;
    MainWindow* main;
    bool Accept(PageId p, const std::uint8_t* d, std::uint32_t n) override {
      if (p == 900) {
        std::uint8_t block[] = {7, 8};
        main->Navigate(901, block, 2, true);
        block[0] = 0;  // the queue keeps its own copy
      }
      if (p == 901) seen->assign(d, d + n);
      return p >= 900;
    }
    void Show() override {}
  } view;
  view.seen = &seen;
  view.main = &Main();
  Main().RegisterView(&view);
  Main().Navigate(900, nullptr, 0, true);
  EXPECT_EQ(seen, (std::vector<std::uint8_t>{7, 8}));
  EXPECT_EQ(Main().CurrentData(), (std::vector<std::uint8_t>{7, 8}));
}

TEST_F(NavigateTest, LeftPaneAndTopPaneAndTheLastFillPane) {
  QWidget* left = Pane(40, 10, "left");
  QWidget* fillA = Pane(1, 1, "fillA");
  QWidget* fillB = Pane(1, 1, "fillB");
  ProbeView a(Main(), log, [](PageId p) { return p == 900; });
  a.onAccept = [&](PageId) {
    Main().AddPane(0, kSideLeft, left);
    Main().AddPane(0, kSideFill, fillA);
  };
  ProbeView b(Main(), log, [](PageId p) { return p == 900; });
  b.onAccept = [&](PageId) { Main().AddPane(0, kSideFill, fillB); };
  Main().RegisterView(&a);
  Main().RegisterView(&b);
  Main().Navigate(900, nullptr, 0, true);
  // The tab strip (a top pane) was added before the left pane.
  const json r = f.Dump();
  ASSERT_EQ(r["panes"].size(), 4u) << r.dump();
  EXPECT_EQ(r["panes"][0]["name"], "tab-strip");
  EXPECT_EQ(r["panes"][0]["geometry"], json::array({0, 0, 240, 22}));
  EXPECT_EQ(left->geometry(), QRect(0, 22, 40, 246));
  EXPECT_EQ(fillB->geometry(), QRect(40, 22, 200, 246));
  EXPECT_TRUE(fillB->isVisible());
  // Replaced by the later fill pane: shown with the page but never moved.
  EXPECT_EQ(fillA->geometry(), QRect(0, 0, 1, 1));
}

// A navigation draws again only the tabs whose state it changes: what it
// leaves is what drawing every tab anew gives, in both themes, from each tab
// and from none.
TEST_F(NavigateTest, TabsANavigationLeavesAreTheTabsDrawnAnew) {
  TabBar& tabs = *f.app->Tabs();
  const auto pictures = [&] {
    std::vector<QImage> images;
    for (int i = 0; i < 3; ++i) images.push_back(tabs.Button(i)->Picture().toImage());
    return images;
  };
  const auto expectAsDrawnAnew = [&](const std::string& label) {
    const auto shown = pictures();
    tabs.Select(tabs.Selected());
    EXPECT_EQ(shown, pictures()) << label;
  };
  for (const std::string theme : {"light", "dark"}) {
    f.Run("theme " + theme + "\n");
    for (const int tab : {0, 1, 1, 2, 0}) {
      f.Run("tap-tab " + std::to_string(tab) + "\n");
      ASSERT_EQ(tabs.Selected(), tab) << theme;
      expectAsDrawnAnew(theme + ", tab " + std::to_string(tab));
    }
    // A page of no tab, then a tab again.
    Main().Navigate(900, nullptr, 0, true);
    ASSERT_EQ(tabs.Selected(), -1) << theme;
    expectAsDrawnAnew(theme + ", no tab");
    f.Run("tap-tab 2\n");
    expectAsDrawnAnew(theme + ", tab 2 after none");
  }
}

TEST_F(NavigateTest, TopPaneAfterALeftPaneStartsAtItsRightEdge) {
  QWidget* left = Pane(40, 10, "left");
  QWidget* top = Pane(10, 30, "top");
  ProbeView a(Main(), log, [](PageId p) { return p == 900; });
  a.onAccept = [&](PageId) {
    Main().AddPane(-1, kSideLeft, left);
    Main().AddPane(0, kSideTop, top);
  };
  Main().RegisterView(&a);
  Main().Navigate(900, nullptr, 0, true);
  // The left pane's key puts it first; the tab strip and this pane follow.
  EXPECT_EQ(left->geometry(), QRect(0, 0, 40, 268));
  EXPECT_EQ(f.app->Main()->PagePanes()[1].window->geometry(), QRect(40, 0, 200, 22));
  EXPECT_EQ(top->geometry(), QRect(40, 22, 200, 30));
}

TEST_F(NavigateTest, OverlayLeavesThePageAndClosingHidesIt) {
  QWidget* page = Pane(1, 1, "page");
  QWidget* list = Pane(1, 1, "list");
  ProbeView v(Main(), log, [](PageId p) { return p == 900 || p == 901; });
  v.onAccept = [&](PageId p) {
    if (p == 900) Main().AddPane(0, kSideFill, page);
    if (p == 901) Main().AddOverlay(0, kSideFill, list);
  };
  Main().RegisterView(&v);
  Main().Navigate(900, nullptr, 0, true);
  Main().KeepPanes();
  Main().Navigate(901, nullptr, 0, true);
  json r = f.Dump();
  ASSERT_EQ(r["overlays"].size(), 1u);
  EXPECT_EQ(r["overlays"][0]["geometry"], json::array({0, 0, 240, 268}));
  EXPECT_TRUE(page->isVisible());
  EXPECT_TRUE(list->isVisible());
  Main().CloseOverlays();
  EXPECT_FALSE(list->isVisible());
  EXPECT_TRUE(page->isVisible());
  EXPECT_TRUE(f.Dump()["overlays"].empty());
}

TEST_F(NavigateTest, PagesNoViewRendersStillBecomeCurrent) {
  f.Run("navigate 777\n");
  const json r = f.Dump();
  EXPECT_EQ(r["page"], 777);
  // Only the tab strip: no view renders row 777, which is not in the book.
  ASSERT_EQ(r["panes"].size(), 1u);
  EXPECT_EQ(r["tab"], -1);
}

TEST_F(NavigateTest, InputPanelResizesTheFrameAndRelaysThePanes) {
  QWidget* fill = Pane(1, 1, "fill");
  ProbeView v(Main(), log, [](PageId p) { return p == 900; });
  v.onAccept = [&](PageId) { Main().AddPane(0, kSideFill, fill); };
  Main().RegisterView(&v);
  Main().Navigate(900, nullptr, 0, true);
  EXPECT_EQ(Main().geometry(), QRect(0, 26, 240, 268));
  EXPECT_EQ(fill->geometry(), QRect(0, 22, 240, 246));

  f.app->Screen()->SetInputPanel(true);
  EXPECT_TRUE(Main().KeyboardUp());
  EXPECT_EQ(Main().geometry(), f.app->Screen()->VisibleDesktop());
  EXPECT_EQ(Main().height(), 320 - 26 - 80 - 26);
  EXPECT_EQ(fill->geometry(), QRect(0, 22, 240, Main().height() - 22));

  // A navigation that hides the keyboard closes the panel.
  Main().Navigate(900, nullptr, 0, true);
  EXPECT_FALSE(Main().KeyboardUp());
  EXPECT_EQ(Main().geometry(), QRect(0, 26, 240, 268));
  EXPECT_EQ(fill->geometry(), QRect(0, 22, 240, 246));
  // Without the hide flag the panel stays.
  f.app->Screen()->SetInputPanel(true);
  Main().Navigate(900, nullptr, 0, false);
  EXPECT_TRUE(Main().KeyboardUp());
}

TEST_F(NavigateTest, SplashOverlaysAndFootnoteRowsAreNotRecorded) {
  const PageId fn = RowOf(book, "fn");
  const PageId asthma = RowOf(book, "asthma");
  f.Run("navigate " + std::to_string(asthma) + "\nnavigate " + std::to_string(fn) +
        "\nnavigate splash\nnavigate bookmarks\nnavigate add_bookmark\n");
  const auto& entries = f.app->History().Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].page, RowOf(book, "contents"));
  EXPECT_EQ(entries[1].page, asthma);
  // The footnote row counts as an overlay: Back returns to the page under it.
  EXPECT_TRUE(f.app->History().CanGoBack());
}

TEST_F(NavigateTest, BackFromAFootnoteReshowsThePageUnderIt) {
  const PageId asthma = RowOf(book, "asthma");
  f.Run("navigate " + std::to_string(asthma) + "\nnavigate " + std::to_string(RowOf(book, "fn")) +
        "\ncommand 40006\n");
  EXPECT_EQ(Main().CurrentPage(), asthma);
  EXPECT_EQ(f.app->History().CurrentPosition(), 1);
}

}  // namespace
}  // namespace vrok
