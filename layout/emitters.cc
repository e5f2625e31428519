#include "layout/layout.h"

namespace qfmt::layout {

// The flags are tested after FlushPending: a token that begins a new line sees
// them cleared and gets no space after its indentation.

void Layout::EmitWord(std::string_view text) {
  FlushPending(text);
  if (state_.last_was_word != 0 || state_.last_was_keyword != 0) writer_.Write(' ');
  ClearSpacingFlags();
  state_.last_was_word = 1;
  writer_.Write(text);
}

void Layout::EmitKeyword(std::string_view text) {
  FlushPending(text);
  if (state_.last_was_word != 0 || state_.last_was_keyword != 0) writer_.Write(' ');
  ClearSpacingFlags();
  state_.last_was_keyword = 1;
  writer_.Write(text);
}

void Layout::EmitPunct(std::string_view text) {
  FlushPending(text);
  if (state_.last_was_punct != 0 || state_.last_was_keyword != 0) writer_.Write(' ');
  ClearSpacingFlags();
  state_.last_was_punct = 1;
  writer_.Write(text);
}

void Layout::EmitSpacedOperator(std::string_view text) {
  FlushPending(text);
  ClearSpacingFlags();
  writer_.Write(' ');
  writer_.Write(text);
  writer_.Write(' ');
}

void Layout::EmitWithLeadingSpace(std::string_view text) {
  FlushPending(text);
  ClearSpacingFlags();
  writer_.Write(' ');
  writer_.Write(text);
}

void Layout::EmitWithTrailingSpace(std::string_view text) {
  FlushPending(text);
  ClearSpacingFlags();
  writer_.Write(text);
  writer_.Write(' ');
}

void Layout::EmitAttached(std::string_view text) {
  state_.newline_pending = 0;
  state_.pending_indent = 0;
  ClearSpacingFlags();
  writer_.Write(text);
}

void Layout::EmitUnindented(std::string_view text) {
  if (state_.newline_pending != 0) EmitNewline();
  state_.newline_pending = 0;
  state_.pending_indent = 0;
  ClearSpacingFlags();
  writer_.Write(text);
}

}  // namespace qfmt::layout
