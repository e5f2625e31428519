#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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
  // Equal for two names of one file.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
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

// A new file with a name of its own beside the file it is to replace. The
// caller removes it (FileSystem::Remove) unless it renames it.
class TempFile : public OutputFile {
 public:
  [[nodiscard]] virtual const std::string& name() const = 0;
  // Gives the file the permission bits of `original`, and its owner and group
  // where the process may.
  virtual FsStatus KeepAttributesOf(const FileInfo& original) = 0;
  // Flushes the written bytes to the storage device.
  virtual FsStatus Sync() = 0;
};

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
  // Puts `from` in the place of `to` in one step.
  virtual FsStatus Rename(const std::string& from, const std::string& to) = 0;
  virtual FsStatus Remove(const std::string& name) = 0;
};

[[nodiscard]] FileSystem& SystemFileSystem();

}  // namespace qfmt::platform
