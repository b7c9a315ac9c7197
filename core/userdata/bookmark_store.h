#pragma once
// The user's bookmarks: pages together with the navigation data they were
// reached with (an anchor, a search text), each with a title. They live in
// the pair "bookmarks.vsi"/"bookmarks.vsd" of the program folder, one record
// per bookmark in stored order (layout in user_records.h); every change is on
// disk before it returns, and the pair is compacted when the store is
// destroyed.
//
// Only pages with a stored key can be bookmarked (stored_pages.h): content
// rows whose key is not 0, and pages given a reserved key. Built-in pages
// (the lists, the splash page, ...) cannot.
//
// When the pair cannot be used (its data file is missing, or a file of it
// is a link or cannot be read), the store is failed: the list is empty,
// adding and deleting give -1 and no file is touched. When it can be read
// but not written (another window has it, or the files cannot be written),
// the store is read-only: the list is shown, every change gives -1.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "content/types.h"
#include "core/userdata/user_store.h"

namespace vrok {

inline constexpr std::u16string_view kBookmarksCaption = u"Bookmarks";
inline constexpr std::u16string_view kBookmarkExistsMessage =
    u"You can't place a bookmark here. Bookmark exists.";
inline constexpr std::u16string_view kBookmarkNotPlaceableMessage =
    u"You can't place a bookmark here.";
// Adding was allowed but the record could not be written.
inline constexpr std::u16string_view kBookmarkNotSavedMessage =
    u"This bookmark could not be saved.";

struct Bookmark {
  std::u16string title;
  std::optional<RowIndex> page;     // nothing: the page is not in this edition
  std::vector<std::uint8_t> state;  // navigation data, passed to Navigate unchanged
};

enum class Placement {
  kExists = 0,  // the same page with the same state is bookmarked already
  kAllowed = 1,
  kNotPlaceable = 2  // the page has no stored key
};

class BookmarkStore : public UserStore<Bookmark> {
 public:
  // Opens the pair in programFolder and loads every entry. content must
  // outlive the store.
  BookmarkStore(const std::string& programFolder, const ContentDatabase& content,
                const ReservedKeys& reserved = {}, FileSystem& files = RealFileSystem());

  // Whether page, reached with state, may be bookmarked: exists when a
  // bookmark has the same stored key and byte for byte the same state.
  Placement CanPlace(RowIndex page, std::span<const std::uint8_t> state) const;

  // Appends a bookmark when CanPlace allows it. 0, or -1 when it is refused
  // or cannot be written (the list is then unchanged).
  int Add(std::u16string_view title, RowIndex page, std::span<const std::uint8_t> state);

 private:
  void Reload() override;

  std::vector<NodeKey> keys_;  // stored key of each entry
};

}  // namespace vrok
