#include "core/userdata/user_data_export.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "content/hex.h"
#include "content/node_cursor.h"
#include "content/utf8.h"
#include "core/pages/markup.h"
#include "core/pages/page_text.h"
#include "core/userdata/user_data_import.h"

namespace vrok {

using nlohmann::json;

namespace {

std::int64_t ModifiedTime(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return 0;
  return static_cast<std::int64_t>(st.st_mtime);
}

json PathJson(const std::vector<std::u16string>& path) {
  json a = json::array();
  for (const auto& p : path) a.push_back(ToUtf8(p));
  return a;
}

std::string EscapeHtml(std::u16string_view text) {
  std::string out;
  for (const char c : ToUtf8(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\n':
        out += "<br>";
        break;
      case '\r':
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::u16string JoinPath(const PagePlace& place) {
  std::u16string s;
  for (const auto& p : place.path) {
    if (!s.empty()) s += u" \u203A ";
    s += p;
  }
  return s;
}

}  // namespace

std::optional<UserData> ReadUserData(const std::string& folder, FileSystem& files) {
  FinishImport(folder, files);
  UserData data;
  const PageKeys none{[](RowIndex) { return NodeKey{0}; },
                      [](NodeKey) { return std::optional<RowIndex>(); }};
  {
    const StoreFiles f = BookmarkFiles(folder);
    RecordFile file(f.index, f.data, files, StoredRecordLength);
    if (file.Failed()) return std::nullopt;
    for (auto& e : LoadBookmarks(file, none)) data.bookmarks.push_back(std::move(e.value));
  }
  {
    const StoreFiles f = NoteFiles(folder);
    RecordFile file(f.index, f.data, files, StoredRecordLength);
    if (file.Failed()) return std::nullopt;
    for (auto& e : LoadNotes(file, none)) data.notes.push_back(std::move(e.value));
    data.notesModified = ModifiedTime(f.data);
  }
  return data;
}

std::u16string BookTitle(const ContentDatabase& content) {
  std::u16string title = content.RowCount() == 0 ? u"" : PlainTextOf(TextOf(content, 0));
  // A book whose root carries no text goes by the reader's own title.
  return title.empty() ? u"Tarvessa" : title;
}

PagePlace PlaceOfKey(const ContentDatabase& content, const StoredPages& pages, NodeKey key) {
  PagePlace place;
  const auto page = pages.PageOf(key);
  if (!page) return place;
  place.inEdition = true;
  if (*page >= content.RowCount()) {
    place.title = u"(a page of the reader)";
    return place;
  }
  place.title = PlainTextOf(TextOf(content, *page));
  place.path = PathOfRow(content, *page);
  return place;
}

std::vector<std::u16string> PathOfRow(const ContentDatabase& content, RowIndex row) {
  NodeCursor c(content, row);
  std::vector<std::u16string> up;
  // The parent chain ends at the root; a bound guards against a damaged tree.
  for (int depth = 0; depth < 64 && c.IsOpen() && c.ToParent() && c.Row().row != 0; ++depth) {
    std::u16string t = PlainTextOf(TextOf(content, c.Row().row));
    if (!t.empty()) up.push_back(std::move(t));
  }
  return {up.rbegin(), up.rend()};
}

std::string IsoTime(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (gmtime_r(&t, &tm) == nullptr) return "1970-01-01T00:00:00Z";
  char buffer[64];
  if (std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &tm) == 0)
    return "1970-01-01T00:00:00Z";
  return buffer;
}

std::optional<std::int64_t> ParseIsoTime(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char z = 0;
  int used = 0;
  if (text.size() != 20 ||
      std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%n", &y, &mo, &d, &h, &mi, &s, &z,
                  &used) != 7 ||
      used != 20 || z != 'Z')
    return std::nullopt;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return std::nullopt;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return static_cast<std::int64_t>(timegm(&tm));
}

std::string ExportJson(const ContentDatabase& content, const ReservedKeys& reserved,
                       const UserData& data, std::int64_t now) {
  const StoredPages bookmarkPages(content, reserved, /*builtInPages=*/false);
  const StoredPages notePages(content, reserved, /*builtInPages=*/true);
  const auto& g = content.Geometry();
  json doc;
  doc["format"] = kExportFormat;
  doc["version"] = kExportVersion;
  doc["book"] = {{"title", ToUtf8(BookTitle(content))},
                 {"stamps", json::array({g.stamp1, g.stamp2, g.stamp3})}};
  doc["exported"] = IsoTime(now);
  json bookmarks = json::array();
  for (const auto& b : data.bookmarks) {
    const PagePlace place = PlaceOfKey(content, bookmarkPages, b.key);
    bookmarks.push_back({{"key", static_cast<std::uint32_t>(b.key)},
                         {"data", ToHex(b.state)},
                         {"page", ToUtf8(place.title)},
                         {"path", PathJson(place.path)},
                         {"title", ToUtf8(b.title)},
                         {"in_edition", place.inEdition}});
  }
  json notes = json::array();
  for (const auto& n : data.notes) {
    const PagePlace place = PlaceOfKey(content, notePages, n.key);
    notes.push_back({{"key", static_cast<std::uint32_t>(n.key)},
                     {"page", ToUtf8(place.title)},
                     {"path", PathJson(place.path)},
                     {"title", ToUtf8(n.title)},
                     {"text", ToUtf8(n.text)},
                     {"modified", IsoTime(data.notesModified)},
                     {"in_edition", place.inEdition}});
  }
  doc["bookmarks"] = std::move(bookmarks);
  doc["notes"] = std::move(notes);
  return doc.dump(1) + "\n";
}

std::string ExportHtml(const ContentDatabase& content, const ReservedKeys& reserved,
                       const UserData& data, std::int64_t now) {
  const StoredPages bookmarkPages(content, reserved, /*builtInPages=*/false);
  const StoredPages notePages(content, reserved, /*builtInPages=*/true);
  const std::string book = EscapeHtml(BookTitle(content));
  std::string h;
  h += "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>Notes and bookmarks - " +
       book + "</title>\n";
  // Styles inline so that the page needs nothing beside it.
  h += "<style>body{font-family:sans-serif;max-width:45em;margin:1em auto;padding:0 1em;"
       "color:#111;background:#fff}h2{margin-top:1.5em}.path{color:#555;font-size:90%}"
       ".note{margin:1em 0;padding:.5em 1em;border-left:3px solid #888}"
       ".missing{color:#a00}</style>\n</head><body>\n";
  h += "<h1>" + book + "</h1>\n<p class=\"path\">Exported " + IsoTime(now) + "</p>\n";
  h += "<h2>Notes</h2>\n";
  if (data.notes.empty()) h += "<p>No notes.</p>\n";
  for (const auto& n : data.notes) {
    const PagePlace place = PlaceOfKey(content, notePages, n.key);
    h += "<div class=\"note\">\n<h3>" + EscapeHtml(place.title.empty() ? n.title : place.title) +
         "</h3>\n";
    if (!place.path.empty()) h += "<p class=\"path\">" + EscapeHtml(JoinPath(place)) + "</p>\n";
    if (!place.inEdition)
      h += "<p class=\"missing\">This page is not in this edition of the book.</p>\n";
    h += "<p><b>" + EscapeHtml(n.title) + "</b></p>\n<p>" + EscapeHtml(n.text) + "</p>\n</div>\n";
  }
  h += "<h2>Bookmarks</h2>\n";
  if (data.bookmarks.empty())
    h += "<p>No bookmarks.</p>\n";
  else
    h += "<ul>\n";
  for (const auto& b : data.bookmarks) {
    const PagePlace place = PlaceOfKey(content, bookmarkPages, b.key);
    h += "<li>" + EscapeHtml(b.title);
    std::u16string where = JoinPath(place);
    if (!place.title.empty()) where += (where.empty() ? u"" : u" \u203A ") + place.title;
    if (!where.empty()) h += " <span class=\"path\">(" + EscapeHtml(where) + ")</span>";
    if (!place.inEdition) h += " <span class=\"missing\">(not in this edition)</span>";
    h += "</li>\n";
  }
  if (!data.bookmarks.empty()) h += "</ul>\n";
  h += "</body></html>\n";
  return h;
}

bool SaveExport(const std::string& path, const std::string& bytes, FileSystem& files) {
  return WriteWhole(files, path,
                    {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

}  // namespace vrok
