#include "reader_fixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/automation.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "support/test_books.h"

namespace vrok::test {

void EnsureQtApp() {
  if (QApplication::instance() != nullptr) return;
  // Tests never use a display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "shell_tests";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

std::set<std::string> LoadedImagePlugins() {
  std::set<std::string> plugins;
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);)
    if (line.find("/imageformats/") != std::string::npos)
      plugins.insert(line.substr(line.find('/')));
  return plugins;
}

std::vector<std::uint8_t> SolidPng(int w, int h, unsigned rgb) {
  EnsureQtApp();
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(rgb);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return {bytes.begin(), bytes.end()};
}

ReaderFixture::ReaderFixture(const Book& book, std::optional<std::uint32_t> initialTab,
                             bool install)
    : registryFile(dir.File("registry.ini")) {
  EnsureQtApp();
  platform::ScreenMetrics() = platform::Screen{};
  platform::SetProgramFolder(QString::fromStdString(dir.Path()));
  platform::SetAutomated(true);
  platform::ClearAutomationQueues();
  platform::ResetQuit();
  WriteTestBook(book, dir);
  std::string text = "[HKEY_LOCAL_MACHINE]\n";
  if (install) text += "SOFTWARE\\Apps\\KESTOR%20Vrok\\InstallDir=" + dir.Path() + "\n";
  if (initialTab)
    text += "SOFTWARE\\Apps\\KESTOR%20Vrok\\InitialTab=" + std::to_string(*initialTab) + "\n";
  WriteRegistry(text);
}

ReaderFixture::ReaderFixture(const CompiledBook& compiled)
    : registryFile(dir.File("registry.ini")) {
  EnsureQtApp();
  platform::ScreenMetrics() = platform::Screen{};
  platform::SetProgramFolder(QString::fromStdString(dir.Path()));
  platform::SetAutomated(true);
  platform::ClearAutomationQueues();
  platform::ResetQuit();
  for (const char* suffix : {"-Data.pdb", "-Strings.pdb", "-Binary-PPC.pdb"}) {
    const std::string name = std::string("VROK-Vrok") + suffix;
    std::error_code error;
    std::filesystem::copy_file(compiled.folder + "/" + name, dir.File(name), error);
    EXPECT_FALSE(error) << "cannot copy " << name << ": " << error.message();
  }
  WriteRegistry("[HKEY_LOCAL_MACHINE]\nSOFTWARE\\Apps\\KESTOR%20Vrok\\InstallDir=" + dir.Path() +
                "\n");
}

ReaderFixture::~ReaderFixture() {
  if (app && app->Shell() != nullptr) app->ExitInstance();
  app.reset();
  platform::ClearAutomationQueues();
}

void ReaderFixture::WriteRegistry(const std::string& text) {
  std::ofstream(registryFile, std::ios::trunc) << text;
}

bool ReaderFixture::Start() {
  app = std::make_unique<ReaderApp>(platform::Registry(QString::fromStdString(registryFile)));
  if (!app->InitInstance()) return false;
  // What the event loop would do before the first tap: paint the screen.
  QCoreApplication::processEvents();
  return true;
}

std::vector<nlohmann::json> ReaderFixture::Run(const std::string& script, int* status,
                                               std::string* errors) {
  std::ostringstream out, err;
  std::istringstream in(script);
  ScriptRunner runner(*app, out);
  const int result = runner.Run(in, err);
  if (status != nullptr)
    *status = result;
  else
    EXPECT_EQ(result, 0) << err.str();
  if (errors != nullptr) *errors = err.str();
  std::vector<nlohmann::json> reports;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) reports.push_back(nlohmann::json::parse(line));
  return reports;
}

nlohmann::json ReaderFixture::Dump() { return ScreenReport(*app); }

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& script) {
  EnsureQtApp();
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p.setProcessEnvironment(env);
  const QString binary =
      QStringLiteral(VROK_BINARY_DIR "/program/") + QString::fromStdString(program);
  QStringList list;
  for (const std::string& a : args) list << QString::fromStdString(a);
  p.start(binary, list);
  EXPECT_TRUE(p.waitForStarted(10000)) << binary.toStdString();
  p.write(script.data(), static_cast<qint64>(script.size()));
  p.closeWriteChannel();
  EXPECT_TRUE(p.waitForFinished(60000)) << binary.toStdString();
  ProgramRun r;
  r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.errors = p.readAllStandardError().toStdString();
  for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
    if (!line.isEmpty()) r.lines.push_back(nlohmann::json::parse(line.toStdString()));
  return r;
}

nlohmann::json PaneWhere(const nlohmann::json& report, const char* key,
                         const nlohmann::json& value) {
  for (const nlohmann::json& pane : report["panes"]) {
    if (pane[key] == value) return pane;
  }
  return nullptr;
}

nlohmann::json FillPane(const nlohmann::json& report) {
  nlohmann::json found = nullptr;
  int count = 0;
  for (const nlohmann::json& pane : report["panes"])
    if (pane["side"] == 4) {
      found = pane;
      ++count;
    }
  EXPECT_LE(count, 1) << "two views filled the page: " << report.dump();
  return found;
}

void InstalledSample::SetUp() {
  const std::filesystem::path program = VROK_BINARY_DIR "/program";
  for (const char* name : {"VROK-Vrok-Data.pdb", "VROK-Vrok-Strings.pdb",
                           "VROK-Vrok-Binary-PPC.pdb", "ppc_font2.ttf"})
    std::filesystem::copy_file(program / name, std::filesystem::path(dir.Path()) / name);
  ASSERT_EQ(RunProgram("vrok", {"--folder", dir.Path(), "--registry", registry, "--install"}).status,
            0);
}

ProgramRun InstalledSample::Start(const std::vector<std::string>& more,
                                  const std::string& script) const {
  std::vector<std::string> args{"--folder", dir.Path(), "--registry", registry};
  args.insert(args.end(), more.begin(), more.end());
  args.insert(args.end(), {"--script", "-"});
  return RunProgram("vrok", args, script);
}

std::vector<nlohmann::json> InstalledSample::Run(const std::string& script,
                                                 const std::vector<std::string>& more) const {
  const ProgramRun run = Start(more, "dismiss-splash\n" + script);
  EXPECT_EQ(run.status, 0) << run.errors;
  return run.lines;
}

}  // namespace vrok::test
