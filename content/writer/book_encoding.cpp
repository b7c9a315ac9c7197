#include "content/writer/book_encoding.h"

// Encoding a laid-out book: the name lists, the node table, the strings and
// the items, each container built from records that point into the data.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "content/internal/bits.h"

namespace vrok::writer {

namespace {

void PutBE16(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v >> 8));
  b.push_back(static_cast<std::uint8_t>(v));
}
void PutBE32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(v >> s));
}

bool WriteAllTo(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::optional<format::PackedArray> Array(std::uint64_t n, std::uint16_t w, const char* what,
                                         std::string& error) {
  auto a = format::MakePackedArray(n, w);
  if (!a) error = std::string(what) + ": more than 65535 chunks";
  return a;
}

}  // namespace

void Container::AddRecord(std::vector<std::uint8_t> bytes) {
  owned_.push_back(std::move(bytes));
  records_.emplace_back(owned_.back());
}

void Container::AddArray(
    const format::PackedArray& a,
    const std::function<void(std::uint64_t, std::span<std::uint8_t>, std::uint64_t)>& entry) {
  for (std::uint64_t k = 0; k < a.chunks; ++k) {
    const std::uint64_t first = k * a.capacity;
    const std::uint64_t n = std::min(a.capacity, a.count - first);
    std::vector<std::uint8_t> chunk(k + 1 < a.chunks ? a.stride : (n * a.width + 7) / 8);
    for (std::uint64_t j = 0; j < n; ++j) entry(first + j, chunk, j * a.width);
    AddRecord(std::move(chunk));
  }
}

void Container::AddData(std::span<const std::uint8_t> data) {
  for (std::size_t at = 0; at < data.size(); at += format::kDataRecordSize) {
    const std::size_t n = std::min<std::size_t>(format::kDataRecordSize, data.size() - at);
    records_.emplace_back(data.data() + at, n);
  }
}

bool Container::Check(std::string& error) const {
  if (records_.size() > 65535) {
    error = name_ + ": more than 65535 container records";
    return false;
  }
  std::uint64_t end = format::InfoRecordOffset(records_.size());
  for (const auto& r : records_) end += r.size();
  if (!records_.empty() && end - records_.back().size() > 0xFFFFFFFFu) {
    error = name_ + ": larger than 4 GiB";
    return false;
  }
  return true;
}

bool Container::WriteTo(const std::string& path) const {
  std::vector<std::uint8_t> head;
  std::string title = name_;
  title.resize(32, '\0');
  head.insert(head.end(), title.begin(), title.end());
  head.resize(60, 0);  // attributes, version, dates, modification number, info ids
  head.insert(head.end(), {'D', 'A', 'T', 'A', 'V', 'R', 'O', 'K'});
  head.resize(76, 0);  // unique id seed, next record list
  PutBE16(head, static_cast<std::uint16_t>(records_.size()));
  std::uint64_t offset = format::InfoRecordOffset(records_.size());
  for (std::size_t i = 0; i < records_.size(); ++i) {
    PutBE32(head, static_cast<std::uint32_t>(offset));
    PutBE32(head, static_cast<std::uint32_t>(i & 0xFFFFFF));  // attributes 0, unique id
    offset += records_[i].size();
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return false;
  bool ok = WriteAllTo(fd, head);
  for (const auto& r : records_) ok = ok && WriteAllTo(fd, r);
  ok = ok && ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

bool Blobs::Locate(std::uint64_t at) {
  const std::uint64_t record = at / format::kDataRecordSize;
  if (record > 0xFFFF) return false;
  const auto loc = static_cast<std::uint32_t>(record << 16 | at % format::kDataRecordSize);
  locations.push_back(loc);
  largest = std::max(largest, loc);
  return true;
}

bool Blobs::Add(std::span<const std::uint8_t> bytes) {
  if (!Locate(owned.size())) return false;
  owned.insert(owned.end(), bytes.begin(), bytes.end());
  data = owned;
  return true;
}

bool EncodeBook(const Book& book, const BookLayout& L, EncodedBook& out, std::string& error) {
  if (L.fieldNames.size() > 65535 || L.typeNames.size() > 65535) {
    error = "more than 65535 field or type names";
    return false;
  }
  const auto rowCount = static_cast<std::uint32_t>(L.rows.size());
  const std::uint16_t keyW = format::Bits(L.largestKey);
  const std::uint16_t rowW = format::IndexWidth(rowCount);
  const std::uint16_t fieldW = format::IndexWidth(L.fieldNames.size());
  const std::uint16_t followerW = format::IndexWidth(L.followerRange);
  const std::uint16_t typeW = format::IndexWidth(L.typeNames.size());
  const std::uint64_t stringCount = L.stringStarts.size() - 1;
  const std::uint16_t stringW = format::IndexWidth(stringCount);
  const auto nodeW =
      static_cast<std::uint16_t>(keyW + rowW + fieldW + followerW + typeW + 32 + rowW);

  // Strings and items.
  // The strings are written from the layout's bytes, where they lie.
  Blobs& strings = out.strings;
  if (L.stringBytes.find('\0') != std::string::npos) {
    error = "a text, field name or type name holds a zero character";
    return false;
  }
  for (std::uint64_t i = 0; i < stringCount; ++i) {
    if (!strings.Locate(L.stringStarts[i])) {
      error = "strings: more than 65536 data records";
      return false;
    }
  }
  strings.data =
      std::span(reinterpret_cast<const std::uint8_t*>(L.stringBytes.data()), L.stringBytes.size());
  Blobs& items = out.items;
  for (const auto& item : book.items) {
    if (!items.Add(item)) {
      error = "items: more than 65536 data records";
      return false;
    }
  }

  const auto fieldsA = Array(L.fieldNames.size(), stringW, "field-name list", error);
  const auto typesA = Array(L.typeNames.size(), stringW, "type-name list", error);
  const auto dirA =
      Array(L.tables.size(), static_cast<std::uint16_t>(stringW + rowW), "table directory", error);
  const auto nodesA = Array(rowCount, nodeW, "node table", error);
  const auto stringsA =
      Array(stringCount, format::Bits(strings.largest), "string locations", error);
  const auto itemsA =
      Array(book.items.size(), format::Bits(items.largest), "item locations", error);
  if (!fieldsA || !typesA || !dirA || !nodesA || !stringsA || !itemsA) return false;

  // Data file.
  Container& data = out.data.emplace("VROK-Vrok-Data");
  std::vector<std::uint8_t> info;
  PutBE32(info, format::kDataFormatVersion);
  PutBE16(info, book.stamp1);
  PutBE16(info, book.stamp2);
  PutBE32(info, book.stamp3);
  PutBE16(info, static_cast<std::uint16_t>(L.fieldNames.size()));
  PutBE16(info, static_cast<std::uint16_t>(L.typeNames.size()));
  PutBE32(info, static_cast<std::uint32_t>(L.tables.size()));
  PutBE32(info, rowCount);
  PutBE32(info, L.largestKey);
  PutBE32(info, L.followerRange);
  data.AddRecord(info);
  const auto idList = [stringW](const std::vector<std::uint32_t>& ids) {
    return [&ids, stringW](std::uint64_t i, std::span<std::uint8_t> b, std::uint64_t bit) {
      WriteBits(b, bit, stringW, ids[i]);
    };
  };
  data.AddArray(*fieldsA, idList(L.fieldNameStrings));
  data.AddArray(*typesA, idList(L.typeNameStrings));
  data.AddArray(*dirA, [&](std::uint64_t i, std::span<std::uint8_t> b, std::uint64_t bit) {
    WriteBits(b, bit, stringW, L.tables[i].first);
    WriteBits(b, bit + stringW, rowW, L.tables[i].second);
  });
  data.AddArray(*nodesA, [&](std::uint64_t i, std::span<std::uint8_t> b, std::uint64_t bit) {
    const LaidOutRow& r = L.rows[i];
    for (const auto& [width, value] : {std::pair<unsigned, std::uint32_t>{keyW, r.key},
                                       {rowW, r.parent},
                                       {fieldW, r.field},
                                       {followerW, r.followers},
                                       {typeW, r.type},
                                       {32u, r.value},
                                       {rowW, r.keyOrder}}) {
      WriteBits(b, bit, width, value);
      bit += width;
    }
  });

  // Strings and binary files: info record, location table, data records.
  const auto blobFile = [](Container& c, std::uint32_t version, std::uint32_t stampsOrZero[3],
                           std::uint32_t count, const Blobs& blobs, const format::PackedArray& a) {
    std::vector<std::uint8_t> rec;
    PutBE32(rec, version);
    PutBE16(rec, static_cast<std::uint16_t>(stampsOrZero[0]));
    PutBE16(rec, static_cast<std::uint16_t>(stampsOrZero[1]));
    PutBE32(rec, stampsOrZero[2]);
    PutBE32(rec, count);
    PutBE32(rec, blobs.largest);
    c.AddRecord(rec);
    c.AddArray(a, [&blobs, &a](std::uint64_t i, std::span<std::uint8_t> b, std::uint64_t bit) {
      WriteBits(b, bit, a.width, blobs.locations[i]);
    });
    c.AddData(blobs.data);
  };
  std::uint32_t stamps[3] = {book.stamp1, book.stamp2, book.stamp3};
  std::uint32_t noStamps[3] = {0, 0, 0};
  Container& stringsFile = out.stringsFile.emplace("VROK-Vrok-Strings");
  Container& binaryFile = out.binaryFile.emplace("VROK-Vrok-Binary-PPC");
  blobFile(stringsFile, 1, stamps, static_cast<std::uint32_t>(stringCount), strings, *stringsA);
  blobFile(binaryFile, format::kBinaryFormatVersion, noStamps,
           static_cast<std::uint32_t>(book.items.size()), items, *itemsA);
  return data.Check(error) && stringsFile.Check(error) && binaryFile.Check(error);
}

}  // namespace vrok::writer
