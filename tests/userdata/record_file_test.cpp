#include "core/userdata/record_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "core/userdata/user_records.h"
#include "support/memory_file_system.h"

namespace vrok {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "vrok-records-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : "";
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::optional<Bytes> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Bytes Entry(std::uint32_t offset, std::uint32_t length) {
  Bytes b;
  for (const auto v : {offset, length}) {
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
  }
  return b;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<std::optional<Bytes>> Records(RecordFile& file) {
  std::vector<std::optional<Bytes>> records;
  for (int i = 0; i < file.Count(); ++i) records.push_back(file.ReadAll(i));
  return records;
}

const Bytes kVersion = {0x01, 0x00};

class RecordFileOnDisk : public ::testing::Test {
 protected:
  TempFolder folder;
  std::string index = folder / "bookmarks.vsi";
  std::string data = folder / "bookmarks.vsd";
};

TEST_F(RecordFileOnDisk, FreshInstallationWritesVersionRecordOnly) {
  {
    RecordFile file(index, data);
    ASSERT_FALSE(file.Failed());
    EXPECT_EQ(file.Count(), 1);
    EXPECT_EQ(file.ReadAll(0), kVersion);
  }
  EXPECT_EQ(ReadFile(data), kVersion);
  EXPECT_EQ(ReadFile(index), Entry(0, 2));
  // Besides the pair, only the (empty) file the pair is locked by.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 3)
      << "no temporary file is left behind";
  EXPECT_EQ(ReadFile(data + ".lock"), Bytes{});
}

TEST_F(RecordFileOnDisk, BookmarkAppendGrowsDataByTwentyBytesAtOffsetTwo) {
  RecordFile file(index, data);
  const PageKeys keys{
      [](RowIndex row) { return NodeKey{row + 1000}; },
      [](NodeKey key) { return std::optional<RowIndex>(static_cast<RowIndex>(key) - 1000); }};
  const Bytes state = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(AddBookmark(file, keys, 7, state, u"Hi"), 0);
  EXPECT_EQ(ReadFile(data)->size(), 22u);
  EXPECT_EQ(ReadFile(index), Concat({Entry(0, 2), Entry(2, 20)}));
  const auto loaded = LoadBookmarks(file, keys);
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded[0].record, 1);
  EXPECT_EQ(loaded[0].page, 7u);
  EXPECT_EQ(loaded[0].value.state, state);
  EXPECT_EQ(loaded[0].value.title, u"Hi");
}

TEST_F(RecordFileOnDisk, RemovedPayloadStaysUntilCompactionAtClose) {
  const Bytes a(5, 0xAA), b(7, 0xBB), c(3, 0xCC);
  {
    RecordFile file(index, data);
    for (const auto& r : {a, b, c}) ASSERT_EQ(file.Append(r), 0);
    ASSERT_EQ(file.Remove(1), 0);
    EXPECT_EQ(file.Count(), 3);
    EXPECT_EQ(file.ReadAll(1), b);
    EXPECT_EQ(ReadFile(data), Concat({kVersion, a, b, c})) << "payload stays until compaction";
  }
  EXPECT_EQ(ReadFile(data), Concat({kVersion, b, c}));
  EXPECT_EQ(ReadFile(index), Concat({Entry(0, 2), Entry(2, 7), Entry(9, 3)}));
  EXPECT_FALSE(fs::exists(data + ".new"));
  RecordFile again(index, data);
  EXPECT_EQ(Records(again), (std::vector<std::optional<Bytes>>{kVersion, b, c}));
}

TEST_F(RecordFileOnDisk, WrongVersionIsKeptAsideBeforeStartingEmpty) {
  const Bytes oldData = {0x02, 0x00, 9, 9, 9};
  const Bytes oldIndex = Concat({Entry(0, 2), Entry(2, 3)});
  WriteFile(data, oldData);
  WriteFile(index, oldIndex);
  {
    RecordFile file(index, data);
    ASSERT_FALSE(file.Failed());
    EXPECT_EQ(file.Count(), 1);
  }
  EXPECT_EQ(ReadFile(data), kVersion);
  EXPECT_EQ(ReadFile(index), Entry(0, 2));
  EXPECT_EQ(ReadFile(data + ".bad"), oldData);
  EXPECT_EQ(ReadFile(index + ".bad"), oldIndex);

  // A second bad pair does not overwrite the first one kept aside.
  WriteFile(data, {0x00});
  { RecordFile file(index, data); }
  EXPECT_EQ(ReadFile(data + ".bad"), oldData);
  EXPECT_EQ(ReadFile(data + ".bad1"), Bytes{0x00});
}

TEST_F(RecordFileOnDisk, MissingDataFileFailsAndMissingIndexIsRebuilt) {
  const Bytes indexBytes = Concat({Entry(0, 2), Entry(2, 4)});
  WriteFile(index, indexBytes);
  {
    RecordFile file(index, data);
    EXPECT_TRUE(file.Failed());
    EXPECT_EQ(file.Count(), -1);
    EXPECT_EQ(file.Append(Bytes{1}), -1);
    EXPECT_EQ(file.Remove(0), -1);
    EXPECT_EQ(file.Length(0), -1);
    EXPECT_EQ(file.Compact(), -1);
  }
  EXPECT_EQ(ReadFile(index), indexBytes);
  EXPECT_FALSE(fs::exists(data));

  // A data file with records but no index: the records are found again by
  // the store's scanner, and the file as found is kept aside first.
  fs::remove(index);
  const Bytes record = {7, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 'a', 'b'};
  const Bytes dataBytes = Concat({kVersion, record, {0xEE}});
  WriteFile(data, dataBytes);
  {
    RecordFile file(index, data, RealFileSystem(), StoredRecordLength);
    ASSERT_FALSE(file.Failed());
    EXPECT_EQ(Records(file), (std::vector<std::optional<Bytes>>{kVersion, record}));
    ASSERT_EQ(file.Notices().size(), 1u);
    EXPECT_EQ(file.Notices()[0].what, RecordFile::Notice::What::kIndexRebuilt);
    EXPECT_EQ(file.Notices()[0].aside, data + ".bad");
    EXPECT_EQ(ReadFile(index), Concat({Entry(0, 2), Entry(2, 14)})) << "saved at once";
  }
  EXPECT_EQ(ReadFile(data + ".bad"), dataBytes);
  EXPECT_FALSE(fs::exists(index + ".bad"));
  // Opened again, nothing is damaged any more.
  RecordFile again(index, data, RealFileSystem(), StoredRecordLength);
  EXPECT_TRUE(again.Notices().empty());
  EXPECT_EQ(Records(again), (std::vector<std::optional<Bytes>>{kVersion, record}));
}

TEST_F(RecordFileOnDisk, DataFileWithOnlyTheVersionRecordGetsItsIndex) {
  // What a crash between writing the two files of a new pair leaves.
  WriteFile(data, kVersion);
  RecordFile file(index, data);
  ASSERT_FALSE(file.Failed());
  EXPECT_EQ(ReadFile(index), Entry(0, 2));
}

// The remaining behaviour does not depend on the disk; the in-memory file
// system keeps these tests fast.
class RecordFileInMemory : public ::testing::Test {
 protected:
  testing::MemoryFileSystem files;
  const std::string index = "/p/notes.vsi";
  const std::string data = "/p/notes.vsd";
};

TEST_F(RecordFileInMemory, InsertReplaceSwapAndRemoveRangeKeepOrder) {
  const Bytes a{1}, b{2, 2}, c{3, 3, 3}, d{4}, x{9, 9};
  RecordFile file(index, data, files);
  for (const auto& r : {a, b, c}) ASSERT_EQ(file.Append(r), 0);
  ASSERT_EQ(file.Insert(1, d), 0);   // v d a b c
  ASSERT_EQ(file.Replace(3, x), 0);  // v d a x c
  ASSERT_EQ(file.Swap(1, 4), 0);     // v c a x d
  using R = std::vector<std::optional<Bytes>>;
  EXPECT_EQ(Records(file), (R{kVersion, c, a, x, d}));
  ASSERT_EQ(file.RemoveRange(2, 3), 0);
  EXPECT_EQ(Records(file), (R{kVersion, c, d}));

  for (const int bad : {-1, 3, 100}) {
    EXPECT_EQ(file.Insert(bad, a), -1) << bad;
    EXPECT_EQ(file.Replace(bad, a), -1) << bad;
    EXPECT_EQ(file.Swap(0, bad), -1) << bad;
    EXPECT_EQ(file.Remove(bad), -1) << bad;
    EXPECT_EQ(file.Length(bad), -1) << bad;
  }
  EXPECT_EQ(file.RemoveRange(2, 1), -1);
  EXPECT_EQ(file.RemoveRange(1, 3), -1);
  EXPECT_EQ(Records(file), (R{kVersion, c, d})) << "failed calls change nothing";
}

TEST_F(RecordFileInMemory, ReadHonoursRangeAndBufferSize) {
  RecordFile file(index, data, files);
  ASSERT_EQ(file.Append(Bytes{10, 11, 12, 13, 14}), 0);
  Bytes buffer(5, 0);
  EXPECT_EQ(file.Read(1, buffer, 1, 4), 3);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 3), (Bytes{11, 12, 13}));
  EXPECT_EQ(file.Read(1, buffer, 2), 3) << "to = 0 reads to the end";
  EXPECT_EQ(file.Read(1, buffer, 0, 6), -1) << "beyond the record";
  EXPECT_EQ(file.Read(1, buffer, 4, 3), -1) << "from after to";
  EXPECT_EQ(file.Read(1, std::span(buffer).first(4)), -1) << "buffer too small";
  EXPECT_EQ(file.Read(1, buffer, 5, 5), 0);
}

TEST_F(RecordFileInMemory, EntriesOutsideTheDataFileFailAloneAndAreDroppedByCompaction) {
  const Bytes good1{5, 5, 5}, good2{6, 6};
  files.SetFile(data, Concat({kVersion, good1, good2}));
  files.SetFile(index, Concat({Entry(0, 2),
                               Entry(2, 3),
                               Entry(5, 0xFFFFFFFF),
                               Entry(0xFFFFFFF0, 0x20),
                               Entry(7, 1),
                               Entry(5, 2),
                               {0xAB, 0xCD}}));
  {
    RecordFile file(index, data, files);
    ASSERT_EQ(file.Count(), 6) << "a torn last entry is not a record";
    EXPECT_EQ(file.ReadAll(1), good1);
    EXPECT_EQ(file.Length(2), -1);
    EXPECT_EQ(file.Length(3), -1);
    EXPECT_EQ(file.Length(4), -1) << "one byte past the end";
    Bytes buffer(64);
    EXPECT_EQ(file.Read(3, buffer), -1);
    EXPECT_EQ(file.ReadAll(5), good2);
  }
  RecordFile file(index, data, files);
  EXPECT_EQ(Records(file), (std::vector<std::optional<Bytes>>{kVersion, good1, good2}));
  EXPECT_EQ(files.File(data), Concat({kVersion, good1, good2}));
}

TEST_F(RecordFileInMemory, BadEntryStaysBadWhenAppendsGrowTheFileUnderIt) {
  files.SetFile(data, kVersion);
  files.SetFile(index, Concat({Entry(0, 2), Entry(2, 3)}));
  RecordFile file(index, data, files);
  ASSERT_EQ(file.Append(Bytes{7, 8, 9}), 0);
  EXPECT_EQ(file.Length(1), -1);
  EXPECT_EQ(file.ReadAll(2), (Bytes{7, 8, 9}));
}

TEST_F(RecordFileInMemory, CompactedFileAlwaysStartsWithTheVersionRecord) {
  const Bytes a{0xA1, 0xA2}, b{0xB1};
  // Entry 0 points outside the file; the version entry is restored.
  files.SetFile(data, Concat({kVersion, a, b}));
  files.SetFile(index, Concat({Entry(0x25, 2), Entry(2, 2), Entry(4, 1)}));
  {
    RecordFile file(index, data, files);
    EXPECT_EQ(file.ReadAll(0), kVersion);
    ASSERT_EQ(file.Swap(0, 2), 0);  // the version record is no longer first
  }
  EXPECT_EQ(files.File(data), Concat({kVersion, b, a}));
  RecordFile file(index, data, files);
  EXPECT_EQ(Records(file), (std::vector<std::optional<Bytes>>{b, a, kVersion}))
      << "not taken for a pair of another version";
}

TEST_F(RecordFileInMemory, EmptyIndexGetsItsVersionEntryBack) {
  files.SetFile(data, Concat({kVersion, {1, 2, 3}}));
  files.SetFile(index, {});
  RecordFile file(index, data, files);
  ASSERT_EQ(file.Count(), 1);
  ASSERT_EQ(file.Append(Bytes{4}), 0);
  EXPECT_EQ(file.ReadAll(1), Bytes{4}) << "the user's first record is record 1";
}

TEST_F(RecordFileInMemory, CompactionWithoutGarbageWritesNothing) {
  { RecordFile file(index, data, files); }
  files.Revive();
  {
    RecordFile file(index, data, files);
    EXPECT_EQ(file.Compact(), 0);
  }
  EXPECT_EQ(files.Steps(), 0);
}

TEST_F(RecordFileInMemory, LeftoverCompactedDataWithoutItsDataFileIsLeftAlone) {
  // What an interrupted compaction of an older program could leave: the new
  // data file written, the old one already deleted.
  const Bytes newData = Concat({kVersion, {1}});
  files.SetFile(data + ".new", newData);
  files.SetFile(index, Entry(0, 2));
  { EXPECT_TRUE(RecordFile(index, data, files).Failed()); }
  EXPECT_EQ(files.File(data + ".new"), newData);
  EXPECT_FALSE(files.File(data));
}

}  // namespace
}  // namespace vrok

namespace vrok {
namespace {

// Two bookmark records in the stores' layout.
const Bytes kMarkA = {1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 'H', 'i'};
const Bytes kMarkB = {2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0x7F, 'B'};

TEST_F(RecordFileInMemory, DamagedIndexIsRebuiltFromTheRecordsAfterACopy) {
  const Bytes dataBytes = Concat({kVersion, kMarkA, kMarkB});
  const Bytes good = Concat({Entry(0, 2), Entry(2, 14), Entry(16, 14)});
  for (const Bytes& damaged : {Bytes{}, Bytes(good.begin(), good.end() - 3),
                               Concat({Entry(0, 2), Entry(2, 14), Entry(99, 14)})}) {
    files.SetFile(data, dataBytes);
    files.SetFile(index, damaged);
    for (const auto& name : files.Names())
      if (name.find(".bad") != std::string::npos) files.RemoveFile(name);
    {
      RecordFile file(index, data, files, StoredRecordLength);
      EXPECT_FALSE(file.ReadOnly());
      EXPECT_EQ(Records(file), (std::vector<std::optional<Bytes>>{kVersion, kMarkA, kMarkB}));
      ASSERT_EQ(file.Notices().size(), 1u);
      EXPECT_EQ(file.Notices()[0].aside, data + ".bad");
    }
    EXPECT_EQ(files.File(data + ".bad"), dataBytes) << "the data file as found";
    EXPECT_EQ(files.File(index + ".bad"), damaged) << "the index as found";
    EXPECT_EQ(files.File(index), good);
  }
}

TEST_F(RecordFileInMemory, NoRepairWithoutACopy) {
  const Bytes dataBytes = Concat({kVersion, kMarkA});
  files.SetFile(data, dataBytes);
  files.SetFile(index, {});
  files.FailStep(1);  // creating the copy
  {
    RecordFile file(index, data, files, StoredRecordLength);
    EXPECT_EQ(file.WhyReadOnly(), RecordFile::ReadOnlyReason::kNoCopy);
    EXPECT_EQ(file.ReadAll(1), kMarkA) << "still shown";
    EXPECT_EQ(file.Append(kMarkB), -1);
  }
  EXPECT_EQ(files.File(data), dataBytes);
  EXPECT_EQ(files.File(index), Bytes{});
}

TEST_F(RecordFileInMemory, OnlyTheIndexOfTheCompactedDataFileIsInstalled) {
  const Bytes dataBytes = Concat({kVersion, kMarkA, kMarkB});
  const Bytes old = Concat({Entry(0, 2), Entry(2, 14), Entry(16, 14)});
  // Strangers: entries not covering the file, a gap, a torn entry.
  for (const Bytes& stray :
       {Concat({Entry(0, 2), Entry(2, 14)}), Concat({Entry(0, 2), Entry(4, 26)}),
        Concat({Entry(0, 2), Entry(2, 28), {1, 2, 3}})}) {
    files.SetFile(data, dataBytes);
    files.SetFile(index, old);
    files.SetFile(index + ".new", stray);
    files.RemoveFile(index + ".new.bad");
    {
      RecordFile file(index, data, files, StoredRecordLength);
      EXPECT_EQ(Records(file), (std::vector<std::optional<Bytes>>{kVersion, kMarkA, kMarkB}));
      ASSERT_EQ(file.Notices().size(), 1u);
      EXPECT_EQ(file.Notices()[0].what, RecordFile::Notice::What::kStrayNewIndex);
    }
    EXPECT_EQ(files.File(index + ".new.bad"), stray);
    EXPECT_FALSE(files.File(index + ".new"));
  }
  // Its own index, as a compaction cut short after its commit leaves it.
  files.SetFile(data, dataBytes);
  files.SetFile(index, Concat({Entry(0, 2), Entry(40, 14)}));
  files.SetFile(index + ".new", Concat({Entry(0, 2), Entry(2, 28)}));
  RecordFile file(index, data, files, StoredRecordLength);
  EXPECT_TRUE(file.Notices().empty());
  EXPECT_EQ(file.Length(1), 28) << "installed";
}

TEST_F(RecordFileOnDisk, LinksAreRefusedAndModesKept) {
  TempFolder elsewhere;
  WriteFile(elsewhere / "target", Concat({kVersion, kMarkA}));
  WriteFile(index, Concat({Entry(0, 2), Entry(2, 14)}));
  fs::create_symlink(elsewhere / "target", data);
  {
    RecordFile file(index, data);
    EXPECT_TRUE(file.Failed());
    ASSERT_EQ(file.Notices().size(), 1u);
    EXPECT_EQ(file.Notices()[0].what, RecordFile::Notice::What::kNotAFile);
    EXPECT_EQ(file.Notices()[0].path, data);
  }
  EXPECT_EQ(ReadFile(elsewhere / "target"), Concat({kVersion, kMarkA}));

  fs::remove(data);
  WriteFile(data, Concat({kVersion, kMarkA}));
  ::chmod(data.c_str(), 0640);
  ::chmod(index.c_str(), 0604);
  {
    RecordFile file(index, data);
    ASSERT_EQ(file.Remove(1), 0);
  }  // compacted
  struct stat st {};
  ASSERT_EQ(::stat(data.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ASSERT_EQ(::stat(index.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
}

TEST_F(RecordFileOnDisk, ASecondOpeningOfThePairIsReadOnlyUntilTheFirstCloses) {
  auto first = std::make_unique<RecordFile>(index, data);
  ASSERT_EQ(first->Append(kMarkA), 0);
  {
    RecordFile second(index, data);
    EXPECT_EQ(second.WhyReadOnly(), RecordFile::ReadOnlyReason::kLocked);
    EXPECT_EQ(second.ReadAll(1), kMarkA);
    EXPECT_EQ(second.Append(kMarkB), -1);
    EXPECT_EQ(second.Remove(1), -1);
  }  // no compaction either
  ASSERT_EQ(first->Append(kMarkB), 0);
  first.reset();
  RecordFile third(index, data);
  EXPECT_FALSE(third.ReadOnly());
  EXPECT_EQ(Records(third), (std::vector<std::optional<Bytes>>{kVersion, kMarkA, kMarkB}));
}

}  // namespace
}  // namespace vrok
