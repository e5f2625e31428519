// The platform seam on Windows. Files go through the C library, as the
// classic program's did: binary streams for the byte-for-byte backup, text
// mode for the job's input and output (see TextMode). What stands under a
// name, the backup's temporary file, its rename and the run's lock come from
// the Win32 API. The Windows build holds the classic program only, so the
// operations that only qfmt-tree uses (folders, writing in place, exchanging
// names) report that they are not available here.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/console.h"
#include "platform/file_system.h"

namespace qfmt::platform {
namespace {

FsStatus Ok() { return {}; }

// The system's words for a Win32 error code, without the line end that
// FormatMessage appends.
FsStatus Failed(DWORD error) {
  char buffer[256] = {};
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        error, 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, length);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) text.pop_back();
  if (text.empty()) text = "Windows error " + std::to_string(error);
  return {text};
}

FsStatus NotAvailable() { return {"not available in the Windows build"}; }

// The path of a place: the Windows build opens no folders, so every place is one.
std::string PathOf(const Place& place) { return std::string(place.name()); }

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

// Closes a Win32 handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (valid()) ::CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  [[nodiscard]] bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  [[nodiscard]] HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class CrtInputFile final : public ByteSource {
 public:
  CrtInputFile(FilePointer file, TextMode mode) : file_(std::move(file)), mode_(mode) {}

  std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::fread(buffer, 1, size, file_.get());
    if (n < size && std::ferror(file_.get()) != 0) return -1;
    return static_cast<std::ptrdiff_t>(n);
  }
  TextMode text_mode() const override { return mode_; }

 private:
  FilePointer file_;
  TextMode mode_;
};

class CrtOutputFile final : public OutputFile {
 public:
  CrtOutputFile(FilePointer file, TextMode mode) : file_(std::move(file)), mode_(mode) {}

  bool Write(const char* data, std::size_t size) override {
    if (std::fwrite(data, 1, size, file_.get()) != size) failed_ = true;
    return !failed_;
  }
  bool Close() override {
    const bool closed = std::fclose(file_.release()) == 0;
    return closed && !failed_;
  }
  TextMode text_mode() const override { return mode_; }
  // Flushes the written bytes to the storage device.
  FsStatus Sync() {
    if (std::fflush(file_.get()) != 0 || ::_commit(::_fileno(file_.get())) != 0)
      return {std::strerror(errno)};
    return Ok();
  }

 private:
  FilePointer file_;
  TextMode mode_;
  bool failed_ = false;
};

// 100-nanosecond intervals from 1601 to 1970.
constexpr std::int64_t kFileTimeOf1970 = 116'444'736'000'000'000;

FileInfo InfoOf(const BY_HANDLE_FILE_INFORMATION& status, bool follow_links) {
  FileInfo info;
  const DWORD attributes = status.dwFileAttributes;
  if (!follow_links && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    info.kind = FileKind::kLink;
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    info.kind = FileKind::kFolder;
  } else {
    info.kind = FileKind::kRegular;
  }
  info.permissions = (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
  info.size = static_cast<std::int64_t>((std::uint64_t{status.nFileSizeHigh} << 32) | status.nFileSizeLow);
  const std::int64_t written = static_cast<std::int64_t>(
      (std::uint64_t{status.ftLastWriteTime.dwHighDateTime} << 32) | status.ftLastWriteTime.dwLowDateTime);
  info.modified_ns = (written - kFileTimeOf1970) * 100;
  info.changed_ns = info.modified_ns;  // Windows keeps no status change time
  // A volume and the file's index on it name one file, as a device and an
  // inode do.
  info.device = status.dwVolumeSerialNumber;
  info.inode = (std::uint64_t{status.nFileIndexHigh} << 32) | status.nFileIndexLow;
  info.links = status.nNumberOfLinks;
  return info;
}

// A new file takes the security of its folder, as the classic backup always
// did; Windows files have no POSIX permission bits or extended attributes to
// carry over.
class CrtTempFile final : public TempFile {
 public:
  CrtTempFile(FilePointer file, std::string name)
      : output_(std::move(file), TextMode::kBytes), name_(std::move(name)) {}

  bool Write(const char* data, std::size_t size) override { return output_.Write(data, size); }
  bool Close() override { return output_.Close(); }
  const std::string& name() const override { return name_; }
  FsStatus KeepAttributesOf(const FileInfo&) override { return Ok(); }
  FsStatus GiveNewFilePermissions() override { return Ok(); }
  Place place() const override { return Place(name_); }
  FsStatus CopyExtendedAttributesOf(const Place&) override { return Ok(); }
  FsStatus CopyFlagsOf(const Place&) override { return Ok(); }
  FsStatus Sync() override { return output_.Sync(); }
  void Keep() override {}  // nothing removes it on its own here

 private:
  CrtOutputFile output_;
  std::string name_;
};

class WindowsFileLock final : public FileLock {
 public:
  explicit WindowsFileLock(HANDLE file) : file_(file) {}  // closing releases the lock

 private:
  Handle file_;
};

// A byte far beyond the end of any file: a lock there keeps every byte of
// the file readable and writable, as Windows locks are mandatory.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kLockOffsetLow = 0xFFFFFFFE;

class WindowsFileSystem final : public FileSystem {
 public:
  std::unique_ptr<ByteSource> OpenForReading(const Place& place) override {
    return OpenInput(PathOf(place), "rb", TextMode::kBytes);
  }
  std::unique_ptr<OutputFile> OpenForWriting(const Place& place) override {
    return OpenOutput(PathOf(place), "wb", TextMode::kBytes);
  }
  // "t" asks for text mode whatever the C library's default mode is.
  std::unique_ptr<ByteSource> OpenTextForReading(const Place& place) override {
    return OpenInput(PathOf(place), "rt", TextMode::kTranslated);
  }
  std::unique_ptr<OutputFile> OpenTextForWriting(const Place& place) override {
    return OpenOutput(PathOf(place), "wt", TextMode::kTranslated);
  }

  CopyResult CopyRest(ByteSource&, OutputFile&) override { return CopyResult::kNotHere; }

  FsStatus Inspect(const Place& place, bool follow_links, FileInfo& info) override {
    const std::string name = PathOf(place);
    // Folders open only with backup semantics; a link is itself unless followed.
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    const Handle file(::CreateFileA(name.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, flags, nullptr));
    if (!file.valid()) return Failed(::GetLastError());
    BY_HANDLE_FILE_INFORMATION status{};
    if (::GetFileInformationByHandle(file.get(), &status) == 0) return Failed(::GetLastError());
    info = InfoOf(status, follow_links);
    return Ok();
  }

  FsStatus OpenFolder(const Place&, std::unique_ptr<Folder>&, FileInfo&) override { return NotAvailable(); }
  FsStatus ListFolder(const Folder&, std::vector<FolderEntry>&) override { return NotAvailable(); }
  FsStatus ReadRegularFile(const Place&, std::size_t, std::string&, FileInfo&) override {
    return NotAvailable();
  }
  FsStatus ResolveLinks(const std::string&, std::string&) override { return NotAvailable(); }
  FsStatus CreateTempFolder(const std::string&, std::string_view, TempName, std::string&) override {
    return NotAvailable();
  }
  FsStatus RemoveFolder(const std::string&) override { return NotAvailable(); }

  FsStatus CreateTempFile(const Place& folder, std::string_view stem, TempName naming,
                          std::unique_ptr<TempFile>& file) override {
    constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint64_t seed = ::GetTickCount64() ^ (std::uint64_t{::GetCurrentProcessId()} << 32);
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = PathOf(folder) + "/" + std::string(stem);
      for (int i = 0; naming == TempName::kRandomSuffix && i < 6; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        name += kLetters[(seed >> 33) % kLetters.size()];
      }
      const HANDLE handle = ::CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_FILE_EXISTS && naming == TempName::kRandomSuffix) continue;
        return Failed(::GetLastError());
      }
      const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | _O_WRONLY);
      std::FILE* stream = fd < 0 ? nullptr : ::_fdopen(fd, "wb");
      if (stream == nullptr) {
        if (fd >= 0) {
          ::_close(fd);
        } else {
          ::CloseHandle(handle);
        }
        ::DeleteFileA(name.c_str());
        return {std::strerror(errno)};
      }
      file = std::make_unique<CrtTempFile>(FilePointer(stream), std::move(name));
      return Ok();
    }
    return Failed(ERROR_FILE_EXISTS);
  }

  FsStatus Rename(const Place& from, const Place& to) override {
    if (::MoveFileExA(PathOf(from).c_str(), PathOf(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0)
      return Failed(::GetLastError());
    return Ok();
  }
  FsStatus Exchange(const Place&, const Place&) override { return {std::string(kCannotExchange)}; }
  FsStatus Remove(const Place& place) override {
    return ::DeleteFileA(PathOf(place).c_str()) != 0 ? Ok() : Failed(::GetLastError());
  }

  FsStatus LockFile(const Place& place, std::unique_ptr<FileLock>& lock) override {
    lock.reset();
    const std::string name = PathOf(place);
    const HANDLE file =
        ::CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Ok() : Failed(error);
    }
    auto held = std::make_unique<WindowsFileLock>(file);
    if (::GetFileType(file) != FILE_TYPE_DISK) return Ok();
    OVERLAPPED range{};
    range.Offset = kLockOffsetLow;
    range.OffsetHigh = kLockOffsetHigh;
    if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &range) == 0) return Failed(::GetLastError());
    lock = std::move(held);
    return Ok();
  }

  // Opening for writing without emptying the file, and closing at once.
  FsStatus CheckMayWrite(const Place& place) override {
    const Handle file(::CreateFileA(PathOf(place).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() ? Ok() : Failed(::GetLastError());
  }
  FsStatus OpenForRewriting(const Place&, std::unique_ptr<RewrittenFile>&) override { return NotAvailable(); }

 private:
  static std::unique_ptr<ByteSource> OpenInput(const std::string& name, const char* mode, TextMode text) {
    FilePointer file(std::fopen(name.c_str(), mode));
    if (file == nullptr) return nullptr;
    return std::make_unique<CrtInputFile>(std::move(file), text);
  }
  static std::unique_ptr<OutputFile> OpenOutput(const std::string& name, const char* mode, TextMode text) {
    FilePointer file(std::fopen(name.c_str(), mode));
    if (file == nullptr) return nullptr;
    return std::make_unique<CrtOutputFile>(std::move(file), text);
  }
};

// The standard streams of the C library, in its text mode: a line feed
// reaches a file or pipe as CR LF, as in every message of the classic
// program. A window program shows its running indication in a window of
// its own, so there is none here.
class WindowsConsole final : public Console {
 public:
  FsStatus ReadInput(std::string& bytes, std::size_t limit) override {
    bytes.clear();
    char block[4096];
    while (bytes.size() <= limit) {
      const std::size_t n = std::fread(block, 1, sizeof block, stdin);
      bytes.append(block, n);
      if (n < sizeof block) break;
    }
    return std::ferror(stdin) != 0 ? FsStatus{std::strerror(errno)} : Ok();
  }
  bool WriteOutput(std::string_view text) override { return Write(stdout, text); }
  void ShowMessage(std::string_view text) override {
    std::string line(text);
    if (line.empty() || line.back() != '\n') line += '\n';
    WriteError(line);
  }
  void WriteError(std::string_view text) override { (void)Write(stderr, text); }
  void ShowRunning(std::string_view) override {}
  void HideRunning() override {}

 private:
  static bool Write(std::FILE* stream, std::string_view text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fflush(stream) == 0 && written;
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static WindowsFileSystem file_system;
  return file_system;
}

// Either separator, and a drive's own current folder ("C:name").
PathParts SplitPath(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\");
  if (separator == std::string::npos) {
    if (path.size() >= 2 && path[1] == ':') return {path.substr(0, 2) + ".", path.substr(2)};
    return {".", path};
  }
  const bool root = separator == 0 || (separator == 2 && path[1] == ':');
  return {path.substr(0, root ? separator + 1 : separator), path.substr(separator + 1)};
}

// A window program has no console to interrupt it, and it leaves no
// temporary file but while the backup is copied.
void RemoveTempFilesOnSignals(SignalEnd) {}
HoldSignals::HoldSignals() = default;
HoldSignals::~HoldSignals() = default;

Console& SystemConsole() {
  static WindowsConsole console;
  return console;
}

}  // namespace qfmt::platform
