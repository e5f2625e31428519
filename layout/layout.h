#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "layout/output_writer.h"
#include "lexer/brace_style.h"

namespace qfmt::layout {

// The options that the layout reads.
struct LayoutOptions {
  std::int32_t max_line_length = 80;
  std::string indent_string = "   ";  // one indentation unit
  lexer::BraceStyle brace_style = lexer::BraceStyle::kAttach;
  // The repaired rules (qfmt-tree's classic style): the classic layout with
  // the repairs that keep every token (see note [touching tokens]), and
  // clean white space.
  bool repaired = false;
  // The columns that a tab of the indentation unit takes against the line
  // length; the classic rules count it as one, as every other byte.
  std::int32_t tab_width = 1;

  bool operator==(const LayoutOptions&) const = default;
};

// All layout decisions of a run. Counters may go below zero on unbalanced
// input; every test on them is signed.
struct LayoutState {
  std::int32_t brace_depth = 0;
  std::int32_t paren_depth = 0;
  std::int32_t wizard_depth = 0;
  std::int32_t switch_level = 0;
  // switch_stack[k] is the brace_depth at which the switch of level k opened;
  // entry 0 is unused. Grows as switches nest.
  std::vector<std::int32_t> switch_stack = std::vector<std::int32_t>(1, 0);
  std::int32_t at_label = 0;
  std::int32_t continuation = 0;
  std::int32_t newline_pending = 0;
  std::int32_t pending_indent = 0;
  std::int32_t column = 0;
  std::int32_t last_was_word = 0;
  std::int32_t last_was_punct = 0;
  std::int32_t last_was_keyword = 0;
  std::int32_t indent_width = 0;
};

// Sums and differences with the wrap-around of the 32-bit counters that the
// line-length tests were defined with.
constexpr std::int32_t Add32(std::int32_t a, std::int64_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
constexpr std::int32_t Mul32(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// The layout engine of one run: the state and the operations that write tokens,
// spaces, line breaks and indentation through the writer at once. Line breaks
// and indentation are deferred: RequestNewline and ComputeIndent only record
// them, and the next token written through FlushPending realises them.
class Layout {
 public:
  Layout(const LayoutOptions& options, OutputWriter& writer);
  Layout(const Layout&) = delete;
  Layout& operator=(const Layout&) = delete;

  [[nodiscard]] const LayoutState& state() const { return state_; }
  [[nodiscard]] LayoutState& state() { return state_; }

  // Line output (line_output.cc).
  void ComputeIndent();
  void ClearIndent() { state_.pending_indent = 0; }
  void SetContinuation() { state_.continuation = 1; }
  [[nodiscard]] std::int32_t IsContinuation() const { return state_.continuation; }
  void EndContinuation();
  void RequestNewline() { state_.newline_pending = 1; }
  void EmitNewline();
  void WrapIfTooLong(std::string_view text);
  void FlushPending(std::string_view text);

  // Token emitters (emitters.cc).
  void EmitWord(std::string_view text);
  void EmitKeyword(std::string_view text);
  void EmitPunct(std::string_view text);
  void EmitSpacedOperator(std::string_view text);
  void EmitWithLeadingSpace(std::string_view text);
  void EmitWithTrailingSpace(std::string_view text);
  void EmitAttached(std::string_view text);
  void EmitUnindented(std::string_view text);

  // Comments and whole-line items (line_items.cc).
  void EmitLineItem(std::string_view text);

  // Block nesting (block_nesting.cc).
  void IncreaseBraceDepth() { ++state_.brace_depth; }
  void DecreaseBraceDepth();
  void PushSwitchLevel();
  void EnterLabel() { state_.at_label = 1; }
  void LeaveLabel() { state_.at_label = 0; }
  void OpenBrace();
  void CloseBrace();

  // Bytes that bypass the layout (the default rule's echo).
  void WriteRaw(std::string_view bytes);

  // The repairs; with the classic rules these change nothing.
  // Whether blanks stood between the coming token and the one before it.
  void SetSeparatedInInput(bool separated) { separated_in_input_ = separated; }
  // The line just written must end before anything else is written on it
  // (a line comment, a directive, a literal left open): a line end is
  // requested that even the emitters which drop pending ones write.
  void ProtectLineEnd() {
    if (!options_.repaired) return;
    line_must_end_ = true;
    RequestNewline();
  }
  // A raw string literal: written as a punctuation token, its bytes as they are.
  void EmitRawString(std::string_view text);
  // A token written after a blank exactly when one stood before it in the
  // input: a literal left open, with the rest of its line (prose more often
  // than code).
  void EmitSpacedAsInInput(std::string_view text);
  // Inside an enumeration body every token is written after a blank exactly
  // when one stood before it in the input, as the classic layout keeps the
  // body's text as it stands.
  void KeepInputSpacing(bool keep) { keep_input_spacing_ = keep && options_.repaired; }

 private:
  void WriteIndent(std::int32_t units);
  // Whether a blank goes before a token: as the classic flags say, or as the
  // input had it (see KeepInputSpacing).
  [[nodiscard]] bool Spaced(bool classic) const {
    return keep_input_spacing_ ? separated_in_input_ && !last_token_.empty() : classic;
  }
  // Writes a token; `after_blank` when a blank was just written before it.
  void WriteToken(std::string_view text, bool after_blank, bool verbatim = false) {
    if (!options_.repaired) {
      writer_.Write(text);
      return;
    }
    WriteModernToken(text, after_blank, verbatim);
  }
  void WriteModernToken(std::string_view text, bool after_blank, bool verbatim);
  void ForgetToken() { last_token_.clear(); }
  void ClearSpacingFlags() {
    state_.last_was_word = 0;
    state_.last_was_punct = 0;
    state_.last_was_keyword = 0;
  }

  const LayoutOptions& options_;
  OutputWriter& writer_;
  LayoutState state_;
  std::string indent_run_;  // kIndentRunUnits units of indentation in one piece
  // The repairs' state.
  bool separated_in_input_ = true;
  bool line_must_end_ = false;
  bool keep_input_spacing_ = false;
  std::string last_token_;  // the token that ends the output so far, if any
};

}  // namespace qfmt::layout
