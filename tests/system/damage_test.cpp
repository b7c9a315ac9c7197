// The reader on damaged files. Content: every prefix at the section
// boundaries and random single-byte corruptions of each of the three files;
// the reader must start (or, for files that are no book, report the
// installation message), show its pages and tabs, and come down cleanly. Record files: whatever
// their bytes, the reader starts and every record that could be read before is still there after an
// Exit. VROK_DAMAGE_CASES sets the number of random corruptions per file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <filesystem>
#include <random>
#include <set>

#include "app/reader_app.h"
#include "content/content_database.h"
#include "core/userdata/bookmark_store.h"
#include "core/userdata/note_store.h"
#include "core/userdata/record_file.h"
#include "core/userdata/user_records.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "shell/reader_fixture.h"
#include "support/test_books.h"
#include "system/watchdog.h"

namespace vrok::test {
namespace {

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

const std::uint64_t kCases = EnvNumber("VROK_DAMAGE_CASES", 10000);
constexpr std::uint64_t kSeed = 20261208;

constexpr const char* kData = "VROK-Vrok-Data.pdb";
constexpr const char* kStrings = "VROK-Vrok-Strings.pdb";
constexpr const char* kBinary = "VROK-Vrok-Binary-PPC.pdb";
constexpr std::uint64_t kHeader = 78;

class DamagedContent : public ::testing::Test {
 protected:
  DamagedContent() : fx(ReaderFixture::CompiledBook{VROK_BINARY_DIR "/program"}) {
    for (const char* name : {kData, kStrings, kBinary}) pristine[name] = ReadAll(fx.dir.File(name));
    ContentDatabase db(fx.dir.File("VROK-Vrok"));
    geometry = db.Geometry();
    rows = db.RowCount();
  }

  // Starts the reader on the files as they are now, looks at the pages a
  // user reaches first and a few others, and shuts it down. It must refuse,
  // with the installation message, exactly when the files are no book.
  void StartAndLook(const std::string& what, bool mustRefuse) {
    platform::ClearAutomationQueues();
    watchdog.Begin(what);
    const bool started = fx.Start();
    EXPECT_EQ(started, !mustRefuse) << what;
    if (!started) {
      const auto messages = platform::TakeMessages();
      ASSERT_EQ(messages.size(), 1u) << what;
      EXPECT_EQ(messages[0].text, u"Database files are missing or damaged.") << what;
    } else {
      std::string script = "dismiss-splash\nnavigate home\ntap-tab 0\ntap-tab 1\ntap-tab 2\n";
      for (int i = 0; i < 3; ++i)
        script += "navigate " + std::to_string(pick(rng) % (rows + 8)) + "\ntap-row 0\n";
      script += "command 40006\ncommand 40026\ndump\n";
      int status = 0;
      const auto reports = fx.Run(script, &status);
      EXPECT_EQ(reports.size(), 1u) << what;
      fx.app->ExitInstance();
    }
    fx.app.reset();
    QCoreApplication::processEvents();
    watchdog.End();
  }

  // The files as they are now open as no book: the reader must refuse them.
  bool NoBook() { return !ContentDatabase(fx.dir.File("VROK-Vrok")).IsBook(); }

  void Restore(const char* name) { WriteAll(fx.dir.File(name), pristine[name]); }

  ReaderFixture fx;
  std::map<std::string, std::vector<std::uint8_t>> pristine;
  ContentGeometry geometry;
  std::uint32_t rows = 0;
  std::mt19937_64 rng{kSeed};
  std::uniform_int_distribution<std::uint64_t> pick;
  Watchdog watchdog{std::chrono::seconds(30)};
};

TEST_F(DamagedContent, PrefixesAtEverySectionBoundary) {
  ASSERT_GT(rows, 0u);
  const std::map<std::string, std::vector<std::uint64_t>> sections{
      {kData,
       {kHeader, geometry.fieldNamesStart, geometry.typeNamesStart, geometry.tableDirectoryStart,
        geometry.nodeTableStart}},
      {kStrings, {kHeader, geometry.stringLocationsStart, geometry.stringDataStart}},
      {kBinary, {kHeader, geometry.itemLocationsStart, geometry.itemDataStart}}};
  int starts = 0;
  for (const auto& [name, starts_] : sections) {
    const std::uint64_t size = pristine[name].size();
    std::set<std::uint64_t> lengths{0, 1, size - 1};
    for (std::uint64_t at : starts_)
      for (std::uint64_t d : {0, 1, 2})
        for (std::uint64_t length : {at - d, at + d})
          if (length < size) lengths.insert(length);
    for (std::uint64_t length : lengths) {
      auto bytes = pristine[name];
      bytes.resize(length);
      WriteAll(fx.dir.File(name), bytes);
      const bool tooShort = length < kHeader && name != kBinary;
      StartAndLook(name + " cut to " + std::to_string(length) + " bytes", tooShort || NoBook());
      ++starts;
      if (HasFatalFailure()) return;
    }
    Restore(name.c_str());
  }
  std::printf("%d starts on cut files\n", starts);
}

// The reader keeps running when a content file shrinks while it is open:
// reads of what is gone fail, and the pages show what is left.
TEST_F(DamagedContent, ContentFilesTruncatedUnderARunningReader) {
  ASSERT_GT(rows, 0u);
  std::string look = "dismiss-splash\nnavigate home\ntap-tab 0\ntap-tab 1\ntap-tab 2\n";
  for (std::uint32_t i = 0; i < 12; ++i)
    look += "navigate " + std::to_string((i * 7919) % (rows + 8)) + "\ntap-row 0\n";
  look += "command 40006\ncommand 40026\ndump\n";
  for (const char* name : {kData, kStrings, kBinary}) {
    for (const std::uint64_t length : {std::uint64_t{0}, kHeader, pristine[name].size() / 3}) {
      const std::string what = std::string(name) + " truncated to " + std::to_string(length);
      platform::ClearAutomationQueues();
      watchdog.Begin(what);
      ASSERT_TRUE(fx.Start()) << what;
      int status = 0;
      EXPECT_EQ(fx.Run(look, &status).size(), 1u) << what;
      ASSERT_EQ(::truncate(fx.dir.File(name).c_str(), static_cast<off_t>(length)), 0);
      EXPECT_EQ(fx.Run(look, &status).size(), 1u) << what;
      fx.app->ExitInstance();
      fx.app.reset();
      QCoreApplication::processEvents();
      watchdog.End();
      Restore(name);
    }
  }
}

// One test per content file, so that they can run side by side.
class CorruptedContent : public DamagedContent,
                         public ::testing::WithParamInterface<const char*> {};

TEST_P(CorruptedContent, RandomSingleByteCorruptions) {
  ASSERT_GT(rows, 0u);
  const char* name = GetParam();
  auto bytes = pristine[name];
  // Half the corruptions fall into the header and the tables at the front
  // of the file, where one byte changes the most.
  const std::uint64_t front = std::min<std::uint64_t>(bytes.size(), 4096);
  for (std::uint64_t i = 0; i < kCases; ++i) {
    const std::uint64_t at = pick(rng) % (i % 2 == 0 ? front : bytes.size());
    const std::uint8_t old = bytes[at];
    bytes[at] = static_cast<std::uint8_t>(old ^ (1 + pick(rng) % 255));
    WriteAll(fx.dir.File(name), bytes);
    StartAndLook(std::string(name) + " byte " + std::to_string(at) + " changed (case " +
                     std::to_string(i) + ", seed " + std::to_string(kSeed) + ")",
                 NoBook());
    bytes[at] = old;
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(
    EachFile, CorruptedContent, ::testing::Values(kData, kStrings, kBinary), [](const auto& param) {
      return std::string(param.index == 0 ? "Data" : param.index == 1 ? "Strings" : "Binary");
    });

// Every record of a store pair that reads back, as a multiset of payloads.
std::multiset<std::vector<std::uint8_t>> ReadableRecords(const std::string& folder,
                                                         const std::string& base) {
  // Read a copy: opening a pair may repair it.
  TempDir copy;
  std::multiset<std::vector<std::uint8_t>> records;
  for (const char* ext : {".vsi", ".vsd"}) {
    std::error_code error;
    std::filesystem::copy_file(folder + "/" + base + ext, copy.File(base + ext), error);
  }
  // With the stores' scanner: the records a damaged index lost count too.
  RecordFile file(copy.File(base + ".vsi"), copy.File(base + ".vsd"), RealFileSystem(),
                  StoredRecordLength);
  for (int i = 1; i < file.Count(); ++i)
    if (auto bytes = file.ReadAll(i)) records.insert(std::move(*bytes));
  return records;
}

// The records of the pair and of the copies set aside (".bad", ".bad1", ...).
std::multiset<std::vector<std::uint8_t>> KeptRecords(const std::string& folder,
                                                     const std::string& base) {
  auto kept = ReadableRecords(folder, base);
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(base + ".vsd.bad", 0) != 0) continue;
    const std::string suffix = name.substr((base + ".vsd").size());
    TempDir aside;
    std::filesystem::copy_file(entry.path(), aside.File(base + ".vsd"));
    std::error_code error;
    std::filesystem::copy_file(folder + "/" + base + ".vsi" + suffix, aside.File(base + ".vsi"),
                               error);
    kept.merge(ReadableRecords(aside.Path(), base));
  }
  return kept;
}

TEST_F(DamagedContent, DamagedRecordFilesLoseNoReadableRecord) {
  ASSERT_GT(rows, 0u);
  // Twelve bookmarks and twelve notes on real pages, written by the stores.
  {
    ContentDatabase db(fx.dir.File("VROK-Vrok"));
    BookmarkStore bookmarks(fx.dir.Path(), db);
    NoteStore notes(fx.dir.Path(), db);
    for (std::uint32_t i = 0, added = 0; added < 12 && i < rows; ++i) {
      const RowIndex page = (i * 37) % rows;
      const std::u16string letter(1, static_cast<char16_t>(u'a' + added));
      if (bookmarks.Add(u"Mark " + letter, page, {}) == 0 &&
          notes.Add(u"Note " + letter, page, u"Text of note " + letter) == 0)
        ++added;
    }
    ASSERT_EQ(bookmarks.Count(), 12);
  }
  std::map<std::string, std::vector<std::uint8_t>> clean;
  for (const char* name : {"bookmarks.vsi", "bookmarks.vsd", "notes.vsi", "notes.vsd"})
    clean[name] = ReadAll(fx.dir.File(name));

  const std::uint64_t cases = std::max<std::uint64_t>(kCases / 5, 50);
  for (std::uint64_t i = 0; i < cases; ++i) {
    // Fresh files, then one kind of damage to one or two of them.
    for (const auto& entry : std::filesystem::directory_iterator(fx.dir.Path()))
      if (entry.path().filename().string().find(".bad") != std::string::npos)
        std::filesystem::remove(entry.path());
    for (const auto& [name, bytes] : clean) WriteAll(fx.dir.File(name), bytes);
    const char* victims[] = {"bookmarks.vsi", "bookmarks.vsd", "notes.vsi", "notes.vsd"};
    std::string what = "record damage case " + std::to_string(i) + ":";
    for (int n = 1 + static_cast<int>(pick(rng) % 2); n > 0; --n) {
      const std::string name = victims[pick(rng) % 4];
      auto bytes = ReadAll(fx.dir.File(name));
      switch (pick(rng) % 4) {
        case 0:  // a few bytes changed
          for (int k = 1 + static_cast<int>(pick(rng) % 4); k > 0 && !bytes.empty(); --k)
            bytes[pick(rng) % bytes.size()] ^= static_cast<std::uint8_t>(1 + pick(rng) % 255);
          what += " bytes of " + name;
          break;
        case 1:  // cut short
          bytes.resize(bytes.empty() ? 0 : pick(rng) % bytes.size());
          what += " " + name + " cut to " + std::to_string(bytes.size());
          break;
        case 2:  // garbage appended
          for (int k = 1 + static_cast<int>(pick(rng) % 64); k > 0; --k)
            bytes.push_back(static_cast<std::uint8_t>(pick(rng)));
          what += " garbage after " + name;
          break;
        default:  // entirely random bytes
          for (auto& b : bytes) b = static_cast<std::uint8_t>(pick(rng));
          what += " " + name + " all random";
          break;
      }
      WriteAll(fx.dir.File(name), bytes);
    }
    const auto bookmarksBefore = ReadableRecords(fx.dir.Path(), "bookmarks");
    const auto notesBefore = ReadableRecords(fx.dir.Path(), "notes");

    platform::ClearAutomationQueues();
    watchdog.Begin(what);
    ASSERT_TRUE(fx.Start()) << what;
    int status = 0;
    fx.Run("command 40026\ntick-row 0\ncommand 40024\ntap-row 0\nanswer yes\ncommand 40019\n",
           &status);
    fx.app->ExitInstance();
    fx.app.reset();
    platform::ResetQuit();
    watchdog.End();

    const auto bookmarksAfter = KeptRecords(fx.dir.Path(), "bookmarks");
    const auto notesAfter = KeptRecords(fx.dir.Path(), "notes");
    EXPECT_TRUE(std::includes(bookmarksAfter.begin(), bookmarksAfter.end(), bookmarksBefore.begin(),
                              bookmarksBefore.end()))
        << what << ": a bookmark record that could be read is gone (" << bookmarksBefore.size()
        << " before, " << bookmarksAfter.size() << " after)";
    EXPECT_TRUE(
        std::includes(notesAfter.begin(), notesAfter.end(), notesBefore.begin(), notesBefore.end()))
        << what << ": a note record that could be read is gone (" << notesBefore.size()
        << " before, " << notesAfter.size() << " after)";
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace vrok::test
