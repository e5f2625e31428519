#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace qfmt::tree {

// Replaces the content of the file `path` (`old_text` when it was read, when
// it was what `as_read` describes) with `text`, safely: see note [safe
// writes] in safe_write.cc. A file the program could not open for writing,
// and one that has changed since it was read, are left alone. With
// `keep_backup`, NAME.Backup first receives the old text. On any failure the
// file keeps its text and no temporary file remains, unless the error names
// one that holds text to keep.
[[nodiscard]] platform::FsStatus ReplaceFile(platform::FileSystem& files, const std::string& path,
                                             const platform::FileInfo& as_read, std::string_view old_text,
                                             std::string_view text, bool keep_backup, std::string& scratch);

}  // namespace qfmt::tree
