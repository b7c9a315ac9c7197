#include "platform/core/window_registry.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <chrono>
#include <fstream>
#include <future>
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
// A process of the user nobody sends request to the window's socket: the
// window refuses it (HandleReadable false) and answers "DENIED".
void SendAsNobodyAndExpectDenied(WindowRegistration& window, const std::string& path,
                                 const std::string& request) {
  const pid_t child = fork();
  if (child == 0) {
    if (setresuid(-1, kNobody, -1) != 0) _exit(10);
    setfsuid(0);
    const int fd = RawConnect(path);
    if (fd < 0) _exit(11);
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char reply[16] = {};
    const ssize_t n = recv(fd, reply, sizeof reply - 1, MSG_WAITALL);
    _exit(n > 0 && std::string(reply) == "DENIED\n" ? 0 : 12);
  }
  ASSERT_GT(child, 0);
  pollfd p{window.Fd(), POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 5000), 1);
  EXPECT_FALSE(window.HandleReadable());
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10: setresuid, 11: connect, 12: reply";
}

TEST(WindowRegistry, AnotherUserCannotClose) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  TempFolder temp;
  int closes = 0;
  auto window = WindowRegistry(temp.Runtime()).Register("Vrok", [&] { ++closes; });
  ASSERT_NE(window, nullptr);
  const std::string path = temp.Runtime() + "/Vrok.sock";

  SendAsNobodyAndExpectDenied(*window, path, "CLOSE\n");
  EXPECT_EQ(closes, 0);
  EXPECT_TRUE(WindowRegistry(temp.Runtime()).Find("Vrok"));
}

// Serves the one request that `client` makes from another thread.
template <typename Client>
auto ServeOne(WindowRegistration& window, Client client) {
  auto answer = std::async(std::launch::async, client);
  pollfd p{window.Fd(), POLLIN, 0};
  if (poll(&p, 1, 5000) == 1) window.HandleReadable();
  return answer.get();
}

TEST(WindowRegistry, ActivateHandsTheArgumentToTheOwner) {
  TempFolder temp;
  std::vector<std::string> seen;
  int closes = 0;
  auto window = WindowRegistry(temp.Runtime())
                    .Register(
                        "Vrok-f", [&] { ++closes; },
                        [&](std::string_view argument) {
                          seen.emplace_back(argument);
                          return argument != "refuse me";
                        });
  ASSERT_NE(window, nullptr);
  const WindowRegistry registry(temp.Runtime());
  const std::string longest(kMaxActivateArgument, 'a');
  EXPECT_TRUE(ServeOne(*window, [&] { return registry.Activate("Vrok-f", "{\"page\":\"7\"}"); }));
  EXPECT_FALSE(ServeOne(*window, [&] { return registry.Activate("Vrok-f", "refuse me"); }));
  EXPECT_TRUE(ServeOne(*window, [&] { return registry.Activate("Vrok-f", ""); }));
  EXPECT_TRUE(ServeOne(*window, [&] { return registry.Activate("Vrok-f", longest); }));
  EXPECT_EQ(seen, (std::vector<std::string>{"{\"page\":\"7\"}", "refuse me", "", longest}));

  // Arguments that cannot be one line of the protocol are never sent.
  EXPECT_FALSE(registry.Activate("Vrok-f", "two\nlines", 500));
  EXPECT_FALSE(registry.Activate("Vrok-f", longest + "a", 500));
  pollfd p{window->Fd(), POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 100), 0);
  EXPECT_EQ(seen.size(), 4u);
  EXPECT_EQ(closes, 0);
  EXPECT_FALSE(registry.Activate("Missing", "x", 500));
}

TEST(WindowRegistry, WindowWithoutActivateHandlerRefuses) {
  TempFolder temp;
  int closes = 0;
  auto window = WindowRegistry(temp.Runtime()).Register("Vrok", [&] { ++closes; });
  ASSERT_NE(window, nullptr);
  const WindowRegistry registry(temp.Runtime());
  EXPECT_FALSE(ServeOne(*window, [&] { return registry.Activate("Vrok", "x"); }));
  EXPECT_EQ(closes, 0);
  // Still registered, and still closes.
  EXPECT_TRUE(ServeOne(*window, [&] { return registry.Destroy("Vrok"); }));
  EXPECT_EQ(closes, 1);
}

// As AnotherUserCannotClose, with a request to come to the front.
TEST(WindowRegistry, AnotherUserCannotActivate) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  TempFolder temp;
  int activations = 0;
  auto window = WindowRegistry(temp.Runtime())
                    .Register(
                        "Vrok-f", [] {}, [&](std::string_view) { return ++activations > 0; });
  ASSERT_NE(window, nullptr);
  const std::string path = temp.Runtime() + "/Vrok-f.sock";

  SendAsNobodyAndExpectDenied(*window, path, "ACTIVATE {}\n");
  EXPECT_EQ(activations, 0);
}

// A socket listened on by another user (here planted in our own private
// folder by a child acting as user nobody) is never spoken to: the request
// does not leave this process.
TEST(WindowRegistry, WindowOfAnotherUserIsNeverAsked) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  TempFolder temp;
  ASSERT_TRUE(EnsurePrivateFolder(temp.Runtime()));
  const std::string path = temp.Runtime() + "/Vrok-f.sock";
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    if (setresuid(-1, kNobody, -1) != 0) _exit(10);
    setfsuid(0);
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 4) != 0)
      _exit(11);
    if (write(ready[1], "y", 1) != 1) _exit(11);
    // Every connection must end without a byte of request.
    for (;;) {
      pollfd p{listener, POLLIN, 0};
      if (poll(&p, 1, 3000) != 1) _exit(0);
      const int client = accept(listener, nullptr, nullptr);
      char byte;
      pollfd q{client, POLLIN, 0};
      if (poll(&q, 1, 2000) == 1 && recv(client, &byte, 1, 0) > 0) _exit(12);
      close(client);
    }
  }
  ASSERT_GT(child, 0);
  close(ready[1]);
  char state = 0;
  ASSERT_EQ(read(ready[0], &state, 1), 1);
  close(ready[0]);
  const WindowRegistry registry(temp.Runtime());
  EXPECT_FALSE(registry.Activate("Vrok-f", "{}", 1000));
  EXPECT_FALSE(registry.Find("Vrok-f"));
  EXPECT_FALSE(registry.Destroy("Vrok-f", 1000));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10: setresuid, 11: listen, 12: a request arrived";
}

// The runtime folder a fresh process chooses with `env` set (null: unset),
// and what it says on standard error.
struct Chosen {
  std::string folder;
  std::string errors;
};
Chosen ChooseIn(const TempFolder& temp,
                const std::vector<std::pair<const char*, const char*>>& env) {
  const std::string out = temp.Path() + "/chosen", err = temp.Path() + "/errors";
  const pid_t child = fork();
  if (child == 0) {
    for (const auto& [name, value] : env) value ? setenv(name, value, 1) : unsetenv(name);
    if (!freopen(err.c_str(), "w", stderr)) _exit(1);
    std::ofstream(out) << DefaultRuntimeFolder();
    std::fflush(stderr);
    _exit(0);
  }
  waitpid(child, nullptr, 0);
  Chosen chosen;
  std::ifstream(out) >> chosen.folder;
  std::ifstream in(err);
  std::getline(in, chosen.errors, '\0');
  return chosen;
}

TEST(RuntimeFolder, SharedFallbackMustBePrivateElseTheUsersCacheIsUsed) {
  TempFolder temp;
  const std::string home = temp.Path() + "/home";
  ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
  const std::string shared = temp.Path() + "/vrok-" + std::to_string(geteuid());
  const std::string cache = home + "/.cache/vrok/run";
  const std::vector<std::pair<const char*, const char*>> env = {{"VROK_RUNTIME_DIR", nullptr},
                                                                {"XDG_RUNTIME_DIR", nullptr},
                                                                {"XDG_CACHE_HOME", nullptr},
                                                                {"TMPDIR", temp.Path().c_str()},
                                                                {"HOME", home.c_str()}};

  // XDG_RUNTIME_DIR comes first.
  auto withXdg = env;
  withXdg[1].second = "/run/user/4242";
  EXPECT_EQ(ChooseIn(temp, withXdg).folder, "/run/user/4242/vrok");

  // Free: the shared name is made private, silently.
  Chosen chosen = ChooseIn(temp, env);
  EXPECT_EQ(chosen.folder, shared);
  EXPECT_EQ(chosen.errors, "");
  EXPECT_EQ(ModeOf(shared) & 07777, 0700u);
  EXPECT_FALSE(std::filesystem::exists(home + "/.cache"));

  // Squatted, open to everyone: the cache folder, made 0700, and a note.
  ASSERT_EQ(chmod(shared.c_str(), 0777), 0);
  chosen = ChooseIn(temp, env);
  EXPECT_EQ(chosen.folder, cache);
  EXPECT_EQ(chosen.errors,
            "vrok: " + shared + " is not private to this user; using " + cache + "\n");
  EXPECT_EQ(ModeOf(cache) & 07777, 0700u);
  EXPECT_EQ(ModeOf(shared) & 07777, 0777u) << "the squatted folder was changed";

  // A file in its place: the same.
  ASSERT_EQ(rmdir(shared.c_str()), 0);
  std::ofstream(shared) << "x";
  EXPECT_EQ(ChooseIn(temp, env).folder, cache);
  ASSERT_EQ(unlink(shared.c_str()), 0);

  // Made first by another user, mode 0700.
  if (geteuid() == 0) {
    ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(chown(shared.c_str(), kNobody, kNobody), 0);
    EXPECT_EQ(ChooseIn(temp, env).folder, cache);
  }
}

}  // namespace
}  // namespace vrok
