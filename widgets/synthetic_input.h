#pragma once
// Stylus input made in the program: the automation's taps and holds, the
// lists' own TapRow and HoldRow, and the tests send the same events a
// person's stylus would.

#include <QEvent>
#include <QPoint>

class QWidget;

namespace vrok {

// The press timer's period: a stylus held this long is a hold.
inline constexpr int kHoldDelayMs = 100;

// A left-button press (the button down) or release at `at`, in w's
// coordinates.
void SendMouse(QWidget* w, QEvent::Type type, QPoint at);

// A press and a release at `at`; with holdMs > 0 the platform clock moves on
// by that much between them.
void Tap(QWidget* w, QPoint at, int holdMs = 0);

}  // namespace vrok
