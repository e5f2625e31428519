#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <utility>

#include "platform/console.h"
#include "platform/file_system.h"

namespace qfmt::platform {
namespace {

FsStatus Ok() { return {}; }
// strerror_r (the GNU form, which g++ selects) because workers fail at once.
FsStatus Failed(int error_number) {
  char buffer[256];
  return {::strerror_r(error_number, buffer, sizeof buffer),
          error_number == ENOENT || error_number == ENOTDIR};
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

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kRegular;
  if (S_ISDIR(mode)) return FileKind::kFolder;
  if (S_ISLNK(mode)) return FileKind::kLink;
  return FileKind::kOther;
}

FileInfo InfoOf(const struct stat& status) {
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

// note [signals]
// A signal that ends the program must not leave its temporary files behind,
// and must not cut a step that would then lose text (a file written in place,
// a name exchanged and not yet checked). Its handler may only do what is
// async-signal-safe, so the names of the live temporary files are kept where
// it can read them without a lock: fixed slots in chunks that are never
// freed, each with an atomic state. Every change to the slots, and every step
// that must not be cut, runs under HoldSignals: the thread blocks the ending
// signals, and a count of such steps makes the handler, running on another
// thread, wait for them to end before it removes the files. A step that would
// begin after the handler has begun waits for the end instead. A temporary
// file is made and registered in one held step, so none exists unregistered.
//
// Faults (a bad memory access, an abort) are program errors: the handler
// removes the files unless the faulting thread was inside a held step (a file
// written in place keeps its old text in a temporary copy until its write is
// synced), then lets the fault end the program as it would have, so that
// sanitizers and core dumps still see it.

// The signals that end a program and can be caught, but faults.
constexpr std::array kEndingSignals = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM,   SIGPIPE,
                                       SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF,
                                       SIGXCPU, SIGXFSZ, SIGPOLL, SIGPWR,    SIGSTKFLT};
constexpr std::array kFaultSignals = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGSYS, SIGABRT};

const sigset_t& EndingSignalSet() {
  static const sigset_t set = [] {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : kEndingSignals) sigaddset(&signals, signal);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) sigaddset(&signals, signal);
    return signals;
  }();
  return set;
}

// A file or folder to remove: its name, from `folder_fd` (a descriptor of
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

At AtOf(const Place& place) {
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

// The one process-wide state of the platform, as signals are process-wide.
TempRegistry temp_registry;
std::atomic<int> held_steps{0};
std::atomic<bool> ending{false};
std::atomic<int> signal_end{static_cast<int>(SignalEnd::kAsIfUncaught)};
std::array<struct sigaction, 128> previous_actions{};
thread_local int held_here = 0;  // HoldSignals on this thread, nested
thread_local sigset_t mask_before_hold;

bool IsFault(int signal) {
  return std::find(kFaultSignals.begin(), kFaultSignals.end(), signal) != kFaultSignals.end();
}

// Ends the program after the temporary files are dealt with.
void EndOnSignal(int signal, bool hardware_fault) {
  if (hardware_fault) {
    // Returning repeats the faulting instruction, now under the action of before.
    ::sigaction(signal, &previous_actions[static_cast<std::size_t>(signal)], nullptr);
    return;
  }
  if (signal_end.load() == static_cast<int>(SignalEnd::kExitStatus) && signal != SIGABRT)
    ::_exit(128 + signal);
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  ::sigaction(signal, &default_action, nullptr);
  sigset_t just_this;
  sigemptyset(&just_this);
  sigaddset(&just_this, signal);
  ::pthread_sigmask(SIG_UNBLOCK, &just_this, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

void OnSignal(int signal, siginfo_t* info, void*) {
  const int saved_errno = errno;
  // Raised by the hardware (a bad access), not sent (kill, raise, abort).
  const bool hardware_fault = IsFault(signal) && signal != SIGABRT && info != nullptr && info->si_code > 0;
  if (held_here == 0) {
    if (ending.exchange(true)) {
      // Another thread is ending the program.
      if (!hardware_fault) {
        for (;;) ::pause();
      }
    } else {
      const struct timespec nap = {0, 1'000'000};
      while (held_steps.load() > 0) ::nanosleep(&nap, nullptr);
      temp_registry.RemoveAll();
    }
  }
  EndOnSignal(signal, hardware_fault);
  errno = saved_errno;
}

// Appends everything up to the end, or up to `limit` bytes; false on a read
// error (errno tells which). The buffer starts one byte longer than the
// expected size, so that a file read whole needs no second allocation to see
// its end.
bool ReadToEnd(int fd, std::string& bytes, std::size_t expected_size, std::size_t limit = SIZE_MAX) {
  std::size_t used = bytes.size();
  bytes.resize(used + std::min(std::max<std::size_t>(expected_size + 1, 4096), limit));
  for (;;) {
    if (used == limit) {
      bytes.resize(used);
      return true;
    }
    if (used == bytes.size()) bytes.resize(std::min(bytes.size() * 2, limit));
    const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      bytes.resize(used);
      return n == 0;
    }
    used += static_cast<std::size_t>(n);
  }
}

class PosixInputFile final : public ByteSource {
 public:
  explicit PosixInputFile(int fd) : fd_(fd) {}
  [[nodiscard]] int fd() const { return fd_; }
  ~PosixInputFile() override { ::close(fd_); }
  PosixInputFile(const PosixInputFile&) = delete;
  PosixInputFile& operator=(const PosixInputFile&) = delete;

  std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) return n;
      if (errno != EINTR) return -1;
    }
  }

 private:
  int fd_;
};

class PosixOutputFile final : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  PosixOutputFile(const PosixOutputFile&) = delete;
  PosixOutputFile& operator=(const PosixOutputFile&) = delete;

  bool Write(const char* data, std::size_t size) override {
    while (size > 0) {
      const ssize_t n = ::write(fd_, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        failed_ = true;
        return false;
      }
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }

  [[nodiscard]] int fd() const { return fd_; }
  void MarkFailed() { failed_ = true; }

  bool Close() override {
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed && !failed_;
  }

 private:
  int fd_;
  bool failed_ = false;
};

// The names of a file's extended attributes, each ended by a NUL; false
// (errno set) on failure. A file system without them has none.
bool ListAttributes(int fd, std::string& names) {
  for (;;) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0) {
      names.clear();
      return errno == ENOTSUP;
    }
    names.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::flistxattr(fd, names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;  // ERANGE: the list grew meanwhile
  }
}

bool ReadAttribute(int fd, const char* name, std::string& value) {
  for (;;) {
    const ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
    if (size < 0) return false;
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::fgetxattr(fd, name, value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
}

// The umask, which cannot be read without setting it but from the kernel's
// account of the process (Linux 4.7 on); 077, the strictest, when unknown.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("Umask:")) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 077;
}

// Opens a regular file (or anything else) for reading its attributes and
// flags, without blocking; -1 with errno set on failure.
int OpenToInspect(const At& at) {
  return ::openat(at.fd, at.name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | at.no_follow());
}

// The inode flags that chattr shows and that a file's owner may set; the
// immutable and append-only flags need a privilege, and such a file is never
// written anyway.
constexpr int kOwnersFlags = FS_SECRM_FL | FS_UNRM_FL | FS_COMPR_FL | FS_SYNC_FL | FS_NODUMP_FL |
                             FS_NOATIME_FL | FS_NOCOMP_FL | FS_NOCOW_FL | FS_NOTAIL_FL;

class PosixTempFile final : public TempFile {
 public:
  PosixTempFile(int fd, std::string name, const Folder* folder)
      : output_(fd), fd_(fd), name_(std::move(name)), folder_(folder) {}

  bool Write(const char* data, std::size_t size) override { return output_.Write(data, size); }
  bool Close() override { return output_.Close(); }
  const std::string& name() const override { return name_; }
  Place place() const override { return folder_ != nullptr ? Place(*folder_, name_) : Place(name_); }

  // The owner first: a change of owner clears the set-user-ID bits.
  FsStatus KeepAttributesOf(const FileInfo& original) override {
    struct stat status {};
    if (::fstat(fd_, &status) != 0) return Failed(errno);
    if (status.st_uid != original.owner || status.st_gid != original.group) {
      // Only a privileged process may give a file away; others keep it as
      // theirs, and may still give it a group they belong to.
      if (::fchown(fd_, original.owner, original.group) != 0) {
        if (errno != EPERM) return Failed(errno);
        if (::fchown(fd_, static_cast<uid_t>(-1), original.group) != 0 && errno != EPERM)
          return Failed(errno);
      }
      if (::fstat(fd_, &status) != 0) return Failed(errno);
    }
    std::uint32_t permissions = original.permissions;
    if (status.st_gid != original.group) permissions &= ~std::uint32_t{070};
    if (::fchmod(fd_, static_cast<mode_t>(permissions)) != 0) return Failed(errno);
    return Ok();
  }

  FsStatus GiveNewFilePermissions() override {
    return ::fchmod(fd_, 0666 & ~CurrentUmask()) == 0 ? Ok() : Failed(errno);
  }

  // Then the attributes the original lacks (an access control list that the
  // folder's default list gave the new file) are taken away.
  FsStatus CopyExtendedAttributesOf(const Place& original) override {
    const Descriptor from(OpenToInspect(AtOf(original)));
    if (from.get() < 0) return Failed(errno);
    std::string names;
    if (!ListAttributes(from.get(), names)) return Failed(errno);
    std::string value, own;
    for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
      const char* name = names.c_str() + at;
      if (!ReadAttribute(from.get(), name, value)) {
        if (errno == ENODATA) continue;  // removed meanwhile
        return AttributeFailed(name, errno);
      }
      if (::fsetxattr(fd_, name, value.data(), value.size(), 0) != 0) {
        const int error = errno;
        // One the system gave the file already (a security label) is as good.
        if (!ReadAttribute(fd_, name, own) || own != value) return AttributeFailed(name, error);
      }
    }
    std::string own_names;
    if (!ListAttributes(fd_, own_names)) return Failed(errno);
    for (std::size_t at = 0; at < own_names.size(); at = own_names.find('\0', at) + 1) {
      const std::string_view name = own_names.c_str() + at;
      bool in_original = false;
      for (std::size_t o = 0; o < names.size() && !in_original; o = names.find('\0', o) + 1)
        in_original = name == names.c_str() + o;
      if (!in_original && ::fremovexattr(fd_, std::string(name).c_str()) != 0 && errno != ENODATA)
        return AttributeFailed(std::string(name).c_str(), errno);
    }
    return Ok();
  }

  // A file system without such flags refuses the ioctl: the original then
  // has none either.
  FsStatus CopyFlagsOf(const Place& original) override {
    const Descriptor from(OpenToInspect(AtOf(original)));
    if (from.get() < 0) return Failed(errno);
    int flags = 0, own = 0;
    if (::ioctl(from.get(), FS_IOC_GETFLAGS, &flags) != 0 || (flags & kOwnersFlags) == 0) return Ok();
    if (::ioctl(fd_, FS_IOC_GETFLAGS, &own) != 0) return Failed(errno);
    const int wanted = (own & ~kOwnersFlags) | (flags & kOwnersFlags);
    if (wanted != own && ::ioctl(fd_, FS_IOC_SETFLAGS, &wanted) != 0) return Failed(errno);
    return Ok();
  }

  FsStatus Sync() override { return ::fsync(fd_) == 0 ? Ok() : Failed(errno); }

  void Keep() override {
    const HoldSignals hold;
    temp_registry.Forget(AtOf(place()));
  }

  [[nodiscard]] PosixOutputFile& output() { return output_; }

 private:
  static FsStatus AttributeFailed(const char* name, int error_number) {
    return {std::string(name) + ": " + Failed(error_number).error};
  }

  PosixOutputFile output_;  // owns and closes the descriptor
  int fd_;
  std::string name_;
  const Folder* folder_;  // null when name_ is a path
};

class PosixRewrittenFile final : public RewrittenFile {
 public:
  explicit PosixRewrittenFile(int fd) : output_(fd), fd_(fd) {}

  bool Write(const char* data, std::size_t size) override {
    if (!output_.Write(data, size)) return false;
    written_ += static_cast<off_t>(size);
    return true;
  }
  bool Close() override { return output_.Close(); }

  FsStatus Inspect(FileInfo& info) override {
    struct stat status {};
    if (::fstat(fd_, &status) != 0) return Failed(errno);
    info = InfoOf(status);
    return Ok();
  }

  FsStatus EndAndSync() override {
    if (::ftruncate(fd_, written_) != 0 || ::fsync(fd_) != 0) return Failed(errno);
    return Ok();
  }

 private:
  PosixOutputFile output_;  // owns and closes the descriptor
  int fd_;
  off_t written_ = 0;
};

class PosixFileLock final : public FileLock {
 public:
  explicit PosixFileLock(int fd) : fd_(fd) {}
  ~PosixFileLock() override { ::close(fd_); }  // which releases the lock
  PosixFileLock(const PosixFileLock&) = delete;
  PosixFileLock& operator=(const PosixFileLock&) = delete;

 private:
  int fd_;
};

// Six random letters and digits, for a name of one's own.
std::string RandomSuffix() {
  constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::array<unsigned char, 6> bytes{};
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::getrandom(bytes.data() + got, bytes.size() - got, 0);
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  std::string suffix;
  for (const unsigned char byte : bytes) suffix += kLetters[byte % kLetters.size()];
  return suffix;
}

// The name of a new entry of the folder at `folder`, from the same descriptor.
At EntryOf(const Place& folder, const std::string& entry) {
  At at = AtOf(folder);
  at.name = at.in_folder() && at.name == "." ? entry : at.name + "/" + entry;
  return at;
}

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<ByteSource> OpenForReading(const Place& place) override {
    const At at = AtOf(place);
    const int fd = ::openat(at.fd, at.name.c_str(), O_RDONLY | O_CLOEXEC | at.no_follow());
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixInputFile>(fd);
  }

  std::unique_ptr<OutputFile> OpenForWriting(const Place& place) override {
    const At at = AtOf(place);
    const int fd =
        ::openat(at.fd, at.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | at.no_follow(), 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixOutputFile>(fd);
  }

  CopyResult CopyRest(ByteSource& from, OutputFile& to) override {
    auto* input = dynamic_cast<PosixInputFile*>(&from);
    auto* output = dynamic_cast<PosixOutputFile*>(&to);
    if (auto* temp = dynamic_cast<PosixTempFile*>(&to); temp != nullptr) output = &temp->output();
    if (input == nullptr || output == nullptr) return CopyResult::kNotHere;
    bool copied_any = false;
    for (;;) {
      const ssize_t n = ::copy_file_range(input->fd(), nullptr, output->fd(), nullptr, 1 << 30, 0);
      if (n > 0) {
        copied_any = true;
        continue;
      }
      if (n == 0) return CopyResult::kCopied;
      if (errno == EINTR) continue;
      // Not supported between these files: let the caller copy, unless a
      // part has already gone the kernel's way.
      if (!copied_any && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
        return CopyResult::kNotHere;
      }
      output->MarkFailed();
      return CopyResult::kFailed;
    }
  }

  FsStatus Inspect(const Place& place, bool follow_links, FileInfo& info) override {
    const At at = AtOf(place);
    struct stat status {};
    const int flags = follow_links && !at.in_folder() ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::fstatat(at.fd, at.name.c_str(), &status, flags) != 0) return Failed(errno);
    info = InfoOf(status);
    return Ok();
  }

  FsStatus OpenFolder(const Place& place, std::unique_ptr<Folder>& folder, FileInfo& info) override {
    const At at = AtOf(place);
    Descriptor fd(::openat(at.fd, at.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | at.no_follow()));
    if (fd.get() < 0) return Failed(errno);
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) return Failed(errno);
    info = InfoOf(status);
    folder = std::make_unique<PosixFolder>(fd.Release(), status);
    return Ok();
  }

  FsStatus ListFolder(const Folder& folder, std::vector<FolderEntry>& entries) override {
    entries.clear();
    // The stream takes a descriptor of its own and closes it.
    const int fd = ::fcntl(static_cast<const PosixFolder&>(folder).fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return Failed(errno);
    DIR* stream = ::fdopendir(fd);
    if (stream == nullptr) {
      const int error = errno;
      ::close(fd);
      return Failed(error);
    }
    ::rewinddir(stream);  // the duplicate shares its position with the folder's descriptor
    FsStatus status;
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(stream);
      if (entry == nullptr) {
        if (errno != 0) status = Failed(errno);
        break;
      }
      const std::string_view entry_name = entry->d_name;
      if (entry_name == "." || entry_name == "..") continue;
      FolderEntry& added = entries.emplace_back();
      added.name = entry_name;
      added.kind = KindOfEntry(::dirfd(stream), *entry);
    }
    ::closedir(stream);
    return status;
  }

  FsStatus ReadRegularFile(const Place& place, std::size_t limit, std::string& bytes,
                           FileInfo& info) override {
    bytes.clear();
    const At at = AtOf(place);
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const Descriptor fd(
        ::openat(at.fd, at.name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | at.no_follow()));
    // In a folder, a symbolic link is not followed, and so no regular file.
    if (fd.get() < 0)
      return at.in_folder() && errno == ELOOP ? FsStatus{std::string(kNotRegularFile)} : Failed(errno);
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) return Failed(errno);
    info = InfoOf(status);
    if (info.kind != FileKind::kRegular) return {std::string(kNotRegularFile)};
    if (static_cast<std::uint64_t>(status.st_size) > limit) return {std::string(kTooLarge)};
    // One byte past the limit tells a file that has grown beyond it.
    const std::size_t most = limit == SIZE_MAX ? limit : limit + 1;
    if (!ReadToEnd(fd.get(), bytes, static_cast<std::size_t>(status.st_size), most)) return Failed(errno);
    if (bytes.size() > limit) {
      bytes.clear();
      return {std::string(kTooLarge)};
    }
    return Ok();
  }

  FsStatus ResolveLinks(const std::string& name, std::string& resolved) override {
    char* path = ::realpath(name.c_str(), nullptr);
    if (path == nullptr) return Failed(errno);
    resolved = path;
    std::free(path);
    return Ok();
  }

  // Made and registered in one held step; see note [signals].
  FsStatus CreateTempFile(const Place& folder, std::string_view stem, TempName naming,
                          std::unique_ptr<TempFile>& file) override {
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string entry(stem);
      if (naming == TempName::kRandomSuffix) entry += RandomSuffix();
      const At at = EntryOf(folder, entry);
      if (at.name.size() >= PATH_MAX) return Failed(ENAMETOOLONG);
      const HoldSignals hold;
      TempSlot& slot = temp_registry.Claim();
      if (!TempRegistry::Fill(slot, at, false)) return Failed(errno);
      const int fd =
          ::openat(at.fd, at.name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
      if (fd < 0) {
        const int error = errno;
        TempRegistry::Free(slot);
        if (error == EEXIST && naming == TempName::kRandomSuffix) continue;
        return Failed(error);
      }
      file = std::make_unique<PosixTempFile>(fd, at.name, at.folder);
      return Ok();
    }
    return Failed(EEXIST);
  }

  FsStatus CreateTempFolder(const std::string& folder, std::string_view stem, TempName naming,
                            std::string& path) override {
    for (int attempt = 0; attempt < 100; ++attempt) {
      At at;
      at.name = folder + "/" + std::string(stem);
      if (naming == TempName::kRandomSuffix) at.name += RandomSuffix();
      if (at.name.size() >= PATH_MAX) return Failed(ENAMETOOLONG);
      const HoldSignals hold;
      TempSlot& slot = temp_registry.Claim();
      (void)TempRegistry::Fill(slot, at, true);  // a path needs no descriptor
      if (::mkdir(at.name.c_str(), 0700) != 0) {
        const int error = errno;
        TempRegistry::Free(slot);
        if (error == EEXIST && naming == TempName::kRandomSuffix) continue;
        return Failed(error);
      }
      path = at.name;
      return Ok();
    }
    return Failed(EEXIST);
  }

  FsStatus RemoveFolder(const std::string& path) override {
    const HoldSignals hold;
    if (::rmdir(path.c_str()) != 0) return Failed(errno);
    temp_registry.Forget(AtOf(path));
    return Ok();
  }

  FsStatus Rename(const Place& from, const Place& to) override {
    const At source = AtOf(from), destination = AtOf(to);
    const HoldSignals hold;
    if (::renameat(source.fd, source.name.c_str(), destination.fd, destination.name.c_str()) != 0)
      return Failed(errno);
    temp_registry.Forget(source);
    return Ok();
  }

  FsStatus Exchange(const Place& a, const Place& b) override {
    const At first = AtOf(a), second = AtOf(b);
    if (::renameat2(first.fd, first.name.c_str(), second.fd, second.name.c_str(), RENAME_EXCHANGE) == 0)
      return Ok();
    // Some file systems (overlays among them) refuse some exchanges they would rename.
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EXDEV)
      return {std::string(kCannotExchange)};
    return Failed(errno);
  }

  FsStatus Remove(const Place& place) override {
    const At at = AtOf(place);
    const HoldSignals hold;
    if (::unlinkat(at.fd, at.name.c_str(), 0) != 0) return Failed(errno);
    temp_registry.Forget(at);
    return Ok();
  }

  // A lock taken on a file that then lost its name (replaced while waiting)
  // locks nothing anyone else will look at: take it again on the new one.
  FsStatus LockFile(const Place& place, std::unique_ptr<FileLock>& lock) override {
    lock.reset();
    const At at = AtOf(place);
    for (;;) {
      Descriptor fd(OpenToInspect(at));
      if (fd.get() < 0) return errno == ENOENT || errno == ELOOP ? Ok() : Failed(errno);
      struct stat locked {};
      if (::fstat(fd.get(), &locked) != 0) return Failed(errno);
      if (!S_ISREG(locked.st_mode)) return Ok();
      while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return Failed(errno);
      }
      struct stat now {};
      if (::fstatat(at.fd, at.name.c_str(), &now, at.in_folder() ? AT_SYMLINK_NOFOLLOW : 0) != 0)
        return errno == ENOENT ? Ok() : Failed(errno);
      if (now.st_dev == locked.st_dev && now.st_ino == locked.st_ino) {
        lock = std::make_unique<PosixFileLock>(fd.Release());
        return Ok();
      }
    }
  }

  FsStatus CheckMayWrite(const Place& place) override {
    const At at = AtOf(place);
    const int flags = AT_EACCESS | (at.in_folder() ? AT_SYMLINK_NOFOLLOW : 0);
    return ::faccessat(at.fd, at.name.c_str(), W_OK, flags) == 0 ? Ok() : Failed(errno);
  }

  FsStatus OpenForRewriting(const Place& place, std::unique_ptr<RewrittenFile>& file) override {
    const At at = AtOf(place);
    // Non-blocking, so that a FIFO put under the name does not wait for a reader.
    const int fd = ::openat(at.fd, at.name.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | at.no_follow());
    if (fd < 0)
      return at.in_folder() && errno == ELOOP ? FsStatus{std::string(kNotRegularFile)} : Failed(errno);
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
      const int error = errno;
      ::close(fd);
      return S_ISREG(status.st_mode) ? Failed(error) : FsStatus{std::string(kNotRegularFile)};
    }
    file = std::make_unique<PosixRewrittenFile>(fd);
    return Ok();
  }

 private:
  // File systems that do not fill in d_type leave it to fstatat.
  static FileKind KindOfEntry(int folder_fd, const dirent& entry) {
    switch (entry.d_type) {
      case DT_REG:
        return FileKind::kRegular;
      case DT_DIR:
        return FileKind::kFolder;
      case DT_LNK:
        return FileKind::kLink;
      case DT_UNKNOWN:
        break;
      default:
        return FileKind::kOther;
    }
    struct stat status {};
    return ::fstatat(folder_fd, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 ? KindOf(status.st_mode)
                                                                                 : FileKind::kOther;
  }
};

// Returns false when not all of the text could be written.
bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

class PosixConsole final : public Console {
 public:
  bool IsTerminal(Stream stream) const override {
    return ::isatty(stream == Stream::kInput ? STDIN_FILENO : STDOUT_FILENO) != 0;
  }

  FsStatus ReadInput(std::string& bytes, std::size_t limit) override {
    bytes.clear();
    return ReadToEnd(STDIN_FILENO, bytes, 0, limit == SIZE_MAX ? limit : limit + 1) ? Ok() : Failed(errno);
  }

  // When standard output is a terminal too, the running indication is erased
  // around the text, as for standard error.
  bool WriteOutput(std::string_view text) override {
    const bool was_shown = shown_ && output_is_terminal_;
    if (was_shown) Erase();
    const bool written = WriteAll(STDOUT_FILENO, text);
    if (was_shown) Show();
    return written;
  }

  void ShowMessage(std::string_view text) override {
    std::string line(text);
    if (line.empty() || line.back() != '\n') line += '\n';
    WriteError(line);
  }

  // A message must not share its line with the running indication: erase the
  // indication first and show it again afterwards.
  void WriteError(std::string_view text) override {
    const bool was_shown = shown_;
    Erase();
    WriteAll(STDERR_FILENO, text);
    if (was_shown) Show();
  }

  // A new text replaces the one shown.
  void ShowRunning(std::string_view text) override {
    if (::isatty(STDERR_FILENO) == 0) return;
    Erase();
    running_text_ = std::string(text);
    Show();
  }

  void HideRunning() override {
    Erase();
    running_text_.clear();
  }

 private:
  void Show() {
    WriteAll(STDERR_FILENO, running_text_);
    shown_ = true;
  }
  void Erase() {
    if (!shown_) return;
    std::string blank_line(running_text_.size() + 2, ' ');
    blank_line.front() = '\r';
    blank_line.back() = '\r';
    WriteAll(STDERR_FILENO, blank_line);
    shown_ = false;
  }

  std::string running_text_;
  bool shown_ = false;
  bool output_is_terminal_ = ::isatty(STDOUT_FILENO) != 0;
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem file_system;
  return file_system;
}

PathParts SplitPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

void RemoveTempFilesOnSignals(SignalEnd end) {
  signal_end.store(static_cast<int>(end));
  struct sigaction action {};
  action.sa_sigaction = OnSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  action.sa_mask = EndingSignalSet();
  const auto install = [&](int signal) {
    ::sigaction(signal, &action, &previous_actions[static_cast<std::size_t>(signal)]);
  };
  for (const int signal : kEndingSignals) install(signal);
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) install(signal);
  for (const int signal : kFaultSignals) install(signal);
  // Writes past a file size limit then fail with an error of their own.
  if (end == SignalEnd::kExitStatus) ::signal(SIGXFSZ, SIG_IGN);
}

HoldSignals::HoldSignals() {
  if (held_here++ > 0) return;
  ::pthread_sigmask(SIG_BLOCK, &EndingSignalSet(), &mask_before_hold);
  held_steps.fetch_add(1);
  if (ending.load()) {
    // The program is ending on another thread, which removes what this step
    // would make: it never begins.
    held_steps.fetch_sub(1);
    for (;;) ::pause();
  }
}

HoldSignals::~HoldSignals() {
  if (--held_here > 0) return;
  held_steps.fetch_sub(1);
  ::pthread_sigmask(SIG_SETMASK, &mask_before_hold, nullptr);
}

Console& SystemConsole() {
  static PosixConsole console;
  return console;
}

}  // namespace qfmt::platform
