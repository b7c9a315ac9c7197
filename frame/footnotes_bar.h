#pragma once
// What every page view with footnotes builds alike: the button bar at the
// foot of its page with the footnotes button, and the links of its pop-up
// followed in the main window.

#include <functional>

#include "frame/popup.h"

namespace vrok {

class ButtonBar;
class MainWindow;

// A hidden button bar on the main window named `name`, holding the footnotes
// button (the picture of the screen's resolution) as command
// footnotesCommand; its buttons report to onCommand. height 0 is the bar's
// own height.
ButtonBar* NewFootnotesBar(MainWindow& main, const char* name, int footnotesCommand,
                           std::function<void(int command)> onCommand, int height = 0);

// Links tapped in the pop-up go to their page in the main window.
void FollowLinksInMain(FootnotePopup& popup, MainWindow& main);

}  // namespace vrok
