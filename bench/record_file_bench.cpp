// Cost of a change to a store of 10,000 records (one payload append and
// one index rewrite, each flushed to disk), next to the floor: the same
// writes, fsyncs and rename done directly with POSIX calls. The files live
// in $TMPDIR (or /tmp); fsync makes the figures depend on that disk.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/userdata/record_file.h"

namespace {

constexpr int kRecords = 10'000;
constexpr std::size_t kRecordBytes = 64;

class Folder {
 public:
  Folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vrok-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~Folder() { std::filesystem::remove_all(path_); }
  std::string operator/(const char* name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

// Index bytes of a version record followed by `records` records of kRecordBytes.
std::vector<std::uint8_t> IndexBytes(int records) {
  std::vector<std::uint8_t> index;
  PutU32(index, 0);
  PutU32(index, 2);
  for (int r = 0; r < records; ++r) {
    PutU32(index, static_cast<std::uint32_t>(2 + r * kRecordBytes));
    PutU32(index, kRecordBytes);
  }
  return index;
}

bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes, off_t at) {
  return ::pwrite(fd, bytes.data(), bytes.size(), at) == static_cast<ssize_t>(bytes.size());
}

// Writes the pair of a store with kRecords records directly.
void MakeStore(const Folder& folder) {
  std::vector<std::uint8_t> data = {0x01, 0x00};
  data.resize(2 + kRecords * kRecordBytes, 0x5A);
  for (const auto& [name, bytes] :
       {std::pair{"s.vsd", data}, std::pair{"s.vsi", IndexBytes(kRecords)}}) {
    const int fd = ::open((folder / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    WriteAll(fd, bytes, 0);
    ::close(fd);
  }
}

const std::vector<std::uint8_t> kPayload(kRecordBytes, 0xC3);

void BM_StoreAppend(benchmark::State& state) {
  Folder folder;
  MakeStore(folder);
  vrok::RecordFile file(folder / "s.vsi", folder / "s.vsd");
  for (auto _ : state) {
    if (file.Append(kPayload) != 0) state.SkipWithError("append failed");
    state.PauseTiming();
    file.Remove(file.Count() - 1);  // back to 10,000 records
    state.ResumeTiming();
  }
}

void BM_StoreRemove(benchmark::State& state) {
  Folder folder;
  MakeStore(folder);
  vrok::RecordFile file(folder / "s.vsi", folder / "s.vsd");
  for (auto _ : state) {
    state.PauseTiming();
    file.Append(kPayload);
    state.ResumeTiming();
    if (file.Remove(1) != 0) state.SkipWithError("remove failed");
  }
}

// The least an index rewrite can cost: write a temporary of the same size,
// fsync it, rename it over the index, fsync the folder.
void IndexRewriteFloor(const Folder& folder, const std::vector<std::uint8_t>& index) {
  const std::string temp = folder / "s.vsi.tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  WriteAll(fd, index, 0);
  ::fsync(fd);
  ::close(fd);
  ::rename(temp.c_str(), (folder / "s.vsi").c_str());
  const int dir = ::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY);
  ::fsync(dir);
  ::close(dir);
}

void BM_FloorIndexRewrite(benchmark::State& state) {
  Folder folder;
  MakeStore(folder);
  const auto index = IndexBytes(kRecords);
  for (auto _ : state) IndexRewriteFloor(folder, index);
}

// An append's floor: the payload written and fsynced, then the index floor.
void BM_FloorAppend(benchmark::State& state) {
  Folder folder;
  MakeStore(folder);
  const auto index = IndexBytes(kRecords + 1);
  const int data = ::open((folder / "s.vsd").c_str(), O_WRONLY);
  const off_t end = static_cast<off_t>(2 + kRecords * kRecordBytes);
  for (auto _ : state) {
    WriteAll(data, kPayload, end);
    ::fsync(data);
    IndexRewriteFloor(folder, index);
  }
  ::close(data);
}

// The compaction at exit of a 10,000-record store with one removed record.
void BM_StoreCompact(benchmark::State& state) {
  Folder folder;
  for (auto _ : state) {
    state.PauseTiming();
    MakeStore(folder);
    vrok::RecordFile file(folder / "s.vsi", folder / "s.vsd");
    file.Remove(1);
    state.ResumeTiming();
    if (file.Compact() != 0) state.SkipWithError("compaction failed");
  }
}

BENCHMARK(BM_StoreAppend)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorAppend)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreRemove)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorIndexRewrite)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreCompact)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
