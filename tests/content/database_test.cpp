// Opening the content files: ready and empty states, geometry, strings and
// binary items, names.

#include <gtest/gtest.h>

#include "content/content_database.h"
#include "content/internal/bits.h"
#include "content/internal/format.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using test::Num;
using test::ReadAll;
using test::Str;
using test::TempDir;
using test::WriteAll;

Book SmallBook() {
  Book book;
  book.root = Num(u"root", 0,
                  {Str(u"table", u"INDEX", {Str(u"table type", u"index")}),
                   Str(u"table", u"CONTENTS", {Str(u"table type", u"html list")})});
  book.items = {{1, 2, 3}, {4, 5, 6, 7, 8}};
  return book;
}

std::string DataPath(const std::string& prefix) { return prefix + "-Data.pdb"; }
std::string StringsPath(const std::string& prefix) { return prefix + "-Strings.pdb"; }
std::string BinaryPath(const std::string& prefix) { return prefix + "-Binary-PPC.pdb"; }

// Byte offset of a file's info record.
std::size_t InfoAt(const std::vector<std::uint8_t>& file) {
  return static_cast<std::size_t>(format::InfoRecordOffset(ReadBE16(&file[76])));
}

void ExpectEmpty(const ContentDatabase& db) {
  EXPECT_FALSE(db.IsReady());
  EXPECT_EQ(db.RowCount(), 0u);
  NodeRow row;
  EXPECT_FALSE(db.ReadRow(0, row));
  std::u16string text = u"untouched";
  EXPECT_FALSE(db.ReadString(StringId{0}, text));
  EXPECT_EQ(text, u"untouched");
  EXPECT_EQ(db.TableRow(u"INDEX"), 0u);
  EXPECT_EQ(db.FieldIdOf(u"table"), kNoField);
  EXPECT_EQ(db.FindChild(0, 0), 0u);
  EXPECT_EQ(db.RowOfKey(NodeKey{5}), 5u);
  EXPECT_EQ(db.BinaryItemSize(0), 0u);
}

TEST(Database, OpensAWrittenBook) {
  TempDir dir;
  const ContentDatabase db(test::WriteTestBook(SmallBook(), dir));
  ASSERT_TRUE(db.IsReady());
  EXPECT_EQ(db.RowCount(), 5u);
  EXPECT_EQ(db.TableRow(u"INDEX"), 1u);
  EXPECT_EQ(db.TableRow(u"CONTENTS"), 2u);
  EXPECT_EQ(db.BinaryItemSize(1), 5u);
  std::vector<std::uint8_t> bytes(3);
  EXPECT_TRUE(db.ReadBinary(1, bytes, 2));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{6, 7, 8}));
  EXPECT_FALSE(db.ReadBinary(1, bytes, 3));  // would run past the item
  EXPECT_FALSE(db.ReadBinary(2, bytes, 0));
}

TEST(Database, MissingOrShortFilesGiveAnEmptyDatabase) {
  TempDir dir;
  const std::string prefix = test::WriteTestBook(SmallBook(), dir);
  const auto data = ReadAll(DataPath(prefix));
  const auto strings = ReadAll(StringsPath(prefix));

  std::remove(StringsPath(prefix).c_str());
  ExpectEmpty(ContentDatabase(prefix));
  WriteAll(StringsPath(prefix), strings);

  WriteAll(DataPath(prefix), std::vector<std::uint8_t>(data.begin(), data.begin() + 77));
  ExpectEmpty(ContentDatabase(prefix));

  std::remove(DataPath(prefix).c_str());
  ExpectEmpty(ContentDatabase(prefix));
}

TEST(Database, WrongDataVersionGivesAnEmptyDatabase) {
  TempDir dir;
  const std::string prefix = test::WriteTestBook(SmallBook(), dir);
  auto data = ReadAll(DataPath(prefix));
  for (const std::uint8_t version : {3, 5}) {
    data[InfoAt(data) + 3] = version;
    WriteAll(DataPath(prefix), data);
    ExpectEmpty(ContentDatabase(prefix));
  }
}

TEST(Database, AnyStampMismatchGivesAnEmptyDatabase) {
  TempDir dir;
  const std::string prefix = test::WriteTestBook(SmallBook(), dir);
  const auto strings = ReadAll(StringsPath(prefix));
  for (const std::size_t stampByte : {5, 7, 11}) {  // last byte of stamps 1, 2 and 3
    auto patched = strings;
    patched[InfoAt(patched) + stampByte] ^= 1;
    WriteAll(StringsPath(prefix), patched);
    ExpectEmpty(ContentDatabase(prefix));
  }
  WriteAll(StringsPath(prefix), strings);
  EXPECT_TRUE(ContentDatabase(prefix).IsReady());
}

TEST(Database, MissingOrWrongBinaryFileOnlyLosesFigures) {
  TempDir dir;
  const std::string prefix = test::WriteTestBook(SmallBook(), dir);
  auto binary = ReadAll(BinaryPath(prefix));
  binary[InfoAt(binary) + 3] = 4;
  WriteAll(BinaryPath(prefix), binary);
  for (int pass = 0; pass < 2; ++pass) {
    const ContentDatabase db(prefix);
    EXPECT_TRUE(db.IsReady());
    EXPECT_EQ(db.TableRow(u"INDEX"), 1u);
    EXPECT_EQ(db.BinaryItemSize(0), 0u);
    std::vector<std::uint8_t> one(1);
    EXPECT_FALSE(db.ReadBinary(0, one, 0));
    std::remove(BinaryPath(prefix).c_str());  // second pass: no binary file at all
  }
}

TEST(Database, LastItemEndsAtTheBinaryFilesOwnEnd) {
  // The strings file is far longer than the binary one; the last item's
  // extent must come from the binary file.
  TempDir dir;
  Book book = SmallBook();
  book.root.children.push_back(Str(u"html", std::u16string(5000, u'x')));
  const ContentDatabase db(test::WriteTestBook(book, dir));
  EXPECT_EQ(db.BinaryItemSize(1), 5u);
}

// A hand-made content pair: a data file with no lists and no rows, and a
// strings file with the given location entries and data bytes.
struct RawBook {
  TempDir dir;
  std::string prefix = dir.File("VROK-Vrok");

  static std::vector<std::uint8_t> Container(std::uint16_t records,
                                             const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> file(76, 0);
    file.push_back(static_cast<std::uint8_t>(records >> 8));
    file.push_back(static_cast<std::uint8_t>(records));
    file.resize(file.size() + 8u * records, 0);
    file.insert(file.end(), body.begin(), body.end());
    return file;
  }

  void Write(const std::vector<std::uint32_t>& locations, const std::vector<std::uint8_t>& data,
             std::uint16_t dataRecords = 1) {
    std::vector<std::uint8_t> info(32, 0);
    info[3] = 4;
    WriteAll(prefix + "-Data.pdb", Container(dataRecords, info));
    std::uint32_t largest = 0;
    for (const auto l : locations) largest = std::max(largest, l);
    std::vector<std::uint8_t> body(20, 0);
    const auto put32 = [&body](std::size_t at, std::uint32_t v) {
      for (int i = 0; i < 4; ++i) body[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    };
    put32(12, static_cast<std::uint32_t>(locations.size()));
    put32(16, largest);
    const auto table = format::MakePackedArray(locations.size(), format::Bits(largest));
    std::vector<std::uint8_t> packed(table->size, 0);
    for (std::size_t i = 0; i < locations.size(); ++i) {
      WriteBits(packed, table->ChunkOffset(i) * 8 + table->BitInChunk(i), table->width,
                locations[i]);
    }
    body.insert(body.end(), packed.begin(), packed.end());
    body.insert(body.end(), data.begin(), data.end());
    WriteAll(prefix + "-Strings.pdb", Container(1, body));
  }
};

TEST(Database, RecordCountOneGeometry) {
  RawBook raw;
  raw.Write({0}, {'a'}, /*dataRecords=*/1);
  const ContentDatabase db(raw.prefix);
  ASSERT_TRUE(db.IsReady());
  EXPECT_EQ(db.Geometry().fieldNamesStart, 118u);  // info record at 86, 32 bytes long
  EXPECT_EQ(db.RowCount(), 0u);
  NodeRow row;
  EXPECT_FALSE(db.ReadRow(0, row));
}

TEST(Database, StringLengthsFromLocations) {
  RawBook raw;
  // String 0 at (record 3, offset 64990), string 1 at (4, 10) and empty,
  // string 2 at (4, 10) too, string 3, the last, at (4, 15) running to the end.
  const std::uint32_t locations[] = {3u << 16 | 64990, 4u << 16 | 10, 4u << 16 | 10, 4u << 16 | 15};
  std::vector<std::uint8_t> data(4 * 65000 + 15, 'z');
  for (int i = 0; i < 20; ++i) data[3 * 65000 + 64990 + i] = static_cast<std::uint8_t>('a' + i);
  data.insert(data.end(), {'e', 'n', 'd'});
  raw.Write({std::begin(locations), std::end(locations)}, data);
  const ContentDatabase db(raw.prefix);
  ASSERT_TRUE(db.IsReady());
  EXPECT_EQ(db.StringByteLength(StringId{0}), 20u);
  std::u16string text;
  ASSERT_TRUE(db.ReadString(StringId{0}, text));
  EXPECT_EQ(text, u"abcdefghijklmnopqrst");  // one piece across the record boundary
  text = u"x";
  EXPECT_TRUE(db.ReadString(StringId{1}, text));
  EXPECT_EQ(text, u"");
  EXPECT_TRUE(db.ReadString(StringId{2}, text));
  EXPECT_EQ(text, u"zzzzz");
  EXPECT_TRUE(db.ReadString(StringId{3}, text));
  EXPECT_EQ(text, u"end");
  EXPECT_EQ(db.StringByteLength(StringId{3}), 3u);
  EXPECT_FALSE(db.ReadString(StringId{4}, text));
  EXPECT_EQ(db.StringByteLength(StringId{4}), 0u);
}

TEST(Database, DamagedLocationsFailCleanly) {
  RawBook raw;
  // Decreasing locations, a string whose end lies past the file, and a last
  // string that starts past the end; string 1 is sound.
  raw.Write({100, 50, 60, 1u << 16}, std::vector<std::uint8_t>(120, 'q'));
  const ContentDatabase db(raw.prefix);
  ASSERT_TRUE(db.IsReady());
  std::u16string text = u"kept";
  EXPECT_FALSE(db.ReadString(StringId{0}, text));
  EXPECT_EQ(text, u"kept");
  EXPECT_EQ(db.StringByteLength(StringId{0}), 0u);
  EXPECT_TRUE(db.ReadString(StringId{1}, text));
  EXPECT_EQ(text, std::u16string(10, u'q'));
  EXPECT_FALSE(db.ReadString(StringId{2}, text));
  EXPECT_FALSE(db.ReadString(StringId{3}, text));
  EXPECT_EQ(db.StringByteLength(StringId{3}), 0u);
}

TEST(Database, GeometryThatDoesNotFitTheFileGivesAnEmptyDatabase) {
  TempDir dir;
  const std::string prefix = test::WriteTestBook(SmallBook(), dir);
  const auto data = ReadAll(DataPath(prefix));
  WriteAll(DataPath(prefix), std::vector<std::uint8_t>(data.begin(), data.end() - 1));
  ExpectEmpty(ContentDatabase(prefix));
}

TEST(Database, NamesAreCaseSensitiveAndALaterDuplicateWins) {
  TempDir dir;
  Book book;
  // Field names in order of appearance: root, table, table type, tablf.
  book.root =
      Num(u"root", 0, {Str(u"table", u"INDEX", {Str(u"table type", u"index")}), Num(u"tablf", 1)});
  const std::string prefix = test::WriteTestBook(book, dir);
  {
    const ContentDatabase db(prefix);
    EXPECT_EQ(db.FieldIdOf(u"table"), 1);
    EXPECT_EQ(db.FieldIdOf(u"Table"), kNoField);
    EXPECT_EQ(db.TableRow(u"index"), 0u);
    EXPECT_EQ(db.TableRow(u""), 0u);
    EXPECT_EQ(db.TableRow(u"INDEX"), 1u);
  }
  // Rename "tablf" to "table" in the strings file: the list now holds
  // "table" twice, and the later id wins.
  auto strings = ReadAll(StringsPath(prefix));
  const std::string needle = "tablf";
  const auto at = std::search(strings.begin(), strings.end(), needle.begin(), needle.end());
  ASSERT_NE(at, strings.end());
  at[4] = 'e';
  WriteAll(StringsPath(prefix), strings);
  const ContentDatabase db(prefix);
  ASSERT_EQ(db.FieldNames().size(), 4u);
  EXPECT_EQ(db.FieldNames()[1], u"table");
  EXPECT_EQ(db.FieldNames()[3], u"table");
  EXPECT_EQ(db.FieldIdOf(u"table"), 3);
}

}  // namespace
}  // namespace vrok
