#pragma once
// A small book shared by the cursor and schema tests:
//
//   root
//   |- table "BOOK"            (book)   table type "html", is path 256
//   |  |- footnotes            (fns)    footnote "first", footnote "second"
//   |  |- hierarchy item "A"   (a)      table "INNER" (inner), field f1, f2, f3
//   |  `- hierarchy item "B"   (b)
//   `- table "OTHER"           (other)  table type "definitions", html "x", footnotes

#include <gtest/gtest.h>

#include "content/content_database.h"
#include "content/writer/book_writer.h"
#include "support/test_books.h"

namespace vrok::test {

inline Book FixtureBook() {
  Book book;
  book.root =
      Num(u"root", 0,
          {WithId(Str(u"table", u"BOOK",
                      {Str(u"table type", u"html"), Num(u"is path", 256),
                       WithId(Num(u"footnotes", 0,
                                  {Str(u"footnote", u"first"), Str(u"footnote", u"second")}),
                              "fns"),
                       WithId(Str(u"hierarchy item", u"A",
                                  {WithId(Str(u"field", u"f1"), "f1"), Str(u"field", u"f2"),
                                   WithId(Str(u"field", u"f3"), "f3"),
                                   WithId(Str(u"table", u"INNER", {Str(u"table type", u"grid")}),
                                          "inner")}),
                              "a"),
                       WithId(Str(u"hierarchy item", u"B"), "b")}),
                  "book"),
           WithId(Str(u"table", u"OTHER",
                      {Str(u"table type", u"definitions"), Str(u"html", u"x"),
                       WithId(Num(u"footnotes", 0, {Str(u"footnote", u"other note")}), "ofns")}),
                  "other")});
  return book;
}

// The fixture written to a temporary folder, with its layout at hand.
struct Fixture : TestBook {
  Book book = FixtureBook();
  Fixture() : TestBook(FixtureBook()) {}
  RowIndex Row(std::string_view id) const { return (*this)[id]; }
};

}  // namespace vrok::test
