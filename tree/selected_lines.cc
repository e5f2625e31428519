#include "tree/selected_lines.h"

#include <algorithm>
#include <cstdint>

#include "platform/check.h"
#include "tree/unified_diff.h"

namespace qfmt::tree {
namespace {

// note [formatting some lines]
// The layouts format whole texts, so the text is formatted whole (and its
// tokens checked whole); then only some of the changes are taken.
// 1. The lines of the text and of the formatted text are aligned by what they
//    hold besides white space (a longest common subsequence), so that a line
//    that is only re-indented or re-spaced pairs with its new form, and lines
//    that are joined or split stand in runs of their own.
// 2. A place between two lines is a cut when as many tokens lie before it on
//    both sides and no token crosses it (a block comment or a raw string
//    over several lines, a line splice). The changes between two cuts that
//    follow each other form a piece: a piece taken whole, or not at all,
//    keeps the tokens.
// 3. A statement runs from a line start after ";", "{" or "}" outside
//    parentheses and brackets, or after a directive, to the next such line
//    start. The lines asked for grow to the whole statements that hold them.
// 4. A piece touches those lines when it replaces one of them or, when it
//    only inserts lines, when one of them stands just before or just after
//    the place where it inserts them: such pieces are taken. Every piece
//    that shares a statement with a piece taken is taken too, and so on, so
//    that no statement is left half formatted.
// 5. The result is the text's own lines with the formatted lines of the
//    pieces taken in their place; its tokens are checked against the text's.

constexpr std::int64_t kCrossed = -1;

// What the lexer says of each line start of a text (and of its end).
struct LineStarts {
  std::vector<std::int64_t> tokens_before;  // the tokens that count before it, or kCrossed
  std::vector<bool> begins_statement;
};

bool EndsStatement(const lexer::Token& token) {
  return token.kind == lexer::TokenKind::kDirectiveEnd ||
         (token.kind == lexer::TokenKind::kPunctuator &&
          (token.text == ";" || token.text == "{" || token.text == "}"));
}

LineStarts ReadLineStarts(std::string_view text, const std::vector<std::string_view>& lines) {
  LineStarts starts{std::vector<std::int64_t>(lines.size() + 1), std::vector<bool>(lines.size() + 1)};
  std::vector<std::size_t> offsets{0};
  for (const std::string_view line : lines) offsets.push_back(offsets.back() + line.size());
  lexer::Lexer lexer(text);
  std::int64_t count = 0;
  std::int64_t depth = 0;  // of parentheses and brackets
  bool after_end = true;   // the last token but comments ends a statement
  std::size_t next = 0;    // the next line start to describe
  const auto describe_up_to = [&](std::size_t offset) {
    for (; next < offsets.size() && offsets[next] <= offset; ++next) {
      starts.tokens_before[next] = count;
      starts.begins_statement[next] = after_end && depth == 0;
    }
  };
  for (lexer::Token token = lexer.Next(); token.kind != lexer::TokenKind::kEnd; token = lexer.Next()) {
    describe_up_to(token.offset);
    for (; next < offsets.size() && offsets[next] < token.offset + token.text.size(); ++next)
      starts.tokens_before[next] = kCrossed;
    if (lexer::CountsAsBlank(token)) continue;
    ++count;
    if (token.kind == lexer::TokenKind::kComment) continue;
    if (token.text == "(" || token.text == "[") ++depth;
    if ((token.text == ")" || token.text == "]") && depth > 0) --depth;
    after_end = EndsStatement(token);
  }
  describe_up_to(text.size());
  return starts;
}

// Lines [text_begin, text_end) give way to formatted lines [formatted_begin, formatted_end).
struct Piece {
  std::size_t text_begin, text_end, formatted_begin, formatted_end;
};

std::string WithoutWhiteSpace(std::string_view line) {
  std::string key;
  for (const char c : line) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v') key += c;
  }
  return key;
}

std::vector<Piece> FindPieces(const std::vector<std::string_view>& text_lines,
                              const std::vector<std::string_view>& formatted_lines,
                              const std::vector<std::int64_t>& text_cuts,
                              const std::vector<std::int64_t>& formatted_cuts) {
  std::vector<std::string> keys;
  for (const std::string_view line : text_lines) keys.push_back(WithoutWhiteSpace(line));
  for (const std::string_view line : formatted_lines) keys.push_back(WithoutWhiteSpace(line));
  const std::size_t n = text_lines.size(), m = formatted_lines.size();
  const std::vector<std::string_view> text_keys(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(n));
  const std::vector<std::string_view> formatted_keys(keys.begin() + static_cast<std::ptrdiff_t>(n),
                                                     keys.end());
  const LineChanges changes = CompareLines(text_keys, formatted_keys);
  const auto deleted = [&](std::size_t i) { return i < n && changes.deleted[i]; };
  const auto inserted = [&](std::size_t j) { return j < m && changes.inserted[j]; };

  std::vector<Piece> pieces;
  std::size_t i = 0, j = 0, begin_i = 0, begin_j = 0;
  bool changed = false;
  while (i < n || j < m) {
    if (!deleted(i) && !inserted(j)) {
      QFMT_CHECK(i < n && j < m);  // the common lines pair up
      changed = changed || text_lines[i] != formatted_lines[j];
      ++i, ++j;
    } else {
      changed = true;
      while (deleted(i)) ++i;
      while (inserted(j)) ++j;
    }
    if (text_cuts[i] == kCrossed || text_cuts[i] != formatted_cuts[j]) continue;
    if (changed) pieces.push_back({begin_i, i, begin_j, j});
    begin_i = i, begin_j = j, changed = false;
  }
  if (changed) pieces.push_back({begin_i, n, begin_j, m});
  return pieces;
}

// Chooses the pieces to take: steps 3 and 4 of the note.
class PieceChooser {
 public:
  PieceChooser(const std::vector<Piece>& pieces, const std::vector<bool>& begins_statement)
      : pieces_(pieces), begins_statement_(begins_statement), taken_(pieces.size()) {}

  std::vector<bool> Choose(const std::vector<LineRange>& ranges) {
    const std::size_t n = begins_statement_.size() - 1;
    std::vector<bool> asked(n);
    for (const LineRange& range : ranges) {
      for (std::int64_t line = std::max<std::int64_t>(range.first, 1);
           line <= range.last && static_cast<std::size_t>(line) <= n; ++line) {
        asked[static_cast<std::size_t>(line - 1)] = true;
      }
    }
    // Whole statements.
    for (std::size_t begin = 0, end = 0; begin < n; begin = end) {
      for (end = begin + 1; !begins_statement_[end];) ++end;
      const auto first = asked.begin() + static_cast<std::ptrdiff_t>(begin);
      const auto last = asked.begin() + static_cast<std::ptrdiff_t>(end);
      if (std::find(first, last, true) != last) std::fill(first, last, true);
    }
    for (std::size_t p = 0; p < pieces_.size(); ++p) {
      const Piece& piece = pieces_[p];
      const std::size_t first = piece.text_begin == piece.text_end && piece.text_begin > 0
                                    ? piece.text_begin - 1
                                    : piece.text_begin;
      const std::size_t end = std::min(n, piece.text_end + (piece.text_begin == piece.text_end ? 1 : 0));
      if (std::any_of(asked.begin() + static_cast<std::ptrdiff_t>(first),
                      asked.begin() + static_cast<std::ptrdiff_t>(end), [](bool a) { return a; })) {
        Take(p);
      }
    }
    while (!waiting_.empty()) {
      const std::size_t p = waiting_.back();
      waiting_.pop_back();
      TakeWithin(StatementsOf(pieces_[p]));
    }
    return taken_;
  }

 private:
  struct Span {
    std::size_t begin, end;  // lines
  };

  void Take(std::size_t p) {
    if (taken_[p]) return;
    taken_[p] = true;
    waiting_.push_back(p);
  }

  // The lines of the statements that the piece shares; empty for lines
  // inserted between two statements.
  Span StatementsOf(const Piece& piece) const {
    std::size_t begin = piece.text_begin, end = piece.text_end;
    if (begin == end && begins_statement_[begin]) return {begin, begin};
    while (!begins_statement_[begin]) --begin;
    while (!begins_statement_[end]) ++end;
    return {begin, end};
  }

  // Takes every piece that replaces a line of the span or inserts lines inside it.
  void TakeWithin(Span span) {
    if (span.begin == span.end) return;
    auto q = std::partition_point(pieces_.begin(), pieces_.end(),
                                  [&](const Piece& piece) { return piece.text_end <= span.begin; });
    for (; q != pieces_.end() && q->text_begin < span.end; ++q) {
      Take(static_cast<std::size_t>(q - pieces_.begin()));
    }
  }

  const std::vector<Piece>& pieces_;
  const std::vector<bool>& begins_statement_;
  std::vector<bool> taken_;
  std::vector<std::size_t> waiting_;
};

}  // namespace

std::optional<lexer::TokenDifference> FormatSelectedLines(std::string_view text, std::string_view formatted,
                                                          const std::vector<LineRange>& lines,
                                                          std::string& result) {
  const std::vector<std::string_view> text_lines = SplitLines(text);
  const std::vector<std::string_view> formatted_lines = SplitLines(formatted);
  LineStarts starts = ReadLineStarts(text, text_lines);
  starts.begins_statement.front() = starts.begins_statement.back() = true;
  const std::vector<Piece> pieces = FindPieces(text_lines, formatted_lines, starts.tokens_before,
                                               ReadLineStarts(formatted, formatted_lines).tokens_before);
  const std::vector<bool> taken = PieceChooser(pieces, starts.begins_statement).Choose(lines);
  result.clear();
  std::size_t at = 0;
  for (std::size_t p = 0; p < pieces.size(); ++p) {
    if (!taken[p]) continue;
    for (; at < pieces[p].text_begin; ++at) result += text_lines[at];
    for (std::size_t j = pieces[p].formatted_begin; j < pieces[p].formatted_end; ++j)
      result += formatted_lines[j];
    at = pieces[p].text_end;
  }
  for (; at < text_lines.size(); ++at) result += text_lines[at];
  return lexer::CompareTokens(text, result);
}

}  // namespace qfmt::tree
