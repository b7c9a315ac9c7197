#pragma once
// The ring drawn around the control that has the keyboard focus: a
// two-colour dashed frame that shows on light and on dark backgrounds.

#include <QPainter>
#include <QRect>

namespace vrok {

void DrawFocusRing(QPainter& g, const QRect& box);

}  // namespace vrok
