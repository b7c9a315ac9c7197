// The user's bookmarks and notes in folders that went wrong, through
// "vrok --script" as a user meets them: damaged, missing or stray index
// files, links and FIFOs planted under the names the stores use, read-only
// files, a second process holding the files, a disk that fills up. In every
// case each record readable before is still readable after, in the pair or
// in a copy that a message names.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "content/content_database.h"
#include "core/userdata/bookmark_store.h"
#include "core/userdata/note_store.h"
#include "core/userdata/record_file.h"
#include "core/userdata/user_records.h"
#include "shell/reader_fixture.h"
#include "support/test_books.h"

namespace vrok::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Bytes = std::vector<std::uint8_t>;
using Records = std::multiset<Bytes>;

constexpr int kSeeded = 5;
const char* const kPairNames[] = {"bookmarks.vsi", "bookmarks.vsd", "notes.vsi", "notes.vsd"};

// The records of a pair, read from a copy (opening may repair).
Records ReadPair(const std::string& index, const std::string& data) {
  TempDir copy;
  std::error_code error;
  fs::copy_file(index, copy.File("x.vsi"), error);
  fs::copy_file(data, copy.File("x.vsd"), error);
  Records records;
  RecordFile file(copy.File("x.vsi"), copy.File("x.vsd"), RealFileSystem(), StoredRecordLength);
  for (int i = 1; i < file.Count(); ++i)
    if (auto bytes = file.ReadAll(i)) records.insert(std::move(*bytes));
  return records;
}

struct Outcome {
  ProgramRun run;
  std::string said;  // every message text and standard error, together
  json last;         // the last report
};

class UserDataProgram : public ::testing::Test {
 protected:
  UserDataProgram() : fx(ReaderFixture::CompiledBook{VROK_BINARY_DIR "/program"}) {
    Seed(fx.dir.Path());
    for (const char* name : kPairNames) clean[name] = ReadAll(fx.dir.File(name));
    bookmarks = ReadPair(fx.dir.File("bookmarks.vsi"), fx.dir.File("bookmarks.vsd"));
    notes = ReadPair(fx.dir.File("notes.vsi"), fx.dir.File("notes.vsd"));
  }

  // Five bookmarks and five notes on pages of the book.
  void Seed(const std::string& folder) {
    ContentDatabase db(fx.dir.File("VROK-Vrok"));
    BookmarkStore b(folder, db);
    NoteStore n(folder, db);
    for (std::uint32_t i = 0, added = 0; added < kSeeded && i < db.RowCount(); ++i) {
      const RowIndex page = (i * 37) % db.RowCount();
      const std::u16string letter(1, static_cast<char16_t>(u'a' + added));
      if (b.Add(u"Mark " + letter, page, {}) == 0 &&
          n.Add(u"Note " + letter, page, u"Text of note " + letter) == 0) {
        ++added;
      }
    }
    // A page that has neither, for what the scripts add.
    for (std::uint32_t i = 0; i < db.RowCount() && extra == 0; ++i) {
      const RowIndex page = (i * 53 + 11) % db.RowCount();
      if (b.CanPlace(page, {}) == Placement::kAllowed && n.CanPlace(page) && n.Find(page) < 0)
        extra = page;
    }
    ASSERT_NE(extra, 0u);
    ASSERT_EQ(b.Count(), kSeeded);
    ASSERT_EQ(n.Count(), kSeeded);
  }

  void Restore() {
    for (const auto& entry : fs::directory_iterator(fx.dir.Path())) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("bookmarks.", 0) == 0 || name.rfind("notes.", 0) == 0)
        fs::remove(entry.path());
    }
    for (const auto& [name, bytes] : clean) WriteAll(fx.dir.File(name), bytes);
  }

  Outcome Run(const std::string& script, const std::string& folder = {},
              const std::string& registry = {}) {
    Outcome o;
    o.run = RunProgram("vrok",
                       {"--folder", folder.empty() ? fx.dir.Path() : folder, "--registry",
                        registry.empty() ? fx.registryFile : registry, "--script", "-"},
                       script);
    o.said = o.run.errors;
    for (const json& report : o.run.lines) {
      if (!report.contains("messages")) continue;
      for (const json& m : report["messages"]) o.said += "\n" + m["text"].get<std::string>();
      o.last = report;
    }
    return o;
  }

  // The titles a list shows, from a report of the bookmark or note list.
  static std::vector<std::string> Listed(const json& report) {
    for (const json& pane : report["overlays"])
      if (pane.contains("items")) return pane["items"].get<std::vector<std::string>>();
    for (const json& pane : report["panes"])
      if (pane.contains("items") &&
          (pane["kind"] == "BookmarkList" || pane["kind"] == "NotesPanel"))
        return pane["items"].get<std::vector<std::string>>();
    return {};
  }

  // Every record of the pair base in folder, and of each copy set aside
  // whose name the reader said.
  static Records Kept(const std::string& folder, const std::string& base, const std::string& said) {
    Records kept = ReadPair(folder + "/" + base + ".vsi", folder + "/" + base + ".vsd");
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string path = entry.path().string();
      const std::string name = entry.path().filename().string();
      if (name.rfind(base + ".vsd.bad", 0) != 0) continue;
      if (said.find(path) == std::string::npos) continue;  // a copy nobody was told of
      const std::string suffix = name.substr((base + ".vsd").size());
      kept.merge(ReadPair(folder + "/" + base + ".vsi" + suffix, path));
    }
    return kept;
  }

  void ExpectNothingLost(const std::string& what, const std::string& said,
                         const std::string& folder = {}) {
    const std::string where = folder.empty() ? fx.dir.Path() : folder;
    const Records b = Kept(where, "bookmarks", said), n = Kept(where, "notes", said);
    EXPECT_TRUE(std::includes(b.begin(), b.end(), bookmarks.begin(), bookmarks.end()))
        << what << ": a bookmark is lost (" << b.size() << " kept)\n"
        << said;
    EXPECT_TRUE(std::includes(n.begin(), n.end(), notes.begin(), notes.end()))
        << what << ": a note is lost (" << n.size() << " kept)\n"
        << said;
  }

  std::string AddBoth(const std::string& title) const {
    const std::string page = std::to_string(extra);
    return "navigate " + page + "\ncommand 40025\nset 6969 " + title + "\nclick 17\n" +
           "command 40023\nset 44 " + title + "\nset 44-text typed\nclick 43\n";
  }

  static constexpr const char* kLookAtBoth = "command 40026\ndump\ncommand 40024\ndump\n";

  ReaderFixture fx;
  std::map<std::string, Bytes> clean;
  Records bookmarks, notes;
  RowIndex extra = 0;
};

TEST_F(UserDataProgram, DamagedOrMissingIndexIsRebuiltAndTheCopiesNamed) {
  const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> damages = {
      {"missing", [](const std::string& p) { fs::remove(p); }},
      {"empty", [](const std::string& p) { WriteAll(p, {}); }},
      {"torn",
       [](const std::string& p) {
         auto b = ReadAll(p);
         b.resize(b.size() - 3);
         WriteAll(p, b);
       }},
      {"cut to its version entry",
       [](const std::string& p) {
         auto b = ReadAll(p);
         b.resize(12);  // the version entry and half of the first record's
         WriteAll(p, b);
       }},
  };
  for (const char* base : {"bookmarks", "notes"}) {
    for (const auto& [label, damage] : damages) {
      Restore();
      const std::string what = std::string(base) + ".vsi " + label;
      damage(fx.dir.File(std::string(base) + ".vsi"));
      const Outcome o =
          Run(std::string("command 40026\ndump\ncommand 40024\ndump\n") + AddBoth("Later"));
      EXPECT_EQ(o.run.status, 0) << what << o.run.errors;
      ASSERT_EQ(o.run.lines.size(), 2u) << what;
      const json& shown = std::string(base) == "bookmarks" ? o.run.lines[0] : o.run.lines[1];
      EXPECT_EQ(Listed(shown).size(), static_cast<std::size_t>(kSeeded)) << what << shown.dump();
      EXPECT_NE(o.said.find(fx.dir.File(std::string(base) + ".vsi") + " was missing or damaged"),
                std::string::npos)
          << what << ": not told\n"
          << o.said;
      ExpectNothingLost(what, o.said);
      // The new entries went into the repaired pair.
      EXPECT_EQ(
          ReadPair(fx.dir.File(std::string(base) + ".vsi"), fx.dir.File(std::string(base) + ".vsd"))
              .size(),
          static_cast<std::size_t>(kSeeded + 1))
          << what;
    }
  }
}

TEST_F(UserDataProgram, MissingDataFileIsNamedAtOnceAndTheIndexLeftAlone) {
  fs::remove(fx.dir.File("notes.vsd"));
  const Outcome o = Run("dump\n");
  EXPECT_EQ(o.run.status, 0);
  EXPECT_NE(o.said.find(fx.dir.File("notes.vsd") + " is missing."), std::string::npos) << o.said;
  EXPECT_EQ(ReadAll(fx.dir.File("notes.vsi")), clean["notes.vsi"]);
}

TEST_F(UserDataProgram, StrayNewIndexIsSetAsideNotInstalled) {
  // An index of some other pair: its entries do not cover this data file.
  Bytes stray = clean["bookmarks.vsi"];
  stray[8] ^= 0x40;
  WriteAll(fx.dir.File("bookmarks.vsi.new"), stray);
  const Outcome o = Run("command 40026\ndump\n");
  ASSERT_EQ(o.run.lines.size(), 1u);
  EXPECT_EQ(Listed(o.run.lines[0]).size(), static_cast<std::size_t>(kSeeded));
  EXPECT_EQ(ReadAll(fx.dir.File("bookmarks.vsi")), clean["bookmarks.vsi"]);
  EXPECT_EQ(ReadAll(fx.dir.File("bookmarks.vsi.new.bad")), stray);
  EXPECT_NE(o.said.find(fx.dir.File("bookmarks.vsi.new.bad")), std::string::npos) << o.said;
  ExpectNothingLost("stray .new", o.said);
}

TEST_F(UserDataProgram, BadVersionRecordSaysWhereTheCopyIs) {
  Bytes data = clean["notes.vsd"];
  data[0] = 0x02;
  WriteAll(fx.dir.File("notes.vsd"), data);
  ::chmod(fx.dir.File("notes.vsd").c_str(), 0640);
  const Outcome o = Run("dump\n");
  EXPECT_NE(o.said.find(fx.dir.File("notes.vsd.bad")), std::string::npos) << o.said;
  EXPECT_EQ(ReadAll(fx.dir.File("notes.vsd.bad")), data);
  struct stat st {};
  ASSERT_EQ(::stat(fx.dir.File("notes.vsd.bad").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "the copy keeps the file's mode";
}

TEST_F(UserDataProgram, LinksAreNeverFollowed) {
  TempDir outside;
  // A link as a record file: refused with a message, the target untouched.
  for (const char* name : kPairNames) {
    Restore();
    const std::string target = outside.File(std::string("target-") + name);
    WriteAll(target, clean[name]);
    fs::remove(fx.dir.File(name));
    fs::create_symlink(target, fx.dir.File(name));
    const Outcome o = Run(AddBoth("Linked"));
    EXPECT_EQ(ReadAll(target), clean[name]) << name << ": written through the link";
    EXPECT_NE(o.said.find(fx.dir.File(name) + " is a link"), std::string::npos) << name << "\n"
                                                                                << o.said;
    EXPECT_TRUE(fs::is_symlink(fx.dir.File(name))) << name;
  }
  // A dangling link under a temporary or ".new" name: never created through.
  for (const char* name :
       {"notes.vsi.tmp", "bookmarks.vsi.tmp", "notes.vsd.tmp", "bookmarks.vsd.new", "notes.vsd.new",
        "bookmarks.vsi.new", "notes.vsi.new.tmp", "bookmarks.vsd.lock"}) {
    Restore();
    const std::string target = outside.File(std::string("planted-") + name);
    fs::create_symlink(target, fx.dir.File(name));
    // Garbage after the records, so that the exit compacts the pairs.
    const Outcome o = Run(AddBoth("Planted") + "command 40026\ntick-row 0\ncommand 123\n" +
                          "command 40024\ntick-row 0\ncommand 41\n");
    EXPECT_EQ(o.run.status, 0) << name << o.run.errors;
    EXPECT_FALSE(fs::exists(target)) << name << ": a file was created through the link";
    EXPECT_FALSE(fs::is_symlink(fx.dir.File("notes.vsi"))) << name;
    EXPECT_FALSE(fs::is_symlink(fx.dir.File("bookmarks.vsd"))) << name;
    EXPECT_EQ(ReadPair(fx.dir.File("bookmarks.vsi"), fx.dir.File("bookmarks.vsd")).size(),
              static_cast<std::size_t>(kSeeded))
        << name << ": one added, one deleted";
  }
}

TEST_F(UserDataProgram, FifosNeitherBlockNorReplaceTheFiles) {
  // A FIFO as a record file is refused at once; one under a temporary name
  // is never written into, nor renamed over the index.
  for (const char* name : {"notes.vsd", "notes.vsi", "notes.vsi.tmp", "notes.vsd.new"}) {
    Restore();
    fs::remove(fx.dir.File(name));
    ASSERT_EQ(::mkfifo(fx.dir.File(name).c_str(), 0600), 0) << name;
    const Outcome o = Run(AddBoth("Piped") + kLookAtBoth);
    EXPECT_EQ(o.run.status, 0) << name << o.run.errors;
    ASSERT_EQ(o.run.lines.size(), 2u) << name;
    EXPECT_EQ(Listed(o.run.lines[0]).size(), static_cast<std::size_t>(kSeeded + 1)) << name;
    const bool recordName = std::string(name).size() == 9;
    if (recordName) {
      EXPECT_NE(o.said.find(fx.dir.File(name) + " is a link or not a plain file"),
                std::string::npos)
          << o.said;
    } else {
      EXPECT_EQ(Listed(o.run.lines[1]).size(), static_cast<std::size_t>(kSeeded + 1)) << name;
      ExpectNothingLost(name, o.said);
      struct stat st {};
      ASSERT_EQ(::lstat(fx.dir.File("notes.vsi").c_str(), &st), 0);
      EXPECT_TRUE(S_ISREG(st.st_mode)) << name;
    }
  }
}

TEST_F(UserDataProgram, ModesAreKeptAndNewFilesArePrivate) {
  for (const char* name : kPairNames) ::chmod(fx.dir.File(name).c_str(), 0640);
  const Outcome o =
      Run("command 40024\ntick-row 0\ncommand 41\ncommand 40026\ntick-row 0\n"
          "command 123\n");
  EXPECT_EQ(o.run.status, 0) << o.run.errors;
  for (const char* name : kPairNames) {
    struct stat st {};
    ASSERT_EQ(::stat(fx.dir.File(name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << name << " after a delete and the compaction";
  }
  // A new pair in an empty folder is the user's alone.
  for (const char* name : kPairNames) fs::remove(fx.dir.File(name));
  Run("dump\n");
  for (const char* name : kPairNames) {
    struct stat st {};
    ASSERT_EQ(::stat(fx.dir.File(name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
  }
}

TEST_F(UserDataProgram, TypedNoteIsKeptAtCloseAndOfferedAgain) {
  const std::string page = std::to_string(extra);
  // The script ends with the editor open: the reader closes as on Exit.
  Run("navigate " + page + "\ncommand 40023\nset 44 Unsaved\nset 44-text half a thought\n");
  ASSERT_TRUE(fs::exists(fx.dir.File("notes.draft")));
  struct stat st {};
  ASSERT_EQ(::stat(fx.dir.File("notes.draft").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // A start that never opens the notes leaves the draft as it was.
  Run("dump\n");
  ASSERT_TRUE(fs::exists(fx.dir.File("notes.draft")));

  const Outcome o =
      Run("navigate " + page + "\ncommand 40023\ndump\nclick 43\ncommand 40024\ndump\n");
  ASSERT_EQ(o.run.lines.size(), 2u) << o.run.errors;
  EXPECT_NE(o.run.errors.find("A note you had not saved is kept."), std::string::npos) << o.said;
  const json editor = PaneWhere(o.run.lines[0], "kind", "NotesPanel").is_null()
                          ? o.run.lines[0]["overlays"][0]
                          : PaneWhere(o.run.lines[0], "kind", "NotesPanel");
  EXPECT_EQ(editor["title"], "Unsaved") << o.run.lines[0].dump();
  EXPECT_EQ(editor["text"], "half a thought");
  EXPECT_EQ(Listed(o.run.lines[1]).size(), static_cast<std::size_t>(kSeeded + 1));
  EXPECT_FALSE(fs::exists(fx.dir.File("notes.draft"))) << "saved: the draft is gone";

  // Nothing typed: nothing kept.
  Run("navigate " + page + "\ncommand 40023\n");
  EXPECT_FALSE(fs::exists(fx.dir.File("notes.draft")));
}

// A folder of its own on a small file system (root only).
class SmallDisk {
 public:
  SmallDisk(const std::string& options) {
    if (::geteuid() != 0) return;
    if (::mount("tmpfs", dir_.Path().c_str(), "tmpfs", 0, options.c_str()) == 0) mounted_ = true;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(dir_.Path().c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  const TempDir& Dir() const { return dir_; }
  bool Remount(unsigned long flags, const std::string& options) {
    return ::mount("tmpfs", dir_.Path().c_str(), "tmpfs", MS_REMOUNT | flags, options.c_str()) == 0;
  }

 private:
  TempDir dir_;
  bool mounted_ = false;
};

// Links to the book and a registry naming the folder: a program folder.
std::string MakeProgramFolder(const ReaderFixture& fx, const std::string& folder) {
  for (const char* suffix : {"-Data.pdb", "-Strings.pdb", "-Binary-PPC.pdb"}) {
    const std::string name = std::string("VROK-Vrok") + suffix;
    fs::create_symlink(fx.dir.File(name), folder + "/" + name);
  }
  const std::string registry = fx.dir.File("small-registry.ini");
  std::ofstream(registry, std::ios::trunc)
      << "[HKEY_LOCAL_MACHINE]\nSOFTWARE\\Apps\\KESTOR%20Vrok\\InstallDir=" << folder << "\n";
  return registry;
}

TEST_F(UserDataProgram, ReadOnlyFilesAreShownAndChangesRefusedWithTheReason) {
  SmallDisk disk("size=4m");
  const bool root = ::geteuid() == 0;
  if (root && !disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  const std::string folder = disk.Dir().Path();
  const std::string registry = MakeProgramFolder(fx, folder);
  for (const auto& [name, bytes] : clean) WriteAll(folder + "/" + name, bytes);
  // Garbage in the notes, which a writable reader would compact away.
  if (root) {
    ASSERT_TRUE(disk.Remount(MS_RDONLY, "")) << "cannot make the tmpfs read-only";
  } else {
    for (const char* name : kPairNames) ::chmod((folder + "/" + name).c_str(), 0444);
    ::chmod(folder.c_str(), 0555);
  }
  const Outcome o = Run(std::string(kLookAtBoth) + AddBoth("Refused") +
                            "command 40026\ntick-row 0\ncommand 123\ndump\n",
                        folder, registry);
  if (!root) ::chmod(folder.c_str(), 0755);
  ASSERT_EQ(o.run.lines.size(), 3u) << o.run.errors;
  EXPECT_EQ(Listed(o.run.lines[0]).size(), static_cast<std::size_t>(kSeeded));
  EXPECT_EQ(Listed(o.run.lines[1]).size(), static_cast<std::size_t>(kSeeded));
  EXPECT_EQ(Listed(o.run.lines[2]).size(), static_cast<std::size_t>(kSeeded));
  const std::string why = "can be read but not changed";
  EXPECT_NE(o.run.errors.find("Bookmarks " + why), std::string::npos) << "told at start\n"
                                                                      << o.said;
  EXPECT_NE(o.run.errors.find("Notes " + why), std::string::npos) << o.said;
  // Every refused change says why, again.
  std::size_t told = 0;
  for (const json& report : o.run.lines)
    for (const json& m : report["messages"])
      if (m["text"].get<std::string>().find(why) != std::string::npos) ++told;
  EXPECT_GE(told, 5u) << "at start, and for the bookmark, the note and the deletion\n" << o.said;
  for (const auto& [name, bytes] : clean) EXPECT_EQ(ReadAll(folder + "/" + name), bytes) << name;
}

TEST_F(UserDataProgram, APairHeldByAnotherProcessIsReadOnly) {
  // This test process holds both pairs, as a running reader does.
  {
    ContentDatabase db(fx.dir.File("VROK-Vrok"));
    BookmarkStore heldBookmarks(fx.dir.Path(), db);
    NoteStore heldNotes(fx.dir.Path(), db);
    ASSERT_FALSE(heldBookmarks.ReadOnly());
    const Outcome o = Run(std::string(kLookAtBoth) + AddBoth("Second") +
                          "command 40026\ntick-row 0\ncommand 123\ndump\n");
    EXPECT_NE(o.run.errors.find("Bookmarks are open in another Vrok window"), std::string::npos)
        << o.run.errors;
    EXPECT_NE(o.run.errors.find("Notes are open in another Vrok window"), std::string::npos)
        << o.run.errors;
    ASSERT_EQ(o.run.lines.size(), 3u);
    EXPECT_EQ(Listed(o.run.lines[0]).size(), static_cast<std::size_t>(kSeeded));
    EXPECT_EQ(Listed(o.run.lines[2]).size(), static_cast<std::size_t>(kSeeded));
    // The holder goes on adding; nothing the other process did undoes it.
    for (const auto& [name, bytes] : clean)
      EXPECT_EQ(ReadAll(fx.dir.File(name)), bytes) << name << " changed by the second process";
    ASSERT_EQ(heldBookmarks.Add(u"First's", extra, {}), 0);
  }
  ContentDatabase db(fx.dir.File("VROK-Vrok"));
  BookmarkStore after(fx.dir.Path(), db);
  EXPECT_EQ(after.Count(), kSeeded + 1);
  EXPECT_FALSE(after.ReadOnly()) << "the lock goes with the process that held it";
}

TEST_F(UserDataProgram, FullDiskRefusalsAreToldAndLoseNothing) {
  SmallDisk disk("size=64k");
  if (!disk.Mounted()) {
    GTEST_SKIP() << "needs root to mount a 64 KiB tmpfs; skipped";
  }
  const std::string folder = disk.Dir().Path();
  const std::string registry = MakeProgramFolder(fx, folder);
  for (const auto& [name, bytes] : clean) WriteAll(folder + "/" + name, bytes);
  // Fill the file system to the last byte.
  {
    const int fd = ::open((folder + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    const std::vector<char> block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    while (::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
  }
  const std::string bigText(100000, 'y');  // more than the disk holds
  const std::string page = std::to_string(extra);
  const Outcome o = Run("navigate " + page + "\ncommand 40023\nset 44 Big\nset 44-text " + bigText +
                            "\nclick 43\nclick 40\n" +
                            "command 40026\ntick-row 0\ntick-row 1\ncommand 123\ndump\n" +
                            "command 40024\ntick-row 0\ncommand 41\ndump\n",
                        folder, registry);
  EXPECT_EQ(o.run.status, 0) << o.run.errors;
  EXPECT_NE(o.said.find("This note could not be saved."), std::string::npos) << o.said;
  EXPECT_NE(o.said.find("These bookmarks could not be deleted."), std::string::npos) << o.said;
  EXPECT_NE(o.said.find("This note could not be deleted."), std::string::npos) << o.said;
  ASSERT_EQ(o.run.lines.size(), 2u);
  EXPECT_EQ(Listed(o.run.lines[0]).size(), static_cast<std::size_t>(kSeeded));
  EXPECT_EQ(Listed(o.run.lines[1]).size(), static_cast<std::size_t>(kSeeded));
  ExpectNothingLost("full disk", o.said, folder);
  // With room again, the same pair works.
  fs::remove(folder + "/filler");
  const Outcome again = Run("command 40026\ntick-row 0\ncommand 123\ndump\n", folder, registry);
  ASSERT_EQ(again.run.lines.size(), 1u);
  EXPECT_EQ(Listed(again.run.lines[0]).size(), static_cast<std::size_t>(kSeeded - 1));
}

}  // namespace
}  // namespace vrok::test
