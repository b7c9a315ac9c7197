// The index views on screen: the index table as a list with its search
// bar, the rows below it as nested menus, "index with fields" tables and
// configurable rows in either view mode, "index_search", the footnotes
// button, and the search as the user types.

#include "views/pages/index_views.h"

#include <gtest/gtest.h>

#include <QLineEdit>

#include "core/navigation/page_names.h"
#include "frame/main_window.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "support/test_books.h"
#include "widgets/search_bar.h"

namespace vrok {
namespace {

using nlohmann::json;
using test::FillPane;
using test::Num;
using test::PaneWhere;
using test::Ref;
using test::Str;
using test::WithId;
using test::WithKey;

// INDEX: Apple (a link), apricot (entries of its own, one nested deeper),
// a bold Banana (a link), and footnotes. DIAG: an "index with fields"
// table of records. SHELF: a configurable table with a row in each index
// view mode.
Book IndexBook() {
  Book book;
  book.root = WithKey(
      Num(u"root", 0,
          {WithId(Str(u"table", u"INDEX",
                      {Str(u"table type", u"index"),
                       Num(u"footnotes", 0, {Str(u"footnote", u"Entries in bold are fruit.")}),
                       WithId(Str(u"hierarchy item", u"Apple", {Ref(u"link", "fruit")}), "apple"),
                       WithId(Str(u"hierarchy item", u"apricot",
                                  {Str(u"hierarchy item", u"dried", {Ref(u"link", "dried")}),
                                   Str(u"hierarchy item", u"fresh",
                                       {Str(u"hierarchy item", u"in season",
                                            {Ref(u"link", "fruit")})})}),
                              "apricot"),
                       WithId(Str(u"hierarchy item", u"<B>Banana</B>", {Ref(u"link", "dried")}),
                              "banana")}),
                  "index"),
           WithId(Str(u"table", u"FRUIT", {Str(u"table type", u"html"), Str(u"html", u"Fruit.")}),
                  "fruit"),
           WithId(Str(u"table", u"DRIED", {Str(u"table type", u"html"), Str(u"html", u"Dried.")}),
                  "dried"),
           WithId(
               Str(u"table", u"DIAG",
                   {Str(u"table type", u"index with fields"), Str(u"field name", u"Think of"),
                    WithId(Str(u"hierarchy item", u"Cough", {Str(u"field", u"Croup.")}), "cough"),
                    Str(u"hierarchy item", u"Fever", {Str(u"field", u"Flu.")})}),
               "diag"),
           WithId(Str(u"table", u"SHELF",
                      {Str(u"table type", u"configurable tight hierarchy"),
                       Str(u"view mode", u"html list"),
                       WithId(Str(u"hierarchy item", u"Quick",
                                  {Str(u"view mode", u"index"),
                                   Str(u"hierarchy item", u"Zest", {Ref(u"link", "fruit")})}),
                              "quick"),
                       WithId(Str(u"hierarchy item", u"Drugs",
                                  {Str(u"view mode", u"index with fields"),
                                   Str(u"hierarchy item", u"Aspirin", {Ref(u"link", "dried")})}),
                              "drugs")}),
                  "shelf")}),
      0);
  return book;
}

json SearchPane(const json& report) { return PaneWhere(report, "kind", "SearchBar"); }

struct IndexViewTest : test::ReaderTest<IndexBook> {
  // The report after the script's last line.
  json After(const std::string& script) {
    int status = 0;
    std::string errors;
    const auto reports = reader.Run(script + "\ndump", &status, &errors);
    EXPECT_EQ(status, 0) << errors;
    return reports.empty() ? json() : reports.back();
  }
  int Selected(const std::string& script) { return FillPane(After(script))["selected"]; }
};

TEST_F(IndexViewTest, TheIndexRowIsAListAndTheRowsBelowItAreMenus) {
  const json list = After("navigate index");
  const json pane = FillPane(list);
  ASSERT_EQ(pane["kind"], "ListHost") << list.dump();
  EXPECT_EQ(pane["name"], "index-list");
  EXPECT_EQ(pane["title"], "INDEX");
  EXPECT_EQ(pane["rows"], json({"Apple", "apricot", "Banana"}));
  EXPECT_EQ(pane["selected"], -1);
  EXPECT_EQ(pane["first_visible"], 0);
  EXPECT_EQ(list["title"], "INDEX");
  const json bar = SearchPane(list);
  EXPECT_EQ(bar["side"], 3);
  EXPECT_EQ(bar["text"], "");
  EXPECT_EQ(bar["button"], true);  // the index has footnotes

  // An entry with a link leads to the link's value, not to its own row; an
  // entry without one is plain text followed by its own entries.
  const json menu = After("navigate " + Row("apricot"));
  const json page = FillPane(menu);
  EXPECT_EQ(page["name"], "menu-index");
  EXPECT_EQ(page["title"], "apricot");
  EXPECT_EQ(page["html"],
            "<HTML><HEAD></HEAD><BODY><FONT FACE='PPC_Font2'><MENU>"
            "<LI><A HREF=" +
                Row("dried") +
                ">dried<BR></LI>"
                "<LI>fresh<BR></LI><MENU><LI><A HREF=" +
                Row("fruit") +
                ">in season<BR></LI></MENU>"
                "</MENU></FONT></HTML></BODY>");
  EXPECT_EQ(PaneWhere(menu, "name", "menu-index-buttons")["side"], 3);
  EXPECT_TRUE(SearchPane(menu).is_null());

  const json followed = After("tap-link " + Row("fruit"));
  EXPECT_EQ(followed["page"], R("fruit"));
  EXPECT_EQ(FillPane(followed)["name"], "hierarchy");
}

TEST_F(IndexViewTest, TypingSelectsTheFirstEntryWithThoseLettersIgnoringCase) {
  reader.Run("navigate index");
  // The box has the focus once the index is shown.
  EXPECT_EQ(Selected("type ap"), 0);
  EXPECT_EQ(Selected("set 150 APR"), 1);
  EXPECT_EQ(Selected("set 150 b"), 2);  // "<B>Banana</B>" by its letters
  EXPECT_EQ(Selected("set 150 "), -1);
  EXPECT_EQ(Selected("set 150 cherry"), 2);  // no entry: where it would stand
  // No entry begins with "apricots": the last one before it is selected and
  // the bar says so.
  const json r = After("set 150 apricots");
  EXPECT_EQ(FillPane(r)["selected"], 1);
  EXPECT_EQ(SearchPane(r)["no_match"], true);
  EXPECT_EQ(SearchPane(After("set 150 apr"))["no_match"], false);
  EXPECT_EQ(r["page"], R("index"));  // searching does not navigate

  // The program's own setting of the text runs no search.
  SearchBar& bar = reader.app->IndexList()->Bar();
  const ListHost& list = reader.app->IndexList()->Pane().List();
  bar.SetText(u"a");
  EXPECT_EQ(list.Selected(), 1);  // still where "apricots" left it
  bar.Box().setText(QStringLiteral("ap"));
  EXPECT_EQ(list.Selected(), 0);
}

TEST_F(IndexViewTest, EnterOpensTheSelectedEntry) {
  reader.Run("navigate index");
  EXPECT_EQ(After("type ban\nkey Return")["page"], R("dried"));
  reader.Run("navigate index");
  // Nothing typed: Enter stays.
  EXPECT_EQ(After("key Return")["page"], R("index"));
  EXPECT_EQ(After("type app\nkey Return")["page"], R("fruit"));
}

TEST_F(IndexViewTest, TappingAnEntryGoesToItsLinkElseToTheEntry) {
  const json apple = After("navigate index\ntap-row 0");
  EXPECT_EQ(apple["page"], R("fruit"));
  const json apricot = After("navigate index\ntap-row 1");
  EXPECT_EQ(apricot["page"], R("apricot"));
  EXPECT_EQ(FillPane(apricot)["name"], "menu-index");
  EXPECT_EQ(After("navigate index\ntap-row 2")["page"], R("dried"));
}

TEST_F(IndexViewTest, IndexSearchShowsTheIndexSearchingForItsText) {
  const PageId searchPage = reader.app->Names()[pages::kIndexSearch];
  const json found = After("navigate index_search apr");
  EXPECT_EQ(found["page"], searchPage);
  const json pane = FillPane(found);
  EXPECT_EQ(pane["name"], "index-list");
  EXPECT_EQ(pane["title"], "INDEX");
  EXPECT_EQ(pane["selected"], 1);
  EXPECT_EQ(SearchPane(found)["text"], "apr");
  EXPECT_EQ(found["history"]["entries"].back()["page"], searchPage);

  // Without data, and whenever another index page is taken, the box is
  // emptied and nothing is selected.
  const json empty = After("set 150 b\nnavigate index_search");
  EXPECT_EQ(SearchPane(empty)["text"], "");
  EXPECT_EQ(FillPane(empty)["selected"], -1);
  const json back = After("set 150 b\nnavigate " + Row("fruit") + "\ncommand 40006");
  EXPECT_EQ(back["page"], searchPage);
  EXPECT_EQ(SearchPane(back)["text"], "");
  EXPECT_EQ(FillPane(back)["selected"], -1);
}

TEST_F(IndexViewTest, TheFootnotesButtonOpensTheIndexFootnotes) {
  for (const std::string& page : {std::string("index"), Row("apricot")}) {
    const json shown = After("navigate " + page + "\ncommand 1002");
    ASSERT_FALSE(shown["popup"].is_null()) << page;
    EXPECT_EQ(shown["popup"]["caption"], "Footnotes");
    EXPECT_NE(shown["popup"]["html"].get<std::string>().find("Entries in bold are fruit."),
              std::string::npos);
    reader.Run("answer ok");
  }
  // A table without footnotes hides the button.
  int status = 0;
  const json diag = reader.Run("navigate " + Row("diag") + "\ncommand 1002\ndump", &status).back();
  EXPECT_EQ(status, 2);
  EXPECT_EQ(SearchPane(diag)["button"], false);
  EXPECT_TRUE(diag["popup"].is_null());
}

TEST_F(IndexViewTest, IndexWithFieldsTablesAndConfigurableRowsInEachMode) {
  const json diag = After("navigate " + Row("diag"));
  const json list = FillPane(diag);
  EXPECT_EQ(list["name"], "field-index");
  EXPECT_EQ(list["title"], "DIAG");
  EXPECT_EQ(list["rows"], json({"Cough", "Fever"}));
  EXPECT_EQ(SearchPane(diag)["text"], "");
  EXPECT_EQ(Selected("set 150 fe"), 1);
  // A record of the table opens as a record page, not as a menu.
  const json cough = After("tap-row 0");
  EXPECT_EQ(cough["page"], R("cough"));
  EXPECT_EQ(FillPane(cough)["name"], "hierarchy");

  const json drugs = After("navigate " + Row("drugs"));
  EXPECT_EQ(FillPane(drugs)["name"], "field-index");
  EXPECT_EQ(FillPane(drugs)["title"], "Drugs");
  EXPECT_EQ(After("tap-row 0")["page"], R("dried"));

  const json quick = After("navigate " + Row("quick"));
  EXPECT_EQ(FillPane(quick)["name"], "index-list");
  EXPECT_EQ(FillPane(quick)["rows"], json({"Zest"}));
  EXPECT_EQ(SearchPane(quick)["button"], false);
  EXPECT_EQ(After("tap-row 0")["page"], R("fruit"));

  // The configurable table itself is a list page of the hierarchy view.
  EXPECT_EQ(FillPane(After("navigate " + Row("shelf")))["name"], "hierarchy");
}

TEST(IndexViewLongList, TheFoundEntryIsScrolledIntoViewAndTheTopShownAgainLater) {
  Book book;
  std::vector<BookNode> entries{Str(u"table type", u"index")};
  for (int i = 0; i < 200; ++i) {
    std::u16string text = u"Entry ";
    for (int d = 100; d > 0; d /= 10) text.push_back(static_cast<char16_t>(u'0' + (i / d) % 10));
    entries.push_back(Str(u"hierarchy item", text));
  }
  book.root = WithKey(Num(u"root", 0, {Str(u"table", u"INDEX", std::move(entries))}), 0);
  test::ReaderFixture reader(book);
  ASSERT_TRUE(reader.Start());
  const auto r = reader.Run(
      "dismiss-splash\nnavigate index\nset 150 entry 15\ndump\nset 150 \ndump\n"
      "navigate index\ndump");
  ASSERT_EQ(r.size(), 3u);
  const ListHost& list = reader.app->IndexList()->Pane().List();
  const json found = FillPane(r[0]);
  EXPECT_EQ(found["selected"], 150);
  const int first = found["first_visible"];
  EXPECT_LE(first, 150);
  EXPECT_GT(first + list.RowsPerPage(), 150);
  EXPECT_EQ(FillPane(r[1])["selected"], -1);
  EXPECT_EQ(FillPane(r[2])["first_visible"], 0);
}

// The list over an index holds the run of its entries, not the entries:
// making it reads a handful of rows however long the index is, and each
// entry is read when asked for; the row after the run is not an entry.
TEST(IndexItemModelRun, MakingTheListReadsAFewRowsWhateverItsLength) {
  std::uint64_t reads[2] = {};
  int pass = 0;
  for (const int count : {26, 5000}) {
    Book book;
    std::vector<BookNode> entries{Str(u"table type", u"index")};
    for (int i = 0; i < count; ++i) {
      std::u16string text = u"Entry ";
      for (int d = 1000; d > 0; d /= 10) text.push_back(static_cast<char16_t>(u'0' + (i / d) % 10));
      entries.push_back(Str(u"hierarchy item", text));
    }
    book.root = Num(u"root", 0,
                    {WithId(Str(u"table", u"INDEX", std::move(entries)), "index"),
                     Str(u"table", u"AFTER", {Str(u"hierarchy item", u"not an entry")})});
    const test::TestBook written(book);
    const ContentDatabase& db = *written.db;
    const std::uint64_t before = db.RowReads();
    const IndexItemModel model(db, written["index"]);
    reads[pass++] = db.RowReads() - before;
    ASSERT_EQ(model.RowCount(), count);
    EXPECT_EQ(model.RowText(0), u"Entry 0000");
    EXPECT_EQ(model.RowText(count - 1), count == 26 ? u"Entry 0025" : u"Entry 4999");
    EXPECT_EQ(model.RowAt(count - 1) + 1, model.RowAt(0) + static_cast<RowIndex>(count));
    EXPECT_EQ(model.RowText(count), u"");
    EXPECT_EQ(PrefixSearch(model, u"entry 0017"), 17u);
  }
  EXPECT_LE(reads[1], reads[0] + 16) << "26 entries: " << reads[0] << " reads, 5000: " << reads[1];
}

}  // namespace
}  // namespace vrok
