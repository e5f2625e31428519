#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "modern/line_breaker.h"
#include "modern/structure.h"

// The modern style's lines: from the marked tokens, the text. Each line
// gets its indentation (a statement's from its block, a continuation line's
// from where it stood, moved as its statement's first line moved), its
// blanks, its blank line before it, and is broken where it passes the limit.
// Comments on lines of their own go with the code around them; directives
// and regions kept as written are copied.
namespace qfmt::modern {

struct LineOptions {
  std::int32_t unit = 4;  // columns of one indentation unit
  bool tabs = false;      // indentation written with tabs
  std::int32_t tab_width = 8;
  std::int32_t max_line_length = 80;  // 0: no limit
  std::string_view line_end = "\n";
  std::size_t max_output = SIZE_MAX;  // the text may not grow past this
};

class Lines final : public MarkSink {
 public:
  Lines(std::string_view text, const LineOptions& options, std::string& output);

  void Take(const Token& token, const Mark& mark) override;
  // The output passed max_output: it was cut short.
  [[nodiscard]] bool overflowed() const { return overflowed_; }

 private:
  struct Frame {
    Open kind = Open::kNothing;  // kNothing: the text itself
    // A block's closing brace (and its "{" on a line of its own) stands where
    // its statement's first line does: where the anchor of the frame that
    // holds the statement says, read when needed, so that breaks made later
    // in that line count. A lambda's or list's stands where the line of its
    // "{" does, set when that line is broken. The body is one unit in.
    std::int32_t parent = -1;        // a block: the frame that holds its statement
    bool indented = true;            // a block: its body stands one unit in
    std::int32_t close = 0;          // a lambda or list: indentation of its closing brace
    std::int32_t anchor_indent = 0;  // the current statement's first line: where it goes,
    std::int32_t anchor_column = 0;  // and where it stood
    std::uint32_t serial = 0;
  };

  struct Saved {
    std::vector<Frame> at_if;
    std::vector<Frame> first;
    bool has_first = false;
    bool dead = false;
  };

  // A comment on a line of comments, or a directive, written when the code
  // after it is placed (see note [comment lines]).
  struct Queued {
    Token token;
    std::string_view gap;  // blanks before a comment that is not the first of its line
    bool blank_line = false;
  };

  // Where a line of code begins and went.
  struct Placed {
    bool known = false;
    std::int32_t column = 0;  // in the input
    std::int32_t indent = 0;  // in the output
    bool closes = false;      // its first token is a closing brace
  };

  // Takes what is not code, or a token inside or after a region kept as
  // written; false for a token that goes on as code (a comment after code).
  [[nodiscard]] bool TakeOther(const Token& token, const Mark& mark);
  void BeginLine(const Token& token, const Mark& mark);
  void Directive(const Token& token, const Mark& mark);
  void TakeVerbatim(const Token& token, const Mark& mark);
  void EndVerbatim();
  void End();
  void ApplyBranch(Branch branch);
  void Nest(const Token& token, const Mark& mark);

  [[nodiscard]] bool NewLine(const Token& token, const Mark& mark) const;
  [[nodiscard]] std::int32_t IndentOf(const Mark& mark, std::int32_t column) const;
  [[nodiscard]] std::int32_t Close(const Frame& frame) const;
  [[nodiscard]] std::int32_t Body(const Frame& frame) const;
  [[nodiscard]] const Frame& StatementFrame() const;
  [[nodiscard]] Frame& StatementFrame();
  [[nodiscard]] std::int32_t ContinuationBase(const Mark& mark, std::int32_t indent) const;
  void StartLine(std::int32_t indent, std::int32_t base, std::int32_t column, bool blank_line, bool closes);
  void FlushLine();
  void WriteLine(bool whole);
  void SettleFrames();
  // Writes what waits in the queue; comments go with `next`, the line of
  // code that follows them (or with the last one).
  void WriteQueue(const Placed& next);
  void Enqueue(const Queued& entry);
  void Append(const Token& token, const Mark& mark);
  [[nodiscard]] std::int32_t SpaceBefore(const Token& token, const Mark& mark, std::string_view& gap) const;
  [[nodiscard]] std::int32_t SpaceBeforeComment(const Token& token, const Mark& mark,
                                                std::string_view& gap) const;

  // Writing.
  void WriteIndent(std::int32_t columns);
  // A token's text; a block comment's later lines moved by `shift` columns.
  void WriteToken(std::string_view text, bool comment, std::int32_t shift);
  void WriteLines(std::string_view text, bool trim);
  // Ends the output line, its trailing blanks removed when `trim`.
  void EndOutputLine(bool trim);
  [[nodiscard]] std::int32_t InputColumn(std::size_t offset) const;
  [[nodiscard]] std::size_t LineEndAfter(std::size_t offset) const;
  [[nodiscard]] bool BlankLineAllowed(bool closes) const;

  std::string_view text_;
  LineOptions options_;
  std::string& output_;
  LineBreaker breaker_;
  std::vector<std::size_t> framed_;  // the items of the line held that set a frame's indentation
  std::vector<Frame> frames_;
  std::uint32_t serials_ = 0;
  std::vector<Saved> branches_;
  std::size_t branch_depth_ = 0;
  std::vector<Queued> queue_;
  std::vector<Queued> leading_;  // comments that begin a line of code
  bool in_comment_line_ = false;
  Placed previous_;                       // the last line of code
  std::int32_t trailing_in_ = -1;         // its trailing comment: where it stood,
  std::int32_t trailing_out_ = -1;        // and where it went
  std::int32_t line_column_ = 0;          // where the line being built began in the input
  std::int32_t trailing_column_in_ = -1;  // where its last comment stood in the input
  bool line_has_code_ = false;
  std::int32_t anchored_ = -1;  // the frame whose statement the token being taken begins
  std::uint64_t lines_begun_ = 0;
  struct {
    std::uint64_t line = UINT64_MAX;  // of lines_begun_
    std::size_t item = 0;
    std::int32_t indent = 0;
  } intro_;                        // the last lambda's "[": its line and item
  bool last_line_opened_ = false;  // the last line written ends with an opening brace
  bool wrote_line_ = false;        // a line has been written
  std::size_t last_end_ = 0;       // where the last token taken ends in the input
  bool verbatim_ = false;          // a region kept as written is being read
  bool verbatim_trim_ = false;
  std::size_t verbatim_begin_ = 0;
  std::size_t verbatim_end_ = 0;
  bool overflowed_ = false;
};

}  // namespace qfmt::modern
