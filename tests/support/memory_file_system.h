#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace qfmt::testing {

// Files and folders in memory, with the semantics of a POSIX file system that
// the classic job depends on: a file opened for writing is created, or emptied
// in place, so that a reader of the same file sees it emptied; a name with a
// "/" needs its folder; a folder cannot be opened. Each file has one name and
// an inode of its own; there are no links and no temporary files. Faults can
// be forced on one name.
class MemoryFileSystem final : public platform::FileSystem {
 public:
  void AddFile(const std::string& name, const std::string& bytes);
  void AddFolder(const std::string& name) { folders_[name] = next_inode_++; }

  // The files as they stand now, by name.
  [[nodiscard]] std::map<std::string, std::string> Files() const;

  std::string refuse_writing;  // this name cannot be opened for writing
  std::string failing_reads;   // reads of this name fail once `fail_after` bytes are read
  std::size_t fail_after = 0;

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
  platform::FsStatus Remove(const std::string& name) override;

 private:
  struct File {
    std::shared_ptr<std::string> bytes;
    std::uint64_t inode = 0;
  };

  std::map<std::string, File> files_;
  std::map<std::string, std::uint64_t> folders_;  // name, inode
  std::uint64_t next_inode_ = 1;
};

}  // namespace qfmt::testing
