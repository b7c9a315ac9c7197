#pragma once
// BookWriter: the exact inverse of ContentDatabase. It lays a tree of nodes
// out as the three content files: rows breadth first, each node's children
// ordered by field id (runs keep their order), field ids in order of first
// appearance, string 0 the empty text.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vrok {

struct BookNode {
  std::u16string field;
  std::u16string type = u"number";  // "string": the value is the text's id
  std::u16string text;              // used when type is "string"
  std::uint32_t value = 0;          // used otherwise
  std::optional<std::uint32_t> key;  // assigned when absent
  std::string id;                    // the source's name for the node, if any
  std::vector<BookNode> children;
};

struct Book {
  std::uint16_t stamp1 = 1;
  std::uint16_t stamp2 = 1;
  std::uint32_t stamp3 = 1;
  BookNode root;
  std::vector<std::vector<std::uint8_t>> items;  // binary items, raw bytes
};

struct BookWriteResult {
  bool ok = false;
  std::string message;  // names the offending node when !ok
};

// Writes "<folder>/VROK-Vrok-Data.pdb", "-Strings.pdb" and
// "-Binary-PPC.pdb". The files appear together or not at all.
BookWriteResult WriteBook(const Book& book, const std::string& folder);

// An image item: variant count, 11-byte variant records (width and height
// at +0 and +2, data offset at +5), then each variant's encoded bytes.
struct ImageVariant {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::vector<std::uint8_t> bytes;
};
std::vector<std::uint8_t> MakeImageItem(const std::vector<ImageVariant>& variants);

}  // namespace vrok
