#include "platform/qt/screen_style.h"

#include <QApplication>
#include <QFont>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include "platform/qt/environment.h"
#include "platform/qt/theme.h"

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

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    // On the dark page the style's outline of a check box or radio button
    // (its window colour, darkened) would vanish: drawn from a lighter one.
    if (DarkTheme() && option != nullptr &&
        (element == PE_IndicatorRadioButton || element == PE_IndicatorCheckBox)) {
      QStyleOption lighter(*option);
      lighter.palette.setColor(QPalette::Window, QColor(190, 190, 190));
      lighter.palette.setColor(QPalette::Base, QColor(50, 50, 50));
      QProxyStyle::drawPrimitive(element, &lighter, painter, widget);
      return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
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
