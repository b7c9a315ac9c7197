// vrok-dump: prints what a content folder holds, as JSON.
//
//   vrok-dump info FOLDER             geometry of the three files
//   vrok-dump names FOLDER            field names, type names, tables
//   vrok-dump rows FOLDER             one object per row, in row order
//   vrok-dump string FOLDER ID        one string
//   vrok-dump item FOLDER N           one binary item's raw bytes
//   vrok-dump key FOLDER K            RowOfKey(K)
//   vrok-dump child FOLDER ROW FIELD  FindChild(ROW, FieldIdOf(FIELD))
//   vrok-dump check FOLDER            lists out of the order the search needs
//   vrok-dump export FOLDER OUT       the folder's bookmarks and notes as an export file
//                                     (JSON; a web page when OUT ends in .html)

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/json_text.h"
#include "cli/search_order.h"
#include "content/book_files.h"
#include "content/content_database.h"
#include "content/utf8.h"
#include "core/userdata/user_data_export.h"

namespace {

using vrok::ContentDatabase;
using vrok::JsonString;

int Usage() {
  std::fprintf(stderr,
               "usage: vrok-dump info|names|rows|check FOLDER\n"
               "       vrok-dump string|item|key FOLDER NUMBER\n"
               "       vrok-dump child FOLDER ROW FIELD\n"
               "       vrok-dump export FOLDER OUT.json|OUT.html\n");
  return 2;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "vrok-dump: %s\n", message.c_str());
  return 1;
}

std::optional<std::uint32_t> ParseNumber(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::string N(std::uint64_t v) { return std::to_string(v); }

std::string NameOr(const std::vector<std::u16string>& names, std::size_t id) {
  return id < names.size() ? JsonString(names[id]) : "null";
}

int Info(const ContentDatabase& db) {
  if (!db.IsReady()) {
    std::puts("{\"state\":\"empty\",\"rows\":0}");
    std::fprintf(stderr, "vrok-dump: not a book: %s\n", db.FailureReason().c_str());
    return 0;
  }
  if (!db.IsBook()) std::fprintf(stderr, "vrok-dump: not a book: %s\n", db.FailureReason().c_str());
  const vrok::ContentGeometry& g = db.Geometry();
  const auto binarySection = [&g](std::uint64_t v) { return g.hasBinary ? N(v) : "null"; };
  std::string s = "{\"state\":\"ready\"";
  s += ",\"format_version\":" + N(g.formatVersion);
  s += ",\"stamps\":[" + N(g.stamp1) + "," + N(g.stamp2) + "," + N(g.stamp3) + "]";
  s += ",\"field_names\":" + N(g.fieldNameCount);
  s += ",\"type_names\":" + N(g.typeNameCount);
  s += ",\"tables\":" + N(g.tableCount);
  s += ",\"rows\":" + N(g.rowCount);
  s += ",\"largest_key\":" + N(g.largestKey);
  s += ",\"follower_range\":" + N(g.followerRange);
  s += ",\"strings\":" + N(g.stringCount);
  s += ",\"largest_string_location\":" + N(g.largestStringLocation);
  s += ",\"items\":" + N(g.itemCount);
  s += ",\"largest_item_location\":" + N(g.largestItemLocation);
  s += ",\"widths\":{\"key\":" + N(g.keyWidth) + ",\"row\":" + N(g.rowWidth) +
       ",\"field\":" + N(g.fieldWidth) + ",\"follower\":" + N(g.followerWidth) +
       ",\"type\":" + N(g.typeWidth) + ",\"string_id\":" + N(g.stringIdWidth) +
       ",\"string_location\":" + N(g.stringLocationWidth) +
       ",\"item_location\":" + N(g.itemLocationWidth) + ",\"node_row\":" + N(g.nodeRowWidth) +
       ",\"directory_entry\":" + N(g.directoryEntryWidth) + "}";
  s += ",\"sections\":{\"field_names\":" + N(g.fieldNamesStart) +
       ",\"type_names\":" + N(g.typeNamesStart) +
       ",\"table_directory\":" + N(g.tableDirectoryStart) +
       ",\"node_table\":" + N(g.nodeTableStart) +
       ",\"string_locations\":" + N(g.stringLocationsStart) +
       ",\"string_data\":" + N(g.stringDataStart) +
       ",\"item_locations\":" + binarySection(g.itemLocationsStart) +
       ",\"item_data\":" + binarySection(g.itemDataStart) + "}}";
  std::puts(s.c_str());
  return 0;
}

int Names(const ContentDatabase& db) {
  std::string s = "{\"fields\":[";
  for (std::size_t i = 0; i < db.FieldNames().size(); ++i) {
    s += (i ? "," : "") + JsonString(db.FieldNames()[i]);
  }
  s += "],\"types\":[";
  for (std::size_t i = 0; i < db.TypeNames().size(); ++i) {
    s += (i ? "," : "") + JsonString(db.TypeNames()[i]);
  }
  s += "],\"tables\":[";
  for (std::size_t i = 0; i < db.Tables().size(); ++i) {
    s += std::string(i ? "," : "") + "{\"name\":" + JsonString(db.Tables()[i].first) +
         ",\"row\":" + N(db.Tables()[i].second) + "}";
  }
  s += "]}";
  std::puts(s.c_str());
  return 0;
}

int Rows(const ContentDatabase& db) {
  vrok::NodeRow r;
  std::string s;
  for (std::uint32_t i = 0; i < db.RowCount(); ++i) {
    if (!db.ReadRow(i, r)) return Fail("row " + N(i) + " cannot be read");
    s = "{\"row\":" + N(r.row) + ",\"key\":" + N(static_cast<std::uint32_t>(r.key)) +
        ",\"parent\":" + N(r.parent) + ",\"field\":" + NameOr(db.FieldNames(), r.field) +
        ",\"followers\":" + N(r.followers) + ",\"type\":" + NameOr(db.TypeNames(), r.type) +
        ",\"value\":" + N(r.value) + ",\"key_order\":" + N(r.keyOrder);
    std::u16string text;
    if (db.IsStringType(r.type) && db.ReadString(vrok::StringId{r.value}, text)) {
      s += ",\"text\":" + JsonString(text);
    }
    s += "}";
    std::puts(s.c_str());
  }
  return 0;
}

// The rows of an open book, for the order check.
class DatabaseTree : public vrok::RowTree {
 public:
  explicit DatabaseTree(const ContentDatabase& db) : db_(db) {}
  std::uint32_t Count() const override { return db_.RowCount(); }
  std::uint32_t Parent(std::uint32_t row) const override { return Read(row).parent; }
  std::u16string Field(std::uint32_t row) const override {
    const auto field = Read(row).field;
    return field < db_.FieldNames().size() ? db_.FieldNames()[field] : std::u16string();
  }
  std::u16string Text(std::uint32_t row) const override {
    const vrok::NodeRow r = Read(row);
    std::u16string text;
    if (db_.IsStringType(r.type)) db_.ReadString(vrok::StringId{r.value}, text);
    return text;
  }

 private:
  vrok::NodeRow Read(std::uint32_t row) const {
    vrok::NodeRow r;
    if (!db_.ReadRow(row, r)) r.parent = row;  // unreadable: treated as having no parent
    return r;
  }
  const ContentDatabase& db_;
};

// {"problems":[...]}: one entry per searched list out of order; exit 1
// when there is any.
int Check(const ContentDatabase& db) {
  if (!db.IsReady()) return Fail("the book cannot be opened");
  const auto problems = vrok::FindOrderProblems(DatabaseTree(db));
  std::string s = "{\"problems\":[";
  for (std::size_t i = 0; i < problems.size(); ++i) {
    const auto& p = problems[i];
    s += std::string(i ? "," : "") + "{\"list\":" + N(p.list) +
         ",\"table\":" + JsonString(p.tableName) + ",\"rows\":[" + N(p.first) + "," + N(p.second) +
         "],\"texts\":[" + JsonString(p.firstText) + "," + JsonString(p.secondText) + "]}";
    std::fprintf(stderr, "vrok-dump: %s\n", vrok::DescribeProblem(p).c_str());
  }
  s += "]}";
  std::puts(s.c_str());
  return problems.empty() ? 0 : 1;
}

// The user's bookmarks and notes beside the book, written to out.
int Export(const ContentDatabase& db, const std::string& folder, const std::string& out) {
  if (!db.IsReady()) return Fail("the book cannot be opened");
  const auto data = vrok::ReadUserData(folder);
  if (!data) return Fail("the bookmarks and notes cannot be read");
  const auto now = static_cast<std::int64_t>(std::time(nullptr));
  const bool html = out.size() >= 5 && out.compare(out.size() - 5, 5, ".html") == 0;
  const std::string text =
      html ? vrok::ExportHtml(db, {}, *data, now) : vrok::ExportJson(db, {}, *data, now);
  if (!vrok::SaveExport(out, text)) return Fail("cannot write " + out);
  std::printf("{\"bookmarks\":%zu,\"notes\":%zu}\n", data->bookmarks.size(), data->notes.size());
  return 0;
}

}  // namespace

static int Run(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string_view command = argv[1];
  const ContentDatabase db(std::string(argv[2]) + "/" + std::string(vrok::format::kPrefixName));

  if (command == "info" && argc == 3) return Info(db);
  if (command == "names" && argc == 3) return Names(db);
  if (command == "rows" && argc == 3) return Rows(db);
  if (command == "check" && argc == 3) return Check(db);
  if (argc < 4) return Usage();
  if (command == "export" && argc == 4) return Export(db, argv[2], argv[3]);
  const auto number = ParseNumber(argv[3]);
  if (!number) return Fail(std::string("not a number: ") + argv[3]);

  if (command == "string" && argc == 4) {
    const vrok::StringId id{*number};
    std::u16string text;
    if (*number >= db.Geometry().stringCount || !db.ReadString(id, text)) {
      return Fail("no string " + N(*number));
    }
    std::printf("{\"id\":%u,\"bytes\":%u,\"text\":%s}\n", *number, db.StringByteLength(id),
                JsonString(text).c_str());
    return 0;
  }
  if (command == "item" && argc == 4) {
    if (*number >= db.Geometry().itemCount) return Fail("no item " + N(*number));
    std::vector<std::uint8_t> bytes(db.BinaryItemSize(*number));
    if (!db.ReadBinary(*number, bytes, 0)) return Fail("item " + N(*number) + " cannot be read");
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() ? 0 : 1;
  }
  if (command == "key" && argc == 4) {
    std::printf("{\"key\":%u,\"row\":%u}\n", *number, db.RowOfKey(vrok::NodeKey{*number}));
    return 0;
  }
  if (command == "child" && argc == 5) {
    if (*number >= db.RowCount()) return Fail("no row " + N(*number));
    const auto field = vrok::FromUtf8(argv[4]);
    if (!field) return Fail("the field name is not valid UTF-8");
    std::printf("{\"row\":%u}\n", db.FindChild(*number, db.FieldIdOf(*field)));
    return 0;
  }
  return Usage();
}

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
