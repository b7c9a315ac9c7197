#include "app/automation_user_data.h"

#include "app/user_data_actions.h"

namespace vrok {

bool RunUserDataCommand(ShellView& shell, const std::string& verb, const std::string& file,
                        std::string& error) {
  if (file.empty()) {
    error = verb + " needs a file name";
    return false;
  }
  if (verb == "import") return ImportUserDataFile(shell, file, error);
  return ExportUserDataFile(shell, file, verb == "export-html", error);
}

}  // namespace vrok
