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
  bool missing = false;  // nothing stands there (nor, for a path, a folder on its way)
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

// An open folder. Its entries are reached through it, and never through a
// symbolic link, whatever is renamed or replaced around it meanwhile.
class Folder {
 public:
  virtual ~Folder() = default;
};

// Where a file-system call acts: a path, from the current folder, with the
// links on its way followed; or an entry of an open folder, where a symbolic
// link is never followed (a call that would follow one acts on the link, or
// fails). A parameter type only: it refers to the strings it is made from.
class Place {
 public:
  Place(const std::string& path) : name_(path) {}  // NOLINT(google-explicit-constructor): a path is a place
  Place(const char* path) : name_(path) {}         // NOLINT(google-explicit-constructor)
  Place(const Folder& folder, std::string_view name) : folder_(&folder), name_(name) {}
  // The open folder itself.
  explicit Place(const Folder& folder) : folder_(&folder), name_(".") {}

  [[nodiscard]] const Folder* folder() const { return folder_; }
  [[nodiscard]] std::string_view name() const { return name_; }

 private:
  const Folder* folder_ = nullptr;
  std::string_view name_;
};

// How CreateTempFile names a file: its stem and six random characters, or
// its stem alone (failing when the name is taken).
enum class TempName { kRandomSuffix, kExact };

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
  // Its name: in the open folder where it was made, or its path.
  [[nodiscard]] virtual const std::string& name() const = 0;
  // Where it stands, for the calls of the file system.
  [[nodiscard]] virtual Place place() const = 0;
  // Gives the file the permission bits of `original`, and its owner and group
  // where the process may. Where the group cannot be given, the group gets no
  // rights at all, so that the file never opens to people the original did not.
  virtual FsStatus KeepAttributesOf(const FileInfo& original) = 0;
  // Gives the file the permission bits that a file newly made by the program
  // gets (0666 less the umask).
  virtual FsStatus GiveNewFilePermissions() = 0;
  // Copies every extended attribute of the file `original`, access control
  // lists included; fails when one cannot be given.
  virtual FsStatus CopyExtendedAttributesOf(const Place& original) = 0;
  // Gives the file, still empty, the flags of the file `original` that its
  // owner may set (chattr's d, A, S, c, C and the like), where the file system
  // keeps such flags; fails when one cannot be given.
  virtual FsStatus CopyFlagsOf(const Place& original) = 0;
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
// The error of FileSystem::ReadRegularFile for a file larger than its limit.
inline constexpr std::string_view kTooLarge = "larger than the limit";

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens a regular file for reading; null when that is not possible (a folder
  // is not a regular file).
  [[nodiscard]] virtual std::unique_ptr<ByteSource> OpenForReading(const Place& place) = 0;
  // Creates the file, or truncates it, for writing; null on failure.
  [[nodiscard]] virtual std::unique_ptr<OutputFile> OpenForWriting(const Place& place) = 0;
  // The same in the C library's text mode, which the classic job reads and
  // writes its files in. Where that mode keeps the bytes as they are (POSIX),
  // these are OpenForReading and OpenForWriting.
  [[nodiscard]] virtual std::unique_ptr<ByteSource> OpenTextForReading(const Place& place) {
    return OpenForReading(place);
  }
  [[nodiscard]] virtual std::unique_ptr<OutputFile> OpenTextForWriting(const Place& place) {
    return OpenForWriting(place);
  }

  enum class CopyResult { kCopied, kFailed, kNotHere };
  // Appends to `to` what reading `from` would still return, inside the kernel;
  // kNotHere when this file system cannot (the caller then copies itself).
  [[nodiscard]] virtual CopyResult CopyRest(ByteSource& from, OutputFile& to) = 0;

  // What stands at the place; with follow_links, what a link leads to.
  virtual FsStatus Inspect(const Place& place, bool follow_links, FileInfo& info) = 0;
  // Opens the folder at the place, and tells what it is.
  virtual FsStatus OpenFolder(const Place& place, std::unique_ptr<Folder>& folder, FileInfo& info) = 0;
  // The entries of a folder, without "." and "..", in no particular order.
  virtual FsStatus ListFolder(const Folder& folder, std::vector<FolderEntry>& entries) = 0;
  // Replaces `bytes` with the whole content of a regular file and `info`
  // with what the open file is; refuses anything else without blocking, with
  // kNotRegularFile, and a file of more than `limit` bytes with kTooLarge
  // (without reading it when its size tells).
  virtual FsStatus ReadRegularFile(const Place& place, std::size_t limit, std::string& bytes,
                                   FileInfo& info) = 0;
  // The path with every symbolic link on its way resolved.
  virtual FsStatus ResolveLinks(const std::string& name, std::string& resolved) = 0;
  // Creates a new, empty file in the folder at `folder`, named after `stem`.
  virtual FsStatus CreateTempFile(const Place& folder, std::string_view stem, TempName naming,
                                  std::unique_ptr<TempFile>& file) = 0;
  // Creates a temporary file beside the place, named ".NAME.qfmt-" and six
  // random characters: hidden, and no C or C++ name. NAME is cut short so
  // that the whole stays within a file name's 255 bytes.
  FsStatus CreateTempFileBeside(const Place& place, std::unique_ptr<TempFile>& file);
  // Creates a new folder, readable by its owner only, in the folder at
  // `folder`, named as CreateTempFile names files; `path` receives its path.
  // Signals remove it, once what was made in it is removed, until
  // RemoveFolder does.
  virtual FsStatus CreateTempFolder(const std::string& folder, std::string_view stem, TempName naming,
                                    std::string& path) = 0;
  // Removes an empty folder.
  virtual FsStatus RemoveFolder(const std::string& path) = 0;
  // Puts `from` in the place of `to` in one step.
  virtual FsStatus Rename(const Place& from, const Place& to) = 0;
  // Swaps what stands at two places, in one step; kCannotExchange where the
  // system cannot.
  virtual FsStatus Exchange(const Place& a, const Place& b) = 0;
  virtual FsStatus Remove(const Place& place) = 0;

  // Locks the regular file at the place, waiting while another program holds
  // the lock; a null lock when no regular file stands there.
  virtual FsStatus LockFile(const Place& place, std::unique_ptr<FileLock>& lock) = 0;
  // Ok when the program may open the file for writing.
  virtual FsStatus CheckMayWrite(const Place& place) = 0;
  // Opens an existing regular file for writing over it in place: every other
  // name of the file sees what is written.
  virtual FsStatus OpenForRewriting(const Place& place, std::unique_ptr<RewrittenFile>& file) = 0;
};

[[nodiscard]] FileSystem& SystemFileSystem();

// Removes a temporary file when it goes out of scope, unless it was put in
// place or is kept. It is closed first, as some platforms cannot remove an
// open file; the folder it stands in must outlive the guard.
class TempFileGuard {
 public:
  TempFileGuard(FileSystem& files, std::unique_ptr<TempFile> file)
      : files_(files), file_(std::move(file)), name_(file_->name()), folder_(file_->place().folder()) {}
  ~TempFileGuard() {
    file_.reset();
    if (armed_) (void)files_.Remove(place());
  }
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;

  [[nodiscard]] TempFile& file() { return *file_; }
  [[nodiscard]] const std::string& name() const { return name_; }
  [[nodiscard]] Place place() const { return folder_ != nullptr ? Place(*folder_, name_) : Place(name_); }
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
  const Folder* folder_;
  bool armed_ = true;
};

// The folder of a path ("." when it names none) and the name in it, split at
// the platform's separators.
struct PathParts {
  std::string folder;
  std::string name;
};
[[nodiscard]] PathParts SplitPath(const std::string& path);

inline FsStatus FileSystem::CreateTempFileBeside(const Place& place, std::unique_ptr<TempFile>& file) {
  if (place.folder() != nullptr) {
    const std::string stem = "." + std::string(place.name().substr(0, 200)) + ".qfmt-";
    return CreateTempFile(Place(*place.folder()), stem, TempName::kRandomSuffix, file);
  }
  const PathParts parts = SplitPath(std::string(place.name()));
  return CreateTempFile(parts.folder, "." + parts.name.substr(0, 200) + ".qfmt-", TempName::kRandomSuffix,
                        file);
}

// How the program ends on a signal once its temporary files are removed.
enum class SignalEnd {
  kExitStatus,    // exit status 128 + the signal's number
  kAsIfUncaught,  // as the signal's default action ends it
};

// From now on, every signal that would end the program and can be caught
// first removes the temporary files of SystemFileSystem() that are neither
// renamed, removed nor kept, and then its temporary folders that are not
// removed, waiting for steps under HoldSignals to end; see
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
