#include "layout/layout.h"
#include "layout/text_ops.h"

namespace qfmt::layout {
namespace {
// Separates code from a comment attached to its line: always three blanks,
// whatever the indentation unit.
constexpr std::string_view kCommentGap = "   ";
}  // namespace

// A comment arrives with the white space that stood before it. Up to two of its
// leading line feeds are kept; a comment that followed code on its source line
// stays at the end of the output line when it fits; a line break follows it.
void Layout::EmitLineItem(std::string_view text) {
  const std::int32_t newlines = CountLeadingNewlines(text);
  const std::string_view body = TrimLeading(text);
  if (newlines >= 1) EmitNewline();
  if (newlines >= 2) EmitNewline();

  const std::int32_t attached_column = Add32(Add32(state_.column, static_cast<std::int64_t>(body.size())),
                                             static_cast<std::int64_t>(kCommentGap.size()));
  if (newlines == 0 && state_.column != 0 && attached_column < options_.max_line_length && !line_must_end_) {
    state_.column = attached_column;
    writer_.Write(kCommentGap);
    WriteToken(body, true);
  } else {
    FlushPending(body);
    WriteToken(body, false);
  }
  RequestNewline();
  ComputeIndent();
  // Whatever comes next must not land in a line comment.
  if (body.starts_with("//")) ProtectLineEnd();
}

}  // namespace qfmt::layout
