#pragma once
// Which search index the reader uses, and building its own copy when the
// book's is missing, stale or damaged: the index beside the content files
// when its stamps match the book's, else the copy in the cache folder
// (<cache>/<stamps>/index.idx), else one built there in the background.
// Two readers may build at once: each writes aside and renames into place,
// so the other only ever sees a whole index.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/search/book_index.h"

namespace vrok::search {

enum class IndexState { kReady, kBuilding, kUnavailable };

// ${XDG_CACHE_HOME:-~/.cache}/vrok/search; empty when neither is set.
std::string DefaultCacheFolder();

class IndexService {
 public:
  // prefix: the content files' folder and name prefix. The book must stay
  // open as long as the service.
  IndexService(const ContentDatabase& db, std::string prefix, std::string cacheFolder);
  ~IndexService();  // waits for a build under way
  IndexService(const IndexService&) = delete;
  IndexService& operator=(const IndexService&) = delete;

  // Opens an index, or starts building one; called again it does nothing
  // more until the build ends.
  void Start();
  IndexState State();
  double Progress() const { return progress_.load(); }
  // The index file in use once ready ("" before).
  std::string File();

  // Queries the ready index; not ok while building or unavailable.
  SearchAnswer Query(std::u16string_view typed, std::uint32_t max = 20);

 private:
  void Build(std::string file);

  const ContentDatabase& db_;
  std::string prefix_;
  std::string cacheFolder_;
  std::string stamps_;
  std::mutex mutex_;
  BookIndex index_;
  std::string file_;
  IndexState state_ = IndexState::kUnavailable;
  bool started_ = false;
  std::atomic<double> progress_{0.0};
  std::thread builder_;
  std::atomic<bool> built_{false};
  std::atomic<bool> buildOk_{false};
  std::string buildFile_;
  bool rebuilt_ = false;  // once per reader: a copy that fails again stays failed
};

}  // namespace vrok::search
