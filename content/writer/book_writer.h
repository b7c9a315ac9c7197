#pragma once
// BookWriter: the exact inverse of ContentDatabase. It lays a tree of nodes
// out as the three content files: rows breadth first, each node's children
// ordered by field id (runs keep their order), field ids in order of first
// appearance, string 0 the empty text.
//
// Texts may name rows and items: "{{row:ID}}" becomes the row of the node
// whose id is ID, "{{item:N}}" the item number N (which must exist), and
// "{{open}}" a literal "{{". A "{{row:" or "{{item:" that cannot be resolved
// is refused; any other "{{" is kept as text.
//
// Keys: a node's key stays the same across editions as long as the node
// does. An explicit key is kept (two equal ones are refused); a node with an
// id gets a key hashed from the id, and where ids hash alike the one that
// sorts first keeps the hash and the others move on to the next free number;
// any other node gets one hashed from its parent's key, its field and its
// place in its run (moved on the same way on a clash). The root
// has key 0 unless given one: key 0 marks pages that take no bookmark.
// Keys from format::kReservedKeysFrom up are only ever given explicitly.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vrok {

struct BookNode {
  std::u16string field;
  std::u16string type = u"number";   // "string": the value is the text's id
  std::u16string text;               // used when type is "string" or textValue is set
  std::uint32_t value = 0;           // used otherwise
  std::string ref;                   // when set, the value is the row of the node with this id
  std::optional<std::uint32_t> key;  // assigned when absent
  std::string id;                    // the source's name for the node, if any
  std::vector<BookNode> children;
  // A node of another type that still carries a text (a questionnaire's
  // controls are typed "radio button", "check box", ... and show a label):
  // its value is the text's string id, as for a "string" node.
  bool textValue = false;
  // On a table: true to sort the lists its search runs over, false to keep
  // their order on purpose (the compiler then only warns).
  std::optional<bool> sort;
};

struct Book {
  std::uint16_t stamp1 = 1;
  std::uint16_t stamp2 = 1;
  std::uint32_t stamp3 = 1;
  BookNode root;
  std::vector<std::vector<std::uint8_t>> items;  // binary items, raw bytes
};

// The rows as they are written; used by the writer and by tests.
struct LaidOutRow {
  std::uint32_t record = 0;  // the node's place in document order
  std::uint32_t parent = 0;
  std::uint16_t field = 0;
  std::uint16_t type = 0;
  std::uint32_t value = 0;
  std::uint32_t key = 0;
  std::uint32_t followers = 0;
  std::uint32_t keyOrder = 0;
  bool isString = false;   // a "string" row: its value is a string id
  bool keepOrder = false;  // a table with "sort": false
};

struct BookLayout {
  std::vector<std::u16string> fieldNames;
  std::vector<std::u16string> typeNames;
  std::vector<std::uint32_t> fieldNameStrings;  // string id of each field name
  std::vector<std::uint32_t> typeNameStrings;   // string id of each type name
  // The strings by id, stored UTF-8 end to end: string i is
  // [stringStarts[i], stringStarts[i + 1]); 0 is the empty text (a text
  // row's value is its id).
  std::string stringBytes;
  std::vector<std::uint64_t> stringStarts{0};
  std::u16string String(std::uint32_t id) const;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> tables;  // (string id, row)
  std::vector<LaidOutRow> rows;
  std::vector<const BookNode*> nodes;                      // each row's node; only from LayOutBook
  std::vector<std::pair<std::string, std::uint32_t>> ids;  // (id, row), sorted by id
  std::uint32_t largestKey = 0;
  std::uint32_t followerRange = 0;
};

// The deepest nesting a book may have: the root is at depth 0, and a node
// at this depth may have no children. Deeper trees are refused.
constexpr std::uint32_t kMaxBookDepth = 1024;

// Lays the book out; on failure gives nothing and sets error.
std::optional<BookLayout> LayOutBook(const Book& book, std::string& error);

struct BookWriteResult {
  bool ok = false;
  std::string message;  // names the offending node when !ok
};

// Writes "<folder>/VROK-Vrok-Data.pdb", "-Strings.pdb" and
// "-Binary-PPC.pdb", replacing an older book there. What holds:
// - A refused book, or any error the writer meets (a failed write, sync or
//   rename), leaves the folder with the old book (or none, if it had none)
//   and says so.
// - The new files are written and synced in the folder ".vrok-book-staging"
//   beside the old ones, and that folder renamed ".vrok-book-ready" once
//   they are complete; then each file is renamed into place. Three names
//   cannot change in one step: if the process dies during these three
//   renames, the folder holds a mix of old and new files until the next
//   WriteBook (or FinishInterruptedCommit) on it moves the rest of the new
//   book into place before anything else.
BookWriteResult WriteBook(const Book& book, const std::string& folder);

// For tests: failRename(step) makes rename number `step` fail (0 is the
// commit of the staging folder, 1 to 3 the three files); with abandon set
// the writer then stops as if the process had died there.
struct CommitFaults {
  std::function<bool(int step)> failRename;
  bool abandon = false;
};
BookWriteResult WriteBook(const Book& book, const std::string& folder, const CommitFaults* faults);
// Writes one more file of the book into the staging folder, once the three
// content files are complete there (the search index, made from them): it
// is committed with them, all or nothing. Gets the staging folder and the
// file to write; false with a reason stops the whole write.
using StageExtra =
    std::function<bool(const std::string& staging, const std::string& file, std::string& error)>;

// The same for a book already laid out (LayOutBook of the same book). Only
// the layout and the book's stamps and items are read: the book's nodes may
// be freed before the call.
BookWriteResult WriteBook(const Book& book, const BookLayout& layout, const std::string& folder,
                          const CommitFaults* faults = nullptr, const StageExtra* extra = nullptr);

// Completes a replacement that was cut off after its commit, and removes
// the leftovers of one cut off before it. False, with error set, when the
// files cannot be moved.
bool FinishInterruptedCommit(const std::string& folder, std::string& error);

// An image item: variant count, 11-byte variant records (width and height
// at +0 and +2, data offset at +5), then each variant's encoded bytes.
struct ImageVariant {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::vector<std::uint8_t> bytes;
};
std::vector<std::uint8_t> MakeImageItem(const std::vector<ImageVariant>& variants);

}  // namespace vrok
