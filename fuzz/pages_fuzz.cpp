// Builds every kind of page from arbitrary content: the three content files
// from one input (as content_fuzz), then for each row every page source,
// the grid, tree, hierarchy, questionnaire and flow-chart models, and the
// viewer's HTML. Damaged content must give some page, never a crash or a
// loop.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "content/content_database.h"
#include "content/node_cursor.h"
#include "content_input.h"
#include "core/pages/calculator_list.h"
#include "core/pages/child_pages.h"
#include "core/pages/grid_model.h"
#include "core/pages/hierarchy_rules.h"
#include "core/pages/markup.h"
#include "core/pages/menu_index_page.h"
#include "core/pages/page_text.h"
#include "core/pages/prefix_search.h"
#include "core/pages/record_page.h"
#include "core/pages/tree_model.h"
#include "core/pages/viewer_html.h"
#include "core/tools/flow_chart.h"
#include "core/tools/questionnaire.h"

namespace {

// A row's "hierarchy item" children as the index search sees them; damaged
// content need not be sorted.
class ItemEntries : public vrok::SearchEntries {
 public:
  ItemEntries(const vrok::ContentDatabase& db, vrok::RowIndex row) {
    vrok::NodeCursor(db, row).CollectChildren(u"hierarchy item", rows_, 4096);
  }
  std::uint32_t Count() const override { return static_cast<std::uint32_t>(rows_.size()); }
  std::u16string Text(std::uint32_t index) const override {
    std::u16string text;
    if (index < rows_.size()) vrok::NodeCursor(rows_[index]).ReadString(text);
    return text;
  }

 private:
  std::vector<vrok::NodeRow> rows_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vrok;
  const auto prefix = fuzz::WriteContentFiles(data, size);
  if (!prefix) return 0;
  const ContentDatabase db(*prefix);
  const std::uint32_t rows = std::min<std::uint32_t>(db.RowCount(), 200);

  RecordPage record(db, ScreenMetrics{});
  ExtendedRecordPage extended(db);
  ChildTextPage text(db, u"html");
  ChildListPage list(db, u"hierarchy item");
  FieldListPage fields(db);
  MenuIndexPage menu(db);
  CalculatorListSource calculators(db);
  FlowChartSource chart(db);
  GridModel grid(db);
  TreeItemModel tree(db, true);
  const HierarchyPages named{};
  std::size_t total = 0;
  for (RowIndex row = 0; row < rows; ++row) {
    for (PageSource* source : std::initializer_list<PageSource*>{&record, &extended, &text, &list,
                                                                 &fields, &menu, &calculators}) {
      const std::u16string page = source->BuildPage(row);
      total += ViewerHtml(page).size() + PlainTextOf(page).size();
    }
    total += record.SectionsFor(row).size() + extended.SectionsFor(row).size();
    if (FlowChartSource::Accepts(db, row)) {
      chart.Open(row);
      // Walk a few steps the way taps would: each page's first link.
      RowIndex at = row;
      for (int step = 0; step < 8; ++step) {
        const std::u16string page = chart.BuildPage(at);
        total += page.size();
        const auto href = page.find(u"HREF='");
        if (href == std::u16string::npos) break;
        RowIndex next = 0;
        for (std::size_t i = href + 6; i < page.size() && page[i] >= u'0' && page[i] <= u'9'; ++i)
          next = next * 10 + static_cast<RowIndex>(page[i] - u'0');
        at = next;
      }
    }
    if (const auto table = GridModel::GridTableOf(db, row)) {
      grid.SetTable(*table);
      for (std::uint32_t r = 0; r < std::min<std::uint32_t>(grid.RowCount(), 16); ++r)
        for (std::uint32_t c = 0; c < std::min<std::uint32_t>(grid.ColumnCount(), 16); ++c)
          total += grid.Cell(r, c).size();
      total += grid.Title().size() + grid.Footnotes().size();
    }
    // Searches for the first letters of the row's own text: the answer lies
    // in the list, within a bounded number of reads.
    const ItemEntries entries(db, row);
    const std::u16string own = PlainTextOf(TextOf(db, row));
    for (std::size_t n = 0; n <= std::min<std::size_t>(own.size(), 3); ++n) {
      std::uint32_t probes = 0;
      const auto found = PrefixSearch(entries, std::u16string_view(own).substr(0, n), &probes);
      if (found && *found >= entries.Count()) std::abort();
      if (probes > 64) std::abort();
    }
    const Questionnaire q = LoadQuestionnaire(db, row);
    total += ScoreText(q, 7).size();
    const TreeDecision decision = DecideTree(db, row);
    (void)decision;
    for (RowIndex child : tree.Children(row)) total += tree.Label(child).size();
    total += tree.RevealChain(row).size();
    (void)DecideHierarchy(db, row, named);
    total += AncestorPathTitle(db, row, named, true).size();
  }
  if (total == 1) std::fputc(' ', stderr);  // keeps the work from being optimised away
  return 0;
}
