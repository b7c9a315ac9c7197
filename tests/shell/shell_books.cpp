#include "shell_books.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vrok::test {

Book ShellTestBook(std::vector<ImageVariant> splash) {
  Book book;
  std::vector<BookNode> tables{
      WithId(
          Str(u"table", u"CONTENTS",
              {Str(u"table type", u"html list"),
               WithId(
                   Str(u"hierarchy item", u"Asthma",
                       {Str(u"field", u"Wheeze."),
                        WithId(Num(u"footnotes", 0, {WithId(Str(u"footnote", u"A note."), "fn")}),
                               "fns")}),
                   "asthma")}),
          "contents"),
      WithId(Str(u"table", u"INDEX",
                 {Str(u"table type", u"index"),
                  WithId(Str(u"hierarchy item", u"A", {Ref(u"link", "asthma")}), "indexitem")}),
             "index"),
      WithId(Str(u"table", u"TOOLS", {Str(u"table type", u"html")}), "tools"),
      WithId(Str(u"table", u"NOTICE", {Str(u"table type", u"html")}), "notice"),
      WithId(Str(u"table", u"FLOW",
                 {Str(u"table type", u"flow chart"), WithId(Str(u"step", u"Start"), "flowitem")}),
             "flow"),
      WithId(Str(u"table", u"QUEST", {Str(u"table type", u"questionarie")}), "quest"),
      WithId(Str(u"table", u"OTHER",
                 {Str(u"table type", u"html"), WithId(Str(u"record", u"Other"), "otheritem")}),
             "other"),
  };
  if (!splash.empty()) {
    tables.push_back(Str(u"table", u"SPLASH", {Num(u"data", 0)}));
    book.items.push_back(MakeImageItem(splash));
  }
  book.root = WithKey(Num(u"root", 0, std::move(tables)), 0);
  return book;
}

std::uint32_t RowOf(const Book& book, std::string_view id) {
  std::string error;
  const auto layout = LayOutBook(book, error);
  EXPECT_TRUE(layout) << error;
  if (!layout) return 0;
  const auto it = std::find_if(layout->ids.begin(), layout->ids.end(),
                               [id](const auto& e) { return e.first == id; });
  EXPECT_NE(it, layout->ids.end()) << id;
  return it == layout->ids.end() ? 0 : it->second;
}

}  // namespace vrok::test
