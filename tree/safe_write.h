#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace qfmt::tree {

// Replaces the content of the file `path` with `text`, safely: the text goes
// to a temporary file beside the file (beside its target when `path` is a
// symbolic link, which stays a link), gets the file's permission bits, is
// synced and read back, and only then is renamed over the file. `as_read` is
// what the file was when its text was read; a file that has changed since is
// left alone. With `keep_backup`, NAME.Backup first receives the old text.
// On any failure the file is untouched and no temporary file remains.
[[nodiscard]] platform::FsStatus ReplaceFile(platform::FileSystem& files, const std::string& path,
                                             const platform::FileInfo& as_read, std::string_view text,
                                             bool keep_backup, std::string& scratch);

}  // namespace qfmt::tree
