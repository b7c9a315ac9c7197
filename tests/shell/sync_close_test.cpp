// A synchronisation closes a running reader: the sync plug-in finds the
// reader's window and destroys it, and the reader ends the way Exit ends it,
// its record files compacted and intact.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <thread>

#include "content/content_database.h"
#include "core/userdata/bookmark_store.h"
#include "platform/core/window_registry.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "support/test_books.h"

namespace vrok {
namespace {

TEST(SyncClose, StatusOneClosesTheReaderWhichCompactsItsFiles) {
  test::EnsureQtApp();
  test::TempDir dir;
  const Book book = test::ShellTestBook();
  test::WriteTestBook(book, dir);
  const std::string runtime = dir.File("runtime");
  const std::string registry = dir.File("registry.ini");

  // Two bookmarks, the first deleted again: the data file holds garbage.
  const RowIndex asthma = test::RowOf(book, "asthma");
  {
    const ContentDatabase db(dir.File("VROK-Vrok"));
    BookmarkStore store(dir.Path(), db);
    ASSERT_EQ(store.Add(u"First", asthma, {}), 0);
    const std::vector<std::uint8_t> anchor = {'a', 0, 0, 0};
    ASSERT_EQ(store.Add(u"Kept", asthma, anchor), 0);
    const int first[] = {0};
    ASSERT_EQ(store.Delete(first), 0);
  }
  // The store compacted on closing. A child process adds and deletes one
  // more and dies without closing the store: garbage stays in the data file.
  const auto compactSize = test::ReadAll(dir.File("bookmarks.vsd")).size();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const ContentDatabase db(dir.File("VROK-Vrok"));
    BookmarkStore store(dir.Path(), db);
    const int last[] = {1};
    const bool ok = store.Add(u"Gone", asthma, {}) == 0 && store.Delete(last) == 0;
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_GT(test::ReadAll(dir.File("bookmarks.vsd")).size(), compactSize);

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("VROK_RUNTIME_DIR", QString::fromStdString(runtime));
  const QString reader = QStringLiteral(VROK_BINARY_DIR "/program/vrok");
  const QStringList where{"--folder", QString::fromStdString(dir.Path()), "--registry",
                          QString::fromStdString(registry)};
  QProcess install;
  install.setProcessEnvironment(env);
  install.start(reader, where + QStringList{"--install"});
  ASSERT_TRUE(install.waitForFinished(60000));
  ASSERT_EQ(install.exitCode(), 0);

  QProcess running;
  running.setProcessEnvironment(env);
  running.start(reader, where);
  ASSERT_TRUE(running.waitForStarted(10000));
  ASSERT_TRUE(EnsurePrivateFolder(runtime));
  const WindowRegistry windows(runtime);
  bool found = false;
  for (int i = 0; i < 300 && !found; ++i) {
    found = windows.Find(kReaderWindowClass);
    if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(found) << "the reader never registered its window";

  QProcess sync;
  sync.setProcessEnvironment(env);
  sync.start(QStringLiteral(VROK_SYNC), {QStringLiteral(VROK_PLUGIN), "--status", "1"});
  ASSERT_TRUE(sync.waitForFinished(60000));
  EXPECT_EQ(sync.exitCode(), 0) << sync.readAllStandardError().toStdString();

  ASSERT_TRUE(running.waitForFinished(30000)) << "the reader did not end";
  EXPECT_EQ(running.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(running.exitCode(), 0);
  EXPECT_FALSE(windows.Find(kReaderWindowClass));

  // Compacted at exit, and the bookmark is there byte for byte.
  EXPECT_EQ(test::ReadAll(dir.File("bookmarks.vsd")).size(), compactSize);
  const ContentDatabase db(dir.File("VROK-Vrok"));
  const BookmarkStore store(dir.Path(), db);
  ASSERT_EQ(store.Count(), 1u);
  EXPECT_EQ(store.Entry(0)->title, u"Kept");
  EXPECT_EQ(store.Entry(0)->page, asthma);
  EXPECT_EQ(store.Entry(0)->state, (std::vector<std::uint8_t>{'a', 0, 0, 0}));
}

}  // namespace
}  // namespace vrok
