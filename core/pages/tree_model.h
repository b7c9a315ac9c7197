#pragma once
// The tree of the list-rendered hierarchy views: which pages they take, and
// the "hierarchy item" rows as an expandable tree.

#include <string>
#include <vector>

#include "content/content_database.h"

namespace vrok {

struct TreeDecision {
  bool accept = false;
  RowIndex table = 0;        // the table the page lies in
  RowIndex row = 0;          // the row to show (a "field" stands for its record)
  RowIndex jumpToField = 0;  // the field that was asked for, 0 for none
  RowIndex listRoot = 0;     // the row whose items the tree lists
  bool linked = false;       // the table is a "linked tight hierarchy"
};

// Takes rows of "tight hierarchy" and "linked tight hierarchy" tables. The
// table of a row is the row itself when it has a "table type" child.
TreeDecision DecideTree(const ContentDatabase& db, RowIndex row);

class TreeItemModel {
 public:
  // configurable: items with a "view mode" child are leaves, and stop the
  // chain of ancestors that reveals an item.
  TreeItemModel(const ContentDatabase& db, bool configurable)
      : db_(db), configurable_(configurable) {}

  std::u16string Label(RowIndex item) const;  // the item's text as plain text
  std::vector<RowIndex> Children(RowIndex item) const;
  bool IsLeaf(RowIndex item) const;
  // The "hierarchy item" ancestors of an item, outermost first, ending with
  // the item itself.
  std::vector<RowIndex> RevealChain(RowIndex item) const;
  // Where activating an item leads: its "link" value, else its first
  // "field", else the item itself.
  RowIndex Target(RowIndex item) const;

 private:
  const ContentDatabase& db_;
  bool configurable_;
};

}  // namespace vrok
