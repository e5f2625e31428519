#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "format/text_formatter.h"
#include "platform/file_system.h"
#include "tree/command_line.h"
#include "tree/file_walk.h"
#include "tree/selected_lines.h"

namespace qfmt::tree {

// What became of one file.
struct FileOutcome {
  platform::Status status;             // ok, or why it could not be formatted
  platform::TextPosition error_place;  // where in the file, when the error has a place
  bool has_error_place = false;
  std::string skipped;                  // why it was passed over: not formatted, not changed, no error
  bool changed = false;                 // its formatted text differs from its text
  platform::TextPosition first_change;  // when changed: where its text first differs
  std::int64_t bytes = 0;               // of its text
  std::string output;                   // for standard output: its formatted text or its diff
};

// Formats files one after the other as the options say, each in the style
// it is given, keeping its buffers from one file to the
// next. Each worker thread has one of its own. A file whose run finds no
// memory is an error of its own (its buffers are let go and the next file
// begins afresh).
class FileFormatter {
 public:
  FileFormatter(const TreeOptions& options, platform::FileSystem& files);

  // Reads, formats and, with --write, rewrites the file where the walk met
  // it; only the `lines`
  // selected, when they are given.
  [[nodiscard]] FileOutcome FormatFile(const SourceFile& source, const format::StyleOptions& style,
                                       const LineSelection* lines = nullptr);
  // Formats a text that comes from no file (standard input, git's index);
  // `label` names it.
  [[nodiscard]] FileOutcome FormatText(std::string_view text, std::string_view label,
                                       const format::StyleOptions& style,
                                       const LineSelection* lines = nullptr);
  // The formatted text of the last file or text formatted without an error.
  [[nodiscard]] std::string_view formatted() const {
    return selected_ ? std::string_view(selected_text_) : text_formatter_.formatted();
  }

 private:
  // Formats `text` through text_formatter_ (only the `lines` selected, when
  // they are given); false, with the outcome's error or reason, when it was
  // not formatted.
  [[nodiscard]] bool Format(std::string_view text, const format::StyleOptions& style,
                            const LineSelection* lines, FileOutcome& outcome);
  // Takes the formatting of the selected lines only; see note [formatting some lines].
  [[nodiscard]] bool SelectLines(std::string_view text, const LineSelection& lines, FileOutcome& outcome);
  // Fills in what the outcome shows; in print mode it takes the formatted
  // text, so formatted() is empty afterwards.
  void Present(std::string_view text, std::string_view label, FileOutcome& outcome);
  // FormatFile and FormatText, which may run out of memory.
  [[nodiscard]] FileOutcome ReadFormatAndWrite(const SourceFile& source, const format::StyleOptions& style,
                                               const LineSelection* lines);
  [[nodiscard]] FileOutcome FormatHeldText(std::string_view text, std::string_view label,
                                           const format::StyleOptions& style, const LineSelection* lines);
  // Lets go of every buffer, and says so for the file.
  [[nodiscard]] FileOutcome OutOfMemory();

  const TreeOptions& options_;
  platform::FileSystem& files_;
  format::TextFormatter text_formatter_;
  std::string text_;           // the file as read
  std::string scratch_;        // for reading a written file back
  std::string selected_text_;  // the text with only the selected lines formatted
  bool selected_ = false;      // formatted() is selected_text_
  std::vector<LineRange> changed_lines_;
};

}  // namespace qfmt::tree
