#include "app/user_data_actions.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QToolBar>
#include <ctime>

#include "app/command_bar.h"
#include "app/shell_view.h"
#include "core/userdata/backups.h"
#include "core/userdata/note_store.h"
#include "core/userdata/user_data_export.h"
#include "core/userdata/user_data_import.h"
#include "frame/main_window.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"

namespace vrok {

namespace {

void Say(ShellView& shell, std::u16string_view text, std::u16string_view caption,
         platform::MessageIcon icon) {
  platform::ShowMessage(std::u16string(text), std::u16string(caption), icon,
                        platform::MessageButtons::kOk, &shell.Main());
}

std::int64_t Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

// The clash rule, asked of the user (or of the answers a script queued).
NoteClash AskClash(ShellView& shell, int clashes) {
  const std::u16string count = platform::FromQ(QString::number(clashes));
  const auto ask = [&](std::u16string text) {
    return platform::ShowMessage(text, std::u16string(kImportCaption),
                                 platform::MessageIcon::kQuestion, platform::MessageButtons::kYesNo,
                                 &shell.Main()) == platform::MessageAnswer::kYes;
  };
  if (ask(count + u" imported notes differ from the notes on the same pages. Keep both?"))
    return NoteClash::kKeepBoth;
  if (ask(u"Keep the newer note of each page? (No keeps the notes you have.)"))
    return NoteClash::kKeepNewer;
  return NoteClash::kKeepExisting;
}

}  // namespace

bool ExportUserDataFile(ShellView& shell, const std::string& path, bool html, std::string& error) {
  const auto data = ReadUserData(shell.Folder());
  if (!data) {
    error = "the bookmarks and notes cannot be read";
    return false;
  }
  const ReservedKeys& reserved = shell.ReservedKeys();
  const std::string text = html ? ExportHtml(shell.Database(), reserved, *data, Now())
                                : ExportJson(shell.Database(), reserved, *data, Now());
  if (!SaveExport(path, text)) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool ImportUserDataFile(ShellView& shell, const std::string& path, std::string& error) {
  ImportError failure = ImportError::kNone;
  std::optional<ExportFile> file;
  if (const auto bytes = ReadWhole(RealFileSystem(), path)) {
    file = ParseExport(*bytes, failure);
  } else {
    failure = ImportError::kUnreadable;
  }
  ImportReport report;
  if (file) {
    const int clashes = CountNoteClashes(shell.Folder(), *file);
    const NoteClash rule = clashes > 0 ? AskClash(shell, clashes) : NoteClash::kKeepExisting;
    shell.ReopenUserData([&] {
      const auto existing = ReadUserData(shell.Folder());
      failure = ImportUserData(shell.Folder(), shell.Database(), shell.ReservedKeys(), *file, rule,
                               existing ? existing->notesModified : 0, report);
    });
  }
  if (failure != ImportError::kNone) {
    const std::u16string message = ImportErrorMessage(failure);
    Say(shell, message, kImportCaption, platform::MessageIcon::kExclamation);
    error = platform::ToQ(message).toStdString();
    return false;
  }
  Say(shell, ImportSummary(report), kImportCaption, platform::MessageIcon::kInformation);
  return true;
}

bool RestoreFromBackup(ShellView& shell) {
  const auto names = ListBackups(shell.Folder());
  if (names.empty()) {
    Say(shell, u"There is no backup yet.", kRestoreCaption, platform::MessageIcon::kInformation);
    return false;
  }
  QStringList items;
  for (const auto& n : names) items << QString::fromStdString(n);
  QWidget* owner = &shell.Main();
  const int chosen =
      platform::TrackPopupMenu(items, owner->mapToGlobal(owner->rect().center()), owner);
  if (chosen < 0 || chosen >= static_cast<int>(names.size())) return false;
  bool restored = false;
  shell.ReopenUserData([&] {
    restored = RestoreBackup(shell.Folder(), names[static_cast<std::size_t>(chosen)], Now());
  });
  Say(shell,
      restored ? u"Bookmarks and notes are restored. The data they replace is kept as a backup."
               : u"The backup could not be restored. Nothing was changed.",
      kRestoreCaption,
      restored ? platform::MessageIcon::kInformation : platform::MessageIcon::kExclamation);
  return restored;
}

void AddUserDataMenu(ShellView& shell) {
  QMenu* menu = shell.Commands().MenuBar()->findChild<QMenu*>(
      QString::number(commands::kNotesMenu) + QStringLiteral("-menu"));
  if (menu == nullptr) return;
  QWidget* owner = &shell.Main();
  const auto add = [&](const QString& text, const QString& name, auto run) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    QObject::connect(a, &QAction::triggered, menu, run);
  };
  const auto exportTo = [&shell, owner](bool html) {
    const QString path = QFileDialog::getSaveFileName(
        owner, html ? QStringLiteral("Save notes as a web page") : QStringLiteral("Export"),
        html ? QStringLiteral("notes.html") : QStringLiteral("bookmarks-and-notes.json"),
        html ? QStringLiteral("Web page (*.html)") : QStringLiteral("Export (*.json)"));
    if (path.isEmpty()) return;
    std::string error;
    if (!ExportUserDataFile(shell, path.toStdString(), html, error))
      Say(shell, platform::FromQ(QString::fromStdString(error)), kExportCaption,
          platform::MessageIcon::kExclamation);
  };
  add(QStringLiteral("- Export bookmarks and notes\u2026"), QStringLiteral("export-user-data"),
      [exportTo] { exportTo(false); });
  add(QStringLiteral("- Save notes as a web page\u2026"), QStringLiteral("export-html"),
      [exportTo] { exportTo(true); });
  add(QStringLiteral("- Import bookmarks and notes\u2026"), QStringLiteral("import-user-data"),
      [&shell, owner] {
        const QString path = QFileDialog::getOpenFileName(
            owner, QStringLiteral("Import"), QString(), QStringLiteral("Export (*.json)"));
        std::string error;
        if (!path.isEmpty()) ImportUserDataFile(shell, path.toStdString(), error);
      });
  add(QStringLiteral("- Restore from backup\u2026"), QStringLiteral("restore-backup"),
      [&shell] { RestoreFromBackup(shell); });
}

}  // namespace vrok
