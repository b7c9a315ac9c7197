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

Questionnaire LoadQuestionnaire(const BookModel& book, RowIndex table) {
  Questionnaire q;
  q.name = book.Text(table);
  for (RowIndex qr : book.Children(table, u"question")) {
    Question question;
    question.text = book.Text(qr);
    for (RowIndex gr : book.Children(qr, u"control group")) {
      Group group;
      group.caption = book.Row(gr).value != 0 ? book.Text(gr) : u"";
      const auto kids = book.Children(gr);
      if (kids.empty()) throw std::runtime_error("a control group without controls");
      group.kind = book.Type(kids.front());
      for (RowIndex cr : book.Children(gr, book.Field(kids.front()))) {
        Control control;
        control.text = book.Text(cr);
        if (const auto f = book.Child(cr, u"formula")) {
          control.formula = book.Text(*f);
        } else if (const auto p = book.Child(cr, u"points")) {
          control.points = static_cast<std::int16_t>(book.Row(*p).value & 0xFFFF);
        }
        group.controls.push_back(control);
      }
      question.groups.push_back(group);
    }
    q.questions.push_back(question);
  }
  for (RowIndex sr : book.Children(table, u"score")) {
    const auto text = book.Child(sr, u"score text");
    q.scores.emplace_back(static_cast<std::int32_t>(book.Row(sr).value),
                          text ? book.Text(*text) : u"");
  }
  for (RowIndex fr : book.Children(table, u"footnote")) q.footnotes.push_back(book.Text(fr));
  return q;
}

int Score(const Questionnaire& q, const Answers& answers) {
  if (answers.size() != q.questions.size())
    throw std::invalid_argument("one answer list per question");
  int sum = 0;
  for (std::size_t i = 0; i < q.questions.size(); ++i) {
    const auto& groups = q.questions[i].groups;
    if (answers[i].size() != groups.size()) throw std::invalid_argument("one answer per group");
    for (std::size_t g = 0; g < groups.size(); ++g) {
      const Group& group = groups[g];
      const auto& chosen = answers[i][g];
      if (group.kind == u"radio button" || group.kind == u"combo box") {
        if (chosen.size() != 1) throw std::invalid_argument("one choice in a radio group or list");
        sum += group.controls.at(chosen[0]).points;
      } else if (group.kind == u"check box") {
        for (int c : chosen) sum += group.controls.at(c).points;
      } else {
        throw std::invalid_argument("integer boxes need the formula evaluator");
      }
    }
  }
  return sum;
}

std::u16string ScoreText(const Questionnaire& q, int score) {
  if (q.scores.empty()) return {};
  const auto s16 = static_cast<std::int16_t>(score);
  for (const auto& [bound, text] : q.scores) {
    if (bound >= s16) return text;
  }
  return q.scores.back().second;
}

}  // namespace vrok::test
