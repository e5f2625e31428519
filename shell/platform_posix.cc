#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "shell/platform.h"

namespace qfmt::shell {
namespace {

class PosixInputFile final : public scanner::ByteSource {
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

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<scanner::ByteSource> OpenForReading(const std::string& name) override {
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

  bool Exists(const std::string& name) override {
    struct stat info {};
    return ::lstat(name.c_str(), &info) == 0;
  }

  bool SameFile(const std::string& a, const std::string& b) override {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  }

  CopyResult CopyRest(scanner::ByteSource& from, OutputFile& to) override {
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
};

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

class PosixConsole final : public Console {
 public:
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

  void ShowRunning(std::string_view text) override {
    if (::isatty(STDERR_FILENO) == 0) return;
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
};

bool NeedsQuotes(std::string_view argument) {
  return argument.find_first_of(" \t") != std::string_view::npos &&
         argument.find('"') == std::string_view::npos;
}

}  // namespace

std::string RawCommandLine(const std::vector<std::string_view>& arguments) {
  std::string line;
  if (arguments.empty()) return line;
  const std::string_view program = arguments.front();
  const std::size_t slash = program.find_last_of('/');
  line = program.substr(slash == std::string_view::npos ? 0 : slash + 1);
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    line += ' ';
    if (argument.empty()) {
      line += "\"\"";
    } else if (!NeedsQuotes(argument)) {
      line += argument;
    } else if (argument.starts_with("-i") || argument.starts_with("-t")) {
      line += argument.substr(0, 2);
      line += '"';
      line += argument.substr(2);
      line += '"';
    } else {
      line += '"';
      line += argument;
      line += '"';
    }
  }
  return line;
}

FileSystem& SystemFileSystem() {
  static PosixFileSystem file_system;
  return file_system;
}

Console& SystemConsole() {
  static PosixConsole console;
  return console;
}

}  // namespace qfmt::shell
