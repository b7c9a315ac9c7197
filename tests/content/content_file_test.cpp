// Content files that are not what they should be: a FIFO or a folder in
// their place, a file that holds no book, a file that shrinks while it is
// read. Opening must not block, reading must not crash, and the database
// must say why it is not a book.

#include "content/internal/content_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "book_fixture.h"
#include "content/internal/bits.h"
#include "content/internal/format.h"
#include "support/walk.h"

namespace vrok {
namespace {

const char* const kSuffixes[] = {"-Data.pdb", "-Strings.pdb", "-Binary-PPC.pdb"};

// A file of n bytes where byte i is i % 251.
std::vector<std::uint8_t> Pattern(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i % 251);
  return bytes;
}

TEST(ContentFile, RefusesWhatIsNotARegularFileWithoutBlocking) {
  test::TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ContentFile file;
  EXPECT_FALSE(file.Open(fifo));  // would block for ever without a writer
  EXPECT_EQ(file.LastError(), ContentFile::OpenError::kNotRegular);
  EXPECT_FALSE(file.Open(dir.Path()));
  EXPECT_EQ(file.LastError(), ContentFile::OpenError::kNotRegular);
  EXPECT_FALSE(file.Open(dir.File("absent")));
  EXPECT_EQ(file.LastError(), ContentFile::OpenError::kMissing);
  EXPECT_FALSE(file.IsOpen());

  test::WriteAll(dir.File("plain"), Pattern(10));
  ASSERT_TRUE(file.Open(dir.File("plain")));
  EXPECT_EQ(file.LastError(), ContentFile::OpenError::kNone);
  // The descriptor reads blocking again: a plain read works.
  std::vector<std::uint8_t> bytes(10);
  EXPECT_TRUE(file.ReadAt(0, bytes));
  EXPECT_EQ(bytes, Pattern(10));
}

TEST(ContentFile, MappedAndCalledReadsAgreeAndAreCounted) {
  test::TempDir dir;
  const auto whole = Pattern(70000);
  test::WriteAll(dir.File("f"), whole);
  for (const bool mapped : {true, false}) {
    ContentFile::SetMapping(mapped);
    ContentFile file;
    ASSERT_TRUE(file.Open(dir.File("f")));
    EXPECT_EQ(file.IsMapped(), mapped);
    const std::uint64_t calls = ContentFile::ReadCalls();
    const std::uint64_t served = ContentFile::MappedReads();
    std::vector<std::uint8_t> bytes(9);
    ASSERT_TRUE(file.ReadAt(69991, bytes));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), whole.begin() + 69991));
    EXPECT_FALSE(file.ReadAt(69992, bytes));  // one byte past the end
    EXPECT_EQ(ContentFile::ReadCalls() - calls, mapped ? 0u : 1u);
    EXPECT_EQ(ContentFile::MappedReads() - served, mapped ? 1u : 0u);
  }
  ContentFile::SetMapping(true);
}

TEST(ContentFile, AFileThatShrinksUnderTheReaderGivesFailedReads) {
  test::TempDir dir;
  const auto whole = Pattern(256 * 1024);
  for (const bool replaced : {false, true}) {
    test::WriteAll(dir.File("f"), whole);
    ContentFile file;
    ASSERT_TRUE(file.Open(dir.File("f")));
    ASSERT_TRUE(file.IsMapped());
    std::vector<std::uint8_t> bytes(16);
    ASSERT_TRUE(file.ReadAt(200000, bytes));
    if (replaced) {
      // A new, shorter file renamed over the old one: the open file is
      // still the old one, whole.
      test::WriteAll(dir.File("g"), Pattern(100));
      ASSERT_EQ(std::rename(dir.File("g").c_str(), dir.File("f").c_str()), 0);
      EXPECT_TRUE(file.ReadAt(200000, bytes));
      EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), whole.begin() + 200000));
      continue;
    }
    ASSERT_EQ(::truncate(dir.File("f").c_str(), 100), 0);
    // Pages past the new end are gone: the access faults, the read fails,
    // and the process goes on.
    EXPECT_FALSE(file.ReadAt(200000, bytes));
    EXPECT_FALSE(file.ReadAt(150000, bytes));
    // What is left of the file still reads.
    ASSERT_TRUE(file.ReadAt(10, bytes));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), whole.begin() + 10));
  }
}

TEST(ContentFile, EachBookFileTruncatedUnderAnOpenDatabase) {
  test::Fixture fx;
  // Enough strings to fill several pages of the strings file.
  Book book = fx.book;
  for (int i = 0; i < 400; ++i)
    book.root.children.push_back(
        test::Str(u"html", u"Page " + std::u16string(60, static_cast<char16_t>(u'a' + i % 26))));
  book.items = {std::vector<std::uint8_t>(30000, 7), std::vector<std::uint8_t>(30000, 9)};
  const std::string prefix = test::WriteTestBook(book, fx.dir);
  for (const char* suffix : kSuffixes) {
    const auto whole = test::ReadAll(prefix + suffix);
    for (const std::uint64_t length : {std::uint64_t{0}, std::uint64_t{100}, whole.size() / 2}) {
      const ContentDatabase db(prefix);
      ASSERT_TRUE(db.IsReady());
      const std::uint64_t before = test::WalkEverything(db);
      ASSERT_EQ(::truncate((prefix + suffix).c_str(), static_cast<off_t>(length)), 0);
      test::WalkEverything(db);  // returns, whatever it reads
      test::WriteAll(prefix + suffix, whole);
      EXPECT_EQ(test::WalkEverything(ContentDatabase(prefix)), before);
    }
  }
}

TEST(ContentDatabase, SaysWhyFilesAreNotABook) {
  test::Fixture fx;
  EXPECT_TRUE(ContentDatabase(fx.prefix).FailureReason().empty());
  EXPECT_TRUE(ContentDatabase(fx.prefix).IsBook());
  const std::string data = fx.prefix + "-Data.pdb";
  const std::string strings = fx.prefix + "-Strings.pdb";
  const auto dataBytes = test::ReadAll(data);
  const auto stringBytes = test::ReadAll(strings);
  const auto reason = [&] {
    const ContentDatabase db(fx.prefix);
    EXPECT_FALSE(db.IsBook());
    EXPECT_EQ(db.RowCount(), 0u);
    return db.FailureReason();
  };

  std::filesystem::remove(data);
  EXPECT_EQ(reason(), "the data file is missing");
  ASSERT_EQ(::mkfifo(data.c_str(), 0600), 0);
  EXPECT_EQ(reason(), "the data file is not a regular file");
  std::filesystem::remove(data);

  // 78 bytes or more, yet no book.
  test::WriteAll(data, std::vector<std::uint8_t>(200, 0));
  EXPECT_EQ(reason(), "the data file's format version is 0, not 4");
  test::WriteAll(data, std::vector<std::uint8_t>(dataBytes.begin(), dataBytes.begin() + 90));
  EXPECT_EQ(reason(), "the data file is too short for its header and info record");
  // A well-formed info record that announces no rows at all.
  auto noRows = dataBytes;
  const std::size_t info = format::InfoRecordOffset(ReadBE16(&noRows[76]));
  std::fill(noRows.begin() + static_cast<std::ptrdiff_t>(info) + 20,
            noRows.begin() + static_cast<std::ptrdiff_t>(info) + 24, 0);
  test::WriteAll(data, noRows);
  {
    const ContentDatabase db(fx.prefix);
    EXPECT_FALSE(db.IsBook());
    EXPECT_EQ(db.FailureReason(), "the data file holds no rows");
  }
  auto cut = dataBytes;
  cut.resize(cut.size() - 1);
  test::WriteAll(data, cut);
  EXPECT_EQ(reason().rfind("the data file is shorter than its node table needs", 0), 0u);
  test::WriteAll(data, dataBytes);

  std::filesystem::remove(strings);
  ASSERT_EQ(::mkfifo(strings.c_str(), 0600), 0);
  EXPECT_EQ(reason(), "the strings file is not a regular file");
  std::filesystem::remove(strings);
  auto stamped = stringBytes;
  stamped[format::InfoRecordOffset(ReadBE16(&stamped[76])) + 5] ^= 1;
  test::WriteAll(strings, stamped);
  EXPECT_EQ(reason(), "the strings file belongs to another book (its stamps differ)");
  test::WriteAll(strings, stringBytes);
  EXPECT_TRUE(ContentDatabase(fx.prefix).IsReady());
}

}  // namespace
}  // namespace vrok
