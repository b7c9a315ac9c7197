// The bookmark and note stores over real test books: placement, adding,
// deleting, reopening, pages that a later edition lacks or moves, and the
// user's data surviving failures of the record files.

#include <gtest/gtest.h>

#include <memory>

#include "content/content_database.h"
#include "core/userdata/bookmark_store.h"
#include "core/userdata/note_store.h"
#include "core/userdata/stored_pages.h"
#include "support/memory_file_system.h"
#include "support/temp_dir.h"
#include "support/test_books.h"

namespace vrok {
namespace {

using test::Num;
using test::Str;
using test::TestBook;
using test::WithId;
using test::WithKey;
using testing::MemoryFileSystem;
using Bytes = std::vector<std::uint8_t>;

// Offsets of the built-in pages from RowCount.
constexpr std::uint32_t kBookmarksPage = 0, kNotesPage = 1, kSplashPage = 5, kAddBookmarkPage = 7;
constexpr std::uint32_t kOldKey = 3;  // also a row number: a gone key must not open that row

// A small book; a later edition may put new rows in front of the old ones
// (so that every row moves) and may drop the page "old".
Book Edition(bool newRows, bool withOld, std::optional<std::uint32_t> extraKey = {}) {
  std::vector<BookNode> tables;
  if (newRows) {
    for (const char* id : {"new1", "new2", "new3"}) {
      tables.push_back(WithId(Str(u"table", u"New"), id));
    }
  }
  tables.push_back(WithId(Str(u"table", u"Alpha", {Str(u"text", u"a")}), "alpha"));
  tables.push_back(WithId(Str(u"table", u"Beta"), "beta"));
  tables.push_back(WithId(Str(u"table", u"Gamma"), "gamma"));
  if (withOld) tables.push_back(WithKey(WithId(Str(u"table", u"Old"), "old"), kOldKey));
  if (extraKey) tables.push_back(WithKey(WithId(Str(u"table", u"Odd"), "odd"), *extraKey));
  Book b;
  b.root = Num(u"root", 0, std::move(tables));
  return b;
}

// Navigation data for a link with an anchor: the name, zero-terminated, as UTF-16.
Bytes Anchor(std::u16string_view name) {
  Bytes out;
  for (const char16_t c : name) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  out.insert(out.end(), {0, 0});
  return out;
}

std::vector<std::u16string> Titles(const auto& store) {
  std::vector<std::u16string> titles;
  for (const auto& e : store.Entries()) titles.push_back(e.title);
  return titles;
}

using Titled = std::pair<std::u16string, std::optional<RowIndex>>;
std::vector<Titled> TitlesAndPages(const auto& store) {
  std::vector<Titled> out;
  for (const auto& e : store.Entries()) out.emplace_back(e.title, e.page);
  return out;
}

int RecordCount(const std::string& folder, const std::string& store) {
  RecordFile file(folder + "/" + store + ".vsi", folder + "/" + store + ".vsd");
  return file.Count();
}

TEST(ContentPageKeys, RowsAndKeysMapExactly) {
  const TestBook book(Edition(false, true));
  const PageKeys keys = ContentPageKeys(*book.db);
  const RowIndex n = book.db->RowCount();
  EXPECT_EQ(keys.keyOfRow(book["old"]), NodeKey{kOldKey});
  EXPECT_EQ(keys.rowOfKey(NodeKey{kOldKey}), book["old"]);
  EXPECT_EQ(keys.keyOfRow(n), NodeKey{0}) << "a built-in page has no content key";
  EXPECT_EQ(keys.rowOfKey(NodeKey{0}), 0u) << "the root has key 0";
  // The database answers a missing key with the key itself; a small missing
  // key is a valid row number and must not be taken for that row.
  for (NodeKey missing : {NodeKey{1}, NodeKey{2}, NodeKey{n - 1}, NodeKey{4242}}) {
    ASSERT_NE(book.db->KeyOfRow(static_cast<RowIndex>(missing)), missing);
    EXPECT_EQ(keys.rowOfKey(missing), std::nullopt) << static_cast<std::uint32_t>(missing);
  }
}

TEST(BookmarkStore, PlacementComparesKeyAndStateExactly) {
  const TestBook book(Edition(false, true));
  const test::TempDir folder;
  BookmarkStore store(folder.Path(), *book.db);
  const RowIndex alpha = book["alpha"], n = book.db->RowCount();

  EXPECT_EQ(store.CanPlace(alpha, Anchor(u"dose")), Placement::kAllowed);
  ASSERT_EQ(store.Add(u"Alpha dose", alpha, Anchor(u"dose")), 0);
  EXPECT_EQ(store.CanPlace(alpha, Anchor(u"dose")), Placement::kExists) << "the same link again";
  EXPECT_EQ(store.Add(u"again", alpha, Anchor(u"dose")), -1);
  EXPECT_EQ(store.CanPlace(alpha, Anchor(u"route")), Placement::kAllowed) << "another anchor";
  EXPECT_EQ(store.CanPlace(alpha, {}), Placement::kAllowed) << "no anchor";
  EXPECT_EQ(store.CanPlace(alpha, Anchor(u"dos")), Placement::kAllowed) << "a shorter state";
  EXPECT_EQ(store.CanPlace(book["beta"], Anchor(u"dose")), Placement::kAllowed) << "another page";

  ASSERT_EQ(store.Add(u"Alpha", alpha, {}), 0);
  EXPECT_EQ(store.CanPlace(alpha, {}), Placement::kExists);
  ASSERT_EQ(store.Add(u"Alpha route", alpha, Anchor(u"route")), 0);
  EXPECT_EQ(Titles(store), (std::vector<std::u16string>{u"Alpha dose", u"Alpha", u"Alpha route"}));
  const Bookmark* first = store.Entry(0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->page, alpha);
  EXPECT_EQ(first->state, Anchor(u"dose"));
  EXPECT_EQ(store.Entry(3), nullptr);
  EXPECT_EQ(store.Entry(-1), nullptr);

  // Pages without a stored key: the root (key 0) and every built-in page.
  for (const RowIndex page :
       {RowIndex{0}, n + kBookmarksPage, n + kNotesPage, n + kSplashPage, n + kAddBookmarkPage}) {
    EXPECT_EQ(store.CanPlace(page, {}), Placement::kNotPlaceable) << page;
    EXPECT_EQ(store.Add(u"no", page, {}), -1) << page;
  }
  EXPECT_EQ(store.Count(), 3);
  EXPECT_EQ(RecordCount(folder.Path(), "bookmarks"), 4);
}

TEST(BookmarkStore, ReservedKeysMakeBuiltInPagesPlaceable) {
  const TestBook book(Edition(false, true));
  const test::TempDir folder;
  const RowIndex splash = book.db->RowCount() + kSplashPage;
  const ReservedKeys reserved{{splash, 777}};
  {
    BookmarkStore store(folder.Path(), *book.db, reserved);
    EXPECT_EQ(store.CanPlace(splash, {}), Placement::kAllowed);
    ASSERT_EQ(store.Add(u"Splash", splash, {}), 0);
    EXPECT_EQ(store.CanPlace(splash, {}), Placement::kExists);
  }
  BookmarkStore again(folder.Path(), *book.db, reserved);
  EXPECT_EQ(TitlesAndPages(again), (std::vector<Titled>{{u"Splash", splash}}));
  BookmarkStore without(folder.Path(), *book.db);
  EXPECT_EQ(TitlesAndPages(without), (std::vector<Titled>{{u"Splash", std::nullopt}}));
}

TEST(BookmarkStore, DeletingTickedEntriesRemovesExactlyThose) {
  const TestBook book(Edition(false, true));
  const test::TempDir folder;
  BookmarkStore store(folder.Path(), *book.db);
  for (const char16_t* name : {u"a", u"b", u"c", u"d", u"e", u"f"}) {
    ASSERT_EQ(store.Add(name, book["alpha"], Anchor(name)), 0);
  }
  EXPECT_EQ(store.Delete(std::vector{4, 1, 2}), 0) << "ticked in any order";
  EXPECT_EQ(Titles(store), (std::vector<std::u16string>{u"a", u"d", u"f"}));

  EXPECT_EQ(store.Delete(std::vector{0, 3}), -1) << "position 3 is past the end";
  EXPECT_EQ(Titles(store), (std::vector<std::u16string>{u"a", u"d", u"f"})) << "nothing deleted";
  EXPECT_EQ(store.Delete(std::vector{2, 2}), 0);
  EXPECT_EQ(Titles(store), (std::vector<std::u16string>{u"a", u"d"}));
  EXPECT_EQ(RecordCount(folder.Path(), "bookmarks"), 3);
}

TEST(NoteStore, OneNotePerPageTheLatestLast) {
  const TestBook book(Edition(false, true));
  const test::TempDir folder;
  NoteStore store(folder.Path(), *book.db);
  const RowIndex alpha = book["alpha"], beta = book["beta"];
  EXPECT_EQ(store.Find(alpha), -1);
  ASSERT_EQ(store.Add(u"First", alpha, u"one"), 0);
  ASSERT_EQ(store.Add(u"Beta", beta, u"b"), 0);
  EXPECT_EQ(store.Find(alpha), 0);
  EXPECT_EQ(store.Find(beta), 1);

  ASSERT_EQ(store.Add(u"Second", alpha, u"two"), 0);
  EXPECT_EQ(TitlesAndPages(store), (std::vector<Titled>{{u"Beta", beta}, {u"Second", alpha}}));
  EXPECT_EQ(store.Find(alpha), 1);
  ASSERT_NE(store.Entry(1), nullptr);
  EXPECT_EQ(store.Entry(1)->text, u"two");
  EXPECT_EQ(RecordCount(folder.Path(), "notes"), 3) << "the first note's record is gone";

  const std::u16string longText(70000, u'\u00E9');
  ASSERT_EQ(store.Add(u"Long", beta, longText), 0);
  ASSERT_NE(store.Entry(1), nullptr);
  EXPECT_EQ(store.Entry(1)->text, longText) << "note text is stored whole";

  EXPECT_EQ(store.Delete(std::vector{0}), 0);
  EXPECT_EQ(TitlesAndPages(store), (std::vector<Titled>{{u"Long", beta}}));
  EXPECT_EQ(store.Find(alpha), -1);
}

TEST(NoteStore, BuiltInPagesHoldNotesThatStayOnTheirPage) {
  const test::TempDir folder;
  RowIndex firstAlpha = 0;
  {
    const TestBook book(Edition(false, true));
    const RowIndex n = book.db->RowCount();
    firstAlpha = book["alpha"];
    NoteStore store(folder.Path(), *book.db);
    EXPECT_FALSE(store.CanPlace(0)) << "the root's key is 0";
    EXPECT_EQ(store.Add(u"Root", 0, u"x"), -1);
    EXPECT_TRUE(store.CanPlace(book["alpha"]));
    for (const RowIndex page : {n + kBookmarksPage, n + kNotesPage, n + kSplashPage}) {
      EXPECT_TRUE(store.CanPlace(page)) << page;
    }
    ASSERT_EQ(store.Add(u"On the bookmark list", n + kBookmarksPage, u"b"), 0);
    ASSERT_EQ(store.Add(u"On the splash page", n + kSplashPage, u"s"), 0);
    ASSERT_EQ(store.Add(u"On alpha", book["alpha"], u"a"), 0);
    EXPECT_EQ(store.Find(n + kSplashPage), 1);
    EXPECT_EQ(store.Find(0), -1) << "nothing lands on the root";
  }
  for (const bool newRows : {false, true}) {
    const TestBook book(Edition(newRows, true));
    const RowIndex n = book.db->RowCount();
    if (newRows) {
      ASSERT_NE(book["alpha"], firstAlpha) << "the later edition moves the rows";
    }
    NoteStore store(folder.Path(), *book.db);
    EXPECT_EQ(TitlesAndPages(store),
              (std::vector<Titled>{{u"On the bookmark list", n + kBookmarksPage},
                                   {u"On the splash page", n + kSplashPage},
                                   {u"On alpha", book["alpha"]}}))
        << (newRows ? "edition with more rows" : "same edition");
  }
}

TEST(NoteStore, BuiltInPageWhoseKeyTheContentHasTakesNoNote) {
  const test::TempDir folder;
  {
    const TestBook book(Edition(false, true));
    NoteStore store(folder.Path(), *book.db);
    ASSERT_EQ(store.Add(u"Notes page", book.db->RowCount() + kNotesPage, u"x"), 0);
  }
  // An edition in which a content row happens to have the notes page's key.
  const TestBook book(Edition(false, true, kBuiltInKeyBase + kNotesPage));
  const RowIndex n = book.db->RowCount();
  NoteStore store(folder.Path(), *book.db);
  EXPECT_FALSE(store.CanPlace(n + kNotesPage));
  EXPECT_EQ(store.Add(u"refused", n + kNotesPage, u"y"), -1);
  EXPECT_TRUE(store.CanPlace(n + kBookmarksPage)) << "the other built-in pages are not affected";
  EXPECT_TRUE(store.CanPlace(book["odd"]));
  EXPECT_EQ(TitlesAndPages(store), (std::vector<Titled>{{u"Notes page", book["odd"]}}))
      << "the key names the content row in this edition";
}

TEST(Stores, ReopeningGivesTheSameLists) {
  const TestBook book(Edition(false, true));
  const test::TempDir folder;
  const RowIndex n = book.db->RowCount();
  std::vector<Bookmark> bookmarks;
  std::vector<Note> notes;
  {
    BookmarkStore marks(folder.Path(), *book.db);
    NoteStore noteStore(folder.Path(), *book.db);
    for (const auto& [id, title] : {std::pair{"alpha", u"A"}, std::pair{"beta", u"B"},
                                    std::pair{"gamma", u"G"}, std::pair{"old", u"O"}}) {
      ASSERT_EQ(marks.Add(title, book[id], Anchor(u"x")), 0);
      ASSERT_EQ(noteStore.Add(title, book[id], u"\u00E9t\u00E9 \U0001F600"), 0);
    }
    ASSERT_EQ(marks.Add(u"Search", book["alpha"], Anchor(u"search text")), 0);
    ASSERT_EQ(marks.Delete(std::vector{1, 3}), 0);
    ASSERT_EQ(noteStore.Add(u"Beta again", book["beta"], u"b2"), 0);
    ASSERT_EQ(noteStore.Add(u"Notes", n + kNotesPage, u"n"), 0);
    ASSERT_EQ(noteStore.Delete(std::vector{0}), 0);
    ASSERT_EQ(Titles(marks), (std::vector<std::u16string>{u"A", u"G", u"Search"}));
    ASSERT_EQ(Titles(noteStore),
              (std::vector<std::u16string>{u"G", u"O", u"Beta again", u"Notes"}));
    bookmarks = marks.Entries();
    notes = noteStore.Entries();
  }
  const BookmarkStore marks(folder.Path(), *book.db);
  const NoteStore noteStore(folder.Path(), *book.db);
  ASSERT_EQ(marks.Count(), 3);
  for (int p = 0; p < marks.Count(); ++p) {
    const auto& e = *marks.Entry(p);
    EXPECT_EQ(e.title, bookmarks[p].title) << p;
    EXPECT_EQ(e.page, bookmarks[p].page) << p;
    EXPECT_EQ(e.state, bookmarks[p].state) << p;
  }
  ASSERT_EQ(noteStore.Count(), 4);
  for (int p = 0; p < noteStore.Count(); ++p) {
    const auto& e = *noteStore.Entry(p);
    EXPECT_EQ(e.title, notes[p].title) << p;
    EXPECT_EQ(e.page, notes[p].page) << p;
    EXPECT_EQ(e.text, notes[p].text) << p;
  }
}

TEST(Stores, EntriesWhosePageIsGoneStayListedAndOnDisk) {
  const test::TempDir folder;
  {
    const TestBook book(Edition(false, true));
    BookmarkStore marks(folder.Path(), *book.db);
    NoteStore notes(folder.Path(), *book.db);
    ASSERT_EQ(marks.Add(u"Old", book["old"], {}), 0);
    ASSERT_EQ(marks.Add(u"Beta", book["beta"], {}), 0);
    ASSERT_EQ(notes.Add(u"Old", book["old"], u"o"), 0);
  }
  {
    // A later edition without the page: its key must not open another page.
    const TestBook book(Edition(true, false));
    BookmarkStore marks(folder.Path(), *book.db);
    NoteStore notes(folder.Path(), *book.db);
    EXPECT_EQ(TitlesAndPages(marks),
              (std::vector<Titled>{{u"Old", std::nullopt}, {u"Beta", book["beta"]}}));
    EXPECT_EQ(TitlesAndPages(notes), (std::vector<Titled>{{u"Old", std::nullopt}}));
    // Working with the other entries leaves it alone.
    ASSERT_EQ(marks.Add(u"Gamma", book["gamma"], {}), 0);
    ASSERT_EQ(marks.Delete(std::vector{1}), 0);
    ASSERT_EQ(notes.Add(u"Gamma", book["gamma"], u"g"), 0);
    EXPECT_EQ(TitlesAndPages(marks),
              (std::vector<Titled>{{u"Old", std::nullopt}, {u"Gamma", book["gamma"]}}));
  }
  EXPECT_EQ(RecordCount(folder.Path(), "bookmarks"), 3);
  EXPECT_EQ(RecordCount(folder.Path(), "notes"), 3);
  // An edition that has the page again finds it.
  const TestBook book(Edition(false, true));
  const BookmarkStore marks(folder.Path(), *book.db);
  const NoteStore notes(folder.Path(), *book.db);
  ASSERT_EQ(marks.Count(), 2);
  EXPECT_EQ(marks.Entry(0)->page, book["old"]);
  EXPECT_EQ(notes.Find(book["old"]), 0);
}

TEST(Stores, StoredKeyZeroNamesNoPage) {
  // Files written elsewhere may hold key 0 (a note made on a built-in page
  // stored with its content key). It must not come back as a note on the root.
  MemoryFileSystem files;
  {
    RecordFile file("/p/notes.vsi", "/p/notes.vsd", files);
    ASSERT_EQ(file.Append(*EncodeNote({NodeKey{0}, u"Zero", u"z"})), 0);
  }
  const TestBook book(Edition(false, true));
  NoteStore notes("/p", *book.db, {}, files);
  EXPECT_EQ(TitlesAndPages(notes), (std::vector<Titled>{{u"Zero", std::nullopt}}));
  EXPECT_EQ(notes.Find(0), -1);
}

TEST(Stores, AnIndexWithoutItsDataFileLeavesTheStoresEmptyAndTheFilesAlone) {
  const TestBook book(Edition(false, true));
  const Bytes index = {0, 0, 0, 0, 2, 0, 0, 0};
  for (const char* present : {"vsi"}) {
    MemoryFileSystem files;
    const Bytes kept = index;
    files.SetFile(std::string("/p/bookmarks.") + present, kept);
    files.SetFile(std::string("/p/notes.") + present, kept);
    {
      BookmarkStore marks("/p", *book.db, {}, files);
      NoteStore notes("/p", *book.db, {}, files);
      EXPECT_TRUE(marks.Failed()) << present;
      EXPECT_TRUE(notes.Failed()) << present;
      EXPECT_EQ(marks.Count(), 0);
      EXPECT_EQ(marks.Add(u"x", book["alpha"], {}), -1);
      EXPECT_EQ(notes.Add(u"x", book["alpha"], u"y"), -1);
      EXPECT_EQ(marks.Delete(std::vector{0}), -1);
      EXPECT_EQ(notes.Count(), 0);
    }
    EXPECT_EQ(files.Names(), (std::vector<std::string>{std::string("/p/bookmarks.") + present,
                                                       std::string("/p/notes.") + present}))
        << present;
    EXPECT_EQ(files.File(std::string("/p/bookmarks.") + present), kept);
    EXPECT_EQ(files.File(std::string("/p/notes.") + present), kept);
  }
}

TEST(Stores, DeletingPastAnUnreadableRecordDeletesTheRightOnes) {
  const TestBook book(Edition(false, true));
  MemoryFileSystem files;
  const auto keys = ContentPageKeys(*book.db);
  {
    RecordFile file("/p/bookmarks.vsi", "/p/bookmarks.vsd", files);
    ASSERT_EQ(AddBookmark(file, keys, book["alpha"], {}, u"A"), 0);
    ASSERT_EQ(file.Append(Bytes{1, 2, 3}), 0);  // too short for a bookmark
    ASSERT_EQ(AddBookmark(file, keys, book["beta"], {}, u"B"), 0);
    ASSERT_EQ(AddBookmark(file, keys, book["gamma"], {}, u"C"), 0);
  }
  BookmarkStore marks("/p", *book.db, {}, files);
  ASSERT_EQ(Titles(marks), (std::vector<std::u16string>{u"A", u"B", u"C"}));
  ASSERT_EQ(marks.Delete(std::vector{1}), 0);
  EXPECT_EQ(Titles(marks), (std::vector<std::u16string>{u"A", u"C"}));
  ASSERT_EQ(marks.Delete(std::vector{0}), 0);
  EXPECT_EQ(Titles(marks), (std::vector<std::u16string>{u"C"}));
  EXPECT_EQ(marks.CanPlace(book["beta"], {}), Placement::kAllowed);
}

// Replacing a note with any file step failing, or the process dying there
// and the power going: the page keeps its old note or gets the new one, the
// other notes stay, and a replacement reported done is complete.
TEST(NoteStore, ReplacingANoteNeverLosesIt) {
  const TestBook book(Edition(false, true));
  const RowIndex alpha = book["alpha"], beta = book["beta"];
  for (const bool die : {false, true}) {
    bool hit = true;
    int step = 1;
    for (; hit; ++step) {
      MemoryFileSystem files;
      int result = 0;
      {
        NoteStore store("/p", *book.db, {}, files);
        ASSERT_EQ(store.Add(u"Old", alpha, u"old"), 0);
        ASSERT_EQ(store.Add(u"Beta", beta, u"b"), 0);
        files.Revive();
        die ? files.DieAtStep(step) : files.FailStep(step);
        result = store.Add(u"New", alpha, u"new");
        hit = files.FaultHit();
        if (!die && result == 0) {
          EXPECT_EQ(TitlesAndPages(store), (std::vector<Titled>{{u"Beta", beta}, {u"New", alpha}}))
              << "failing step " << step;
        }
      }
      if (die) files.LosePower();
      files.Revive();
      const NoteStore reopened("/p", *book.db, {}, files);
      const std::string what = (die ? "dying at step " : "failing step ") + std::to_string(step);
      const int p = reopened.Find(alpha);
      ASSERT_NE(p, -1) << what;
      const Note* note = reopened.Entry(p);
      ASSERT_NE(note, nullptr) << what;
      const std::u16string title = note->title;
      EXPECT_TRUE(title == u"Old" || title == u"New") << what;
      if (result == 0) {
        EXPECT_EQ(TitlesAndPages(reopened), (std::vector<Titled>{{u"Beta", beta}, {u"New", alpha}}))
            << what;
      }
      EXPECT_NE(reopened.Find(beta), -1) << what;
    }
    EXPECT_GT(step, 8) << "the replacement takes several file steps";
  }
}

TEST(BookmarkStore, AFailedAddChangesNothing) {
  const TestBook book(Edition(false, true));
  int step = 1;
  for (;; ++step) {
    MemoryFileSystem files;
    BookmarkStore store("/p", *book.db, {}, files);
    ASSERT_EQ(store.Add(u"A", book["alpha"], {}), 0);
    files.Revive();
    files.FailStep(step);
    const int result = store.Add(u"B", book["beta"], {});
    if (!files.FaultHit()) break;
    EXPECT_EQ(result, -1) << "step " << step;
    EXPECT_EQ(Titles(store), (std::vector<std::u16string>{u"A"})) << "step " << step;
  }
  EXPECT_GT(step, 3) << "an addition takes several file steps";
}

}  // namespace
}  // namespace vrok
