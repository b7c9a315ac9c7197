#pragma once
// Script commands and report fields of the desktop window.

#include <nlohmann/json.hpp>
#include <string>

namespace vrok {

class ReaderApp;
struct Script;

// "window W H": resizes the top-level window as dragging its corner would
// and waits for the new layout.
bool RunWindowCommand(Script& script, const std::string& verb, const std::string& rest);

// Adds "mode" ("desktop" or "handheld"), "window" (the client area),
// "text_size" (a percentage; 100 in handheld mode) and "theme" to a screen
// report.
void ReportWindow(ReaderApp& app, nlohmann::json& report);

}  // namespace vrok
