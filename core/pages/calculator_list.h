#pragma once
// The "calculators" page: every "calculator" child of the list row as a
// bold link, in content order. The document is deliberately bare: no page
// frame, no closing tags.

#include "content/content_database.h"
#include "core/pages/page_source.h"

namespace vrok {

class CalculatorListSource : public PageSource {
 public:
  explicit CalculatorListSource(const ContentDatabase& db) : db_(db) {}
  std::u16string BuildPage(std::uint32_t row) override;

 private:
  const ContentDatabase& db_;
};

}  // namespace vrok
