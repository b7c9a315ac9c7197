#pragma once
// An in-memory FileSystem for tests and fuzzing that can fail any step and
// can lose power.
//
// Steps are the operations that change something: Create, WriteAt, Sync,
// Rename, Remove and SyncFolderOf, counted from 1. A failing write stores
// the first half of its bytes (a torn write); other failing steps do
// nothing. Durability is modelled pessimistically: a file's contents survive
// a power loss only as of its last Sync, and names (creations, renames,
// removals) only as of the last SyncFolderOf.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/userdata/file_system.h"

namespace vrok::testing {

class MemoryFileSystem final : public FileSystem {
 public:
  using Bytes = std::vector<std::uint8_t>;

  // Step k fails (in addition to any named before); the others succeed.
  void FailStep(int k) { failSteps_.insert(k); }
  // Step k fails and so does every operation after it, reads included, as
  // if the process had died there.
  void DieAtStep(int k) { dieStep_ = k; }
  // Clears the faults and the step count; a dead file system lives again.
  void Revive();
  int Steps() const { return steps_; }
  bool FaultHit() const { return faultHit_; }
  // Forgets everything not flushed and closes every file.
  void LosePower();

  // Direct access, as if by another program; SetFile writes durably.
  std::optional<Bytes> File(const std::string& path) const;
  void SetFile(const std::string& path, Bytes bytes);
  void RemoveFile(const std::string& path);
  std::vector<std::string> Names() const;

  std::optional<bool> Exists(const std::string& path) override;
  Handle Open(const std::string& path) override;
  Handle Create(const std::string& path, unsigned mode = kPrivateMode) override;
  void Close(Handle file) override;
  std::optional<std::uint64_t> Size(Handle file) override;
  bool ReadAt(Handle file, std::uint64_t offset, std::span<std::uint8_t> bytes) override;
  bool WriteAt(Handle file, std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
  bool Sync(Handle file) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool Remove(const std::string& path) override;
  bool SyncFolderOf(const std::string& path) override;

 private:
  struct Node {
    Bytes live;
    Bytes durable;
  };
  using NodePtr = std::shared_ptr<Node>;

  bool Step();  // false when this step is to fail
  Node* Find(Handle file) const;

  std::map<std::string, NodePtr> names_;
  std::map<std::string, NodePtr> durableNames_;
  std::map<Handle, NodePtr> open_;
  Handle nextHandle_ = 3;
  int steps_ = 0;
  std::set<int> failSteps_;
  int dieStep_ = 0;
  bool dead_ = false;
  bool faultHit_ = false;
};

}  // namespace vrok::testing
