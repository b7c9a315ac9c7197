#pragma once
// Builders for questionnaire tables in test books.

#include <initializer_list>
#include <string>
#include <vector>

#include "support/test_books.h"

namespace vrok::test {

// A control: typed by its kind, labelled, with points.
inline BookNode Control(std::u16string kind, std::u16string label, int points) {
  BookNode c = Str(kind, std::move(label), {Num(u"points", static_cast<std::uint16_t>(points))});
  c.type = kind;
  c.textValue = true;
  return c;
}
// An integer control whose formula turns the number typed into points.
inline BookNode IntegerControl(std::u16string label, std::u16string formula) {
  BookNode c = Str(u"integer control", std::move(label), {Str(u"formula", std::move(formula))});
  c.type = u"integer control";
  c.textValue = true;
  return c;
}
// Controls of one kind, labelled and worth the points given.
inline std::vector<BookNode> Controls(
    std::u16string kind, std::initializer_list<std::pair<std::u16string_view, int>> list) {
  std::vector<BookNode> controls;
  for (const auto& [label, points] : list)
    controls.push_back(Control(kind, std::u16string(label), points));
  return controls;
}
inline BookNode Group(std::u16string caption, std::vector<BookNode> controls) {
  return Str(u"control group", std::move(caption), std::move(controls));
}
inline BookNode Question(std::u16string text, std::vector<BookNode> groups) {
  return Str(u"question", std::move(text), std::move(groups));
}
inline BookNode Score(std::uint32_t bound, std::u16string text) {
  return Num(u"score", bound, {Str(u"score text", std::move(text))});
}
// A "questionarie" table named name with these children.
inline BookNode QuestionnaireTable(std::u16string name, std::vector<BookNode> children,
                                   std::string id) {
  children.insert(children.begin(), Str(u"table type", u"questionarie"));
  return WithId(Str(u"table", std::move(name), std::move(children)), std::move(id));
}

}  // namespace vrok::test
