#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text_position.h"

namespace qfmt::tree {

// The lines of a text, each with its line feed when it has one, so that a last
// line without one differs from the same text with one, as for diff.
[[nodiscard]] std::vector<std::string_view> SplitLines(std::string_view text);

// Which lines of each side are not in a longest common subsequence of the two.
struct LineChanges {
  std::vector<bool> deleted;   // per line of before
  std::vector<bool> inserted;  // per line of after
};
[[nodiscard]] LineChanges CompareLines(const std::vector<std::string_view>& before,
                                       const std::vector<std::string_view>& after);

// Appends to `out` the unified diff that turns `before` into `after`, in the
// format of `diff -u`: the lines "--- BEFORE_LABEL" and "+++ AFTER_LABEL",
// then hunks with three lines of context under "@@ -a,b +c,d @@" headers, and
// "\ No newline at end of file" after a last line without one. The changes
// are a shortest edit script of whole lines. Appends nothing for equal texts.
void AppendUnifiedDiff(std::string_view before, std::string_view after, std::string_view before_label,
                       std::string_view after_label, std::string& out);

// Where `after` first differs from `before`, as a line and a column (both
// from 1, the column counted in bytes) of `before`; for equal texts, just
// past the end of `before`.
[[nodiscard]] platform::TextPosition FirstDifference(std::string_view before, std::string_view after);

}  // namespace qfmt::tree
