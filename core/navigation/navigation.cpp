#include "core/navigation/navigation.h"

namespace vrok {

bool NavigationQueue::Begin(PageId page, const std::uint8_t* data, std::uint32_t length) {
  if (busy_) {
    Request r{page, {}};
    if (data != nullptr && length != 0) r.data.assign(data, data + length);
    pending_.push_back(std::move(r));
    return false;
  }
  busy_ = true;
  return true;
}

std::optional<NavigationQueue::Request> NavigationQueue::TakeNext() {
  if (pending_.empty()) return std::nullopt;
  Request r = std::move(pending_.front());
  pending_.pop_front();
  return r;
}

int LayoutHeight(int clientHeight, int dpiX) {
  return clientHeight == (dpiX * 294 + 48) / 96 ? (dpiX * 268 + 48) / 96 : clientHeight;
}

std::vector<std::optional<PaneRect>> LayOutPanes(int width, int height,
                                                 const std::vector<PaneSlot>& paneSlots) {
  std::vector<std::size_t> order(paneSlots.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return paneSlots[a].order < paneSlots[b].order;
  });

  std::vector<std::optional<PaneRect>> placed(paneSlots.size());
  int left = 0, top = 0, right = width, bottom = height;
  std::optional<std::size_t> fill;
  for (const std::size_t i : order) {
    const PaneSlot& s = paneSlots[i];
    switch (s.side) {
      case kSideLeft:
        placed[i] = PaneRect{left, top, s.width, bottom - top};
        left += s.width;
        break;
      case kSideRight:
        right -= s.width;
        placed[i] = PaneRect{right, top, s.width, bottom - top};
        break;
      case kSideTop:
        placed[i] = PaneRect{left, top, right - left, s.height};
        top += s.height;
        break;
      case kSideBottom:
        bottom -= s.height;
        placed[i] = PaneRect{left, bottom, right - left, s.height};
        break;
      case kSideFill:
        fill = i;
        break;
      default:
        break;
    }
  }
  if (fill) placed[*fill] = PaneRect{left, top, right - left, bottom - top};
  return placed;
}

}  // namespace vrok
