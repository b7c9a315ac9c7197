#pragma once
// The three content files built in memory from a laid-out book, ready to be
// written: used by WriteBook between the layout and the commit.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "content/internal/format.h"
#include "content/writer/book_writer.h"

namespace vrok::writer {

// One container file: its records are written out straight from where they
// lie (data records from the blobs, which must outlive the container).
class Container {
 public:
  explicit Container(std::string name) : name_(std::move(name)) {}

  void AddRecord(std::vector<std::uint8_t> bytes);

  // A packed array, one record per chunk; entry(index, chunkBytes, bit)
  // writes one entry.
  void AddArray(
      const format::PackedArray& a,
      const std::function<void(std::uint64_t, std::span<std::uint8_t>, std::uint64_t)>& entry);

  // Data records of 65000 bytes, the last one shorter; not copied.
  void AddData(std::span<const std::uint8_t> data);

  // Whether the container can be written: at most 65535 records, offsets
  // within 32 bits.
  bool Check(std::string& error) const;

  // Writes the file and syncs it; false on any failure.
  bool WriteTo(const std::string& path) const;

 private:
  std::string name_;
  std::deque<std::vector<std::uint8_t>> owned_;
  std::vector<std::span<const std::uint8_t>> records_;
};

// A location table over blobs laid end to end, then the blobs themselves:
// copied into `owned`, or left where they are (Locate, then `data` set).
struct Blobs {
  std::vector<std::uint8_t> owned;
  std::span<const std::uint8_t> data;
  std::vector<std::uint32_t> locations;
  std::uint32_t largest = 0;

  bool Add(std::span<const std::uint8_t> bytes);  // false past 65536 data records
  bool Locate(std::uint64_t at);                  // a blob starting at byte `at`
};

// The encoded book. The containers point into the blobs, so it is filled in
// place and never moved.
struct EncodedBook {
  EncodedBook() = default;
  EncodedBook(const EncodedBook&) = delete;
  EncodedBook& operator=(const EncodedBook&) = delete;

  Blobs strings, items;
  std::optional<Container> data, stringsFile, binaryFile;
};

// Encodes the layout (and the book's stamps and items) into `out`; false,
// with error set, when the book does not fit the format.
bool EncodeBook(const Book& book, const BookLayout& layout, EncodedBook& out, std::string& error);

}  // namespace vrok::writer
