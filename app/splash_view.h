#pragma once
// The splash page shown at start-up: the picture of the "SPLASH" table on
// white. The first tap, or 2.5 seconds after it was last painted, leads to
// "home"; after that it stays dismissed.

#include <QImage>
#include <QWidget>
#include <memory>

#include "content/content_database.h"
#include "core/navigation/page_names.h"
#include "core/navigation/page_view.h"
#include "platform/qt/fonts.h"

namespace vrok {

class MainWindow;
class SplashWindow;

class SplashView : public PageView {
 public:
  SplashView(MainWindow& main, const ContentDatabase& db, PageNameMap& names);
  ~SplashView() override;

  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;
  void Show() override {}

  // From the window, once: leads to "home".
  void Dismissed();
  // Dismisses as a tap would; false when already dismissed.
  bool Dismiss();
  bool IsDismissed() const;
  QWidget* Window() const;
  const QImage& Picture() const;

 private:
  platform::PageFontUse font_;
  MainWindow& main_;
  PageNameMap& names_;
  SplashWindow* window_ = nullptr;
};

}  // namespace vrok
