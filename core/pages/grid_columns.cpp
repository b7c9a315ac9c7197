#include "core/pages/grid_columns.h"

#include <algorithm>

namespace vrok {

std::vector<int> FitColumns(const std::vector<int>& longest, int least, int most, std::int64_t room) {
  least = std::max(1, least);
  most = std::max(least, most);
  std::vector<int> widths;
  widths.reserve(longest.size());
  std::int64_t total = 0;
  for (const int w : longest) {
    widths.push_back(std::clamp(w, least, most));
    total += widths.back();
  }
  if (widths.empty() || total >= room) return widths;
  // The spare width, shared equally; the first columns take the remainder.
  const auto n = static_cast<std::int64_t>(widths.size());
  const std::int64_t spare = room - total;
  for (std::int64_t i = 0; i < n; ++i)
    widths[static_cast<std::size_t>(i)] += static_cast<int>(spare / n + (i < spare % n ? 1 : 0));
  return widths;
}

}  // namespace vrok
