#pragma once
// JSON book sources:
//
//   {"stamps": [1, 1, 1],
//    "items": [{"file": "raw.bin"},
//              {"variants": [{"width": 240, "height": 320, "file": "fig/a.png"}]}],
//    "root": {"field": "root", "type": "number", "value": 0, "children": [...]}}
//
// A node has "field", an optional "type" ("string" when it has "text",
// "number" otherwise), and one of "text", "value" or "ref" (the row of the
// node with that "id"); "key", "id" and "children" are optional, and a table
// may ask for its search lists to be sorted ("sort": true). A "text"
// with a type other than "string" and "number" (a questionnaire control
// typed "radio button", say) is stored as a string all the same: the node's
// value is the text's string id. Files are read relative to the source's
// folder. The source is read as a stream of parser events straight into
// compact records (content/book_records.h); nesting deeper than
// kMaxBookDepth is refused.

#include <optional>
#include <string>
#include <string_view>

#include "content/writer/book_records.h"
#include "content/writer/book_writer.h"

namespace vrok {

// A source as read: the stamps and items in `book` (its root left empty),
// the nodes as records.
struct BookSource {
  Book book;
  BookRecords records;
};

// The file is read in blocks as it is parsed, never held whole.
std::optional<BookSource> ReadBookSourceRecords(const std::string& path, std::string& error);
std::optional<BookSource> ParseBookSourceRecords(std::string_view json, const std::string& baseDir,
                                                 std::string& error);

// The same as a tree of BookNodes.
std::optional<Book> ParseBookSource(std::string_view json, const std::string& baseDir,
                                    std::string& error);
std::optional<Book> ReadBookSource(const std::string& path, std::string& error);

}  // namespace vrok
