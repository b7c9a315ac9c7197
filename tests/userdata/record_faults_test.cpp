// Every change to a record file, and the compaction at close, with each of
// its file steps failing in turn, or the process dying at that step, with
// and without losing what was not yet flushed. Reopening must always give a
// usable pair holding the records as they were before the change or after
// it, byte for byte; a change reported done must survive a power loss.

#include <gtest/gtest.h>

#include <functional>

#include "core/userdata/record_file.h"
#include "support/memory_file_system.h"

namespace vrok {
namespace {

using testing::MemoryFileSystem;
using Bytes = std::vector<std::uint8_t>;
using Records = std::vector<std::optional<Bytes>>;

const std::string kIndex = "/p/bookmarks.vsi";
const std::string kData = "/p/bookmarks.vsd";
const Bytes kVersion = {0x01, 0x00};
const Bytes kA = {0xA1, 0xA2, 0xA3}, kB = {0xB1, 0xB2, 0xB3, 0xB4, 0xB5}, kC = {0xC1};
const Bytes kD = {0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7};

Records ReadRecords(RecordFile& file) {
  Records records;
  for (int i = 0; i < file.Count(); ++i) records.push_back(file.ReadAll(i));
  return records;
}

void PutEntry(Bytes& index, std::uint32_t offset, std::uint32_t length) {
  for (const auto v : {offset, length}) {
    for (int k = 0; k < 4; ++k) index.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
  }
}

// A pair holding version, A, B, C with a removed record between A and B,
// so that compaction has work to do.
void SetUpPair(MemoryFileSystem& files) {
  Bytes data = kVersion, index;
  PutEntry(index, 0, 2);
  const Bytes garbage = {0xEE, 0xEE};
  for (const Bytes* part : {&kA, &garbage, &kB, &kC}) {
    if (part != &garbage)
      PutEntry(index, static_cast<std::uint32_t>(data.size()),
               static_cast<std::uint32_t>(part->size()));
    data.insert(data.end(), part->begin(), part->end());
  }
  files.SetFile(kData, data);
  files.SetFile(kIndex, index);
}

struct Change {
  const char* name;
  std::function<int(RecordFile&)> apply;
  Records after;
};

const Records kBefore = {kVersion, kA, kB, kC};

std::vector<Change> Changes() {
  return {
      {"append", [](RecordFile& f) { return f.Append(kD); }, {kVersion, kA, kB, kC, kD}},
      {"remove", [](RecordFile& f) { return f.Remove(2); }, {kVersion, kA, kC}},
      {"remove range", [](RecordFile& f) { return f.RemoveRange(1, 2); }, {kVersion, kC}},
      {"insert", [](RecordFile& f) { return f.Insert(1, kD); }, {kVersion, kD, kA, kB, kC}},
      {"replace", [](RecordFile& f) { return f.Replace(3, kD); }, {kVersion, kA, kB, kD}},
      {"swap", [](RecordFile& f) { return f.Swap(1, 3); }, {kVersion, kC, kB, kA}},
      {"compact", [](RecordFile& f) { return f.Compact(); }, kBefore},
      {"compact, then append",
       [](RecordFile& f) {
         f.Compact();
         return f.Append(kD);
       },
       {kVersion, kA, kB, kC, kD}},
      {"close only", [](RecordFile&) { return 0; }, kBefore},
  };
}

// Which steps go wrong in one run: some fail, or the process dies at one.
struct FaultPlan {
  std::vector<int> failing;
  int dieAt = 0;

  void Apply(MemoryFileSystem& files) const {
    for (const int k : failing) files.FailStep(k);
    if (dieAt > 0) files.DieAtStep(dieAt);
  }
  std::string Label() const {
    std::string label = dieAt > 0 ? "dies at step " + std::to_string(dieAt) : "fails at steps";
    for (const int k : failing) label += " " + std::to_string(k);
    return label;
  }
};

// Every single failure, every point of death, and every pair of failures
// (a failed step, then a failure while cleaning up after it).
std::vector<FaultPlan> PlansFor(int steps) {
  std::vector<FaultPlan> plans;
  for (int k = 1; k <= steps; ++k) {
    plans.push_back({{k}, 0});
    plans.push_back({{}, k});
    for (int j = k + 1; j <= steps + 4; ++j) plans.push_back({{k, j}, 0});
  }
  return plans;
}

TEST(RecordFileFaults, EveryStepOfEveryChangeKeepsTheRecords) {
  int runs = 0;
  for (const auto& change : Changes()) {
    MemoryFileSystem clean;
    SetUpPair(clean);
    {
      RecordFile file(kIndex, kData, clean);
      change.apply(file);
    }
    ASSERT_GT(clean.Steps(), 0) << change.name;

    for (const auto& plan : PlansFor(clean.Steps())) {
      for (const bool losePower : {false, true}) {
        const std::string label =
            std::string(change.name) + ", " + plan.Label() + (losePower ? ", power lost" : "");
        MemoryFileSystem files;
        SetUpPair(files);
        plan.Apply(files);
        int result = 0;
        {
          RecordFile file(kIndex, kData, files);
          ASSERT_FALSE(file.Failed()) << label;
          result = change.apply(file);
          if (plan.dieAt == 0) {
            EXPECT_EQ(ReadRecords(file), result == 0 ? change.after : kBefore) << label;
          }
        }  // the destructor compacts
        files.Revive();
        if (losePower) files.LosePower();

        Records reopened;
        {
          RecordFile file(kIndex, kData, files);
          ASSERT_FALSE(file.Failed()) << label;
          reopened = ReadRecords(file);
        }
        if (result == 0) {
          EXPECT_EQ(reopened, change.after) << label;
        } else {
          EXPECT_TRUE(reopened == kBefore || reopened == change.after) << label;
        }
        RecordFile again(kIndex, kData, files);
        EXPECT_EQ(ReadRecords(again), reopened) << label << ", after recovery and compaction";
        ++runs;
      }
    }
  }
  EXPECT_GT(runs, 2000);
}

// Opens and closes a pair set up by setUp under every fault plan, with and
// without a power loss, then hands the revived file system to check.
void OpenUnderEveryFault(const std::function<void(MemoryFileSystem&)>& setUp,
                         const std::function<void(MemoryFileSystem&, const std::string&)>& check) {
  MemoryFileSystem clean;
  setUp(clean);
  { RecordFile file(kIndex, kData, clean); }
  ASSERT_GT(clean.Steps(), 0);
  for (const auto& plan : PlansFor(clean.Steps())) {
    for (const bool losePower : {false, true}) {
      MemoryFileSystem files;
      setUp(files);
      plan.Apply(files);
      { RecordFile file(kIndex, kData, files); }
      files.Revive();
      if (losePower) files.LosePower();
      check(files, plan.Label() + (losePower ? ", power lost" : ""));
    }
  }
}

TEST(RecordFileFaults, NewPairInterruptedAnywhereIsUsableNextTime) {
  OpenUnderEveryFault([](MemoryFileSystem&) {},
                      [](MemoryFileSystem& files, const std::string& label) {
                        RecordFile file(kIndex, kData, files);
                        ASSERT_FALSE(file.Failed()) << label;
                        EXPECT_EQ(ReadRecords(file), Records{kVersion}) << label;
                      });
}

TEST(RecordFileFaults, BadVersionPairIsNeverLostWhateverFails) {
  const Bytes oldData = {0x02, 0x00, 0x42, 0x43};
  Bytes oldIndex;
  PutEntry(oldIndex, 0, 2);
  PutEntry(oldIndex, 2, 2);
  const auto holds = [](const MemoryFileSystem& files, const Bytes& bytes) {
    for (const auto& name : files.Names()) {
      if (files.File(name) == bytes) return true;
    }
    return false;
  };
  OpenUnderEveryFault(
      [&](MemoryFileSystem& files) {
        files.SetFile(kData, oldData);
        files.SetFile(kIndex, oldIndex);
      },
      [&](MemoryFileSystem& files, const std::string& label) {
        {
          RecordFile file(kIndex, kData, files);
          ASSERT_FALSE(file.Failed()) << label;
          EXPECT_EQ(ReadRecords(file), Records{kVersion}) << label;
        }
        EXPECT_TRUE(holds(files, oldData)) << label;
        EXPECT_TRUE(holds(files, oldIndex)) << label;
      });
}

}  // namespace
}  // namespace vrok
