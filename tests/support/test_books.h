#pragma once
// Test books written with BookWriter into temporary folders; a refused
// book fails the test. The node builders are in book_nodes.h.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "content/content_database.h"
#include "content/writer/book_writer.h"
#include "support/book_nodes.h"
#include "support/temp_dir.h"

namespace vrok::test {

// Writes the book into dir and returns the path prefix to open it with;
// fails the test when the writer refuses it.
std::string WriteTestBook(const Book& book, const TempDir& dir);

// A book written to its own temporary folder and opened, with its rows at
// hand by the ids of the source.
struct TestBook {
  explicit TestBook(const Book& book);
  RowIndex operator[](std::string_view id) const;     // fails the test for an unknown id
  std::u16string Decimal(std::string_view id) const;  // the row as written into links

  TempDir dir;
  BookLayout layout;
  std::string prefix;
  std::unique_ptr<ContentDatabase> db;
};

}  // namespace vrok::test
