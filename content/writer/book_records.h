#pragma once
// A book's nodes as compact records: what the writer lays out. A source
// reader fills them directly, so that a large book never exists as a tree
// of BookNodes; a BookNode tree converts to them and back.
//
// Nodes are in document order: a node's descendants follow it, up to its
// `end`, and its children are the first of them and each one's `end`.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "content/writer/book_writer.h"

namespace vrok {

struct BookRecords {
  enum Kind : std::uint8_t { kNumber, kText, kRef };
  enum Flag : std::uint8_t { kHasKey = 1, kHasId = 2, kSortTrue = 4, kSortFalse = 8 };
  struct Node {
    std::uint32_t end = 0;    // one past its last descendant
    std::uint32_t field = 0;  // name index
    std::uint32_t type = 0;   // name index
    std::uint32_t value = 0;  // the number, the text's index or the ref's index
    Kind kind = kNumber;      // kText: type "string", or another type with a text
    std::uint8_t flags = 0;
  };

  std::vector<Node> nodes;
  std::vector<std::u16string> names;  // field and type names, each once
  // Texts as stored (UTF-8 of one- to three-byte sequences; a zero byte is
  // kept here and refused by the layout), end to end.
  std::string texts;
  std::vector<std::uint64_t> textStarts{0};  // text i is [starts[i], starts[i + 1])
  // Ids and refs, as given (UTF-8), end to end.
  std::string idBytes;
  std::vector<std::uint64_t> idStarts{0};
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ids;   // (node, id), by node
  std::vector<std::pair<std::uint32_t, std::uint32_t>> keys;  // (node, key), by node
  // Children in an order other than the document's (sorted lists).
  std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> childOrder;

  std::uint32_t Name(std::u16string_view name);
  std::uint32_t AddText(std::string_view stored);
  std::uint32_t AddId(std::string_view id);
  std::string_view Text(std::uint32_t i) const {
    return std::string_view(texts).substr(textStarts[i], textStarts[i + 1] - textStarts[i]);
  }
  std::u16string WideText(std::uint32_t i) const;
  std::string_view IdText(std::uint32_t i) const {
    return std::string_view(idBytes).substr(idStarts[i], idStarts[i + 1] - idStarts[i]);
  }
  // The node's id (empty when it has none) and explicit key.
  std::string_view IdOf(std::uint32_t node) const;
  std::optional<std::uint32_t> KeyOf(std::uint32_t node) const;
  // The node's children, in their order.
  void Children(std::uint32_t node, std::vector<std::uint32_t>& out) const;

 private:
  std::unordered_map<std::u16string, std::uint32_t> nameIndex_;
};

// Source UTF-8 to stored text: every character beyond U+FFFF becomes its two
// surrogates of three bytes each. Nothing for invalid UTF-8.
std::optional<std::string> StoredText(std::string_view utf8);
// Wide text to stored text; a zero code unit is kept as a zero byte.
std::string StoredText(std::u16string_view text);

// A tree of BookNodes as records; nodes[i] is the BookNode of record i.
BookRecords ToRecords(const BookNode& root, std::vector<const BookNode*>* nodes = nullptr);
// Records back to a tree (for callers that want BookNodes).
BookNode ToBookNode(const BookRecords& records);

// Lays out a book of records; on failure gives nothing and sets error. The
// records are taken over and freed as the layout goes (move them in).
std::optional<BookLayout> LayOutRecords(BookRecords records, std::size_t itemCount,
                                        std::string& error);

}  // namespace vrok
