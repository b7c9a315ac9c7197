// The index list's search on the sample book, through the reader program:
// the INDEX lists only letters, so a typed word never begins an entry and
// must stop at its own letter; the bar says that no entry begins with it;
// Enter opens the selected entry, or searches the book when no entry
// begins with the text.

#include <gtest/gtest.h>


#include "reader_fixture.h"
#include "support/temp_dir.h"

namespace vrok {
namespace {

using nlohmann::json;

struct SampleIndex : test::InstalledSample {};

// The text of the selected row of the list, or "" when none.
std::string SelectedText(const json& report) {
  const json list = test::FillPane(report);
  const int at = list.value("selected", -1);
  if (at < 0 || at >= static_cast<int>(list["rows"].size())) return "";
  return list["rows"][at].get<std::string>();
}

TEST_F(SampleIndex, AWordStopsAtItsLetterAndTheBarSaysNoEntryBeginsWithIt) {
  std::string script;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"asth", "A"}, {"heart", "H"}, {"sepsis", "S"}, {"se", "S"}, {"sa", "S"},
      {"croup", "C"}, {"zoster", "Z"}, {"h", "H"}};
  for (const auto& [typed, letter] : cases) script += "navigate index_search " + typed + "\ndump\n";
  const auto reports = Run(script);
  ASSERT_EQ(reports.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto& [typed, letter] = cases[i];
    const json& r = reports[i];
    const std::vector<std::string> rows = test::FillPane(r)["rows"];
    // Skip a letter the sample index lacks rather than pass by accident.
    if (std::find(rows.begin(), rows.end(), letter) == rows.end()) continue;
    EXPECT_EQ(SelectedText(r), letter) << typed;
    const json bar = test::PaneWhere(r, "kind", "SearchBar");
    EXPECT_EQ(bar["text"], typed);
    EXPECT_EQ(bar["no_match"], typed.size() > 1) << typed;
  }
}

TEST_F(SampleIndex, EnterOpensTheSelectedEntryOrElseTheBookSearch) {
  const auto reports = Run("navigate index_search h\ndump\nkey Return\ndump\n"
                           "navigate index_search heart\nkey Return\ndump\n");
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(SelectedText(reports[0]), "H");
  EXPECT_NE(reports[1]["page"], reports[0]["page"]);
  EXPECT_EQ(reports[1]["title"], "H");
  // No entry begins with "heart": Enter searches the book for it.
  const json search = test::PaneWhere(reports[2], "kind", "SearchResults");
  ASSERT_FALSE(search.is_null()) << reports[2].dump();
  EXPECT_EQ(search["query"], "heart");
  EXPECT_EQ(reports[2]["title"], "Search the book");
}

}  // namespace
}  // namespace vrok
