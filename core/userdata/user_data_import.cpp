#include "core/userdata/user_data_import.h"

#include <nlohmann/json.hpp>

#include "content/hex.h"
#include "content/utf8.h"

namespace vrok {

using nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr const char* kImportSuffix = ".import";
constexpr const char* kMarkerName = "/import.commit";

// A string member as wide text; nothing when missing or not a string.
std::optional<std::u16string> Text(const json& item, const char* name) {
  const auto it = item.find(name);
  if (it == item.end() || !it->is_string()) return std::nullopt;
  return FromUtf8(it->get_ref<const std::string&>());
}

std::optional<NodeKey> Key(const json& item) {
  const auto it = item.find("key");
  if (it == item.end() || !it->is_number_unsigned()) return std::nullopt;
  const auto v = it->get<std::uint64_t>();
  if (v > 0xFFFFFFFFu) return std::nullopt;
  return NodeKey{static_cast<std::uint32_t>(v)};
}

std::uint32_t U32At(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void PutU32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Records 1 up of a pair, read straight from its files (which a RecordFile
// has just opened and closed, so they are whole); nothing when an entry
// does not lie inside the data file.
std::optional<std::vector<Bytes>> ReadPairRaw(FileSystem& files, const StoreFiles& pair) {
  const auto index = ReadWhole(files, pair.index);
  const auto data = ReadWhole(files, pair.data);
  if (!index || !data || index->size() % 8 != 0 || data->size() < 2) return std::nullopt;
  std::vector<Bytes> records;
  for (std::size_t at = 8; at < index->size(); at += 8) {
    const std::uint64_t offset = U32At(*index, at), length = U32At(*index, at + 4);
    if (offset > data->size() || length > data->size() - offset) return std::nullopt;
    records.emplace_back(data->begin() + static_cast<std::ptrdiff_t>(offset),
                         data->begin() + static_cast<std::ptrdiff_t>(offset + length));
  }
  return records;
}

// The files of a fresh compact pair holding records after the version record.
std::optional<std::pair<Bytes, Bytes>> EncodePair(const std::vector<Bytes>& records) {
  Bytes data{1, 0};
  Bytes index;
  PutU32(index, 0);
  PutU32(index, 2);
  for (const Bytes& r : records) {
    if (data.size() > 0xFFFFFFFFu - r.size()) return std::nullopt;
    PutU32(index, static_cast<std::uint32_t>(data.size()));
    PutU32(index, static_cast<std::uint32_t>(r.size()));
    data.insert(data.end(), r.begin(), r.end());
  }
  return std::make_pair(std::move(index), std::move(data));
}

bool WriteNewFile(FileSystem& files, const std::string& path, const Bytes& bytes) {
  const auto file = files.Create(path);
  if (file == FileSystem::kNoFile) return false;
  const bool ok = files.WriteAt(file, 0, bytes) && files.Sync(file);
  files.Close(file);
  return ok;
}

// Both pairs' locks; false when another process holds one (none is then
// kept). A lock that cannot be had for another reason does not stop us: the
// stores themselves work without one then.
struct Locks {
  FileSystem& files;
  std::vector<FileSystem::Handle> held;
  bool Take(const std::string& folder) {
    for (const StoreFiles& pair : {BookmarkFiles(folder), NoteFiles(folder)}) {
      bool byAnother = false;
      const auto h = files.Lock(pair.data + ".lock", byAnother);
      if (byAnother) return false;
      if (h != FileSystem::kNoFile) held.push_back(h);
    }
    return true;
  }
  ~Locks() {
    for (const auto h : held) files.Unlock(h);
  }
};

void FinishImportLocked(const std::string& folder, FileSystem& files) {
  const std::string marker = folder + kMarkerName;
  const auto committed = files.Exists(marker);
  if (!committed) return;  // cannot be told: leave everything for a later start
  const auto names = UserDataFiles(folder);
  bool done = true;
  for (const auto& name : names) {
    const std::string aside = name + kImportSuffix;
    if (files.Exists(aside).value_or(false)) {
      if (*committed)
        done = files.Rename(aside, name) && done;
      else
        files.Remove(aside);
    }
  }
  files.SyncFolderOf(marker);
  if (*committed && done && files.Remove(marker)) files.SyncFolderOf(marker);
}

// Writes the four files (in UserDataFiles order) aside, commits and swaps
// them in; the pairs' locks are held. False when nothing changed.
bool CommitLocked(const std::string& folder, const std::vector<Bytes>& contents,
                  FileSystem& files) {
  const auto names = UserDataFiles(folder);
  if (contents.size() != names.size()) return false;
  const std::string marker = folder + kMarkerName;
  const auto abandon = [&] {
    for (const auto& name : names) files.Remove(name + kImportSuffix);
    files.SyncFolderOf(marker);
    return false;
  };
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!WriteNewFile(files, names[i] + kImportSuffix, contents[i])) return abandon();
  if (!files.SyncFolderOf(marker)) return abandon();
  static constexpr std::uint8_t kMarkerText[] = "vrok import\n";
  if (!WriteWhole(files, marker, std::span(kMarkerText, sizeof kMarkerText - 1)) &&
      !files.Exists(marker).value_or(false))
    return abandon();
  // Committed: from here the next opening finishes the swap if this does not.
  FinishImportLocked(folder, files);
  return true;
}

struct DecodedNote {
  NodeKey key;
  std::u16string title, text;
};

}  // namespace

std::vector<std::string> UserDataFiles(const std::string& folder) {
  const StoreFiles b = BookmarkFiles(folder), n = NoteFiles(folder);
  // Each pair's data file before its index: the order the swap renames them.
  return {b.data, b.index, n.data, n.index};
}

std::u16string ImportErrorMessage(ImportError error) {
  switch (error) {
    case ImportError::kNone:
      return u"";
    case ImportError::kUnreadable:
      return u"This file cannot be read.";
    case ImportError::kNotUtf8:
      return u"This file cannot be imported: it is not UTF-8 text.";
    case ImportError::kDamaged:
      return u"This file cannot be imported: it is cut short or damaged.";
    case ImportError::kNotExport:
      return u"This file cannot be imported: it is not an export of bookmarks and notes.";
    case ImportError::kNewer:
      return u"This file cannot be imported: it was written by a newer version of Vrok.";
    case ImportError::kInUse:
      return u"Bookmarks and notes are open in another Vrok window. Nothing was imported.";
    case ImportError::kWriteFailed:
      return u"Your bookmarks and notes could not be updated. Nothing was imported.";
  }
  return u"";
}

std::optional<ExportFile> ParseExport(std::span<const std::uint8_t> bytes, ImportError& error) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (!FromUtf8(text)) {
    error = ImportError::kNotUtf8;
    return std::nullopt;
  }
  const json doc = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded()) {
    error = ImportError::kDamaged;
    return std::nullopt;
  }
  error = ImportError::kNotExport;
  if (!doc.is_object()) return std::nullopt;
  const auto format = doc.find("format");
  const auto version = doc.find("version");
  if (format == doc.end() || *format != kExportFormat || version == doc.end() ||
      !version->is_number_integer())
    return std::nullopt;
  if (version->get<std::int64_t>() > kExportVersion) {
    error = ImportError::kNewer;
    return std::nullopt;
  }
  if (version->get<std::int64_t>() < 1) return std::nullopt;
  const auto bookmarks = doc.find("bookmarks");
  const auto notes = doc.find("notes");
  if (bookmarks == doc.end() || !bookmarks->is_array() || notes == doc.end() || !notes->is_array())
    return std::nullopt;
  // Every item must be whole; one that is not means the file was altered.
  error = ImportError::kDamaged;
  ExportFile file;
  for (const json& b : *bookmarks) {
    if (!b.is_object()) return std::nullopt;
    ExportItem item;
    const auto key = Key(b);
    const auto title = Text(b, "title");
    const auto data = b.find("data");
    if (!key || !title || data == b.end() || !data->is_string()) return std::nullopt;
    auto state = FromHex(data->get<std::string>());
    if (!state) return std::nullopt;
    item.key = *key;
    item.state = std::move(*state);
    item.title = *title;
    item.page = Text(b, "page").value_or(u"");
    file.bookmarks.push_back(std::move(item));
  }
  for (const json& n : *notes) {
    if (!n.is_object()) return std::nullopt;
    ExportItem item;
    const auto key = Key(n);
    const auto title = Text(n, "title");
    const auto body = Text(n, "text");
    if (!key || !title || !body) return std::nullopt;
    item.key = *key;
    item.title = *title;
    item.text = *body;
    item.page = Text(n, "page").value_or(u"");
    if (const auto m = n.find("modified"); m != n.end() && m->is_string())
      item.modified = ParseIsoTime(m->get<std::string>()).value_or(0);
    file.notes.push_back(std::move(item));
  }
  error = ImportError::kNone;
  return file;
}

std::u16string ImportSummary(const ImportReport& r) {
  const auto n = [](int v) { return *FromUtf8(std::to_string(v)); };
  std::u16string s =
      u"Imported " + n(r.bookmarksAdded) + u" bookmarks and " + n(r.notesAdded) + u" notes.";
  if (r.duplicates > 0) s += u" " + n(r.duplicates) + u" already there were skipped.";
  if (r.replaced > 0) s += u" " + n(r.replaced) + u" notes were replaced by newer ones.";
  if (!r.notInEdition.empty()) {
    s += u" Kept for pages this edition does not have:";
    for (std::size_t i = 0; i < r.notInEdition.size(); ++i)
      s += (i ? u"; " : u" ") + r.notInEdition[i];
    s += u".";
  }
  return s;
}

int CountNoteClashes(const std::string& folder, const ExportFile& file, FileSystem& files) {
  const auto data = ReadUserData(folder, files);
  if (!data) return -1;
  int clashes = 0;
  for (const ExportItem& item : file.notes) {
    const NoteRecord* last = nullptr;
    for (const NoteRecord& n : data->notes)
      if (n.key == item.key) last = &n;
    if (last && (last->title != item.title || last->text != item.text)) ++clashes;
  }
  return clashes;
}

ImportError ImportUserData(const std::string& folder, const ContentDatabase& content,
                           const ReservedKeys& reserved, const ExportFile& file, NoteClash clash,
                           std::int64_t existingNotesTime, ImportReport& report,
                           FileSystem& files) {
  report = {};
  const StoreFiles bookmarkPair = BookmarkFiles(folder), notePair = NoteFiles(folder);
  {
    FinishImport(folder, files);
    // Opening repairs what an earlier crash left and closing compacts, so
    // the files read below are whole.
    RecordFile b(bookmarkPair.index, bookmarkPair.data, files, StoredRecordLength);
    RecordFile n(notePair.index, notePair.data, files, StoredRecordLength);
    if (b.WhyReadOnly() == RecordFile::ReadOnlyReason::kLocked ||
        n.WhyReadOnly() == RecordFile::ReadOnlyReason::kLocked)
      return ImportError::kInUse;
    if (b.Failed() || n.Failed() || b.ReadOnly() || n.ReadOnly()) return ImportError::kWriteFailed;
  }
  Locks locks{files, {}};
  if (!locks.Take(folder)) return ImportError::kInUse;
  auto bookmarks = ReadPairRaw(files, bookmarkPair);
  auto notes = ReadPairRaw(files, notePair);
  if (!bookmarks || !notes) return ImportError::kWriteFailed;

  const StoredPages bookmarkPages(content, reserved, /*builtInPages=*/false);
  const StoredPages notePages(content, reserved, /*builtInPages=*/true);

  // Bookmarks: the same key, state and title is already there.
  std::vector<BookmarkRecord> known;
  for (const Bytes& r : *bookmarks)
    if (auto d = DecodeBookmark(r)) known.push_back(std::move(*d));
  for (const ExportItem& item : file.bookmarks) {
    BookmarkRecord record{item.key, item.state, item.title};
    auto encoded = EncodeBookmark(record);
    if (!encoded) return ImportError::kWriteFailed;
    // Compare as stored: titles are cut to their stored length.
    const auto stored = DecodeBookmark(*encoded);
    bool duplicate = false;
    for (const BookmarkRecord& k : known)
      duplicate = duplicate || (stored && k.key == stored->key && k.state == stored->state &&
                                k.title == stored->title);
    if (duplicate) {
      ++report.duplicates;
      continue;
    }
    bookmarks->push_back(std::move(*encoded));
    known.push_back(*stored);
    ++report.bookmarksAdded;
    if (!bookmarkPages.PageOf(item.key)) report.notInEdition.push_back(item.title);
  }

  // Notes: the last note of a key is the page's note. The same title and
  // text is a duplicate; anything else clashes.
  std::vector<std::optional<DecodedNote>> decoded;
  for (const Bytes& r : *notes) {
    auto d = DecodeNote(r);
    decoded.push_back(d ? std::optional<DecodedNote>({d->key, d->title, d->text}) : std::nullopt);
  }
  std::vector<bool> dropped(notes->size(), false);
  for (const ExportItem& item : file.notes) {
    auto encoded = EncodeNote({item.key, item.title, item.text});
    if (!encoded) return ImportError::kWriteFailed;
    const auto stored = DecodeNote(*encoded);
    std::optional<std::size_t> last;
    for (std::size_t i = 0; i < decoded.size(); ++i)
      if (!dropped[i] && decoded[i] && decoded[i]->key == item.key) last = i;
    if (last) {
      if (stored && decoded[*last]->title == stored->title &&
          decoded[*last]->text == stored->text) {
        ++report.duplicates;
        continue;
      }
      ++report.clashes;
      if (clash == NoteClash::kKeepExisting) continue;
      if (clash == NoteClash::kKeepNewer) {
        if (item.modified <= existingNotesTime) continue;
        // Every earlier note of the page goes; the imported one is the page's now.
        for (std::size_t i = 0; i < decoded.size(); ++i)
          if (!dropped[i] && decoded[i] && decoded[i]->key == item.key) dropped[i] = true;
        ++report.replaced;
      }
    }
    notes->push_back(std::move(*encoded));
    decoded.push_back(DecodedNote{item.key, stored ? stored->title : item.title,
                                  stored ? stored->text : item.text});
    dropped.push_back(false);
    ++report.notesAdded;
    if (!notePages.PageOf(item.key)) report.notInEdition.push_back(item.title);
  }
  std::vector<Bytes> keptNotes;
  for (std::size_t i = 0; i < notes->size(); ++i)
    if (!dropped[i]) keptNotes.push_back(std::move((*notes)[i]));

  if (report.bookmarksAdded == 0 && report.notesAdded == 0 && report.replaced == 0)
    return ImportError::kNone;  // nothing to change

  const auto newBookmarks = EncodePair(*bookmarks);
  const auto newNotes = EncodePair(keptNotes);
  if (!newBookmarks || !newNotes) return ImportError::kWriteFailed;
  return CommitLocked(
             folder, {newBookmarks->second, newBookmarks->first, newNotes->second, newNotes->first},
             files)
             ? ImportError::kNone
             : ImportError::kWriteFailed;
}

bool ReplaceUserData(const std::string& folder, const std::vector<Bytes>& contents,
                     FileSystem& files) {
  Locks locks{files, {}};
  if (!locks.Take(folder)) return false;
  FinishImportLocked(folder, files);
  return CommitLocked(folder, contents, files);
}

void FinishImport(const std::string& folder, FileSystem& files) {
  Locks locks{files, {}};
  if (!locks.Take(folder)) return;
  FinishImportLocked(folder, files);
}

}  // namespace vrok
