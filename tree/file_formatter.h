#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "tree/command_line.h"
#include "tree/settle.h"

namespace qfmt::tree {

// What became of one file.
struct FileOutcome {
  std::string error;        // why it could not be formatted; empty when it was
  job::TextPosition where;  // the error's place in the file, when it has one
  bool has_place = false;
  std::string passed_over;  // why the file was left alone without an error
  bool changed = false;     // its formatted text differs from its text
  std::int64_t bytes = 0;   // of its text
  std::string output;       // for standard output: its formatted text or its diff
};

// Formats files one after the other as the options say, keeping its buffers
// from one file to the next. Each worker thread has one of its own.
class FileFormatter {
 public:
  FileFormatter(const TreeOptions& options, platform::FileSystem& files);

  // Reads, formats and, with --write, rewrites the file.
  [[nodiscard]] FileOutcome FormatFile(const std::string& path);
  // Formats a text that comes from no file (standard input); `label` names it.
  [[nodiscard]] FileOutcome FormatText(std::string_view text, std::string_view label);

 private:
  // Settles `text` (or formats it once) into settler_.text() and checks that
  // its tokens are kept; false, with the outcome's error, when it failed.
  [[nodiscard]] bool Format(std::string_view text, FileOutcome& outcome);
  // False, with the outcome's reason, for a text that is not to be formatted.
  [[nodiscard]] bool IsFormattable(std::string_view text, FileOutcome& outcome) const;
  void Present(std::string_view text, std::string_view label, FileOutcome& outcome) const;

  const TreeOptions& options_;
  platform::FileSystem& files_;
  ClassicPass pass_;
  Settler settler_;
  std::string text_;     // the file as read
  std::string scratch_;  // for reading a written file back
};

}  // namespace qfmt::tree
