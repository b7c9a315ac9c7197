// Walking flow charts, and the calculator list.

#include "core/tools/flow_chart.h"

#include <gtest/gtest.h>

#include "core/pages/calculator_list.h"
#include "core/pages/page_text.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using test::Num;
using test::Ref;
using test::Str;
using test::WithId;

// A chart whose "table type" sorts before its first question.
Book ChartBook() {
  Book b;
  b.root = Num(
      u"root", 0,
      {WithId(
           Str(u"table", u"CHART",
               {Str(u"table type", u"flow chart"),
                WithId(Str(u"question", u"Q1?",
                           {WithId(Str(u"answer", u"to Q2", {Ref(u"next question", "q2")}), "a1"),
                            WithId(Str(u"answer", u"to results",
                                       {WithId(Str(u"result", u"R1"), "r1"),
                                        WithId(Str(u"result", u"R2"), "r2")}),
                                   "a2"),
                            WithId(Str(u"answer", u"nowhere"), "a3")}),
                       "q1"),
                WithId(
                    Str(u"question", u"Q2?",
                        {WithId(Str(u"answer", u"loop", {Ref(u"next question", "loop")}), "loop")}),
                    "q2")}),
           "chart"),
       Str(u"table", u"OTHER", {Str(u"table type", u"html")})});
  return b;
}

struct Chart : test::TestBook {
  Chart() : TestBook(ChartBook()) {}
  std::u16string Item(std::string_view id, std::u16string_view label) const {
    return u"<LI><A HREF='" + Decimal(id) + u"'>" + std::u16string(label) + u"</A>";
  }
};

const std::u16string kOpen(skeleton::kPageOpen);
const std::u16string kEnd = u"</MENU></FONT></BODY></HTML>";

TEST(FlowChart, WalkForwardAndBack) {
  Chart c;
  FlowChartSource src(*c.db);
  EXPECT_TRUE(FlowChartSource::Accepts(*c.db, c["chart"]));
  EXPECT_TRUE(FlowChartSource::Accepts(*c.db, c["r1"]));
  EXPECT_FALSE(FlowChartSource::Accepts(*c.db, c.db->TableRow(u"OTHER")));
  EXPECT_FALSE(FlowChartSource::Accepts(*c.db, 0));

  src.Open(c["chart"]);
  const std::u16string q1 = kOpen + u"Q1?<MENU>" + c.Item("a1", u"to Q2") +
                            c.Item("a2", u"to results") + c.Item("a3", u"nowhere") + kEnd;
  EXPECT_EQ(src.BuildPage(c["chart"]), q1);  // first question: no Back
  EXPECT_EQ(src.Path(), (std::vector<FlowChartSource::Step>{{c["q1"], 0}}));

  EXPECT_TRUE(src.IsInsideChart(c["a1"]));
  EXPECT_EQ(src.BuildPage(c["a1"]),
            kOpen + u"Q2?<MENU>" + c.Item("loop", u"loop") + c.Item("q1", u"Back") + kEnd);
  EXPECT_EQ(src.Path(), (std::vector<FlowChartSource::Step>{{c["q1"], c["a1"]}, {c["q2"], 0}}));

  // Back: the same page as at the start, without a Back link.
  EXPECT_EQ(src.BuildPage(c["q1"]), q1);
  EXPECT_EQ(src.Path().size(), 1u);

  // Results: Next to the following result, then Start.
  EXPECT_EQ(src.BuildPage(c["a2"]),
            kOpen + u"R1<MENU>" + c.Item("r2", u"Next") + c.Item("q1", u"Back") + kEnd);
  EXPECT_EQ(src.BuildPage(c["r2"]),
            kOpen + u"R2<MENU>" + c.Item("chart", u"Start") + c.Item("r1", u"Back") + kEnd);
  // Start leads to the chart's own page, which is outside it: a fresh walk.
  EXPECT_FALSE(src.IsInsideChart(c["chart"]));
}

TEST(FlowChart, DeadEndsAndLoops) {
  Chart c;
  FlowChartSource src(*c.db);
  src.Open(c["chart"]);
  src.BuildPage(c["chart"]);
  EXPECT_EQ(src.BuildPage(c["a3"]), kOpen);  // neither result nor next question
  // An answer whose next question is itself ends, empty, instead of looping.
  EXPECT_EQ(src.BuildPage(c["loop"]), kOpen);
  EXPECT_EQ(src.BuildPage(0), kOpen);
}

TEST(FlowChart, OpenedAtAQuestionEveryAnswerNavigates) {
  Chart c;
  FlowChartSource src(*c.db);
  src.Open(c["q1"]);
  src.BuildPage(c["q1"]);
  EXPECT_FALSE(src.IsInsideChart(c["a1"]));  // its table is not the chart row
}

TEST(CalculatorList, ExactDocument) {
  test::TempDir dir;
  Book b;
  b.root = Num(u"root", 0,
               {Str(u"table", u"CALCULATORS",
                    {Str(u"calculator", u"Zeta <I>score</I>"), Str(u"calculator", u"Alpha")}),
                Str(u"table", u"EMPTY")});
  const ContentDatabase db(test::WriteTestBook(b, dir));
  CalculatorListSource src(db);
  EXPECT_EQ(src.BuildPage(db.TableRow(u"EMPTY")), u"<B>Formulas:</B><BR><MENU>");
  const RowIndex first = db.FindChild(db.TableRow(u"CALCULATORS"), db.FieldIdOf(u"calculator"));
  EXPECT_EQ(src.BuildPage(db.TableRow(u"CALCULATORS")),
            u"<B>Formulas:</B><BR><MENU><LI><A HREF=\"" + Decimal(first) +
                u"\"><B>Zeta <I>score</I></B></A><LI><A HREF=\"" + Decimal(first + 1) +
                u"\"><B>Alpha</B></A>");
  EXPECT_EQ(src.SupplyImage(u"1", 5).cookie, kNoPictureCookie);
}

}  // namespace
}  // namespace vrok
