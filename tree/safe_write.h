#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace qfmt::tree {

// A file in an open folder, and the path that messages give the folder
// ("" when they name its entries alone).
struct FileAt {
  const platform::Folder& folder;
  std::string_view name;
  std::string_view shown_folder;

  [[nodiscard]] platform::Place place() const { return {folder, name}; }
  // The path in messages of an entry of the folder.
  [[nodiscard]] std::string Shown(std::string_view entry) const;
};

// The name of the copy of a file's earlier text that a write in place keeps
// beside it until the write is complete: ".NAME.qfmt-earlier-text".
[[nodiscard]] std::string EarlierTextName(std::string_view name);

// An error for a file beside which such a copy stands: an earlier write in
// place was cut short, and the file may hold neither text.
[[nodiscard]] platform::Status CheckNoCutShortWrite(platform::FileSystem& files, const FileAt& file);

// Replaces the content of the file (`old_text` when it was read, when it was
// what `as_read` describes) with `text`, safely: see note [safe writes] in
// safe_write.cc. A file the program could not open for writing, and one that
// has changed since it was read, are left alone. With `keep_backup`,
// NAME.Backup first receives the old text. On any failure the file keeps its
// text and no temporary file remains, unless the error names one that holds
// text to keep.
[[nodiscard]] platform::Status ReplaceFile(platform::FileSystem& files, const FileAt& file,
                                           const platform::FileInfo& as_read, std::string_view old_text,
                                           std::string_view text, bool keep_backup, std::string& scratch);

}  // namespace qfmt::tree
