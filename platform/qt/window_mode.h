#pragma once
// Handheld or desktop, and the desktop's text size.
//
// Handheld mode is the emulated handheld screen at a fixed size. Desktop
// mode is an ordinary resizable window whose client area is the screen the
// panes are laid out in; its text size works through the logical dots per
// inch: every font and control length follows ScreenMetrics().dpiX/dpiY, so
// a text size of 150 % is the base dots per inch times 1.5.

#include <vector>

namespace vrok::platform {

bool DesktopMode();
void SetDesktopMode(bool desktop);

// The dots per inch the program started with (--dpi); text size 100 %.
int BaseDpi();
void SetBaseDpi(int dpi);

constexpr int kMinTextSize = 50;
constexpr int kMaxTextSize = 300;
// The steps Ctrl+plus and Ctrl+minus move through.
const std::vector<int>& TextSizeSteps();
// The next step above (direction > 0) or below (direction < 0) percent,
// clamped to the ends; a value between steps moves to the nearest step on
// that side.
int NextTextSize(int percent, int direction);

int TextSize();
// Clamps percent to 50..300 and sets the screen's dots per inch to the base
// times percent / 100 (at least 1), then the application font and style
// metrics. Returns the size set.
int ApplyTextSize(int percent);

}  // namespace vrok::platform
