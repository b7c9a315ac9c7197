#pragma once
// The script command "key SEQ": one real key press, spelled as
// QKeySequence spells it ("Return", "Ctrl+F", "Shift+F3", "Escape"), sent
// to the widget that has the focus (else the screen), press then release,
// through the application's event delivery so that shortcuts and key
// handlers see it as they would a typed key.

#include <string>

class QWidget;

namespace vrok {

// False with a reason when the sequence is not one key or nothing can take it.
bool SendKey(QWidget* fallback, const std::string& sequence, std::string& error);

}  // namespace vrok
