#include "core/userdata/record_file.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <limits>

namespace vrok {
namespace {

constexpr std::uint64_t kMaxU32 = std::numeric_limits<std::uint32_t>::max();
// An index larger than this is not one of ours; the pair is left alone.
constexpr std::uint64_t kMaxIndexBytes = std::uint64_t{8} << 22;
constexpr std::array<std::uint8_t, 2> kVersionRecord = {0x01, 0x00};
constexpr std::uint32_t kVersionLength = kVersionRecord.size();
constexpr int kMaxAsideSuffix = 1000;

void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<std::uint8_t>(v >> (8 * k));
}

std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Creates path with exactly these bytes and flushes it. A partial file may
// be left behind on failure.
bool WriteFlushed(FileSystem& files, const std::string& path, std::span<const std::uint8_t> bytes,
                  unsigned mode) {
  const auto file = files.Create(path, mode);
  if (file == FileSystem::kNoFile) return false;
  const bool ok = files.WriteAt(file, 0, bytes) && files.Sync(file);
  files.Close(file);
  return ok;
}

// Replaces path by a file with exactly these bytes, and the same mode: it
// is either the old file or the new one at every instant.
bool ReplaceFile(FileSystem& files, const std::string& path, std::span<const std::uint8_t> bytes) {
  return WriteWhole(files, path, bytes);
}

bool CopyFile(FileSystem& files, const std::string& from, const std::string& to) {
  const auto in = files.OpenForReading(from);
  if (in == FileSystem::kNoFile) return false;
  const auto out = files.Create(to, files.ModeOf(from).value_or(FileSystem::kPrivateMode));
  bool ok = out != FileSystem::kNoFile;
  const auto size = files.Size(in);
  ok = ok && size.has_value();
  std::vector<std::uint8_t> buffer(1 << 16);
  for (std::uint64_t at = 0; ok && at < *size; at += buffer.size()) {
    const auto chunk = std::span(buffer).first(std::min<std::uint64_t>(buffer.size(), *size - at));
    ok = files.ReadAt(in, at, chunk) && files.WriteAt(out, at, chunk);
  }
  ok = ok && files.Sync(out);
  files.Close(in);
  files.Close(out);
  return ok;
}

// The first suffix ".bad", ".bad1", ... under which none of the paths has a
// name yet.
std::optional<std::string> FreeAsideSuffix(FileSystem& files,
                                           std::initializer_list<std::string> paths) {
  for (int n = 0; n < kMaxAsideSuffix; ++n) {
    const std::string suffix = n == 0 ? ".bad" : ".bad" + std::to_string(n);
    bool free = true;
    for (const auto& path : paths) {
      const auto kind = files.KindOf(path + suffix);
      if (!kind) return std::nullopt;
      free = free && *kind == FileSystem::Kind::kMissing;
    }
    if (free) return suffix;
  }
  return std::nullopt;
}

}  // namespace

RecordFile::RecordFile(std::string indexPath, std::string dataPath, FileSystem& files,
                       Scanner scanner)
    : files_(files),
      indexPath_(std::move(indexPath)),
      dataPath_(std::move(dataPath)),
      scanner_(std::move(scanner)) {
  failed_ = false;  // while opening: the pair may be written
  failed_ = !OpenPair();
  if (failed_) {
    files_.Close(data_);
    data_ = FileSystem::kNoFile;
    entries_.clear();
  }
}

RecordFile::~RecordFile() {
  if (Writable()) Compact();
  files_.Close(data_);
  if (lock_ != FileSystem::kNoFile) files_.Unlock(lock_);
}

void RecordFile::TakeLock() {
  bool heldByAnother = false;
  lock_ = files_.Lock(dataPath_ + ".lock", heldByAnother);
  if (heldByAnother) {
    readOnly_ = ReadOnlyReason::kLocked;
  } else if (!files_.CanChangeFolderOf(dataPath_)) {
    readOnly_ = ReadOnlyReason::kNotWritable;
  }
}

bool RecordFile::OpenPair() {
  TakeLock();
  // A link, FIFO or device under a name of the pair is never opened.
  for (const auto& path : {indexPath_, dataPath_}) {
    const auto kind = files_.KindOf(path);
    if (!kind) {
      notices_.push_back({Notice::What::kUnreadable, path, {}});
      return false;
    }
    if (*kind == FileSystem::Kind::kLink || *kind == FileSystem::Kind::kOther) {
      notices_.push_back({Notice::What::kNotAFile, path, {}});
      return false;
    }
  }
  if (Writable()) {
    // Temporaries of an index save or a pair creation cut short hold nothing
    // that the pair needs (nor does anything else planted under their names).
    for (const auto& temp : {indexPath_ + ".tmp", indexPath_ + ".new.tmp", dataPath_ + ".tmp"}) {
      const auto kind = files_.KindOf(temp);
      if (kind && *kind != FileSystem::Kind::kMissing) files_.Remove(temp);
    }
    if (!FinishInterruptedCompaction()) return false;
  }

  const auto hasIndex = files_.Exists(indexPath_);
  const auto hasData = files_.Exists(dataPath_);
  if (!hasIndex || !hasData) return false;
  if (!*hasData) {
    if (*hasIndex) {
      notices_.push_back({Notice::What::kDataMissing, dataPath_, {}});
      return false;
    }
    if (Writable()) return CreatePair(/*indexFirst=*/false);
    // Nothing stored, and nothing can be: an empty store.
    entries_ = {kVersionEntry};
    dataSize_ = 0;
    return true;
  }
  return OpenData();
}

bool RecordFile::OpenData() {
  const bool hasIndex = files_.Exists(indexPath_).value_or(false);
  if (Writable()) {
    data_ = files_.Open(dataPath_);
    if (data_ == FileSystem::kNoFile) {
      data_ = files_.OpenForReading(dataPath_);
      if (data_ != FileSystem::kNoFile) readOnly_ = ReadOnlyReason::kNotWritable;
    }
  } else {
    data_ = files_.OpenForReading(dataPath_);
  }
  if (data_ == FileSystem::kNoFile) {
    notices_.push_back({Notice::What::kUnreadable, dataPath_, {}});
    return false;
  }
  const auto size = files_.Size(data_);
  if (!size) return false;
  std::array<std::uint8_t, 2> version{};
  const bool versionOk =
      *size >= version.size() && files_.ReadAt(data_, 0, version) && version == kVersionRecord;
  if (versionOk) {
    dataSize_ = std::min(*size, kMaxU32);
    if (!hasIndex) {
      // A new pair cut short before its index was written is completed;
      // records without an index are found again in the data file.
      if (*size == kVersionRecord.size()) {
        entries_ = {kVersionEntry};
        return !Writable() || SaveIndex(entries_);
      }
      Rebuild(/*indexMissing=*/true);
      return true;
    }
    bool damaged = false;
    if (!LoadIndex(damaged)) return false;
    if (damaged) Rebuild(/*indexMissing=*/false);
    return true;
  }
  files_.Close(data_);
  data_ = FileSystem::kNoFile;
  if (!Writable()) {
    notices_.push_back({Notice::What::kBadVersion, dataPath_, {}});
    return false;
  }
  // Index first: if this stops half-way, the data file still has the wrong
  // version and the next opening starts over, keeping another copy.
  const auto aside = CopyAside();
  if (!aside) return false;
  notices_.push_back({Notice::What::kBadVersion, dataPath_, *aside});
  return CreatePair(/*indexFirst=*/true);
}

bool RecordFile::BelongsToData(const std::string& index) {
  // The index a compaction wrote for its data file: the version record at
  // the start, then every record in order, covering the file exactly.
  const auto file = files_.OpenForReading(index);
  const auto data = files_.OpenForReading(dataPath_);
  const auto indexSize = file == FileSystem::kNoFile ? std::nullopt : files_.Size(file);
  const auto dataSize = data == FileSystem::kNoFile ? std::nullopt : files_.Size(data);
  std::array<std::uint8_t, 2> version{};
  bool ok = indexSize && dataSize && *indexSize >= 8 && *indexSize % 8 == 0 &&
            *indexSize <= kMaxIndexBytes && *dataSize >= kVersionLength &&
            files_.ReadAt(data, 0, version) && version == kVersionRecord;
  std::vector<std::uint8_t> bytes;
  if (ok) {
    bytes.resize(*indexSize);
    ok = files_.ReadAt(file, 0, bytes);
  }
  files_.Close(file);
  files_.Close(data);
  if (!ok) return false;
  std::uint64_t total = kVersionLength;
  for (std::size_t at = 0; at < bytes.size(); at += 8) {
    const Entry e{GetU32(&bytes[at]), GetU32(&bytes[at + 4])};
    if (e.offset == 0 && e.length <= kVersionLength) continue;  // the version record's bytes
    if (e.offset != total) return false;
    total += e.length;
  }
  return total == *dataSize;
}

bool RecordFile::FinishInterruptedCompaction() {
  const std::string newIndex = indexPath_ + ".new";
  const std::string newData = dataPath_ + ".new";
  // Links and the like under these names were not made by a compaction.
  for (const auto& path : {newIndex, newData}) {
    const auto kind = files_.KindOf(path);
    if (kind == FileSystem::Kind::kLink || kind == FileSystem::Kind::kOther) files_.Remove(path);
  }
  const auto hasNewIndex = files_.Exists(newIndex);
  const auto hasNewData = files_.Exists(newData);
  const auto hasData = files_.Exists(dataPath_);
  if (!hasNewIndex || !hasNewData || !hasData) return false;
  if (*hasNewIndex && !*hasNewData && *hasData) {
    // Committed: the data file is the compacted one; install its index.
    if (BelongsToData(newIndex))
      return files_.Rename(newIndex, indexPath_) && files_.SyncFolderOf(indexPath_);
    // Not the index of this data file: kept aside, never installed.
    const auto suffix = FreeAsideSuffix(files_, {newIndex});
    if (!suffix || !files_.Rename(newIndex, newIndex + *suffix) || !files_.SyncFolderOf(newIndex)) {
      return false;
    }
    notices_.push_back({Notice::What::kStrayNewIndex, newIndex, newIndex + *suffix});
    return true;
  }
  if (*hasNewIndex && !*hasNewData) return true;  // no data file: left as found
  if (*hasNewIndex && !files_.Remove(newIndex)) return false;
  // A "<data>.new" without a data file is not ours to remove.
  if (*hasNewData && *hasData) files_.Remove(newData);
  return true;
}

bool RecordFile::CreatePair(bool indexFirst) {
  const auto index = EncodeIndex({kVersionEntry});
  const auto writeIndex = [&] { return ReplaceFile(files_, indexPath_, index); };
  const auto writeData = [&] { return ReplaceFile(files_, dataPath_, kVersionRecord); };
  const bool ok = indexFirst ? writeIndex() && writeData() : writeData() && writeIndex();
  if (!ok) return false;
  data_ = files_.Open(dataPath_);
  entries_ = {kVersionEntry};
  dataSize_ = kVersionRecord.size();
  return data_ != FileSystem::kNoFile;
}

std::optional<std::string> RecordFile::CopyAside() {
  const auto suffix = FreeAsideSuffix(files_, {indexPath_, dataPath_});
  if (!suffix) return std::nullopt;
  // The data file first: it holds the records.
  if (!CopyFile(files_, dataPath_, dataPath_ + *suffix)) return std::nullopt;
  if (files_.Exists(indexPath_).value_or(false) &&
      !CopyFile(files_, indexPath_, indexPath_ + *suffix)) {
    return std::nullopt;
  }
  if (!files_.SyncFolderOf(dataPath_)) return std::nullopt;
  return dataPath_ + *suffix;
}

bool RecordFile::LoadIndex(bool& damaged) {
  damaged = false;
  const auto file = files_.OpenForReading(indexPath_);
  if (file == FileSystem::kNoFile) {
    notices_.push_back({Notice::What::kUnreadable, indexPath_, {}});
    return false;
  }
  const auto size = files_.Size(file);
  bool ok = size.has_value();
  std::vector<std::uint8_t> bytes;
  if (ok) {
    // A torn last entry is not read; an index too large to be one of ours
    // is not read at all.
    damaged = *size % 8 != 0 || *size > kMaxIndexBytes;
    bytes.resize(std::min(*size, kMaxIndexBytes) / 8 * 8);
    ok = files_.ReadAt(file, 0, bytes);
  }
  files_.Close(file);
  if (!ok) return false;
  entries_.clear();
  entries_.reserve(bytes.size() / 8);
  for (std::size_t at = 0; at < bytes.size(); at += 8) {
    Entry e{GetU32(&bytes[at]), GetU32(&bytes[at + 4])};
    // An entry outside the data file stays unreadable even when later
    // appends grow the file under it.
    if (!IsValid(e)) {
      e = kBadEntry;
      damaged = true;
    }
    entries_.push_back(e);
  }
  // The version record lies at the start of the data file (checked above);
  // an index that lost it would number the user's records from 0 and hide
  // the first.
  if (entries_.empty()) {
    entries_.push_back(kVersionEntry);
    damaged = damaged || dataSize_ > kVersionLength;
  }
  if (!IsValid(entries_[0])) entries_[0] = kVersionEntry;
  return true;
}

std::vector<RecordFile::Entry> RecordFile::Scan() {
  std::vector<Entry> found;
  std::array<std::uint8_t, kScanHeadBytes> head{};
  std::uint64_t at = kVersionLength;
  while (at < dataSize_) {
    const std::uint64_t left = dataSize_ - at;
    const auto part = std::span(head).first(std::min<std::uint64_t>(head.size(), left));
    if (!files_.ReadAt(data_, at, part)) break;
    const std::uint64_t length = scanner_(part, left);
    if (length == 0 || length > left) break;
    found.push_back(Entry{static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(length)});
    at += length;
  }
  return found;
}

void RecordFile::Rebuild(bool indexMissing) {
  if (Writable()) {
    const auto aside = CopyAside();
    if (!aside) {
      // Nothing is rewritten that no copy keeps.
      readOnly_ = ReadOnlyReason::kNoCopy;
      notices_.push_back({Notice::What::kIndexRebuilt, indexPath_, {}});
    } else {
      notices_.push_back({Notice::What::kIndexRebuilt, indexPath_, *aside});
    }
  } else {
    notices_.push_back({Notice::What::kIndexRebuilt, indexPath_, {}});
  }
  if (indexMissing) entries_ = {kVersionEntry};
  if (scanner_) {
    // The records found in the data file, and those of the old index that
    // the walk did not reach, in the order of the file.
    std::vector<Entry> records = Scan();
    for (std::size_t k = 1; k < entries_.size(); ++k) {
      const Entry& e = entries_[k];
      if (IsValid(e) && !(e.offset == 0 && e.length <= kVersionLength)) records.push_back(e);
    }
    std::sort(records.begin(), records.end(), [](const Entry& a, const Entry& b) {
      return a.offset != b.offset ? a.offset < b.offset : a.length < b.length;
    });
    records.erase(std::unique(records.begin(), records.end(),
                              [](const Entry& a, const Entry& b) {
                                return a.offset == b.offset && a.length == b.length;
                              }),
                  records.end());
    entries_ = {kVersionEntry};
    entries_.insert(entries_.end(), records.begin(), records.end());
  }
  // The rebuilt index goes to disk at once, so that the next opening does
  // not find the damage again.
  if (Writable() && !SaveIndex(entries_)) readOnly_ = ReadOnlyReason::kNoCopy;
}

int RecordFile::Count() const { return failed_ ? -1 : static_cast<int>(entries_.size()); }

const RecordFile::Entry* RecordFile::EntryAt(int i) const {
  if (!InRange(i)) return nullptr;
  const Entry& e = entries_[static_cast<std::size_t>(i)];
  return IsValid(e) ? &e : nullptr;
}

bool RecordFile::WritePayload(std::span<const std::uint8_t> bytes, Entry& entry) {
  if (!Writable()) return false;
  const auto size = files_.Size(data_);
  // Offsets and lengths are 32-bit in the index.
  if (!size || *size > kMaxU32 || bytes.size() > kMaxU32 - *size) return false;
  if (!files_.WriteAt(data_, *size, bytes) || !files_.Sync(data_)) return false;
  entry = Entry{static_cast<std::uint32_t>(*size), static_cast<std::uint32_t>(bytes.size())};
  dataSize_ = *size + bytes.size();
  return true;
}

std::vector<std::uint8_t> RecordFile::EncodeIndex(const std::vector<Entry>& entries) {
  std::vector<std::uint8_t> bytes(entries.size() * 8);
  for (std::size_t k = 0; k < entries.size(); ++k) {
    PutU32(&bytes[8 * k], entries[k].offset);
    PutU32(&bytes[8 * k + 4], entries[k].length);
  }
  return bytes;
}

bool RecordFile::SaveIndex(const std::vector<Entry>& entries) {
  const auto bytes = EncodeIndex(entries);
  if (!indexPending_) return ReplaceFile(files_, indexPath_, bytes);
  // The compacted pair's index still waits as "<index>.new", which an
  // opening would install: keep that file the newest until it is in place.
  if (!ReplaceFile(files_, indexPath_ + ".new", bytes)) return false;
  InstallPendingIndex();
  return true;
}

void RecordFile::InstallPendingIndex() {
  if (!files_.Rename(indexPath_ + ".new", indexPath_)) return;
  indexPending_ = false;
  files_.SyncFolderOf(indexPath_);
}

int RecordFile::Commit(std::vector<Entry> entries) {
  if (!Writable() || !SaveIndex(entries)) return -1;
  entries_ = std::move(entries);
  return 0;
}

int RecordFile::Append(std::span<const std::uint8_t> bytes) {
  Entry entry;
  if (!Writable() || entries_.size() >= std::numeric_limits<int>::max() ||
      !WritePayload(bytes, entry)) {
    return -1;
  }
  auto entries = entries_;
  entries.push_back(entry);
  return Commit(std::move(entries));
}

int RecordFile::Insert(int i, std::span<const std::uint8_t> bytes) {
  Entry entry;
  if (!InRange(i) || !WritePayload(bytes, entry)) return -1;
  auto entries = entries_;
  entries.insert(entries.begin() + i, entry);
  return Commit(std::move(entries));
}

int RecordFile::Replace(int i, std::span<const std::uint8_t> bytes) {
  Entry entry;
  if (!InRange(i) || !WritePayload(bytes, entry)) return -1;
  auto entries = entries_;
  entries[static_cast<std::size_t>(i)] = entry;
  return Commit(std::move(entries));
}

int RecordFile::Remove(int i) { return RemoveRange(i, i); }

int RecordFile::RemoveRange(int i, int j) {
  if (!InRange(i) || !InRange(j) || j < i) return -1;
  auto entries = entries_;
  entries.erase(entries.begin() + i, entries.begin() + j + 1);
  return Commit(std::move(entries));
}

int RecordFile::Swap(int i, int j) {
  if (!InRange(i) || !InRange(j)) return -1;
  auto entries = entries_;
  std::swap(entries[static_cast<std::size_t>(i)], entries[static_cast<std::size_t>(j)]);
  return Commit(std::move(entries));
}

std::int64_t RecordFile::Length(int i) const {
  const Entry* e = EntryAt(i);
  return e ? std::int64_t{e->length} : -1;
}

std::int64_t RecordFile::Read(int i, std::span<std::uint8_t> buffer, std::uint32_t from,
                              std::uint32_t to) {
  const Entry* e = EntryAt(i);
  if (!e) return -1;
  if (to == 0) to = e->length;
  if (to > e->length || from > to || buffer.size() < to - from) return -1;
  if (!files_.ReadAt(data_, std::uint64_t{e->offset} + from, buffer.first(to - from))) return -1;
  return to - from;
}

std::optional<std::vector<std::uint8_t>> RecordFile::ReadAll(int i) {
  const std::int64_t length = Length(i);
  if (length < 0) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  if (Read(i, bytes) != length) return std::nullopt;
  return bytes;
}

bool RecordFile::IsCompact() const {
  std::uint64_t total = 0;
  for (const auto& e : entries_) {
    if (!IsValid(e) || e.offset != total) return false;
    total += e.length;
  }
  const auto size = files_.Size(data_);
  return size && *size == total;
}

void RecordFile::AbandonCompaction(const std::string& newIndex, const std::string& newData) {
  // The index first: "<index>.new" without "<data>.new" would mean committed.
  const bool indexGone = !files_.Exists(newIndex).value_or(true) || files_.Remove(newIndex);
  if (indexGone) files_.Remove(newData);
}

int RecordFile::Compact() {
  if (!Writable()) return -1;
  if (indexPending_) InstallPendingIndex();
  if (IsCompact()) return 0;
  const std::string newIndex = indexPath_ + ".new";
  const std::string newData = dataPath_ + ".new";

  std::uint32_t longest = 0;
  for (const auto& e : entries_) {
    if (IsValid(e)) longest = std::max(longest, e.length);
  }
  std::vector<std::uint8_t> buffer(longest);
  std::vector<Entry> entries;
  entries.reserve(entries_.size());
  // The new file starts with the version record wherever the index has it,
  // so that it is always a valid data file.
  const auto out =
      files_.Create(newData, files_.ModeOf(dataPath_).value_or(FileSystem::kPrivateMode));
  bool ok = out != FileSystem::kNoFile && files_.WriteAt(out, 0, kVersionRecord);
  std::uint64_t total = kVersionLength;
  for (const auto& e : entries_) {
    if (!ok) break;
    if (!IsValid(e)) continue;  // points outside the data file: nothing to keep
    if (e.offset == 0 && e.length <= kVersionLength) {
      entries.push_back(e);  // these bytes are already at the start
      continue;
    }
    const auto bytes = std::span(buffer).first(e.length);
    // Entries sharing bytes are copied apart; the copy must still fit 32 bits.
    ok = e.length <= kMaxU32 - total && files_.ReadAt(data_, e.offset, bytes) &&
         files_.WriteAt(out, total, bytes);
    entries.push_back(Entry{static_cast<std::uint32_t>(total), e.length});
    total += e.length;
  }
  ok = ok && files_.Sync(out);
  files_.Close(out);

  ok = ok && WriteFlushed(files_, newIndex, EncodeIndex(entries),
                          files_.ModeOf(indexPath_).value_or(FileSystem::kPrivateMode));
  if (!ok || !files_.Rename(newData, dataPath_)) {
    AbandonCompaction(newIndex, newData);
    return -1;
  }

  // Committed: the data file is the compacted one and "<index>.new" its
  // index, installed now or, failing that, at the next save or opening.
  files_.Close(data_);
  data_ = files_.Open(dataPath_);
  entries_ = std::move(entries);
  dataSize_ = total;
  indexPending_ = true;
  InstallPendingIndex();
  if (data_ != FileSystem::kNoFile) return 0;
  failed_ = true;  // nothing can be read without the data file
  return -1;
}

}  // namespace vrok
