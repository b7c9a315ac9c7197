#pragma once
// The sample book read into memory once, with the small amount of
// interpretation the tests need: children by field, texts, questionnaires
// scored the way the questionnaire view scores them.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "content/content_database.h"
#include "core/tools/questionnaire.h"

namespace vrok::test {

class BookModel {
 public:
  explicit BookModel(const ContentDatabase& db);

  std::uint32_t Count() const { return static_cast<std::uint32_t>(rows_.size()); }
  const NodeRow& Row(RowIndex r) const { return rows_.at(r); }
  const std::u16string& Field(RowIndex r) const;
  const std::u16string& Type(RowIndex r) const;
  bool IsString(RowIndex r) const;
  // The row's text: its string when it is a "string" row, or the text whose
  // id is its value for the typed controls of a questionnaire.
  std::u16string Text(RowIndex r) const;
  std::vector<RowIndex> Children(RowIndex r, std::u16string_view field = {}) const;
  std::optional<RowIndex> Child(RowIndex r, std::u16string_view field) const;
  // The "table type" child's text of the row itself, empty when none.
  std::u16string OwnTableType(RowIndex r) const;
  // Nearest "table" row at or above r, 0 when none.
  RowIndex TableOf(RowIndex r) const;

 private:
  const ContentDatabase& db_;
  std::vector<NodeRow> rows_;
  std::vector<std::vector<RowIndex>> children_;
};

// One answer per group, by [question][group]: the chosen radio button or
// drop-down entry, or the ticked boxes' indexes.
using Answers = std::vector<std::vector<std::vector<int>>>;

// The score the questionnaire view computes for these answers, every
// question visited; fails the test when the answers are not complete.
int Score(const Questionnaire& q, const Answers& answers);

}  // namespace vrok::test
