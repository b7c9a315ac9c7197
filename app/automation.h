#pragma once
// Scripts against the live widgets: one command per line, a JSON screen
// report for each "dump". The commands and the report are listed in
// docs/automation.md.

#include <QWidget>
#include <functional>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>

namespace vrok {

class ReaderApp;

nlohmann::json ScreenReport(ReaderApp& app);

// What a script command acts on, and where it writes its output and its
// reason for failing.
struct Script {
  ReaderApp& app;
  std::ostream& out;
  std::string& error;

  bool Fail(std::string why) {
    error = std::move(why);
    return false;
  }
};
// One script command: its first word, and the rest of its line. The
// commands are the table in automation.cpp.
using ScriptCommand = bool (*)(Script& script, const std::string& verb, const std::string& rest);

class ScriptRunner {
 public:
  explicit ScriptRunner(ReaderApp& app, std::ostream& out) : app_(app), out_(out) {}

  // Runs one line; false with a reason when it failed.
  bool RunLine(const std::string& line, std::string& error);
  // Runs every line; 0 when all succeeded, 2 when any failed (reported on
  // err). Stops early when a command ends the program.
  int Run(std::istream& in, std::ostream& err);

 private:
  ReaderApp& app_;
  std::ostream& out_;
};

}  // namespace vrok
