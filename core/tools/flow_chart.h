#pragma once
// Flow charts: a decision tree of questions, answers and results walked one
// page at a time. The source keeps the path the user took, so that every
// page after the first offers a way back.

#include <cstdint>
#include <string>
#include <vector>

#include "content/content_database.h"
#include "core/pages/page_source.h"

namespace vrok {

class FlowChartSource : public PageSource {
 public:
  struct Step {
    RowIndex question = 0;  // a question or result row
    RowIndex answer = 0;    // 0 until answered
    bool operator==(const Step&) const = default;
  };

  // Answers lead on through "next question" rows; a chain longer than this
  // is damaged content and ends in an empty page.
  static constexpr int kMaxHops = 16;

  explicit FlowChartSource(const ContentDatabase& db) : db_(db) {}

  // Whether the view takes row P: P is a "table" node, or lies in one, whose
  // "table type" is "flow chart".
  static bool Accepts(const ContentDatabase& db, RowIndex row);

  // Opens the chart at row P with an empty path.
  void Open(RowIndex chart);
  RowIndex Chart() const { return chart_; }
  const std::vector<Step>& Path() const { return path_; }

  // True when a tapped row belongs to the open chart (its nearest table is
  // the chart row) and is shown in place, keeping the path.
  bool IsInsideChart(RowIndex row) const;

  std::u16string BuildPage(std::uint32_t row) override;

 private:
  std::u16string Build(RowIndex row, int hops);
  std::u16string BackLink() const;

  const ContentDatabase& db_;
  RowIndex chart_ = 0;
  std::vector<Step> path_;
};

}  // namespace vrok
