#pragma once
// The theme the reader draws in: Light, Dark, or the desktop's scheme,
// remembered in the registry file as "Theme" ("light", "dark", "system").

#include <optional>

#include "platform/qt/theme.h"

namespace vrok {

class ReaderApp;

namespace platform {
class Registry;
}

inline constexpr char kRegTheme[] = "Theme";

// The choice stored; System when there is none or it is not one of the
// three words.
platform::ThemeChoice RememberedThemeChoice(const platform::Registry& registry);
// Writes the choice unless it is what is stored already. False when the
// registry file could not be written.
bool RememberThemeChoice(platform::Registry& registry, platform::ThemeChoice choice);

// Sets the choice and, when the drawn theme changes, draws the whole
// screen again in it: bars, artwork, dialogs and the page shown.
void UseTheme(ReaderApp& app, platform::ThemeChoice choice);

// Draws the screen's long-lived parts again (backgrounds, caption bars, the
// command bar, the tabs) and shows the current page again, without a new
// history entry: after a change of theme or text size.
void RedrawScreen(ReaderApp& app);

}  // namespace vrok
