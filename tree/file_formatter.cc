#include "tree/file_formatter.h"

#include <new>

#include "tree/safe_write.h"
#include "tree/unified_diff.h"

namespace qfmt::tree {
namespace {

// Names in diff headers: "a/src/x.c" for "./src/x.c" and for "/src/x.c".
std::string_view DiffName(std::string_view path) {
  for (;;) {
    if (path.starts_with("./")) {
      path.remove_prefix(2);
    } else if (path.starts_with('/')) {
      path.remove_prefix(1);
    } else {
      return path;
    }
  }
}

}  // namespace

FileFormatter::FileFormatter(const TreeOptions& options, platform::FileSystem& files)
    : options_(options),
      files_(files),
      text_formatter_(
          {.once = options.once, .verify = options.verify, .classic_limit = options.classic_limit}) {}

bool FileFormatter::Format(std::string_view text, const format::StyleOptions& style,
                           const LineSelection* lines, FileOutcome& outcome) {
  selected_ = false;
  format::TextOutcome formatted = text_formatter_.Format(text, style);
  outcome.status = std::move(formatted.status);
  outcome.error_place = formatted.error_place;
  outcome.has_error_place = formatted.has_error_place;
  outcome.skipped = std::move(formatted.skipped);
  if (!outcome.status.ok() || !outcome.skipped.empty()) return false;
  return lines == nullptr || SelectLines(text, *lines, outcome);
}

bool FileFormatter::SelectLines(std::string_view text, const LineSelection& lines, FileOutcome& outcome) {
  const std::vector<LineRange>* ranges = &lines.ranges;
  if (lines.base) {
    outcome.status = project::ChangedLines(*lines.base, text, changed_lines_);
    if (!outcome.status.ok()) return false;
    ranges = &changed_lines_;
  }
  const auto difference = FormatSelectedLines(text, text_formatter_.formatted(), *ranges, selected_text_);
  selected_ = true;
  if (!difference) return true;
  outcome.status =
      "formatting only the lines asked for would change the code here (" + difference->description + ")";
  outcome.error_place = platform::PositionOfByte(text, difference->before_offset);
  outcome.has_error_place = true;
  return false;
}

void FileFormatter::Present(std::string_view text, std::string_view label, FileOutcome& outcome) {
  // Only --check and --list name the place.
  if (outcome.changed && (options_.check || options_.list))
    outcome.first_change = FirstDifference(text, formatted());
  if (options_.prints_text()) {
    if (selected_) {
      outcome.output.assign(selected_text_);
    } else {
      text_formatter_.TakeFormatted(outcome.output);
    }
  } else if (options_.diff && outcome.changed) {
    AppendUnifiedDiff(text, formatted(), "a/" + std::string(DiffName(label)),
                      "b/" + std::string(DiffName(label)), outcome.output);
  }
}

// Allocation failure is the one exception that crosses the libraries: a
// standard container that cannot grow throws it from wherever it grows.
FileOutcome FileFormatter::FormatFile(const SourceFile& source, const format::StyleOptions& style,
                                      const LineSelection* lines) {
  try {
    return ReadFormatAndWrite(source, style, lines);
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  }
}

FileOutcome FileFormatter::FormatText(std::string_view text, std::string_view label,
                                      const format::StyleOptions& style, const LineSelection* lines) {
  try {
    return FormatHeldText(text, label, style, lines);
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  }
}

FileOutcome FileFormatter::OutOfMemory() {
  text_formatter_.Reset();
  text_ = std::string();
  scratch_ = std::string();
  selected_text_ = std::string();
  selected_ = false;
  FileOutcome outcome;
  outcome.status = std::string("not enough memory to format it; left as it is");
  return outcome;
}

// A file that the program cannot reach again as the walk met it, or beside
// which an earlier write in place left its copy, is not read.
FileOutcome FileFormatter::ReadFormatAndWrite(const SourceFile& source, const format::StyleOptions& style,
                                              const LineSelection* lines) {
  FileOutcome outcome;
  std::unique_ptr<platform::Folder> folder;
  if (const platform::Status status = OpenWalkedFolder(files_, *source.folder, folder); !status.ok()) {
    outcome.status = status.message() + "; left as it is";
    return outcome;
  }
  const FileAt file{*folder, source.name, source.folder->shown};
  if (outcome.status = CheckNoCutShortWrite(files_, file); !outcome.status.ok()) return outcome;
  platform::FileInfo info;
  // A file too large is not even read.
  if (const platform::Status status = files_.ReadRegularFile(file.place(), format::kMaxTextSize, text_, info);
      !status.ok()) {
    outcome.status = status.message() == platform::kNotRegularFile ? status.message()
                     : status.message() == platform::kTooLarge ? format::TooLargeError() + "; left as it is"
                                                               : "cannot read: " + status.message();
    return outcome;
  }
  outcome.bytes = static_cast<std::int64_t>(text_.size());
  if (!Format(text_, style, lines, outcome)) return outcome;
  outcome.changed = formatted() != text_;
  Present(text_, source.path, outcome);
  if (options_.write && outcome.changed) {
    outcome.status = ReplaceFile(files_, file, info, text_, formatted(), options_.backup, scratch_);
  }
  return outcome;
}

FileOutcome FileFormatter::FormatHeldText(std::string_view text, std::string_view label,
                                          const format::StyleOptions& style, const LineSelection* lines) {
  FileOutcome outcome;
  // A text too large to format is not counted.
  if (text.size() <= format::kMaxTextSize) outcome.bytes = static_cast<std::int64_t>(text.size());
  if (!Format(text, style, lines, outcome)) return outcome;
  outcome.changed = formatted() != text;
  Present(text, label, outcome);
  return outcome;
}

}  // namespace qfmt::tree
