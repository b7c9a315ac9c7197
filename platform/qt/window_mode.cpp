#include "platform/qt/window_mode.h"

#include <algorithm>

#include "platform/qt/environment.h"
#include "platform/qt/screen_style.h"

namespace vrok::platform {

namespace {
bool desktop = false;
int baseDpi = 96;
int textSize = 100;
}  // namespace

bool DesktopMode() { return desktop; }
void SetDesktopMode(bool on) { desktop = on; }

int BaseDpi() { return baseDpi; }
void SetBaseDpi(int dpi) { baseDpi = std::max(1, dpi); }

const std::vector<int>& TextSizeSteps() {
  static const std::vector<int> kSteps{50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};
  return kSteps;
}

int NextTextSize(int percent, int direction) {
  const auto& steps = TextSizeSteps();
  if (direction > 0) {
    const auto it = std::upper_bound(steps.begin(), steps.end(), percent);
    return it == steps.end() ? steps.back() : *it;
  }
  if (direction < 0) {
    const auto it = std::lower_bound(steps.begin(), steps.end(), percent);
    return it == steps.begin() ? steps.front() : *(it - 1);
  }
  return std::clamp(percent, kMinTextSize, kMaxTextSize);
}

int TextSize() { return textSize; }

int ApplyTextSize(int percent) {
  textSize = std::clamp(percent, kMinTextSize, kMaxTextSize);
  Screen& s = ScreenMetrics();
  s.dpiX = s.dpiY = std::max(1, (baseDpi * textSize + 50) / 100);
  UseScreenMetrics();
  return textSize;
}

}  // namespace vrok::platform
