// One reader per user-data folder: a second start on the folder of a running
// reader hands over to it (the reader comes to the front and shows the page
// the second start was given) and ends at once with status 0. A script run
// never hands over. Both readers are the real program.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/reader_app.h"
#include "platform/core/window_registry.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "support/test_books.h"

namespace vrok {
namespace {

const QString kReader = QStringLiteral(VROK_BINARY_DIR "/program/vrok");

nlohmann::json Dump(QProcess& first);

// A book in a folder of its own, installed in a registry file of its own.
struct Installed {
  test::TempDir dir;
  std::string registry = dir.File("registry.ini");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

  Installed() {
    test::EnsureQtApp();
    test::WriteTestBook(test::ShellTestBook(), dir);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VROK_RUNTIME_DIR", QString::fromStdString(dir.File("run")));
  }

  QStringList Where() const {
    return {"--folder", QString::fromStdString(dir.Path()), "--registry",
            QString::fromStdString(registry)};
  }

  void Install() {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(kReader, Where() + QStringList{"--install"});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  }

  // Starts a reader that runs the script lines written to it later.
  void StartScripted(QProcess& p) {
    p.setProcessEnvironment(env);
    p.start(kReader, Where() + QStringList{"--script", "-"});
    ASSERT_TRUE(p.waitForStarted(10000));
  }

  // Waits until a reader is registered for this folder in `runtime`.
  bool WaitRegistered(const std::string& runtime) {
    const WindowRegistry windows(runtime);
    const std::string name = FolderWindowClass(QString::fromStdString(dir.Path()));
    for (int i = 0; i < 600; ++i) {
      if (windows.Find(name)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  // Runs a second start while the scripted reader `first` keeps serving
  // events (short waits, so that it answers the hand-over); returns the
  // second start's exit code (-1 when it did not end in 30 seconds) and
  // the first reader's report once it has run every wait.
  std::pair<int, nlohmann::json> SecondStart(QProcess& first, const QStringList& extra,
                                             std::string* errors = nullptr) {
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(kReader, Where() + extra);
    if (!second.waitForStarted(10000)) return {-1, {}};
    for (int i = 0; i < 150 && second.state() != QProcess::NotRunning; ++i) {
      first.write("wait 100\n");
      first.waitForBytesWritten(1000);
      second.waitForFinished(200);
    }
    int status = -1;
    if (second.state() != QProcess::NotRunning) {
      second.kill();
      second.waitForFinished(5000);
    } else if (second.exitStatus() == QProcess::NormalExit) {
      status = second.exitCode();
    }
    if (errors) *errors = second.readAllStandardError().toStdString();
    // The page is shown from the event loop, right after the answer.
    first.write("wait 300\n");
    return {status, Dump(first)};
  }
};

// The report of a "dump" sent to the scripted reader `first` now, after
// everything sent before it.
nlohmann::json Dump(QProcess& first) {
  first.write("dump\n");
  for (int i = 0; i < 300 && !first.canReadLine(); ++i) first.waitForReadyRead(100);
  if (!first.canReadLine()) return {};
  return nlohmann::json::parse(first.readLine().toStdString());
}

std::vector<nlohmann::json> Finish(QProcess& p, std::string* errors = nullptr) {
  p.closeWriteChannel();
  EXPECT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0);
  if (errors) *errors = p.readAllStandardError().toStdString();
  std::vector<nlohmann::json> lines;
  for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
    if (!line.isEmpty()) lines.push_back(nlohmann::json::parse(line.toStdString()));
  return lines;
}

TEST(SingleInstance, SecondStartHandsItsPageToTheRunningReaderAndEnds) {
  Installed book;
  book.Install();
  QProcess first;
  book.StartScripted(first);
  ASSERT_TRUE(book.WaitRegistered(book.dir.File("run"))) << "the first reader never registered";
  // Past the splash page, whose timer the waits below would fire.
  first.write("dismiss-splash\n");
  const nlohmann::json home = Dump(first);
  ASSERT_TRUE(home.contains("page"));

  // Without a page: the reader is only brought to the front.
  const auto [plain, unchanged] = book.SecondStart(first, {});
  EXPECT_EQ(plain, 0);
  EXPECT_EQ(unchanged["page"], home["page"]) << "a start without a page changed the page";
  // With a page: the reader shows it.
  const auto [paged, shown] = book.SecondStart(first, {"--page", "index"});
  EXPECT_EQ(paged, 0);
  EXPECT_NE(shown["page"], home["page"]);
  first.write("navigate index\n");
  const nlohmann::json index = Dump(first);
  EXPECT_EQ(shown["page"], index["page"]) << "the handed page is not the index";
  EXPECT_EQ(shown["title"], index["title"]);
  Finish(first);
}

TEST(SingleInstance, ScriptRunNeverHandsOver) {
  Installed book;
  book.Install();
  QProcess first;
  book.StartScripted(first);
  ASSERT_TRUE(book.WaitRegistered(book.dir.File("run")));
  first.write("dump\n");

  // A script run on the same folder runs on its own: its own report.
  const auto own = test::RunProgram("vrok",
                                    {"--folder", book.dir.Path(), "--registry", book.registry,
                                     "--page", "contents", "--script", "-"},
                                    "dump\n");
  EXPECT_EQ(own.status, 0) << own.errors;
  ASSERT_EQ(own.lines.size(), 1u);
  first.write("wait 300\ndump\n");
  const auto dumps = Finish(first);
  ASSERT_EQ(dumps.size(), 2u);
  EXPECT_EQ(dumps[1]["page"], dumps[0]["page"]) << "the script run handed its page over";
  EXPECT_NE(own.lines[0]["page"], dumps[0]["page"]) << "--page was not shown by the script run";
}

// Reader A runs on the folder and saves records; a script run B on the same
// folder cannot take the record files, so its changes are refused with a
// message; A goes on saving. After both, every record A saved is there.
TEST(SingleInstance, ASecondReaderOnTheFolderIsRefusedChangesAndNoRecordIsLost) {
  Installed book;
  book.Install();
  const Book source = test::ShellTestBook();
  const std::string asthma = std::to_string(test::RowOf(source, "asthma"));
  const std::string other = std::to_string(test::RowOf(source, "otheritem"));
  const auto add = [](const std::string& page, const std::string& name) {
    return "navigate " + page + "\ncommand 40025\nset 6969 " + name + "\nclick 17\n" +
           "command 40023\nset 44 " + name + "\nset 44-text " + name + "\nclick 43\n";
  };
  const std::string lists = "command 40026\ndump\ncommand 40024\ndump\n";
  const auto items = [](const nlohmann::json& report) { return report["overlays"][0]["items"]; };

  QProcess first;
  book.StartScripted(first);
  ASSERT_TRUE(book.WaitRegistered(book.dir.File("run")));
  first.write(("dismiss-splash\n" + add(asthma, "A1")).c_str());
  ASSERT_TRUE(Dump(first).contains("page"));

  const auto second = test::RunProgram(
      "vrok", {"--folder", book.dir.Path(), "--registry", book.registry, "--script", "-"},
      "dismiss-splash\n" + add(other, "B1") + lists);
  EXPECT_NE(second.errors.find("Bookmarks are open in another Vrok window"), std::string::npos)
      << second.errors;
  ASSERT_EQ(second.lines.size(), 2u) << second.errors;
  EXPECT_EQ(items(second.lines[0]), nlohmann::json({"A1"}));  // A's records, read only
  EXPECT_EQ(items(second.lines[1]), nlohmann::json({"A1"}));
  std::string told;
  for (const auto& line : second.lines) told += line["messages"].dump();
  EXPECT_NE(told.find("open in another Vrok window"), std::string::npos) << told;

  first.write(add(other, "A2").c_str());
  Finish(first);
  const auto after = test::RunProgram(
      "vrok", {"--folder", book.dir.Path(), "--registry", book.registry, "--script", "-"},
      "dismiss-splash\n" + lists);
  ASSERT_EQ(after.lines.size(), 2u) << after.errors;
  EXPECT_EQ(items(after.lines[0]), nlohmann::json({"A1", "A2"}));
  EXPECT_EQ(items(after.lines[1]), nlohmann::json({"A1", "A2"}));
}

TEST(SingleInstance, ReadersOnOtherFoldersAreLeftAlone) {
  Installed book;
  book.Install();
  QProcess first;
  book.StartScripted(first);
  ASSERT_TRUE(book.WaitRegistered(book.dir.File("run")));

  // The same book in another folder: a start there is a reader of its own.
  Installed other;
  other.env = book.env;
  other.Install();
  QProcess second;
  second.setProcessEnvironment(other.env);
  second.start(kReader, other.Where());
  ASSERT_TRUE(second.waitForStarted(10000));
  EXPECT_TRUE(other.WaitRegistered(book.dir.File("run")));
  EXPECT_EQ(second.state(), QProcess::Running) << "it handed over to a reader of another folder";
  second.kill();
  second.waitForFinished(10000);
  Finish(first);
}

// Without XDG_RUNTIME_DIR, the shared name ${TMPDIR}/vrok-<uid> is squatted
// (open to everyone): both readers say so and use ~/.cache/vrok/run, where
// the second start still finds the first.
TEST(SingleInstance, SquattedSharedFolderFallsBackToThePrivateCache) {
  Installed book;
  book.Install();
  const std::string squat = book.dir.File("vrok-" + std::to_string(geteuid()));
  ASSERT_EQ(mkdir(squat.c_str(), 0777), 0);
  ASSERT_EQ(chmod(squat.c_str(), 0777), 0);
  const std::string home = book.dir.File("home");
  ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
  book.env.remove("VROK_RUNTIME_DIR");
  book.env.remove("XDG_RUNTIME_DIR");
  book.env.remove("XDG_CACHE_HOME");
  book.env.insert("TMPDIR", QString::fromStdString(book.dir.Path()));
  book.env.insert("HOME", QString::fromStdString(home));
  const std::string cache = home + "/.cache/vrok/run";

  QProcess first;
  book.StartScripted(first);
  ASSERT_TRUE(book.WaitRegistered(cache)) << "not registered in the private cache folder";
  struct stat st;
  ASSERT_EQ(stat(cache.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  EXPECT_TRUE(std::filesystem::is_empty(squat)) << "something was put in the squatted folder";

  std::string secondErrors;
  const auto [status, shown] = book.SecondStart(first, {"--page", "index"}, &secondErrors);
  EXPECT_EQ(status, 0);
  std::string firstErrors;
  Finish(first, &firstErrors);
  const std::string note = "is not private to this user; using " + cache;
  EXPECT_NE(firstErrors.find(note), std::string::npos) << firstErrors;
  EXPECT_NE(secondErrors.find(note), std::string::npos) << secondErrors;
  EXPECT_TRUE(shown.contains("page"));
}

// Two starts at once: the early look finds nobody (here: the holder of the
// folder refuses the first request), so the start goes on, finds the folder
// taken when it registers, and then hands over.
TEST(SingleInstance, StartThatLosesTheRaceHandsOverAfterAll) {
  Installed book;
  book.Install();
  std::atomic<int> requests = 0;
  std::string page;
  const std::string folder =
      QFileInfo(QString::fromStdString(book.dir.Path())).canonicalFilePath().toStdString();
  auto holder = WindowRegistry(book.dir.File("run"))
                    .Register(
                        FolderWindowClass(QString::fromStdString(book.dir.Path())), [] {},
                        [&](std::string_view request) {
                          const auto r = nlohmann::json::parse(request, nullptr, false);
                          if (r.value("folder", "") != folder) return false;
                          if (++requests == 1) return false;
                          page = r.value("page", "");
                          return true;
                        });
  ASSERT_NE(holder, nullptr);
  std::atomic<bool> stop = false;
  std::thread serve([&] {
    while (!stop) {
      pollfd p{holder->Fd(), POLLIN, 0};
      if (poll(&p, 1, 50) == 1) holder->HandleReadable();
    }
  });
  QProcess second;
  second.setProcessEnvironment(book.env);
  second.start(kReader, book.Where() + QStringList{"--page", "tools"});
  const bool ended = second.waitForFinished(30000);
  stop = true;
  serve.join();
  ASSERT_TRUE(ended) << "the second start did not hand over";
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
  EXPECT_EQ(requests.load(), 2);
  EXPECT_EQ(page, "tools");
}

TEST(SingleInstance, BadPageIsAStartFailure) {
  Installed book;
  book.Install();
  for (const char* page : {"", "4294967296"}) {
    const auto run = test::RunProgram(
        "vrok",
        {"--folder", book.dir.Path(), "--registry", book.registry, "--page", page, "--script", "-"},
        "dump\n");
    EXPECT_EQ(run.status, 1) << page;
    EXPECT_NE(run.errors.find("vrok: bad --page"), std::string::npos) << run.errors;
    EXPECT_TRUE(run.lines.empty());
  }
}

}  // namespace
}  // namespace vrok
