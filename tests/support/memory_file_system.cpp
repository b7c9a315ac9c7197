#include "support/memory_file_system.h"

#include <algorithm>

namespace vrok::testing {

void MemoryFileSystem::Revive() {
  steps_ = dieStep_ = 0;
  failSteps_.clear();
  dead_ = faultHit_ = false;
}

void MemoryFileSystem::LosePower() {
  names_ = durableNames_;
  for (auto& [name, node] : names_) node->live = node->durable;
  open_.clear();
}

std::optional<MemoryFileSystem::Bytes> MemoryFileSystem::File(const std::string& path) const {
  const auto it = names_.find(path);
  if (it == names_.end()) return std::nullopt;
  return it->second->live;
}

void MemoryFileSystem::SetFile(const std::string& path, Bytes bytes) {
  auto node = std::make_shared<Node>(Node{bytes, bytes});
  names_[path] = node;
  durableNames_[path] = node;
}

void MemoryFileSystem::RemoveFile(const std::string& path) {
  names_.erase(path);
  durableNames_.erase(path);
}

std::vector<std::string> MemoryFileSystem::Names() const {
  std::vector<std::string> names;
  for (const auto& [name, node] : names_) names.push_back(name);
  return names;
}

bool MemoryFileSystem::Step() {
  if (dead_) return false;
  ++steps_;
  if (steps_ == dieStep_) dead_ = true;
  if (failSteps_.contains(steps_) || dead_) {
    faultHit_ = true;
    return false;
  }
  return true;
}

MemoryFileSystem::Node* MemoryFileSystem::Find(Handle file) const {
  const auto it = open_.find(file);
  return dead_ || it == open_.end() ? nullptr : it->second.get();
}

std::optional<bool> MemoryFileSystem::Exists(const std::string& path) {
  if (dead_) return std::nullopt;
  return names_.contains(path);
}

FileSystem::Handle MemoryFileSystem::Open(const std::string& path) {
  const auto it = names_.find(path);
  if (dead_ || it == names_.end()) return kNoFile;
  open_[nextHandle_] = it->second;
  return nextHandle_++;
}

FileSystem::Handle MemoryFileSystem::Create(const std::string& path, unsigned) {
  if (!Step()) return kNoFile;
  auto node = std::make_shared<Node>();
  names_[path] = node;
  open_[nextHandle_] = node;
  return nextHandle_++;
}

void MemoryFileSystem::Close(Handle file) { open_.erase(file); }

std::optional<std::uint64_t> MemoryFileSystem::Size(Handle file) {
  const Node* node = Find(file);
  if (!node) return std::nullopt;
  return node->live.size();
}

bool MemoryFileSystem::ReadAt(Handle file, std::uint64_t offset, std::span<std::uint8_t> bytes) {
  const Node* node = Find(file);
  if (!node || offset > node->live.size() || bytes.size() > node->live.size() - offset) {
    return false;
  }
  std::copy_n(node->live.begin() + static_cast<std::ptrdiff_t>(offset), bytes.size(),
              bytes.begin());
  return true;
}

bool MemoryFileSystem::WriteAt(Handle file, std::uint64_t offset,
                               std::span<const std::uint8_t> bytes) {
  Node* node = Find(file);
  if (!node) return false;
  const bool ok = Step();
  const auto written = ok ? bytes : bytes.first(bytes.size() / 2);
  if (node->live.size() < offset + written.size()) node->live.resize(offset + written.size());
  std::copy(written.begin(), written.end(),
            node->live.begin() + static_cast<std::ptrdiff_t>(offset));
  return ok;
}

bool MemoryFileSystem::Sync(Handle file) {
  Node* node = Find(file);
  if (!node || !Step()) return false;
  node->durable = node->live;
  return true;
}

bool MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  const auto it = names_.find(from);
  if (it == names_.end() || !Step()) return false;
  auto node = it->second;
  names_.erase(it);
  names_[to] = std::move(node);
  return true;
}

bool MemoryFileSystem::Remove(const std::string& path) {
  if (!names_.contains(path) || !Step()) return false;
  names_.erase(path);
  return true;
}

bool MemoryFileSystem::SyncFolderOf(const std::string&) {
  if (!Step()) return false;
  durableNames_ = names_;
  return true;
}

}  // namespace vrok::testing
