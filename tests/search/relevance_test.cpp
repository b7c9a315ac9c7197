// Relevance on the sample book: each query of relevance.tsv with the page
// that must come first, through the index vrok-book wrote beside the book.
// At least 90 % must be first-right.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "content/content_database.h"
#include "content/utf8.h"
#include "core/search/book_index.h"

namespace vrok::search {
namespace {

struct Case {
  std::string query, title, table;
  int line = 0;
};

std::vector<Case> ReadCases() {
  std::vector<Case> cases;
  std::ifstream in(VROK_SOURCE_DIR "/tests/search/relevance.tsv");
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Case c;
    c.line = n;
    std::getline(fields, c.query, '\t');
    std::getline(fields, c.title, '\t');
    std::getline(fields, c.table, '\t');
    cases.push_back(c);
  }
  return cases;
}

TEST(Relevance, TheRightPageComesFirstForNineQueriesInTen) {
  const std::string prefix = std::string(VROK_PROGRAM_DIR) + "/VROK-Vrok";
  const ContentDatabase db(prefix);
  ASSERT_TRUE(db.IsBook());
  BookIndex index;
  ASSERT_TRUE(index.Open(prefix + "-Search.idx", StampsOf(db)));
  const std::vector<Case> cases = ReadCases();
  ASSERT_GE(cases.size(), 40u);
  int right = 0;
  std::string wrong;
  for (const Case& c : cases) {
    const SearchAnswer answer = index.Query(FromUtf8(c.query).value());
    ASSERT_TRUE(answer.ok) << c.query;
    bool first = false;
    std::string got = "(nothing)";
    if (!answer.hits.empty()) {
      const SearchHit& hit = answer.hits.front();
      got = ToUtf8(hit.title) + (hit.path.empty() ? "" : " in " + ToUtf8(hit.path.front()));
      first = ToUtf8(hit.title) == c.title &&
              (c.table.empty() || (!hit.path.empty() && ToUtf8(hit.path.front()) == c.table) ||
               (hit.path.empty() && c.table == c.title));
    }
    if (std::getenv("VROK_RELEVANCE_LIST") != nullptr)
      std::printf("%s\t%s\n", c.query.c_str(), got.c_str());
    if (first)
      ++right;
    else
      wrong += "  line " + std::to_string(c.line) + ": \"" + c.query + "\" gave " + got +
               ", wanted " + c.title + "\n";
  }
  const double share = 100.0 * right / static_cast<double>(cases.size());
  std::printf("relevance: %d of %zu first-right (%.1f %%)\n%s", right, cases.size(), share,
              wrong.c_str());
  EXPECT_GE(share, 90.0) << wrong;
}

}  // namespace
}  // namespace vrok::search
