#include "core/tools/questionnaire.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "content/node_cursor.h"
#include "core/pages/page_text.h"
#include "core/tools/formula.h"

namespace vrok {

namespace {

std::optional<ControlKind> KindOf(const std::u16string& typeName) {
  if (typeName == u"radio button") return ControlKind::kRadio;
  if (typeName == u"check box") return ControlKind::kCheck;
  if (typeName == u"integer control") return ControlKind::kInteger;
  if (typeName == u"combo box") return ControlKind::kCombo;
  return std::nullopt;
}

// Rows stand in the order of their parents, so the children of a run of
// sibling rows follow one another: the row after one control's last child
// is the first child of the next control, when it has any, or a row of a
// later parent. `next` carries that row from one control to the next,
// sparing a search; 0 (the root, never a child) when it is not known.
bool FirstChildAt(const NodeCursor& c, RowIndex& next, NodeCursor& child) {
  const ContentDatabase& db = *c.Row().db;
  if (next != 0) {
    if (next >= db.RowCount()) return false;  // no rows after: no children
    const NodeCursor at(db, next);
    // A row of an earlier parent cannot stand there: the hint is not to be
    // trusted, and the search decides.
    if (at.IsOpen() && at.Row().parent >= c.Row().row) {
      if (at.Row().parent != c.Row().row) return false;
      child = at;
      return true;
    }
  }
  child = c;
  next = 0;
  return child.ToFirstChild();
}

ControlRecord LoadControl(const NodeCursor& c, int index, RowIndex& next) {
  ControlRecord control;
  control.index = index;
  control.row = c.Row().row;
  // Controls are typed by their kind; the value is still the label's string.
  if (c.Row().value != 0) c.Row().db->ReadString(StringId{c.Row().value}, control.text);
  // A control has a child or two: walking them reads fewer rows than a
  // search for each name. A "formula" child wins over a "points" child.
  NodeCursor child;
  if (!FirstChildAt(c, next, child)) return control;
  std::optional<std::int16_t> points;
  do {
    if (child.FieldIs(u"formula")) {
      std::u16string text;
      child.ReadString(text);
      control.formula = text;
      next = 0;  // its other children were not walked
      return control;
    }
    if (!points && child.FieldIs(u"points"))
      points = static_cast<std::int16_t>(child.Row().value & 0xFFFF);
  } while (child.ToNextSibling());
  next = child.Row().row + 1;
  if (points) control.points = *points;
  return control;
}

std::optional<ControlGroupRecord> LoadGroup(const NodeCursor& g, int index) {
  ControlGroupRecord group;
  group.index = index;
  group.row = g.Row().row;
  group.caption = TextOf(g);
  NodeCursor c = g;
  if (!c.ToFirstChild()) return group;
  // The first control's value type names the group's kind, and the group's
  // controls are the siblings of the same name from there on.
  const std::u16string typeName = c.TypeName();
  const auto kind = KindOf(typeName);
  if (!kind) return std::nullopt;
  group.kind = *kind;
  int n = 0;
  RowIndex next = 0;
  RowIndex previous = c.Row().row;
  do {
    // The hint holds only for the row right after the previous control.
    if (c.Row().row != previous + 1) next = 0;
    previous = c.Row().row;
    group.controls.push_back(LoadControl(c, n++, next));
  } while (c.ToNextNamed(typeName));
  return group;
}

// The number typed into an integer box, truncated toward zero; 0 when it
// does not start with a number.
int TypedNumber(const std::u16string& text) {
  std::string narrow;
  for (const char16_t ch : text) narrow.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
  const double value = std::strtod(narrow.c_str(), nullptr);
  if (!std::isfinite(value) || std::fabs(value) > 2147483647.0) return 0;
  return static_cast<int>(value);
}

int PointsFromFormula(const ControlRecord& control, const std::u16string& typed) {
  FormulaVariables variables;
  variables[u"f1"] = static_cast<float>(TypedNumber(typed));
  const float value = EvaluateFormula(control.formula.value_or(u""), variables);
  if (!std::isfinite(value) || std::fabs(value) > 2147483647.0f) return 0;
  return static_cast<int>(value);  // toward zero
}

// The exclusion set of "TABLE_20": question 0, groups 0 and 1, any control.
bool Excluded(bool table20, int question, int group) {
  return table20 && question == 0 && (group == 0 || group == 1);
}

}  // namespace

Questionnaire LoadQuestionnaire(const ContentDatabase& db, RowIndex row) {
  Questionnaire q;
  q.row = row;
  NodeCursor table(db, row);
  if (!table.IsOpen()) return q;
  NodeCursor named = table;
  std::u16string name;
  if ((named.FieldIs(u"table") || named.ToAncestor(u"table")) && named.ReadString(name)) {
    q.table20 = name == u"TABLE_20";
  }
  NodeCursor question = table;
  if (question.ToChild(u"question")) {
    do {
      QuestionRecord record;
      record.index = static_cast<int>(q.questions.size());
      record.row = question.Row().row;
      record.text = TextOf(question);
      NodeCursor group = question;
      if (group.ToChild(u"control group")) {
        int g = 0;
        do {
          if (auto loaded = LoadGroup(group, g)) record.groups.push_back(std::move(*loaded));
          ++g;
        } while (group.ToNextNamed(u"control group"));
      }
      q.questions.push_back(std::move(record));
    } while (question.ToNextNamed(u"question"));
  }
  std::vector<NodeRow> rows;
  table.CollectChildren(u"score", rows);
  for (const NodeRow& s : rows) {
    q.scores.push_back(
        {static_cast<std::int32_t>(s.value), ChildTextOf(NodeCursor(s), u"score text")});
  }
  rows.clear();
  table.CollectChildren(u"footnote", rows);
  for (const NodeRow& f : rows) q.footnotes.push_back(TextOf(NodeCursor(f)));
  return q;
}

std::vector<std::vector<bool>> FailingControls(const QuestionRecord& question,
                                               const QuestionAnswers* answers) {
  std::vector<std::vector<bool>> failing;
  for (std::size_t g = 0; g < question.groups.size(); ++g) {
    const ControlGroupRecord& group = question.groups[g];
    std::vector<bool>& marks = failing.emplace_back(group.controls.size(), false);
    if (!answers) continue;
    const GroupAnswer* a = g < answers->size() ? &(*answers)[g] : nullptr;
    switch (group.kind) {
      case ControlKind::kRadio:
        if (!a || !a->chosen) marks.assign(marks.size(), true);
        break;
      case ControlKind::kInteger:
        for (std::size_t c = 0; c < marks.size(); ++c)
          marks[c] = !a || c >= a->numbers.size() || a->numbers[c].empty();
        break;
      case ControlKind::kCheck:
      case ControlKind::kCombo:
        break;
    }
  }
  return failing;
}

std::vector<bool> FailingGroups(const QuestionRecord& question, const QuestionAnswers* answers) {
  std::vector<bool> groups;
  for (const auto& marks : FailingControls(question, answers))
    groups.push_back(std::find(marks.begin(), marks.end(), true) != marks.end());
  return groups;
}

bool IsAnswered(const QuestionRecord& question, const QuestionAnswers* answers) {
  for (const bool f : FailingGroups(question, answers)) {
    if (f) return false;
  }
  return true;
}

std::u16string ScoreText(const Questionnaire& q, int score) {
  if (q.scores.empty()) return {};
  const auto s16 = static_cast<std::int16_t>(score);
  for (const ScoreRange& range : q.scores) {
    if (range.bound >= s16) return range.text;
  }
  return q.scores.back().text;
}

ScoreResult Calculate(const Questionnaire& q, const Answers& answers, int current) {
  ScoreResult result;
  const int count = static_cast<int>(q.questions.size());
  if (current < 0 || current >= count) current = 0;
  for (int k = 0; k < count; ++k) {
    const int i = (current + k) % count;
    const auto it = answers.find(i);
    if (!IsAnswered(q.questions[i], it == answers.end() ? nullptr : &it->second)) {
      result.failing = i;
      return result;
    }
  }
  if (static_cast<int>(answers.size()) < count) return result;

  bool excluded = true;
  const auto answered = [&](int question, int group) {
    if (!Excluded(q.table20, question, group)) excluded = false;
  };
  // Points are 16-bit, but many of them must not overflow the sum.
  std::int64_t score = 0;
  for (const auto& [qi, groups] : answers) {
    if (qi < 0 || qi >= count) continue;
    const QuestionRecord& question = q.questions[qi];
    for (std::size_t g = 0; g < question.groups.size() && g < groups.size(); ++g) {
      const ControlGroupRecord& group = question.groups[g];
      const GroupAnswer& a = groups[g];
      const auto& controls = group.controls;
      switch (group.kind) {
        case ControlKind::kRadio:
          if (a.chosen && *a.chosen >= 0 && *a.chosen < static_cast<int>(controls.size())) {
            score += controls[*a.chosen].points;
            answered(qi, group.index);
          }
          break;
        case ControlKind::kCheck:
          for (std::size_t c = 0; c < controls.size() && c < a.checked.size(); ++c) {
            if (!a.checked[c]) continue;
            score += controls[c].points;
            answered(qi, group.index);
          }
          break;
        case ControlKind::kInteger:
          for (std::size_t c = 0; c < controls.size() && c < a.numbers.size(); ++c) {
            score += PointsFromFormula(controls[c], a.numbers[c]);
            if (!a.numbers[c].empty()) answered(qi, group.index);
          }
          break;
        case ControlKind::kCombo:
          if (a.selected >= 0 && a.selected < static_cast<int>(controls.size())) {
            score += controls[a.selected].points;
          }
          answered(qi, group.index);
          break;
      }
    }
  }
  result.ok = true;
  result.score = static_cast<int>(std::clamp<std::int64_t>(score, INT32_MIN, INT32_MAX));
  if (q.table20 && excluded) {
    result.output = ScoreText(q, -20);
  } else {
    result.output = u"SCORE: " + Decimal(result.score) + u"<BR>" + ScoreText(q, result.score);
  }
  return result;
}

}  // namespace vrok
