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

// The pop-up shown now (caption, html, geometry), for the report; views
// that open pop-ups install a source, null otherwise.
void SetPopupSource(std::function<nlohmann::json()> source);
// The topmost pop-up's widget, asked first by tap-link; may be null.
void SetPopupWidget(std::function<QWidget*()> widget);

nlohmann::json ScreenReport(ReaderApp& app);

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
