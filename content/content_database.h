#pragma once
// The read-only content of the book: a data file (node table and name
// lists), a strings file and a binary file of figures, opened from a path
// prefix ("<folder>/VROK-Vrok") and read on demand.
//
// Data file, after its container header (see format.h):
//   info record (32 bytes): version 4, stamps (16, 16, 32 bits), field-name
//     count (16), type-name count (16), table count, row count, largest key,
//     follower range (32 bits each)
//   field-name list, value-type-name list (packed StringIds)
//   table directory (packed StringId + row)
//   node table (packed rows: key, parent, field, followers, type, value:32,
//     key order)
// Strings file: info record (20 bytes: version, stamps, string count,
//   largest location), location table, string data.
// Binary file: info record (20 bytes: version 5, 8 unread bytes, item count,
//   largest location), location table, item data.
//
// Opening never fails loudly: a missing or mismatched data or strings file,
// one that is not a regular file, or geometry that does not fit the files,
// leaves an *empty* database (RowCount 0, every read fails) and a reason. A
// ready database without rows is no book either (IsBook). A missing or damaged binary file only
// makes every figure unreadable. Nothing is cached beyond the name lists.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "content/internal/content_file.h"
#include "content/internal/format.h"
#include "content/types.h"

namespace vrok {

// Everything derived from the info records at open; read by the dump tool.
struct ContentGeometry {
  std::uint32_t formatVersion = 0;
  std::uint16_t stamp1 = 0;
  std::uint16_t stamp2 = 0;
  std::uint32_t stamp3 = 0;
  std::uint16_t fieldNameCount = 0;
  std::uint16_t typeNameCount = 0;
  std::uint32_t tableCount = 0;
  std::uint32_t rowCount = 0;
  std::uint32_t largestKey = 0;
  std::uint32_t followerRange = 0;
  std::uint32_t stringCount = 0;
  std::uint32_t largestStringLocation = 0;
  std::uint32_t itemCount = 0;
  std::uint32_t largestItemLocation = 0;

  // Widths in bits.
  std::uint16_t keyWidth = 0;
  std::uint16_t rowWidth = 0;
  std::uint16_t fieldWidth = 0;
  std::uint16_t followerWidth = 0;
  std::uint16_t typeWidth = 0;
  std::uint16_t stringIdWidth = 0;
  std::uint16_t stringLocationWidth = 0;
  std::uint16_t itemLocationWidth = 0;
  std::uint16_t nodeRowWidth = 0;
  std::uint16_t directoryEntryWidth = 0;

  format::PackedArray fieldNames, typeNames, tableDirectory, nodeTable;
  format::PackedArray stringLocations, itemLocations;

  // Absolute byte offsets of the sections.
  std::uint64_t fieldNamesStart = 0;
  std::uint64_t typeNamesStart = 0;
  std::uint64_t tableDirectoryStart = 0;
  std::uint64_t nodeTableStart = 0;
  std::uint64_t stringLocationsStart = 0;
  std::uint64_t stringDataStart = 0;
  std::uint64_t itemLocationsStart = 0;
  std::uint64_t itemDataStart = 0;
  bool hasBinary = false;
};

class ContentDatabase {
 public:
  // prefix: folder and file-name prefix, e.g. "/opt/vrok/VROK-Vrok".
  explicit ContentDatabase(const std::string& prefix);
  ContentDatabase(const ContentDatabase&) = delete;
  ContentDatabase& operator=(const ContentDatabase&) = delete;

  // Ready: every check passed and the name lists are loaded.
  bool IsReady() const { return ready_; }
  // Ready with at least the root row: something the reader can show.
  bool IsBook() const { return ready_ && geo_.rowCount > 0; }
  // Why the files are not a book, in a few plain words; empty when they are.
  const std::string& FailureReason() const { return failure_; }
  const ContentGeometry& Geometry() const { return geo_; }

  std::uint32_t RowCount() const { return ready_ ? geo_.rowCount : 0; }

  // Node rows.
  bool ReadRow(RowIndex row, NodeRow& out) const;
  // Decodes rows first..first+count-1 with one read per chunk touched;
  // false when any of them is out of range or unreadable.
  bool ReadRows(RowIndex first, std::uint32_t count, std::vector<NodeRow>& out) const;
  // A row's parent, field and followers only: what the searches over the
  // rows, sorted by parent and field, compare. Cheaper than a whole row.
  struct RowPlace {
    RowIndex parent = 0;
    FieldId field = 0;
    std::uint32_t followers = 0;
  };
  bool ReadPlace(RowIndex row, RowPlace& out) const;
  RowIndex FindChild(RowIndex parentRow, FieldId field) const;
  // Rows decoded so far; lets benchmarks count row reads per search.
  std::uint64_t RowReads() const { return rowReads_; }
  NodeKey KeyOfRow(RowIndex row) const;  // 0 for a row out of range
  RowIndex RowOfKey(NodeKey key) const;  // the key itself when no row has it

  // Names.
  FieldId FieldIdOf(std::u16string_view name) const;  // kNoField when unknown
  TypeId TypeIdOf(std::u16string_view name) const;    // type-name count when unknown
  const std::u16string& TypeName(TypeId type) const;  // empty text when out of range
  bool IsStringType(TypeId type) const {
    return type < isStringType_.size() && isStringType_[type];
  }
  RowIndex TableRow(std::u16string_view tableName) const;  // 0 when unknown
  const std::vector<std::u16string>& FieldNames() const { return fieldNames_; }
  const std::vector<std::u16string>& TypeNames() const { return typeNames_; }
  // Table directory in file order: (name, row).
  const std::vector<std::pair<std::u16string, RowIndex>>& Tables() const { return tables_; }

  // Strings and binary items. The length operations give 0, and the reads
  // false, for an id out of range or a location that lies outside its file.
  bool ReadString(StringId id, std::u16string& text) const;
  std::uint32_t StringByteLength(StringId id) const;
  std::uint32_t BinaryItemSize(std::uint32_t item) const;
  // Reads length bytes starting offset bytes into the item; false when the
  // range is not inside the item.
  bool ReadBinary(std::uint32_t item, std::span<std::uint8_t> dest, std::uint32_t offset) const;

 private:
  struct Extent {
    std::uint64_t start = 0;
    std::uint64_t length = 0;
  };

  bool Fail(std::string reason);  // records the reason; false
  bool OpenFiles(const std::string& prefix);
  bool ComputeGeometry();
  bool LoadNameList(const format::PackedArray& array, std::uint64_t start,
                    std::vector<std::u16string>& names);
  bool LoadTableDirectory();
  bool ReadEntry(const ContentFile& file, const format::PackedArray& array, std::uint64_t start,
                 std::uint64_t index, std::uint32_t& value) const;
  // Entries index and index + 1 (which must exist) with one read where
  // they share a chunk.
  bool ReadEntryPair(const ContentFile& file, const format::PackedArray& array, std::uint64_t start,
                     std::uint64_t index, std::uint32_t& value, std::uint32_t& next) const;
  bool LocateEntry(const ContentFile& file, const format::PackedArray& array,
                   std::uint64_t tableStart, std::uint64_t index, std::uint64_t dataStart,
                   Extent& extent) const;
  bool LocateString(StringId id, Extent& extent) const;
  bool LocateItem(std::uint32_t item, Extent& extent) const;
  void DecodeRow(std::span<const std::uint8_t> bytes, std::uint64_t bit, RowIndex row,
                 NodeRow& out) const;
  // The bytes of one row, from the byte its first bit is in, with zeros
  // after them; the bit the row starts at in the first byte.
  using RowBytes = std::array<std::uint8_t, 32>;
  bool FetchRow(RowIndex row, RowBytes& bytes, unsigned& bit) const;

  ContentFile data_, strings_, binary_;
  ContentGeometry geo_;
  bool ready_ = false;
  std::string failure_;
  mutable std::uint64_t rowReads_ = 0;

  std::vector<std::u16string> fieldNames_, typeNames_;
  std::vector<bool> isStringType_;
  std::vector<std::pair<std::u16string, RowIndex>> tables_;
  // Looked up by name on every schema query: hashed, and by a view of the
  // name without a copy.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view name) const noexcept {
      return std::hash<std::u16string_view>{}(name);
    }
  };
  template <typename T>
  using ByName = std::unordered_map<std::u16string, T, NameHash, std::equal_to<>>;
  ByName<FieldId> fieldIds_;
  ByName<TypeId> typeIds_;
  ByName<RowIndex> tableRows_;
};

// Whether `path` names a regular file at least a container header long; never
// blocks, whatever is in the file's place. The reader checks its content
// files with it before opening them.
bool IsUsableContentFile(const std::string& path);

}  // namespace vrok
