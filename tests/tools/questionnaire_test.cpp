// Questionnaires: loading, the answered test and scoring.

#include "core/tools/questionnaire.h"

#include <gtest/gtest.h>

#include "questionnaire_books.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using namespace test;  // book and questionnaire builders

// The Glasgow Coma Scale: eyes 1-4, verbal 1-5, motor 1-6.
BookNode Gcs() {
  const auto radios = [](std::initializer_list<std::u16string_view> labels) {
    std::vector<BookNode> controls;
    int points = static_cast<int>(labels.size());
    for (const auto label : labels)
      controls.push_back(Control(u"radio button", std::u16string(label), points--));
    return controls;
  };
  return WithId(
      Str(u"table", u"GCS",
          {Str(u"table type", u"questionarie"),
           Question(u"Eyes",
                    {Group(u"", radios({u"spontaneous", u"to voice", u"to pain", u"none"}))}),
           Question(u"Verbal", {Group(u"Best answer", radios({u"oriented", u"confused", u"words",
                                                              u"sounds", u"none"}))}),
           Question(u"Motor", {Group(u"", radios({u"obeys", u"localises", u"withdraws", u"flexion",
                                                  u"extension", u"none"}))}),
           Score(8, u"Severe"), Score(12, u"Moderate"), Score(15, u"Minor"),
           Str(u"footnote", u"Record each part.")}),
      "gcs");
}

Book Books() {
  Book b;
  b.root =
      Num(u"root", 0,
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
                  "noscores"),
           QuestionnaireTable(
               u"MARKS",
               {Question(u"Q", {Group(u"Pick", Controls(u"radio button", {{u"a", 1}, {u"b", 2}})),
                                Group(u"Only a caption", {}),
                                Group(u"", {IntegerControl(u"x", u"f1"),
                                            IntegerControl(u"y", u"f1 -1 *")})})},
               "marks")});
  return b;
}

// Controls whose children vary from one to the next: none, points only,
// a formula before its points, other fields around them.
Book UnevenControls() {
  const auto bare = [](std::u16string kind, std::u16string label) {
    BookNode c = Control(kind, std::move(label), 0);
    c.children.clear();
    return c;
  };
  BookNode formulaFirst = IntegerControl(u"f", u"f1 2 *");
  formulaFirst.children.push_back(Num(u"points", 9));
  BookNode noted = Control(u"radio button", u"noted", 4);
  noted.children.insert(noted.children.begin(), Str(u"note", u"aside"));
  noted.children.push_back(Str(u"note", u"after"));
  Book b;
  b.root =
      Num(u"root", 0,
          {QuestionnaireTable(
              u"UNEVEN",
              {Question(
                   u"Q",
                   {Group(u"", {bare(u"radio button", u"none"), Control(u"radio button", u"one", 1),
                                bare(u"radio button", u"none again"), noted,
                                Control(u"radio button", u"last", 5)}),
                    Group(u"", {Control(u"integer control", u"p", 3), formulaFirst,
                                bare(u"integer control", u"plain"), IntegerControl(u"g", u"f1"),
                                bare(u"integer control", u"end")})}),
               Question(u"R", {Group(u"", {Control(u"check box", u"x", 7)})})},
              "uneven")});
  return b;
}

TEST(Questionnaire, EachControlKeepsItsOwnChildrenWhateverItsNeighboursHave) {
  const TestBook book(UnevenControls());
  const Questionnaire q = LoadQuestionnaire(*book.db, book["uneven"]);
  ASSERT_EQ(q.questions.size(), 2u);
  ASSERT_EQ(q.questions[0].groups.size(), 2u);
  const auto& radios = q.questions[0].groups[0].controls;
  ASSERT_EQ(radios.size(), 5u);
  const std::int16_t points[] = {0, 1, 0, 4, 5};
  for (std::size_t i = 0; i < radios.size(); ++i) {
    EXPECT_EQ(radios[i].points, points[i]) << i;
    EXPECT_FALSE(radios[i].formula) << i;
  }
  const auto& boxes = q.questions[0].groups[1].controls;
  ASSERT_EQ(boxes.size(), 5u);
  EXPECT_FALSE(boxes[0].formula);
  EXPECT_EQ(boxes[0].points, 3);
  EXPECT_EQ(boxes[1].formula, u"f1 2 *");
  EXPECT_FALSE(boxes[2].formula);
  EXPECT_EQ(boxes[2].points, 0);
  EXPECT_EQ(boxes[3].formula, u"f1");
  EXPECT_FALSE(boxes[4].formula);
  ASSERT_EQ(q.questions[1].groups.at(0).controls.size(), 1u);
  EXPECT_EQ(q.questions[1].groups[0].controls[0].points, 7);
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
  for (const Case c :
       {Case{0, 0, 0, u"SCORE: 15<BR>Minor"}, Case{3, 4, 5, u"SCORE: 3<BR>Severe"},
        Case{2, 2, 2, u"SCORE: 9<BR>Moderate"}, Case{1, 3, 1, u"SCORE: 10<BR>Moderate"},
        Case{3, 4, 1, u"SCORE: 7<BR>Severe"}, Case{0, 1, 0, u"SCORE: 14<BR>Minor"}}) {
    const Answers answers = {
        {0, {Chosen(c.eyes)}}, {1, {Chosen(c.verbal)}}, {2, {Chosen(c.motor)}}};
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

TEST(Questionnaire, FailingControlsAreEachEmptyBoxAndEveryButtonOfAnUnchosenGroup) {
  const TestBook book(Books());
  const Questionnaire q = LoadQuestionnaire(*book.db, book["marks"]);
  ASSERT_EQ(q.questions.at(0).groups.size(), 3u);
  // A group with a caption and no controls has nothing to answer.
  EXPECT_TRUE(q.questions[0].groups[1].controls.empty());
  GroupAnswer none, boxes;
  boxes.numbers = {u"", u"4"};
  const QuestionAnswers answers = {none, GroupAnswer{}, boxes};
  using Marks = std::vector<std::vector<bool>>;
  EXPECT_EQ(FailingControls(q.questions[0], &answers), (Marks{{true, true}, {}, {true, false}}));
  EXPECT_EQ(FailingGroups(q.questions[0], &answers), (std::vector<bool>{true, false, true}));
  // Never shown: nothing is marked.
  EXPECT_EQ(FailingControls(q.questions[0], nullptr), (Marks{{false, false}, {}, {false, false}}));
  // Answered: the formulas give 7 and -4, the first button 1.
  boxes.numbers = {u"7", u"4"};
  const ScoreResult r = Calculate(q, {{0, {Chosen(0), GroupAnswer{}, boxes}}}, 0);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.score, 4);
}

TEST(Questionnaire, ACurrentQuestionOutsideTheQuestionnaireStartsAtTheFirst) {
  const TestBook book(Books());
  const Questionnaire q = LoadQuestionnaire(*book.db, book["gcs"]);
  const Answers answers = {{0, {Chosen(0)}}, {1, {GroupAnswer{}}}, {2, {Chosen(0)}}};
  for (const int current : {-1, 3, 1000}) {
    const ScoreResult r = Calculate(q, answers, current);
    EXPECT_FALSE(r.ok) << current;
    EXPECT_EQ(r.failing, 1) << current;
  }
}

}  // namespace
}  // namespace vrok
