#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "project/git_repository.h"
#include "tree/command_line.h"
#include "tree/selected_lines.h"

namespace qfmt::tree {

// The path in messages of an entry of a folder that messages call
// `folder` ("" when they name its entries alone).
[[nodiscard]] std::string ShownEntry(std::string_view folder, std::string_view entry);

// A folder that a walk met, and the way back to it: from a folder reached by
// its path, down entries that must still be the folders the walk met.
struct WalkedFolder {
  std::shared_ptr<const WalkedFolder> parent;  // null for a folder reached by its path
  std::string name;                            // that path, or the entry's name in the parent
  std::string shown;                           // its path in messages
  std::uint64_t device = 0;
  std::uint64_t inode = 0;

  // The path in messages of an entry of the folder.
  [[nodiscard]] std::string Shown(std::string_view entry) const;
};

// Opens the folder again; an error naming it when a folder on the way is no
// longer the one the walk met (replaced, moved, or now a symbolic link).
[[nodiscard]] platform::Status OpenWalkedFolder(platform::FileSystem& files, const WalkedFolder& walked,
                                                std::unique_ptr<platform::Folder>& folder);

// A file to format, or a path that cannot be taken or is passed over,
// reported in its place.
struct SourceFile {
  std::string path;                                      // as messages name it
  platform::Status status = {};                          // ok for a file to format
  std::string skipped = {};                              // why it is passed over; empty for a file to format
  std::shared_ptr<const WalkedFolder> folder = nullptr;  // for a file to format: where it stands
  std::string name = {};                                 // and its entry there
  bool left_out = false;  // with --verbose: what a walk passed over (`skipped` says why), not counted
  std::optional<LineSelection> lines = std::nullopt;  // --lines, --changed: only these lines
};

// The file `relative` (a path with '/') below the folder `root`, reached by
// its path, as a walk would meet it: without following a link below `root`;
// an error in its place when it cannot be reached.
[[nodiscard]] SourceFile SourceBelow(platform::FileSystem& files, const std::string& root,
                                     std::string_view relative, std::string shown);

// The last part of a path ("c.c" of "a/b/c.c/").
[[nodiscard]] std::string_view BaseName(std::string_view path);

// True for the names of C and C++ files (see kSourceExtensions; never a
// ".Backup" copy).
[[nodiscard]] bool IsSourceName(std::string_view name);

// The extensions of C and C++ files as the help text lists them.
[[nodiscard]] std::string SourceExtensionList();

// The --exclude globs, matched against a path as it is spelled relative to
// the folder where a walk began and relative to the current folder (with or
// without "./", a trailing '/' or a full path), and against its last part.
class Excludes {
 public:
  // Ok when all the globs could be read.
  [[nodiscard]] platform::Status Compile(const std::vector<std::string>& globs);
  // `in_walk` is the path relative to the walk's folder, when there is one.
  [[nodiscard]] bool Match(const std::string& path, std::string_view in_walk) const;

 private:
  project::PathPatterns patterns_;
  bool any_ = false;
  std::string current_folder_;
};

// The C and C++ files among `options.paths` and under the folders among
// them, in sorted path order; a path that does not exist is reported in its
// place, and a named file of another kind is passed over (taken with
// --assume-filename). Folders are walked without their hidden entries (names
// that begin with a dot, ".git" among them), without symbolic links, and
// without what git ignores (the rules of every repository a walk enters)
// and the --exclude globs match; a folder given as a path is walked whatever
// its name, and a link given as a path is followed. A repository that git
// would not open, and a folder whose ignore rules cannot be read, are
// reported in the place of their files; so is a folder given as a path that
// gives nothing because of git's rules and --exclude. With --verbose what
// the walks pass over is reported too (`left_out`). Two names of one file
// give it once, under the name that sorts first.
[[nodiscard]] std::vector<SourceFile> CollectSourceFiles(platform::FileSystem& files,
                                                         const TreeOptions& options);

// The message for a named file of another kind.
inline constexpr std::string_view kNotSourceName =
    "not a C or C++ file name, passed over (--assume-filename NAME.c to format it)";

}  // namespace qfmt::tree
