#pragma once
// Geometry of the three content files, shared by the reader and BookWriter.
//
// Each file is a Palm database container:
//
//   0      76 bytes   container header fields (not read)
//   76     u16 BE     record count R
//   78     R x 8      record list (not read)
//   78+8R             info record, then packed arrays and data records
//
// A packed array holds N entries of W bits, most significant bit first, cut
// into chunks of C = floor(520000 / W) entries; chunk k starts S * k bytes
// into the array, S = ceil(C * W / 8). Strings and binary items live in data
// records of 65000 bytes addressed as record * 65536 + offset.

#include <cstdint>
#include <optional>
#include <string_view>

namespace vrok::format {

inline constexpr std::uint64_t kContainerHeaderSize = 78;
inline constexpr std::uint64_t kRecordListEntrySize = 8;
inline constexpr std::uint64_t kDataRecordSize = 65000;
inline constexpr std::uint64_t kChunkBits = 520000;
inline constexpr std::uint64_t kMaxChunks = 65535;
inline constexpr std::uint32_t kDataFormatVersion = 4;
inline constexpr std::uint32_t kBinaryFormatVersion = 5;
inline constexpr std::uint64_t kDataInfoSize = 32;
inline constexpr std::uint64_t kStringsInfoSize = 20;
inline constexpr std::uint64_t kBinaryInfoSize = 20;

// Keys from here up are never assigned by the book writer by itself: the
// reader's user data keeps them for pages outside the content.
inline constexpr std::uint32_t kReservedKeysFrom = 0xFFFFFF00;

inline constexpr std::string_view kPrefixName = "VROK-Vrok";
inline constexpr std::string_view kDataSuffix = "-Data.pdb";
inline constexpr std::string_view kStringsSuffix = "-Strings.pdb";
inline constexpr std::string_view kBinarySuffix = "-Binary-PPC.pdb";
// The book-wide search index, written beside the three by vrok-book.
inline constexpr std::string_view kSearchSuffix = "-Search.idx";

// Number of significant bits of x: 0 for 0, 1 for 1, 2 for 2..3, ...
constexpr std::uint16_t Bits(std::uint64_t x) {
  std::uint16_t n = 0;
  while (x != 0) {
    ++n;
    x >>= 1;
  }
  return n;
}

// Width of an index over n things.
constexpr std::uint16_t IndexWidth(std::uint64_t n) { return n == 0 ? 0 : Bits(n - 1); }

// Chunk geometry of one packed array.
struct PackedArray {
  std::uint64_t count = 0;     // N
  std::uint16_t width = 0;     // W, bits per entry
  std::uint64_t capacity = 0;  // C, entries per chunk
  std::uint64_t chunks = 0;    // K
  std::uint64_t stride = 0;    // S, bytes from one chunk to the next
  std::uint64_t size = 0;      // bytes the array occupies

  // Entry i lives at byte ChunkOffset(i) + BitInChunk(i) / 8 of the array.
  std::uint64_t ChunkOffset(std::uint64_t i) const { return (i / capacity) * stride; }
  std::uint64_t BitInChunk(std::uint64_t i) const { return (i % capacity) * width; }
};

// Geometry of an array of n entries of w bits. An array whose entries take
// no bits is one chunk stored in zero bytes, which only makes sense for at
// most one entry; more than that, or more than 65535 chunks, is damaged
// content and gives nothing.
std::optional<PackedArray> MakePackedArray(std::uint64_t n, std::uint16_t w);

// Start of the info record of a file with R container records.
constexpr std::uint64_t InfoRecordOffset(std::uint64_t recordCount) {
  return kContainerHeaderSize + kRecordListEntrySize * recordCount;
}

// Split of a location table entry.
constexpr std::uint64_t LocationRecord(std::uint32_t entry) { return entry >> 16; }
constexpr std::uint64_t LocationOffset(std::uint32_t entry) { return entry & 0xFFFFu; }
constexpr std::uint64_t LocationPosition(std::uint64_t dataStart, std::uint32_t entry) {
  return dataStart + LocationRecord(entry) * kDataRecordSize + LocationOffset(entry);
}

}  // namespace vrok::format
