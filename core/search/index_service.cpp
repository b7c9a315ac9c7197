#include "core/search/index_service.h"

#include <cstdlib>
#include <filesystem>

#include "content/book_files.h"

namespace vrok::search {

namespace fs = std::filesystem;

std::string DefaultCacheFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache != nullptr && *cache == '/') return std::string(cache) + "/vrok/search";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home) + "/.cache/vrok/search";
  return {};
}

IndexService::IndexService(const ContentDatabase& db, std::string prefix, std::string cacheFolder)
    : db_(db), prefix_(std::move(prefix)), cacheFolder_(std::move(cacheFolder)),
      stamps_(StampsOf(db)) {}

IndexService::~IndexService() {
  if (builder_.joinable()) builder_.join();
}

void IndexService::Start() {
  std::lock_guard lock(mutex_);
  if (started_) return;
  started_ = true;
  const std::string beside = prefix_ + std::string(format::kSearchSuffix);
  if (index_.Open(beside, stamps_)) {
    file_ = beside;
    state_ = IndexState::kReady;
    return;
  }
  if (cacheFolder_.empty() || !db_.IsBook()) {
    state_ = IndexState::kUnavailable;
    return;
  }
  const std::string cached = cacheFolder_ + "/" + stamps_ + "/index.idx";
  if (index_.Open(cached, stamps_)) {
    file_ = cached;
    state_ = IndexState::kReady;
    return;
  }
  // Missing or damaged: build a fresh copy (it replaces a damaged one).
  state_ = IndexState::kBuilding;
  buildFile_ = cached;
  builder_ = std::thread([this, cached] { Build(cached); });
}

void IndexService::Build(std::string file) {
  std::error_code ignored;
  fs::create_directories(fs::path(file).parent_path(), ignored);
  std::string error;
  const bool ok = BuildIndex(db_, file, error, [this](double share) { progress_.store(share); });
  buildOk_.store(ok);
  built_.store(true);
}

IndexState IndexService::State() {
  std::lock_guard lock(mutex_);
  if (state_ == IndexState::kBuilding && built_.load()) {
    if (builder_.joinable()) builder_.join();
    // Another reader may have finished first: either copy is whole.
    if (index_.Open(buildFile_, stamps_)) {
      file_ = buildFile_;
      state_ = IndexState::kReady;
    } else {
      state_ = IndexState::kUnavailable;
    }
  }
  return state_;
}

std::string IndexService::File() {
  std::lock_guard lock(mutex_);
  return file_;
}

SearchAnswer IndexService::Query(std::u16string_view typed, std::uint32_t max) {
  if (State() != IndexState::kReady) return {};
  std::lock_guard lock(mutex_);
  SearchAnswer answer = index_.Query(typed, max);
  if (answer.ok || cacheFolder_.empty() || builder_.joinable() || rebuilt_) return answer;
  rebuilt_ = true;
  // The index opened but cannot be read (damaged after its header): build
  // a fresh copy in the cache, as for a missing one.
  index_ = BookIndex();
  file_.clear();
  state_ = IndexState::kBuilding;
  progress_.store(0.0);
  built_.store(false);
  buildFile_ = cacheFolder_ + "/" + stamps_ + "/index.idx";
  builder_ = std::thread([this, file = buildFile_] { Build(file); });
  return answer;
}

}  // namespace vrok::search
