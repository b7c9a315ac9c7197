#include "widgets/artwork.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <map>

#include "platform/qt/environment.h"
#include "platform/qt/theme.h"

namespace vrok::art {

namespace {

// A colour of the artwork as the current theme draws it.
QColor Ink(int r, int g, int b) { return platform::Themed(QColor(r, g, b)); }

enum class Icon {
  kInfo,
  kBack,
  kUp,
  kForward,
  kHouse,
  kMagnifier,
  kTools,
  kNote,
  kBookmark,
  kDoor
};

QPainterPath Arrow(Icon icon) {
  // A right-pointing arrow in a 16 x 16 cell, turned for back and up.
  QPainterPath p;
  p.moveTo(2, 6.5);
  p.lineTo(8.5, 6.5);
  p.lineTo(8.5, 2.5);
  p.lineTo(14.5, 8);
  p.lineTo(8.5, 13.5);
  p.lineTo(8.5, 9.5);
  p.lineTo(2, 9.5);
  p.closeSubpath();
  QTransform t;
  if (icon == Icon::kBack) t = QTransform(-1, 0, 0, 1, 16, 0);
  if (icon == Icon::kUp) t = QTransform(0, -1, 1, 0, 0, 16);
  return t.map(p);
}

// Draws one image into a 16 x 16 cell (the painter is already scaled).
void DrawIcon(QPainter& g, Icon icon, bool grey) {
  const QColor ink = grey ? Ink(128, 128, 128) : Ink(20, 20, 20);
  g.setPen(QPen(ink, 1));
  switch (icon) {
    case Icon::kInfo:
      g.setBrush(Ink(30, 90, 200));
      g.drawEllipse(QRectF(1.5, 1.5, 13, 13));
      g.setPen(Qt::NoPen);
      g.setBrush(Ink(255, 255, 255));
      g.drawRect(QRectF(7, 7, 2, 5));
      g.drawRect(QRectF(7, 4, 2, 2));
      break;
    case Icon::kBack:
    case Icon::kUp:
    case Icon::kForward:
      g.setBrush(grey ? Ink(160, 160, 160) : Ink(20, 120, 40));
      g.setPen(QPen(grey ? Ink(128, 128, 128) : Ink(10, 60, 20), 1));
      g.drawPath(Arrow(icon));
      break;
    case Icon::kHouse: {
      QPainterPath roof;
      roof.moveTo(1, 8);
      roof.lineTo(8, 1.5);
      roof.lineTo(15, 8);
      roof.closeSubpath();
      g.setBrush(Ink(190, 40, 30));
      g.drawPath(roof);
      g.setBrush(Ink(240, 230, 200));
      g.drawRect(QRectF(3.5, 8, 9, 6.5));
      g.setBrush(Ink(120, 70, 30));
      g.drawRect(QRectF(7, 10, 2.5, 4.5));
      break;
    }
    case Icon::kMagnifier:
      g.setPen(QPen(ink, 2.2, Qt::SolidLine, Qt::RoundCap));
      g.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
      g.setPen(QPen(ink, 1.5));
      g.setBrush(Ink(200, 230, 255));
      g.drawEllipse(QRectF(1.5, 1.5, 9.5, 9.5));
      break;
    case Icon::kTools:
      // A wrench: a handle and an open ring at its head.
      g.setPen(QPen(Ink(70, 70, 90), 3, Qt::SolidLine, Qt::RoundCap));
      g.drawLine(QPointF(3, 13), QPointF(9.5, 6.5));
      g.setPen(QPen(Ink(70, 70, 90), 2.2));
      g.setBrush(Qt::NoBrush);
      g.drawArc(QRectF(8, 1.5, 6.5, 6.5), 200 * 16, 290 * 16);
      break;
    case Icon::kNote:
      g.setBrush(Ink(255, 240, 120));
      g.drawRect(QRectF(2.5, 1.5, 11, 13));
      g.setPen(QPen(Ink(110, 100, 40), 1));
      for (int y = 5; y <= 11; y += 3) g.drawLine(QPointF(4.5, y), QPointF(11.5, y));
      break;
    case Icon::kBookmark: {
      QPainterPath ribbon;
      ribbon.moveTo(4, 1.5);
      ribbon.lineTo(12, 1.5);
      ribbon.lineTo(12, 14.5);
      ribbon.lineTo(8, 10.5);
      ribbon.lineTo(4, 14.5);
      ribbon.closeSubpath();
      g.setBrush(Ink(200, 30, 40));
      g.drawPath(ribbon);
      break;
    }
    case Icon::kDoor:
      g.setBrush(Ink(250, 250, 250));
      g.drawRect(QRectF(3.5, 1.5, 9, 13));
      g.setBrush(Ink(150, 90, 40));
      QPainterPath door;
      door.moveTo(3.5, 1.5);
      door.lineTo(9.5, 3);
      door.lineTo(9.5, 15.5);
      door.lineTo(3.5, 14.5);
      door.closeSubpath();
      g.drawPath(door);
      g.setBrush(Ink(240, 200, 60));
      g.drawEllipse(QRectF(7.3, 8, 1.6, 1.6));
      break;
  }
}

QPixmap Strip(const std::vector<Icon>& icons, int cell, bool grey) {
  QPixmap pm(cell * static_cast<int>(icons.size()), cell);
  pm.fill(kMaskColour);
  QPainter g(&pm);
  g.setRenderHint(QPainter::Antialiasing);
  for (std::size_t i = 0; i < icons.size(); ++i) {
    g.save();
    g.translate(static_cast<qreal>(cell) * static_cast<qreal>(i), 0);
    g.scale(cell / 16.0, cell / 16.0);
    DrawIcon(g, icons[i], grey);
    g.restore();
  }
  return pm;
}

QPixmap Tab(const char* label, bool selected, int scale) {
  QPixmap pm(80 * scale, kTabHeight * scale);
  pm.fill(Ink(175, 175, 175));
  QPainter g(&pm);
  g.setRenderHint(QPainter::Antialiasing);
  g.scale(scale, scale);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(1.5, 2.5, 77, 22), 4, 4);
  g.setPen(QPen(Ink(90, 90, 90), 1));
  g.setBrush(selected ? Ink(255, 255, 255) : Ink(214, 214, 214));
  g.drawPath(shape);
  if (selected) g.fillRect(QRectF(4, 3, 72, 2), Ink(51, 102, 153));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(10);
  font.setBold(selected);
  g.setFont(font);
  g.setPen(selected ? Ink(20, 40, 90) : Ink(60, 60, 60));
  g.drawText(QRectF(0, 4, 80, 18), Qt::AlignCenter, QString::fromLatin1(label));
  return pm;
}

QPixmap Indicator(int scale) {
  QPixmap pm(13 * scale, 13 * scale);
  pm.fill(Ink(175, 175, 175));
  QPainter g(&pm);
  g.setRenderHint(QPainter::Antialiasing);
  g.scale(scale, scale);
  g.setPen(QPen(Ink(100, 100, 100), 1));
  g.setBrush(Ink(205, 205, 205));
  g.drawRect(QRectF(0.5, 0.5, 12, 12));
  QPainterPath arrow;
  arrow.moveTo(3, 5);
  arrow.lineTo(10, 5);
  arrow.lineTo(6.5, 9.5);
  arrow.closeSubpath();
  g.setPen(Qt::NoPen);
  g.setBrush(Ink(30, 30, 30));
  g.drawPath(arrow);
  return pm;
}

QPixmap FootnotesButton(qreal scale) {
  QPixmap pm(qRound(18 * scale), qRound(18 * scale));
  pm.fill(kMaskColour);
  QPainter g(&pm);
  g.setRenderHint(QPainter::Antialiasing);
  g.scale(scale, scale);
  g.setPen(QPen(Ink(90, 90, 90), 1));
  g.setBrush(Ink(255, 255, 255));
  g.drawRoundedRect(QRectF(0.5, 0.5, 17, 17), 3, 3);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(11);
  font.setItalic(true);
  font.setBold(true);
  g.setFont(font);
  g.setPen(Ink(20, 60, 140));
  g.drawText(QRectF(0, 0, 18, 18), Qt::AlignCenter, QStringLiteral("fn"));
  return pm;
}

// The section-list button: a small list of lines with a drop-down mark.
QPixmap SectionsButton(qreal scale) {
  QPixmap pm(qRound(18 * scale), qRound(18 * scale));
  pm.fill(kMaskColour);
  QPainter g(&pm);
  g.setRenderHint(QPainter::Antialiasing);
  g.scale(scale, scale);
  g.setPen(QPen(Ink(90, 90, 90), 1));
  g.setBrush(Ink(255, 255, 255));
  g.drawRoundedRect(QRectF(0.5, 0.5, 17, 17), 3, 3);
  g.setPen(QPen(Ink(20, 60, 140), 1.5));
  for (int i = 0; i < 3; ++i) g.drawLine(QPointF(4, 5 + 4 * i), QPointF(10, 5 + 4 * i));
  g.setPen(Qt::NoPen);
  g.setBrush(Ink(20, 60, 140));
  const QPointF mark[3] = {QPointF(11.5, 8), QPointF(15.5, 8), QPointF(13.5, 11)};
  g.drawPolygon(mark, 3);
  return pm;
}

enum class Face { kDelete, kSave, kCancel, kBack, kNext, kCalculate, kClear };

int FaceWidth(Face face) {
  switch (face) {
    case Face::kDelete:
      return 64;
    case Face::kBack:
    case Face::kNext:
      return 30;
    case Face::kCalculate:
      return 62;
    case Face::kClear:
      return 40;
    case Face::kSave:
    case Face::kCancel:
      break;
  }
  return 56;
}

// A labelled push button on light grey, raised, or sunk while pressed.
QPixmap TextButton(Face face, bool pressed, qreal scale) {
  const int w = FaceWidth(face);
  QPixmap pm(qRound(w * scale), qRound(22 * scale));
  pm.fill(kMaskColour);
  QPainter g(&pm);
  g.setRenderHint(QPainter::Antialiasing);
  g.scale(scale, scale);
  const QRectF body(0.5, 0.5, w - 1, 21);
  QLinearGradient fill(0, 0, 0, 22);
  fill.setColorAt(0, pressed ? Ink(150, 170, 195) : Ink(252, 252, 252));
  fill.setColorAt(1, pressed ? Ink(190, 205, 225) : Ink(214, 218, 224));
  g.setPen(QPen(Ink(90, 96, 110), 1));
  g.setBrush(fill);
  g.drawRoundedRect(body, 3.5, 3.5);
  const QPointF shift = pressed ? QPointF(0.5, 0.5) : QPointF(0, 0);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(11);
  font.setBold(true);
  g.setFont(font);
  QRectF label(0, 0, w, 22);
  switch (face) {
    case Face::kDelete: {
      // A bin: lid, handle and a ribbed body.
      g.translate(shift);
      g.setPen(QPen(Ink(60, 60, 70), 1));
      g.setBrush(Ink(235, 235, 240));
      g.drawRect(QRectF(6.5, 7.5, 9, 10));
      g.drawLine(QPointF(4.5, 5.5), QPointF(17.5, 5.5));
      g.drawRect(QRectF(9.5, 3.5, 3, 2));
      for (const qreal x : {9.0, 11.0, 13.0}) g.drawLine(QPointF(x, 9.5), QPointF(x, 15.5));
      g.setPen(Ink(150, 20, 20));
      label = QRectF(18, 0, w - 20, 22);
      g.drawText(label, Qt::AlignCenter, QStringLiteral("Delete"));
      break;
    }
    case Face::kSave:
      g.translate(shift);
      g.setPen(Ink(10, 80, 30));
      g.drawText(label, Qt::AlignCenter, QStringLiteral("Save"));
      break;
    case Face::kCancel:
      g.translate(shift);
      g.setPen(Ink(40, 40, 50));
      g.drawText(label, Qt::AlignCenter, QStringLiteral("Cancel"));
      break;
    case Face::kBack:
    case Face::kNext: {
      // The arrow of the command bar, centred.
      g.translate(shift + QPointF((w - 16) / 2.0, 3));
      g.setBrush(Ink(20, 120, 40));
      g.setPen(QPen(Ink(10, 60, 20), 1));
      g.drawPath(Arrow(face == Face::kBack ? Icon::kBack : Icon::kForward));
      break;
    }
    case Face::kCalculate:
      g.translate(shift);
      g.setPen(Ink(20, 40, 110));
      g.drawText(label, Qt::AlignCenter, QStringLiteral("Calculate"));
      break;
    case Face::kClear:
      g.translate(shift);
      g.setPen(Ink(150, 20, 20));
      g.drawText(label, Qt::AlignCenter, QStringLiteral("Clear"));
      break;
  }
  return pm;
}

QPixmap Draw(int id) {
  const std::vector<Icon> all{Icon::kInfo,     Icon::kBack,      Icon::kUp,    Icon::kForward,
                              Icon::kHouse,    Icon::kMagnifier, Icon::kTools, Icon::kNote,
                              Icon::kBookmark, Icon::kDoor};
  const std::vector<Icon> nav{Icon::kBack, Icon::kUp, Icon::kForward};
  switch (id) {
    case kCommandStrip:
      return Strip(all, 16, false);
    case kCommandStripHigh:
      return Strip(all, 32, false);
    case kDisabledArrows:
      return Strip(nav, 16, true);
    case kDisabledArrowsHigh:
      return Strip(nav, 32, true);
    case kIndexTab:
      return Tab("INDEX", false, 1);
    case kIndexTabSelected:
      return Tab("INDEX", true, 1);
    case kToolsTab:
      return Tab("TOOLS", false, 1);
    case kToolsTabSelected:
      return Tab("TOOLS", true, 1);
    case kContentsTab:
      return Tab("CONTENTS", false, 1);
    case kContentsTabSelected:
      return Tab("CONTENTS", true, 1);
    case kIndexTabHigh:
      return Tab("INDEX", false, 2);
    case kIndexTabSelectedHigh:
      return Tab("INDEX", true, 2);
    case kToolsTabHigh:
      return Tab("TOOLS", false, 2);
    case kToolsTabSelectedHigh:
      return Tab("TOOLS", true, 2);
    case kContentsTabHigh:
      return Tab("CONTENTS", false, 2);
    case kContentsTabSelectedHigh:
      return Tab("CONTENTS", true, 2);
    case kExpandIndicator:
      return Indicator(1);
    case kExpandIndicatorHigh:
      return Indicator(2);
    case kFootnotes:
      return FootnotesButton(1);
    case kFootnotesHigh:
      return FootnotesButton(2);
    case kSections:
      return SectionsButton(1);
    case kSectionsHigh:
      return SectionsButton(2);
    case kDelete:
      return TextButton(Face::kDelete, false, 1);
    case kDeleteHigh:
      return TextButton(Face::kDelete, false, 2);
    case kSave:
      return TextButton(Face::kSave, false, 1);
    case kSaveHigh:
      return TextButton(Face::kSave, false, 2);
    case kSavePressed:
      return TextButton(Face::kSave, true, 1);
    case kSavePressedHigh:
      return TextButton(Face::kSave, true, 2);
    case kCancel:
      return TextButton(Face::kCancel, false, 1);
    case kCancelHigh:
      return TextButton(Face::kCancel, false, 2);
    case kCancelPressed:
      return TextButton(Face::kCancel, true, 1);
    case kCancelPressedHigh:
      return TextButton(Face::kCancel, true, 2);
    case kQuestionBack:
      return TextButton(Face::kBack, false, 1);
    case kQuestionBackHigh:
      return TextButton(Face::kBack, false, 2);
    case kQuestionNext:
      return TextButton(Face::kNext, false, 1);
    case kQuestionNextHigh:
      return TextButton(Face::kNext, false, 2);
    case kCalculate:
      return TextButton(Face::kCalculate, false, 1);
    case kCalculateHigh:
      return TextButton(Face::kCalculate, false, 2);
    case kClearAnswers:
      return TextButton(Face::kClear, false, 1);
    case kClearAnswersHigh:
      return TextButton(Face::kClear, false, 2);
    default:
      return {};
  }
}

}  // namespace

int ButtonBitmap(int id) {
  static const std::map<int, int> kTwins{{kDelete, kDeleteHigh},
                                         {kSave, kSaveHigh},
                                         {kSavePressed, kSavePressedHigh},
                                         {kCancel, kCancelHigh},
                                         {kCancelPressed, kCancelPressedHigh},
                                         {kQuestionBack, kQuestionBackHigh},
                                         {kQuestionNext, kQuestionNextHigh},
                                         {kCalculate, kCalculateHigh},
                                         {kClearAnswers, kClearAnswersHigh},
                                         {kFootnotes, kFootnotesHigh},
                                         {kSections, kSectionsHigh}};
  const auto it = kTwins.find(id);
  return it != kTwins.end() && platform::IsHighResolution() ? it->second : id;
}

QPixmap LoadBitmap(int id) {
  // Drawn once per theme.
  static std::map<int, QPixmap> caches[2];
  std::map<int, QPixmap>& cache = caches[platform::DarkTheme() ? 1 : 0];
  const auto it = cache.find(id);
  if (it != cache.end()) return it->second;
  return cache.emplace(id, Draw(id)).first->second;
}

QPixmap LoadMaskedBitmap(int id) {
  QPixmap pm = LoadBitmap(id);
  if (!pm.isNull()) pm.setMask(pm.createMaskFromColor(kMaskColour, Qt::MaskInColor));
  return pm;
}

QPixmap TabAt(const char* label, bool selected, QSize size) {
  // Designed at 80 x 22: the outline follows the size, the label is drawn
  // at a font height that follows the tab's height, never stretched.
  const int w = std::max(8, size.width()), h = std::max(8, size.height());
  const qreal sy = h / 22.0;
  QPixmap pm(w, h);
  pm.fill(Ink(175, 175, 175));
  QPainter g(&pm);
  g.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(1.5 * sy, 2.5 * sy, w - 3 * sy, 22 * sy), 4 * sy, 4 * sy);
  g.setPen(QPen(Ink(90, 90, 90), std::max(1.0, sy)));
  g.setBrush(selected ? Ink(255, 255, 255) : Ink(214, 214, 214));
  g.drawPath(shape);
  if (selected) g.fillRect(QRectF(4 * sy, 3 * sy, w - 8 * sy, 2 * sy), Ink(51, 102, 153));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(std::max(1, static_cast<int>(10 * sy + 0.5)));
  font.setBold(selected);
  g.setFont(font);
  g.setPen(selected ? Ink(20, 40, 90) : Ink(60, 60, 60));
  g.drawText(QRectF(0, 4 * sy, w, 18 * sy), Qt::AlignCenter, QString::fromLatin1(label));
  return pm;
}

QPixmap CommandStripAt(bool grey, int cell) {
  const std::vector<Icon> all{Icon::kInfo,     Icon::kBack,      Icon::kUp,    Icon::kForward,
                              Icon::kHouse,    Icon::kMagnifier, Icon::kTools, Icon::kNote,
                              Icon::kBookmark, Icon::kDoor};
  const std::vector<Icon> nav{Icon::kBack, Icon::kUp, Icon::kForward};
  QPixmap pm = Strip(grey ? nav : all, std::max(1, cell), grey);
  pm.setMask(pm.createMaskFromColor(kMaskColour, Qt::MaskInColor));
  return pm;
}

QPixmap ButtonAt(int id, qreal scale) {
  QPixmap pm;
  switch (id) {
    case kFootnotes:
    case kFootnotesHigh: pm = FootnotesButton(scale); break;
    case kSections:
    case kSectionsHigh: pm = SectionsButton(scale); break;
    case kDelete:
    case kDeleteHigh: pm = TextButton(Face::kDelete, false, scale); break;
    case kSave:
    case kSaveHigh: pm = TextButton(Face::kSave, false, scale); break;
    case kSavePressed:
    case kSavePressedHigh: pm = TextButton(Face::kSave, true, scale); break;
    case kCancel:
    case kCancelHigh: pm = TextButton(Face::kCancel, false, scale); break;
    case kCancelPressed:
    case kCancelPressedHigh: pm = TextButton(Face::kCancel, true, scale); break;
    case kQuestionBack:
    case kQuestionBackHigh: pm = TextButton(Face::kBack, false, scale); break;
    case kQuestionNext:
    case kQuestionNextHigh: pm = TextButton(Face::kNext, false, scale); break;
    case kCalculate:
    case kCalculateHigh: pm = TextButton(Face::kCalculate, false, scale); break;
    case kClearAnswers:
    case kClearAnswersHigh: pm = TextButton(Face::kClear, false, scale); break;
    default: return LoadMaskedBitmap(id);
  }
  pm.setMask(pm.createMaskFromColor(kMaskColour, Qt::MaskInColor));
  return pm;
}

}  // namespace vrok::art
