#pragma once
// The book as the search sees it: one document per page the reader shows
// (every table and every "hierarchy item" outside the index tables), with
// the text of everything that page shows below it: record fields and
// sections, footnotes and pop-up texts, grid cells, questionnaire and flow
// chart questions and answers, figure captions. A record page's labelled
// sections are kept with where their text begins, so that a result can
// open at the section that matched. Index entries are not
// pages of their own: each entry's text is kept with the page it leads to,
// as a synonym of that page.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "content/content_database.h"

namespace vrok::search {

// A labelled section of a record page: where its text begins in the
// document's text, the row of the field it shows (the page's anchor for it
// is that row in decimal) and its label.
struct BookSection {
  std::size_t begin = 0;
  std::uint32_t row = 0;
  std::u16string label;
};

struct BookDocument {
  std::uint32_t page = 0;
  std::vector<std::uint8_t> data;    // navigation data (none for a row page)
  std::u16string title;              // plain text
  std::vector<std::u16string> path;  // the pages above it, outermost first
  std::u16string text;               // plain text, one paragraph per line
  std::vector<std::u16string> synonyms;  // index entries that lead here
  std::vector<BookSection> sections;     // in text order
};

// Reads every row once, in order; false when a row cannot be read (a
// damaged book), with what was found so far given to the sink.
bool WalkBook(const ContentDatabase& db, const std::function<void(BookDocument&&)>& sink);

}  // namespace vrok::search
