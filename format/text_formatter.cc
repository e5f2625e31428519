#include "format/text_formatter.h"

#include <algorithm>

#include "lexer/pp_lexer.h"

namespace qfmt::format {
namespace {

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

// The formatted text may not pass `limit` bytes.
std::string OutputLimitError(std::size_t limit) {
  return "its formatted text would pass " + std::to_string(limit) + " bytes, the limit of " +
         std::to_string(kMaxGrowth) + " times its size and " + std::to_string(kGrowthAllowance >> 20) +
         " MiB; left as it is";
}

}  // namespace

job::TextPosition PositionOfByte(std::string_view text, std::size_t offset) {
  // PositionOf counts a CR LF as one byte, as the scanner reads it.
  std::int64_t crlf_before = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string_view::npos && at < offset;
       at = text.find("\r\n", at + 2)) {
    ++crlf_before;
  }
  return job::PositionOf(text, static_cast<std::int64_t>(offset) - crlf_before);
}

std::string TooLargeError() {
  return "larger than " + std::to_string(kMaxTextSize >> 20) + " MiB, the limit for one file";
}

ClassicPass& TextFormatter::PassFor(const layout::LayoutOptions& layout) {
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

// Binary files are left alone by the modern rules; the classic ones format
// whatever they are given.
bool TextFormatter::IsFormattable(std::string_view text, const layout::LayoutOptions& layout,
                                  TextOutcome& outcome) {
  if (text.size() > kMaxTextSize) {
    outcome.error = TooLargeError();
    return false;
  }
  if (!layout.modern) return true;
  const std::size_t nul = text.find('\0');
  if (nul == std::string_view::npos) return true;
  outcome.skipped = "binary file (NUL byte at offset " + std::to_string(nul) + "), left as it is";
  return false;
}

TextOutcome TextFormatter::Format(std::string_view text, const layout::LayoutOptions& layout) {
  TextOutcome outcome;
  if (!IsFormattable(text, layout, outcome)) return outcome;
  ClassicPass& pass = PassFor(layout);
  const std::size_t max_output = kMaxGrowth * text.size() + kGrowthAllowance;
  pass.LimitOutput(max_output);
  const SettleResult result = options_.once ? settler_.Once(text, pass) : settler_.Settle(text, pass);
  if (result.status != SettleStatus::kSettled) {
    outcome.error =
        result.failure == scanner::ScanFailure::kStopped ? OutputLimitError(max_output) : FailureText(result);
    if (result.failure == scanner::ScanFailure::kBufferOverflow && result.passes == 1)
      outcome.long_token_place = result.position;
    return outcome;
  }
  if (!options_.verify) return outcome;
  const auto difference = lexer::CompareTokens(text, settler_.text());
  if (!difference) return outcome;
  outcome.error = "formatting would change the code here (" + difference->description + ")";
  outcome.error_place = PositionOfByte(text, difference->before_offset);
  outcome.has_error_place = true;
  return outcome;
}

void TextFormatter::Reset() {
  passes_.clear();
  settler_ = Settler();
}

}  // namespace qfmt::format
