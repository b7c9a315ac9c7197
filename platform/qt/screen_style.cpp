#include "platform/qt/screen_style.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include "platform/qt/environment.h"
#include "platform/qt/theme.h"

namespace vrok::platform {

namespace {

// Two chevrons pointing right (down when vertical), in a grey that shows on
// the bar in either theme (the icon is made once, with the bar).
QIcon Chevrons(bool vertical) {
  const int size = ScaleX(16);
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter g(&pm);
  g.setRenderHint(QPainter::Antialiasing);
  g.scale(size / 16.0, size / 16.0);
  if (vertical) g.setTransform(QTransform(0, 1, 1, 0, 0, 0), true);
  g.setPen(QPen(QColor(128, 128, 128), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  for (const qreal x : {4.0, 9.0}) {
    const QPointF arrow[3] = {QPointF(x, 4), QPointF(x + 4, 8), QPointF(x, 12)};
    g.drawPolyline(arrow, 3);
  }
  return QIcon(pm);
}

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

  QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                     const QWidget* widget) const override {
    // A tool bar asks for its overflow button's icon when it is made, and
    // Qt's own is a file whose reading loads every image plugin: drawn here.
    if (icon == SP_ToolBarHorizontalExtensionButton) return Chevrons(false);
    if (icon == SP_ToolBarVerticalExtensionButton) return Chevrons(true);
    return QProxyStyle::standardIcon(icon, option, widget);
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
