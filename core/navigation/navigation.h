#pragma once
// The Qt-free parts of navigation: the queue of requests made while a
// navigation runs, the three pane sets and the pane layout arithmetic.
// MainWindow drives them with real child widgets.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <numeric>
#include <optional>
#include <vector>

#include "core/navigation/page_view.h"

namespace vrok {

// Where a pane goes in the content area.
enum PaneSide : std::int32_t {
  kSideLeft = 0,
  kSideRight = 1,
  kSideTop = 2,
  kSideBottom = 3,
  kSideFill = 4
};

// The busy flag and the first-in first-out queue of pending navigations.
class NavigationQueue {
 public:
  struct Request {
    PageId page = 0;
    std::vector<std::uint8_t> data;  // own copy; empty for "no data"
  };

  // True when the caller may run the navigation now (and is then busy);
  // otherwise the request, with a copy of its data, waits in the queue.
  bool Begin(PageId page, const std::uint8_t* data, std::uint32_t length);
  void End() { busy_ = false; }
  bool Busy() const { return busy_; }
  std::optional<Request> TakeNext();
  std::size_t Pending() const { return pending_.size(); }

 private:
  bool busy_ = false;
  std::deque<Request> pending_;
};

struct PaneRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const PaneRect&) const = default;
};

// The height panes are laid out in: a client height of 294 pixels at 96
// dots per inch (scaled by the horizontal resolution) counts as 268, which
// leaves room for the menu bar.
int LayoutHeight(int clientHeight, int dpiX);

struct PaneSlot {
  std::int16_t order = 0;
  std::int32_t side = kSideFill;
  int width = 0;  // the window's current outer size
  int height = 0;
};

// Places the panes, sorted by order key (stable), in a W x H area: left and
// right panes take full remaining height, top and bottom panes full
// remaining width, and the last fill pane what is left. The result holds one
// entry per slot in the given order; paneSlots of another side, and fill panes
// replaced by a later one, get none.
std::vector<std::optional<PaneRect>> LayOutPanes(int width, int height,
                                                 const std::vector<PaneSlot>& paneSlots);

template <class Window>
struct PaneRecord {
  std::int16_t order = 0;
  std::int32_t side = kSideFill;
  Window* window = nullptr;
};

// The new, previous and overlay pane sets of the main window.
template <class Window>
class PaneSets {
 public:
  using Record = PaneRecord<Window>;
  struct Visibility {
    std::vector<Window*> show;  // in this order: shown and raised when overlays
    std::vector<Window*> hide;
    bool overlays = false;
  };

  // Start of a navigation: the new set becomes the previous one, unless
  // KeepPanes asked to keep the current set for this one navigation.
  void Begin() {
    if (swap_) {
      previous_ = new_;
      new_.clear();
    } else {
      swap_ = true;
    }
  }
  void Add(std::int16_t order, std::int32_t side, Window* w) { new_.push_back({order, side, w}); }
  void AddOverlay(std::int16_t order, std::int32_t side, Window* w) {
    overlays_.push_back({order, side, w});
  }
  // Returns the overlay windows to hide.
  std::vector<Window*> CloseOverlays() {
    std::vector<Window*> windows;
    for (const Record& r : overlays_) windows.push_back(r.window);
    overlays_.clear();
    swap_ = true;
    return windows;
  }
  void Keep() { swap_ = false; }
  // Takes one overlay away (a find bar closing), leaving the others.
  void RemoveOverlay(Window* w) {
    std::erase_if(overlays_, [w](const Record& r) { return r.window == w; });
  }

  // The panes to lay out, sorted by order key (stable).
  std::vector<Record> ToPlace() const {
    std::vector<Record> list = overlays_.empty() ? new_ : overlays_;
    std::stable_sort(list.begin(), list.end(),
                     [](const Record& a, const Record& b) { return a.order < b.order; });
    return list;
  }

  // After a navigation: overlays are shown over an untouched page; otherwise
  // windows only in the new set are shown and those only in the previous set
  // hidden, so a window in both is left alone.
  Visibility Changes() const {
    Visibility v;
    if (!overlays_.empty()) {
      v.overlays = true;
      for (const Record& r : overlays_) v.show.push_back(r.window);
      return v;
    }
    for (const Record& r : new_)
      if (!Holds(previous_, r.window)) v.show.push_back(r.window);
    for (const Record& r : previous_)
      if (!Holds(new_, r.window)) v.hide.push_back(r.window);
    return v;
  }

  const std::vector<Record>& New() const { return new_; }
  const std::vector<Record>& Overlays() const { return overlays_; }

 private:
  static bool Holds(const std::vector<Record>& set, Window* w) {
    return std::any_of(set.begin(), set.end(), [w](const Record& r) { return r.window == w; });
  }

  std::vector<Record> new_, previous_, overlays_;
  bool swap_ = true;
};

}  // namespace vrok
