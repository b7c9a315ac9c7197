#include "core/tools/score_summary.h"

#include <ctime>
#include <vector>

#include "content/utf8.h"
#include "core/pages/markup.h"
#include "core/pages/page_text.h"

namespace vrok {

namespace {

// Plain text on one line: markup gone, line breaks and runs of spaces as one space.
std::u16string Plain(std::u16string_view markup) {
  std::u16string out;
  for (const char16_t c : PlainTextOf(markup)) {
    const bool space = c == u' ' || c == u'\n' || c == u'\r' || c == u'\t' || c == u'\u00a0';
    if (space) {
      if (!out.empty() && out.back() != u' ') out += u' ';
    } else {
      out += c;
    }
  }
  while (!out.empty() && out.back() == u' ') out.pop_back();
  return out;
}

// The parts one group adds: "LABEL: ANSWER", or one part per check box
// ("TEXT: yes" / "TEXT: no") and per integer box ("TEXT: NUMBER").
void AddGroupParts(const ControlGroupRecord& group, const std::u16string& label,
                   const GroupAnswer& a, std::vector<std::u16string>& parts) {
  const auto& controls = group.controls;
  const auto inRange = [&](int i) { return i >= 0 && i < static_cast<int>(controls.size()); };
  switch (group.kind) {
    case ControlKind::kRadio:
      if (a.chosen && inRange(*a.chosen))
        parts.push_back(label + u": " + Plain(controls[*a.chosen].text));
      break;
    case ControlKind::kCheck:
      for (std::size_t i = 0; i < controls.size(); ++i) {
        const bool ticked = i < a.checked.size() && a.checked[i];
        parts.push_back(Plain(controls[i].text) + (ticked ? u": yes" : u": no"));
      }
      break;
    case ControlKind::kInteger:
      for (std::size_t i = 0; i < a.numbers.size() && i < controls.size(); ++i) {
        const std::u16string text = Plain(controls[i].text);
        parts.push_back((text.empty() ? label : text) + u": " + a.numbers[i]);
      }
      break;
    case ControlKind::kCombo:
      if (inRange(a.selected)) parts.push_back(label + u": " + Plain(controls[a.selected].text));
      break;
  }
}

}  // namespace

std::u16string LocalMinute(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return {};
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M", &tm);
  return *FromUtf8(buffer);
}

std::u16string ScoreSummary(const Questionnaire& q, const std::u16string& title,
                            const Answers& answers, const ScoreResult& result,
                            const std::u16string& when) {
  const bool scored = result.output.rfind(u"SCORE: ", 0) == 0;
  std::u16string s = Plain(title) + u":";
  if (scored) s += u" " + Decimal(result.score);
  std::vector<std::u16string> parts;
  for (const QuestionRecord& question : q.questions) {
    const auto it = answers.find(question.index);
    if (it == answers.end()) continue;
    for (std::size_t g = 0; g < question.groups.size() && g < it->second.size(); ++g) {
      const ControlGroupRecord& group = question.groups[g];
      const std::u16string caption = Plain(group.caption);
      AddGroupParts(group, caption.empty() ? Plain(question.text) : caption, it->second[g], parts);
    }
  }
  for (std::size_t i = 0; i < parts.size(); ++i)
    s += (i == 0 ? u" (" : u"; ") + parts[i] + (i + 1 == parts.size() ? u")" : u"");
  const std::u16string meaning = Plain(scored ? ScoreText(q, result.score) : result.output);
  if (!meaning.empty()) s += u" \u2014 " + meaning;
  if (!when.empty()) s += u" (" + when + u")";
  return s;
}

}  // namespace vrok
