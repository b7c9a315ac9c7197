#include "support/test_books.h"

#include <gtest/gtest.h>

#include "content/book_files.h"

namespace vrok::test {

std::string WriteTestBook(const Book& book, const TempDir& dir) {
  const auto result = WriteBook(book, dir.Path());
  EXPECT_TRUE(result.ok) << result.message;
  return dir.File(std::string(format::kPrefixName));
}

TestBook::TestBook(const Book& book) {
  std::string error;
  auto laidOut = LayOutBook(book, error);
  EXPECT_TRUE(laidOut) << error;
  if (laidOut) layout = std::move(*laidOut);
  prefix = WriteTestBook(book, dir);
  db = std::make_unique<ContentDatabase>(prefix);
}

RowIndex TestBook::operator[](std::string_view id) const {
  for (const auto& [name, row] : layout.ids) {
    if (name == id) return row;
  }
  ADD_FAILURE() << "no node with id " << id;
  return 0;
}

std::u16string TestBook::Decimal(std::string_view id) const {
  const std::string s = std::to_string((*this)[id]);
  return std::u16string(s.begin(), s.end());
}

}  // namespace vrok::test
