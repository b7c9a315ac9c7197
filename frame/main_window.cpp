#include "frame/main_window.h"

#include <algorithm>

#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"

namespace vrok {

MainWindow::MainWindow(platform::ScreenWindow& screen, const QString& className,
                       const QString& title)
    : QWidget(&screen), screen_(screen), className_(className) {
  setObjectName(className);
  setWindowTitle(title);
  screen.SetTitle(title);
  setAutoFillBackground(true);
  keyboardUp_ = false;
  screen.SetInputPanel(false);
  screen.SetInputPanelListener([this] { OnInputPanelChange(); });
  screen.SetResizeListener([this] { OnScreenResize(); });
  const QRect desk = screen.VisibleDesktop();
  setGeometry(desk.adjusted(0, 0, 0, -platform::MenuBarHeight()));
  show();
}

void MainWindow::Navigate(PageId page, const std::uint8_t* bytes, std::uint32_t length,
                          bool hideKeyboard) {
  if (!queue_.Begin(page, bytes, length)) return;
  platform::SetWaitCursor(true);
  panes_.Begin();

  std::vector<PageView*> accepted;
  // Copy: views are registered only at start-up, but a view must not be
  // able to invalidate the loop.
  const std::vector<PageView*> views = views_;
  for (PageView* view : views)
    if (view->Accept(page, bytes, length)) accepted.push_back(view);

  if (keyboardUp_ && hideKeyboard) screen_.SetInputPanel(false);
  LayOutPanes(true);
  for (PageView* view : accepted) view->Show();

  platform::SetWaitCursor(false);
  queue_.End();
  if (auto next = queue_.TakeNext())
    Navigate(next->page, next->data.empty() ? nullptr : next->data.data(),
             static_cast<std::uint32_t>(next->data.size()), true);
}

void MainWindow::AddPane(std::int16_t order, std::int32_t side, QWidget* window) {
  panes_.Add(order, side, window);
}

void MainWindow::AddOverlay(std::int16_t order, std::int32_t side, QWidget* window) {
  panes_.AddOverlay(order, side, window);
}

void MainWindow::CloseOverlays() {
  for (QWidget* w : panes_.CloseOverlays()) w->hide();
}

namespace {
std::vector<PaneRecord<QWidget>> Visible(std::vector<PaneRecord<QWidget>> list) {
  std::stable_sort(list.begin(), list.end(),
                   [](const auto& a, const auto& b) { return a.order < b.order; });
  std::erase_if(list, [](const auto& r) { return !r.window->isVisible(); });
  return list;
}
}  // namespace

std::vector<PaneRecord<QWidget>> MainWindow::PagePanes() const { return Visible(panes_.New()); }
std::vector<PaneRecord<QWidget>> MainWindow::OverlayPanes() const {
  return Visible(panes_.Overlays());
}

void MainWindow::SetCurrentPage(PageId page, const std::uint8_t* bytes, std::uint32_t length) {
  currentPage_ = page;
  if (bytes == nullptr || length == 0)
    currentData_.clear();
  else
    currentData_.assign(bytes, bytes + length);
}

void MainWindow::LayOutPanes(bool navigation) {
  const auto list = panes_.ToPlace();
  std::vector<PaneSlot> paneSlots;
  paneSlots.reserve(list.size());
  for (const auto& r : list) {
    const QSize size = r.window->frameGeometry().size();
    paneSlots.push_back({r.order, r.side, size.width(), size.height()});
  }
  const int h = LayoutHeight(height(), platform::ScreenMetrics().dpiX);
  const auto placed = vrok::LayOutPanes(width(), h, paneSlots);
  for (std::size_t i = 0; i < list.size(); ++i)
    if (placed[i])
      list[i].window->setGeometry(placed[i]->x, placed[i]->y, placed[i]->w, placed[i]->h);
  if (!navigation) return;

  const auto changes = panes_.Changes();
  for (QWidget* w : changes.show) {
    w->show();
    if (changes.overlays) w->raise();
  }
  for (QWidget* w : changes.hide) w->hide();
}

void MainWindow::SetTitle(std::u16string title) {
  title_ = std::move(title);
  screen_.SetPageTitle(platform::ToQ(title_));
}

void MainWindow::OnScreenResize() {
  // The frame follows the window; the panes keep their sides and depths
  // and are placed again with the same arithmetic.
  const QRect desk = screen_.VisibleDesktop();
  setGeometry(desk.adjusted(0, 0, 0, -platform::MenuBarHeight()));
  LayOutPanes(false);
}

void MainWindow::OnInputPanelChange() {
  const QRect desk = screen_.VisibleDesktop();
  if (screen_.InputPanelOn()) {
    setGeometry(desk);
    keyboardUp_ = true;
  } else {
    setGeometry(desk.adjusted(0, 0, 0, -platform::MenuBarHeight()));
    keyboardUp_ = false;
  }
  LayOutPanes(false);
}

}  // namespace vrok
