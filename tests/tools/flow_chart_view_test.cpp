// Flow charts on screen: walking a chart inside its pane without
// navigating, links that leave it, Start, the two panes used in turn, and
// a chart opened at one of its questions.

#include "views/tools/flow_chart_view.h"

#include <gtest/gtest.h>

#include "core/pages/page_text.h"
#include "platform/qt/environment.h"
#include "reader_fixture.h"
#include "shell_books.h"

namespace vrok {
namespace {

using nlohmann::json;
using namespace test;

// CHART: Q1 with answers to Q2, to two results (the first linking to
// OTHER) and to nowhere; its "table type" sorts after the questions.
// SHORT: one question with one result.
Book ChartBook() {
  EnsureQtApp();
  Book b;
  b.root = WithKey(
      Num(u"root", 0,
          {WithId(
               Str(u"table", u"CHART",
                   {WithId(
                        Str(u"question", u"Q1?",
                            {WithId(Str(u"answer", u"to Q2", {Ref(u"next question", "q2")}), "a1"),
                             WithId(Str(u"answer", u"to results",
                                        {WithId(Str(u"result",
                                                    u"R1, see <A HREF='{{row:other}}'>other</A>"),
                                                "r1"),
                                         WithId(Str(u"result", u"R2"), "r2")}),
                                    "a2"),
                             WithId(Str(u"answer", u"nowhere"), "a3")}),
                        "q1"),
                    WithId(Str(u"question", u"Q2?",
                               {WithId(Str(u"answer", u"done", {Str(u"result", u"R3")}), "a4")}),
                           "q2"),
                    Str(u"table type", u"flow chart")}),
               "chart"),
           WithId(Str(u"table", u"SHORT",
                      {Str(u"table type", u"flow chart"),
                       Str(u"question", u"S?",
                           {WithId(Str(u"answer", u"s", {Str(u"result", u"S1")}), "s1")})}),
                  "short"),
           WithId(
               Str(u"table", u"OTHER", {Str(u"table type", u"html"), Str(u"html", u"Elsewhere")}),
               "other")}),
      0);
  return b;
}

const std::string kOpen = "<HTML><HEAD></HEAD><BODY><FONT FACE='PPC_Font2'>";
const std::string kEnd = "</MENU></FONT></BODY></HTML>";

struct FlowChartTest : ReaderTest<ChartBook> {
  std::string Item(std::string_view id, const std::string& label) {
    return "<LI><A HREF='" + Row(id) + "'>" + label + "</A>";
  }
  json ChartPane(const json& report) { return PaneWhere(report, "name", "flow-chart"); }
  FlowChartView& View() { return *reader.app->FlowCharts(); }
};

TEST_F(FlowChartTest, AnswersAreShownInPlaceWithBackLinksAndTheHistoryUntouched) {
  const auto reports = reader.Run("navigate " + Row("chart") + "\ndump\ntap-link " + Row("a1") +
                                  "\ndump\ntap-link " + Row("q1") + "\ndump");
  const std::string q1 = kOpen + "Q1?<MENU>" + Item("a1", "to Q2") + Item("a2", "to results") +
                         Item("a3", "nowhere") + kEnd;
  const json opened = ChartPane(reports.at(0));
  ASSERT_FALSE(opened.is_null()) << reports[0].dump();
  EXPECT_EQ(opened["kind"], "HtmlPane");
  EXPECT_EQ(opened["side"], 4);
  EXPECT_EQ(opened["title"], "CHART");
  EXPECT_EQ(opened["html"], q1);  // the first question has no Back
  EXPECT_EQ(reports[0]["title"], "CHART");
  EXPECT_EQ(reports[0]["tab"], 2);

  // The answer leads to Q2 in the same page: no navigation, no history.
  EXPECT_EQ(ChartPane(reports[1])["html"],
            kOpen + "Q2?<MENU>" + Item("a4", "done") + Item("q1", "Back") + kEnd);
  EXPECT_EQ(reports[1]["page"], RowOf(book, "chart"));
  EXPECT_EQ(reports[1]["history"], reports[0]["history"]);
  // Back: Q1 as at the start.
  EXPECT_EQ(ChartPane(reports[2])["html"], q1);
  EXPECT_EQ(View().Source().Path().size(), 1u);
}

TEST_F(FlowChartTest, ResultsLeadOnStartOpensTheChartAfreshAndOtherLinksNavigate) {
  const auto reports = reader.Run(
      "navigate " + Row("chart") + "\ntap-link " + Row("a2") + "\ndump\ntap-link " + Row("r2") +
      "\ndump\ntap-link " + Row("chart") + "\ndump\ntap-link " + Row("a3") + "\ndump\nnavigate " +
      Row("chart") + "\ntap-link " + Row("a2") + "\ntap-link " + Row("other") + "\ndump");
  EXPECT_EQ(ChartPane(reports.at(0))["html"], kOpen + "R1, see <A HREF='" + Row("other") +
                                                  "'>other</A><MENU>" + Item("r2", "Next") +
                                                  Item("q1", "Back") + kEnd);
  EXPECT_EQ(ChartPane(reports[1])["html"],
            kOpen + "R2<MENU>" + Item("chart", "Start") + Item("r1", "Back") + kEnd);
  // Start navigates to the chart's table, which shows its first question.
  EXPECT_EQ(reports[2]["page"], RowOf(book, "chart"));
  const std::string start = ChartPane(reports[2])["html"];
  EXPECT_EQ(start.rfind(kOpen + "Q1?<MENU>", 0), 0u);
  EXPECT_EQ(start.find("Back"), std::string::npos);  // a fresh path
  // An answer with neither result nor next question: the opening frame alone.
  EXPECT_EQ(ChartPane(reports[3])["html"], kOpen);
  // A link out of the chart navigates.
  EXPECT_EQ(reports[4]["page"], RowOf(book, "other"));
  EXPECT_TRUE(ChartPane(reports[4]).is_null());
}

TEST_F(FlowChartTest, EachOpenedChartGoesToThePaneNotOnScreen) {
  reader.Run("navigate " + Row("chart"));
  HtmlPane* first = &View().Pane();
  reader.Run("navigate " + Row("short"));
  HtmlPane* second = &View().Pane();
  EXPECT_NE(first, second);
  EXPECT_TRUE(second->isVisible());
  EXPECT_FALSE(first->isVisible());
  EXPECT_EQ(platform::ToQ(second->Document()).toStdString(),
            kOpen + "S?<MENU>" + Item("s1", "s") + kEnd);
  // A link inside the chart stays in the pane on screen.
  reader.Run("navigate " + Row("chart") + "\ntap-link " + Row("a1"));
  EXPECT_EQ(&View().Pane(), first);
  EXPECT_TRUE(first->isVisible());
  EXPECT_FALSE(second->isVisible());
}

TEST_F(FlowChartTest, OpenedAtAQuestionEveryAnswerNavigatesToAFreshPath) {
  const auto reports =
      reader.Run("navigate " + Row("q1") + "\ndump\ntap-link " + Row("a1") + "\ndump");
  const json opened = ChartPane(reports.at(0));
  EXPECT_EQ(opened["title"], "Q1?");  // the heading is the row's own text
  EXPECT_EQ(reports[0]["page"], RowOf(book, "q1"));
  // The answer is outside the chart opened (a question row): a navigation,
  // and its page has no Back link.
  EXPECT_EQ(reports[1]["page"], RowOf(book, "a1"));
  EXPECT_EQ(ChartPane(reports[1])["html"], kOpen + "Q2?<MENU>" + Item("a4", "done") + kEnd);
  EXPECT_EQ(reports[1]["history"]["entries"].size(), reports[0]["history"]["entries"].size() + 1);
}

}  // namespace
}  // namespace vrok
