#include "support/test_books.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "content/format.h"

namespace vrok::test {

BookNode Num(std::u16string field, std::uint32_t value, std::vector<BookNode> children) {
  BookNode n;
  n.field = std::move(field);
  n.value = value;
  n.children = std::move(children);
  return n;
}

BookNode Str(std::u16string field, std::u16string text, std::vector<BookNode> children) {
  BookNode n;
  n.field = std::move(field);
  n.type = u"string";
  n.text = std::move(text);
  n.children = std::move(children);
  return n;
}

BookNode WithId(BookNode node, std::string id) {
  node.id = std::move(id);
  return node;
}

BookNode WithKey(BookNode node, std::uint32_t key) {
  node.key = key;
  return node;
}

BookNode Ref(std::u16string field, std::string id) {
  BookNode n;
  n.field = std::move(field);
  n.ref = std::move(id);
  return n;
}

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

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vrok::test
