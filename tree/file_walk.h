#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace qfmt::tree {

// A file to format, or a path that cannot be taken, reported in its place.
struct SourceFile {
  std::string path;
  std::string error;  // empty for a file to format
};

// True for the names of C and C++ files: .c .h .cc .cpp .cxx .c++ .hh .hpp
// .hxx .h++ .inl .ipp .tcc (never a ".Backup" copy).
[[nodiscard]] bool IsSourceName(std::string_view name);

// The C and C++ files among `paths` and under the folders among them, in
// sorted path order; a path that does not exist is reported in its place.
// Folders are walked without their hidden entries (names that begin with a
// dot, ".git" among them) and without links to folders; a folder given as a
// path is walked whatever its name. Two names of one file give it once,
// under the name that sorts first.
[[nodiscard]] std::vector<SourceFile> CollectSourceFiles(platform::FileSystem& files,
                                                         const std::vector<std::string>& paths);

}  // namespace qfmt::tree
