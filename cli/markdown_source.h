#pragma once
// Markdown book sources: a folder of topics, one Markdown file each, with
// YAML front matter (docs/authoring.md, "Writing a book in Markdown").
//
//   FOLDER/book.yaml            title, optional stamps
//   FOLDER/*.md                 topics listed first in CONTENTS
//   FOLDER/CHAPTER/folder.yaml  optional: the chapter's title
//   FOLDER/CHAPTER/*.md         the chapter's topics
//
// Each topic becomes a record page of CONTENTS whose sections are its
// second-level headings; its index terms and title go into the INDEX. Its
// footnotes, images and tables become footnotes, figures and grids.

#include <optional>
#include <string>

#include "content/writer/book_writer.h"

namespace vrok {

// The book of a Markdown folder; nothing, with a message naming the file
// and line, for a bad source.
std::optional<Book> ReadMarkdownBook(const std::string& folder, std::string& error);

}  // namespace vrok
