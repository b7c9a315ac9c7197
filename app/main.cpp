// vrok: the reader. Options:
//   --folder DIR     the program folder (default: the executable's folder)
//   --registry FILE  the registry file (default: $VROK_REGISTRY, else the
//                    user's config folder)
//   --screen WxH, --dpi N, --zoom N   the emulated handheld screen; in
//                    desktop mode the window's first size, the text size's
//                    base dots per inch and the starting text size (N x 100 %)
//   --desktop, --handheld   the window's mode: desktop unless --handheld, or
//                    handheld for a --script run unless --desktop
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
#include <QScreen>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <nlohmann/json.hpp>

#include "app/automation.h"
#include "app/desktop_window.h"
#include "app/page_print.h"
#include "app/reader_app.h"
#include "app/theme_setting.h"
#include "app/user_data_actions.h"
#include "core/pages/titles.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/registry.h"
#include "platform/qt/window_mode.h"

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

constexpr int kMaxZoom = 8;

// A whole number in [low, high] spelled with digits only; none otherwise.
std::optional<int> WholeNumber(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 6 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  const int v = std::atoi(text.c_str());
  if (v < low || v > high) return std::nullopt;
  return v;
}

// The zoom for the desktop: --zoom, else 1 for scripts, else the smallest
// whole factor that makes the emulated screen at least 640 pixels tall
// (2 for the 240 x 320 screen, 1 for the 480 x 640 one). Desktop mode does
// not scale pixels: 1. Zero for a --zoom that is no whole number from 1 to 8.
int Zoom(int argc, char** argv, bool scripted, bool desktop) {
  const std::string zoom = RawOption(argc, argv, "--zoom");
  if (HasFlag(argc, argv, "--zoom")) return WholeNumber(zoom, 1, kMaxZoom).value_or(0);
  if (scripted || desktop) return 1;
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
  // A person gets the desktop window; a script the handheld screen, whose
  // reports every existing script relies on.
  const bool desktop = scripted ? HasFlag(argc, argv, "--desktop") : !HasFlag(argc, argv, "--handheld");
  const int zoom = Zoom(argc, argv, scripted, desktop);
  if (zoom == 0) {
    std::cerr << "vrok: --zoom needs a whole number from 1 to " << kMaxZoom << '\n';
    return 2;
  }
  if (!desktop && zoom > 1 && qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR"))
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
  parser.addOption({"desktop", "A resizable desktop window (the default without --script)."});
  parser.addOption({"handheld", "The emulated handheld screen (the default with --script)."});
  parser.process(*app);

  using namespace vrok;
  platform::Screen& screen = platform::ScreenMetrics();
  bool dpiOk = false;
  const int dpi = parser.value("dpi").toInt(&dpiOk);
  if (!ParseScreen(parser.value("screen"), screen) || !dpiOk || dpi < 48 || dpi > 960) {
    std::cerr << "vrok: bad --screen or --dpi\n";
    if (!ParseScreen(parser.value("screen"), screen))
      std::cerr << "vrok: --screen needs WIDTHxHEIGHT, each from 120 to 4096 pixels\n";
    else
      std::cerr << "vrok: --dpi needs a whole number from 48 to 960\n";
    return 2;
  }
  screen.dpiX = screen.dpiY = dpi;
  platform::SetDesktopMode(desktop);
  SetReadableTitles(desktop);
  platform::SetBaseDpi(dpi);
  if (desktop && zoom > 1) {
    if (zoom * 100 > platform::kMaxTextSize) {
      std::cerr << "vrok: in desktop mode --zoom sets the text size: 1, 2 or 3\n";
      return 2;
    }
  }
  // A window shown to a person must fit the desktop it opens on; a script
  // runs on whatever screen it is given.
  if (!install && !scripted && (parser.isSet("screen") || parser.isSet("zoom"))) {
    const QScreen* monitor = QGuiApplication::primaryScreen();
    if (monitor != nullptr) {
      // Sizes here are after the zoom's scaling: the emulated screen's own.
      const QSize area = monitor->availableGeometry().size();
      if (screen.width > area.width() || screen.height > area.height()) {
        std::cerr << "vrok: a " << screen.width << "x" << screen.height << " screen";
        if (!desktop && zoom > 1) std::cerr << " at zoom " << zoom;
        std::cerr << " does not fit the desktop's " << area.width() * (desktop ? 1 : zoom) << "x"
                  << area.height() * (desktop ? 1 : zoom) << " pixels\n";
        return 2;
      }
    }
  }
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
  // The theme is set before any window exists, so that everything is built
  // in it.
  platform::SetThemeChoice(RememberedThemeChoice(reader.Registry()));
  if (desktop) {
    // The text size is set before any window exists, so that everything is
    // built at it.
    const int textSize = parser.isSet("zoom") ? zoom * 100 : RememberedTextSize(reader).value_or(100);
    platform::ApplyTextSize(textSize);
  }
  if (!scripted) reader.HandOverWhenHeld(page);
  if (desktop) {
    // An explicit --screen is the window's size; a script otherwise starts
    // at the remembered size, else at the default screen's. The window is
    // placed before it is first shown.
    std::optional<QSize> requested, fallback;
    if (parser.isSet("screen"))
      requested = QSize(screen.width, screen.height);
    else if (scripted)
      fallback = QSize(screen.width, screen.height);
    reader.BeforeShow([&reader, requested, fallback] { PlaceDesktopWindow(reader, requested, fallback); });
  }
  if (!reader.InitInstance()) return reader.HandedOver() ? 0 : 1;
  if (desktop) InstallTextSizeKeys(reader);
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
  if (desktop) RememberDesktopWindow(reader);
  reader.ExitInstance();
  return status;
}
