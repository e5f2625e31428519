#include "layout/layout.h"
#include "platform/check.h"

namespace qfmt::layout {

void Layout::DecreaseBraceDepth() {
  --state_.brace_depth;
  QFMT_CHECK(static_cast<std::size_t>(state_.switch_level) < state_.switch_stack.size());
  // Only the innermost open switch is compared: a switch without a braced body
  // stays open until some closing brace returns to its depth.
  if (state_.switch_level >= 1 &&
      state_.switch_stack[static_cast<std::size_t>(state_.switch_level)] == state_.brace_depth) {
    --state_.switch_level;
  }
}

void Layout::PushSwitchLevel() {
  ++state_.switch_level;
  const auto level = static_cast<std::size_t>(state_.switch_level);
  if (state_.switch_stack.size() <= level) state_.switch_stack.resize(level + 1);
  state_.switch_stack[level] = state_.brace_depth;
}

void Layout::OpenBrace() {
  if (state_.brace_depth == 0) RequestNewline();
  // Inside a switch a brace on its own line sits at label level.
  if (state_.switch_level >= 1) EnterLabel();
  if (options_.brace_style != lexer::BraceStyle::kAttach) {
    RequestNewline();
    ComputeIndent();
  }
  if (state_.switch_level >= 1) LeaveLabel();
  EmitPunct("{");
  IncreaseBraceDepth();
  RequestNewline();
  ComputeIndent();
}

void Layout::CloseBrace() {
  DecreaseBraceDepth();
  RequestNewline();
  if (state_.switch_level >= 1) EnterLabel();
  ComputeIndent();
  EmitPunct("}");
  if (state_.switch_level >= 1) LeaveLabel();
}

}  // namespace qfmt::layout
