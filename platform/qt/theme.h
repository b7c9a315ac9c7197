#pragma once
// The program's colours, in one place: a light theme (the colours the reader
// has always drawn with) and a dark one. Every widget asks Colours() for a
// named colour, or passes a colour of the light theme through Themed(),
// which gives its counterpart in the current theme. Figures never pass
// through here: they are drawn as they are in both themes.
//
// The choice is Light, Dark, or System (the desktop's colour scheme where
// the platform says it, else the lightness of the desktop palette's window
// colour).

#include <QColor>
#include <QString>
#include <optional>

namespace vrok::platform {

enum class ThemeChoice { kLight, kDark, kSystem };

// The named colours of one theme.
struct Colours {
  QColor page;          // page, list and dialog background
  QColor text;          // body text
  QColor link;          // links in pages
  QColor richLink;      // links in drawn rows and titles
  QColor warning;       // red warning text (a failing answer, no match)
  QColor secondary;     // quieter text: hints, paths
  QColor selected;      // the selected row's background
  QColor selectedText;  // text on it
  QColor caption;       // dialog and pop-up caption bars
  QColor captionText;
  QColor strip;         // the program's title strip
  QColor chrome;        // command bar and search bar background
  QColor chromeLine;    // their border
  QColor chromePressed;
  QColor gridLine;   // lines between grid cells
  QColor gridHeader; // a grid's header cells
};

const Colours& LightColours();
const Colours& DarkColours();

// The colours in use now.
const Colours& CurrentColours();
bool DarkTheme();

ThemeChoice CurrentThemeChoice();
// Sets the choice and resolves it; in a QApplication also sets the
// application palette (the desktop's own palette again for light).
// Returns whether the resolved theme is dark.
bool SetThemeChoice(ThemeChoice choice);
// Whether the desktop asks for a dark scheme now.
bool DesktopPrefersDark();

// "light", "dark", "system"; parsing is exact and lower case.
const char* ThemeChoiceName(ThemeChoice choice);
std::optional<ThemeChoice> ParseThemeChoice(const QString& name);

// A colour of the light theme as the current theme draws it: itself in
// light; in dark its named counterpart, else a grey turned over in
// lightness, else the colour lightened just enough to read on the dark page.
QColor Themed(const QColor& light);
// Text of a light-theme colour on a light-theme background, as the current
// theme draws it: Themed(text), or the theme's body text or page colour,
// whichever reads better, when that would not stand out 4.5:1 against
// Themed(background).
QColor ThemedText(const QColor& lightText, const QColor& lightBackground);
// The same, always the dark counterpart (for tests and previews).
QColor DarkCounterpart(const QColor& light);

// The style sheet of a caption bar: its colours, bold unless told not.
QString CaptionSheet(bool bold = true);

// The WCAG 2 contrast ratio of two opaque colours, from 1 to 21.
double ContrastRatio(const QColor& a, const QColor& b);

}  // namespace vrok::platform
