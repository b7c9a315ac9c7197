#include <gtest/gtest.h>

#include "samples/sample_model.h"

#include <stdexcept>

namespace vrok::test {

BookModel::BookModel(const ContentDatabase& db) : db_(db) {
  if (!db.ReadRows(0, db.RowCount(), rows_)) throw std::runtime_error("rows unreadable");
  children_.resize(rows_.size());
  for (RowIndex r = 1; r < rows_.size(); ++r) children_.at(rows_[r].parent).push_back(r);
}

const std::u16string& BookModel::Field(RowIndex r) const {
  return db_.FieldNames().at(rows_.at(r).field);
}

const std::u16string& BookModel::Type(RowIndex r) const { return db_.TypeName(rows_.at(r).type); }

bool BookModel::IsString(RowIndex r) const { return db_.IsStringType(rows_.at(r).type); }

std::u16string BookModel::Text(RowIndex r) const {
  std::u16string text;
  if (IsString(r) || Field(r) == Type(r)) db_.ReadString(StringId{rows_.at(r).value}, text);
  return text;
}

std::vector<RowIndex> BookModel::Children(RowIndex r, std::u16string_view field) const {
  std::vector<RowIndex> out;
  for (RowIndex c : children_.at(r)) {
    if (field.empty() || Field(c) == field) out.push_back(c);
  }
  return out;
}

std::optional<RowIndex> BookModel::Child(RowIndex r, std::u16string_view field) const {
  for (RowIndex c : children_.at(r)) {
    if (Field(c) == field) return c;
  }
  return std::nullopt;
}

std::u16string BookModel::OwnTableType(RowIndex r) const {
  const auto t = Child(r, u"table type");
  return t ? Text(*t) : std::u16string();
}

RowIndex BookModel::TableOf(RowIndex r) const {
  for (; r != 0; r = rows_.at(r).parent) {
    if (Field(r) == u"table") return r;
  }
  return 0;
}

int Score(const Questionnaire& q, const Answers& answers) {
  vrok::Answers given;
  for (std::size_t i = 0; i < answers.size() && i < q.questions.size(); ++i) {
    const auto& groups = q.questions[i].groups;
    QuestionAnswers& question = given[static_cast<int>(i)];
    for (std::size_t g = 0; g < answers[i].size() && g < groups.size(); ++g) {
      GroupAnswer a;
      const auto& chosen = answers[i][g];
      a.checked.assign(groups[g].controls.size(), false);
      for (const int c : chosen) {
        if (c >= 0 && static_cast<std::size_t>(c) < a.checked.size()) a.checked[c] = true;
      }
      if (!chosen.empty()) {
        a.chosen = chosen.front();
        a.selected = chosen.front();
      }
      question.push_back(std::move(a));
    }
  }
  const ScoreResult r = Calculate(q, given, 0);
  EXPECT_TRUE(r.ok) << "incomplete answers";
  return r.score;
}

}  // namespace vrok::test
