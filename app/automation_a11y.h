#pragma once
// The script commands "focus" (the screen report with what has the
// keyboard focus) and "accessible" (the window's whole accessibility tree
// as one JSON line), as listed in docs/automation.md.

#include <nlohmann/json.hpp>
#include <string>

#include "app/automation.h"

class QAccessibleInterface;

namespace vrok {

// {role, name, state, geometry, children} of an interface and everything
// under it; geometry in screen pixels.
nlohmann::json AccessibleTree(QAccessibleInterface* node, int depth = 0);

bool RunFocus(Script& s, const std::string& verb, const std::string& rest);
bool RunAccessible(Script& s, const std::string& verb, const std::string& rest);

}  // namespace vrok
