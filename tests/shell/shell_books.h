#pragma once
// A small book for the shell's tests:
//
//   root
//   |- table CONTENTS (contents)  html list; item "Asthma" (asthma) with a
//   |                              footnotes node (fns) and footnote (fn)
//   |- table INDEX (index)        index; item (indexitem)
//   |- table TOOLS (tools)        html
//   |- table NOTICE (notice)      html
//   |- table FLOW (flow)          flow chart; item (flowitem)
//   |- table QUEST (quest)        questionarie
//   `- table OTHER (other)        html; item (otheritem)
// With splash: also table SPLASH whose "data" child is item 0, a picture
// with the given variants.

#include <string_view>

#include "content/writer/book_writer.h"
#include "support/test_books.h"

namespace vrok::test {

Book ShellTestBook(std::vector<ImageVariant> splash = {});

// The row of the node with an id in a book.
std::uint32_t RowOf(const Book& book, std::string_view id);

}  // namespace vrok::test
