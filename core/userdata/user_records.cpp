#include "core/userdata/user_records.h"

#include <algorithm>
#include <limits>

namespace vrok {
namespace {

constexpr std::size_t kHeadBytes = 12;
constexpr std::uint64_t kMaxU32 = std::numeric_limits<std::uint32_t>::max();

// Windows-1252 0x80..0x9F; the five unassigned bytes keep their C1 code.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
std::optional<std::u16string> DecodeUtf8(std::span<const std::uint8_t> bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::uint8_t lead = bytes[i];
    std::size_t extra = 0;
    char32_t c = 0, min = 0;
    if (lead < 0x80) {
      c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, c = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, c = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, c = lead & 0x07, min = 0x10000;
    } else {
      return std::nullopt;
    }
    if (extra > bytes.size() - i - 1) return std::nullopt;
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return std::nullopt;
      c = c << 6 | (bytes[i + k] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    AppendUtf16(out, c);
    i += extra + 1;
  }
  return out;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint64_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

std::uint32_t GetU32(std::span<const std::uint8_t> p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// A record: the key and two lengths, then the two parts.
std::optional<std::vector<std::uint8_t>> EncodeRecord(NodeKey key, std::span<const std::uint8_t> a,
                                                      std::span<const std::uint8_t> b) {
  if (a.size() > kMaxU32 || b.size() > kMaxU32) return std::nullopt;
  std::vector<std::uint8_t> out;
  out.reserve(kHeadBytes + a.size() + b.size());
  PutU32(out, static_cast<std::uint32_t>(key));
  PutU32(out, a.size());
  PutU32(out, b.size());
  out.insert(out.end(), a.begin(), a.end());
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

struct RecordParts {
  NodeKey key;
  std::span<const std::uint8_t> a, b;
};

std::optional<RecordParts> DecodeRecord(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeadBytes) return std::nullopt;
  const std::uint32_t lengthA = GetU32(bytes.subspan(4));
  const std::uint32_t lengthB = GetU32(bytes.subspan(8));
  const auto rest = bytes.subspan(kHeadBytes);
  if (lengthA > rest.size() || lengthB > rest.size() - lengthA) return std::nullopt;
  return RecordParts{NodeKey{GetU32(bytes)}, rest.first(lengthA), rest.subspan(lengthA, lengthB)};
}

std::span<const std::uint8_t> AsBytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

template <typename Record, typename Decode>
std::vector<StoredEntry<Record>> Load(RecordFile& file, const PageKeys& keys, Decode decode) {
  std::vector<StoredEntry<Record>> entries;
  for (int r = 1; r < file.Count(); ++r) {
    const auto bytes = file.ReadAll(r);
    auto record = bytes ? decode(*bytes) : std::nullopt;
    if (!record) continue;
    const NodeKey key = record->key;
    entries.push_back({r, keys.rowOfKey(key), std::move(*record)});
  }
  return entries;
}

int AppendRecord(RecordFile& file, const std::optional<std::vector<std::uint8_t>>& bytes) {
  return bytes ? file.Append(*bytes) : -1;
}

StoreFiles FilesIn(const std::string& folder, const std::string& name) {
  const std::string base =
      folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
  return {base + ".vsi", base + ".vsd"};
}

}  // namespace

std::string EncodeStoredText(std::u16string_view text, std::size_t maxBytes) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    const std::size_t before = out.size();
    AppendUtf8(out, c);
    if (out.size() > maxBytes) {
      out.resize(before);  // never half a character
      break;
    }
  }
  return out;
}

std::u16string DecodeStoredText(std::span<const std::uint8_t> bytes) {
  if (auto text = DecodeUtf8(bytes)) return std::move(*text);
  std::u16string out;
  out.reserve(bytes.size());
  for (const std::uint8_t b : bytes) {
    out += b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : static_cast<char16_t>(b);
  }
  return out;
}

std::uint64_t StoredRecordLength(std::span<const std::uint8_t> head, std::uint64_t left) {
  if (head.size() < kHeadBytes || left < kHeadBytes) return 0;
  const std::uint64_t length =
      kHeadBytes + std::uint64_t{GetU32(head.subspan(4))} + std::uint64_t{GetU32(head.subspan(8))};
  return length <= left ? length : 0;
}

std::optional<std::vector<std::uint8_t>> EncodeBookmark(const BookmarkRecord& record) {
  return EncodeRecord(record.key, record.state,
                      AsBytes(EncodeStoredText(record.title, kMaxTitleBytes)));
}

std::optional<BookmarkRecord> DecodeBookmark(std::span<const std::uint8_t> bytes) {
  const auto parts = DecodeRecord(bytes);
  if (!parts) return std::nullopt;
  return BookmarkRecord{parts->key, {parts->a.begin(), parts->a.end()}, DecodeStoredText(parts->b)};
}

std::optional<std::vector<std::uint8_t>> EncodeNote(const NoteRecord& record) {
  return EncodeRecord(record.key, AsBytes(EncodeStoredText(record.title, kMaxTitleBytes)),
                      AsBytes(EncodeStoredText(record.text)));
}

std::optional<NoteRecord> DecodeNote(std::span<const std::uint8_t> bytes) {
  const auto parts = DecodeRecord(bytes);
  if (!parts) return std::nullopt;
  return NoteRecord{parts->key, DecodeStoredText(parts->a), DecodeStoredText(parts->b)};
}

std::vector<StoredEntry<BookmarkRecord>> LoadBookmarks(RecordFile& file, const PageKeys& keys) {
  return Load<BookmarkRecord>(file, keys, DecodeBookmark);
}

std::vector<StoredEntry<NoteRecord>> LoadNotes(RecordFile& file, const PageKeys& keys) {
  return Load<NoteRecord>(file, keys, DecodeNote);
}

int AddBookmark(RecordFile& file, const PageKeys& keys, RowIndex page,
                std::span<const std::uint8_t> state, std::u16string_view title) {
  const BookmarkRecord record{
      keys.keyOfRow(page), {state.begin(), state.end()}, std::u16string(title)};
  return AppendRecord(file, EncodeBookmark(record));
}

int AddNote(RecordFile& file, const PageKeys& keys, RowIndex page, std::u16string_view title,
            std::u16string_view text) {
  const NoteRecord record{keys.keyOfRow(page), std::u16string(title), std::u16string(text)};
  return AppendRecord(file, EncodeNote(record));
}

int RemoveRecords(RecordFile& file, std::vector<int> records) {
  std::sort(records.begin(), records.end(), std::greater<>());
  records.erase(std::unique(records.begin(), records.end()), records.end());
  int result = 0;
  for (const int r : records) {
    if (r < 1 || file.Remove(r) != 0) result = -1;
  }
  return result;
}

StoreFiles BookmarkFiles(const std::string& programFolder) {
  return FilesIn(programFolder, "bookmarks");
}

StoreFiles NoteFiles(const std::string& programFolder) { return FilesIn(programFolder, "notes"); }

std::string NoteDraftFile(const std::string& programFolder) {
  const std::string data = NoteFiles(programFolder).data;
  return data.substr(0, data.size() - 4) + ".draft";
}

}  // namespace vrok
