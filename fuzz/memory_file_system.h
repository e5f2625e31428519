#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "shell/platform.h"

namespace qfmt::fuzz {

// Files and folders in memory, with the semantics of a POSIX file system that
// the job depends on: a file opened for writing is created, or emptied in
// place, so that a reader of the same file sees it emptied; a name with a "/"
// needs its folder; a folder cannot be opened. Each file has one name. Faults
// can be forced on one name.
class MemoryFileSystem final : public shell::FileSystem {
 public:
  void AddFile(const std::string& name, const std::string& bytes);
  void AddFolder(const std::string& name) { folders_.insert(name); }

  // The files as they stand now, by name.
  [[nodiscard]] std::map<std::string, std::string> Files() const;

  std::string refuse_writing;  // this name cannot be opened for writing
  std::string failing_reads;   // reads of this name fail once `fail_after` bytes are read
  std::size_t fail_after = 0;

  std::unique_ptr<scanner::ByteSource> OpenForReading(const std::string& name) override;
  std::unique_ptr<shell::OutputFile> OpenForWriting(const std::string& name) override;
  bool Exists(const std::string& name) override {
    return files_.count(name) != 0 || folders_.count(name) != 0;
  }
  // No copying in the kernel here: the job copies block by block.
  CopyResult CopyRest(scanner::ByteSource&, shell::OutputFile&) override { return CopyResult::kNotHere; }

 private:
  std::map<std::string, std::shared_ptr<std::string>> files_;
  std::set<std::string> folders_;
};

}  // namespace qfmt::fuzz
