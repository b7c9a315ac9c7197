#pragma once
// What screen readers see of the program's windows. The owner-drawn
// controls get interfaces of their own: picture buttons and the command
// bar's buttons by their command's name, tabs as page tabs that know which
// one is selected, and the ListHost's rows as children with their text and
// selected state. Every interface made here gives its place in real screen
// pixels, whatever the zoom (the zoom scales the whole window, and screen
// readers measure the screen, not the program's logical pixels).
//
// Text viewers, item views, combo boxes, spin boxes, sliders and menus keep
// Qt's own interfaces, which expose their text and items.

#include <QAccessible>
#include <QRect>
#include <QString>

class QWidget;

namespace vrok {

// Installs the interface factory; once per process, later calls do nothing.
void InstallAccessibility();

// A rectangle in a widget's own coordinates, on the screen in device pixels.
QRect ScreenPixels(const QWidget* widget, const QRect& local);

// The name of a role as scripts report it ("button", "page tab", "list").
QString RoleName(QAccessible::Role role);

// The names of the states that are set ("focused", "selected", ...).
QStringList StateNames(const QAccessible::State& state);

}  // namespace vrok
