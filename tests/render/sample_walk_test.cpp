// Reads the sample book the way a person does: from the three tab pages,
// every link and every list row of every page on screen is tapped, and
// whatever it leads to must be shown by some view (or open a pop-up over
// the page).

#include <gtest/gtest.h>

#include <deque>
#include <regex>
#include <set>

#include "content/node_cursor.h"
#include "content/schema.h"
#include "content/utf8.h"
#include "core/navigation/page_names.h"
#include "core/pages/markup.h"
#include "core/pages/page_text.h"
#include "frame/html_pane.h"
#include "frame/main_window.h"
#include "reader_fixture.h"

namespace vrok {
namespace {

using nlohmann::json;

std::u16string TableTypeOf(const ContentDatabase& db, RowIndex row) {
  const RowIndex table = HasChild(db, row, names::kTableType) ? row : TableRowOf(db, row);
  return ChildTextOf(NodeCursor(db, table), names::kTableType);
}

bool PageShown(const json& report) { return !test::FillPane(report).is_null(); }

std::vector<std::string> LinksIn(const json& report) {
  static const std::regex href(R"re(HREF\s*=\s*['"]?([^'" >]+))re", std::regex::icase);
  std::vector<std::string> links;
  for (const json& pane : report["panes"]) {
    if (!pane.contains("html")) continue;
    const std::string html = pane["html"];
    for (auto it = std::sregex_iterator(html.begin(), html.end(), href);
         it != std::sregex_iterator(); ++it)
      links.push_back((*it)[1]);
  }
  return links;
}

// Where the rows below a page not shown yet lead: its items' targets and
// "link" values.
TEST(SampleWalk, EveryLinkLeadsToAPageAViewShows) {
  test::ReaderFixture reader(test::ReaderFixture::CompiledBook{VROK_PROGRAM_DIR});
  ASSERT_TRUE(reader.Start());
  reader.Run("dismiss-splash");
  const ContentDatabase& db = *reader.app->Database();
  MainWindow& main = *reader.app->Main();

  struct Visit {
    PageId page;
    std::u16string anchor;
  };
  std::deque<Visit> queue;
  std::set<PageId> seen;
  for (std::u16string_view tab : {pages::kIndex, pages::kContents, pages::kTools}) {
    const PageId p = reader.app->Names()[tab];
    if (seen.insert(p).second) queue.push_back({p, u""});
  }

  std::vector<std::string> failures;
  int shown = 0, links = 0, popups = 0;
  std::set<std::string> fills;  // the panes that filled a page
  while (!queue.empty()) {
    const Visit v = queue.front();
    queue.pop_front();
    NavigateToLink(main, v.page, v.anchor);
    const json report = reader.Dump();
    if (!PageShown(report)) {
      failures.push_back("page " + std::to_string(v.page) + " (" + ToUtf8(TableTypeOf(db, v.page)) +
                         ", \"" + ToUtf8(PlainTextOf(TextOf(db, v.page))) +
                         "\") is shown by no view");
      continue;
    }
    ++shown;
    fills.insert(test::FillPane(report)["name"].get<std::string>());
    // Every link of the page's HTML and every row of its lists, each tapped
    // on the page freshly shown.
    std::vector<std::string> taps;
    for (const std::string& href : LinksIn(report))
      if (href.rfind("http", 0) != 0) taps.push_back("tap-link " + href);
    for (const json& pane : report["panes"])
      if (pane["kind"] == "ListHost")
        for (std::size_t i = 0; i < pane["rows"].size(); ++i)
          taps.push_back("tap-row " + std::to_string(i));
    for (const std::string& tap : taps) {
      ++links;
      NavigateToLink(main, v.page, v.anchor);
      int status = 0;
      const json after = reader.Run(tap + "\ndump", &status).back();
      if (status != 0) {
        failures.push_back("page " + std::to_string(v.page) + ": cannot " + tap);
        continue;
      }
      if (!after["popup"].is_null()) {
        ++popups;
        reader.Run("answer ok");
        continue;
      }
      const PageId target = after["page"];
      if (!PageShown(after)) {
        failures.push_back("page " + std::to_string(v.page) + ": " + tap + " leads to page " +
                           std::to_string(target) + " (" + ToUtf8(TableTypeOf(db, target)) +
                           "), shown by no view");
        continue;
      }
      if (seen.insert(target).second) {
        std::u16string anchor;
        if (const auto hash = tap.find('#'); hash != std::string::npos)
          for (char ch : tap.substr(hash + 1)) anchor.push_back(static_cast<char16_t>(ch));
        queue.push_back({target, anchor});
      }
    }
  }

  std::string summary = "shown " + std::to_string(shown) + " pages, tapped " +
                        std::to_string(links) + " links and rows (" + std::to_string(popups) +
                        " pop-ups)";
  std::cout << "[ walk    ] " << summary << "\n";
  EXPECT_GT(shown, 0) << summary;
  for (const char* view : {"hierarchy", "index-list", "menu-index", "field-index", "grid-window",
                           "figure", "tree", "split", "flow-chart", "questionnaire"})
    EXPECT_EQ(fills.count(view), 1u) << "no page of " << view << " was met: " << summary;
  for (const std::string& f : failures) ADD_FAILURE() << f;
}

}  // namespace
}  // namespace vrok
