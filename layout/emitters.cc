#include "layout/layout.h"
#include "lexer/pp_lexer.h"

namespace qfmt::layout {

// The flags are tested after FlushPending: a token that begins a new line sees
// them cleared and gets no space after its indentation.

// note [touching tokens]
// The classic layout writes some tokens right after the one before (":" and
// "::" attached, a name after a string literal, bytes echoed as they come).
// Where blanks separated the two in the input, writing them together can make
// one token of two: "a ? b : ::c" would read ":::", "%" PRId64 a string with
// a suffix. With the repaired rules a blank goes between them exactly then:
// when blanks stood between them in the input and the lexer would read a
// token across the join. Tokens that touched in the input touch in the output
// as well, since together they read as they did.
void Layout::WriteModernToken(std::string_view text, bool after_blank, bool verbatim) {
  if (!after_blank && separated_in_input_ && !last_token_.empty() && !text.empty() &&
      lexer::JoinsAcross(last_token_, text)) {
    writer_.Write(' ');
  }
  if (verbatim) {
    writer_.WriteVerbatim(text);
  } else {
    writer_.Write(text);
  }
  last_token_.assign(text);
}

void Layout::EmitWord(std::string_view text) {
  FlushPending(text);
  const bool spaced = Spaced(state_.last_was_word != 0 || state_.last_was_keyword != 0);
  if (spaced) writer_.Write(' ');
  ClearSpacingFlags();
  state_.last_was_word = 1;
  WriteToken(text, spaced);
}

void Layout::EmitKeyword(std::string_view text) {
  FlushPending(text);
  const bool spaced = Spaced(state_.last_was_word != 0 || state_.last_was_keyword != 0);
  if (spaced) writer_.Write(' ');
  ClearSpacingFlags();
  state_.last_was_keyword = 1;
  WriteToken(text, spaced);
}

void Layout::EmitPunct(std::string_view text) {
  FlushPending(text);
  const bool spaced = Spaced(state_.last_was_punct != 0 || state_.last_was_keyword != 0);
  if (spaced) writer_.Write(' ');
  ClearSpacingFlags();
  state_.last_was_punct = 1;
  WriteToken(text, spaced);
}

void Layout::EmitRawString(std::string_view text) {
  FlushPending(text);
  const bool spaced = state_.last_was_punct != 0 || state_.last_was_keyword != 0;
  if (spaced) writer_.Write(' ');
  ClearSpacingFlags();
  state_.last_was_punct = 1;
  // Its lines are the program's: written as they are, and the line it ends
  // on counts from its last line end.
  WriteToken(text, spaced, /*verbatim=*/true);
  if (const std::size_t line_end = text.rfind('\n'); line_end != std::string_view::npos) {
    state_.column = static_cast<std::int32_t>(text.size() - line_end - 1);
  }
}

void Layout::EmitSpacedAsInInput(std::string_view text) {
  FlushPending(text);
  const bool spaced = separated_in_input_ && !last_token_.empty();
  if (spaced) writer_.Write(' ');
  ClearSpacingFlags();
  state_.last_was_punct = 1;
  WriteToken(text, spaced);
}

void Layout::EmitSpacedOperator(std::string_view text) {
  FlushPending(text);
  ClearSpacingFlags();
  writer_.Write(' ');
  writer_.Write(text);
  writer_.Write(' ');
  ForgetToken();
}

void Layout::EmitWithLeadingSpace(std::string_view text) {
  FlushPending(text);
  ClearSpacingFlags();
  writer_.Write(' ');
  WriteToken(text, true);
}

void Layout::EmitWithTrailingSpace(std::string_view text) {
  FlushPending(text);
  ClearSpacingFlags();
  WriteToken(text, false);
  writer_.Write(' ');
  ForgetToken();
}

// A protected line end (see ProtectLineEnd) is written even here, where the
// classic layout drops what is pending.
void Layout::EmitAttached(std::string_view text) {
  if (line_must_end_) FlushPending(text);
  state_.newline_pending = 0;
  state_.pending_indent = 0;
  ClearSpacingFlags();
  WriteToken(text, false);
}

void Layout::EmitUnindented(std::string_view text) {
  if (state_.newline_pending != 0 || line_must_end_) EmitNewline();
  state_.newline_pending = 0;
  state_.pending_indent = 0;
  ClearSpacingFlags();
  const bool spaced = Spaced(false);
  if (spaced) writer_.Write(' ');
  WriteToken(text, spaced);
}

void Layout::WriteRaw(std::string_view bytes) {
  if (line_must_end_) FlushPending(bytes);
  WriteToken(bytes, false);
}

}  // namespace qfmt::layout
