// Export and import of bookmarks and notes: the round trip, merging into
// data that is already there, files that are not exports, and an import
// cut short at every step.

#include "core/userdata/user_data_import.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/userdata/bookmark_store.h"
#include "core/userdata/note_store.h"
#include "core/userdata/user_data_export.h"
#include "support/memory_file_system.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using test::Num;
using test::Str;
using test::TestBook;
using test::WithId;
using test::WithKey;
using testing::MemoryFileSystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kGoneKey = 4242;
const std::string kFolder = "/user";

Book Sample(bool withGone) {
  std::vector<BookNode> tables;
  tables.push_back(WithId(
      Str(u"table", u"Fluids", {WithId(Str(u"section", u"Maintenance <b>rates</b>"), "rates")}),
      "fluids"));
  tables.push_back(WithId(Str(u"table", u"Scores"), "scores"));
  if (withGone) tables.push_back(WithKey(WithId(Str(u"table", u"Gone"), "gone"), kGoneKey));
  Book b;
  b.root = Num(u"root", 0, std::move(tables));
  return b;
}

struct Records {
  std::vector<Bytes> bookmarks, notes;
  bool operator==(const Records&) const = default;
};

Records Read(MemoryFileSystem& fs) {
  FinishImport(kFolder, fs);
  Records r;
  for (auto [pair, out] :
       {std::pair{BookmarkFiles(kFolder), &r.bookmarks}, std::pair{NoteFiles(kFolder), &r.notes}}) {
    RecordFile file(pair.index, pair.data, fs, StoredRecordLength);
    for (int i = 1; i < file.Count(); ++i) out->push_back(file.ReadAll(i).value_or(Bytes{}));
  }
  return r;
}

Bytes AsBytes(const std::string& s) { return {s.begin(), s.end()}; }

std::optional<ExportFile> Parse(const std::string& text, ImportError& error) {
  return ParseExport(AsBytes(text), error);
}

class ImportTest : public ::testing::Test {
 protected:
  ImportTest() : book(Sample(true)) {}

  void Seed() {
    BookmarkStore marks(kFolder, *book.db, {}, fs);
    NoteStore notes(kFolder, *book.db, {}, fs);
    ASSERT_EQ(marks.Add(u"Rates", book["rates"], Bytes{'a', 0, 0, 0}), 0);
    ASSERT_EQ(marks.Add(u"Fluids \u00e9\u4e2d", book["fluids"], {}), 0);
    ASSERT_EQ(marks.Add(u"Gone", book["gone"], {}), 0);
    ASSERT_EQ(notes.Add(u"On rates", book["rates"], u"Line one\nline two \U0001F600"), 0);
    ASSERT_EQ(notes.Add(u"Gone page", book["gone"], u"kept"), 0);
    ASSERT_EQ(notes.Add(u"Scores", book["scores"], u"x"), 0);
  }

  std::string Export() {
    const auto data = ReadUserData(kFolder, fs);
    EXPECT_TRUE(data);
    return ExportJson(*book.db, {}, *data, 1'800'000'000);
  }

  ImportError Import(const std::string& json, NoteClash clash, ImportReport& report,
                     std::int64_t existingTime = 0) {
    ImportError error = ImportError::kNone;
    const auto file = Parse(json, error);
    EXPECT_TRUE(file) << static_cast<int>(error);
    if (!file) return error;
    return ImportUserData(kFolder, *book.db, {}, *file, clash, existingTime, report, fs);
  }

  TestBook book;
  MemoryFileSystem fs;
};

TEST_F(ImportTest, RoundTripGivesTheSameRecordsByteForByte) {
  Seed();
  const Records before = Read(fs);
  ASSERT_EQ(before.bookmarks.size(), 3u);
  const std::string json = Export();

  const auto doc = nlohmann::json::parse(json);
  EXPECT_EQ(doc["format"], "vrok-user-data");
  EXPECT_EQ(doc["version"], 1);
  EXPECT_EQ(doc["bookmarks"][0]["data"], "61000000");
  EXPECT_EQ(doc["bookmarks"][0]["page"], "Maintenance rates");
  EXPECT_EQ(doc["bookmarks"][0]["path"], nlohmann::json::array({"Fluids"}));
  EXPECT_EQ(doc["notes"][0]["text"], "Line one\nline two \xF0\x9F\x98\x80");

  for (const auto& name : UserDataFiles(kFolder)) fs.RemoveFile(name);
  ASSERT_TRUE(Read(fs).bookmarks.empty());
  ImportReport report;
  ASSERT_EQ(Import(json, NoteClash::kKeepExisting, report), ImportError::kNone);
  EXPECT_EQ(report.bookmarksAdded, 3);
  EXPECT_EQ(report.notesAdded, 3);
  EXPECT_EQ(Read(fs), before);

  // A second import of the same file finds only duplicates and changes nothing.
  const auto filesBefore = fs.File(NoteFiles(kFolder).data);
  ASSERT_EQ(Import(json, NoteClash::kKeepBoth, report), ImportError::kNone);
  EXPECT_EQ(report.duplicates, 6);
  EXPECT_EQ(report.bookmarksAdded + report.notesAdded, 0);
  EXPECT_EQ(fs.File(NoteFiles(kFolder).data), filesBefore);
}

TEST_F(ImportTest, MergeSkipsDuplicatesKeepsMissingPagesAndSettlesClashes) {
  Seed();
  const std::string exported = Export();
  // The export as another machine would have it: one note changed, one
  // bookmark new.
  auto doc = nlohmann::json::parse(exported);
  doc["notes"][0]["text"] = "changed elsewhere";
  doc["notes"][0]["modified"] = "2030-01-01T00:00:00Z";
  auto extra = doc["bookmarks"][0];
  extra["data"] = "62000000";
  extra["title"] = "Rates again";
  doc["bookmarks"].push_back(extra);
  const std::string theirs = doc.dump();

  // The reader's edition no longer has the page "gone": its items stay.
  for (const NoteClash clash :
       {NoteClash::kKeepExisting, NoteClash::kKeepBoth, NoteClash::kKeepNewer}) {
    SCOPED_TRACE(static_cast<int>(clash));
    fs = MemoryFileSystem();
    Seed();
    const Records before = Read(fs);
    ImportReport report;
    ASSERT_EQ(Import(theirs, clash, report, /*existingTime=*/1'700'000'000), ImportError::kNone);
    const Records after = Read(fs);
    EXPECT_EQ(report.bookmarksAdded, 1);
    EXPECT_EQ(report.clashes, 1);
    EXPECT_EQ(report.duplicates, 3 + 2);
    ASSERT_EQ(after.bookmarks.size(), 4u);
    EXPECT_EQ(std::vector<Bytes>(after.bookmarks.begin(), after.bookmarks.begin() + 3),
              before.bookmarks);
    const auto last = DecodeBookmark(after.bookmarks.back());
    ASSERT_TRUE(last);
    EXPECT_EQ(last->title, u"Rates again");
    std::vector<std::u16string> texts;
    for (const Bytes& r : after.notes) texts.push_back(DecodeNote(r)->text);
    if (clash == NoteClash::kKeepExisting) {
      EXPECT_EQ(after.notes, before.notes);
    } else if (clash == NoteClash::kKeepBoth) {
      EXPECT_EQ(texts, (std::vector<std::u16string>{u"Line one\nline two \U0001F600", u"kept", u"x",
                                                    u"changed elsewhere"}));
    } else {
      EXPECT_EQ(report.replaced, 1);
      EXPECT_EQ(texts, (std::vector<std::u16string>{u"kept", u"x", u"changed elsewhere"}));
    }
  }

  // Newer loses to a note changed later here.
  fs = MemoryFileSystem();
  Seed();
  const Records before = Read(fs);
  ImportReport report;
  ASSERT_EQ(Import(theirs, NoteClash::kKeepNewer, report, /*existingTime=*/1'999'999'999),
            ImportError::kNone);
  EXPECT_EQ(Read(fs).notes, before.notes);
}

TEST_F(ImportTest, ItemsForPagesThisEditionLacksAreKeptAndListed) {
  Seed();
  const std::string json = Export();
  TestBook older(Sample(false));
  fs = MemoryFileSystem();
  ImportError error = ImportError::kNone;
  const auto file = Parse(json, error);
  ASSERT_TRUE(file);
  ImportReport report;
  ASSERT_EQ(ImportUserData(kFolder, *older.db, {}, *file, NoteClash::kKeepExisting, 0, report, fs),
            ImportError::kNone);
  EXPECT_EQ(report.notInEdition, (std::vector<std::u16string>{u"Gone", u"Gone page"}));
  EXPECT_EQ(Read(fs).bookmarks.size(), 3u);
  EXPECT_NE(ImportSummary(report).find(u"Gone page"), std::u16string::npos);
}

TEST_F(ImportTest, FilesThatAreNotExportsAreRefusedWithTheirReason) {
  Seed();
  const std::string good = Export();
  auto newer = nlohmann::json::parse(good);
  newer["version"] = 2;
  auto badItem = nlohmann::json::parse(good);
  badItem["bookmarks"][0]["data"] = "6z";
  const std::pair<std::string, ImportError> cases[] = {
      {"", ImportError::kDamaged},
      {good.substr(0, good.size() / 2), ImportError::kDamaged},
      {"{\"format\":\"vrok-user-data\",\"version\":1,\"notes\":[],\"bookmarks\":[{\"title\":"
       "\"\xff\"}]}",
       ImportError::kNotUtf8},
      {"{\"bookmarks\":[],\"notes\":[]}", ImportError::kNotExport},
      {"[1,2,3]", ImportError::kNotExport},
      {newer.dump(), ImportError::kNewer},
      {badItem.dump(), ImportError::kDamaged},
  };
  for (const auto& [text, expected] : cases) {
    ImportError error = ImportError::kNone;
    EXPECT_FALSE(Parse(text, error)) << text;
    EXPECT_EQ(error, expected) << text;
    EXPECT_FALSE(ImportErrorMessage(error).empty());
  }
}

// The process dies at every step of an import in turn; afterwards, opened
// again, the stores hold the old records or the new, never a mixture.
TEST_F(ImportTest, ImportCutShortAtEveryStepLeavesOldOrNewData) {
  Seed();
  const Records old = Read(fs);
  auto doc = nlohmann::json::parse(Export());
  doc["notes"][0]["text"] = "newer";
  doc["notes"][0]["modified"] = "2030-01-01T00:00:00Z";
  doc["bookmarks"][0]["data"] = "63000000";
  const std::string json = doc.dump();
  const MemoryFileSystem seeded = fs;

  ImportReport report;
  ASSERT_EQ(Import(json, NoteClash::kKeepNewer, report), ImportError::kNone);
  const Records merged = Read(fs);
  ASSERT_NE(merged, old);

  int step = 1;
  int sawOld = 0, sawNew = 0;
  for (;; ++step) {
    fs = seeded;
    fs.Revive();  // counts steps from here
    fs.DieAtStep(step);
    Import(json, NoteClash::kKeepNewer, report);
    const bool hit = fs.FaultHit();
    fs.LosePower();
    fs.Revive();
    const Records now = Read(fs);
    EXPECT_TRUE(now == old || now == merged) << "died at step " << step;
    (now == old ? sawOld : sawNew)++;
    // Opening once more changes nothing further.
    EXPECT_EQ(Read(fs), now) << "step " << step;
    if (!hit) break;
  }
  EXPECT_GT(step, 10);
  EXPECT_GT(sawOld, 0);
  EXPECT_GT(sawNew, 0);
}

}  // namespace
}  // namespace vrok
