#pragma once
// Rows of an index table as nested HTML menus: entries with a "link" child
// lead to its row, other entries list their own children below them.

#include <string>

#include "content/content_database.h"
#include "core/pages/page_source.h"

namespace vrok {

class MenuIndexPage : public PageSource {
 public:
  // Menus deeper than this are not opened: the content's nesting is shallow,
  // and a damaged file must not exhaust the stack.
  static constexpr int kMaxDepth = 32;

  explicit MenuIndexPage(const ContentDatabase& db) : db_(db) {}
  std::u16string BuildPage(std::uint32_t row) override;
  std::u16string Title(RowIndex row) const;

 private:
  void AppendEntries(RowIndex parent, int depth, std::u16string& page) const;

  const ContentDatabase& db_;
};

}  // namespace vrok
