#pragma once
// What a pane tells the automation: views make their panes (or the widgets
// inside them) implement these to join the screen report and the script
// commands.

#include <nlohmann/json.hpp>
#include <string>

namespace vrok {

// A pane that describes itself in the screen report: it sets "kind" and
// the fields of its kind ("title", "html", "rows", ...).
class ReportedPane {
 public:
  virtual ~ReportedPane() = default;
  virtual void Report(nlohmann::json& pane) const = 0;
};

// A pane with rows that a script can tap or hold (tap-row, hold-row).
class RowTarget {
 public:
  virtual ~RowTarget() = default;
  virtual bool TapRow(int row) = 0;
  virtual bool HoldRow(int row) = 0;
};

// A pane with check boxes that a script can tick or clear (tick-row): a
// tap on the row's check box.
class CheckTarget {
 public:
  virtual ~CheckTarget() = default;
  virtual bool TickRow(int row) = 0;
};

// A pane showing links that a script can tap by raw HREF (tap-link).
class LinkTarget {
 public:
  virtual ~LinkTarget() = default;
  virtual bool TapLink(const std::u16string& href) = 0;
};

// A pane or view handling command ids of its own (button bars, dialogs).
class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  virtual bool OnCommand(int commandId) = 0;
};

}  // namespace vrok
