#pragma once
// The reader's window in desktop mode: where it opens, what it remembers in
// the registry file, and the text size keys (Ctrl+plus, Ctrl+minus, Ctrl+0,
// Ctrl+wheel).

#include <QSize>
#include <optional>

namespace vrok {

class ReaderApp;

// Registry value names.
inline constexpr char kRegWindowX[] = "WindowX";
inline constexpr char kRegWindowY[] = "WindowY";
inline constexpr char kRegWindowWidth[] = "WindowWidth";
inline constexpr char kRegWindowHeight[] = "WindowHeight";
inline constexpr char kRegWindowMaximized[] = "WindowMaximized";
inline constexpr char kRegTextSize[] = "TextSize";

// The size a first start opens at: about nine tenths of the available
// desktop's height, three quarters of that wide, never larger than the
// available area.
QSize FirstWindowSize(const QSize& available);

// The text size remembered, if any (clamped to 50..300).
std::optional<int> RememberedTextSize(ReaderApp& app);

// Sizes and places the window before it is first shown: the remembered
// geometry, kept inside the available desktop; `requested` wins over it,
// `fallback` (else FirstWindowSize) stands in when nothing is remembered. Maximizes it when it was left maximized.
void PlaceDesktopWindow(ReaderApp& app, std::optional<QSize> requested,
                        std::optional<QSize> fallback);
// Writes size, position, maximized state and text size to the registry.
void RememberDesktopWindow(ReaderApp& app);

// Changes the text size (clamped to 50..300) and lays every pane out again.
int ChangeTextSize(ReaderApp& app, int percent);
// Ctrl+plus, Ctrl+minus, Ctrl+0 and Ctrl+wheel on the reader's window.
void InstallTextSizeKeys(ReaderApp& app);

}  // namespace vrok
