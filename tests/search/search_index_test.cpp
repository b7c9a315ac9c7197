// The search index on small books: what a page's document holds, folding
// and spelling variants, index entries as synonyms, suggestions, and an
// index that is missing, stale or damaged. Also vrok-book's commit of the
// index with the book.

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

#include <random>

#include "content/utf8.h"
#include "core/search/book_documents.h"
#include "core/search/book_index.h"
#include "core/pages/page_text.h"
#include "core/search/search_text.h"
#include "support/test_books.h"

namespace vrok::search {
namespace {

using test::Num;
using test::Ref;
using test::Str;
using test::WithId;

// A record table, an index leading to its records, a grid and footnotes.
Book SmallBook(std::uint32_t stamp3 = 1) {
  Book book;
  book.stamp3 = stamp3;
  book.root = Num(
      u"root", 0,
      {Str(u"table", u"TOPICS",
           {Str(u"table type", u"html list"), Str(u"field name", u"Summary"),
            WithId(Str(u"hierarchy item", u"Adrenaline",
                       {Str(u"field", u"Give <B>intramuscular</B> adrenaline for anaphylaxis.")}),
                   "adrenaline"),
            WithId(Str(u"hierarchy item", u"Atrial fibrillation",
                       {Str(u"field", u"An irregularly irregular pulse. Rate control first.")}),
                   "af"),
            WithId(Str(u"hierarchy item", u"Haemorrhage",
                       {Str(u"field", u"Severe bleeding; look for oedema and anaemia too.")}),
                   "bleed"),
            Str(u"hierarchy item", u"Na\u00EFve patients",
                {Str(u"field", u"Patients new to the treatment.")})}),
       Str(u"table", u"Fluids",
           {Str(u"table type", u"table"), Str(u"column name", u"Fluid"),
            Str(u"row", u"", {Str(u"cell", u"Hartmann's solution")}),
            Num(u"footnotes", 0, {Str(u"footnote", u"Check the potassium daily.")})}),
       Str(u"table", u"INDEX",
           {Str(u"table type", u"index"),
            Str(u"hierarchy item", u"A",
                {Str(u"hierarchy item", u"AF", {Ref(u"link", "af")})}),
            Str(u"hierarchy item", u"E",
                {Str(u"hierarchy item", u"Epinephrine", {Ref(u"link", "adrenaline")})})})});
  return book;
}

std::vector<BookDocument> Documents(const ContentDatabase& db) {
  std::vector<BookDocument> docs;
  EXPECT_TRUE(WalkBook(db, [&](BookDocument&& d) { docs.push_back(std::move(d)); }));
  return docs;
}

const BookDocument* Titled(const std::vector<BookDocument>& docs, std::u16string_view title) {
  for (const BookDocument& d : docs)
    if (d.title == title) return &d;
  return nullptr;
}

std::vector<std::u16string> Titles(const SearchAnswer& a) {
  std::vector<std::u16string> out;
  for (const SearchHit& h : a.hits) out.push_back(h.title);
  return out;
}

TEST(SearchText, WordsAreFoldedAndBritishSpellingsMeetAmerican) {
  EXPECT_EQ(KeyText(u"NA\u00CFVE Na\u00EFve naive"), "naive naive naive");
  EXPECT_EQ(KeyText(u"Haemorrhage, oedema; OESOPHAGUS anaemia hyperkalaemia"),
            KeyText(u"hemorrhage edema esophagus anemia hyperkalemia"));
  EXPECT_EQ(KeyText(u"Addison's disease"), "addisons disease");
  const std::vector<Word> words = WordsOf(u"  Caf\u00E9 au-lait ");
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[0].begin, 2u);
  EXPECT_EQ(words[0].end, 6u);
  EXPECT_EQ(words[0].key, "cafe");
}

TEST(SearchText, AccentsAndCaseFoldForFindInPage) {
  EXPECT_EQ(FoldLetter(u'\u00C9'), u'e');
  EXPECT_EQ(FoldLetter(u'\u0141'), u'l');
  EXPECT_EQ(FoldLetter(u'\u00DF'), u'\u00DF');  // no plain base
  EXPECT_EQ(FoldLetter(u'\u00D7'), u'\u00D7');
}

TEST(BookDocuments, OnePerPageWithTheTextItShowsAndEntriesAsSynonyms) {
  const test::TestBook book(SmallBook());
  const auto docs = Documents(*book.db);
  const BookDocument* adrenaline = Titled(docs, u"Adrenaline");
  ASSERT_NE(adrenaline, nullptr);
  EXPECT_EQ(adrenaline->page, book["adrenaline"]);
  EXPECT_EQ(adrenaline->path, std::vector<std::u16string>{u"TOPICS"});
  EXPECT_EQ(adrenaline->text, u"Give intramuscular adrenaline for anaphylaxis.");
  EXPECT_EQ(adrenaline->synonyms, std::vector<std::u16string>{u"Epinephrine"});
  // Grid cells and footnotes belong to the grid's page; the column names
  // and the table type do not.
  const BookDocument* fluids = Titled(docs, u"Fluids");
  ASSERT_NE(fluids, nullptr);
  EXPECT_EQ(fluids->text, u"Hartmann's solution\nCheck the potassium daily.");
  // Index entries are no pages of their own, and the letters none at all.
  EXPECT_EQ(Titled(docs, u"AF"), nullptr);
  EXPECT_EQ(Titled(docs, u"E"), nullptr);
  const BookDocument* index = Titled(docs, u"INDEX");
  ASSERT_NE(index, nullptr);
  EXPECT_EQ(index->text, u"");
}

struct IndexedBook : ::testing::Test {
  test::TestBook book{SmallBook()};
  std::string file = book.dir.File("index.idx");
  BookIndex index;
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BuildIndex(*book.db, file, error)) << error;
    ASSERT_TRUE(index.Open(file, StampsOf(*book.db)));
  }
  std::u16string First(std::u16string_view query) {
    const SearchAnswer a = index.Query(query);
    EXPECT_TRUE(a.ok);
    return a.hits.empty() ? u"" : a.hits.front().title;
  }
};

TEST_F(IndexedBook, FoldingVariantsPrefixesAndSynonymsFindThePage) {
  EXPECT_EQ(index.DocumentCount(), 7u);
  EXPECT_EQ(First(u"NAIVE"), u"Na\u00EFve patients");
  EXPECT_EQ(First(u"hemorrhage"), u"Haemorrhage");
  EXPECT_EQ(First(u"edema"), u"Haemorrhage");
  EXPECT_EQ(First(u"anemia"), u"Haemorrhage");
  EXPECT_EQ(First(u"epinephrine"), u"Adrenaline");
  EXPECT_EQ(First(u"AF"), u"Atrial fibrillation");
  EXPECT_EQ(First(u"fibr"), u"Atrial fibrillation");  // the last word as a prefix
  EXPECT_NE(First(u"fibr "), u"Atrial fibrillation");  // a finished word is whole
  EXPECT_EQ(First(u"hartmann"), u"Fluids");
  EXPECT_EQ(First(u"potassium"), u"Fluids");
  // The title outweighs the body: "adrenaline" is in two pages' text.
  EXPECT_EQ(First(u"adrenaline"), u"Adrenaline");
}

TEST_F(IndexedBook, SnippetsShowTheMatchedWordsInBold) {
  const SearchAnswer a = index.Query(u"anaphylaxis");
  ASSERT_EQ(a.hits.size(), 1u);
  const SearchHit& hit = a.hits.front();
  EXPECT_EQ(hit.snippet, u"Give intramuscular adrenaline for anaphylaxis.");
  ASSERT_EQ(hit.bold.size(), 1u);
  EXPECT_EQ(hit.snippet.substr(hit.bold[0].first, hit.bold[0].second - hit.bold[0].first),
            u"anaphylaxis");
  EXPECT_EQ(hit.path, std::vector<std::u16string>{u"TOPICS"});
}

TEST_F(IndexedBook, AMisspellingGetsASuggestionAndItsResults) {
  const SearchAnswer a = index.Query(u"fibirllation");
  ASSERT_TRUE(a.ok);
  ASSERT_TRUE(a.suggestion.has_value());
  EXPECT_EQ(*a.suggestion, u"fibrillation");
  EXPECT_TRUE(a.corrected);
  EXPECT_EQ(Titles(a), std::vector<std::u16string>{u"Atrial fibrillation"});
  const SearchAnswer none = index.Query(u"zzzzqqq ");
  EXPECT_TRUE(none.ok);
  EXPECT_TRUE(none.hits.empty());
  EXPECT_FALSE(none.corrected);
}

// A hit opens at the labelled section its snippet comes from: fields
// labelled by their table's field names, and a field labelled by its own
// text above an "html" child. Text before any label opens at the top.
TEST(BookSections, AHitOpensAtTheSectionThatMatched) {
  Book drugs;
  drugs.root = Num(
      u"root", 0,
      {Str(u"table", u"DRUGS",
           {Str(u"table type", u"html list"), Str(u"field name", u""),
            Str(u"field name", u"Uses"), Str(u"field name", u"Cautions"),
            WithId(Str(u"hierarchy item", u"Acetylcysteine",
                       {Str(u"field", u"An antidote."), Str(u"field", u"Paracetamol overdose."),
                        Str(u"field", u"Wheeze with the first bag.")}),
                   "nac"),
            WithId(Str(u"hierarchy item", u"Salbutamol",
                       {Str(u"field", u"Dose", {Str(u"html", u"Five milligrams nebulised.")})}),
                   "salbutamol")})});
  const test::TestBook book(drugs);
  const auto docs = Documents(*book.db);
  const BookDocument* nac = Titled(docs, u"Acetylcysteine");
  ASSERT_NE(nac, nullptr);
  ASSERT_EQ(nac->sections.size(), 2u);
  EXPECT_EQ(nac->sections[0].label, u"Uses");
  EXPECT_EQ(nac->text.substr(nac->sections[0].begin, 21), u"Paracetamol overdose.");
  EXPECT_EQ(nac->sections[1].label, u"Cautions");
  // The rows of the fields that hold a text (rows are not in page order).
  const auto fieldWith = [&](std::u16string_view text) {
    for (RowIndex r = 0; r < book.db->RowCount(); ++r) {
      std::vector<NodeRow> row;
      std::u16string value;
      if (book.db->ReadRows(r, 1, row) && row.size() == 1 && row[0].value != 0 &&
          book.db->ReadString(StringId{row[0].value}, value) && value == text)
        return r;
    }
    return RowIndex{0};
  };
  const RowIndex cautions = fieldWith(u"Wheeze with the first bag.");
  ASSERT_NE(cautions, 0u);
  EXPECT_EQ(nac->sections[1].row, cautions);

  const std::string file = book.dir.File("index.idx");
  std::string error;
  ASSERT_TRUE(BuildIndex(*book.db, file, error)) << error;
  BookIndex index;
  ASSERT_TRUE(index.Open(file, StampsOf(*book.db)));
  const auto anchorOf = [](const SearchHit& hit) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < hit.data.size(); i += 2)
      text.push_back(static_cast<char16_t>(hit.data[i] | hit.data[i + 1] << 8));
    return text;
  };
  SearchAnswer a = index.Query(u"wheeze ");
  ASSERT_EQ(a.hits.size(), 1u);
  EXPECT_EQ(a.hits[0].page, book["nac"]);
  EXPECT_EQ(a.hits[0].section, u"Cautions");
  EXPECT_EQ(anchorOf(a.hits[0]), Decimal(cautions) + u'\0');
  a = index.Query(u"paracetamol");
  ASSERT_EQ(a.hits.size(), 1u);
  EXPECT_EQ(a.hits[0].section, u"Uses");
  a = index.Query(u"nebulised");
  ASSERT_EQ(a.hits.size(), 1u);
  EXPECT_EQ(a.hits[0].section, u"Dose");
  EXPECT_EQ(anchorOf(a.hits[0]), Decimal(fieldWith(u"Dose")) + u'\0');
  // Before the first label, and on the title alone: the top of the page.
  for (const char16_t* query : {u"antidote", u"acetylcysteine"}) {
    a = index.Query(query);
    ASSERT_FALSE(a.hits.empty());
    EXPECT_TRUE(a.hits[0].section.empty()) << ToUtf8(query);
    EXPECT_TRUE(a.hits[0].data.empty()) << ToUtf8(query);
  }
}

TEST(IndexFiles, MissingStaleAndDamagedIndexesAreRefusedWithoutACrash) {
  const test::TestBook book(SmallBook());
  const test::TestBook newer(SmallBook(2));
  const std::string file = book.dir.File("index.idx");
  BookIndex index;
  EXPECT_FALSE(index.Open(file, StampsOf(*book.db)));  // missing
  std::string error;
  ASSERT_TRUE(BuildIndex(*book.db, file, error)) << error;
  EXPECT_FALSE(index.Open(file, StampsOf(*newer.db)));  // made for other stamps
  EXPECT_FALSE(index.IsOpen());
  EXPECT_FALSE(index.Query(u"adrenaline").ok);
  ASSERT_TRUE(index.Open(file, StampsOf(*book.db)));

  // Random bytes, whole or over part of a good index, one flipped bit, a
  // cut or a longer file: refused before the search library reads them
  // (its reading of a damaged database is not safe).
  const std::vector<std::uint8_t> good = test::ReadAll(file);
  const std::string damaged = book.dir.File("damaged.idx");
  for (const std::size_t at : {std::size_t{40}, good.size() / 2, good.size() - 1}) {
    std::vector<std::uint8_t> flipped = good;
    flipped[at] ^= 0x10;
    test::WriteAll(damaged, flipped);
    EXPECT_FALSE(BookIndex().Open(damaged, "")) << at;
  }
  for (const std::size_t size : {std::size_t{0}, std::size_t{31}, good.size() - 1, good.size() + 1}) {
    std::vector<std::uint8_t> resized = good;
    resized.resize(size);
    test::WriteAll(damaged, resized);
    EXPECT_FALSE(BookIndex().Open(damaged, "")) << size;
  }
  test::WriteAll(damaged, good);
  EXPECT_TRUE(BookIndex().Open(damaged, ""));
  std::mt19937 random(21);
  for (int round = 0; round < 40; ++round) {
    std::vector<std::uint8_t> bytes = good;
    if (round % 4 == 0) {
      bytes.resize(random() % 20000);
      for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    } else {
      const std::size_t from = random() % bytes.size();
      for (std::size_t i = from; i < std::min(bytes.size(), from + 1 + random() % 4096); ++i)
        bytes[i] = static_cast<std::uint8_t>(random());
    }
    test::WriteAll(damaged, bytes);
    EXPECT_EQ(BookIndex().Open(damaged, StampsOf(*book.db)), bytes == good) << round;
  }
}

TEST(IndexFiles, VrokBookCommitsTheIndexWithTheBookAndRemovesAStaleOne) {
  const test::TestBook book(SmallBook());
  const std::string folder = book.dir.Path() + "/out";
  std::string error;
  auto layout = LayOutBook(SmallBook(7), error);
  ASSERT_TRUE(layout) << error;
  const StageExtra index = [](const std::string& staging, const std::string& file,
                              std::string& why) {
    const ContentDatabase staged(staging + "/VROK-Vrok");
    return BuildIndex(staged, file, why);
  };
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  ASSERT_TRUE(WriteBook(SmallBook(7), *layout, folder, nullptr, &index).ok);
  const ContentDatabase written(folder + "/VROK-Vrok");
  BookIndex opened;
  EXPECT_TRUE(opened.Open(folder + "/VROK-Vrok-Search.idx", StampsOf(written)));
  EXPECT_EQ(StampsOf(written), "1-1-7");

  // A failing index stops the whole write: the old book and index stay.
  const StageExtra failing = [](const std::string&, const std::string&, std::string& why) {
    why = "no room for the index";
    return false;
  };
  auto other = LayOutBook(SmallBook(8), error);
  const BookWriteResult refused = WriteBook(SmallBook(8), *other, folder, nullptr, &failing);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message, "no room for the index");
  EXPECT_EQ(StampsOf(ContentDatabase(folder + "/VROK-Vrok")), "1-1-7");
  EXPECT_TRUE(opened.Open(folder + "/VROK-Vrok-Search.idx", "1-1-7"));

  // A book written without an index leaves no stale one behind.
  ASSERT_TRUE(WriteBook(SmallBook(9), *LayOutBook(SmallBook(9), error), folder).ok);
  std::ifstream gone(folder + "/VROK-Vrok-Search.idx");
  EXPECT_FALSE(gone.good());
}

}  // namespace
}  // namespace vrok::search
