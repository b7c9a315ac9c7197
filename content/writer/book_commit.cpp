#include "content/writer/book_commit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "content/internal/format.h"

namespace vrok {

namespace writer {

namespace {

bool WriteFileAt(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool ok = done == bytes.size() && ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

bool SyncFolder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// A second name for an old file: a hard link, or a copy where the file
// system has none.
bool KeepCopy(const std::string& from, const std::string& to) {
  if (::link(from.c_str(), to.c_str()) == 0) return true;
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  std::vector<std::uint8_t> bytes;
  std::uint8_t buf[65536];
  ssize_t n = 0;
  while ((n = ::read(in, buf, sizeof buf)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  ::close(in);
  return n == 0 && WriteFileAt(to, bytes);
}

// The file names (the three content files, then the search index), the
// staging folders beside them.
struct CommitPaths {
  explicit CommitPaths(const std::string& dir)
      : folder(dir),
        staging(dir + "/.vrok-book-staging"),
        ready(dir + "/.vrok-book-ready"),
        old(dir + "/.vrok-book-old") {
    const std::string prefix(format::kPrefixName);
    names = {prefix + std::string(format::kDataSuffix),
             prefix + std::string(format::kStringsSuffix),
             prefix + std::string(format::kBinarySuffix),
             prefix + std::string(format::kSearchSuffix)};
  }
  std::string folder, staging, ready, old;
  // The search index is present only when a stager wrote one; an old index
  // without a new one is removed.
  std::array<std::string, 4> names;
};

void RemoveFolder(const CommitPaths& p, const std::string& dir) {
  for (const auto& name : p.names) ::unlink((dir + "/" + name).c_str());
  ::rmdir(dir.c_str());
}

// Renames, with the test hook that can make one of them fail.
class Renamer {
 public:
  explicit Renamer(const CommitFaults* faults) : faults_(faults) {}
  bool operator()(const std::string& from, const std::string& to) {
    const int step = step_++;
    if (faults_ && faults_->failRename && faults_->failRename(step)) {
      errno = EIO;
      return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
  }
  bool Abandon() const { return faults_ && faults_->abandon; }

 private:
  const CommitFaults* faults_;
  int step_ = 0;
};

// Puts the three files into the folder, all or nothing as far as an error
// the writer sees goes:
//  1. the new files are written and synced in .vrok-book-staging;
//  2. the old files get second names in .vrok-book-old;
//  3. .vrok-book-staging is renamed .vrok-book-ready: from here on the new
//     book is the one to finish;
//  4. each file is renamed from .vrok-book-ready over its old name;
//  5. both folders are removed.
// A failed rename in step 4 puts the old files back (or removes the new
// ones when there was no old book). Should the process die in step 4, the
// folder holds a mix until FinishInterruptedCommit (run by every WriteBook)
// completes step 4 from .vrok-book-ready.
bool Commit(const CommitPaths& p, const std::array<const Container*, 3>& files,
            const CommitFaults* faults, const StageExtra* extra, std::string& error) {
  Renamer rename(faults);
  const auto fail = [&](const std::string& what) {
    error = what + " in " + p.folder + " (" + std::strerror(errno) + ")";
    return false;
  };
  // Fails after removing the staging folder (and the old book's copy when
  // it was made), reporting the error that caused the failure.
  const auto failClearing = [&](const std::string& what, bool oldCopyMade) {
    const int e = errno;
    RemoveFolder(p, p.staging);
    if (oldCopyMade) RemoveFolder(p, p.old);
    errno = e;
    return fail(what);
  };
  if (::mkdir(p.staging.c_str(), 0755) != 0) return fail("cannot create a staging folder");
  for (std::size_t i = 0; i < 3; ++i) {
    if (!files[i]->WriteTo(p.staging + "/" + p.names[i]))
      return failClearing("cannot write the content files", false);
  }
  if (extra != nullptr && *extra) {
    std::string why;
    if (!(*extra)(p.staging, p.staging + "/" + p.names[3], why)) {
      const int e = errno;
      RemoveFolder(p, p.staging);
      errno = e;
      error = why.empty() ? "cannot write the search index" : why;
      return false;
    }
  }
  SyncFolder(p.staging);
  std::array<bool, 4> hadOld{};
  if (::mkdir(p.old.c_str(), 0755) != 0)
    return failClearing("cannot keep the old book aside", false);
  for (std::size_t i = 0; i < p.names.size(); ++i) {
    const std::string target = p.folder + "/" + p.names[i];
    hadOld[i] = Exists(target);
    if (hadOld[i] && !KeepCopy(target, p.old + "/" + p.names[i]))
      return failClearing("cannot keep the old book aside", true);
  }
  SyncFolder(p.old);
  if (!rename(p.staging, p.ready)) {
    if (rename.Abandon()) return fail("cannot commit the new book");
    return failClearing("cannot commit the new book", true);
  }
  SyncFolder(p.folder);
  for (std::size_t i = 0; i < p.names.size(); ++i) {
    if (i == 3 && !Exists(p.ready + "/" + p.names[i])) {
      ::unlink((p.folder + "/" + p.names[i]).c_str());  // no index made: none is stale
      continue;
    }
    if (rename(p.ready + "/" + p.names[i], p.folder + "/" + p.names[i])) continue;
    const int e = errno;
    if (rename.Abandon()) return fail("cannot commit the new book");
    // Back to the old book: each file already moved is put back, or removed
    // when there was none.
    bool restored = true;
    for (std::size_t j = 0; j < i; ++j) {
      const std::string target = p.folder + "/" + p.names[j];
      restored = (hadOld[j] ? ::rename((p.old + "/" + p.names[j]).c_str(), target.c_str())
                            : ::unlink(target.c_str())) == 0 &&
                 restored;
    }
    errno = e;
    if (!restored) {
      return fail(
          "cannot commit the new book, nor put the old one back; run vrok-book again "
          "to finish the new one");
    }
    RemoveFolder(p, p.ready);
    RemoveFolder(p, p.old);
    SyncFolder(p.folder);
    errno = e;
    return fail("cannot commit the new book");
  }
  SyncFolder(p.folder);
  RemoveFolder(p, p.ready);
  RemoveFolder(p, p.old);
  SyncFolder(p.folder);
  return true;
}

}  // namespace

bool CommitFiles(const std::string& folder, const std::array<const Container*, 3>& files,
                 const CommitFaults* faults, const StageExtra* extra, std::string& error) {
  return Commit(CommitPaths(folder), files, faults, extra, error);
}

}  // namespace writer

using writer::CommitPaths;
using writer::Exists;
using writer::RemoveFolder;
using writer::SyncFolder;

bool FinishInterruptedCommit(const std::string& folder, std::string& error) {
  const CommitPaths p(folder);
  if (Exists(p.ready)) {
    for (const auto& name : p.names) {
      const std::string from = p.ready + "/" + name;
      if (Exists(from) && ::rename(from.c_str(), (folder + "/" + name).c_str()) != 0) {
        error = "cannot finish an interrupted replacement of the book in " + folder + " (" +
                std::strerror(errno) + ")";
        return false;
      }
    }
    SyncFolder(folder);
    RemoveFolder(p, p.ready);
  }
  // Leftovers of a replacement that never reached its commit.
  if (Exists(p.staging)) RemoveFolder(p, p.staging);
  if (Exists(p.old)) RemoveFolder(p, p.old);
  return true;
}

}  // namespace vrok
