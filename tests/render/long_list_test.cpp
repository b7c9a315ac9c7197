// A long list page is shown a first piece at a time: what the user ends up
// with, and everything that needs the whole page, is as if it came at once.

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QScrollBar>
#include <QTextDocument>
#include <memory>

#include "core/pages/page_text.h"
#include "frame/viewer_control.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using nlohmann::json;

constexpr int kLines = 3000;

std::u16string LongList() {
  std::u16string page(skeleton::kPageOpen);
  for (int i = 0; i < kLines; ++i) {
    const std::u16string n = Decimal(static_cast<std::uint32_t>(i));
    page += u"\u2022 <A HREF='" + n + u"'>Item <B>" + n + u"</B></A><BR>";
  }
  page += u"<A NAME='end'></A>The end";
  return page + std::u16string(skeleton::kPageClose);
}

// Two viewers side by side: one taking long pages in pieces, one (the
// reference) always whole.
struct LongListViewer : ::testing::Test {
  void SetUp() override {
    test::EnsureQtApp();
    host = std::make_unique<QWidget>();
    host->resize(480, 294);
    pieces = new ViewerControl(host.get());
    whole = new ViewerControl(host.get());
    pieces->setGeometry(0, 0, 240, 294);
    whole->setGeometry(240, 0, 240, 294);
    whole->SetPieceSizes(0, 0);
    host->show();
    html = LongList();
  }
  void ShowBoth() {
    pieces->ShowHtml(html);
    whole->ShowHtml(html);
    pieces->SetScrollPosition(0);
    whole->SetScrollPosition(0);
  }
  // Lets the event loop append the pieces; false when it never ends.
  bool LoadInTheBackground() {
    for (int i = 0; i < 100000 && pieces->Loading(); ++i) QCoreApplication::processEvents();
    return !pieces->Loading();
  }
  QImage Shot(ViewerControl* v) { return v->viewport()->grab().toImage(); }
  void ExpectTheSame() {
    EXPECT_EQ(pieces->toPlainText(), whole->toPlainText());
    EXPECT_EQ(pieces->document()->documentLayout()->documentSize(),
              whole->document()->documentLayout()->documentSize());
    EXPECT_EQ(pieces->verticalScrollBar()->maximum(), whole->verticalScrollBar()->maximum());
    EXPECT_EQ(pieces->ScrollPosition(), whole->ScrollPosition());
    EXPECT_TRUE(Shot(pieces) == Shot(whole)) << "at " << pieces->ScrollPosition();
  }

  std::unique_ptr<QWidget> host;
  ViewerControl* pieces = nullptr;
  ViewerControl* whole = nullptr;
  std::u16string html;
};

TEST_F(LongListViewer, TheFirstPieceShowsAtOnceAndTheRestArrivesLookingTheSame) {
  ShowBoth();
  ASSERT_TRUE(pieces->Loading());
  EXPECT_FALSE(whole->Loading());
  EXPECT_EQ(pieces->Document(), html);  // the report's document is whole from the start
  EXPECT_LT(pieces->toPlainText().size(), whole->toPlainText().size() / 4);
  EXPECT_TRUE(Shot(pieces) == Shot(whole));  // the first screen is already right
  ASSERT_TRUE(LoadInTheBackground());
  ExpectTheSame();
  EXPECT_EQ(pieces->Links(), whole->Links());
  EXPECT_EQ(pieces->Links().size(), static_cast<std::size_t>(kLines));
  for (const int at : {1000, 40000, whole->verticalScrollBar()->maximum()}) {
    pieces->SetScrollPosition(at);
    whole->SetScrollPosition(at);
    ExpectTheSame();
  }
}

TEST_F(LongListViewer, WhatNeedsTheWholePageGetsItAtOnce) {
  // An anchor near the end.
  ShowBoth();
  pieces->JumpToAnchor(u"end");
  whole->JumpToAnchor(u"end");
  EXPECT_FALSE(pieces->Loading());
  EXPECT_GT(whole->ScrollPosition(), 0);
  ExpectTheSame();

  // The last link, tapped.
  ShowBoth();
  std::vector<std::u16string> tapped;
  pieces->SetLinkListener([&tapped](const std::u16string& href) { tapped.push_back(href); });
  const std::u16string last = Decimal(static_cast<std::uint32_t>(kLines - 1));
  EXPECT_TRUE(pieces->TapLink(last));
  EXPECT_EQ(tapped, std::vector{last});

  // A scroll position beyond what has arrived (Back to a place far down).
  ShowBoth();
  const int far = whole->verticalScrollBar()->maximum() - 100;
  pieces->SetScrollPosition(far);
  whole->SetScrollPosition(far);
  EXPECT_EQ(pieces->ScrollPosition(), far);
  ExpectTheSame();

  // Scrolling to the end of what has arrived brings the rest.
  ShowBoth();
  ASSERT_TRUE(pieces->Loading());
  const int loadedEnd = static_cast<int>(pieces->document()->size().height()) -
                        pieces->viewport()->height();
  QScrollBar* bar = pieces->verticalScrollBar();
  bar->setValue(loadedEnd - 50);  // not yet at the end

  EXPECT_TRUE(pieces->Loading());
  bar->setValue(loadedEnd);
  EXPECT_FALSE(pieces->Loading());
  EXPECT_EQ(bar->value(), loadedEnd);  // the user stays where they were
  EXPECT_EQ(bar->maximum(), whole->verticalScrollBar()->maximum());
}

TEST_F(LongListViewer, ANewPageOrAnEmptyingDropsThePiecesStillWaiting) {
  ShowBoth();
  ASSERT_TRUE(pieces->Loading());
  const std::u16string small = std::u16string(skeleton::kPageOpen) + u"Small page" +
                               std::u16string(skeleton::kPageClose);
  pieces->ShowHtml(small);
  EXPECT_FALSE(pieces->Loading());
  LoadInTheBackground();
  EXPECT_EQ(pieces->toPlainText(), QStringLiteral("Small page"));

  ShowBoth();
  pieces->Clear();
  EXPECT_FALSE(pieces->Loading());
  LoadInTheBackground();
  EXPECT_TRUE(pieces->toPlainText().isEmpty());
}

// A book whose LIST group shows 3,000 linked entries as an html list; the
// last entry alone leads to the record LAST.
Book LongListBook() {
  using test::Num;
  using test::Ref;
  using test::Str;
  using test::WithId;
  std::vector<BookNode> items{Str(u"view mode", u"html list")};
  for (int i = 0; i < kLines; ++i)
    items.push_back(Str(u"hierarchy item", u"Entry " + Decimal(static_cast<std::uint32_t>(i)),
                        {Ref(u"link", i + 1 == kLines ? "last" : "first")}));
  Book book;
  book.root = test::WithKey(
      Num(u"root", 0,
          {WithId(Str(u"table", u"RECORDS",
                      {Str(u"table type", u"html"),
                       WithId(Str(u"html", u"First record."), "first"),
                       WithId(Str(u"html", u"Last record."), "last")}),
                  "records"),
           WithId(Str(u"table", u"CONF",
                      {Str(u"table type", u"configurable tight hierarchy"),
                       WithId(Str(u"hierarchy item", u"Long list", std::move(items)), "list")}),
                  "conf")}),
      0);
  return book;
}

struct LongListReader : test::BookTest<LongListBook> {
  test::ReaderFixture fixture{book};
  std::vector<json> Run(const std::string& script) {
    const test::ProgramRun run = test::RunProgram(
        "vrok", {"--folder", fixture.dir.Path(), "--registry", fixture.registryFile, "--script", "-"},
        "dismiss-splash\n" + script);
    EXPECT_EQ(run.status, 0) << run.errors;
    return run.lines;
  }
};

TEST_F(LongListReader, TheLastEntryIsFoundAndOpensAndTheReportIsTheWholePage) {
  const auto r = Run("navigate " + Row("list") + "\ndump\nkey Ctrl+F\ntype Entry 2999\ndump\n" +
                     "key Escape\ntap-link " + Row("last") + "\ndump\n");
  ASSERT_EQ(r.size(), 3u);
  const json pane = test::FillPane(r[0]);
  ASSERT_FALSE(pane.is_null()) << r[0].dump();
  const std::string page = pane["html"];
  EXPECT_NE(page.find("Entry 0</A><BR>"), std::string::npos);
  EXPECT_NE(page.find("<A HREF='" + Row("last") + "'>Entry 2999</A><BR>"), std::string::npos);
  EXPECT_EQ(pane["scroll"], 0);
  ASSERT_EQ(r[1]["overlays"].size(), 1u) << r[1].dump();
  EXPECT_EQ(r[1]["overlays"][0]["matches"], 1);  // only the last entry, which came last
  EXPECT_EQ(r[2]["page"], R("last"));
}

}  // namespace
}  // namespace vrok
