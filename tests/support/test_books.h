#pragma once
// Small helpers to write test books with BookWriter.

#include <cstdint>
#include <memory>
#include <string_view>
#include <string>
#include <vector>

#include "content/book_writer.h"
#include "content/content_database.h"
#include "support/temp_dir.h"

namespace vrok::test {

// A node with a number value.
BookNode Num(std::u16string field, std::uint32_t value, std::vector<BookNode> children = {});
// A node with a text.
BookNode Str(std::u16string field, std::u16string text, std::vector<BookNode> children = {});
// The same node with an id (and, optionally, an explicit key).
BookNode WithId(BookNode node, std::string id);
BookNode WithKey(BookNode node, std::uint32_t key);
// A node whose value is the row of the node with that id.
BookNode Ref(std::u16string field, std::string id);

// Writes the book into dir and returns the path prefix to open it with;
// fails the test when the writer refuses it.
std::string WriteTestBook(const Book& book, const TempDir& dir);

// A book written to its own temporary folder and opened, with its rows at
// hand by the ids of the source.
struct TestBook {
  explicit TestBook(const Book& book);
  RowIndex operator[](std::string_view id) const;  // fails the test for an unknown id
  std::u16string Decimal(std::string_view id) const;  // the row as written into links

  TempDir dir;
  BookLayout layout;
  std::string prefix;
  std::unique_ptr<ContentDatabase> db;
};

// The whole contents of a file, and writing it back.
std::vector<std::uint8_t> ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace vrok::test
