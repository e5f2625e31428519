#include "bench/modern_stats.h"

#include <vector>

#include "modern/token_stream.h"

namespace qfmt::bench {
namespace {

using modern::Kind;
using modern::Token;
using modern::Word;

bool IsName(const Token& token) { return token.kind == Kind::kWord && token.word == Word::kNone; }
bool EndsOperand(const Token& token) {
  return IsName(token) || token.kind == Kind::kNumber || token.kind == Kind::kChar ||
         token.kind == Kind::kString || token.word == Word::kRParen || token.word == Word::kRBracket;
}
bool IsAttached(const Token& token) {
  return token.word == Word::kComma || token.word == Word::kSemicolon || token.word == Word::kRParen ||
         token.word == Word::kRBracket || token.word == Word::kRBrace;
}
bool MayBeBinary(const Token& token) {
  switch (token.word) {
    case Word::kStar:
    case Word::kAmp:
    case Word::kAmpAmp:
    case Word::kPlus:
    case Word::kMinus:
    case Word::kLess:
    case Word::kGreater:
    case Word::kShiftRight:
    case Word::kQuestion:
    case Word::kColon:
    case Word::kBinaryOp:
      return true;
    default:
      return false;
  }
}

// Whether the line may break between `a` and `b` (`c` after it) as the
// modern style's rule of the line limit allows: after a comma or an
// assignment, before a binary operator, just inside a bracket, between two
// strings or two words. (A ">" before "::" closes template arguments.)
bool MayBreakBetween(const Token& a, const Token& b, const Token& c) {
  if (IsAttached(b) || b.kind == Kind::kComment || a.kind == Kind::kComment) return false;
  if (a.word == Word::kComma || a.word == Word::kSemicolon || a.word == Word::kAssign ||
      a.word == Word::kAssignOp) {
    return true;
  }
  const bool closes_template = (b.word == Word::kGreater || b.word == Word::kShiftRight) && !EndsOperand(c) &&
                               c.word != Word::kLParen && c.kind != Kind::kWord;
  if (MayBeBinary(b) && EndsOperand(a) && !closes_template) return true;
  if (a.word == Word::kLParen || a.word == Word::kLBracket || a.word == Word::kLBrace ||
      a.word == Word::kLess)
    return true;
  if (a.kind == Kind::kString && b.kind == Kind::kString) return true;
  return IsName(b) && (a.kind == Kind::kWord || a.word == Word::kRParen || a.word == Word::kGreater);
}

struct Line {
  std::vector<Token> tokens;  // those that begin on it
  std::size_t begin = 0;      // of the line in the text
};

// The output's lines over the limit (a trailing comment aside) with a place
// to break where the part before it fits: lines that could have been broken.
// Directives and raw strings of several lines are as they were written.
std::int64_t BreakableOverLimit(std::string_view text, std::int32_t limit, std::int32_t tab_width) {
  std::int64_t count = 0;
  modern::TokenStream stream(text, tab_width);
  Line line;
  const auto column = [&](std::size_t offset) {
    return modern::ColumnAfter(text.substr(line.begin, offset - line.begin), 0, tab_width);
  };
  const auto judge = [&] {
    std::size_t code = line.tokens.size();
    while (code > 0 && line.tokens[code - 1].kind == Kind::kComment) --code;
    if (code == 0) return;
    for (std::size_t i = 0; i < code; ++i) {
      if (line.tokens[i].kind == Kind::kDirective ||
          (line.tokens[i].multiline && line.tokens[i].kind != Kind::kComment))
        return;
    }
    const Token& last = line.tokens[code - 1];
    if (column(last.offset + last.text.size()) <= limit) return;
    for (std::size_t i = 1; i < code; ++i) {
      const Token& before = line.tokens[i - 1];
      const Token& after = i + 1 < line.tokens.size() ? line.tokens[i + 1] : line.tokens[i];
      if (MayBreakBetween(before, line.tokens[i], after) &&
          column(before.offset + before.text.size()) <= limit) {
        ++count;
        return;
      }
    }
  };
  for (;; stream.Advance()) {
    const Token& token = stream.Peek();
    if (token.kind == Kind::kEnd) break;
    if (token.starts_line()) {
      judge();
      line.tokens.clear();
      line.begin = token.offset;
      while (line.begin > 0 && text[line.begin - 1] != '\n' && text[line.begin - 1] != '\r') --line.begin;
    }
    line.tokens.push_back(token);
  }
  judge();
  return count;
}

struct Placed {
  Token token;
  bool alone = false;  // nothing else stands on its line
};

std::vector<Placed> Place(std::string_view text) {
  std::vector<Placed> placed;
  modern::TokenStream stream(text, 8);
  for (;; stream.Advance()) {
    const Token& token = stream.Peek();
    if (token.kind == Kind::kEnd) break;
    placed.push_back(
        {token, token.starts_line() && (stream.Peek(1).starts_line() || stream.Peek(1).kind == Kind::kEnd)});
  }
  return placed;
}

}  // namespace

ModernStats& ModernStats::operator+=(const ModernStats& other) {
  blank_runs += other.blank_runs;
  blank_runs_kept += other.blank_runs_kept;
  lone_semicolons_added += other.lone_semicolons_added;
  breakable_over_limit += other.breakable_over_limit;
  keywords += other.keywords;
  keywords_spaced += other.keywords_spaced;
  return *this;
}

ModernStats MeasureModern(std::string_view input, std::string_view output, std::int32_t limit,
                          std::int32_t tab_width) {
  ModernStats stats;
  const std::vector<Placed> before = Place(input);
  const std::vector<Placed> after = Place(output);
  const std::size_t n = std::min(before.size(), after.size());
  for (std::size_t i = 0; i < n; ++i) {
    const Token& token = before[i].token;
    if (i > 0 && token.breaks >= 2 && before[i - 1].token.word != Word::kLBrace &&
        token.word != Word::kRBrace) {
      ++stats.blank_runs;
      if (after[i].token.breaks >= 2) ++stats.blank_runs_kept;
    }
    if (token.word == Word::kSemicolon && after[i].alone && !before[i].alone) ++stats.lone_semicolons_added;
    const Token& out = after[i].token;
    const bool keyword = out.word == Word::kIf || out.word == Word::kFor || out.word == Word::kWhile ||
                         out.word == Word::kSwitch;
    if (keyword && i + 1 < n && after[i + 1].token.word == Word::kLParen) {
      ++stats.keywords;
      const Token& paren = after[i + 1].token;
      if (paren.offset == out.offset + out.text.size() + 1 && output[paren.offset - 1] == ' ')
        ++stats.keywords_spaced;
    }
  }
  if (limit > 0) stats.breakable_over_limit = BreakableOverLimit(output, limit, tab_width);
  return stats;
}

}  // namespace qfmt::bench
