#pragma once
// A questionnaire's result as one line of plain text, for pasting into a
// patient record:
//
//   TITLE: SCORE (LABEL: ANSWER; LABEL: ANSWER; ...) — INTERPRETATION (YYYY-MM-DD HH:MM)
//
// Markup is stripped from every part. A radio group or drop-down gives
// "LABEL: CHOSEN", the label being the group's caption or else the
// question; each check box gives "TEXT: yes" or "TEXT: no"; each integer box
// "TEXT: NUMBER". A result without a score (the exclusion text) gives that
// text as the interpretation and no number.

#include <string>

#include "core/tools/questionnaire.h"

namespace vrok {

std::u16string ScoreSummary(const Questionnaire& q, const std::u16string& title,
                            const Answers& answers, const ScoreResult& result,
                            const std::u16string& when);

// "YYYY-MM-DD HH:MM" of seconds since 1970, in local time.
std::u16string LocalMinute(std::int64_t seconds);

}  // namespace vrok
