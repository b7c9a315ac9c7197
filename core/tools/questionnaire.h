#pragma once
// Scored questionnaires: the questions, their groups of answer controls and
// the score ranges, read from a "questionarie" table; and the answered test
// and the scoring, over answers the widgets hand in.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "content/content_database.h"

namespace vrok {

enum class ControlKind { kRadio = 0, kCheck = 1, kInteger = 2, kCombo = 3 };

struct ControlRecord {
  int index = 0;  // within its group
  RowIndex row = 0;
  std::u16string text;
  std::int16_t points = 0;
  std::optional<std::u16string> formula;  // integer controls turn the number into points
  bool operator==(const ControlRecord&) const = default;
};

struct ControlGroupRecord {
  int index = 0;  // within its question
  RowIndex row = 0;
  std::u16string caption;
  ControlKind kind = ControlKind::kRadio;
  std::vector<ControlRecord> controls;
  bool operator==(const ControlGroupRecord&) const = default;
};

struct QuestionRecord {
  int index = 0;
  RowIndex row = 0;
  std::u16string text;
  std::vector<ControlGroupRecord> groups;
  bool operator==(const QuestionRecord&) const = default;
};

struct ScoreRange {
  std::int32_t bound = 0;  // inclusive upper bound
  std::u16string text;
};

struct Questionnaire {
  RowIndex row = 0;
  std::vector<QuestionRecord> questions;
  std::vector<ScoreRange> scores;
  std::vector<std::u16string> footnotes;
  bool table20 = false;  // the table named "TABLE_20", scored with its exclusion rule
};

// Loads the questionnaire of the table at row. A group whose first control
// is of no known kind is left out; a group without controls has nothing to
// answer and always passes.
Questionnaire LoadQuestionnaire(const ContentDatabase& db, RowIndex row);

// What the user gave for one group: the chosen radio button, the ticks of
// the check boxes, the texts of the integer boxes, the drop-down's entry.
struct GroupAnswer {
  std::optional<int> chosen;
  std::vector<bool> checked;
  std::vector<std::u16string> numbers;
  int selected = 0;
};
using QuestionAnswers = std::vector<GroupAnswer>;  // in the order of the question's groups
using Answers = std::map<int, QuestionAnswers>;    // visited questions only

// The answered test, per group and control of the question: the controls
// drawn in red because they fail it (every button of a radio group with
// nothing chosen, each integer box left empty). A question never shown
// (no answers) passes.
std::vector<std::vector<bool>> FailingControls(const QuestionRecord& question,
                                               const QuestionAnswers* answers);
// Per group: true when any of its controls fails.
std::vector<bool> FailingGroups(const QuestionRecord& question, const QuestionAnswers* answers);
bool IsAnswered(const QuestionRecord& question, const QuestionAnswers* answers);

struct ScoreResult {
  bool ok = false;             // false: some question unanswered or never shown
  std::optional<int> failing;  // the first failing question, when one failed
  int score = 0;
  std::u16string output;  // "SCORE: n<BR>text", or the exclusion text alone
};

// Tests every question starting at `current` (wrapping round to the first
// after the last), then scores the visited ones. A current outside the
// questions starts at the first.
ScoreResult Calculate(const Questionnaire& q, const Answers& answers, int current);

// The interpretation of a score: the text of the first range whose bound
// reaches it (as a signed 16-bit number), else of the last; empty when there
// are no ranges.
std::u16string ScoreText(const Questionnaire& q, int score);

}  // namespace vrok
