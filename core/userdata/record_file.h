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
//  - A lone "<index>.new" is installed only when it proves to be the index
//    of the data file as it is (every entry in place, the file exactly
//    covered); any other is renamed aside (".bad", ".bad1", ...).
//
// Damage. Before anything is rewritten, the files as found are copied aside
// (".bad", ".bad1", ..., keeping their modes) and a notice says where:
//  - a data file whose version record is not 1: an empty pair replaces it;
//  - an index that is missing (beside a data file with records), empty,
//    torn, or has an entry outside the data file: the index is rebuilt from
//    the data file by walking its records with the scanner the store gives
//    (together with the entries of the old index that still make sense).
//    Records deleted since the last compaction may come back; none is lost.
//    Without a scanner, the readable entries are kept and the others read as
//    failures (Length and Read give -1) and are dropped by compaction.
// When no copy can be kept, the pair is opened read-only instead.
//
// Links and other odd files. No name of the pair is ever followed as a
// symbolic link: a record file that is a link, a FIFO or a device is
// refused (the store is failed, with a notice); temporaries and ".new" files
// are created exclusively after removing whatever had their name. Files
// keep their mode across rewrites; new ones are private (0600).
//
// Sharing. The pair is locked ("<data>.lock", an advisory lock) for as long
// as it is open. When another process holds the lock, or the files or their
// folder cannot be written, the pair is opened read-only: every record can
// be read, nothing is repaired, changed or compacted, and ReadOnly() says
// why.
//
// Failures are results: an operation in the failed state, or on a record
// number out of range, or whose write fails, or on a read-only pair,
// returns -1 and leaves the records in memory as they were. (When only the
// final folder flush of an index save fails, the new index may already be
// in place on disk; the next change rewrites it from memory.)

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/userdata/file_system.h"

namespace vrok {

class RecordFile {
 public:
  // The length of the record that starts with head (its first
  // kScanHeadBytes bytes, or fewer at the end of the file), `left` being the
  // bytes from there to the end of the data file; 0 when no record of the
  // store starts there. Used to rebuild a damaged index.
  static constexpr std::size_t kScanHeadBytes = 12;
  using Scanner =
      std::function<std::uint64_t(std::span<const std::uint8_t> head, std::uint64_t left)>;

  // Why a pair is read-only.
  enum class ReadOnlyReason {
    kNone,
    kLocked,       // another process has the pair open
    kNotWritable,  // the files or their folder cannot be written
    kNoCopy,       // damage was found but no copy could be kept aside
  };

  // Something the user must be told about the opening.
  struct Notice {
    enum class What {
      kDataMissing,    // path: the missing data file (the store is failed)
      kNotAFile,       // path: a link, FIFO or device (the store is failed)
      kUnreadable,     // path: cannot be opened (the store is failed)
      kBadVersion,     // path: data file; aside: its copy ("" when none kept)
      kIndexRebuilt,   // path: index (missing or damaged); aside: copy of the data file
      kStrayNewIndex,  // path: the "<index>.new" that did not belong; aside: where it is
    };
    What what;
    std::string path;
    std::string aside;
  };

  // Opens the pair, or creates it when neither file exists. The object is
  // failed (and touches no file) when the data file is missing beside an
  // index, or a file of the pair cannot be opened or is not a plain file.
  RecordFile(std::string indexPath, std::string dataPath, FileSystem& files = RealFileSystem(),
             Scanner scanner = {});
  // Compacts the pair unless failed or read-only, then unlocks it.
  virtual ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  bool Failed() const { return failed_; }
  bool ReadOnly() const { return readOnly_ != ReadOnlyReason::kNone; }
  ReadOnlyReason WhyReadOnly() const { return readOnly_; }
  const std::vector<Notice>& Notices() const { return notices_; }
  const std::string& IndexPath() const { return indexPath_; }
  const std::string& DataPath() const { return dataPath_; }

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
  bool OpenData();
  void TakeLock();
  bool FinishInterruptedCompaction();
  bool BelongsToData(const std::string& index);
  bool CreatePair(bool indexFirst);
  // Copies the files of the pair that exist aside under the first free
  // ".bad" suffix; the data file's copy, or nothing.
  std::optional<std::string> CopyAside();
  // Reads the index; false when it cannot be read. damaged is set when it is
  // torn, empty beside records, or has entries outside the data file.
  bool LoadIndex(bool& damaged);
  void Rebuild(bool indexMissing);
  std::vector<Entry> Scan();
  bool Writable() const { return !failed_ && readOnly_ == ReadOnlyReason::kNone; }
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
  Scanner scanner_;
  FileSystem::Handle lock_ = FileSystem::kNoFile;
  std::vector<Notice> notices_;
  ReadOnlyReason readOnly_ = ReadOnlyReason::kNone;
  bool failed_ = true;
  bool indexPending_ = false;  // the index of a committed compaction is still "<index>.new"
};

}  // namespace vrok
