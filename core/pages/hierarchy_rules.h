#pragma once
// How the HTML hierarchy view decides whether it shows a page, with which
// page builder and under which title. Pure decisions over the content; the
// view applies them to its panes.

#include <cstdint>
#include <string>

#include "content/content_database.h"

namespace vrok {

// Pages the hierarchy rules need to know by id.
struct HierarchyPages {
  RowIndex calculators = 0;
  RowIndex aZInBrief = 0;
  RowIndex aZInDetail = 0;
};

enum class HierarchySource { kChildText, kChildList, kRecord, kExtendedRecord, kCalculators };

struct HierarchyDecision {
  bool accept = false;
  RowIndex row = 0;          // the row to show (a record's field stands for its record)
  RowIndex jumpToField = 0;  // the field to jump to after showing, 0 for none
  HierarchySource source = HierarchySource::kChildText;
  bool recordPage = false;  // a record page, with a section list
  std::u16string title;
};

// The record-redirect rule: a "hierarchy item" record of an "html list" or
// "configurable tight hierarchy" table is shown as itself; one of its
// "field" rows is shown as the record, jumping to the field. 0 otherwise.
RowIndex RecordRedirect(const ContentDatabase& db, RowIndex row, RowIndex& jumpToField);

HierarchyDecision DecideHierarchy(const ContentDatabase& db, RowIndex row,
                                  const HierarchyPages& pages);

// The texts of the row and its ancestors below the root, outermost first,
// joined with " - ", without the two A-Z pages and, unless includeSelf,
// without the row itself.
std::u16string AncestorPathTitle(const ContentDatabase& db, RowIndex row,
                                 const HierarchyPages& pages, bool includeSelf);

}  // namespace vrok
