#include "content/content_database.h"

#include <algorithm>
#include <array>
#include <limits>

#include "content/internal/bits.h"
#include "content/utf8.h"

namespace vrok {

namespace {

const std::u16string kEmptyText;

std::string OpenFailure(const char* which, ContentFile::OpenError error) {
  const std::string file = std::string("the ") + which + " file";
  switch (error) {
    case ContentFile::OpenError::kMissing:
      return file + " is missing";
    case ContentFile::OpenError::kNotRegular:
      return file + " is not a regular file";
    default:
      return file + " cannot be opened";
  }
}

// Reads a file's container record count and its info record.
bool ReadInfoRecord(const ContentFile& file, std::span<std::uint8_t> info,
                    std::uint64_t& infoStart) {
  std::array<std::uint8_t, 2> count{};
  if (!file.ReadAt(76, count)) return false;
  infoStart = format::InfoRecordOffset(ReadBE16(count.data()));
  return file.ReadAt(infoStart, info);
}

}  // namespace

ContentDatabase::ContentDatabase(const std::string& prefix) {
  ready_ = OpenFiles(prefix) && ComputeGeometry();
  if (ready_ && !LoadNameList(geo_.fieldNames, geo_.fieldNamesStart, fieldNames_)) {
    ready_ = Fail("the field-name list cannot be read");
  }
  if (ready_ && !LoadNameList(geo_.typeNames, geo_.typeNamesStart, typeNames_)) {
    ready_ = Fail("the value-type-name list cannot be read");
  }
  if (ready_ && !LoadTableDirectory()) ready_ = Fail("the table directory cannot be read");
  if (!ready_) {
    // An empty database: no geometry, no names, every read fails.
    geo_ = ContentGeometry{};
    fieldNames_.clear();
    typeNames_.clear();
    tables_.clear();
    fieldIds_.clear();
    typeIds_.clear();
    tableRows_.clear();
    return;
  }
  for (std::size_t i = 0; i < fieldNames_.size(); ++i) {
    fieldIds_[fieldNames_[i]] = static_cast<FieldId>(i);  // a later duplicate wins
  }
  isStringType_.resize(typeNames_.size());
  for (std::size_t i = 0; i < typeNames_.size(); ++i) {
    typeIds_[typeNames_[i]] = static_cast<TypeId>(i);
    isStringType_[i] = typeNames_[i] == u"string";
  }
  for (const auto& [name, row] : tables_) tableRows_[name] = row;
  if (geo_.rowCount == 0) failure_ = "the data file holds no rows";
}

bool ContentDatabase::Fail(std::string reason) {
  failure_ = std::move(reason);
  return false;
}

bool ContentDatabase::OpenFiles(const std::string& prefix) {
  if (!data_.Open(prefix + std::string(format::kDataSuffix))) {
    return Fail(OpenFailure("data", data_.LastError()));
  }
  std::array<std::uint8_t, format::kDataInfoSize> info{};
  std::uint64_t infoStart = 0;
  if (!ReadInfoRecord(data_, info, infoStart)) {
    return Fail("the data file is too short for its header and info record");
  }
  geo_.formatVersion = ReadBE32(&info[0]);
  if (geo_.formatVersion != format::kDataFormatVersion) {
    return Fail("the data file's format version is " + std::to_string(geo_.formatVersion) +
                ", not " + std::to_string(format::kDataFormatVersion));
  }
  geo_.stamp1 = ReadBE16(&info[4]);
  geo_.stamp2 = ReadBE16(&info[6]);
  geo_.stamp3 = ReadBE32(&info[8]);
  geo_.fieldNameCount = ReadBE16(&info[12]);
  geo_.typeNameCount = ReadBE16(&info[14]);
  geo_.tableCount = ReadBE32(&info[16]);
  geo_.rowCount = ReadBE32(&info[20]);
  geo_.largestKey = ReadBE32(&info[24]);
  geo_.followerRange = ReadBE32(&info[28]);
  geo_.fieldNamesStart = infoStart + format::kDataInfoSize;

  if (!strings_.Open(prefix + std::string(format::kStringsSuffix))) {
    return Fail(OpenFailure("strings", strings_.LastError()));
  }
  std::array<std::uint8_t, format::kStringsInfoSize> sinfo{};
  if (!ReadInfoRecord(strings_, sinfo, infoStart)) {
    return Fail("the strings file is too short for its header and info record");
  }
  const std::uint16_t stamp1 = ReadBE16(&sinfo[4]);
  const std::uint16_t stamp2 = ReadBE16(&sinfo[6]);
  const std::uint32_t stamp3 = ReadBE32(&sinfo[8]);
  geo_.stringCount = ReadBE32(&sinfo[12]);
  geo_.largestStringLocation = ReadBE32(&sinfo[16]);
  geo_.stringLocationsStart = infoStart + format::kStringsInfoSize;

  // The binary file is optional: without it only figures are missing.
  if (binary_.Open(prefix + std::string(format::kBinarySuffix))) {
    std::array<std::uint8_t, format::kBinaryInfoSize> binfo{};
    if (ReadInfoRecord(binary_, binfo, infoStart) &&
        ReadBE32(&binfo[0]) == format::kBinaryFormatVersion) {
      const std::uint32_t count = ReadBE32(&binfo[12]);
      const std::uint32_t largest = ReadBE32(&binfo[16]);
      const auto table = format::MakePackedArray(count, format::Bits(largest));
      const std::uint64_t start = infoStart + format::kBinaryInfoSize;
      if (table && binary_.Contains(start, table->size)) {
        geo_.itemCount = count;
        geo_.largestItemLocation = largest;
        geo_.itemLocationWidth = table->width;
        geo_.itemLocations = *table;
        geo_.itemLocationsStart = start;
        geo_.itemDataStart = start + table->size;
        geo_.hasBinary = true;
      }
    }
  }

  if (stamp1 != geo_.stamp1 || stamp2 != geo_.stamp2 || stamp3 != geo_.stamp3) {
    return Fail("the strings file belongs to another book (its stamps differ)");
  }
  return true;
}

bool ContentDatabase::ComputeGeometry() {
  ContentGeometry& g = geo_;
  g.keyWidth = format::Bits(g.largestKey);
  g.rowWidth = format::IndexWidth(g.rowCount);
  g.fieldWidth = format::IndexWidth(g.fieldNameCount);
  g.followerWidth = format::IndexWidth(g.followerRange);
  g.typeWidth = format::IndexWidth(g.typeNameCount);
  g.stringIdWidth = format::IndexWidth(g.stringCount);
  g.stringLocationWidth = format::Bits(g.largestStringLocation);
  g.nodeRowWidth = static_cast<std::uint16_t>(g.keyWidth + g.rowWidth + g.fieldWidth +
                                              g.followerWidth + g.typeWidth + 32 + g.rowWidth);
  g.directoryEntryWidth = static_cast<std::uint16_t>(g.stringIdWidth + g.rowWidth);

  const auto fields = format::MakePackedArray(g.fieldNameCount, g.stringIdWidth);
  const auto types = format::MakePackedArray(g.typeNameCount, g.stringIdWidth);
  const auto directory = format::MakePackedArray(g.tableCount, g.directoryEntryWidth);
  const auto nodes = format::MakePackedArray(g.rowCount, g.nodeRowWidth);
  const auto locations = format::MakePackedArray(g.stringCount, g.stringLocationWidth);
  if (!fields || !types || !directory || !nodes || !locations) {
    return Fail("the info records give tables too large for any file");
  }
  g.fieldNames = *fields;
  g.typeNames = *types;
  g.tableDirectory = *directory;
  g.nodeTable = *nodes;
  g.stringLocations = *locations;

  // Sizes are below 2^32 * 24 bytes, so these sums cannot overflow.
  g.typeNamesStart = g.fieldNamesStart + g.fieldNames.size;
  g.tableDirectoryStart = g.typeNamesStart + g.typeNames.size;
  g.nodeTableStart = g.tableDirectoryStart + g.tableDirectory.size;
  g.stringDataStart = g.stringLocationsStart + g.stringLocations.size;

  // Every section must lie inside its file.
  if (!data_.Contains(g.nodeTableStart, g.nodeTable.size)) {
    return Fail("the data file is shorter than its node table needs (" +
                std::to_string(data_.Size()) + " bytes, " +
                std::to_string(g.nodeTableStart + g.nodeTable.size) + " needed)");
  }
  if (!strings_.Contains(g.stringLocationsStart, g.stringLocations.size)) {
    return Fail("the strings file is shorter than its location table needs");
  }
  return true;
}

bool ContentDatabase::LoadNameList(const format::PackedArray& array, std::uint64_t start,
                                   std::vector<std::u16string>& names) {
  names.clear();
  std::vector<std::uint8_t> buffer(array.size);
  if (!data_.ReadAt(start, buffer)) return false;
  names.reserve(array.count);
  for (std::uint64_t i = 0; i < array.count; ++i) {
    const auto id =
        StringId{ReadBits(buffer, array.ChunkOffset(i) * 8 + array.BitInChunk(i), array.width)};
    std::u16string name;
    ReadString(id, name);  // an unreadable name stays empty
    names.push_back(std::move(name));
  }
  return true;
}

bool ContentDatabase::LoadTableDirectory() {
  const format::PackedArray& array = geo_.tableDirectory;
  tables_.clear();
  std::vector<std::uint8_t> buffer(array.size);
  if (!data_.ReadAt(geo_.tableDirectoryStart, buffer)) return false;
  tables_.reserve(array.count);
  for (std::uint64_t i = 0; i < array.count; ++i) {
    const std::uint64_t bit = array.ChunkOffset(i) * 8 + array.BitInChunk(i);
    const auto id = StringId{ReadBits(buffer, bit, geo_.stringIdWidth)};
    RowIndex row = ReadBits(buffer, bit + geo_.stringIdWidth, geo_.rowWidth);
    if (row >= geo_.rowCount) row = 0;  // damaged: treat as no such table
    std::u16string name;
    ReadString(id, name);
    tables_.emplace_back(std::move(name), row);
  }
  return true;
}

void ContentDatabase::DecodeRow(std::span<const std::uint8_t> bytes, std::uint64_t bit,
                                RowIndex row, NodeRow& out) const {
  const auto take = [&](unsigned width) {
    const std::uint32_t v = ReadBits(bytes, bit, width);
    bit += width;
    return v;
  };
  out.db = this;
  out.row = row;
  out.key = NodeKey{take(geo_.keyWidth)};
  out.parent = take(geo_.rowWidth);
  out.field = static_cast<FieldId>(take(geo_.fieldWidth));
  out.followers = take(geo_.followerWidth);
  out.type = static_cast<TypeId>(take(geo_.typeWidth));
  out.value = take(32);
  out.keyOrder = take(geo_.rowWidth);
}

bool ContentDatabase::FetchRow(RowIndex row, RowBytes& bytes, unsigned& bit) const {
  if (row >= RowCount()) return false;
  ++rowReads_;
  const format::PackedArray& t = geo_.nodeTable;
  const std::uint64_t first = t.BitInChunk(row);
  // 192 bits plus a 7-bit lead, and zeros after them so that each field
  // can be read a word at a time.
  bytes = {};
  bit = static_cast<unsigned>(first % 8);
  const std::size_t n = (t.width + bit + 7) / 8;
  return data_.ReadAt(geo_.nodeTableStart + t.ChunkOffset(row) + first / 8,
                      std::span(bytes.data(), n));
}

bool ContentDatabase::ReadRow(RowIndex row, NodeRow& out) const {
  RowBytes bytes;
  unsigned bit = 0;
  if (!FetchRow(row, bytes, bit)) return false;
  DecodeRow(bytes, bit, row, out);
  return true;
}

bool ContentDatabase::ReadPlace(RowIndex row, RowPlace& out) const {
  RowBytes bytes;
  unsigned bit = 0;
  if (!FetchRow(row, bytes, bit)) return false;
  // The fields stand in DecodeRow's order: key, parent, field, followers.
  std::uint64_t at = bit + geo_.keyWidth;
  out.parent = ReadBits(bytes, at, geo_.rowWidth);
  at += geo_.rowWidth;
  out.field = static_cast<FieldId>(ReadBits(bytes, at, geo_.fieldWidth));
  at += geo_.fieldWidth;
  out.followers = ReadBits(bytes, at, geo_.followerWidth);
  return true;
}

bool ContentDatabase::ReadRows(RowIndex first, std::uint32_t count,
                               std::vector<NodeRow>& out) const {
  if (first >= RowCount() || count > RowCount() - first) return false;
  const format::PackedArray& t = geo_.nodeTable;
  std::vector<std::uint8_t> buffer;
  std::uint64_t i = first;
  const std::uint64_t end = std::uint64_t{first} + count;
  while (i < end) {
    // The rows of one chunk are contiguous bits: one read for each chunk.
    const std::uint64_t chunkEnd = std::min(end, (i / t.capacity + 1) * t.capacity);
    const std::uint64_t firstBit = t.BitInChunk(i);
    const std::uint64_t lastBit = t.BitInChunk(chunkEnd - 1) + t.width;
    buffer.resize((lastBit + 7) / 8 - firstBit / 8);
    if (!data_.ReadAt(geo_.nodeTableStart + t.ChunkOffset(i) + firstBit / 8, buffer)) {
      return false;
    }
    for (; i < chunkEnd; ++i) {
      ++rowReads_;
      NodeRow row;
      DecodeRow(buffer, t.BitInChunk(i) - firstBit / 8 * 8, static_cast<RowIndex>(i), row);
      out.push_back(row);
    }
  }
  return true;
}

RowIndex ContentDatabase::FindChild(RowIndex p, FieldId f) const {
  if (RowCount() == 0 || p >= RowCount() - 1) return 0;
  std::uint64_t lo = std::uint64_t{p} + 1;
  std::uint64_t hi = RowCount() - 1;
  RowPlace m;
  while (lo < hi) {
    const std::uint64_t mid = lo + (hi - lo) / 2;
    if (!ReadPlace(static_cast<RowIndex>(mid), m)) return 0;
    if (m.parent < p || (m.parent == p && m.field < f)) {
      lo = mid + std::uint64_t{m.followers} + 1;  // skip the whole run
    } else if (m.parent == p && m.field == f) {
      hi = mid;
    } else {
      hi = mid - 1;  // mid > p >= 0, so no underflow
    }
  }
  if (!ReadPlace(static_cast<RowIndex>(hi), m)) return 0;
  return m.parent == p && m.field == f ? static_cast<RowIndex>(hi) : 0;
}

NodeKey ContentDatabase::KeyOfRow(RowIndex row) const {
  NodeRow r;
  return ReadRow(row, r) ? r.key : NodeKey{0};
}

RowIndex ContentDatabase::RowOfKey(NodeKey key) const {
  const auto k = static_cast<std::uint32_t>(key);
  if (RowCount() == 0) return k;
  // The row whose key is the m-th smallest, or false.
  const auto keyed = [this](std::int64_t m, NodeRow& out) {
    NodeRow byIndex;
    return ReadRow(static_cast<RowIndex>(m), byIndex) && ReadRow(byIndex.keyOrder, out);
  };
  std::int64_t lo = 0;
  std::int64_t hi = static_cast<std::int64_t>(RowCount()) - 1;
  std::int64_t m = 0;
  NodeRow r;
  while (lo <= hi) {
    m = (lo + hi) / 2;
    if (!keyed(m, r)) return k;
    const auto rk = static_cast<std::uint32_t>(r.key);
    if (rk < k) {
      lo = m + 1;
    } else if (rk == k) {
      break;
    } else {
      if (m == 0) break;
      hi = m - 1;
    }
  }
  if (keyed(m, r) && r.key == key) return r.row;
  if (m + 1 < static_cast<std::int64_t>(RowCount()) && keyed(m + 1, r) && r.key == key) {
    return r.row;
  }
  return k;
}

FieldId ContentDatabase::FieldIdOf(std::u16string_view name) const {
  const auto it = fieldIds_.find(name);
  return it == fieldIds_.end() ? kNoField : it->second;
}

TypeId ContentDatabase::TypeIdOf(std::u16string_view name) const {
  const auto it = typeIds_.find(name);
  return it == typeIds_.end() ? static_cast<TypeId>(typeNames_.size()) : it->second;
}

const std::u16string& ContentDatabase::TypeName(TypeId type) const {
  return type < typeNames_.size() ? typeNames_[type] : kEmptyText;
}

RowIndex ContentDatabase::TableRow(std::u16string_view tableName) const {
  const auto it = tableRows_.find(tableName);
  return it == tableRows_.end() ? 0 : it->second;
}

bool ContentDatabase::ReadEntry(const ContentFile& file, const format::PackedArray& array,
                                std::uint64_t start, std::uint64_t index,
                                std::uint32_t& value) const {
  if (index >= array.count) return false;
  const std::uint64_t bit = array.BitInChunk(index);
  std::array<std::uint8_t, 5> buffer{};
  const std::size_t n = (array.width + bit % 8 + 7) / 8;
  if (!file.ReadAt(start + array.ChunkOffset(index) + bit / 8, std::span(buffer.data(), n))) {
    return false;
  }
  value = ReadBits(std::span(buffer.data(), n), bit % 8, array.width);
  return true;
}

bool ContentDatabase::ReadEntryPair(const ContentFile& file, const format::PackedArray& array,
                                    std::uint64_t start, std::uint64_t index, std::uint32_t& value,
                                    std::uint32_t& next) const {
  if (index + 1 >= array.count) return false;
  if (index / array.capacity != (index + 1) / array.capacity) {
    // The two entries lie in different chunks.
    return ReadEntry(file, array, start, index, value) &&
           ReadEntry(file, array, start, index + 1, next);
  }
  const std::uint64_t bit = array.BitInChunk(index);
  std::array<std::uint8_t, 9> buffer{};  // two 32-bit entries plus a 7-bit lead
  const std::size_t n = (2 * array.width + bit % 8 + 7) / 8;
  if (!file.ReadAt(start + array.ChunkOffset(index) + bit / 8, std::span(buffer.data(), n))) {
    return false;
  }
  value = ReadBits(std::span(buffer.data(), n), bit % 8, array.width);
  next = ReadBits(std::span(buffer.data(), n), bit % 8 + array.width, array.width);
  return true;
}

bool ContentDatabase::LocateEntry(const ContentFile& file, const format::PackedArray& array,
                                  std::uint64_t tableStart, std::uint64_t index,
                                  std::uint64_t dataStart, Extent& extent) const {
  // Entry i runs from its own location to the next entry's, or to the end
  // of the file for the last one; both locations come from one read.
  if (index >= array.count) return false;
  std::uint32_t here = 0;
  std::uint32_t next = 0;
  const bool last = index + 1 == array.count;
  if (last ? !ReadEntry(file, array, tableStart, index, here)
           : !ReadEntryPair(file, array, tableStart, index, here, next)) {
    return false;
  }
  const std::uint64_t fileSize = file.Size();
  const std::uint64_t from = format::LocationPosition(dataStart, here);
  const std::uint64_t to = last ? fileSize : format::LocationPosition(dataStart, next);
  if (from > to || to > fileSize || to - from > std::numeric_limits<std::uint32_t>::max()) {
    return false;  // damaged locations
  }
  extent.start = from;
  extent.length = to - from;
  return true;
}

bool ContentDatabase::LocateString(StringId id, Extent& extent) const {
  return LocateEntry(strings_, geo_.stringLocations, geo_.stringLocationsStart,
                     static_cast<std::uint32_t>(id), geo_.stringDataStart, extent);
}

bool ContentDatabase::LocateItem(std::uint32_t item, Extent& extent) const {
  if (!geo_.hasBinary) return false;
  return LocateEntry(binary_, geo_.itemLocations, geo_.itemLocationsStart, item, geo_.itemDataStart,
                     extent);
}

bool ContentDatabase::ReadString(StringId id, std::u16string& text) const {
  Extent e;
  if (!LocateString(id, e)) return false;
  if (e.length == 0) {
    text.clear();
    return true;
  }
  std::vector<std::uint8_t> bytes(e.length);
  if (!strings_.ReadAt(e.start, bytes)) return false;
  text = DecodeContentUtf8(bytes);
  return true;
}

std::uint32_t ContentDatabase::StringByteLength(StringId id) const {
  Extent e;
  return LocateString(id, e) ? static_cast<std::uint32_t>(e.length) : 0;
}

std::uint32_t ContentDatabase::BinaryItemSize(std::uint32_t item) const {
  Extent e;
  return LocateItem(item, e) ? static_cast<std::uint32_t>(e.length) : 0;
}

bool ContentDatabase::ReadBinary(std::uint32_t item, std::span<std::uint8_t> dest,
                                 std::uint32_t offset) const {
  Extent e;
  if (!LocateItem(item, e) || offset > e.length || dest.size() > e.length - offset) return false;
  return binary_.ReadAt(e.start + offset, dest);
}

bool IsUsableContentFile(const std::string& path) {
  ContentFile file;
  return file.Open(path) && file.Size() >= format::kContainerHeaderSize;
}

}  // namespace vrok
