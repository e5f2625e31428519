#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "format/settle.h"
#include "format/style.h"
#include "job/format.h"
#include "layout/layout.h"
#include "modern/formatter.h"
#include "platform/status.h"

// Formatting a text held in memory, in a style, with the guarantees that
// every front end of qfmt-tree gives: the text formatted in one pass (the
// modern style, settled by construction) or settled (the classic styles, or
// formatted once), its tokens checked, its memory bounded. Nothing here touches a file, so
// the same code serves files, standard input, git's index and the browser.
namespace qfmt::format {

// The memory that one text's run may take is bounded by these: a text larger
// than kMaxTextSize is not formatted, and a formatted text may be at most
// kMaxGrowth times the size of the text and kGrowthAllowance more.
inline constexpr std::size_t kMaxTextSize = std::size_t{256} << 20;
inline constexpr std::size_t kMaxGrowth = 8;
inline constexpr std::size_t kGrowthAllowance = std::size_t{1} << 20;

// The error of a text larger than kMaxTextSize.
[[nodiscard]] std::string TooLargeError();

// How texts are formatted, beyond their layout options.
struct TextOptions {
  bool once = false;           // one classic pass instead of settling
  bool verify = true;          // compare the tokens before and after
  bool classic_limit = false;  // keep the scanner's 512-byte token limit (the classic styles)
};

// What became of one text.
struct TextOutcome {
  platform::Status status;  // ok, or why it could not be formatted
  platform::TextPosition error_place;
  bool has_error_place = false;
  // Where a token longer than the classic limit begins, when it stands in the
  // text itself (the first pass); the error names the place in its words.
  std::optional<platform::TextPosition> long_token_place;
  std::string skipped;  // why it was passed over: not formatted, not an error
};

// Formats texts one after the other, keeping its buffers from one text to the
// next; one per thread.
class TextFormatter {
 public:
  explicit TextFormatter(TextOptions options) : options_(options) {}

  // Formats `text`; when the outcome has neither error nor skipped reason,
  // formatted() holds the result. May throw std::bad_alloc; Reset() then
  // lets go of every buffer.
  [[nodiscard]] TextOutcome Format(std::string_view text, const StyleOptions& style);
  // The formatted text of the last text formatted without an error.
  [[nodiscard]] std::string_view formatted() const { return formatted_; }
  // Moves the formatted text into `into` (its buffer, where it has one of its
  // own: no copy of a large text); formatted() is empty afterwards.
  void TakeFormatted(std::string& into);
  void Reset();

 private:
  [[nodiscard]] ClassicPass& PassFor(const layout::LayoutOptions& layout);
  // False, with the outcome's reason, for a text that is not to be formatted.
  [[nodiscard]] static bool IsFormattable(std::string_view text, Style style, TextOutcome& outcome);
  // Formats into formatted_; false, with the outcome's error, where it could not.
  [[nodiscard]] bool FormatModern(std::string_view text, const StyleOptions& style, TextOutcome& outcome);
  [[nodiscard]] bool FormatClassic(std::string_view text, const StyleOptions& style, TextOutcome& outcome);

  TextOptions options_;
  std::string_view formatted_;
  modern::Formatter modern_;
  std::string modern_output_;
  // A project has a few styles at most: the passes for the last ones used.
  std::vector<std::pair<layout::LayoutOptions, std::unique_ptr<ClassicPass>>> passes_;
  Settler settler_;
};

}  // namespace qfmt::format
