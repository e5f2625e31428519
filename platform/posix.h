#pragma once

// What the POSIX implementation's files share: statuses from errno,
// descriptors, open folders and places as the *at calls take them, and the
// registry of live temporary files that a signal removes (see note [signals]
// in posix_signals.cc). Included by platform/posix_*.cc only.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"

namespace qfmt::platform::posix {

inline Status Ok() { return {}; }
// strerror_r (the GNU form, which g++ selects) because workers fail at once.
inline Status Failed(int error_number) {
  char buffer[256];
  return {::strerror_r(error_number, buffer, sizeof buffer),
          error_number == ENOENT || error_number == ENOTDIR ? Status::Code::kMissing : Status::Code::kFailed};
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  [[nodiscard]] int get() const { return fd_; }
  // Hands the descriptor over to the caller.
  [[nodiscard]] int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

inline FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kRegular;
  if (S_ISDIR(mode)) return FileKind::kFolder;
  if (S_ISLNK(mode)) return FileKind::kLink;
  return FileKind::kOther;
}

inline FileInfo InfoOf(const struct stat& status) {
  FileInfo info;
  info.kind = KindOf(status.st_mode);
  info.permissions = status.st_mode & 07777;
  info.owner = status.st_uid;
  info.group = status.st_gid;
  info.size = status.st_size;
  info.modified_ns =
      static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
  info.changed_ns = static_cast<std::int64_t>(status.st_ctim.tv_sec) * 1'000'000'000 + status.st_ctim.tv_nsec;
  info.device = status.st_dev;
  info.inode = status.st_ino;
  info.links = status.st_nlink;
  return info;
}

// its own, or AT_FDCWD for a path), and that folder's identity.
struct TempSlot {
  enum State : int { kFree, kClaimed, kLive };
  std::atomic<int> state{kFree};
  int folder_fd = AT_FDCWD;
  bool is_folder = false;
  dev_t folder_device = 0;
  ino_t folder_inode = 0;
  char path[PATH_MAX] = {};
};
static_assert(std::atomic<int>::is_always_lock_free);

struct TempChunk {
  std::array<TempSlot, 32> slots;
  std::atomic<TempChunk*> next{nullptr};
};
static_assert(std::atomic<TempChunk*>::is_always_lock_free);

// An open folder, with its identity as it was opened.
class PosixFolder final : public Folder {
 public:
  PosixFolder(int fd, const struct stat& status) : fd_(fd), device_(status.st_dev), inode_(status.st_ino) {}
  ~PosixFolder() override { ::close(fd_); }
  PosixFolder(const PosixFolder&) = delete;
  PosixFolder& operator=(const PosixFolder&) = delete;
  [[nodiscard]] int fd() const { return fd_; }
  [[nodiscard]] dev_t device() const { return device_; }
  [[nodiscard]] ino_t inode() const { return inode_; }

 private:
  int fd_;
  dev_t device_;
  ino_t inode_;
};

// A place as the *at calls take it: a folder's descriptor (or AT_FDCWD) and
// a name, and whether links must not be followed there.
struct At {
  int fd = AT_FDCWD;
  std::string name;
  const PosixFolder* folder = nullptr;  // null for a path
  [[nodiscard]] bool in_folder() const { return folder != nullptr; }
  // O_NOFOLLOW in a folder.
  [[nodiscard]] int no_follow() const { return in_folder() ? O_NOFOLLOW : 0; }
};

inline At AtOf(const Place& place) {
  At at;
  at.name = place.name();
  if (place.folder() != nullptr) {
    at.folder = static_cast<const PosixFolder*>(place.folder());
    at.fd = at.folder->fd();
  }
  return at;
}

// The live temporary files and folders of the process; see note [signals].
class TempRegistry {
 public:
  // A slot for a file about to be made (may allocate: before the file exists).
  TempSlot& Claim() {
    const std::lock_guard lock(mutex_);
    TempChunk* chunk = &first_;
    for (;;) {
      for (TempSlot& slot : chunk->slots) {
        int free = TempSlot::kFree;
        if (slot.state.compare_exchange_strong(free, TempSlot::kClaimed)) return slot;
      }
      TempChunk* next = chunk->next.load();
      if (next == nullptr) {
        next = more_.emplace_back(std::make_unique<TempChunk>()).get();
        chunk->next.store(next);
      }
      chunk = next;
    }
  }
  // Fills a claimed slot; false (the slot freed) when no descriptor of the
  // folder can be kept.
  static bool Fill(TempSlot& slot, const At& at, bool is_folder) {
    slot.folder_fd = AT_FDCWD;
    slot.folder_device = 0;
    slot.folder_inode = 0;
    if (at.in_folder()) {
      slot.folder_fd = ::fcntl(at.fd, F_DUPFD_CLOEXEC, 0);
      if (slot.folder_fd < 0) {
        slot.state.store(TempSlot::kFree);
        return false;
      }
      slot.folder_device = at.folder->device();
      slot.folder_inode = at.folder->inode();
    }
    slot.is_folder = is_folder;
    at.name.copy(slot.path, sizeof slot.path - 1);
    slot.path[std::min(at.name.size(), sizeof slot.path - 1)] = '\0';
    slot.state.store(TempSlot::kLive);
    return true;
  }
  static void Free(TempSlot& slot) {
    if (slot.folder_fd >= 0) ::close(slot.folder_fd);
    slot.folder_fd = AT_FDCWD;
    slot.state.store(TempSlot::kFree);
  }
  // Forgets the file at the place, if it is one of them.
  void Forget(const At& at) {
    const std::lock_guard lock(mutex_);
    const dev_t device = at.in_folder() ? at.folder->device() : 0;
    const ino_t inode = at.in_folder() ? at.folder->inode() : 0;
    for (TempChunk* chunk = &first_; chunk != nullptr; chunk = chunk->next.load()) {
      for (TempSlot& slot : chunk->slots) {
        if (slot.state.load() == TempSlot::kLive && at.name == slot.path && slot.folder_device == device &&
            slot.folder_inode == inode)
          Free(slot);
      }
    }
  }
  // Async-signal-safe. Files first, then folders, inner ones before those
  // that hold them: rounds until none more goes.
  void RemoveAll() {
    for (TempChunk* chunk = &first_; chunk != nullptr; chunk = chunk->next.load()) {
      for (TempSlot& slot : chunk->slots) {
        if (slot.state.load() == TempSlot::kLive && !slot.is_folder) ::unlinkat(slot.folder_fd, slot.path, 0);
      }
    }
    for (bool removed = true; removed;) {
      removed = false;
      for (TempChunk* chunk = &first_; chunk != nullptr; chunk = chunk->next.load()) {
        for (TempSlot& slot : chunk->slots) {
          if (slot.state.load() == TempSlot::kLive && slot.is_folder &&
              ::unlinkat(slot.folder_fd, slot.path, AT_REMOVEDIR) == 0) {
            slot.state.store(TempSlot::kFree);
            removed = true;
          }
        }
      }
    }
  }

 private:
  std::mutex mutex_;
  TempChunk first_;
  std::vector<std::unique_ptr<TempChunk>> more_;  // owned here, linked through `next`
};

// Appends everything up to the end, or up to `limit` bytes; false on a read
// error (errno tells which). The buffer starts one byte longer than the
// expected size, so that a file read whole needs no second allocation to see
// its end.
[[nodiscard]] bool ReadToEnd(int fd, std::string& bytes, std::size_t expected_size,
                             std::size_t limit = SIZE_MAX);

// The process's live temporary files and folders (posix_signals.cc).
[[nodiscard]] TempRegistry& LiveTempFiles();

}  // namespace qfmt::platform::posix
