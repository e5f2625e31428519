#include "tree/file_formatter.h"

#include <algorithm>
#include <new>

#include "lexer/pp_lexer.h"
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

std::string FailureText(const SettleResult& result) {
  if (result.status == SettleStatus::kNoRepetition) {
    return "no settled text after " + std::to_string(result.passes) + " passes";
  }
  if (result.failure != scanner::ScanFailure::kBufferOverflow)
    return std::string(scanner::FailureMessage(result.failure));
  std::string text = "token longer than " + std::to_string(scanner::kTokenLimit) + " bytes at line " +
                     std::to_string(result.position.line) + ", column " +
                     std::to_string(result.position.column);
  // Only the first pass reads the file's own text.
  if (result.passes > 1)
    text += " of the text after " + std::to_string(result.passes - 1) + " formatting passes";
  return text;
}

// Line and column of a byte of the text as it is in the file.
job::TextPosition PositionOfByte(std::string_view text, std::size_t offset) {
  // PositionOf counts a CR LF as one byte, as the scanner reads it.
  std::int64_t crlf_before = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string_view::npos && at < offset;
       at = text.find("\r\n", at + 2)) {
    ++crlf_before;
  }
  return job::PositionOf(text, static_cast<std::int64_t>(offset) - crlf_before);
}

// The formatted text may not pass `limit` bytes.
std::string OutputLimitError(std::size_t limit) {
  return "its formatted text would pass " + std::to_string(limit) + " bytes, the limit of " +
         std::to_string(kMaxGrowth) + " times its size and " + std::to_string(kGrowthAllowance >> 20) +
         " MiB; left as it is";
}

}  // namespace

std::string TooLargeError() {
  return "larger than " + std::to_string(kMaxTextSize >> 20) + " MiB, the limit for one file";
}

FileFormatter::FileFormatter(const TreeOptions& options, platform::FileSystem& files)
    : options_(options), files_(files) {}

ClassicPass& FileFormatter::PassFor(const layout::LayoutOptions& layout) {
  constexpr std::size_t kKept = 4;
  const auto found =
      std::find_if(passes_.begin(), passes_.end(), [&](const auto& kept) { return kept.first == layout; });
  if (found != passes_.end()) return *found->second;
  if (passes_.size() == kKept) passes_.erase(passes_.begin());
  const scanner::TokenLimit limit =
      options_.classic_limit ? scanner::TokenLimit::kClassic : scanner::TokenLimit::kLifted;
  passes_.emplace_back(layout, std::make_unique<ClassicPass>(layout, limit));
  return *passes_.back().second;
}

bool FileFormatter::Format(std::string_view text, const layout::LayoutOptions& layout, FileOutcome& outcome) {
  ClassicPass& pass = PassFor(layout);
  const std::size_t max_output = kMaxGrowth * text.size() + kGrowthAllowance;
  pass.LimitOutput(max_output);
  const SettleResult result = options_.once ? settler_.Once(text, pass) : settler_.Settle(text, pass);
  if (result.status != SettleStatus::kSettled) {
    outcome.error =
        result.failure == scanner::ScanFailure::kStopped ? OutputLimitError(max_output) : FailureText(result);
    return false;
  }
  if (!options_.verify) return true;
  const auto difference = lexer::CompareTokens(text, settler_.text());
  if (!difference) return true;
  outcome.error = "formatting would change the code here (" + difference->description + ")";
  outcome.error_place = PositionOfByte(text, difference->before_offset);
  outcome.has_error_place = true;
  return false;
}

// Binary files are left alone by the modern rules; the classic ones format
// whatever they are given.
bool FileFormatter::IsFormattable(std::string_view text, const layout::LayoutOptions& layout,
                                  FileOutcome& outcome) const {
  if (!layout.modern) return true;
  const std::size_t nul = text.find('\0');
  if (nul == std::string_view::npos) return true;
  outcome.skipped = "binary file (NUL byte at offset " + std::to_string(nul) + "), left as it is";
  return false;
}

void FileFormatter::Present(std::string_view text, std::string_view label, FileOutcome& outcome) const {
  if (outcome.changed) outcome.first_change = FirstDifference(text, settler_.text());
  if (options_.prints_text()) {
    outcome.output.assign(settler_.text());
  } else if (options_.diff && outcome.changed) {
    AppendUnifiedDiff(text, settler_.text(), "a/" + std::string(DiffName(label)),
                      "b/" + std::string(DiffName(label)), outcome.output);
  }
}

// Allocation failure is the one exception that crosses the libraries: a
// standard container that cannot grow throws it from wherever it grows.
FileOutcome FileFormatter::FormatFile(const std::string& path, const layout::LayoutOptions& layout) {
  try {
    return ReadFormatAndWrite(path, layout);
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  }
}

FileOutcome FileFormatter::FormatText(std::string_view text, std::string_view label,
                                      const layout::LayoutOptions& layout) {
  try {
    return FormatHeldText(text, label, layout);
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  }
}

FileOutcome FileFormatter::OutOfMemory() {
  passes_.clear();
  settler_ = Settler();
  text_ = std::string();
  scratch_ = std::string();
  FileOutcome outcome;
  outcome.error = "not enough memory to format it; left as it is";
  return outcome;
}

FileOutcome FileFormatter::ReadFormatAndWrite(const std::string& path, const layout::LayoutOptions& layout) {
  FileOutcome outcome;
  platform::FileInfo info;
  // The size first, so that a huge file is not read at all.
  const bool too_large = files_.Inspect(path, true, info).ok() && info.kind == platform::FileKind::kRegular &&
                         info.size > static_cast<std::int64_t>(kMaxTextSize);
  const platform::FsStatus status =
      too_large ? platform::FsStatus{} : files_.ReadRegularFile(path, text_, info);
  if (!status.ok()) {
    outcome.error = status.error == platform::kNotRegularFile ? status.error : "cannot read: " + status.error;
    return outcome;
  }
  if (too_large || text_.size() > kMaxTextSize) {
    outcome.error = TooLargeError() + "; left as it is";
    return outcome;
  }
  outcome.bytes = static_cast<std::int64_t>(text_.size());
  if (!IsFormattable(text_, layout, outcome) || !Format(text_, layout, outcome)) return outcome;
  outcome.changed = settler_.text() != text_;
  Present(text_, path, outcome);
  if (options_.write && outcome.changed) {
    outcome.error = ReplaceFile(files_, path, info, text_, settler_.text(), options_.backup, scratch_).error;
  }
  return outcome;
}

FileOutcome FileFormatter::FormatHeldText(std::string_view text, std::string_view label,
                                          const layout::LayoutOptions& layout) {
  FileOutcome outcome;
  if (text.size() > kMaxTextSize) {
    outcome.error = TooLargeError();
    return outcome;
  }
  outcome.bytes = static_cast<std::int64_t>(text.size());
  if (!IsFormattable(text, layout, outcome) || !Format(text, layout, outcome)) return outcome;
  outcome.changed = settler_.text() != text;
  Present(text, label, outcome);
  return outcome;
}

}  // namespace qfmt::tree
