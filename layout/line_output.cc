#include <algorithm>

#include "layout/layout.h"

namespace qfmt::layout {

namespace {
constexpr std::int32_t kIndentRunUnits = 16;
}  // namespace

Layout::Layout(const LayoutOptions& options, OutputWriter& writer) : options_(options), writer_(writer) {
  for (std::int32_t i = 0; i < kIndentRunUnits; ++i) indent_run_ += options_.indent_string;
  // The width of one unit, for the line-length limit; the options never
  // change during a run.
  const auto tabs = std::count(options_.indent_string.begin(), options_.indent_string.end(), '\t');
  state_.indent_width = static_cast<std::int32_t>(static_cast<std::uint32_t>(
      options_.indent_string.size() +
      static_cast<std::size_t>(tabs) * static_cast<std::size_t>(options_.tab_width - 1)));
}

void Layout::ComputeIndent() {
  std::int32_t indent = Add32(state_.wizard_depth, state_.continuation);
  indent = Add32(indent, state_.brace_depth);
  indent = Add32(indent, state_.switch_level);
  if (state_.switch_level >= 1 && state_.at_label != 0) indent = Add32(indent, -1);
  state_.pending_indent = indent;
}

void Layout::EndContinuation() {
  if (state_.paren_depth <= 0) state_.continuation = 0;
}

void Layout::EmitNewline() {
  writer_.Write('\n');
  state_.column = 0;
  ClearSpacingFlags();
  state_.newline_pending = 0;
  line_must_end_ = false;
  ForgetToken();
}

// An empty unit writes nothing at any depth; skipping the loop keeps deep
// nesting linear.
void Layout::WriteIndent(std::int32_t units) {
  if (options_.indent_string.empty() || units <= 0) return;
  ForgetToken();
  for (; units >= kIndentRunUnits; units -= kIndentRunUnits) writer_.Write(indent_run_);
  if (units > 0) {
    writer_.Write(std::string_view(indent_run_)
                      .substr(0, static_cast<std::size_t>(units) * options_.indent_string.size()));
  }
}

// The token's length counts before the test, and the test runs before any
// pending line break: a token that would end a long line breaks it itself, at
// brace_depth units of indentation, and the pending indentation is dropped.
void Layout::WrapIfTooLong(std::string_view text) {
  if (text.empty()) return;
  state_.column = Add32(state_.column, static_cast<std::int64_t>(text.size()));
  const std::int32_t limit = Add32(
      options_.max_line_length, -static_cast<std::int64_t>(Mul32(state_.indent_width, state_.brace_depth)));
  if (limit > state_.column) return;
  EmitNewline();
  WriteIndent(state_.brace_depth);
  state_.newline_pending = 0;
  state_.pending_indent = 0;
}

// A protected line end (ProtectLineEnd) always comes with a pending one, which
// only EmitAttached, EmitUnindented and WriteRaw drop; they check for it.
void Layout::FlushPending(std::string_view text) {
  WrapIfTooLong(text);
  if (state_.newline_pending == 1) EmitNewline();
  if (state_.pending_indent > 0) WriteIndent(state_.pending_indent);
  state_.newline_pending = 0;
  state_.pending_indent = 0;
}

}  // namespace qfmt::layout
