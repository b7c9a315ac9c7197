// Questionnaires: loading, the answered test and scoring.

#include "tools/questionnaire.h"

#include <gtest/gtest.h>

#include "support/test_books.h"

namespace vrok {
namespace {

using test::Num;
using test::Str;
using test::TestBook;
using test::WithId;

// A control: typed by its kind, labelled, with points or a formula.
BookNode Control(std::u16string kind, std::u16string label, int points) {
  BookNode c = Str(kind, std::move(label), {Num(u"points", static_cast<std::uint16_t>(points))});
  c.type = kind;
  c.textValue = true;
  return c;
}
BookNode IntegerControl(std::u16string label, std::u16string formula) {
  BookNode c = Str(u"integer control", std::move(label), {Str(u"formula", std::move(formula))});
  c.type = u"integer control";
  c.textValue = true;
  return c;
}
BookNode Group(std::u16string caption, std::vector<BookNode> controls) {
  return Str(u"control group", std::move(caption), std::move(controls));
}
BookNode Question(std::u16string text, std::vector<BookNode> groups) {
  return Str(u"question", std::move(text), std::move(groups));
}
BookNode Score(std::uint32_t bound, std::u16string text) {
  return Num(u"score", bound, {Str(u"score text", std::move(text))});
}

// The Glasgow Coma Scale: eyes 1-4, verbal 1-5, motor 1-6.
BookNode Gcs() {
  const auto radios = [](std::initializer_list<std::u16string_view> labels) {
    std::vector<BookNode> controls;
    int points = static_cast<int>(labels.size());
    for (const auto label : labels) controls.push_back(Control(u"radio button", std::u16string(label), points--));
    return controls;
  };
  return WithId(
      Str(u"table", u"GCS",
          {Str(u"table type", u"questionarie"),
           Question(u"Eyes", {Group(u"", radios({u"spontaneous", u"to voice", u"to pain", u"none"}))}),
           Question(u"Verbal", {Group(u"Best answer", radios({u"oriented", u"confused", u"words",
                                                               u"sounds", u"none"}))}),
           Question(u"Motor", {Group(u"", radios({u"obeys", u"localises", u"withdraws",
                                                   u"flexion", u"extension", u"none"}))}),
           Score(8, u"Severe"), Score(12, u"Moderate"), Score(15, u"Minor"),
           Str(u"footnote", u"Record each part.")}),
      "gcs");
}

Book Books() {
  Book b;
  b.root = Num(
      u"root", 0,
      {Gcs(),
       WithId(Str(u"table", u"MIXED",
                  {Str(u"table type", u"questionarie"),
                   Question(u"Ticks", {Group(u"", {Control(u"check box", u"a", 2),
                                                  Control(u"check box", u"b", 3)})}),
                   Question(u"Numbers", {Group(u"", {IntegerControl(u"weight", u"f1 10 /")}),
                                         Group(u"", {Control(u"combo box", u"low", -5),
                                                     Control(u"combo box", u"high", 7)})}),
                   Score(5, u"low"), Score(10, u"mid"), Score(20, u"high")}),
              "mixed"),
       WithId(Str(u"table", u"TABLE_20",
                  {Str(u"table type", u"questionarie"),
                   Question(u"Q", {Group(u"", {Control(u"radio button", u"x", 1)}),
                                   Group(u"", {Control(u"check box", u"y", 1)}),
                                   Group(u"", {Control(u"check box", u"z", 4)})}),
                   Score(static_cast<std::uint32_t>(-20), u"excluded"), Score(100, u"scored")}),
              "t20"),
       WithId(Str(u"table", u"NOSCORES",
                  {Str(u"table type", u"questionarie"),
                   Question(u"Q", {Group(u"", {Control(u"radio button", u"x", -3)})})}),
              "noscores")});
  return b;
}

GroupAnswer Chosen(int i) {
  GroupAnswer a;
  a.chosen = i;
  return a;
}

TEST(Questionnaire, LoadsQuestionsGroupsControlsRanges) {
  const TestBook book(Books());
  const Questionnaire q = LoadQuestionnaire(*book.db, book["gcs"]);
  ASSERT_EQ(q.questions.size(), 3u);
  EXPECT_EQ(q.questions[1].text, u"Verbal");
  ASSERT_EQ(q.questions[1].groups.size(), 1u);
  EXPECT_EQ(q.questions[1].groups[0].caption, u"Best answer");
  EXPECT_EQ(q.questions[1].groups[0].kind, ControlKind::kRadio);
  ASSERT_EQ(q.questions[2].groups[0].controls.size(), 6u);
  EXPECT_EQ(q.questions[2].groups[0].controls[0].text, u"obeys");
  EXPECT_EQ(q.questions[2].groups[0].controls[0].points, 6);
  ASSERT_EQ(q.scores.size(), 3u);
  EXPECT_EQ(q.scores[1].bound, 12);
  EXPECT_EQ(q.scores[1].text, u"Moderate");
  EXPECT_EQ(q.footnotes, std::vector<std::u16string>{u"Record each part."});
  EXPECT_FALSE(q.table20);
  EXPECT_TRUE(LoadQuestionnaire(*book.db, book["t20"]).table20);
  const Questionnaire mixed = LoadQuestionnaire(*book.db, book["mixed"]);
  EXPECT_EQ(mixed.questions[1].groups[0].kind, ControlKind::kInteger);
  EXPECT_EQ(mixed.questions[1].groups[0].controls[0].formula, u"f1 10 /");
  EXPECT_EQ(mixed.questions[1].groups[1].kind, ControlKind::kCombo);
  EXPECT_EQ(mixed.questions[1].groups[1].controls[0].points, -5);
}

TEST(Questionnaire, GlasgowComaScaleScoresAsPublished) {
  const TestBook book(Books());
  const Questionnaire q = LoadQuestionnaire(*book.db, book["gcs"]);
  struct Case {
    int eyes, verbal, motor;  // indexes of the chosen answers
    const char16_t* output;
  };
  for (const Case c : {Case{0, 0, 0, u"SCORE: 15<BR>Minor"}, Case{3, 4, 5, u"SCORE: 3<BR>Severe"},
                       Case{2, 2, 2, u"SCORE: 9<BR>Moderate"}, Case{1, 3, 1, u"SCORE: 10<BR>Moderate"},
                       Case{3, 4, 1, u"SCORE: 7<BR>Severe"}, Case{0, 1, 0, u"SCORE: 14<BR>Minor"}}) {
    const Answers answers = {{0, {Chosen(c.eyes)}}, {1, {Chosen(c.verbal)}}, {2, {Chosen(c.motor)}}};
    const ScoreResult r = Calculate(q, answers, 2);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.output, c.output);
  }
}

TEST(Questionnaire, UnansweredAndUnvisitedQuestionsStopTheScore) {
  const TestBook book(Books());
  const Questionnaire q = LoadQuestionnaire(*book.db, book["gcs"]);
  const QuestionAnswers nothing = {GroupAnswer{}};
  EXPECT_FALSE(IsAnswered(q.questions[0], &nothing));
  EXPECT_TRUE(IsAnswered(q.questions[0], nullptr));  // never shown
  // Question 1 shown but unanswered: it is the failing one, found from the current question on.
  ScoreResult r = Calculate(q, {{0, {Chosen(0)}}, {1, nothing}, {2, {Chosen(0)}}}, 2);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.failing, 1);
  // Everything shown is answered, but question 2 was never shown.
  r = Calculate(q, {{0, {Chosen(0)}}, {1, {Chosen(0)}}}, 1);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.failing);
}

TEST(Questionnaire, ChecksNumbersAndDropDowns) {
  const TestBook book(Books());
  const Questionnaire q = LoadQuestionnaire(*book.db, book["mixed"]);
  GroupAnswer ticks;
  ticks.checked = {false, false};
  const QuestionAnswers onlyTicks = {ticks};
  EXPECT_TRUE(IsAnswered(q.questions[0], &onlyTicks));  // nothing ticked passes
  GroupAnswer number;
  number.numbers = {u""};
  GroupAnswer combo;
  combo.selected = 1;
  const QuestionAnswers emptyBox = {number, combo};
  EXPECT_EQ(FailingGroups(q.questions[1], &emptyBox), (std::vector<bool>{true, false}));
  // 12.7 is read as 12; "f1 10 /" gives 1.2, which adds 1; the drop-down adds 7.
  number.numbers = {u"12.7"};
  ScoreResult r = Calculate(q, {{0, {ticks}}, {1, {number, combo}}}, 0);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.score, 8);
  EXPECT_EQ(r.output, u"SCORE: 8<BR>mid");
  // 25 lies beyond every bound: the last range.
  ticks.checked = {true, true};
  number.numbers = {u"150"};
  r = Calculate(q, {{0, {ticks}}, {1, {number, combo}}}, 1);
  EXPECT_EQ(r.score, 5 + 15 + 7);
  EXPECT_EQ(r.output, u"SCORE: 27<BR>high");
  // A score of 5 is within the first bound.
  EXPECT_EQ(ScoreText(q, 5), u"low");
  EXPECT_EQ(ScoreText(q, 7), u"mid");
  EXPECT_EQ(ScoreText(q, 25), u"high");
}

TEST(Questionnaire, Table20Exclusion) {
  const TestBook book(Books());
  const Questionnaire q = LoadQuestionnaire(*book.db, book["t20"]);
  GroupAnswer y, z;
  y.checked = {true};
  z.checked = {false};
  // Only controls of groups 0 and 1 answered: the exclusion text alone.
  ScoreResult r = Calculate(q, {{0, {Chosen(0), y, z}}}, 0);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.output, u"excluded");
  // Any other answered control brings the score back.
  z.checked = {true};
  r = Calculate(q, {{0, {Chosen(0), y, z}}}, 0);
  EXPECT_EQ(r.output, u"SCORE: 6<BR>scored");
}

TEST(Questionnaire, WithoutRangesTheScoreStandsAlone) {
  const TestBook book(Books());
  const Questionnaire q = LoadQuestionnaire(*book.db, book["noscores"]);
  const ScoreResult r = Calculate(q, {{0, {Chosen(0)}}}, 0);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.output, u"SCORE: -3<BR>");
}

}  // namespace
}  // namespace vrok
