#pragma once
// Keyboard help shared by the program's own controls. The ring drawn
// around the control that has the keyboard focus: a two-colour dashed frame
// that shows on light and on dark backgrounds.

#include <QPainter>
#include <QRect>

class QEvent;
class QWidget;

namespace vrok {

void DrawFocusRing(QPainter& g, const QRect& box);

// While a control's hold pop-up is shown, Escape closes it before it means
// anything else: the shortcut override of Escape is accepted. Returns
// whether it was (the control's event() then returns true). The pop-up may
// not be made yet (null).
bool ClaimEscapeForPopup(QEvent* event, const QWidget* popup);

}  // namespace vrok
