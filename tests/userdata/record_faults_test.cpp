// Every change to a record file, and the compaction at close, with each of
// its file steps failing in turn, or the process dying at that step, with
// and without losing what was not yet flushed. Reopening must always give a
// usable pair holding the records as they were before the change or after
// it, byte for byte; a change reported done must survive a power loss.

#include <gtest/gtest.h>

#include <functional>

#include "memory_file_system.h"
#include "userdata/record_file.h"

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

enum class Fault { kFailOneStep, kDie };

TEST(RecordFileFaults, EveryStepOfEveryChangeKeepsTheRecords) {
  int runs = 0;
  for (const auto& change : Changes()) {
    for (const Fault fault : {Fault::kFailOneStep, Fault::kDie}) {
      for (const bool losePower : {false, true}) {
        for (int step = 1;; ++step) {
          const std::string label = std::string(change.name) +
                                    (fault == Fault::kDie ? ", dies" : ", fails") + " at step " +
                                    std::to_string(step) + (losePower ? ", power lost" : "");
          MemoryFileSystem files;
          SetUpPair(files);
          fault == Fault::kDie ? files.DieAtStep(step) : files.FailStep(step);
          int result = 0;
          {
            RecordFile file(kIndex, kData, files);
            ASSERT_FALSE(file.Failed()) << label;
            result = change.apply(file);
            if (fault == Fault::kFailOneStep) {
              EXPECT_EQ(ReadRecords(file), result == 0 ? change.after : kBefore) << label;
            }
          }  // the destructor compacts
          const bool hit = files.FaultHit();
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
          if (!hit) break;  // the change ran to the end without reaching this step
        }
      }
    }
  }
  EXPECT_GT(runs, 400);
}

TEST(RecordFileFaults, NewPairInterruptedAnywhereIsUsableNextTime) {
  for (const Fault fault : {Fault::kFailOneStep, Fault::kDie}) {
    for (const bool losePower : {false, true}) {
      for (int step = 1;; ++step) {
        const std::string label = "step " + std::to_string(step);
        MemoryFileSystem files;
        fault == Fault::kDie ? files.DieAtStep(step) : files.FailStep(step);
        { RecordFile file(kIndex, kData, files); }
        const bool hit = files.FaultHit();
        files.Revive();
        if (losePower) files.LosePower();
        RecordFile file(kIndex, kData, files);
        ASSERT_FALSE(file.Failed()) << label;
        EXPECT_EQ(ReadRecords(file), Records{kVersion}) << label;
        if (!hit) break;
      }
    }
  }
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
  for (const Fault fault : {Fault::kFailOneStep, Fault::kDie}) {
    for (const bool losePower : {false, true}) {
      for (int step = 1;; ++step) {
        const std::string label = "step " + std::to_string(step);
        MemoryFileSystem files;
        files.SetFile(kData, oldData);
        files.SetFile(kIndex, oldIndex);
        fault == Fault::kDie ? files.DieAtStep(step) : files.FailStep(step);
        { RecordFile file(kIndex, kData, files); }
        const bool hit = files.FaultHit();
        files.Revive();
        if (losePower) files.LosePower();
        {
          RecordFile file(kIndex, kData, files);
          ASSERT_FALSE(file.Failed()) << label;
          EXPECT_EQ(ReadRecords(file), Records{kVersion}) << label;
        }
        EXPECT_TRUE(holds(files, oldData)) << label;
        EXPECT_TRUE(holds(files, oldIndex)) << label;
        if (!hit) break;
      }
    }
  }
}

}  // namespace
}  // namespace vrok
