#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

struct git_pathspec;
struct git_repository;

namespace qfmt::project {

// A file of git's index whose staged content differs from the last commit.
struct StagedFile {
  std::string path;  // relative to the work tree, with '/'
  std::string text;  // the staged content
  std::string base;  // for ReadChangedFiles: its content in the commit compared with
};

// libgit2 opens the repository's files (its index, objects, ignore files)
// with its own calls, not through the platform's FileSystem, which only
// checks the repository's owner: repositories are real folders, in tests too.
//
// Where GitRepository::Find looks for a repository.
enum class Discovery {
  kUpward,           // the folder's own, or that of a folder above it
  kHere,             // the folder's own only
  kFromEnvironment,  // as kUpward, obeying GIT_DIR, GIT_INDEX_FILE and the other variables of git's hooks
};

// Lines `first` to `last` of a text, counted from 1.
struct LineRange {
  std::int64_t first = 1;
  std::int64_t last = 1;
  bool operator==(const LineRange&) const = default;
};

// Replaces `lines` with the lines of `text` that a diff from `base` adds or
// changes (libgit2's, without context lines); lines that are only deleted
// mark none.
[[nodiscard]] platform::Status ChangedLines(std::string_view base, std::string_view text,
                                            std::vector<LineRange>& lines);

// A git repository with a work tree, read and changed through libgit2.
class GitRepository {
 public:
  // Sets `found` to the repository whose work tree holds the folder
  // `folder`, or to null when there is none; an error when it cannot be
  // opened. As git does, a repository that belongs to another user is refused
  // unless git's safe.directory setting names it.
  [[nodiscard]] static platform::Status Find(platform::FileSystem& files, const std::string& folder,
                                             Discovery discovery, std::unique_ptr<GitRepository>& found);
  ~GitRepository();
  GitRepository(const GitRepository&) = delete;
  GitRepository& operator=(const GitRepository&) = delete;

  // The work tree's full path, ending in '/'.
  [[nodiscard]] const std::string& work_tree() const { return work_tree_; }
  // The path of the repository's own folder (".git"), ending in '/'.
  [[nodiscard]] std::string git_folder() const;

  // True when git's ignore rules leave out `path` (relative to the work
  // tree) and nothing of it is tracked: git tracks a file that a rule
  // ignores once it has been added.
  [[nodiscard]] bool IsIgnored(const std::string& path, bool folder);

  // The files whose staged content differs from HEAD (added, copied,
  // modified or renamed regular files), limited to the `pathspec` of paths
  // relative to the work tree (all when it is empty).
  [[nodiscard]] platform::Status ReadStagedFiles(const std::vector<std::string>& pathspec,
                                                 std::vector<StagedFile>& files);

  // The regular files whose content in the index (`from_index`) or in the
  // work tree differs from that in the commit `revision` (HEAD when it is
  // empty; before the first commit, every file), limited to `pathspec` as
  // above; each with its content in the commit, and with its staged content
  // when it comes from the index. Files that git does not track are not
  // taken, as `git diff REVISION` shows none.
  [[nodiscard]] platform::Status ReadChangedFiles(const std::string& revision, bool from_index,
                                                  const std::vector<std::string>& pathspec,
                                                  std::vector<StagedFile>& files);

  // Stages `text` as the content of `path`, keeping its index entry's mode,
  // flags and stage: only the content changes. `working` is the working copy
  // when it now holds the text, whose file data the entry then records;
  // otherwise the entry records none, so that git compares the working copy's
  // content with it.
  [[nodiscard]] platform::Status Restage(const std::string& path, std::string_view text,
                                         const platform::FileInfo* working);

 private:
  explicit GitRepository(git_repository* repository);
  // Ok when git would open the repository for this user; otherwise why not.
  [[nodiscard]] platform::Status CheckOwnership(platform::FileSystem& files) const;

  git_repository* repository_;
  std::string work_tree_;
};

// Globs as git's pathspecs read them ("*" matches across '/', and a folder's
// path matches what is under it), matched through libgit2.
class PathPatterns {
 public:
  // Ok when all the globs could be read.
  [[nodiscard]] platform::Status Compile(const std::vector<std::string>& globs);
  ~PathPatterns();
  PathPatterns() = default;
  PathPatterns(const PathPatterns&) = delete;
  PathPatterns& operator=(const PathPatterns&) = delete;

  [[nodiscard]] bool Matches(const std::string& path) const;

 private:
  git_pathspec* pathspec_ = nullptr;
};

}  // namespace qfmt::project
