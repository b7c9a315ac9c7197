#pragma once
// Record pages: one record of the book (a row and its "field" children) as
// one HTML page, with the list of its labelled sections.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "content/content_database.h"
#include "core/pages/figures.h"
#include "core/pages/page_source.h"

namespace vrok {

struct SectionEntry {
  std::u16string label;
  RowIndex row = 0;  // the field the section shows; its anchor is the row in decimal
  bool operator==(const SectionEntry&) const = default;
};

// The ordinary record page: a heading (the record's title in bold, or for
// path tables a line of links to its ancestors), then each field under the
// name of its column. Pictures in the text are figure rows, loaded for the
// given screen.
class RecordPage : public PageSource {
 public:
  RecordPage(const ContentDatabase& db, ScreenMetrics screen) : db_(db), screen_(screen) {}

  std::u16string BuildPage(std::uint32_t row) override;
  ImageReply SupplyImage(std::u16string_view source, std::uint32_t cookie) override;

  std::vector<SectionEntry> SectionsFor(RowIndex row);
  std::size_t SectionCount() const { return sections_.size(); }

 private:
  std::u16string Heading(RowIndex row, bool pathTable) const;

  const ContentDatabase& db_;
  ScreenMetrics screen_;
  std::vector<std::u16string> columns_;
  std::vector<SectionEntry> sections_;
  std::optional<RowIndex> cachedRow_;
  std::u16string cachedPage_;
};

// Pages of "extended html" tables: each field carries its own label and a
// block of ready-made HTML in its "html" child.
class ExtendedRecordPage : public PageSource {
 public:
  explicit ExtendedRecordPage(const ContentDatabase& db) : db_(db) {}

  std::u16string BuildPage(std::uint32_t row) override;

  std::vector<SectionEntry> SectionsFor(RowIndex row);
  std::size_t SectionCount() const { return sections_.size(); }

 private:
  const ContentDatabase& db_;
  std::vector<SectionEntry> sections_;
  std::optional<RowIndex> cachedRow_;
  std::u16string cachedPage_;
};

}  // namespace vrok
