// vrok-book and vrok-dump as an author meets them: run as programs on
// sources written to a temporary folder.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "command_run.h"
#include "content/content_database.h"
#include "content/writer/book_writer.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using ToolRun = test::CommandRun;

// Standard output and standard error together.
ToolRun Program(const std::string& command) { return test::RunCommand(command + " 2>&1"); }

class BookTool : public ::testing::Test {
 protected:
  // Writes the source and compiles it into out/.
  ToolRun Compile(const std::string& json, const std::string& out = "out") {
    Source(json);
    return Program(std::string(VROK_BOOK) + " " + dir.File("book.json") + " " + dir.File(out));
  }
  void Source(const std::string& json) const { std::ofstream(dir.File("book.json")) << json; }
  ToolRun Dump(const std::string& args, const std::string& out = "out") const {
    return Program(std::string(VROK_DUMP) + " " + args + " " + dir.File(out));
  }
  // The key of the row named by an id: row, then key, through vrok-dump.
  std::uint32_t KeyOfTable(const std::string& name, const std::string& out = "out") const {
    const ContentDatabase db(dir.File(out + "/VROK-Vrok"));
    NodeRow row;
    EXPECT_TRUE(db.ReadRow(db.TableRow(FromAscii(name)), row));
    return static_cast<std::uint32_t>(row.key);
  }
  static std::u16string FromAscii(const std::string& s) { return {s.begin(), s.end()}; }
  std::vector<nlohmann::json> Rows(const std::string& out = "out") const {
    std::vector<nlohmann::json> rows;
    std::istringstream lines(Dump("rows", out).out);
    for (std::string line; std::getline(lines, line);) rows.push_back(nlohmann::json::parse(line));
    return rows;
  }
  test::TempDir dir;
};

std::string Tables(const std::vector<std::string>& ids, const std::string& extra = "") {
  std::string kids;
  for (const auto& id : ids) {
    kids += (kids.empty() ? "" : ",") + std::string(R"({"field": "table", "id": ")") + id +
            R"(", "text": ")" + id + "\"" + extra + "}";
  }
  return R"({"root": {"field": "root", "children": [)" + kids + "]}}";
}

// "Armature" and "Oxiodic" hash to the same key: the one that sorts first
// keeps it, the other moves on; the same source gives the same keys, an
// edition with more pages keeps them, and an explicit key pins one.
TEST_F(BookTool, IdsWhoseKeysClashMoveOnDeterministically) {
  ASSERT_EQ(Compile(Tables({"Oxiodic", "Armature"})).status, 0);
  const std::uint32_t armature = KeyOfTable("Armature"), oxiodic = KeyOfTable("Oxiodic");
  EXPECT_EQ(armature, 4087581902u);
  EXPECT_NE(oxiodic, armature);
  EXPECT_EQ(oxiodic, 4087581903u);
  const auto before = test::ReadAll(dir.File("out/VROK-Vrok-Data.pdb"));

  ASSERT_EQ(Compile(Tables({"Oxiodic", "Armature"}), "again").status, 0);
  EXPECT_EQ(test::ReadAll(dir.File("again/VROK-Vrok-Data.pdb")), before);

  ASSERT_EQ(Compile(Tables({"Zebra", "Oxiodic", "Aardvark", "Armature"}), "next").status, 0);
  EXPECT_EQ(KeyOfTable("Armature", "next"), armature);
  EXPECT_EQ(KeyOfTable("Oxiodic", "next"), oxiodic);

  // A pinned key wins over a hashed one, which moves on.
  ASSERT_EQ(Compile(R"({"root": {"field": "root", "children": [
      {"field": "table", "id": "Armature", "text": "Armature"},
      {"field": "table", "id": "pinned", "text": "pinned", "key": 4087581902}]}})",
                    "pinned")
                .status,
            0);
  EXPECT_EQ(KeyOfTable("pinned", "pinned"), 4087581902u);
  EXPECT_NE(KeyOfTable("Armature", "pinned"), 4087581902u);
  // Two equal explicit keys stay an error.
  const ToolRun twice = Compile(R"({"root": {"field": "root", "children": [
      {"field": "a", "key": 5}, {"field": "b", "key": 5}]}})",
                                "twice");
  EXPECT_EQ(twice.status, 1);
  EXPECT_NE(twice.out.find("key collision"), std::string::npos) << twice.out;
}

TEST_F(BookTool, ZeroCharactersInNamesAreRefused) {
  for (const char* node : {R"({"field": "a\u0000b"})", R"({"field": "a", "type": "x\u0000"})"}) {
    const ToolRun r =
        Compile(std::string(R"({"root": {"field": "root", "children": [)") + node + "]}}");
    EXPECT_EQ(r.status, 1) << node;
    EXPECT_NE(r.out.find("cannot hold a zero character"), std::string::npos) << r.out;
    struct stat st {};
    EXPECT_NE(::stat(dir.File("out/VROK-Vrok-Data.pdb").c_str(), &st), 0) << "nothing written";
  }
}

// Inputs that crashed or blocked the compiler get a message and exit 1.
TEST_F(BookTool, BadInputsGetAMessageAndExitOne) {
  std::string deep = R"({"root": )";
  for (int i = 0; i < 20000; ++i) deep += R"({"field": "a", "children": [)";
  deep += R"({"field": "b"})";
  for (int i = 0; i < 20000; ++i) deep += "]}";
  deep += "}";
  const ToolRun d = Compile(deep);
  EXPECT_EQ(d.status, 1);
  EXPECT_NE(d.out.find("nested more than 1024 levels deep"), std::string::npos)
      << d.out.substr(0, 200);

  const ToolRun folder = Program(std::string(VROK_BOOK) + " " + dir.Path() + " " + dir.File("out"));
  EXPECT_EQ(folder.status, 1);
  EXPECT_NE(folder.out.find("it is a folder"), std::string::npos) << folder.out;

  ::mkdir(dir.File("pic").c_str(), 0755);
  const ToolRun item = Compile(R"({"items": [{"file": "pic"}], "root": {"field": "root"}})");
  EXPECT_EQ(item.status, 1);
  EXPECT_NE(item.out.find("items[0]: cannot read"), std::string::npos) << item.out;

  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);
  const ToolRun fifo =
      Program(std::string(VROK_BOOK) + " " + dir.File("fifo") + " " + dir.File("out"));
  EXPECT_EQ(fifo.status, 1);
  EXPECT_NE(fifo.out.find("not a regular file"), std::string::npos) << fifo.out;
}

TEST_F(BookTool, JsonErrorsGiveTheirPlace) {
  const ToolRun r = Compile("{\"root\":\n {\"field\": \"r\", \"text\": \"a\xff\"}}");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("not valid JSON at byte 35 (line 2, column 27)"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("ill-formed UTF-8"), std::string::npos) << r.out;
  const ToolRun cut = Compile("{\"root\": {\"field\": \"r\",\n\n   ");
  EXPECT_EQ(cut.status, 1);
  EXPECT_NE(cut.out.find("(line 3, column"), std::string::npos) << cut.out;
}

// Every {{row: and {{item: is resolved or refused; other braces are text.
TEST_F(BookTool, StrayBracesAreKeptAndPlaceholdersResolved) {
  ASSERT_EQ(Compile(R"({"root": {"field": "root", "children": [
      {"field": "table", "id": "notice", "text": "NOTICE"},
      {"field": "html", "text": "Same as {{Clupea. See <A HREF='{{row:notice}}'>notice</A>. {{{row:notice}}"},
      {"field": "html", "text": "Write {{open}}row:ID}} for a link"}]}})")
                .status,
            0);
  std::vector<std::string> texts;
  for (const auto& row : Rows()) {
    if (row["field"] == "html") texts.push_back(row["text"]);
  }
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "Same as {{Clupea. See <A HREF='1'>notice</A>. {1");
  EXPECT_EQ(texts[1], "Write {{row:ID}} for a link");

  for (const char* text : {"a {{row:notice", "{{row:nobody}}", "{{item:0}}", "{{item:x}}"}) {
    const ToolRun r = Compile(std::string(R"({"root": {"field": "root", "children": [
        {"field": "table", "id": "notice", "text": "NOTICE"}, {"field": "html", "text": ")") +
                              text + "\"}]}}");
    EXPECT_EQ(r.status, 1) << text;
    EXPECT_NE(r.out.find("/root/html"), std::string::npos) << r.out;
  }
}

std::string Index(const std::vector<std::string>& entries, const std::string& sort = "") {
  std::string kids = R"({"field": "table type", "text": "index"})";
  for (const auto& e : entries) kids += R"(, {"field": "hierarchy item", "text": ")" + e + "\"}";
  return R"({"root": {"field": "root", "children": [{"field": "table", "text": "INDEX")" + sort +
         R"(, "children": [)" + kids + "]}]}}";
}

// The search's order: plain text, case folded, code unit by code unit.
TEST_F(BookTool, SearchListsAreCheckedOrSorted) {
  EXPECT_EQ(Compile(Index({"<B>apple</B>", "Apricot", "banana", "Zebra", "\\u00c4rger"})).status,
            0);
  EXPECT_EQ(Dump("check").out, "{\"problems\":[]}\n");
  EXPECT_EQ(Dump("check").status, 0);

  const ToolRun refused = Compile(Index({"Apfel", "\\u00d6l", "Ohr"}), "bad");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.out.find("table 'INDEX'"), std::string::npos) << refused.out;
  EXPECT_NE(refused.out.find("'\xc3\x96l' (row 4) comes before 'Ohr' (row 5)"), std::string::npos)
      << refused.out;
  struct stat st {};
  EXPECT_NE(::stat(dir.File("bad/VROK-Vrok-Data.pdb").c_str(), &st), 0);

  ASSERT_EQ(
      Compile(Index({"pear", "<I>Apple</I>", "\\u00d6l", "Ohr", "apple"}, R"(, "sort": true)"),
              "sorted")
          .status,
      0);
  std::vector<std::string> order;
  for (const auto& row : Rows("sorted")) {
    if (row["field"] == "hierarchy item") order.push_back(row["text"]);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"<I>Apple</I>", "apple", "Ohr", "pear", "\xc3\x96l"}));

  // A table that keeps its order on purpose is compiled with a warning.
  const ToolRun kept = Compile(Index({"b", "a"}, R"(, "sort": false)"), "kept");
  EXPECT_EQ(kept.status, 0);
  EXPECT_NE(kept.out.find("warning"), std::string::npos) << kept.out;

  // vrok-dump check finds the same in a compiled book, in index-mode lists too.
  Book book;
  book.root = test::Num(
      u"root", 0,
      {test::Str(u"table", u"INDEX",
                 {test::Str(u"table type", u"index"), test::Str(u"hierarchy item", u"b"),
                  test::Str(u"hierarchy item", u"a")}),
       test::Str(u"table", u"A_Z",
                 {test::Str(u"table type", u"configurable tight hierarchy"),
                  test::Str(u"hierarchy item", u"list",
                            {test::Str(u"view mode", u"index"), test::Str(u"hierarchy item", u"y"),
                             test::Str(u"hierarchy item", u"x")}),
                  test::Str(u"hierarchy item", u"z"), test::Str(u"hierarchy item", u"a")})});
  ::mkdir(dir.File("lib").c_str(), 0755);
  ASSERT_TRUE(WriteBook(book, dir.File("lib")).ok);
  const ToolRun check = Dump("check", "lib");
  EXPECT_EQ(check.status, 1);
  const std::size_t at = check.out.find("{\"problems\"");
  ASSERT_NE(at, std::string::npos) << check.out;
  const auto j = nlohmann::json::parse(check.out.substr(at, check.out.find('\n', at) - at));
  ASSERT_EQ(j["problems"].size(), 2u) << check.out;
  EXPECT_EQ(j["problems"][0]["table"], "INDEX");
  EXPECT_EQ(j["problems"][0]["texts"], nlohmann::json::array({"b", "a"}));
  EXPECT_EQ(j["problems"][1]["table"], "A_Z");
  EXPECT_EQ(j["problems"][1]["texts"], nlohmann::json::array({"y", "x"}));
}

}  // namespace
}  // namespace vrok
