// The registry file: read and written in the format QSettings uses, lines we
// do not change kept as they are, replaced whole through a temporary file,
// a link's target replaced in place of the link, and files that cannot be
// a registry (a FIFO, a folder, more than 1 MiB) refused without blocking.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSettings>
#include <filesystem>
#include <fstream>

#include "platform/qt/registry.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "support/test_books.h"

namespace vrok {
namespace {

const QString kInstallDir =
    QStringLiteral("HKEY_LOCAL_MACHINE/SOFTWARE/Apps/KESTOR Vrok/InstallDir");

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Spit(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Texts that need QSettings' quoting and escapes.
const QString kAwkward[] = {
    QStringLiteral("/plain/path"),
    QStringLiteral("/with space/and, comma; semicolon=equals"),
    QStringLiteral(" leading and trailing "),
    QStringLiteral("@starts with at"),
    QStringLiteral("quote \" backslash \\ tab \t newline \n end"),
    QStringLiteral("control \x01"
                   "2 then hex digit"),
    QStringLiteral("caf\u00e9 \u4e2d\u6587 \U0001F600"),
    QString(),
};

TEST(RegistryFile, ReadsWhatQSettingsWritesAndWritesWhatItReads) {
  test::EnsureQtApp();
  test::TempDir dir;
  for (const QString& text : kAwkward) {
    const std::string file = dir.File("q.ini");
    std::filesystem::remove(file);
    {
      QSettings s(QString::fromStdString(file), QSettings::IniFormat);
      s.setValue(kInstallDir, text);
    }
    EXPECT_EQ(platform::Registry(QString::fromStdString(file)).InstallDir(), text) << Slurp(file);

    const std::string ours = dir.File("ours.ini");
    std::filesystem::remove(ours);
    platform::Registry registry(QString::fromStdString(ours));
    ASSERT_TRUE(registry.SetInstallDir(text));
    ASSERT_TRUE(registry.SetInitialTab(2));
    QSettings s(QString::fromStdString(ours), QSettings::IniFormat);
    EXPECT_EQ(s.value(kInstallDir).toString(), text) << Slurp(ours);
    EXPECT_EQ(s.value("HKEY_LOCAL_MACHINE/SOFTWARE/Apps/KESTOR Vrok/InitialTab").toInt(), 2);
    EXPECT_EQ(platform::Registry(QString::fromStdString(ours)).InstallDir(), text);
  }
}

TEST(RegistryFile, ChangeKeepsCommentsAndOtherLinesAndTheFileMode) {
  test::TempDir dir;
  const std::string file = dir.File("registry.ini");
  const std::string before =
      "; kept by hand\n"
      "[other]\n"
      "x=1 ; why\n"
      "\n"
      "[HKEY_LOCAL_MACHINE]\n"
      "# the tab\n"
      "SOFTWARE\\Apps\\KESTOR%20Vrok\\InitialTab=0 ; index\n"
      "SOFTWARE\\Apps\\Other\\Value=abc\n"
      "\n"
      "[tail]\n"
      "y=2\n";
  Spit(file, before);
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  platform::Registry registry(QString::fromStdString(file));
  EXPECT_EQ(registry.InitialTab(), 0u);
  ASSERT_TRUE(registry.SetInitialTab(2));
  ASSERT_TRUE(registry.SetInstallDir(QStringLiteral("/a/b")));
  EXPECT_EQ(Slurp(file),
            "; kept by hand\n"
            "[other]\n"
            "x=1 ; why\n"
            "\n"
            "[HKEY_LOCAL_MACHINE]\n"
            "# the tab\n"
            "SOFTWARE\\Apps\\KESTOR%20Vrok\\InitialTab=2 ; index\n"
            "SOFTWARE\\Apps\\Other\\Value=abc\n"
            "SOFTWARE\\Apps\\KESTOR%20Vrok\\InstallDir=/a/b\n"
            "\n"
            "[tail]\n"
            "y=2\n");
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // No temporary file is left beside it.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
  // A change made by another program is seen.
  Spit(file, "[HKEY_LOCAL_MACHINE]\nSOFTWARE\\Apps\\KESTOR%20Vrok\\InitialTab=1\n");
  EXPECT_EQ(registry.InitialTab(), 1u);
}

// A link to a registry file kept elsewhere (a dotfiles folder): the target
// is replaced, with its comments, and the link stays a link.
TEST(RegistryFile, LinkedFileIsWrittenThroughToItsTarget) {
  test::EnsureQtApp();
  test::TempDir dir;
  test::WriteTestBook(test::ShellTestBook(), dir);
  std::filesystem::create_directory(dir.File("dotfiles"));
  const std::string target = dir.File("dotfiles/registry.ini");
  Spit(target, "; mine\n[HKEY_LOCAL_MACHINE]\nSOFTWARE\\Apps\\KESTOR%20Vrok\\InitialTab=2\n");
  const std::string link = dir.File("registry.ini");
  std::filesystem::create_symlink(target, link);

  const auto run =
      test::RunProgram("vrok", {"--folder", dir.Path(), "--registry", link, "--install"});
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(Slurp(target),
            "; mine\n[HKEY_LOCAL_MACHINE]\nSOFTWARE\\Apps\\KESTOR%20Vrok\\InitialTab=2\n"
            "SOFTWARE\\Apps\\KESTOR%20Vrok\\InstallDir=" +
                dir.Path() + "\n");
  // And the reader starts from it.
  const auto started = test::RunProgram(
      "vrok", {"--folder", dir.Path(), "--registry", link, "--script", "-"}, "dump\n");
  EXPECT_EQ(started.status, 0) << started.errors;
  EXPECT_EQ(started.lines.size(), 1u);
}

// Each bad file is "Invalid application registry entries." at start, with
// the reason on standard error, and never blocks.
TEST(RegistryFile, FifoFolderAndHugeFileAreBadRegistries) {
  test::EnsureQtApp();
  test::TempDir dir;
  test::WriteTestBook(test::ShellTestBook(), dir);
  const std::string fifo = dir.File("fifo.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = dir.File("folder.ini");
  std::filesystem::create_directory(folder);
  const std::string huge = dir.File("huge.ini");
  std::string text =
      "[HKEY_LOCAL_MACHINE]\nSOFTWARE\\Apps\\KESTOR%20Vrok\\InstallDir=" + dir.Path() + "\n";
  text += "; " + std::string(platform::Registry::kMaxFile, 'x') + "\n";
  Spit(huge, text);
  const std::string fits = dir.File("fits.ini");
  text.resize(platform::Registry::kMaxFile - 1);
  Spit(fits, text + "\n");

  const std::pair<std::string, const char*> cases[] = {{fifo, "is not a regular file"},
                                                       {folder, "is not a regular file"},
                                                       {huge, "is larger than 1 MiB"}};
  for (const auto& [file, reason] : cases) {
    const auto run = test::RunProgram(
        "vrok", {"--folder", dir.Path(), "--registry", file, "--script", "-"}, "dump\n");
    EXPECT_EQ(run.status, 1) << file;
    EXPECT_NE(run.errors.find("Invalid application registry entries."), std::string::npos)
        << run.errors;
    EXPECT_NE(run.errors.find("vrok: registry file " + file + " " + reason), std::string::npos)
        << run.errors;
    EXPECT_TRUE(run.lines.empty());
    // The installer step refuses it too, and writes nothing in its place.
    const auto install =
        test::RunProgram("vrok", {"--folder", dir.Path(), "--registry", file, "--install"});
    EXPECT_EQ(install.status, 1) << file;
    EXPECT_NE(install.errors.find(reason), std::string::npos) << install.errors;
  }
  struct stat st;
  ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  // Exactly 1 MiB is still read.
  const auto run = test::RunProgram(
      "vrok", {"--folder", dir.Path(), "--registry", fits, "--script", "-"}, "dump\n");
  EXPECT_EQ(run.status, 0) << run.errors;
}

TEST(ScriptStart, FolderOrMissingScriptIsAStartFailure) {
  test::EnsureQtApp();
  test::TempDir dir;
  test::WriteTestBook(test::ShellTestBook(), dir);
  const std::string registry = dir.File("registry.ini");
  Spit(registry,
       "[HKEY_LOCAL_MACHINE]\nSOFTWARE\\Apps\\KESTOR%20Vrok\\InstallDir=" + dir.Path() + "\n");
  for (const std::string& script : {dir.Path(), dir.File("missing.txt")}) {
    const auto run = test::RunProgram(
        "vrok", {"--folder", dir.Path(), "--registry", registry, "--script", script});
    EXPECT_EQ(run.status, 1) << script;
    EXPECT_NE(run.errors.find("vrok: cannot read " + script), std::string::npos) << run.errors;
  }
}

}  // namespace
}  // namespace vrok
