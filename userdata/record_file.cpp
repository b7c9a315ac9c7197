#include "userdata/record_file.h"

#include <algorithm>
#include <array>
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
bool WriteFlushed(FileSystem& files, const std::string& path, std::span<const std::uint8_t> bytes) {
  const auto file = files.Create(path);
  if (file == FileSystem::kNoFile) return false;
  const bool ok = files.WriteAt(file, 0, bytes) && files.Sync(file);
  files.Close(file);
  return ok;
}

// Replaces path by a file with exactly these bytes: it is either the old
// file or the new one at every instant.
bool ReplaceFile(FileSystem& files, const std::string& path, std::span<const std::uint8_t> bytes) {
  const std::string temp = path + ".tmp";
  if (!WriteFlushed(files, temp, bytes) || !files.Rename(temp, path)) {
    files.Remove(temp);
    return false;
  }
  return files.SyncFolderOf(path);
}

bool CopyFile(FileSystem& files, const std::string& from, const std::string& to) {
  const auto in = files.Open(from);
  if (in == FileSystem::kNoFile) return false;
  const auto out = files.Create(to);
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

}  // namespace

RecordFile::RecordFile(std::string indexPath, std::string dataPath, FileSystem& files)
    : files_(files), indexPath_(std::move(indexPath)), dataPath_(std::move(dataPath)) {
  failed_ = !OpenPair();
  if (failed_) {
    files_.Close(data_);
    data_ = FileSystem::kNoFile;
    entries_.clear();
  }
}

RecordFile::~RecordFile() {
  if (!failed_) Compact();
  files_.Close(data_);
}

bool RecordFile::OpenPair() {
  // Temporaries of an index save or a pair creation cut short hold nothing
  // that the pair needs.
  for (const auto& temp : {indexPath_ + ".tmp", indexPath_ + ".new.tmp", dataPath_ + ".tmp"}) {
    if (files_.Exists(temp).value_or(false)) files_.Remove(temp);
  }
  if (!FinishInterruptedCompaction()) return false;

  const auto hasIndex = files_.Exists(indexPath_);
  const auto hasData = files_.Exists(dataPath_);
  if (!hasIndex || !hasData) return false;
  if (!*hasData) return !*hasIndex && CreatePair(/*indexFirst=*/false);

  data_ = files_.Open(dataPath_);
  const auto size = data_ == FileSystem::kNoFile ? std::nullopt : files_.Size(data_);
  if (!size) return false;
  std::array<std::uint8_t, 2> version{};
  const bool versionOk =
      *size >= version.size() && files_.ReadAt(data_, 0, version) && version == kVersionRecord;
  if (!*hasIndex) {
    // A data file alone: only a new pair cut short before its index was
    // written is completed; anything else is left as it is.
    if (!versionOk || *size != kVersionRecord.size()) return false;
  } else if (versionOk) {
    dataSize_ = std::min(*size, kMaxU32);
    return LoadIndex();
  }
  files_.Close(data_);
  data_ = FileSystem::kNoFile;
  if (!*hasIndex) return CreatePair(/*indexFirst=*/false);
  // Index first: if this stops half-way, the data file still has the wrong
  // version and the next opening starts over, keeping another copy.
  return CopyAside() && CreatePair(/*indexFirst=*/true);
}

bool RecordFile::FinishInterruptedCompaction() {
  const std::string newIndex = indexPath_ + ".new";
  const std::string newData = dataPath_ + ".new";
  const auto hasNewIndex = files_.Exists(newIndex);
  const auto hasNewData = files_.Exists(newData);
  const auto hasData = files_.Exists(dataPath_);
  if (!hasNewIndex || !hasNewData || !hasData) return false;
  if (*hasNewIndex && !*hasNewData) {
    // Committed: the data file is the compacted one; install its index.
    return *hasData && files_.Rename(newIndex, indexPath_) && files_.SyncFolderOf(indexPath_);
  }
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

bool RecordFile::CopyAside() {
  for (int n = 0; n < kMaxAsideSuffix; ++n) {
    const std::string suffix = n == 0 ? ".bad" : ".bad" + std::to_string(n);
    const auto indexTaken = files_.Exists(indexPath_ + suffix);
    const auto dataTaken = files_.Exists(dataPath_ + suffix);
    if (!indexTaken || !dataTaken) return false;
    if (*indexTaken || *dataTaken) continue;
    return CopyFile(files_, indexPath_, indexPath_ + suffix) &&
           CopyFile(files_, dataPath_, dataPath_ + suffix) && files_.SyncFolderOf(dataPath_);
  }
  return false;
}

bool RecordFile::LoadIndex() {
  const auto file = files_.Open(indexPath_);
  if (file == FileSystem::kNoFile) return false;
  const auto size = files_.Size(file);
  bool ok = size && *size <= kMaxIndexBytes;
  std::vector<std::uint8_t> bytes;
  if (ok) {
    bytes.resize(*size / 8 * 8);  // a torn last entry is ignored
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
    if (!IsValid(e)) e = kBadEntry;
    entries_.push_back(e);
  }
  // The version record lies at the start of the data file (checked above);
  // an index that lost it would number the user's records from 0 and hide
  // the first.
  if (entries_.empty()) entries_.push_back(kVersionEntry);
  if (!IsValid(entries_[0])) entries_[0] = kVersionEntry;
  return true;
}

int RecordFile::Count() const { return failed_ ? -1 : static_cast<int>(entries_.size()); }

const RecordFile::Entry* RecordFile::EntryAt(int i) const {
  if (!InRange(i)) return nullptr;
  const Entry& e = entries_[static_cast<std::size_t>(i)];
  return IsValid(e) ? &e : nullptr;
}

bool RecordFile::WritePayload(std::span<const std::uint8_t> bytes, Entry& entry) {
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
  if (!SaveIndex(entries)) return -1;
  entries_ = std::move(entries);
  return 0;
}

int RecordFile::Append(std::span<const std::uint8_t> bytes) {
  Entry entry;
  if (failed_ || entries_.size() >= std::numeric_limits<int>::max() ||
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
  if (failed_) return -1;
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
  const auto out = files_.Create(newData);
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

  ok = ok && WriteFlushed(files_, newIndex, EncodeIndex(entries));
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
