#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/console.h"
#include "platform/file_system.h"

namespace qfmt::platform {
namespace {

FsStatus Ok() { return {}; }
// strerror_r (the GNU form, which g++ selects) because workers fail at once.
FsStatus Failed(int error_number) {
  char buffer[256];
  return {::strerror_r(error_number, buffer, sizeof buffer)};
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
  info.device = status.st_dev;
  info.inode = status.st_ino;
  return info;
}

// Appends everything up to the end; false on a read error (errno tells
// which). The buffer starts one byte longer than the expected size, so that a
// file read whole needs no second allocation to see its end.
bool ReadToEnd(int fd, std::string& bytes, std::size_t expected_size) {
  std::size_t used = bytes.size();
  bytes.resize(used + std::max<std::size_t>(expected_size + 1, 4096));
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
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

class PosixTempFile final : public TempFile {
 public:
  PosixTempFile(int fd, std::string name) : output_(fd), fd_(fd), name_(std::move(name)) {}

  bool Write(const char* data, std::size_t size) override { return output_.Write(data, size); }
  bool Close() override { return output_.Close(); }
  const std::string& name() const override { return name_; }

  // The owner first: a change of owner clears the set-user-ID bits.
  FsStatus KeepAttributesOf(const FileInfo& original) override {
    struct stat status {};
    if (::fstat(fd_, &status) != 0) return Failed(errno);
    if (status.st_uid != original.owner || status.st_gid != original.group) {
      // Only a privileged process may give a file away; others keep it as theirs.
      if (::fchown(fd_, original.owner, original.group) != 0 && errno != EPERM) return Failed(errno);
    }
    if (::fchmod(fd_, static_cast<mode_t>(original.permissions)) != 0) return Failed(errno);
    return Ok();
  }

  FsStatus Sync() override { return ::fsync(fd_) == 0 ? Ok() : Failed(errno); }

 private:
  PosixOutputFile output_;  // owns and closes the descriptor
  int fd_;
  std::string name_;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<ByteSource> OpenForReading(const std::string& name) override {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixInputFile>(fd);
  }

  std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) override {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixOutputFile>(fd);
  }

  CopyResult CopyRest(ByteSource& from, OutputFile& to) override {
    auto* input = dynamic_cast<PosixInputFile*>(&from);
    auto* output = dynamic_cast<PosixOutputFile*>(&to);
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

  FsStatus Inspect(const std::string& name, bool follow_links, FileInfo& info) override {
    struct stat status {};
    const int result = follow_links ? ::stat(name.c_str(), &status) : ::lstat(name.c_str(), &status);
    if (result != 0) return Failed(errno);
    info = InfoOf(status);
    return Ok();
  }

  FsStatus ListFolder(const std::string& name, std::vector<FolderEntry>& entries) override {
    entries.clear();
    DIR* folder = ::opendir(name.c_str());
    if (folder == nullptr) return Failed(errno);
    FsStatus status;
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(folder);
      if (entry == nullptr) {
        if (errno != 0) status = Failed(errno);
        break;
      }
      const std::string_view entry_name = entry->d_name;
      if (entry_name == "." || entry_name == "..") continue;
      FolderEntry& added = entries.emplace_back();
      added.name = entry_name;
      added.kind = KindOfEntry(name, *entry);
    }
    ::closedir(folder);
    return status;
  }

  FsStatus ReadRegularFile(const std::string& name, std::string& bytes, FileInfo& info) override {
    bytes.clear();
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const Descriptor fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return Failed(errno);
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) return Failed(errno);
    info = InfoOf(status);
    if (info.kind != FileKind::kRegular) return {std::string(kNotRegularFile)};
    if (!ReadToEnd(fd.get(), bytes, static_cast<std::size_t>(status.st_size))) return Failed(errno);
    return Ok();
  }

  FsStatus ResolveLinks(const std::string& name, std::string& resolved) override {
    char* path = ::realpath(name.c_str(), nullptr);
    if (path == nullptr) return Failed(errno);
    resolved = path;
    std::free(path);
    return Ok();
  }

  FsStatus CreateTempFile(const std::string& folder, std::string_view stem,
                          std::unique_ptr<TempFile>& file) override {
    std::string pattern = folder;
    pattern += '/';
    pattern += stem;
    pattern += "XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return Failed(errno);
    file = std::make_unique<PosixTempFile>(fd, std::move(pattern));
    return Ok();
  }

  FsStatus Rename(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0 ? Ok() : Failed(errno);
  }

  FsStatus Remove(const std::string& name) override {
    return ::unlink(name.c_str()) == 0 ? Ok() : Failed(errno);
  }

 private:
  // File systems that do not fill in d_type leave it to lstat.
  static FileKind KindOfEntry(const std::string& folder, const dirent& entry) {
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
    const std::string path = folder + "/" + entry.d_name;
    return ::lstat(path.c_str(), &status) == 0 ? KindOf(status.st_mode) : FileKind::kOther;
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
  FsStatus ReadInput(std::string& bytes) override {
    bytes.clear();
    return ReadToEnd(STDIN_FILENO, bytes, 0) ? Ok() : Failed(errno);
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

Console& SystemConsole() {
  static PosixConsole console;
  return console;
}

}  // namespace qfmt::platform
