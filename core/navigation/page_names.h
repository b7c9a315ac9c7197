#pragma once
// Page names: an ordered map from name to page id filled at start-up. Every
// lookup goes through Lookup, which inserts an absent name with page id 0,
// so a name that was never registered leads to the root row.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "content/content_database.h"
#include "core/navigation/page_view.h"

namespace vrok {

namespace pages {
inline constexpr std::u16string_view kIndex = u"index";
inline constexpr std::u16string_view kContents = u"contents";
inline constexpr std::u16string_view kAuthors = u"authors";
inline constexpr std::u16string_view kNotice = u"notice";
inline constexpr std::u16string_view kGuide = u"guide";
inline constexpr std::u16string_view kAbout = u"aboutKESTOR";
inline constexpr std::u16string_view kTools = u"tools";
inline constexpr std::u16string_view kBookmarks = u"bookmarks";
inline constexpr std::u16string_view kNotes = u"notes";
inline constexpr std::u16string_view kHistory = u"history";
inline constexpr std::u16string_view kBack = u"back";
inline constexpr std::u16string_view kSplash = u"splash";
inline constexpr std::u16string_view kIndexSearch = u"index_search";
inline constexpr std::u16string_view kAddBookmark = u"add_bookmark";
inline constexpr std::u16string_view kHome = u"home";
}  // namespace pages

class PageNameMap {
 public:
  // Lookup-or-insert: an absent name is entered with page id 0.
  PageId& Lookup(std::u16string_view name);
  PageId& operator[](std::u16string_view name) { return Lookup(name); }
  bool Contains(std::u16string_view name) const { return map_.find(name) != map_.end(); }
  const std::map<std::u16string, PageId, std::less<>>& Entries() const { return map_; }

 private:
  std::map<std::u16string, PageId, std::less<>> map_;
};

// Registers the eleven content page names (each the row of its table, 0 when
// the content lacks the table), then the built-in pages from RowCount on, in
// their fixed order ("add_bookmark" is entered twice; the second entry wins).
void RegisterPageNames(const ContentDatabase& db, PageNameMap& names);

// Registers "home" as a copy of "index", "contents" or "tools" for the low
// byte 0, 1 or 2 of initialTab; an unreadable value counts as 1. Any other
// byte leaves "home" unregistered.
void RegisterHome(PageNameMap& names, std::optional<std::uint32_t> initialTab);

}  // namespace vrok
