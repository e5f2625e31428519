#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace qfmt::testing {

// What a folder holds, by name: each file's bytes, "<folder>" or "<link to TARGET>".
using Contents = std::map<std::string, std::string>;
// TARGET of "<link to TARGET>"; empty for any other entry.
[[nodiscard]] std::string LinkTarget(std::string_view entry);

// Files, folders, symbolic and hard links in memory, with the POSIX semantics
// that the classic job and qfmt-tree depend on, and faults forced where told.
// For the tests and the fuzz targets; not for threads (run qfmt-tree with
// -j 1). Names are taken as given ("./a" is not "a"), and a name with a "/"
// needs its folder; only the last part of a name may be a link. A file opened
// for writing is created, or emptied in place, so that a reader of it sees it
// emptied. Each change stamps the file with `clock_ns`, which only the test
// moves. Temporary files are named STEM and a count ("t/.x.c.qfmt-1"). Files
// have no extended attributes; locks are always granted.
class MemoryFileSystem final : public platform::FileSystem {
 public:
  struct Node {
    platform::FileKind kind = platform::FileKind::kRegular;
    std::string bytes;   // of a file
    std::string target;  // of a link
    std::uint32_t permissions = 0644;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::int64_t modified_ns = 0;
    std::uint64_t inode = 0;
    bool synced = false;  // since its last write
  };

  // Each acts on a name as the program passes it, or on every temporary file.
  struct Faults {
    std::string refuse_writing;  // cannot be opened for writing, nor renamed over
    std::string failing_reads;   // reads fail once `fail_after` bytes are read
    std::size_t fail_after = 0;
    std::string refuse_temp_in;    // a folder that allows no temporary file
    std::string refuse_rename_to;  // nothing can be renamed over this name
    bool cannot_exchange = false;  // the system cannot exchange names (kCannotExchange)
    bool fail_temp_writes = false;
    bool drop_last_byte = false;  // of each write to a temporary file
    bool fail_sync = false;
    std::string attributes_refused_from;  // its extended attributes cannot be copied
    std::string exhausts_memory;          // reading it runs out of memory (std::bad_alloc)
    // A disk with this many bytes left: a write that does not fit fails, and
    // the bytes written so far stay.
    std::size_t space_left = SIZE_MAX;
    // The next `rewrites_to_fail` openings for rewriting give files whose
    // writes fail once `rewrite_fails_after` bytes are written.
    int rewrites_to_fail = 0;
    std::size_t rewrite_fails_after = 0;
    // The moments to change a file behind the program's back: when
    // ReadRegularFile has read it, as a temporary file is synced, as names
    // are exchanged.
    std::function<void(const std::string& name)> after_read;
    std::function<void()> before_sync;
    std::function<void()> before_exchange;
  };
  Faults faults;
  std::int64_t clock_ns = 1;
  std::size_t failed_writes = 0;  // writes that did not fit on the disk

  // Creates the file, or replaces its bytes in place (it keeps its inode).
  void AddFile(const std::string& name, std::string_view bytes, std::uint32_t permissions = 0644);
  void AddFolder(const std::string& name);
  // Gives the file `existing` a second name.
  void AddLink(const std::string& existing, const std::string& name) { nodes_[name] = nodes_.at(existing); }
  // Adds the entries in name order, so a folder comes before what it holds.
  void AddContents(const Contents& contents);
  // What stands under the name itself (a link is not followed), or null.
  [[nodiscard]] const Node* Find(const std::string& name) const;
  [[nodiscard]] Contents Files() const;
  // Takes `size` bytes of the disk's space; false (counted) when they do not fit.
  bool TakeSpace(std::size_t size);

  // The name of a place in this file system: its folder's name and the entry.
  [[nodiscard]] std::string NameOf(const platform::Place& place) const;

  std::unique_ptr<platform::ByteSource> OpenForReading(const platform::Place& place) override;
  std::unique_ptr<platform::OutputFile> OpenForWriting(const platform::Place& place) override;
  // The job copies block by block here.
  CopyResult CopyRest(platform::ByteSource&, platform::OutputFile&) override { return CopyResult::kNotHere; }
  platform::FsStatus Inspect(const platform::Place& place, bool follow_links,
                             platform::FileInfo& info) override;
  platform::FsStatus OpenFolder(const platform::Place& place, std::unique_ptr<platform::Folder>& folder,
                                platform::FileInfo& info) override;
  platform::FsStatus ListFolder(const platform::Folder& folder,
                                std::vector<platform::FolderEntry>& entries) override;
  platform::FsStatus ReadRegularFile(const platform::Place& place, std::size_t limit, std::string& bytes,
                                     platform::FileInfo& info) override;
  platform::FsStatus ResolveLinks(const std::string& name, std::string& resolved) override;
  platform::FsStatus CreateTempFile(const platform::Place& folder, std::string_view stem,
                                    platform::TempName naming,
                                    std::unique_ptr<platform::TempFile>& file) override;
  platform::FsStatus CreateTempFolder(const std::string& folder, std::string_view stem,
                                      platform::TempName naming, std::string& path) override;
  platform::FsStatus RemoveFolder(const std::string& path) override;
  platform::FsStatus Rename(const platform::Place& from, const platform::Place& to) override;
  platform::FsStatus Exchange(const platform::Place& a, const platform::Place& b) override;
  platform::FsStatus Remove(const platform::Place& place) override;
  platform::FsStatus LockFile(const platform::Place& place,
                              std::unique_ptr<platform::FileLock>& lock) override;
  platform::FsStatus CheckMayWrite(const platform::Place& place) override;
  platform::FsStatus OpenForRewriting(const platform::Place& place,
                                      std::unique_ptr<platform::RewrittenFile>& file) override;

 private:
  // The name that links lead to (which may not exist); empty for a loop.
  [[nodiscard]] std::string Follow(const std::string& name) const;
  // The name that a call at the place acts on: links followed for a path
  // where `follow` says, never in a folder. Empty when the place's folder
  // no longer stands under its name.
  [[nodiscard]] std::string Target(const platform::Place& place, bool follow) const;
  [[nodiscard]] bool HasFolderFor(const std::string& name) const;
  std::shared_ptr<Node> Make(const std::string& name, platform::FileKind kind);

  std::map<std::string, std::shared_ptr<Node>> nodes_;
  std::uint64_t next_inode_ = 1;
  int temp_files_ = 0;
};

}  // namespace qfmt::testing
