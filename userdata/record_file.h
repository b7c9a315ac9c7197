#pragma once
// A pair of files holding numbered records of the user's data (bookmarks,
// notes), in the handheld's format:
//
//   index file  bare array of 8-byte entries, entry i = record i:
//               +0 u32 LE  offset of the payload in the data file
//               +4 u32 LE  length of the payload
//   data file   payloads anywhere; record 0 is the version record, the two
//               bytes 01 00 at offset 0. Bytes no entry refers to are garbage
//               until the next compaction.
//
// A change writes its payload at the end of the data file and then rewrites
// the whole (small) index; payload bytes never move except in Compact().
//
// Crash safety. Every write is flushed before the step that depends on it,
// and every replacement of a file is a rename of a flushed temporary, so a
// crash at any instant leaves a pair in which every record that existed
// before the operation is still there, byte for byte:
//  - Index save: write "<index>.tmp", fsync, rename over the index, fsync the
//    folder. The index is always the old one or the new one.
//  - Append, Insert, Replace: payload written and fsynced at the end of the
//    data file before the index save; an interrupted change leaves only
//    unreferenced bytes.
//  - Compact: write the live records to "<data>.new" and their new index to
//    "<index>.new", fsync both; then rename "<data>.new" over the data file
//    (the commit point), then "<index>.new" over the index, then fsync the
//    folder. Because renames reach the disk in order, an opening finds one of:
//      neither ".new" file   the old or the new pair, complete;
//      both ".new" files     not committed: the old pair is intact and both
//                            ".new" files are removed (the index one first);
//      only "<index>.new"    committed: the data file is the compacted one
//                            and "<index>.new" its index; it is renamed over
//                            the index to finish (if that rename fails while
//                            the pair is open, later index saves replace
//                            "<index>.new" until it can be installed);
//      only "<data>.new"     not committed; removed (if the data file exists).
//    "<index>.new" is only ever written after "<data>.new" is complete, and
//    abandoning a compaction removes it before "<data>.new", so "only
//    <index>.new" never describes an uncommitted compaction.
//  - A new pair is written data file first; a data file alone holding just
//    the version record is such a pair cut short and is completed.
//  - A data file whose version record is not 1 is copied aside (".bad",
//    ".bad1", ...) together with its index before an empty pair replaces it.
//
// Untrusted input. Entries that do not lie inside the data file at opening
// are kept in their place (as 0xFFFFFFFF, 0xFFFFFFFF) but read as failures
// (Length and Read give -1); compaction drops them. Other records stay
// readable.
//
// Failures are results: an operation in the failed state, or on a record
// number out of range, or whose write fails, returns -1 and leaves the
// records in memory as they were. (When only the final folder flush of an
// index save fails, the new index may already be in place on disk; the next
// change rewrites it from memory.)

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "userdata/file_system.h"

namespace vrok {

class RecordFile {
 public:
  // Opens the pair, or creates it when neither file exists. The object is
  // failed (and touches no file) when only one of them exists.
  RecordFile(std::string indexPath, std::string dataPath, FileSystem& files = RealFileSystem());
  // Compacts the pair unless failed.
  virtual ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  bool Failed() const { return failed_; }

  // Number of records, the version record included; -1 when failed.
  int Count() const;
  // Adds a record at the end. 0 or -1.
  int Append(std::span<const std::uint8_t> bytes);
  // Adds a record before record i (i below Count). 0 or -1.
  int Insert(int i, std::span<const std::uint8_t> bytes);
  // Gives record i new contents. 0 or -1.
  int Replace(int i, std::span<const std::uint8_t> bytes);
  // Drops record i / records i to j inclusive; later records move down. 0 or -1.
  int Remove(int i);
  int RemoveRange(int i, int j);
  // Exchanges the places of records i and j. 0 or -1.
  int Swap(int i, int j);

  // Length of record i in bytes; -1 when it cannot be read.
  std::int64_t Length(int i) const;
  // Reads bytes [from, to) of record i into buffer (to == 0: to the end of
  // the record). Returns the number of bytes read, or -1 when the range is
  // not inside the record or does not fit the buffer.
  std::int64_t Read(int i, std::span<std::uint8_t> buffer, std::uint32_t from = 0,
                    std::uint32_t to = 0);
  // The whole of record i; nothing when it cannot be read.
  std::optional<std::vector<std::uint8_t>> ReadAll(int i);

  // Rewrites the data file with only the live records, in index order,
  // after the version record. 0 or -1.
  int Compact();

 private:
  struct Entry {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
  };
  // Never inside any data file: an offset of 2^32 - 1 leaves no room for a length.
  static constexpr Entry kBadEntry{0xFFFFFFFF, 0xFFFFFFFF};
  static constexpr Entry kVersionEntry{0, 2};

  bool OpenPair();
  bool FinishInterruptedCompaction();
  bool CreatePair(bool indexFirst);
  bool CopyAside();
  bool LoadIndex();
  bool IsValid(const Entry& e) const {
    return e.offset <= dataSize_ && e.length <= dataSize_ - e.offset;
  }
  const Entry* EntryAt(int i) const;
  bool InRange(int i) const {
    return !failed_ && i >= 0 && static_cast<std::size_t>(i) < entries_.size();
  }
  bool WritePayload(std::span<const std::uint8_t> bytes, Entry& entry);
  static std::vector<std::uint8_t> EncodeIndex(const std::vector<Entry>& entries);
  bool SaveIndex(const std::vector<Entry>& entries);
  void InstallPendingIndex();
  int Commit(std::vector<Entry> entries);
  bool IsCompact() const;
  void AbandonCompaction(const std::string& newIndex, const std::string& newData);

  FileSystem& files_;
  std::string indexPath_;
  std::string dataPath_;
  FileSystem::Handle data_ = FileSystem::kNoFile;
  std::vector<Entry> entries_;
  std::uint64_t dataSize_ = 0;  // bytes of the data file that entries may refer to
  bool failed_ = true;
  bool indexPending_ = false;  // the index of a committed compaction is still "<index>.new"
};

}  // namespace vrok
