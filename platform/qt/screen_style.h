#pragma once
// The system metrics of the emulated screen. The handheld's system sized its
// font and its stock controls (scroll bars, check boxes, frames, tree
// indents) for the screen's dots per inch; here the application font and the
// widget style's pixel metrics, designed for 96 dots per inch, are scaled to
// the emulated screen's, so that stock Qt widgets keep their proportions on
// a high-resolution screen.

namespace vrok::platform {

// Installs the scaling style once and sets the application font for the
// screen's dots per inch now (ScreenMetrics). Does nothing without a
// QApplication.
void UseScreenMetrics();

}  // namespace vrok::platform
