// vrok: the reader. Options:
//   --folder DIR     the program folder (default: the executable's folder)
//   --registry FILE  the registry file (default: $VROK_REGISTRY, else the
//                    user's config folder)
//   --screen WxH, --dpi N, --zoom N   the emulated handheld screen
//   --script FILE    run a script ("-" for standard input) and exit
//   --page PAGE      show PAGE (a page id or name) once started; when a
//                    reader already runs on the same folder, that reader
//                    comes to the front and shows it, and this start ends
//   --import FILE    merge an export of bookmarks and notes once started
//   --install        the installer step: write "InstallDir" and exit (no
//                    display needed)
// vrok-hires is the same program with another default screen.

#include <sys/stat.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "app/automation.h"
#include "app/page_print.h"
#include "app/reader_app.h"
#include "app/user_data_actions.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/registry.h"

#ifndef VROK_DEFAULT_SCREEN
#define VROK_DEFAULT_SCREEN "240x320"
#define VROK_DEFAULT_DPI 96
#endif

namespace {

// The value of an option given as "--name value", read before QApplication
// exists; empty when absent.
std::string RawOption(int argc, char** argv, const char* name) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == name) return argv[i + 1];
  return {};
}

bool HasFlag(int argc, char** argv, const char* name) {
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == name) return true;
  return false;
}

// The zoom for the desktop: --zoom, else 1 for scripts, else the smallest
// whole factor that makes the emulated screen at least 640 pixels tall
// (2 for the 240 x 320 screen, 1 for the 480 x 640 one).
int Zoom(int argc, char** argv, bool scripted) {
  const std::string zoom = RawOption(argc, argv, "--zoom");
  if (!zoom.empty()) return std::max(1, std::atoi(zoom.c_str()));
  if (scripted) return 1;
  std::string screen = RawOption(argc, argv, "--screen");
  if (screen.empty()) screen = VROK_DEFAULT_SCREEN;
  const auto x = screen.find('x');
  const int height = x == std::string::npos ? 0 : std::atoi(screen.c_str() + x + 1);
  return height > 0 ? std::clamp((640 + height - 1) / height, 1, 4) : 1;
}

bool ParseScreen(const QString& text, vrok::platform::Screen& screen) {
  const auto parts = text.split(QLatin1Char('x'));
  bool okW = false, okH = false;
  if (parts.size() != 2) return false;
  const int w = parts[0].toInt(&okW), h = parts[1].toInt(&okH);
  if (!okW || !okH || w < 120 || h < 120 || w > 4096 || h > 4096) return false;
  screen.width = w;
  screen.height = h;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const bool scripted = HasFlag(argc, argv, "--script");
  // The installer step needs no display: it only writes the registry file.
  const bool install = HasFlag(argc, argv, "--install");
  const int zoom = Zoom(argc, argv, scripted);
  if (zoom > 1 && qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR"))
    qputenv("QT_SCALE_FACTOR", QByteArray::number(zoom));

  std::unique_ptr<QCoreApplication> app = install ? std::make_unique<QCoreApplication>(argc, argv)
                                                  : std::make_unique<QApplication>(argc, argv);
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addOption({"folder", "Program folder.", "DIR"});
  parser.addOption({"registry", "Registry file.", "FILE"});
  parser.addOption({"screen", "Emulated screen size.", "WxH", VROK_DEFAULT_SCREEN});
  parser.addOption({"dpi", "Emulated dots per inch.", "N", QString::number(VROK_DEFAULT_DPI)});
  parser.addOption({"zoom", "Zoom of the emulated screen.", "N"});
  parser.addOption({"script", "Run a script (- for standard input).", "FILE"});
  parser.addOption({"page", "Show this page (a page id or name).", "PAGE"});
  parser.addOption({"import", "Import bookmarks and notes from an export file.", "FILE"});
  parser.addOption({"install", "Write InstallDir for the program folder and exit."});
  parser.process(*app);

  using namespace vrok;
  platform::Screen& screen = platform::ScreenMetrics();
  bool dpiOk = false;
  const int dpi = parser.value("dpi").toInt(&dpiOk);
  if (!ParseScreen(parser.value("screen"), screen) || !dpiOk || dpi < 48 || dpi > 960) {
    std::cerr << "vrok: bad --screen or --dpi\n";
    return 1;
  }
  screen.dpiX = screen.dpiY = dpi;
  const QString folder = parser.isSet("folder") ? QDir(parser.value("folder")).absolutePath()
                                                : QCoreApplication::applicationDirPath();
  platform::SetProgramFolder(folder);
  platform::Registry registry(parser.isSet("registry") ? parser.value("registry")
                                                       : platform::Registry::DefaultFile());
  if (install) {
    if (!registry.SetInstallDir(folder)) {
      if (!registry.Problem().isEmpty())
        std::cerr << "vrok: " << registry.Problem().toStdString() << '\n';
      std::cerr << "vrok: cannot write " << registry.File().toStdString() << '\n';
      return 1;
    }
    return 0;
  }
  const QString page = parser.value("page");
  if (parser.isSet("page") && !IsPageText(page)) {
    std::cerr << "vrok: bad --page\n";
    return 1;
  }

  // A script that cannot be read fails the start, before anything is shown.
  std::ifstream scriptFile;
  const QString scriptPath = parser.value("script");
  if (scripted && scriptPath != QLatin1String("-")) {
    struct stat st;
    const std::string path = scriptPath.toStdString();
    if (::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) scriptFile.open(path);
    if (!scriptFile.is_open()) {
      std::cerr << "vrok: cannot read " << path << '\n';
      return 1;
    }
  }

  // One reader per user-data folder: a second start hands over to the one
  // running and ends. A script run never does; it runs on its own.
  if (!scripted && HandOverToRunningReader(folder, page)) return 0;

  if (scripted) {
    platform::SetAutomated(true);
    // Messages shown before the script starts go to standard error too.
    platform::SetMessageObserver([](const platform::MessageRecord& m) {
      const nlohmann::json line{{"message", platform::ToQ(m.text).toStdString()},
                                {"caption", platform::ToQ(m.caption).toStdString()},
                                {"icon", platform::IconName(m.icon)}};
      std::cerr << line.dump() << '\n';
    });
  }

  ReaderApp reader(std::move(registry));
  if (!scripted) reader.HandOverWhenHeld(page);
  if (!reader.InitInstance()) return reader.HandedOver() ? 0 : 1;
  AddPrintMenu(reader);
  if (!page.isEmpty()) reader.ShowPage(page);
  if (parser.isSet("import")) {
    std::string error;
    ImportUserDataFile(*reader.Shell(), parser.value("import").toStdString(), error);
  }

  int status = 0;
  if (scripted) {
    platform::SetMessageObserver(nullptr);
    ScriptRunner runner(reader, std::cout);
    status = runner.Run(scriptPath == QLatin1String("-") ? std::cin : scriptFile, std::cerr);
  } else {
    QApplication::exec();
  }
  reader.ExitInstance();
  return status;
}
