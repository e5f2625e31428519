#pragma once

#include <string>
#include <string_view>

namespace qfmt::tree {

// Appends to `out` the unified diff that turns `before` into `after`, in the
// format of `diff -u`: the lines "--- BEFORE_LABEL" and "+++ AFTER_LABEL",
// then hunks with three lines of context under "@@ -a,b +c,d @@" headers, and
// "\ No newline at end of file" after a last line without one. The changes
// are a shortest edit script of whole lines. Appends nothing for equal texts.
void AppendUnifiedDiff(std::string_view before, std::string_view after, std::string_view before_label,
                       std::string_view after_label, std::string& out);

}  // namespace qfmt::tree
