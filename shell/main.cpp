// vrok: the reader. Options:
//   --folder DIR     the program folder (default: the executable's folder)
//   --registry FILE  the registry file (default: $VROK_REGISTRY, else the
//                    user's config folder)
//   --screen WxH, --dpi N, --zoom N   the emulated handheld screen
//   --script FILE    run a script ("-" for standard input) and exit
//   --install        the installer step: write "InstallDir" and exit

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>

#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/registry.h"
#include "shell/automation.h"
#include "shell/reader_app.h"

#ifndef VROK_DEFAULT_SCREEN
#define VROK_DEFAULT_SCREEN "240x320"
#define VROK_DEFAULT_DPI 96
#endif

namespace {

// Reads the options that must be known before QApplication exists.
int ZoomArgument(int argc, char** argv, bool scripted) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--zoom") return std::max(1, std::atoi(argv[i + 1]));
  return scripted ? 1 : 2;
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
  bool scripted = false;
  for (int i = 1; i < argc; ++i) scripted |= std::string(argv[i]) == "--script";
  const int zoom = ZoomArgument(argc, argv, scripted);
  if (zoom > 1 && qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR"))
    qputenv("QT_SCALE_FACTOR", QByteArray::number(zoom));

  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addOption({"folder", "Program folder.", "DIR"});
  parser.addOption({"registry", "Registry file.", "FILE"});
  parser.addOption({"screen", "Emulated screen size.", "WxH", VROK_DEFAULT_SCREEN});
  parser.addOption({"dpi", "Emulated dots per inch.", "N", QString::number(VROK_DEFAULT_DPI)});
  parser.addOption({"zoom", "Zoom of the emulated screen.", "N"});
  parser.addOption({"script", "Run a script (- for standard input).", "FILE"});
  parser.addOption({"install", "Write InstallDir for the program folder and exit."});
  parser.process(app);

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
  if (parser.isSet("install")) {
    if (!registry.SetInstallDir(folder)) {
      std::cerr << "vrok: cannot write " << registry.File().toStdString() << '\n';
      return 1;
    }
    return 0;
  }

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
  if (!reader.InitInstance()) return 1;

  int status = 0;
  if (scripted) {
    platform::SetMessageObserver(nullptr);
    ScriptRunner runner(reader, std::cout);
    const QString path = parser.value("script");
    if (path == QLatin1String("-")) {
      status = runner.Run(std::cin, std::cerr);
    } else {
      std::ifstream in(path.toStdString());
      if (!in) {
        std::cerr << "vrok: cannot read " << path.toStdString() << '\n';
        reader.ExitInstance();
        return 1;
      }
      status = runner.Run(in, std::cerr);
    }
  } else {
    QApplication::exec();
  }
  reader.ExitInstance();
  return status;
}
