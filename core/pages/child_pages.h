#pragma once
// Pages built from a row's children: the text of one child, a bullet list
// of children, and the preview of a record's fields beside a tree.

#include <string>
#include <vector>

#include "content/content_database.h"
#include "content/node_cursor.h"
#include "core/pages/page_source.h"

namespace vrok {

// The text of the row's child with the configured name (or of the row
// itself when the name is empty or it has no such child) in the page frame.
class ChildTextPage : public PageSource {
 public:
  ChildTextPage(const ContentDatabase& db, std::u16string childName)
      : db_(db), childName_(std::move(childName)) {}
  std::u16string BuildPage(std::uint32_t row) override;

 private:
  const ContentDatabase& db_;
  std::u16string childName_;
};

// One line per child with the configured name: a bullet and a link for
// children that have children of their own, the bare text otherwise.
class ChildListPage : public PageSource {
 public:
  ChildListPage(const ContentDatabase& db, std::u16string childName)
      : db_(db), childName_(std::move(childName)) {}
  std::u16string BuildPage(std::uint32_t row) override;

  // Where an item leads, given the item and its first child: the item
  // itself when it has a "hierarchy item" child, else its first "field",
  // else its "link" value; empty when none.
  static std::u16string TargetOf(RowIndex item, const NodeCursor& firstChild);

 private:
  const ContentDatabase& db_;
  std::u16string childName_;
};

// A record's fields under their column names, for the preview pane of the
// tree views.
class FieldListPage : public PageSource {
 public:
  explicit FieldListPage(const ContentDatabase& db) : db_(db) {}
  // Takes the column names of the table of row (the row itself when it is
  // a "table" node).
  void Load(RowIndex row, bool showTitle);
  std::u16string BuildPage(std::uint32_t row) override;

 private:
  const ContentDatabase& db_;
  std::vector<std::u16string> columns_;
  bool showTitle_ = false;
};

}  // namespace vrok
