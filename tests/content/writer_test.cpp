// BookWriter: refusals, key stability, image items.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "content/content_database.h"
#include "content/internal/format.h"
#include "content/node_cursor.h"
#include "content/writer/book_writer.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using test::Num;
using test::Ref;
using test::Str;
using test::WithId;
using test::WithKey;

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string Refusal(const Book& book) {
  test::TempDir dir;
  const auto result = WriteBook(book, dir.Path());
  EXPECT_FALSE(result.ok);
  // Nothing is left behind.
  for (const char* f : {"VROK-Vrok-Data.pdb", "VROK-Vrok-Strings.pdb", "VROK-Vrok-Binary-PPC.pdb",
                        "VROK-Vrok-Data.pdb.tmp"}) {
    EXPECT_FALSE(Exists(dir.File(f))) << f;
  }
  for (const char* d : {".vrok-book-staging", ".vrok-book-ready", ".vrok-book-old"}) {
    EXPECT_FALSE(Exists(dir.File(d))) << d;
  }
  return result.message;
}

TEST(Writer, RefusesWhatItCannotRepresentAndNamesTheNode) {
  Book dup;
  dup.root = Num(u"root", 0, {WithId(Num(u"a", 1), "x"), WithId(Num(u"b", 2), "x")});
  EXPECT_NE(Refusal(dup).find("duplicate id 'x'"), std::string::npos);

  Book ref;
  ref.root = Num(u"root", 0, {WithId(Ref(u"link", "nowhere"), "l1")});
  const std::string m = Refusal(ref);
  EXPECT_NE(m.find("node 'l1'"), std::string::npos) << m;
  EXPECT_NE(m.find("unknown ref 'nowhere'"), std::string::npos) << m;

  Book keys;
  keys.root = Num(u"root", 0, {WithKey(Num(u"a", 1), 7), WithKey(Num(u"b", 1), 7)});
  EXPECT_NE(Refusal(keys).find("key collision"), std::string::npos);

  Book text;
  text.root = Num(u"root", 0, {Str(u"html", u"see {{row:missing}}")});
  EXPECT_NE(Refusal(text).find("/root/html"), std::string::npos);

  Book item;
  item.root = Num(u"root", 0, {Str(u"html", u"<IMG SRC='{{item:0}}'>")});
  EXPECT_NE(Refusal(item).find("no item '0'"), std::string::npos);

  Book table;
  table.root = Num(u"root", 0, {Num(u"table", 3)});
  EXPECT_NE(Refusal(table).find("a table needs its name"), std::string::npos);
}

TEST(Writer, RefusalKeepsAnEarlierBook) {
  test::TempDir dir;
  Book good;
  good.root = Num(u"root", 0, {Str(u"table", u"INDEX")});
  ASSERT_TRUE(WriteBook(good, dir.Path()).ok);
  const auto before = test::ReadAll(dir.File("VROK-Vrok-Data.pdb"));
  Book bad;
  bad.root = Num(u"root", 0, {Ref(u"link", "nowhere")});
  EXPECT_FALSE(WriteBook(bad, dir.Path()).ok);
  EXPECT_EQ(test::ReadAll(dir.File("VROK-Vrok-Data.pdb")), before);
}

TEST(Writer, RowsAndItemsInTexts) {
  test::TempDir dir;
  Book book;
  book.items = {{1}, {2}};
  book.root = Num(u"root", 0,
                  {Str(u"html", u"<A HREF='{{row:t}}#x'>t</A><IMG SRC='{{item:1}}'>{{other}}"),
                   WithId(Str(u"table", u"T"), "t"), Ref(u"link", "t")});
  const ContentDatabase db(test::WriteTestBook(book, dir));
  const RowIndex t = db.TableRow(u"T");
  ASSERT_NE(t, 0u);
  NodeCursor c(db, 0);
  ASSERT_TRUE(c.ToChild(u"html"));
  std::u16string text;
  ASSERT_TRUE(c.ReadString(text));
  EXPECT_EQ(text, u"<A HREF='" + std::u16string(1, static_cast<char16_t>(u'0' + t)) +
                      u"#x'>t</A><IMG SRC='1'>{{other}}");
  NodeCursor link(db, 0);
  ASSERT_TRUE(link.ToChild(u"link"));
  EXPECT_EQ(link.Row().value, t);
}

TEST(Writer, TypedNodesCanCarryALabel) {
  test::TempDir dir;
  Book book;
  BookNode control = Str(u"radio button", u"Opens eyes");
  control.type = u"radio button";
  control.textValue = true;
  book.root = Num(u"root", 0, {control, Num(u"points", 4)});
  const ContentDatabase db(test::WriteTestBook(book, dir));
  NodeCursor c(db, 0);
  ASSERT_TRUE(c.ToChild(u"radio button"));
  EXPECT_EQ(c.TypeName(), u"radio button");
  std::u16string text;
  EXPECT_FALSE(c.ReadString(text));                           // not a "string" row ...
  ASSERT_TRUE(db.ReadString(StringId{c.Row().value}, text));  // ... but its value names the label
  EXPECT_EQ(text, u"Opens eyes");
}

// Keys of a book, by id.
std::map<std::string, std::uint32_t> KeysById(const Book& book) {
  std::string error;
  const auto layout = LayOutBook(book, error);
  std::map<std::string, std::uint32_t> keys;
  for (const auto& [id, row] : layout->ids) keys[id] = layout->rows[row].key;
  return keys;
}

TEST(Writer, KeysSurviveAnEditionThatAddsPages) {
  const auto chapter = [](std::vector<BookNode> extra) {
    std::vector<BookNode> items = {
        WithId(Str(u"hierarchy item", u"Asthma", {WithId(Str(u"field", u"..."), "asthma.f")}),
               "asthma"),
        WithId(Str(u"hierarchy item", u"Croup"), "croup")};
    items.insert(items.begin(), extra.begin(), extra.end());
    Book b;
    b.root = Num(u"root", 0, {WithId(Str(u"table", u"CONTENTS", std::move(items)), "contents")});
    return b;
  };
  const auto first = KeysById(chapter({}));
  const auto second =
      KeysById(chapter({Str(u"table type", u"html"), Str(u"hierarchy item", u"Acne")}));
  for (const auto& [id, key] : first) {
    EXPECT_EQ(second.at(id), key) << id;
    EXPECT_NE(key, 0u) << id;
  }
  // The same source always gives the same keys.
  EXPECT_EQ(KeysById(chapter({})), first);
}

TEST(Writer, AssignedKeysStayBelowTheReservedRange) {
  // Many nodes, with and without ids: no assigned key reaches the keys kept
  // for pages outside the content.
  Book b;
  b.root = Num(u"root", 0);
  for (int i = 0; i < 20000; ++i) {
    BookNode n = Num(u"item", static_cast<std::uint32_t>(i));
    if (i % 2) n.id = "n" + std::to_string(i);
    b.root.children.push_back(std::move(n));
  }
  std::string error;
  const auto layout = LayOutBook(b, error);
  ASSERT_TRUE(layout) << error;
  for (const LaidOutRow& row : layout->rows) EXPECT_LT(row.key, format::kReservedKeysFrom);
}

// Which book a folder holds: the name of its one table, or "" when it
// cannot be opened.
std::u16string BookIn(const test::TempDir& dir) {
  const ContentDatabase db(dir.File("VROK-Vrok"));
  if (!db.IsReady() || db.Tables().size() != 1) return u"";
  std::u16string text;
  // Every string must read back, so that a data file of one book with the
  // strings of another shows.
  for (std::uint32_t i = 0; i < db.Geometry().stringCount; ++i) {
    if (!db.ReadString(StringId{i}, text)) return u"";
  }
  NodeCursor c(db, db.Tables()[0].second);
  if (!c.ToChild(u"html") || !c.ReadString(text)) return u"";
  return db.Tables()[0].first + u":" + text;
}

Book Edition(const std::u16string& name, int pages) {
  Book b;
  b.stamp3 = static_cast<std::uint32_t>(pages);  // the stamps differ between editions
  b.items = {std::vector<std::uint8_t>(static_cast<std::size_t>(pages), 7)};
  b.root = Num(u"root", 0, {Str(u"table", name, {Str(u"html", name + u" text")})});
  for (int i = 0; i < pages; ++i) b.root.children.push_back(Str(u"html", u"page"));
  return b;
}

// Each rename of the replacement fails in turn: the folder keeps the old
// book, whole. Cut off there instead (as if the process died), the next
// write finishes or discards the replacement: the folder then holds one
// book, never a mix, and no staging folder is left behind.
TEST(Writer, AFailedReplacementLeavesOneWholeBook) {
  const std::u16string oldBook = u"OLD:OLD text", newBook = u"NEW:NEW text";
  for (int step = 0; step < 4; ++step) {
    for (const bool abandon : {false, true}) {
      SCOPED_TRACE("step " + std::to_string(step) + (abandon ? ", cut off" : ""));
      test::TempDir dir;
      ASSERT_TRUE(WriteBook(Edition(u"OLD", 3), dir.Path()).ok);
      CommitFaults faults;
      faults.failRename = [step](int s) { return s == step; };
      faults.abandon = abandon;
      const auto result = WriteBook(Edition(u"NEW", 40000), dir.Path(), &faults);
      EXPECT_FALSE(result.ok);
      EXPECT_NE(result.message.find("cannot commit"), std::string::npos) << result.message;
      if (!abandon) {
        EXPECT_EQ(BookIn(dir), oldBook);
      } else {
        std::string error;
        ASSERT_TRUE(FinishInterruptedCommit(dir.Path(), error)) << error;
        EXPECT_EQ(BookIn(dir), step == 0 ? oldBook : newBook);
      }
      for (const char* leftover : {".vrok-book-staging", ".vrok-book-ready", ".vrok-book-old"}) {
        EXPECT_FALSE(Exists(dir.File(leftover))) << leftover;
      }
    }
  }
  // Into an empty folder, a failure leaves no book at all.
  for (int step = 1; step < 4; ++step) {
    test::TempDir dir;
    CommitFaults faults;
    faults.failRename = [step](int s) { return s == step; };
    EXPECT_FALSE(WriteBook(Edition(u"NEW", 1), dir.Path(), &faults).ok);
    for (const char* f :
         {"VROK-Vrok-Data.pdb", "VROK-Vrok-Strings.pdb", "VROK-Vrok-Binary-PPC.pdb"}) {
      EXPECT_FALSE(Exists(dir.File(f))) << f;
    }
  }
}

TEST(Writer, NamesWithZeroCharactersAndDeepTreesAreRefused) {
  Book field;
  field.root = Num(u"root", 0, {Num(std::u16string(u"a\0b", 3), 1)});
  EXPECT_NE(Refusal(field).find("a field name cannot hold a zero character"), std::string::npos);
  Book type;
  BookNode typed = Num(u"a", 1);
  typed.type = std::u16string(u"n\0", 2);
  type.root = Num(u"root", 0, {typed});
  EXPECT_NE(Refusal(type).find("a type name cannot hold a zero character"), std::string::npos);

  // kMaxBookDepth levels below the root are fine, one more is not.
  const auto chain = [](std::uint32_t depth) {
    Book b;
    b.root = Num(u"root", 0);
    BookNode* at = &b.root;
    for (std::uint32_t d = 0; d < depth; ++d) at = &at->children.emplace_back(Num(u"n", d));
    return b;
  };
  std::string error;
  EXPECT_TRUE(LayOutBook(chain(kMaxBookDepth), error)) << error;
  EXPECT_NE(Refusal(chain(kMaxBookDepth + 1)).find("nested more than"), std::string::npos);
}

// Ids whose hashes meet: the one that sorts first keeps the hash.
TEST(Writer, ClashingIdsTakeTheNextFreeKey) {
  Book b;
  b.root = Num(u"root", 0, {WithId(Num(u"a", 1), "Oxiodic"), WithId(Num(u"a", 2), "Armature")});
  const auto keys = KeysById(b);
  EXPECT_EQ(keys.at("Armature"), 4087581902u);
  EXPECT_EQ(keys.at("Oxiodic"), 4087581903u);
}

TEST(Writer, ImageItemLayout) {
  const auto item = MakeImageItem({{240, 320, {0xAA, 0xBB}}, {480, 640, {0xCC}}});
  ASSERT_EQ(item.size(), 3u + 22 + 3);
  EXPECT_EQ(item[0], 2);
  EXPECT_EQ((item[3] << 8) | item[4], 240);
  EXPECT_EQ((item[5] << 8) | item[6], 320);
  EXPECT_EQ((item[8] << 24) | (item[9] << 16) | (item[10] << 8) | item[11], 25);
  EXPECT_EQ((item[14] << 8) | item[15], 480);
  EXPECT_EQ((item[16] << 8) | item[17], 640);
  EXPECT_EQ((item[19] << 24) | (item[20] << 16) | (item[21] << 8) | item[22], 27);
  EXPECT_EQ(item[25], 0xAA);
  EXPECT_EQ(item[27], 0xCC);
}

}  // namespace
}  // namespace vrok
