#pragma once
// The menu entries and script commands that take the user's bookmarks and
// notes out to a file and bring them back in (user_data_export.h,
// user_data_import.h), with the reader's messages.

#include <string>
#include <string_view>

namespace vrok {

class ShellView;

inline constexpr std::u16string_view kExportCaption = u"Export";
inline constexpr std::u16string_view kImportCaption = u"Import";
inline constexpr std::u16string_view kRestoreCaption = u"Restore";

// Writes the export (JSON, or the web page when html) to path. False, with
// the reason, when it cannot be written.
bool ExportUserDataFile(ShellView& shell, const std::string& path, bool html, std::string& error);

// Merges the export at path into the stores. A note that differs from the
// page's note already there is settled by asking: Yes keeps both; else a
// second question, Yes keeps the newer one, No the one already there. The
// outcome is said in a message box. False, with the reason, when nothing
// could be imported.
bool ImportUserDataFile(ShellView& shell, const std::string& path, std::string& error);

// Lists the backups in a pop-up menu and restores the one chosen (the
// current data is backed up first). True when one was restored.
bool RestoreFromBackup(ShellView& shell);

// Adds "Export bookmarks and notes…", "Save notes as a web page…" and
// "Import bookmarks and notes…" and "Restore from backup…" to the
// notes menu.
void AddUserDataMenu(ShellView& shell);

}  // namespace vrok
