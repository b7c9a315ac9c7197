#include "platform/window_registry.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "tests/platform/test_helpers.h"

namespace vrok {
namespace {

using test::FakeReader;
using test::TempFolder;

constexpr uid_t kNobody = 65534;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// A client that speaks to a window's socket directly, bypassing the registry.
int RawConnect(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

TEST(PrivateFolder, IsCreatedWithMode0700WhateverTheUmask) {
  TempFolder temp;
  const mode_t old = umask(0277);
  const bool made = EnsurePrivateFolder(temp.Runtime());
  umask(old);
  EXPECT_TRUE(made);
  EXPECT_EQ(ModeOf(temp.Runtime()) & 07777, 0700u);
  EXPECT_TRUE(EnsurePrivateFolder(temp.Runtime())) << "an existing private folder is accepted";
}

TEST(PrivateFolder, AnythingElseIsRefusedAndLeftAlone) {
  TempFolder temp;
  const std::string open = temp.Path() + "/open", file = temp.Path() + "/file",
                    link = temp.Path() + "/link", priv = temp.Path() + "/private";
  ASSERT_EQ(mkdir(open.c_str(), 0700), 0);
  ASSERT_EQ(chmod(open.c_str(), 0755), 0);
  ASSERT_EQ(mkdir(priv.c_str(), 0700), 0);
  ASSERT_EQ(symlink(priv.c_str(), link.c_str()), 0);
  std::ofstream(file) << "x";

  for (const std::string& path : {open, file, link, temp.Path() + "/missing/child"}) {
    EXPECT_FALSE(EnsurePrivateFolder(path)) << path;
    EXPECT_EQ(WindowRegistry(path).Register("Vrok", {}), nullptr) << path;
  }
  EXPECT_EQ(ModeOf(open) & 07777, 0755u) << "the registry never widens or narrows a folder";
  EXPECT_FALSE(std::filesystem::exists(open + "/Vrok.sock"));
}

TEST(PrivateFolder, FolderOfAnotherUserIsRefused) {
  TempFolder temp;
  ASSERT_TRUE(EnsurePrivateFolder(temp.Runtime()));
  if (chown(temp.Runtime().c_str(), kNobody, kNobody) != 0) GTEST_SKIP() << "needs root";
  EXPECT_FALSE(EnsurePrivateFolder(temp.Runtime()));
  EXPECT_EQ(WindowRegistry(temp.Runtime()).Register("Vrok", {}), nullptr);
}

TEST(WindowRegistry, ClassNamesMustBePlainFileNames) {
  for (const char* good : {"Vrok", "a", "x-1_2.y"}) EXPECT_TRUE(IsValidClassName(good)) << good;
  for (const char* bad :
       {"", ".hidden", "..", "a/b", "../Vrok", "Vrok AutoUpdate", "Vr\xc3\xb6k"}) {
    EXPECT_FALSE(IsValidClassName(bad)) << bad;
  }
  EXPECT_TRUE(IsValidClassName(std::string(64, 'v')));
  EXPECT_FALSE(IsValidClassName(std::string(65, 'v')));

  TempFolder temp;
  EXPECT_EQ(WindowRegistry(temp.Runtime()).Register("../escape", {}), nullptr);
  EXPECT_FALSE(std::filesystem::exists(temp.Path() + "/escape.sock"));
}

TEST(WindowRegistry, FindAndDestroyALiveWindowOfAnotherProcess) {
  TempFolder temp;
  const WindowRegistry registry(temp.Runtime());
  FakeReader reader(temp.Runtime());
  ASSERT_TRUE(reader.Registered());
  EXPECT_EQ(ModeOf(temp.Runtime()) & 07777, 0700u);

  EXPECT_TRUE(registry.Find("Vrok"));
  EXPECT_FALSE(registry.Find("Other"));
  EXPECT_FALSE(reader.WaitExit(100)) << "finding a window does not close it";
  EXPECT_EQ(registry.Register("Vrok", {}), nullptr) << "one live window per class";

  EXPECT_TRUE(registry.Destroy("Vrok"));
  EXPECT_EQ(reader.WaitExit(5000), 0);
  EXPECT_FALSE(registry.Find("Vrok"));
  EXPECT_FALSE(std::filesystem::exists(temp.Runtime() + "/Vrok.sock"));
  EXPECT_FALSE(registry.Destroy("Vrok"));
}

TEST(WindowRegistry, SocketOfADeadOwnerIsReplaced) {
  TempFolder temp;
  const WindowRegistry registry(temp.Runtime());
  FakeReader crashed(temp.Runtime());
  ASSERT_TRUE(crashed.Registered());
  crashed.Kill();
  ASSERT_TRUE(std::filesystem::exists(temp.Runtime() + "/Vrok.sock"));

  EXPECT_FALSE(registry.Find("Vrok"));
  EXPECT_FALSE(registry.Destroy("Vrok"));
  FakeReader next(temp.Runtime());
  ASSERT_TRUE(next.Registered());
  EXPECT_TRUE(registry.Destroy("Vrok"));
  EXPECT_EQ(next.WaitExit(5000), 0);
}

TEST(WindowRegistry, SomethingElseUnderTheSocketNameIsNotRemoved) {
  TempFolder temp;
  ASSERT_TRUE(EnsurePrivateFolder(temp.Runtime()));
  const std::string path = temp.Runtime() + "/Vrok.sock";
  std::ofstream(path) << "keep";
  EXPECT_EQ(WindowRegistry(temp.Runtime()).Register("Vrok", {}), nullptr);
  std::ifstream in(path);
  std::string text;
  in >> text;
  EXPECT_EQ(text, "keep");
}

TEST(WindowRegistry, GarbageFromThePeerIsDroppedWithoutClosing) {
  TempFolder temp;
  int closes = 0;
  auto window = WindowRegistry(temp.Runtime()).Register("Vrok", [&] { ++closes; });
  ASSERT_NE(window, nullptr);
  const std::string path = temp.Runtime() + "/Vrok.sock";

  const std::string garbage[] = {"",
                                 "close\n",
                                 "CLOSE",
                                 "CLOSE\nCLOSE\n",
                                 "CLOSE \n",
                                 std::string(4096, 'C'),
                                 std::string("CL\0SE\n", 6)};
  for (const std::string& input : garbage) {
    const int fd = RawConnect(path);
    ASSERT_GE(fd, 0);
    send(fd, input.data(), input.size(), MSG_NOSIGNAL);
    shutdown(fd, SHUT_WR);
    EXPECT_FALSE(window->HandleReadable()) << input.size() << " bytes: " << input.substr(0, 16);
    char reply[8];
    EXPECT_LE(recv(fd, reply, sizeof reply, 0), 0) << "no answer to garbage";
    close(fd);
  }
  EXPECT_EQ(closes, 0);
  EXPECT_FALSE(window->HandleReadable()) << "nothing waiting";
}

TEST(WindowRegistry, SilentPeerDoesNotHoldTheOwnerLong) {
  TempFolder temp;
  auto window = WindowRegistry(temp.Runtime()).Register("Vrok", [] {});
  ASSERT_NE(window, nullptr);
  const int fd = RawConnect(temp.Runtime() + "/Vrok.sock");
  ASSERT_GE(fd, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(window->HandleReadable());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  close(fd);
}

TEST(WindowRegistry, CloseHandlerMayDestroyTheRegistration) {
  TempFolder temp;
  const WindowRegistry registry(temp.Runtime());
  std::unique_ptr<WindowRegistration> window =
      registry.Register("Vrok", [&window] { window.reset(); });
  ASSERT_NE(window, nullptr);
  WindowRegistration* raw = window.get();
  std::thread owner([raw] { EXPECT_TRUE(raw->ServeUntilClosed(5000)); });
  EXPECT_TRUE(registry.Destroy("Vrok"));
  owner.join();
  EXPECT_EQ(window, nullptr);
  EXPECT_FALSE(registry.Find("Vrok"));
}

// A process of another user asks to close the window: the owner answers
// "DENIED" and keeps running. The child keeps root's file access (so that it
// can reach the socket in the private folder) but connects as user nobody.
TEST(WindowRegistry, AnotherUserCannotClose) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  TempFolder temp;
  int closes = 0;
  auto window = WindowRegistry(temp.Runtime()).Register("Vrok", [&] { ++closes; });
  ASSERT_NE(window, nullptr);
  const std::string path = temp.Runtime() + "/Vrok.sock";

  const pid_t child = fork();
  if (child == 0) {
    if (setresuid(-1, kNobody, -1) != 0) _exit(10);
    setfsuid(0);
    const int fd = RawConnect(path);
    if (fd < 0) _exit(11);
    send(fd, "CLOSE\n", 6, MSG_NOSIGNAL);
    char reply[16] = {};
    const ssize_t n = recv(fd, reply, sizeof reply - 1, MSG_WAITALL);
    _exit(n > 0 && std::string(reply) == "DENIED\n" ? 0 : 12);
  }
  ASSERT_GT(child, 0);
  pollfd p{window->Fd(), POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 5000), 1);
  EXPECT_FALSE(window->HandleReadable());
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10: setresuid, 11: connect, 12: reply";
  EXPECT_EQ(closes, 0);
  EXPECT_TRUE(WindowRegistry(temp.Runtime()).Find("Vrok"));
}

}  // namespace
}  // namespace vrok
