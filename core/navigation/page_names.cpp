#include "core/navigation/page_names.h"

#include <array>
#include <utility>

namespace vrok {

PageId& PageNameMap::Lookup(std::u16string_view name) {
  auto it = map_.find(name);
  if (it == map_.end()) it = map_.emplace(std::u16string(name), 0).first;
  return it->second;
}

void RegisterPageNames(const ContentDatabase& db, PageNameMap& names) {
  static constexpr std::array<std::pair<std::u16string_view, std::u16string_view>, 11> kTables{{
      {pages::kIndex, u"INDEX"},
      {pages::kContents, u"CONTENTS"},
      {pages::kAuthors, u"AUTHORS_AND_CONTRIBUTORS"},
      {pages::kNotice, u"NOTICE"},
      {pages::kGuide, u"GUIDE_TO_TARVESSA"},
      {pages::kAbout, u"ABOUT_KESTOR"},
      {pages::kTools, u"TOOLS"},
      {u"calculators", u"CALCULATORS"},
      {u"diagnostic_index", u"DIAGNOSTIC_INDEX"},
      {u"a_z_in_brief", u"A_Z_IN_BRIEF"},
      {u"a_z_in_detail", u"A_Z_IN_DETAIL"},
  }};
  for (const auto& [page, table] : kTables) names[page] = db.TableRow(table);

  const PageId n = db.RowCount();
  names[pages::kBookmarks] = n;
  names[pages::kNotes] = n + 1;
  names[pages::kAddBookmark] = n + 2;
  names[pages::kHistory] = n + 3;
  names[pages::kBack] = n + 4;
  names[pages::kSplash] = n + 5;
  names[pages::kIndexSearch] = n + 6;
  names[pages::kAddBookmark] = n + 7;
}

void RegisterHome(PageNameMap& names, std::optional<std::uint32_t> initialTab) {
  const std::uint32_t tab = initialTab.value_or(1) & 0xFFu;
  static constexpr std::array<std::u16string_view, 3> kTabs{pages::kIndex, pages::kContents,
                                                            pages::kTools};
  if (tab < kTabs.size()) names[pages::kHome] = names[kTabs[tab]];
}

}  // namespace vrok
