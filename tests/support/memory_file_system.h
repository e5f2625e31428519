#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace qfmt::testing {

// Files and folders in memory, with the semantics of a POSIX file system that
// the classic job depends on: a file opened for writing is created, or emptied
// in place, so that a reader of the same file sees it emptied; a name with a
// "/" needs its folder; a folder cannot be opened. A file has an inode of its
// own and the names given to it (AddLink); its times are a count of the
// changes made to it; it has no extended attributes. There are no symbolic
// links. Temporary files are named
// FOLDER/STEM and a number. Faults can be forced on one name.
class MemoryFileSystem final : public platform::FileSystem {
 public:
  void AddFile(const std::string& name, const std::string& bytes);
  void AddFolder(const std::string& name) { folders_[name] = next_inode_++; }
  // Gives the file `existing` a second name.
  void AddLink(const std::string& existing, const std::string& name) { files_[name] = files_.at(existing); }

  // The files as they stand now, by name.
  [[nodiscard]] std::map<std::string, std::string> Files() const;

  std::string refuse_writing;  // this name cannot be opened for writing
  std::string failing_reads;   // reads of this name fail once `fail_after` bytes are read
  std::size_t fail_after = 0;
  // A disk with this many bytes left: a write that does not fit fails, and
  // the bytes written so far stay.
  std::size_t space_left = SIZE_MAX;
  std::size_t failed_writes = 0;        // writes that did not fit
  std::string not_writable;             // CheckMayWrite refuses this name
  std::string attributes_refused_from;  // the attributes of this file cannot be copied
  std::string exhausts_memory;          // reading this file runs out of memory (std::bad_alloc)
  // The next `rewrites_to_fail` openings for rewriting give files whose writes
  // fail once `rewrite_fails_after` bytes are written.
  int rewrites_to_fail = 0;
  std::size_t rewrite_fails_after = 0;
  std::function<void()> before_sync;      // runs as a temporary file is synced
  std::function<void()> before_exchange;  // runs as names are exchanged

  std::unique_ptr<platform::ByteSource> OpenForReading(const std::string& name) override;
  std::unique_ptr<platform::OutputFile> OpenForWriting(const std::string& name) override;
  // The job copies block by block here.
  CopyResult CopyRest(platform::ByteSource&, platform::OutputFile&) override { return CopyResult::kNotHere; }
  platform::FsStatus Inspect(const std::string& name, bool follow_links, platform::FileInfo& info) override;
  platform::FsStatus ListFolder(const std::string& name,
                                std::vector<platform::FolderEntry>& entries) override;
  platform::FsStatus ReadRegularFile(const std::string& name, std::string& bytes,
                                     platform::FileInfo& info) override;
  platform::FsStatus ResolveLinks(const std::string& name, std::string& resolved) override;
  platform::FsStatus CreateTempFile(const std::string& folder, std::string_view stem,
                                    std::unique_ptr<platform::TempFile>& file) override;
  platform::FsStatus Rename(const std::string& from, const std::string& to) override;
  platform::FsStatus Exchange(const std::string& a, const std::string& b) override;
  platform::FsStatus Remove(const std::string& name) override;
  platform::FsStatus LockFile(const std::string& name, std::unique_ptr<platform::FileLock>& lock) override;
  platform::FsStatus CheckMayWrite(const std::string& name) override;
  platform::FsStatus OpenForRewriting(const std::string& name,
                                      std::unique_ptr<platform::RewrittenFile>& file) override;

  // What the file under a name shares with its other names.
  struct Node {
    std::uint32_t permissions = 0644;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::int64_t changes = 0;
  };
  // Takes `size` bytes of the disk's space; false (counted) when they do not fit.
  bool TakeSpace(std::size_t size);

 private:
  struct File {
    std::shared_ptr<std::string> bytes;
    std::uint64_t inode = 0;
    std::shared_ptr<Node> node = std::make_shared<Node>();
  };

  std::map<std::string, File> files_;
  std::map<std::string, std::uint64_t> folders_;  // name, inode
  std::uint64_t next_inode_ = 1;
  int temp_files_made_ = 0;
};

}  // namespace qfmt::testing
