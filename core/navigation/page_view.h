#pragma once
// The interface every page view implements. MainWindow::Navigate offers each
// page to every registered view in registration order.

#include <cstdint>

namespace vrok {

// Ids below RowCount are content rows; the built-in pages follow them.
using PageId = std::uint32_t;

class PageView {
 public:
  virtual ~PageView() = default;
  // True when this view renders the page; before returning true it has built
  // its content and added its panes (AddPane or AddOverlay). A view that
  // answers false leaves the screen untouched. data may be null.
  virtual bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) = 0;
  // Called once per navigation on each accepting view, after the layout.
  virtual void Show() = 0;
};

}  // namespace vrok
