// Backups of the record files: made only on a change, pruned to the newest
// ten, and restored all four files at once after a copy of the current ones.

#include "core/userdata/backups.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/userdata/bookmark_store.h"
#include "core/userdata/note_store.h"
#include "core/userdata/user_data_import.h"
#include "support/temp_dir.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using test::Num;
using test::Str;
using test::TempDir;
using test::TestBook;
using test::WithId;
using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> Files(const std::string& folder) {
  std::vector<Bytes> out;
  for (const auto& name : UserDataFiles(folder)) out.push_back(test::ReadAll(name));
  return out;
}

TEST(Backups, MadeOnChangeAndPrunedToTheNewestTen) {
  Book b;
  b.root = Num(u"root", 0, {WithId(Str(u"table", u"Page"), "page")});
  TestBook book(b);
  TempDir folder;
  const std::int64_t t0 = 1'800'000'000;
  // Nothing stored yet: no copy.
  {
    BookmarkStore marks(folder.Path(), *book.db);
    NoteStore notes(folder.Path(), *book.db);
  }
  EXPECT_EQ(MakeBackup(folder.Path(), t0), BackupResult::kUnchanged);
  EXPECT_TRUE(ListBackups(folder.Path()).empty());

  std::vector<std::vector<Bytes>> states;
  for (int i = 0; i < 12; ++i) {
    {
      NoteStore notes(folder.Path(), *book.db);
      ASSERT_EQ(
          notes.Add(u"Note", book["page"], std::u16string(static_cast<std::size_t>(i + 1), u'x')),
          0);
    }
    states.push_back(Files(folder.Path()));
    // Two copies in the same second get distinct names.
    EXPECT_EQ(MakeBackup(folder.Path(), t0 + i / 2), BackupResult::kMade);
    EXPECT_EQ(MakeBackup(folder.Path(), t0 + i / 2), BackupResult::kUnchanged);
  }
  const auto names = ListBackups(folder.Path());
  ASSERT_EQ(names.size(), 10u);
  EXPECT_EQ(names.front(), "2027-01-15_080005-2");
  EXPECT_EQ(names.back(), "2027-01-15_080001");
  // No half-written copy is left behind.
  for (const auto& e : std::filesystem::directory_iterator(BackupsFolder(folder.Path())))
    EXPECT_NE(e.path().filename().string().front(), '.');

  // Restoring the fourth newest: all four files come back; the data it
  // replaced (changed since the newest copy) is the newest copy now.
  {
    NoteStore notes(folder.Path(), *book.db);
    ASSERT_EQ(notes.Add(u"Note", book["page"], u"latest"), 0);
  }
  const auto before = Files(folder.Path());
  ASSERT_TRUE(RestoreBackup(folder.Path(), names[3], t0 + 100));
  EXPECT_EQ(Files(folder.Path()), states[8]);
  const auto after = ListBackups(folder.Path());
  ASSERT_EQ(after.size(), 10u);
  EXPECT_EQ(after.front(), "2027-01-15_080140");
  const std::string newest = BackupsFolder(folder.Path()) + "/" + after.front() + "/";
  EXPECT_EQ(test::ReadAll(newest + "notes.vsd"), before[2]);
  EXPECT_EQ(test::ReadAll(newest + "notes.vsi"), before[3]);
  // Restoring that copy in turn keeps the data it replaces.
  ASSERT_TRUE(RestoreBackup(folder.Path(), after.front(), t0 + 200));
  EXPECT_EQ(Files(folder.Path()), before);
  const auto last = ListBackups(folder.Path());
  EXPECT_EQ(last.front(), "2027-01-15_080320");
  EXPECT_EQ(test::ReadAll(BackupsFolder(folder.Path()) + "/" + last.front() + "/notes.vsd"),
            states[8][2]);
  NoteStore notes(folder.Path(), *book.db);
  ASSERT_EQ(notes.Count(), 1);
  EXPECT_EQ(notes.Entry(0)->text, u"latest");
  EXPECT_FALSE(RestoreBackup(folder.Path(), "../x", t0));
}

}  // namespace
}  // namespace vrok
