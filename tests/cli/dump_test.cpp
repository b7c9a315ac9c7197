// vrok-dump's output contract, run as a separate program.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/json_text.h"
#include "command_run.h"
#include "content/writer/book_writer.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using test::Num;
using test::Str;

using DumpRun = test::CommandRun;

DumpRun Dump(const std::string& args) {
  return test::RunCommand(std::string(VROK_DUMP) + " " + args + " 2>/dev/null");
}

TEST(JsonText, EscapesEverythingOutsidePrintableAscii) {
  EXPECT_EQ(JsonString(u"a\"b\\c"), "\"a\\u0022b\\u005cc\"");
  EXPECT_EQ(JsonString(u"\n\u00e9\U0001F600"), "\"\\u000a\\u00e9\\ud83d\\ude00\"");
  EXPECT_EQ(JsonString(std::u16string(1, u'\xDC00')), "\"\\udc00\"");
  EXPECT_EQ(JsonString(u"~ \x7f"), "\"~ \\u007f\"");
}

class DumpTool : public ::testing::Test {
 protected:
  void SetUp() override {
    Book book;
    book.items = {{0x00, 0xFF, 0x10}};
    book.root = Num(u"root", 0,
                    {WithKey(Str(u"table", u"INDEX", {Str(u"table type", u"index")}), 42),
                     Str(u"html", std::u16string(u"q\"\u00e9") + u'\xD800')});
    test::WriteTestBook(book, dir);
  }
  test::TempDir dir;
  static BookNode WithKey(BookNode n, std::uint32_t k) { return test::WithKey(std::move(n), k); }
};

TEST_F(DumpTool, InfoNamesRows) {
  const DumpRun info = Dump("info " + dir.Path());
  ASSERT_EQ(info.status, 0);
  const auto j = nlohmann::json::parse(info.out);
  EXPECT_EQ(j["state"], "ready");
  EXPECT_EQ(j["rows"], 4);
  EXPECT_EQ(j["format_version"], 4);
  EXPECT_EQ(j["stamps"], nlohmann::json::array({1, 1, 1}));
  EXPECT_EQ(j["widths"]["row"], 2);
  EXPECT_EQ(j["sections"]["field_names"], 78 + 8 * 5 + 32);  // info + four list chunks
  for (const char* k : {"field_names", "type_names", "tables", "largest_key", "follower_range",
                        "strings", "largest_string_location", "items", "largest_item_location"}) {
    EXPECT_TRUE(j.contains(k)) << k;
  }

  const DumpRun names = Dump("names " + dir.Path());
  ASSERT_EQ(names.status, 0);
  EXPECT_EQ(names.out,
            "{\"fields\":[\"root\",\"table\",\"table type\",\"html\"],\"types\":[\"number\","
            "\"string\"],\"tables\":[{\"name\":\"INDEX\",\"row\":1}]}\n");

  const DumpRun rows = Dump("rows " + dir.Path());
  ASSERT_EQ(rows.status, 0);
  EXPECT_NE(rows.out.find("{\"row\":1,\"key\":42,\"parent\":0,\"field\":\"table\",\"followers\":0,"
                          "\"type\":\"string\",\"value\":"),
            std::string::npos)
      << rows.out;
  EXPECT_NE(rows.out.find("\"text\":\"q\\u0022\\u00e9\\ud800\"}"), std::string::npos) << rows.out;
  EXPECT_EQ(std::count(rows.out.begin(), rows.out.end(), '\n'), 4);
}

TEST_F(DumpTool, SingleLookups) {
  EXPECT_EQ(Dump("key " + dir.Path() + " 42").out, "{\"key\":42,\"row\":1}\n");
  EXPECT_EQ(Dump("key " + dir.Path() + " 43").out, "{\"key\":43,\"row\":43}\n");
  EXPECT_EQ(Dump("child " + dir.Path() + " 1 'table type'").out, "{\"row\":3}\n");
  EXPECT_EQ(Dump("child " + dir.Path() + " 1 'Table type'").out, "{\"row\":0}\n");
  EXPECT_EQ(Dump("string " + dir.Path() + " 0").out, "{\"id\":0,\"bytes\":0,\"text\":\"\"}\n");
  const DumpRun item = Dump("item " + dir.Path() + " 0");
  EXPECT_EQ(item.status, 0);
  EXPECT_EQ(item.out, std::string("\x00\xFF\x10", 3));
}

TEST_F(DumpTool, OutOfRangeAndDamagedFolders) {
  EXPECT_EQ(Dump("string " + dir.Path() + " 999").status, 1);
  EXPECT_EQ(Dump("item " + dir.Path() + " 1").status, 1);
  EXPECT_EQ(Dump("child " + dir.Path() + " 4 table").status, 1);
  EXPECT_EQ(Dump("string " + dir.Path() + " x").status, 1);
  const DumpRun empty = Dump("info " + dir.Path() + "/missing");
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "{\"state\":\"empty\",\"rows\":0}\n");
  EXPECT_EQ(Dump("rows " + dir.Path() + "/missing").out, "");
}

// A FIFO in a content file's place must not block the tool, and a file
// that is no book must be named with the reason on standard error.
TEST_F(DumpTool, InfoSaysWhyAFolderIsNotABook) {
  const std::string data = dir.File("VROK-Vrok-Data.pdb");
  const std::string strings = dir.File("VROK-Vrok-Strings.pdb");
  const auto dataBytes = test::ReadAll(data);
  const auto stringBytes = test::ReadAll(strings);
  const auto info = [this] {
    // Standard error after the JSON line; the timeout turns a hang into a
    // failed run instead of a stuck test.
    return test::RunCommand("timeout 60 " + std::string(VROK_DUMP) + " info " + dir.Path() +
                            " 2>&1");
  };
  const auto expectReason = [&](const std::string& reason) {
    const DumpRun run = info();
    EXPECT_EQ(run.status, 0) << reason;
    // The two streams are buffered differently: either line may come first.
    EXPECT_NE(run.out.find("{\"state\":\"empty\",\"rows\":0}\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("vrok-dump: not a book: " + reason + "\n"), std::string::npos)
        << run.out;
  };

  std::filesystem::remove(data);
  ASSERT_EQ(::mkfifo(data.c_str(), 0600), 0);
  expectReason("the data file is not a regular file");
  std::filesystem::remove(data);
  // A header of no records, then an info record of 0xFF bytes.
  std::vector<std::uint8_t> bad(78, 0);
  bad.resize(78 + 32, 0xFF);
  test::WriteAll(data, bad);
  expectReason("the data file's format version is 4294967295, not 4");
  test::WriteAll(data, dataBytes);

  std::filesystem::remove(strings);
  ASSERT_EQ(::mkfifo(strings.c_str(), 0600), 0);
  expectReason("the strings file is not a regular file");
  std::filesystem::remove(strings);
  test::WriteAll(strings, stringBytes);

  // A FIFO as the binary file only loses the figures.
  const std::string binary = dir.File("VROK-Vrok-Binary-PPC.pdb");
  std::filesystem::remove(binary);
  ASSERT_EQ(::mkfifo(binary.c_str(), 0600), 0);
  const DumpRun run = info();
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(nlohmann::json::parse(run.out)["items"], 0);
}

}  // namespace
}  // namespace vrok
