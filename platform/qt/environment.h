#pragma once
// Program-wide values the handheld's platform supplied: the screen and its
// dots per inch, the program folder, the string table, the last stylus
// point and the wait cursor. Set once at start-up.

#include <QPoint>
#include <QString>
#include <string>

namespace vrok::platform {

struct Screen {
  int width = 240;
  int height = 320;
  int dpiX = 96;  // LOGPIXELSX
  int dpiY = 96;  // LOGPIXELSY
};

Screen& ScreenMetrics();

// A length designed as n pixels at 96 dots per inch.
inline int ScaleX(int n) { return (ScreenMetrics().dpiX * n + 48) / 96; }
inline int ScaleY(int n) { return (ScreenMetrics().dpiY * n + 48) / 96; }
// 192 dots per inch or more selects the larger bitmaps.
inline bool IsHighResolution() { return ScreenMetrics().dpiX >= 192; }
// The menu bar's height, (R_v x 26 + 48) / 96.
inline int MenuBarHeight() { return ScaleY(26); }

// The program folder: content, font and user data live there.
void SetProgramFolder(const QString& folder);
const QString& ProgramFolder();
QString ProgramFile(const QString& name);

// The string table of the reader (empty for an unknown id).
enum StringIds : unsigned {
  kStrDatabaseDamaged = 30014,
  kStrInvalidRegistry = 30019,
  kStrAppCaption = 30023,
};
std::u16string LoadString(unsigned id);

// The last point where the stylus went down, in screen coordinates.
void SetLastStylusPoint(QPoint point);
QPoint LastStylusPoint();

// The wait cursor shown while a navigation runs (SetCursor).
void SetWaitCursor(bool on);
bool WaitCursorShown();

// Automated runs (scripts, tests): no modal loops, virtual time.
void SetAutomated(bool automated);
bool Automated();

inline QString ToQ(const std::u16string& s) {
  return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::u16string FromQ(const QString& s) { return s.toStdU16String(); }

}  // namespace vrok::platform

namespace vrok::platform {
// Ends the message loop (posting WM_QUIT to the program's thread).
void PostQuit();
bool QuitPosted();
void ResetQuit();
}  // namespace vrok::platform

class QWidget;
namespace vrok::platform {
// Stylus capture (SetCapture/ReleaseCapture): every tap goes to the
// capturing window. The real mouse is grabbed where the display allows it.
void SetCapture(QWidget* widget);
void ReleaseCapture(QWidget* widget);
QWidget* Capture();
}  // namespace vrok::platform
