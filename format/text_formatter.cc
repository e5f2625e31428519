#include "format/text_formatter.h"

#include <algorithm>

#include "lexer/pp_lexer.h"
#include "modern/formatter.h"
#include "platform/text_position.h"

namespace qfmt::format {
namespace {

std::string FailureText(const SettleResult& result) {
  if (!result.long_token) return result.status.message();
  std::string text = "token longer than " + std::to_string(scanner::kTokenLimit) + " bytes at line " +
                     std::to_string(result.long_token->line) + ", column " +
                     std::to_string(result.long_token->column);
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

// Binary files are left alone; the exact classic rules format whatever they
// are given.
bool TextFormatter::IsFormattable(std::string_view text, Style style, TextOutcome& outcome) {
  if (text.size() > kMaxTextSize) {
    outcome.status = TooLargeError();
    return false;
  }
  if (style == Style::kExact) return true;
  const std::size_t nul = text.find('\0');
  if (nul == std::string_view::npos) return true;
  outcome.skipped = "binary file (NUL byte at offset " + std::to_string(nul) + "), left as it is";
  return false;
}

TextOutcome TextFormatter::Format(std::string_view text, const StyleOptions& style) {
  TextOutcome outcome;
  formatted_ = {};
  if (!IsFormattable(text, style.style, outcome)) return outcome;
  const bool modern = style.style == Style::kModern;
  if (!(modern ? FormatModern(text, style, outcome) : FormatClassic(text, style, outcome))) return outcome;
  if (!options_.verify) return outcome;
  // The classic layouts move comments by design; the modern style keeps a
  // comment that ends a line of code behind its code.
  const auto difference = lexer::CompareTokens(text, formatted_, {.trailing_comments = modern});
  if (!difference) return outcome;
  outcome.status = "formatting would change the code here (" + difference->description + ")";
  outcome.error_place = platform::PositionOfByte(text, difference->before_offset);
  outcome.has_error_place = true;
  return outcome;
}

// One pass: the modern style is settled by construction.
bool TextFormatter::FormatModern(std::string_view text, const StyleOptions& style, TextOutcome& outcome) {
  const layout::LayoutOptions& layout = style.layout;
  modern::Options options;
  const bool unlimited = layout.max_line_length == 0 || layout.max_line_length == INT32_MAX;
  options.max_line_length = unlimited ? 0 : layout.max_line_length;
  options.indent = layout.indent_string;
  options.indent_from_file = style.indent_from_file;
  options.braces = layout.brace_style;
  options.tab_width = style.tab_width;
  const std::size_t max_output = kMaxGrowth * text.size() + kGrowthAllowance;
  if (!modern_.Format(text, options, modern_output_, max_output)) {
    outcome.status = OutputLimitError(max_output);
    return false;
  }
  formatted_ = modern_output_;
  return true;
}

bool TextFormatter::FormatClassic(std::string_view text, const StyleOptions& style, TextOutcome& outcome) {
  ClassicPass& pass = PassFor(ClassicLayout(style));
  const std::size_t max_output = kMaxGrowth * text.size() + kGrowthAllowance;
  pass.LimitOutput(max_output);
  const SettleResult result = options_.once ? settler_.Once(text, pass) : settler_.Settle(text, pass);
  if (!result.status.ok()) {
    outcome.status = result.output_limit_reached ? OutputLimitError(max_output) : FailureText(result);
    if (result.long_token && result.passes == 1) outcome.long_token_place = result.long_token;
    return false;
  }
  formatted_ = settler_.text();
  return true;
}

void TextFormatter::TakeFormatted(std::string& into) {
  if (formatted_.data() == modern_output_.data()) {
    into.swap(modern_output_);
    modern_output_.clear();
  } else {
    into.assign(formatted_);
  }
  formatted_ = {};
}

void TextFormatter::Reset() {
  passes_.clear();
  settler_ = Settler();
  modern_ = modern::Formatter();
  modern_output_ = std::string();
  formatted_ = {};
}

}  // namespace qfmt::format
