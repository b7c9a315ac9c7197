#include "platform/qt/screen_style.h"

#include <QApplication>
#include <QFont>
#include <QProxyStyle>
#include <QStyleFactory>

#include "platform/qt/environment.h"

namespace vrok::platform {

namespace {

// Fusion, the same on every desktop, with every length scaled from 96 dots
// per inch to the screen's. Reads the screen's metrics on each call, so a
// test that changes them gets the new sizes.
class ScreenStyle : public QProxyStyle {
 public:
  ScreenStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    const int value = QProxyStyle::pixelMetric(metric, option, widget);
    return value > 0 ? ScaleX(value) : value;
  }
};

}  // namespace

void UseScreenMetrics() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  if (dynamic_cast<const ScreenStyle*>(QApplication::style()) == nullptr)
    QApplication::setStyle(new ScreenStyle);
  // The system font: 12 pixels (9 points) at 96 dots per inch.
  QFont font(QStringLiteral("Sans Serif"));
  font.setPixelSize(ScaleY(12));
  QApplication::setFont(font);
}

}  // namespace vrok::platform
