#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "format/text_formatter.h"
#include "layout/layout.h"
#include "platform/file_system.h"
#include "tree/command_line.h"
#include "tree/file_walk.h"

namespace qfmt::tree {

// What became of one file.
struct FileOutcome {
  std::string error;              // why it could not be formatted; empty when it was
  job::TextPosition error_place;  // where in the file, when the error has a place
  bool has_error_place = false;
  std::string skipped;             // why it was passed over: not formatted, not changed, no error
  bool changed = false;            // its formatted text differs from its text
  job::TextPosition first_change;  // when changed: where its text first differs
  std::int64_t bytes = 0;          // of its text
  std::string output;              // for standard output: its formatted text or its diff
};

// Formats files one after the other as the options say, each with the
// layout options it is given, keeping its buffers from one file to the
// next. Each worker thread has one of its own. A file whose run finds no
// memory is an error of its own (its buffers are let go and the next file
// begins afresh).
class FileFormatter {
 public:
  FileFormatter(const TreeOptions& options, platform::FileSystem& files);

  // Reads, formats and, with --write, rewrites the file, where the walk met it.
  [[nodiscard]] FileOutcome FormatFile(const SourceFile& source, const layout::LayoutOptions& layout);
  // Formats a text that comes from no file (standard input, git's index);
  // `label` names it.
  [[nodiscard]] FileOutcome FormatText(std::string_view text, std::string_view label,
                                       const layout::LayoutOptions& layout);
  // The formatted text of the last file or text formatted without an error.
  [[nodiscard]] std::string_view formatted() const { return text_formatter_.formatted(); }

 private:
  // Formats `text` through text_formatter_; false, with the outcome's error
  // or reason, when it was not formatted.
  [[nodiscard]] bool Format(std::string_view text, const layout::LayoutOptions& layout, FileOutcome& outcome);
  void Present(std::string_view text, std::string_view label, FileOutcome& outcome) const;
  // FormatFile and FormatText, which may run out of memory.
  [[nodiscard]] FileOutcome ReadFormatAndWrite(const SourceFile& source, const layout::LayoutOptions& layout);
  [[nodiscard]] FileOutcome FormatHeldText(std::string_view text, std::string_view label,
                                           const layout::LayoutOptions& layout);
  // Lets go of every buffer, and says so for the file.
  [[nodiscard]] FileOutcome OutOfMemory();

  const TreeOptions& options_;
  platform::FileSystem& files_;
  format::TextFormatter text_formatter_;
  std::string text_;     // the file as read
  std::string scratch_;  // for reading a written file back
};

}  // namespace qfmt::tree
