#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text_position.h"
#include "tree/command_line.h"

namespace qfmt::tree {

// 1234567 as "1,234,567"; never negative.
[[nodiscard]] std::string GroupedNumber(std::int64_t number);

struct RunTotals {
  std::int64_t files = 0;  // formatted or compared without an error
  std::int64_t changed = 0;
  std::int64_t skipped = 0;  // passed over: not formatted, not changed, no error
  std::int64_t errors = 0;
  std::int64_t bytes = 0;
  double seconds = 0;
  bool written = false;  // -w: files were rewritten, not only compared
  bool checked = false;  // --check, --list or --diff: files were only compared
};

// "checked 1,234 files: 56 would change, 3 skipped, 2 errors, 48.1 MB in
// 0.41 s" (1 MB is 1,000,000 bytes): "formatted" where texts were made,
// "changed" with -w, and the skipped files only when there are some.
[[nodiscard]] std::string SummaryLine(const RunTotals& totals);

// "412 of 7,318 files, 35.2 MB/s".
[[nodiscard]] std::string ProgressLine(std::int64_t done, std::int64_t total, std::int64_t bytes,
                                       double seconds);

// Writes the lines that name a place in a file (lists, checks, errors) in
// the form asked for, and diffs, coloured or not.
class PlaceWriter {
 public:
  enum class Severity { kError, kNote };
  PlaceWriter(PlaceForm form, bool color) : form_(form), color_(color) {}

  // "PATH:LINE:COL: error: MESSAGE" (without LINE:COL when there is no
  // place), bold and red on a terminal as compilers write it; or GitHub's
  // "::error file=PATH,line=LINE,col=COL::MESSAGE". Ends with a line feed.
  [[nodiscard]] std::string Line(std::string_view path, const std::optional<platform::TextPosition>& at,
                                 Severity severity, std::string_view message) const;
  // The diff, coloured as git colours its own.
  [[nodiscard]] std::string Diff(std::string_view diff) const;

 private:
  PlaceForm form_;
  bool color_;
};

}  // namespace qfmt::tree
