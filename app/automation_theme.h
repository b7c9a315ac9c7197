#pragma once
// The "theme" script command.

#include <string>

namespace vrok {

struct Script;

// "theme light|dark|system": draws the reader in that theme at once, as
// choosing it in the settings dialog would, without writing the registry.
bool RunThemeCommand(Script& script, const std::string& verb, const std::string& rest);

}  // namespace vrok
