#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct git_pathspec;
struct git_repository;

namespace qfmt::project {

// A file of git's index whose staged content differs from the last commit.
struct StagedFile {
  std::string path;  // relative to the work tree, with '/'
  std::string text;  // the staged content
  std::string base;  // for ReadChangedFiles: its content in the commit compared with
};

// Lines `first` to `last` of a text, counted from 1.
struct LineRange {
  std::int64_t first = 1;
  std::int64_t last = 1;
  bool operator==(const LineRange&) const = default;
};

// Replaces `lines` with the lines of `text` that a diff from `base` adds or
// changes (libgit2's, without context lines); lines that are only deleted
// mark none. Empty error when all went well.
[[nodiscard]] std::string ChangedLines(std::string_view base, std::string_view text,
                                       std::vector<LineRange>& lines);

// A git repository with a work tree, read and changed through libgit2.
class GitRepository {
 public:
  // The repository whose work tree holds the folder `folder`, or null when
  // there is none (`error` stays empty) or it cannot be opened (`error` says
  // why). With `from_environment`, GIT_DIR, GIT_INDEX_FILE and the other
  // variables that git sets for its hooks are obeyed.
  [[nodiscard]] static std::unique_ptr<GitRepository> Find(const std::string& folder, bool from_environment,
                                                           std::string& error);
  ~GitRepository();
  GitRepository(const GitRepository&) = delete;
  GitRepository& operator=(const GitRepository&) = delete;

  // The work tree's full path, ending in '/'.
  [[nodiscard]] const std::string& work_tree() const { return work_tree_; }

  // True when git's ignore rules leave out `path` (relative to the work
  // tree) and nothing of it is tracked: git tracks a file that a rule
  // ignores once it has been added.
  [[nodiscard]] bool IsIgnored(const std::string& path, bool folder);

  // The files whose staged content differs from HEAD (added, copied,
  // modified or renamed regular files), limited to the `pathspec` of paths
  // relative to the work tree (all when it is empty); empty error when all
  // went well.
  [[nodiscard]] std::string ReadStagedFiles(const std::vector<std::string>& pathspec,
                                            std::vector<StagedFile>& files);

  // The regular files whose content in the index (`from_index`) or in the
  // work tree differs from that in the commit `revision` (HEAD when it is
  // empty; before the first commit, every file), limited to `pathspec` as
  // above; each with its content in the commit, and with its staged content
  // when it comes from the index. Files that git does not track are not
  // taken, as `git diff REVISION` shows none.
  [[nodiscard]] std::string ReadChangedFiles(const std::string& revision, bool from_index,
                                             const std::vector<std::string>& pathspec,
                                             std::vector<StagedFile>& files);

  // Stages `text` as the content of `path`. With `from_work_tree`, the
  // working copy already holds it and is added as `git add` would.
  [[nodiscard]] std::string Restage(const std::string& path, std::string_view text, bool from_work_tree);

 private:
  explicit GitRepository(git_repository* repository);

  git_repository* repository_;
  std::string work_tree_;
};

// Globs as git's pathspecs read them ("*" matches across '/', and a folder's
// path matches what is under it), matched through libgit2.
class PathPatterns {
 public:
  // Empty error when all the globs could be read.
  [[nodiscard]] std::string Compile(const std::vector<std::string>& globs);
  ~PathPatterns();
  PathPatterns() = default;
  PathPatterns(const PathPatterns&) = delete;
  PathPatterns& operator=(const PathPatterns&) = delete;

  [[nodiscard]] bool Matches(const std::string& path) const;

 private:
  git_pathspec* pathspec_ = nullptr;
};

}  // namespace qfmt::project
