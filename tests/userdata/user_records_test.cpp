#include "core/userdata/user_records.h"

#include <gtest/gtest.h>

#include "support/memory_file_system.h"

namespace vrok {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes AsBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

TEST(StoredText, LongTitlesAreCutAt255BytesBetweenCharacters) {
  struct Case {
    const char* what;
    std::u16string title;
    std::size_t bytes;
  };
  const Case cases[] = {
      {"300 ASCII characters", std::u16string(300, u'a'), 255},
      {"two-byte characters", std::u16string(200, u'\u00E9'), 254},
      {"three-byte character across the limit", std::u16string(254, u'a') + u"\u20AC", 254},
      {"surrogate pair across the limit", std::u16string(252, u'a') + u"\U0001F600", 252},
      {"surrogate pair that fits", std::u16string(251, u'a') + u"\U0001F600", 255},
  };
  for (const auto& c : cases) {
    const auto bytes = EncodeBookmark({NodeKey{1}, {}, c.title});
    ASSERT_TRUE(bytes) << c.what;
    const auto back = DecodeBookmark(*bytes);
    ASSERT_TRUE(back) << c.what;
    EXPECT_EQ(bytes->size(), 12 + c.bytes) << c.what;
    EXPECT_EQ(back->title, c.title.substr(0, back->title.size()))
        << c.what << ": a prefix, whole characters";
  }
}

TEST(StoredText, NoteTextIsNotCut) {
  const std::u16string text(1000, u'\u00E9');
  const auto bytes = EncodeNote({NodeKey{5}, u"T", text});
  ASSERT_TRUE(bytes);
  const auto back = DecodeNote(*bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->key, NodeKey{5});
  EXPECT_EQ(back->title, u"T");
  EXPECT_EQ(back->text, text);
}

TEST(StoredText, InvalidUtf8IsReadAsWindows1252) {
  // As the handheld wrote it: "Café – “x” €".
  EXPECT_EQ(DecodeStoredText(AsBytes("Caf\xE9 \x96 \x93x\x94 \x80")),
            u"Caf\u00E9 \u2013 \u201Cx\u201D \u20AC");
  EXPECT_EQ(DecodeStoredText(AsBytes("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80")),
            u"Caf\u00E9 \u20AC \U0001F600");
  EXPECT_EQ(DecodeStoredText(AsBytes("\xC0\xAF")), u"\u00C0\u00AF") << "overlong form";
  EXPECT_EQ(DecodeStoredText(AsBytes("\xED\xA0\x80")), u"\u00ED\u00A0\u20AC")
      << "encoded surrogate";
  EXPECT_EQ(DecodeStoredText(AsBytes("ab\xC3")), u"ab\u00C3") << "cut sequence";
  EXPECT_EQ(DecodeStoredText(AsBytes("\x81\x9D")), u"\u0081\u009D") << "unassigned bytes";
  EXPECT_EQ(EncodeStoredText(u"x\xD800y"), "x\xEF\xBF\xBDy") << "lone surrogate";
}

TEST(RecordLayout, BookmarkBytesAreAsStored) {
  const auto bytes = EncodeBookmark({NodeKey{0x01020304}, {9, 8}, u"Hi"});
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, (Bytes{4, 3, 2, 1, 2, 0, 0, 0, 2, 0, 0, 0, 9, 8, 'H', 'i'}));
  const auto note = EncodeNote({NodeKey{7}, u"T", u"xy"});
  ASSERT_TRUE(note);
  EXPECT_EQ(*note, (Bytes{7, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 'T', 'x', 'y'}));
}

TEST(RecordLayout, LengthsThatDoNotFitTheRecordAreRejected) {
  const Bytes cases[] = {
      {1, 0, 0, 0, 2, 0, 0, 0},                                         // short head
      {1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 9, 9},                       // S too long
      {1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 9, 9},                       // S + T too long
      {1, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 9, 9},           // T wraps around
      {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 9},  // both huge
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(DecodeBookmark(c)) << c.size();
    EXPECT_FALSE(DecodeNote(c)) << c.size();
  }
  EXPECT_TRUE(DecodeNote(Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Stores, LoadSkipsUnreadableRecordsButKeepsRecordNumbers) {
  testing::MemoryFileSystem files;
  RecordFile file("/p/notes.vsi", "/p/notes.vsd", files);
  // Keys are rows + 100; the row of key 150 no longer exists.
  const PageKeys keys{[](RowIndex row) { return NodeKey{row + 100}; },
                      [](NodeKey key) -> std::optional<RowIndex> {
                        if (key == NodeKey{150}) return std::nullopt;
                        return static_cast<RowIndex>(key) - 100;
                      }};
  ASSERT_EQ(AddNote(file, keys, 3, u"first", u"one"), 0);
  ASSERT_EQ(file.Append(Bytes{1, 2, 3}), 0);  // not a note
  ASSERT_EQ(AddNote(file, keys, 50, u"gone", u"two"), 0);
  ASSERT_EQ(AddNote(file, keys, 9, u"third", u"three"), 0);

  const auto notes = LoadNotes(file, keys);
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0].record, 1);
  EXPECT_EQ(notes[0].page, 3u);
  EXPECT_EQ(notes[1].record, 3);
  EXPECT_EQ(notes[1].page, std::nullopt);
  EXPECT_EQ(notes[2].record, 4);
  EXPECT_EQ(notes[2].value.text, u"three");

  // Removing the first and the last entry shown removes those records.
  ASSERT_EQ(RemoveRecords(file, {notes[0].record, notes[2].record}), 0);
  const auto left = LoadNotes(file, keys);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].value.title, u"gone");
  EXPECT_EQ(RemoveRecords(file, {0}), -1) << "the version record stays";
  EXPECT_EQ(file.Count(), 3);
}

TEST(Stores, FilesLieInTheProgramFolder) {
  EXPECT_EQ(BookmarkFiles("/opt/vrok").index, "/opt/vrok/bookmarks.vsi");
  EXPECT_EQ(BookmarkFiles("/opt/vrok/").data, "/opt/vrok/bookmarks.vsd");
  EXPECT_EQ(NoteFiles("/opt/vrok").index, "/opt/vrok/notes.vsi");
  EXPECT_EQ(NoteFiles("/opt/vrok").data, "/opt/vrok/notes.vsd");
}

}  // namespace
}  // namespace vrok
