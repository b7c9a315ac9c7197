// The sample book as it is compiled into the program folder: that it
// compiles, that every page the tabs and links reach exists, that it holds
// every kind of table the views show, and that its published scales score as
// published. That every link lands on a page some view accepts is checked by
// walking the book through the views (tests/render/sample_walk_test.cpp).

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <set>
#include <string>

#include "content/content_database.h"
#include "content/utf8.h"
#include "core/pages/titles.h"
#include "samples/sample_model.h"
#include "support/temp_dir.h"

namespace vrok {
namespace {

using test::Answers;
using test::BookModel;
using test::Score;

const std::string kPrefix = std::string(VROK_PROGRAM_DIR) + "/VROK-Vrok";

class SampleBook : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    db_ = new ContentDatabase(kPrefix);
    ASSERT_TRUE(db_->IsReady()) << "the sample book in " << VROK_PROGRAM_DIR << " does not open";
    book_ = new BookModel(*db_);
  }
  static void TearDownTestSuite() {
    delete book_;
    delete db_;
    book_ = nullptr;
    db_ = nullptr;
  }

  static std::string U8(const std::u16string& s) { return ToUtf8(s); }
  // Rows whose own "table type" is type.
  static std::vector<RowIndex> RowsOfType(std::u16string_view type) {
    std::vector<RowIndex> out;
    for (RowIndex r = 0; r < book_->Count(); ++r) {
      if (book_->Field(r) == u"table type" && book_->Text(r) == type)
        out.push_back(book_->Row(r).parent);
    }
    return out;
  }
  static RowIndex Table(std::u16string_view name) { return db_->TableRow(name); }

  static ContentDatabase* db_;
  static BookModel* book_;
};
ContentDatabase* SampleBook::db_ = nullptr;
BookModel* SampleBook::book_ = nullptr;

TEST(SampleSource, CompilesWithVrokBook) {
  test::TempDir dir;
  const std::string command =
      std::string(VROK_BOOK) + " '" + VROK_SAMPLE_SOURCE + "' '" + dir.Path() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const ContentDatabase db(dir.Path() + "/VROK-Vrok");
  EXPECT_TRUE(db.IsReady());
  EXPECT_NE(db.TableRow(u"INDEX"), 0u);
}

// Every table shows a readable title: no lookup name in capitals with
// underscores is left for a reader to see.
TEST_F(SampleBook, EveryTableHasAReadableTitle) {
  int tables = 0;
  for (RowIndex r = 0; r < book_->Count(); ++r) {
    if (book_->Field(r) != u"table") continue;
    ++tables;
    const std::u16string shown = ShownName(*db_, r, true);
    bool lower = false;
    for (const char16_t c : shown) lower = lower || (c >= u'a' && c <= u'z');
    EXPECT_TRUE(lower && shown.find(u'_') == std::u16string::npos) << U8(shown);
  }
  EXPECT_GE(tables, 20);
  EXPECT_EQ(ShownName(*db_, Table(u"TABLE_20"), true), u"Low back pain red flags");
  EXPECT_EQ(ShownName(*db_, Table(u"TABLE_20"), false), u"TABLE_20");
}

TEST_F(SampleBook, EveryNamedTableResolves) {
  for (const auto* name :
       {u"INDEX", u"CONTENTS", u"AUTHORS_AND_CONTRIBUTORS", u"NOTICE", u"GUIDE_TO_TARVESSA",
        u"ABOUT_KESTOR", u"TOOLS", u"CALCULATORS", u"DIAGNOSTIC_INDEX", u"A_Z_IN_BRIEF",
        u"A_Z_IN_DETAIL", u"SPLASH", u"TABLE_20"}) {
    const RowIndex row = Table(name);
    ASSERT_NE(row, 0u) << U8(name);
    EXPECT_EQ(book_->Field(row), u"table");
    EXPECT_EQ(book_->Text(row), name);
  }
  const std::u16string notice = book_->Text(*book_->Child(Table(u"NOTICE"), u"html"));
  EXPECT_NE(notice.find(u"sample content"), std::u16string::npos);
  EXPECT_NE(notice.find(u"not clinical advice"), std::u16string::npos);
}

TEST_F(SampleBook, HoldsEveryTableTypeAndViewMode) {
  for (const auto* type :
       {u"html", u"html list", u"extended html", u"index", u"index with fields", u"tight hierarchy",
        u"linked tight hierarchy", u"configurable tight hierarchy", u"flow chart", u"questionarie",
        u"figure", u"definitions", u"table"}) {
    EXPECT_FALSE(RowsOfType(type).empty()) << U8(type);
  }
  // "html list" is also the view mode of configurable rows; so are "index"
  // and "index with fields".
  std::set<std::u16string> modes;
  for (RowIndex r = 0; r < book_->Count(); ++r) {
    if (book_->Field(r) == u"view mode" &&
        book_->OwnTableType(book_->TableOf(book_->Row(r).parent)) ==
            u"configurable tight hierarchy") {
      modes.insert(book_->Text(r));
    }
  }
  EXPECT_EQ(modes, (std::set<std::u16string>{u"html list", u"index", u"index with fields"}));
}

// Every HREF and IMG SRC in every text: the page is an existing row other
// than the root, an anchor is a row inside that page, an image is a figure.
TEST_F(SampleBook, EveryLinkInEveryTextPointsAtARow) {
  const std::regex href(R"((HREF|SRC)=(['"]?)([^'" >]*)\2)", std::regex::icase);
  const std::regex target(R"((\d+)(?:#(\d+))?)");
  const std::regex entity(R"(&([A-Za-z]*);)");
  const std::set<std::string> entities{"amp", "lt", "gt", "nbsp", "copy"};
  int links = 0, anchors = 0, images = 0;
  for (RowIndex r = 0; r < book_->Count(); ++r) {
    const std::string text = U8(book_->Text(r));
    for (auto it = std::sregex_iterator(text.begin(), text.end(), href);
         it != std::sregex_iterator(); ++it) {
      const std::string value = (*it)[3];
      std::smatch m;
      ASSERT_TRUE(std::regex_match(value, m, target))
          << "row " << r << ": target '" << value << "'";
      const auto page = static_cast<RowIndex>(std::stoul(m[1]));
      ASSERT_GT(page, 0u) << "row " << r;
      ASSERT_LT(page, book_->Count()) << "row " << r;
      if (m[2].matched) {
        const auto anchor = static_cast<RowIndex>(std::stoul(m[2]));
        ASSERT_LT(anchor, book_->Count());
        EXPECT_EQ(book_->Row(anchor).parent, page)
            << "row " << r << ": anchor " << anchor << " is not in page " << page;
        EXPECT_EQ(book_->Field(anchor), u"field");
        ++anchors;
      }
      if (std::toupper(static_cast<unsigned char>((*it)[1].str()[0])) == 'S') {
        EXPECT_EQ(book_->OwnTableType(page), u"figure") << "row " << r << ": image " << page;
        ++images;
      }
      ++links;
    }
    for (auto it = std::sregex_iterator(text.begin(), text.end(), entity);
         it != std::sregex_iterator(); ++it) {
      EXPECT_TRUE(entities.count((*it)[1])) << "row " << r << ": &" << (*it)[1] << ";";
    }
  }
  EXPECT_GT(links, 400);
  EXPECT_GT(anchors, 50);
  EXPECT_GE(images, 1);
}

// Pop-ups and footnotes open over the page that links them; a link to them
// only works from pages the hierarchy view builds, so it must not hide in a
// flow chart, a grid, an index or a questionnaire.
TEST_F(SampleBook, PopupAndFootnoteRowsAreLinkedOnlyFromHierarchyPages) {
  const std::regex href(R"(HREF='(\d+))");
  int popupLinks = 0;
  for (RowIndex r = 0; r < book_->Count(); ++r) {
    const std::string text = U8(book_->Text(r));
    const std::u16string tableType = book_->OwnTableType(book_->TableOf(r));
    for (auto it = std::sregex_iterator(text.begin(), text.end(), href);
         it != std::sregex_iterator(); ++it) {
      const auto page = static_cast<RowIndex>(std::stoul((*it)[1]));
      const std::u16string& field = book_->Field(page);
      if (field == u"popup" || field == u"footnotes") {
        EXPECT_TRUE(tableType == u"html" || tableType == u"configurable tight hierarchy" ||
                    tableType == u"html list" || tableType == u"index with fields" ||
                    tableType == u"extended html")
            << "row " << r << " in a table of type " << U8(tableType);
        ++popupLinks;
      } else if (field == u"footnote") {
        // Grid footnotes are opened by the grid view from its own cells.
        if (tableType == u"table")
          EXPECT_EQ(book_->TableOf(page), book_->TableOf(r));
        else
          EXPECT_NE(tableType, u"flow chart");
      }
    }
  }
  EXPECT_GT(popupLinks, 20);
}

TEST_F(SampleBook, LinkChildrenAndNextQuestionsAreRealRows) {
  int links = 0, nexts = 0;
  for (RowIndex r = 0; r < book_->Count(); ++r) {
    if (book_->Field(r) == u"link") {
      const RowIndex to = book_->Row(r).value;
      ASSERT_GT(to, 0u);
      ASSERT_LT(to, book_->Count());
      EXPECT_NE(book_->Field(to), u"link") << "row " << r;
      ++links;
    } else if (book_->Field(r) == u"next question") {
      const RowIndex to = book_->Row(r).value;
      ASSERT_LT(to, book_->Count());
      EXPECT_EQ(book_->Field(to), u"question") << "row " << r;
      EXPECT_EQ(book_->TableOf(to), book_->TableOf(r)) << "a chart leads into another chart";
      ++nexts;
    }
  }
  EXPECT_GT(links, 300);
  EXPECT_GE(nexts, 4);
}

TEST_F(SampleBook, TopicsHaveLabelledSectionsAndAPathTable) {
  const RowIndex detail = Table(u"A_Z_IN_DETAIL");
  EXPECT_EQ(book_->Row(*book_->Child(detail, u"is path")).value & 0xFF, 1u);
  const auto columns = book_->Children(detail, u"field name");
  int topics = 0;
  for (RowIndex chapter : book_->Children(detail, u"hierarchy item")) {
    for (RowIndex topic : book_->Children(chapter, u"hierarchy item")) {
      const auto fields = book_->Children(topic, u"field");
      EXPECT_GE(fields.size(), 3u) << U8(book_->Text(topic));
      EXPECT_LE(fields.size(), columns.size()) << "a section without a label";
      for (RowIndex f : fields) EXPECT_FALSE(book_->Text(f).empty());
      ++topics;
    }
  }
  EXPECT_GE(topics, 40);
  // Every topic has a brief page too.
  EXPECT_EQ(book_->Children(Table(u"A_Z_IN_BRIEF"), u"hierarchy item").size(),
            static_cast<std::size_t>(topics));
  int footnotes = 0, popups = 0;
  for (RowIndex r = 0; r < book_->Count(); ++r) {
    if (book_->Field(r) == u"footnotes")
      footnotes += static_cast<int>(book_->Children(r, u"footnote").size());
    if (book_->Field(r) == u"popup") ++popups;
  }
  EXPECT_GE(footnotes, 5);
  EXPECT_GE(popups, 10);
}

TEST_F(SampleBook, IndexHasThreeHundredEntriesByLetter) {
  const RowIndex index = Table(u"INDEX");
  int entries = 0, linked = 0, nested = 0;
  std::u16string previousLetter;
  for (RowIndex letter : book_->Children(index, u"hierarchy item")) {
    const std::u16string name = book_->Text(letter);
    ASSERT_EQ(name.size(), 1u);
    EXPECT_LT(previousLetter, name);
    previousLetter = name;
    std::u16string previous;
    for (RowIndex entry : book_->Children(letter, u"hierarchy item")) {
      std::u16string text = book_->Text(entry);
      for (auto& c : text) c = static_cast<char16_t>(std::towlower(c));
      EXPECT_EQ(text.substr(0, 1),
                std::u16string(1, static_cast<char16_t>(std::towlower(name[0]))));
      EXPECT_LE(previous, text) << "index entries out of order under " << U8(name);
      previous = text;
      ++entries;
      if (book_->Child(entry, u"link")) {
        ++linked;
        EXPECT_TRUE(book_->Children(entry, u"hierarchy item").empty())
            << "an entry both links and nests";
      } else {
        const auto subs = book_->Children(entry, u"hierarchy item");
        ASSERT_FALSE(subs.empty()) << U8(book_->Text(entry)) << " neither links nor nests";
        for (RowIndex sub : subs) EXPECT_TRUE(book_->Child(sub, u"link"));
        entries += static_cast<int>(subs.size());
        ++nested;
      }
    }
  }
  EXPECT_GE(entries, 300);
  EXPECT_GE(linked, 50);
  EXPECT_GE(nested, 40);
}

class SampleScales : public SampleBook {
 protected:
  static Questionnaire Load(std::u16string_view name) {
    const RowIndex row = Table(name);
    EXPECT_NE(row, 0u) << U8(std::u16string(name));
    EXPECT_EQ(book_->OwnTableType(row), u"questionarie");
    return LoadQuestionnaire(*db_, row);
  }
  static bool Says(const Questionnaire& q, int score, std::u16string_view words) {
    return ScoreText(q, score).find(words) != std::u16string::npos;
  }
};

TEST_F(SampleScales, QuestionnairesUseEveryControlKind) {
  std::set<ControlKind> kinds;
  int questionnaires = 0;
  for (RowIndex table : RowsOfType(u"questionarie")) {
    const auto q = LoadQuestionnaire(*db_, table);
    const std::string name = U8(book_->Text(table));
    ++questionnaires;
    EXPECT_FALSE(q.questions.empty());
    EXPECT_FALSE(q.scores.empty()) << name;
    EXPECT_FALSE(q.footnotes.empty()) << name;
    for (std::size_t i = 1; i < q.scores.size(); ++i) {
      EXPECT_LT(q.scores[i - 1].bound, q.scores[i].bound);
    }
    for (const auto& question : q.questions) {
      for (const auto& group : question.groups) {
        kinds.insert(group.kind);
        for (const auto& control : group.controls) {
          EXPECT_FALSE(control.text.empty()) << name << ": a control without its label";
          if (group.kind == ControlKind::kInteger) {
            ASSERT_TRUE(control.formula) << U8(control.text);
            EXPECT_NE(control.formula->find(u"f1"), std::u16string::npos) << U8(control.text);
          } else {
            EXPECT_FALSE(control.formula);
          }
        }
      }
    }
  }
  EXPECT_GE(questionnaires, 5);
  EXPECT_EQ(kinds, (std::set<ControlKind>{ControlKind::kRadio, ControlKind::kCheck,
                                          ControlKind::kInteger, ControlKind::kCombo}));
}

TEST_F(SampleScales, GlasgowComaScaleScoresAsPublished) {
  const auto q = Load(u"Glasgow Coma Scale");
  ASSERT_EQ(q.questions.size(), 3u);
  // Controls are listed best response first: index 0 is E4, V5, M6.
  EXPECT_EQ(Score(q, Answers{{{0}}, {{0}}, {{0}}}), 15);
  EXPECT_EQ(Score(q, Answers{{{3}}, {{4}}, {{5}}}), 3);
  EXPECT_EQ(Score(q, Answers{{{1}}, {{1}}, {{2}}}), 3 + 4 + 4);  // E3 V4 M4
  EXPECT_EQ(Score(q, Answers{{{2}}, {{3}}, {{2}}}), 2 + 2 + 4);  // E2 V2 M4
  EXPECT_TRUE(Says(q, 3, u"Severe"));
  EXPECT_TRUE(Says(q, 8, u"Severe"));
  EXPECT_TRUE(Says(q, 9, u"Moderate"));
  EXPECT_TRUE(Says(q, 12, u"Moderate"));
  EXPECT_TRUE(Says(q, 13, u"Mild"));
  EXPECT_TRUE(Says(q, 15, u"Mild"));
}

TEST_F(SampleScales, Curb65ScoresAsPublished) {
  const auto q = Load(u"CURB-65");
  EXPECT_EQ(Score(q, Answers{{{}}}), 0);
  EXPECT_EQ(Score(q, Answers{{{1, 4}}}), 2);  // urea and age
  EXPECT_EQ(Score(q, Answers{{{0, 1, 2, 3, 4}}}), 5);
  EXPECT_TRUE(Says(q, 0, u"Low"));
  EXPECT_TRUE(Says(q, 1, u"Low"));
  EXPECT_TRUE(Says(q, 2, u"Moderate"));
  EXPECT_TRUE(Says(q, 3, u"High"));
  EXPECT_TRUE(Says(q, 5, u"High"));
}

TEST_F(SampleScales, Cha2ds2VascScoresAsPublished) {
  const auto q = Load(u"CHA2DS2-VASc");
  // Question 0: age list (under 65, 65-74, 75+), sex (male, female).
  // Question 1: heart failure, hypertension, diabetes, stroke/TIA, vascular.
  EXPECT_EQ(Score(q, Answers{{{0}, {0}}, {{}}}), 0);
  EXPECT_EQ(Score(q, Answers{{{0}, {1}}, {{}}}), 1);
  EXPECT_EQ(Score(q, Answers{{{2}, {1}}, {{1}}}), 4);  // 75+, female, hypertension
  EXPECT_EQ(Score(q, Answers{{{1}, {0}}, {{3}}}), 3);  // 65-74, stroke
  EXPECT_EQ(Score(q, Answers{{{2}, {1}}, {{0, 1, 2, 3, 4}}}), 9);
  EXPECT_TRUE(Says(q, 0, u"low risk"));
  EXPECT_TRUE(Says(q, 1, u"consider"));
  EXPECT_TRUE(Says(q, 2, u"2 or more"));
  EXPECT_TRUE(Says(q, 9, u"2 or more"));
}

TEST_F(SampleScales, WellsDvtScoresAsPublished) {
  const auto q = Load(u"Wells score for DVT");
  ASSERT_EQ(q.questions.at(0).groups.at(0).controls.size(), 9u);
  EXPECT_EQ(Score(q, Answers{{{}}, {{0}}}), 0);
  EXPECT_EQ(Score(q, Answers{{{0, 4}}, {{1}}}), 0);  // cancer, whole leg, other diagnosis
  EXPECT_EQ(Score(q, Answers{{{}}, {{1}}}), -2);
  EXPECT_EQ(Score(q, Answers{{{3, 5}}, {{0}}}), 2);
  EXPECT_EQ(Score(q, Answers{{{0, 1, 2, 3, 4, 5, 6, 7, 8}}, {{0}}}), 9);
  EXPECT_TRUE(Says(q, -2, u"unlikely"));
  EXPECT_TRUE(Says(q, 1, u"unlikely"));
  EXPECT_TRUE(Says(q, 2, u"likely (2 or more)"));
  EXPECT_TRUE(Says(q, 9, u"likely (2 or more)"));
}

// TABLE_20 is the questionnaire whose answers to question 0, groups 0 and 1,
// do not count on their own: its lowest range (bound -20) carries the text
// shown then.
TEST_F(SampleScales, Table20HasTheExcludedAnswersText) {
  const auto q = Load(u"TABLE_20");
  ASSERT_GE(q.questions.size(), 2u);
  ASSERT_GE(q.questions[0].groups.size(), 2u);
  for (std::size_t i = 1; i < q.questions.size(); ++i) {
    for (const auto& g : q.questions[i].groups) {
      EXPECT_EQ(g.kind, ControlKind::kCheck)
          << "an always-answered control would hide the text for -20";
    }
  }
  ASSERT_EQ(q.scores.front().bound, -20);
  EXPECT_TRUE(Says(q, -20, u"No red flag"));
  EXPECT_EQ(Score(q, Answers{{{1}, {1}}, {{}}}), 2);
  EXPECT_TRUE(Says(q, Score(q, Answers{{{0}, {0}}, {{0}}}), u"High concern"));
}

TEST_F(SampleBook, FlowChartsLeadToResultsAndQuestions) {
  const auto charts = RowsOfType(u"flow chart");
  ASSERT_GE(charts.size(), 2u);
  for (RowIndex chart : charts) {
    const auto kids = book_->Children(chart);
    ASSERT_FALSE(kids.empty());
    EXPECT_EQ(book_->Field(kids.front()), u"question")
        << "the first child of a chart is its first question";
    int results = 0, nexts = 0;
    for (RowIndex question : book_->Children(chart, u"question")) {
      EXPECT_FALSE(book_->Text(question).empty());
      for (RowIndex answer : book_->Children(question, u"answer")) {
        const bool result = book_->Child(answer, u"result").has_value();
        const bool next = book_->Child(answer, u"next question").has_value();
        EXPECT_TRUE(result || next) << "an answer that leads nowhere in " << U8(book_->Text(chart));
        results += result;
        nexts += next;
      }
    }
    EXPECT_GT(results, 0);
    EXPECT_GT(nexts, 0);
  }
}

TEST_F(SampleBook, GridsHaveFootnotesAndOneIsWiderThanTheScreen) {
  const auto grids = RowsOfType(u"table");
  ASSERT_GE(grids.size(), 2u);
  std::uint32_t widest = 0;
  for (RowIndex grid : grids) {
    const auto count = book_->Child(grid, u"column count");
    ASSERT_TRUE(count);
    const std::uint32_t columns = book_->Row(*count).value;
    EXPECT_EQ(book_->Children(grid, u"column name").size(), columns);
    for (RowIndex row : book_->Children(grid, u"row"))
      EXPECT_EQ(book_->Children(row, u"field").size(), columns);
    EXPECT_FALSE(book_->Children(grid, u"footnote").empty());
    widest = std::max(widest, columns);
  }
  // At 96 dots per inch a column takes 70 + 6 + 1 pixels; the screen is 240.
  EXPECT_GT(widest * 77 + 1, 240u);
}

// An image item: variant count, 11-byte records (width +3, height +5, offset
// +8, big-endian), each variant's PNG bytes.
TEST_F(SampleBook, FiguresCarryBothScreenSizes) {
  auto figures = RowsOfType(u"figure");
  ASSERT_GE(figures.size(), 4u);  // three figures and the splash picture
  EXPECT_NE(std::find(figures.begin(), figures.end(), Table(u"SPLASH")), figures.end());
  for (RowIndex fig : figures) {
    const auto data = book_->Child(fig, u"data");
    ASSERT_TRUE(data);
    const std::uint32_t item = book_->Row(*data).value;
    const std::uint32_t size = db_->BinaryItemSize(item);
    std::vector<std::uint8_t> bytes(size);
    ASSERT_TRUE(db_->ReadBinary(item, bytes, 0));
    ASSERT_EQ(bytes.at(0), 2u);
    std::set<std::pair<int, int>> sizes;
    for (int i = 0; i < 2; ++i) {
      const auto be = [&](std::size_t at, int n) {
        std::uint32_t v = 0;
        for (int k = 0; k < n; ++k) v = (v << 8) | bytes.at(at + k);
        return v;
      };
      sizes.emplace(be(3 + 11 * i, 2), be(5 + 11 * i, 2));
      const std::uint32_t offset = be(8 + 11 * i, 4);
      ASSERT_LT(offset + 8, size);
      EXPECT_EQ(std::string(bytes.begin() + offset + 1, bytes.begin() + offset + 4), "PNG");
    }
    EXPECT_EQ(sizes, (std::set<std::pair<int, int>>{{240, 320}, {480, 640}}));
  }
}

TEST_F(SampleBook, CalculatorListLeadsToEveryQuestionnaire) {
  const auto calculators = book_->Children(Table(u"CALCULATORS"), u"calculator");
  std::set<RowIndex> reached;
  const std::regex href(R"(HREF='(\d+))");
  for (RowIndex c : calculators) {
    EXPECT_EQ(book_->OwnTableType(c), u"html");
    const std::string html = U8(book_->Text(*book_->Child(c, u"html")));
    for (auto it = std::sregex_iterator(html.begin(), html.end(), href);
         it != std::sregex_iterator(); ++it) {
      reached.insert(static_cast<RowIndex>(std::stoul((*it)[1])));
    }
  }
  for (RowIndex q : RowsOfType(u"questionarie"))
    EXPECT_TRUE(reached.count(q)) << U8(book_->Text(q));
}

}  // namespace
}  // namespace vrok
