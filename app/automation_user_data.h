#pragma once
// Script commands on the user's bookmarks and notes: "export FILE",
// "export-html FILE", "import FILE".

#include <string>

namespace vrok {

class ShellView;

// Runs one of the commands above; false with a reason when it failed.
bool RunUserDataCommand(ShellView& shell, const std::string& verb, const std::string& file,
                        std::string& error);

}  // namespace vrok
