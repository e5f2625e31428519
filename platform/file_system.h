#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/byte_io.h"

// Every file-system call of the programs goes through FileSystem, so that tests
// can force failures; each platform implements it in a file of its own.
namespace qfmt::platform {

// The outcome of a file-system call: ok, or the platform's words for what
// went wrong ("Permission denied").
struct [[nodiscard]] FsStatus {
  std::string error;
  [[nodiscard]] bool ok() const { return error.empty(); }
};

enum class FileKind { kRegular, kFolder, kLink, kOther };

// The error of FileSystem::ReadRegularFile for anything but a regular file.
inline constexpr std::string_view kNotRegularFile = "not a regular file";

struct FileInfo {
  FileKind kind = FileKind::kOther;
  std::uint32_t permissions = 0;  // rwx for all three, set-ID and sticky bits
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;  // modification time
  std::int64_t changed_ns = 0;   // status change time: any write, rename or change of attributes
  // Equal for two names of one file.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t links = 1;  // the file's names (hard links)
};

struct FolderEntry {
  std::string name;
  FileKind kind = FileKind::kOther;  // of the entry itself: a link is kLink
};

class OutputFile : public ByteSink {
 public:
  // Closes the file; false when the close or an earlier write failed.
  [[nodiscard]] virtual bool Close() = 0;
};

// A new file with a name of its own beside the file it is to replace, made
// readable by its owner only. The caller removes it (FileSystem::Remove)
// unless it renames it; until then a signal that ends the program removes it
// too (see RemoveTempFilesOnSignals).
class TempFile : public OutputFile {
 public:
  [[nodiscard]] virtual const std::string& name() const = 0;
  // Gives the file the permission bits of `original`, and its owner and group
  // where the process may. Where the group cannot be given, the group gets no
  // rights at all, so that the file never opens to people the original did not.
  virtual FsStatus KeepAttributesOf(const FileInfo& original) = 0;
  // Gives the file the permission bits that a file newly made by the program
  // gets (0666 less the umask).
  virtual FsStatus GiveNewFilePermissions() = 0;
  // Copies every extended attribute of the file `original` (through links),
  // access control lists included; fails when one cannot be given.
  virtual FsStatus CopyExtendedAttributesOf(const std::string& original) = 0;
  // Flushes the written bytes to the storage device.
  virtual FsStatus Sync() = 0;
  // The file holds what must outlive the program: signals no longer remove it.
  virtual void Keep() = 0;
};

// An existing file opened for writing over its bytes from the start, without
// emptying it first.
class RewrittenFile : public OutputFile {
 public:
  // What the open file is now.
  virtual FsStatus Inspect(FileInfo& info) = 0;
  // Cuts the file where the bytes written end and flushes it to the storage
  // device.
  virtual FsStatus EndAndSync() = 0;
};

// An exclusive advisory lock on a file, released when it is destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// The error of FileSystem::Exchange where the system cannot exchange names.
inline constexpr std::string_view kCannotExchange = "names cannot be exchanged here";

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens a regular file for reading; null when that is not possible (a folder
  // is not a regular file).
  [[nodiscard]] virtual std::unique_ptr<ByteSource> OpenForReading(const std::string& name) = 0;
  // Creates the file, or truncates it, for writing; null on failure.
  [[nodiscard]] virtual std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) = 0;
  // The same in the C library's text mode, which the classic job reads and
  // writes its files in. Where that mode keeps the bytes as they are (POSIX),
  // these are OpenForReading and OpenForWriting.
  [[nodiscard]] virtual std::unique_ptr<ByteSource> OpenTextForReading(const std::string& name) {
    return OpenForReading(name);
  }
  [[nodiscard]] virtual std::unique_ptr<OutputFile> OpenTextForWriting(const std::string& name) {
    return OpenForWriting(name);
  }

  enum class CopyResult { kCopied, kFailed, kNotHere };
  // Appends to `to` what reading `from` would still return, inside the kernel;
  // kNotHere when this file system cannot (the caller then copies itself).
  [[nodiscard]] virtual CopyResult CopyRest(ByteSource& from, OutputFile& to) = 0;

  // What stands under the name; with follow_links, what a link leads to.
  virtual FsStatus Inspect(const std::string& name, bool follow_links, FileInfo& info) = 0;
  // The entries of a folder, without "." and "..", in no particular order.
  virtual FsStatus ListFolder(const std::string& name, std::vector<FolderEntry>& entries) = 0;
  // Replaces `bytes` with the whole content of a regular file (through links)
  // and `info` with what the open file is; refuses anything else without
  // blocking, with kNotRegularFile.
  virtual FsStatus ReadRegularFile(const std::string& name, std::string& bytes, FileInfo& info) = 0;
  // The name with every symbolic link on its way resolved.
  virtual FsStatus ResolveLinks(const std::string& name, std::string& resolved) = 0;
  // Creates a new, empty file in `folder` whose name begins with `stem`.
  virtual FsStatus CreateTempFile(const std::string& folder, std::string_view stem,
                                  std::unique_ptr<TempFile>& file) = 0;
  // Creates a temporary file in the folder of `path`, named ".NAME.qfmt-"
  // and six random characters: hidden, and no C or C++ name. NAME is cut
  // short so that the whole stays within a file name's 255 bytes.
  FsStatus CreateTempFileBeside(const std::string& path, std::unique_ptr<TempFile>& file);
  // Puts `from` in the place of `to` in one step.
  virtual FsStatus Rename(const std::string& from, const std::string& to) = 0;
  // Swaps what stands under two names, in one step; kCannotExchange where the
  // system cannot.
  virtual FsStatus Exchange(const std::string& a, const std::string& b) = 0;
  virtual FsStatus Remove(const std::string& name) = 0;

  // Locks the regular file that `name` leads to, waiting while another
  // program holds the lock; a null lock when no regular file stands there.
  virtual FsStatus LockFile(const std::string& name, std::unique_ptr<FileLock>& lock) = 0;
  // Ok when the program may open the file (through links) for writing.
  virtual FsStatus CheckMayWrite(const std::string& name) = 0;
  // Opens an existing regular file (through links) for writing over it in
  // place: every other name of the file sees what is written.
  virtual FsStatus OpenForRewriting(const std::string& name, std::unique_ptr<RewrittenFile>& file) = 0;
};

[[nodiscard]] FileSystem& SystemFileSystem();

// Removes a temporary file when it goes out of scope, unless it was put in
// place or is kept. It is closed first, as some platforms cannot remove an
// open file.
class TempFileGuard {
 public:
  TempFileGuard(FileSystem& files, std::unique_ptr<TempFile> file)
      : files_(files), file_(std::move(file)), name_(file_->name()) {}
  ~TempFileGuard() {
    file_.reset();
    if (armed_) (void)files_.Remove(name_);
  }
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;

  [[nodiscard]] TempFile& file() { return *file_; }
  [[nodiscard]] const std::string& name() const { return name_; }
  // The file was renamed into place: its name is no longer ours.
  void Release() { armed_ = false; }
  // The file holds text that must outlive the program.
  void Keep() {
    file_->Keep();
    armed_ = false;
  }

 private:
  FileSystem& files_;
  std::unique_ptr<TempFile> file_;
  std::string name_;
  bool armed_ = true;
};

// The folder of a path ("." when it names none) and the name in it, split at
// the platform's separators.
struct PathParts {
  std::string folder;
  std::string name;
};
[[nodiscard]] PathParts SplitPath(const std::string& path);

inline FsStatus FileSystem::CreateTempFileBeside(const std::string& path, std::unique_ptr<TempFile>& file) {
  const PathParts parts = SplitPath(path);
  return CreateTempFile(parts.folder, "." + parts.name.substr(0, 200) + ".qfmt-", file);
}

// How the program ends on a signal once its temporary files are removed.
enum class SignalEnd {
  kExitStatus,    // exit status 128 + the signal's number
  kAsIfUncaught,  // as the signal's default action ends it
};

// From now on, every signal that would end the program and can be caught
// first removes the temporary files of SystemFileSystem() that are neither
// renamed, removed nor kept, waiting for steps under HoldSignals to end; see
// note [signals] in the platform's file. With kExitStatus, a file size limit
// makes writes fail instead of ending the program. Call before any thread
// starts.
void RemoveTempFilesOnSignals(SignalEnd end);

// While it lives, signals that end the program wait: for steps that must not
// be cut (a file written in place, a name exchanged and checked).
class HoldSignals {
 public:
  HoldSignals();
  ~HoldSignals();
  HoldSignals(const HoldSignals&) = delete;
  HoldSignals& operator=(const HoldSignals&) = delete;
};

}  // namespace qfmt::platform
