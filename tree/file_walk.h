#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "tree/command_line.h"
#include "tree/selected_lines.h"

namespace qfmt::tree {

// A file to format, or a path that cannot be taken or is passed over,
// reported in its place.
struct SourceFile {
  std::string path;
  std::string error;      // empty for a file to format
  std::string skipped;    // why it is passed over; empty for a file to format
  bool left_out = false;  // with --verbose: what a walk passed over (`skipped` says why), not counted
  std::optional<LineSelection> lines = std::nullopt;  // --lines, --changed: only these lines
};

// The last part of a path ("c.c" of "a/b/c.c/").
[[nodiscard]] std::string_view BaseName(std::string_view path);

// True for the names of C and C++ files (see kSourceExtensions; never a
// ".Backup" copy).
[[nodiscard]] bool IsSourceName(std::string_view name);

// The extensions of C and C++ files as the help text lists them.
[[nodiscard]] std::string SourceExtensionList();

// The C and C++ files among `options.paths` and under the folders among
// them, in sorted path order; a path that does not exist is reported in its
// place, and a named file of another kind is passed over (taken with
// --assume-filename). Folders are walked without their hidden entries (names
// that begin with a dot, ".git" among them), without links to folders, and
// without what git ignores and the --exclude globs match; a folder given as
// a path is walked whatever its name, and is reported when nothing is taken
// from it because of those. With --verbose what the walks pass over is
// reported too (`left_out`). Two names of one file give it once, under the
// name that sorts first.
[[nodiscard]] std::vector<SourceFile> CollectSourceFiles(platform::FileSystem& files,
                                                         const TreeOptions& options);

// The message for a named file of another kind.
inline constexpr std::string_view kNotSourceName =
    "not a C or C++ file name, passed over (--assume-filename NAME.c to format it)";

}  // namespace qfmt::tree
