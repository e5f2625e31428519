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

#include "platform/file_system.h"
#include "platform/large_pages.h"
#include "platform/posix.h"

// The file system of POSIX systems (Linux's calls where they help).
namespace qfmt::platform {

bool posix::ReadToEnd(int fd, std::string& bytes, std::size_t expected_size, std::size_t limit) {
  std::size_t used = bytes.size();
  const std::size_t first = used + std::min(std::max<std::size_t>(expected_size + 1, 4096), limit);
  if (bytes.capacity() < first) {
    bytes.reserve(first);
    PreferLargePages(bytes.data(), bytes.capacity());
  }
  bytes.resize(first);
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

namespace {

using namespace posix;  // NOLINT(google-build-using-namespace): this file implements them

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
  Status KeepAttributesOf(const FileInfo& original) override {
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
    if (::fchmod(fd_, static_cast<mode_t>(PermissionsOfCopy(original, status.st_gid))) != 0)
      return Failed(errno);
    return Ok();
  }

  Status GiveNewFilePermissions() override {
    return ::fchmod(fd_, 0666 & ~CurrentUmask()) == 0 ? Ok() : Failed(errno);
  }

  // Then the attributes the original lacks (an access control list that the
  // folder's default list gave the new file) are taken away.
  Status CopyExtendedAttributesOf(const Place& original) override {
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
  Status CopyFlagsOf(const Place& original) override {
    const Descriptor from(OpenToInspect(AtOf(original)));
    if (from.get() < 0) return Failed(errno);
    int flags = 0, own = 0;
    if (::ioctl(from.get(), FS_IOC_GETFLAGS, &flags) != 0 || (flags & kOwnersFlags) == 0) return Ok();
    if (::ioctl(fd_, FS_IOC_GETFLAGS, &own) != 0) return Failed(errno);
    const int wanted = (own & ~kOwnersFlags) | (flags & kOwnersFlags);
    if (wanted != own && ::ioctl(fd_, FS_IOC_SETFLAGS, &wanted) != 0) return Failed(errno);
    return Ok();
  }

  Status Sync() override { return ::fsync(fd_) == 0 ? Ok() : Failed(errno); }

  void Keep() override {
    const HoldSignals hold;
    LiveTempFiles().Forget(AtOf(place()));
  }

  [[nodiscard]] PosixOutputFile& output() { return output_; }

 private:
  static Status AttributeFailed(const char* name, int error_number) {
    return {std::string(name) + ": " + Failed(error_number).message()};
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

  Status Inspect(FileInfo& info) override {
    struct stat status {};
    if (::fstat(fd_, &status) != 0) return Failed(errno);
    info = InfoOf(status);
    return Ok();
  }

  Status EndAndSync() override {
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

  Status Inspect(const Place& place, bool follow_links, FileInfo& info) override {
    const At at = AtOf(place);
    struct stat status {};
    const int flags = follow_links && !at.in_folder() ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::fstatat(at.fd, at.name.c_str(), &status, flags) != 0) return Failed(errno);
    info = InfoOf(status);
    return Ok();
  }

  Status OpenFolder(const Place& place, std::unique_ptr<Folder>& folder, FileInfo& info) override {
    const At at = AtOf(place);
    Descriptor fd(::openat(at.fd, at.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | at.no_follow()));
    if (fd.get() < 0) return Failed(errno);
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) return Failed(errno);
    info = InfoOf(status);
    folder = std::make_unique<PosixFolder>(fd.Release(), status);
    return Ok();
  }

  Status ListFolder(const Folder& folder, std::vector<FolderEntry>& entries) override {
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
    Status status;
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

  Status ReadRegularFile(const Place& place, std::size_t limit, std::string& bytes, FileInfo& info) override {
    bytes.clear();
    const At at = AtOf(place);
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const Descriptor fd(
        ::openat(at.fd, at.name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | at.no_follow()));
    // In a folder, a symbolic link is not followed, and so no regular file.
    if (fd.get() < 0)
      return at.in_folder() && errno == ELOOP ? Status{std::string(kNotRegularFile)} : Failed(errno);
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

  Status ResolveLinks(const std::string& name, std::string& resolved) override {
    char* path = ::realpath(name.c_str(), nullptr);
    if (path == nullptr) return Failed(errno);
    resolved = path;
    std::free(path);
    return Ok();
  }

  // Made and registered in one held step; see note [signals].
  Status CreateTempFile(const Place& folder, std::string_view stem, TempName naming,
                        std::unique_ptr<TempFile>& file) override {
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string entry(stem);
      if (naming == TempName::kRandomSuffix) entry += RandomSuffix();
      const At at = EntryOf(folder, entry);
      if (at.name.size() >= PATH_MAX) return Failed(ENAMETOOLONG);
      const HoldSignals hold;
      TempSlot& slot = LiveTempFiles().Claim();
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

  Status CreateTempFolder(const std::string& folder, std::string_view stem, TempName naming,
                          std::string& path) override {
    for (int attempt = 0; attempt < 100; ++attempt) {
      At at;
      at.name = folder + "/" + std::string(stem);
      if (naming == TempName::kRandomSuffix) at.name += RandomSuffix();
      if (at.name.size() >= PATH_MAX) return Failed(ENAMETOOLONG);
      const HoldSignals hold;
      TempSlot& slot = LiveTempFiles().Claim();
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

  Status RemoveFolder(const std::string& path) override {
    const HoldSignals hold;
    if (::rmdir(path.c_str()) != 0) return Failed(errno);
    LiveTempFiles().Forget(AtOf(path));
    return Ok();
  }

  Status Rename(const Place& from, const Place& to) override {
    const At source = AtOf(from), destination = AtOf(to);
    const HoldSignals hold;
    if (::renameat(source.fd, source.name.c_str(), destination.fd, destination.name.c_str()) != 0)
      return Failed(errno);
    LiveTempFiles().Forget(source);
    return Ok();
  }

  Status Exchange(const Place& a, const Place& b) override {
    const At first = AtOf(a), second = AtOf(b);
    if (::renameat2(first.fd, first.name.c_str(), second.fd, second.name.c_str(), RENAME_EXCHANGE) == 0)
      return Ok();
    // Some file systems (overlays among them) refuse some exchanges they would rename.
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EXDEV)
      return {std::string(kCannotExchange)};
    return Failed(errno);
  }

  Status Remove(const Place& place) override {
    const At at = AtOf(place);
    const HoldSignals hold;
    if (::unlinkat(at.fd, at.name.c_str(), 0) != 0) return Failed(errno);
    LiveTempFiles().Forget(at);
    return Ok();
  }

  // A lock taken on a file that then lost its name (replaced while waiting)
  // locks nothing anyone else will look at: take it again on the new one.
  Status LockFile(const Place& place, std::unique_ptr<FileLock>& lock) override {
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

  Status CheckMayWrite(const Place& place) override {
    const At at = AtOf(place);
    const int flags = AT_EACCESS | (at.in_folder() ? AT_SYMLINK_NOFOLLOW : 0);
    return ::faccessat(at.fd, at.name.c_str(), W_OK, flags) == 0 ? Ok() : Failed(errno);
  }

  Status OpenForRewriting(const Place& place, std::unique_ptr<RewrittenFile>& file) override {
    const At at = AtOf(place);
    // Non-blocking, so that a FIFO put under the name does not wait for a reader.
    const int fd = ::openat(at.fd, at.name.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | at.no_follow());
    if (fd < 0)
      return at.in_folder() && errno == ELOOP ? Status{std::string(kNotRegularFile)} : Failed(errno);
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
      const int error = errno;
      ::close(fd);
      return S_ISREG(status.st_mode) ? Failed(error) : Status{std::string(kNotRegularFile)};
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

}  // namespace qfmt::platform
