#include "platform/qt/theme.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QStyleHints>
#include <algorithm>
#include <cmath>
#include <utility>

namespace vrok::platform {

namespace {

const Colours kLight{
    .page = QColor(255, 255, 255),
    .text = QColor(0, 0, 0),
    .link = QColor(0, 0, 255),
    .richLink = QColor(0x08, 0x6B, 0xE7),
    .warning = QColor(197, 52, 41),
    .secondary = QColor(128, 128, 128),
    .selected = QColor(51, 102, 153),
    .selectedText = QColor(255, 255, 255),
    .caption = QColor(24, 52, 110),
    .captionText = QColor(255, 255, 255),
    .strip = QColor(24, 52, 110),
    .chrome = QColor(214, 214, 214),
    .chromeLine = QColor(128, 128, 128),
    .chromePressed = QColor(160, 160, 160),
    .gridLine = QColor(192, 192, 192),
    .gridHeader = QColor(153, 204, 255),
};

const Colours kDark{
    .page = QColor(30, 30, 30),
    .text = QColor(230, 230, 230),
    .link = QColor(110, 170, 255),
    .richLink = QColor(110, 170, 255),
    .warning = QColor(255, 120, 110),
    .secondary = QColor(170, 170, 170),
    .selected = QColor(45, 90, 140),
    .selectedText = QColor(255, 255, 255),
    .caption = QColor(36, 58, 100),
    .captionText = QColor(240, 240, 240),
    .strip = QColor(36, 58, 100),
    .chrome = QColor(50, 50, 50),
    .chromeLine = QColor(100, 100, 100),
    .chromePressed = QColor(80, 80, 80),
    .gridLine = QColor(85, 85, 85),
    .gridHeader = QColor(40, 70, 110),
};

ThemeChoice choice = ThemeChoice::kLight;
bool dark = false;
// The application palette before the program first changed it: the
// desktop's own, which the light theme keeps.
std::optional<QPalette> desktopPalette;

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
  return 0.2126 * Linear(c.red()) + 0.7152 * Linear(c.green()) + 0.0722 * Linear(c.blue());
}

// The light colours with a dark counterpart of their own, beyond the named
// roles: the title bars' grey and slate, the index list's second colour.
const std::pair<QRgb, QRgb> kPairs[] = {
    {qRgb(175, 175, 175), qRgb(72, 72, 72)},
    {qRgb(132, 150, 164), qRgb(52, 64, 76)},
    {qRgb(176, 0, 32), qRgb(255, 120, 110)},
};

QPalette DarkPalette() {
  const Colours& c = kDark;
  QPalette p;
  p.setColor(QPalette::Window, c.page);
  p.setColor(QPalette::WindowText, c.text);
  p.setColor(QPalette::Base, c.page);
  p.setColor(QPalette::AlternateBase, QColor(42, 42, 42));
  p.setColor(QPalette::Text, c.text);
  p.setColor(QPalette::Button, QColor(55, 55, 55));
  p.setColor(QPalette::ButtonText, c.text);
  p.setColor(QPalette::BrightText, QColor(255, 255, 255));
  p.setColor(QPalette::Link, c.link);
  p.setColor(QPalette::LinkVisited, QColor(190, 150, 255));
  p.setColor(QPalette::Highlight, c.selected);
  p.setColor(QPalette::HighlightedText, c.selectedText);
  p.setColor(QPalette::ToolTipBase, QColor(50, 50, 50));
  p.setColor(QPalette::ToolTipText, c.text);
  p.setColor(QPalette::PlaceholderText, c.secondary);
  p.setColor(QPalette::Light, QColor(80, 80, 80));
  p.setColor(QPalette::Midlight, QColor(66, 66, 66));
  p.setColor(QPalette::Mid, QColor(45, 45, 45));
  p.setColor(QPalette::Dark, QColor(20, 20, 20));
  p.setColor(QPalette::Shadow, QColor(0, 0, 0));
  for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, QColor(120, 120, 120));
  return p;
}

}  // namespace

const Colours& LightColours() { return kLight; }
const Colours& DarkColours() { return kDark; }
const Colours& CurrentColours() { return dark ? kDark : kLight; }
bool DarkTheme() { return dark; }
ThemeChoice CurrentThemeChoice() { return choice; }

bool DesktopPrefersDark() {
  if (qGuiApp == nullptr) return false;
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
  const Qt::ColorScheme scheme = QGuiApplication::styleHints()->colorScheme();
  if (scheme == Qt::ColorScheme::Dark) return true;
  if (scheme == Qt::ColorScheme::Light) return false;
#endif
  const QPalette palette = desktopPalette ? *desktopPalette : QGuiApplication::palette();
  return palette.color(QPalette::Window).lightness() < 128;
}

bool SetThemeChoice(ThemeChoice wanted) {
  choice = wanted;
  const bool wasDark = dark;
  dark = wanted == ThemeChoice::kDark || (wanted == ThemeChoice::kSystem && DesktopPrefersDark());
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
    if (!desktopPalette) desktopPalette = QApplication::palette();
    // The light theme never touches the palette unless dark came first, so
    // it draws exactly as the program always has.
    if (dark) QApplication::setPalette(DarkPalette());
    else if (wasDark) QApplication::setPalette(*desktopPalette);
  }
  return dark;
}

const char* ThemeChoiceName(ThemeChoice c) {
  switch (c) {
    case ThemeChoice::kLight: return "light";
    case ThemeChoice::kDark: return "dark";
    case ThemeChoice::kSystem: return "system";
  }
  return "light";
}

std::optional<ThemeChoice> ParseThemeChoice(const QString& name) {
  for (const ThemeChoice c : {ThemeChoice::kLight, ThemeChoice::kDark, ThemeChoice::kSystem})
    if (name == QLatin1String(ThemeChoiceName(c))) return c;
  return std::nullopt;
}

QString CaptionSheet(bool bold) {
  const Colours& c = CurrentColours();
  return QStringLiteral("background: %1; color: %2;%3")
      .arg(c.caption.name(), c.captionText.name(),
           bold ? QStringLiteral(" font-weight: bold;") : QString());
}

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor DarkCounterpart(const QColor& light) {
  const QRgb rgb = light.rgb();
  const int alpha = light.alpha();
  const auto with = [alpha](QColor c) {
    c.setAlpha(alpha);
    return c;
  };
  // The named roles first: the same colour in the other theme.
  const QColor Colours::*roles[] = {&Colours::page, &Colours::text, &Colours::richLink,
                                    &Colours::warning, &Colours::selected, &Colours::caption,
                                    &Colours::chrome, &Colours::chromeLine,
                                    &Colours::chromePressed, &Colours::gridLine,
                                    &Colours::gridHeader};
  for (const auto role : roles)
    if ((kLight.*role).rgb() == rgb) return with(kDark.*role);
  for (const auto& [from, to] : kPairs)
    if (from == rgb) return with(QColor::fromRgb(to));
  const int r = light.red(), g = light.green(), b = light.blue();
  if (std::max({r, g, b}) - std::min({r, g, b}) <= 16) {
    // A grey: turned over, white to the page's dark, black to the text's light.
    const int v = (r + g + b) / 3;
    const int turned = 30 + (255 - v) * 200 / 255;
    return with(QColor(turned, turned, turned));
  }
  // A colour keeps its hue; a dark one is lightened until it reads on the page.
  QColor c = light.toHsl();
  int lightness = c.lightness();
  QColor out = light;
  while (ContrastRatio(out, kDark.page) < 4.5 && lightness < 240) {
    lightness = std::min(240, lightness + 10);
    out = QColor::fromHsl(c.hslHue(), c.hslSaturation(), lightness);
  }
  return with(out.toRgb());
}

QColor Themed(const QColor& light) { return dark ? DarkCounterpart(light) : light; }

QColor ThemedText(const QColor& lightText, const QColor& lightBackground) {
  if (!dark) return lightText;
  const QColor text = DarkCounterpart(lightText);
  const QColor background = DarkCounterpart(lightBackground);
  if (ContrastRatio(text, background) >= 4.5) return text;
  return ContrastRatio(kDark.text, background) >= ContrastRatio(kDark.page, background) ? kDark.text
                                                                                          : kDark.page;
}

}  // namespace vrok::platform
