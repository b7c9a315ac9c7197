#include "app/splash_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "frame/main_window.h"
#include "frame/picture_loader.h"
#include "platform/qt/environment.h"
#include "platform/qt/theme.h"
#include "platform/qt/timer.h"
#include "platform/qt/window_mode.h"
#include "widgets/screen_report.h"

namespace vrok {

class SplashWindow : public QWidget, public ReportedPane {
 public:
  SplashWindow(QWidget* parent, SplashView& view, QImage picture)
      : QWidget(parent), view_(view), picture_(std::move(picture)), timer_([this] { Dismiss(); }) {
    setObjectName(QStringLiteral("splash"));
    hide();
  }

  bool Dismiss() {
    if (dismissed_) return false;
    dismissed_ = true;
    platform::ReleaseCapture(this);
    timer_.Stop();
    view_.Dismissed();
    return true;
  }
  bool IsDismissed() const { return dismissed_; }
  const QImage& Picture() const { return picture_; }

  void Report(nlohmann::json& pane) const override {
    pane["kind"] = "Splash";
    pane["picture"] = picture_.isNull()
                          ? nlohmann::json(nullptr)
                          : nlohmann::json::array({picture_.width(), picture_.height()});
    pane["dismissed"] = dismissed_;
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter g(this);
    g.fillRect(rect(), platform::Themed(Qt::white));
    // A desktop window is larger than the handheld screen the picture was
    // made for: it stands in the middle.
    QPoint at(0, 0);
    if (platform::DesktopMode())
      at = QPoint(std::max(0, (width() - picture_.width()) / 2),
                  std::max(0, (height() - picture_.height()) / 2));
    if (!picture_.isNull()) g.drawImage(at, picture_, QRect(QPoint(0, 0), size()));
    Arm();
  }
  void showEvent(QShowEvent*) override { Arm(); }
  void mousePressEvent(QMouseEvent*) override { Dismiss(); }

 private:
  // While not dismissed, each paint (re)starts the timer and captures the
  // stylus so that the first tap anywhere reaches this window.
  void Arm() {
    if (dismissed_) return;
    timer_.Start(2500);
    platform::SetCapture(this);
  }

  SplashView& view_;
  QImage picture_;
  platform::Timer timer_;
  bool dismissed_ = false;
};

SplashView::SplashView(MainWindow& main, const ContentDatabase& db, PageNameMap& names)
    : main_(main), names_(names) {
  const RowIndex splash = db.TableRow(u"SPLASH");
  QImage picture;
  if (splash != 0) picture = LoadPicture(db, splash).image;
  window_ = new SplashWindow(&main, *this, std::move(picture));
}

SplashView::~SplashView() { delete window_; }

bool SplashView::Accept(PageId page, const std::uint8_t*, std::uint32_t) {
  if (page != names_[pages::kSplash]) return false;
  main_.AddPane(0, kSideFill, window_);
  return true;
}

void SplashView::Dismissed() { main_.Navigate(names_[pages::kHome], nullptr, 0, true); }
bool SplashView::Dismiss() { return window_->Dismiss(); }
bool SplashView::IsDismissed() const { return window_->IsDismissed(); }
QWidget* SplashView::Window() const { return window_; }
const QImage& SplashView::Picture() const { return window_->Picture(); }

}  // namespace vrok
