#pragma once
// The reader's keys: the shortcut of each command (shown in the command
// bar's tooltips and in its menus), the names screen readers give the
// command bar's buttons, Escape for the topmost thing open, and F1 for the
// list of keys in a pop-up.

#include <string>
#include <vector>

namespace vrok {

class ReaderApp;

struct KeyRow {
  const char* action;
  const char* keys;
};

// The rows of the F1 list, in its order.
const std::vector<KeyRow>& KeyboardRows();

// The F1 list as an HTML table.
std::u16string KeyboardListHtml();

class MainWindow;

// After a page is shown: when the keyboard focus is nowhere, hidden, or
// outside the page area, it goes to the first control of the page (the
// overlay when one is open), so that Tab and the arrows work at once.
void FocusPage(MainWindow& main);

// Installs every key, names and tooltips on the reader's command bar and
// screen; once, after the views exist.
void InstallKeyboard(ReaderApp& app);

}  // namespace vrok
