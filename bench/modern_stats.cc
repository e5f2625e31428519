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
  const bool closes_template = (b.word == Word::kGreater || b.word == Word::kShiftRight) &&
                               (!EndsOperand(c) || c.word == Word::kLParen);
  if (MayBeBinary(b) && EndsOperand(a) && !closes_template) return true;
  if (a.word == Word::kLParen || a.word == Word::kLBracket || a.word == Word::kLBrace ||
      a.word == Word::kLess)
    return true;
  if (a.kind == Kind::kString && b.kind == Kind::kString) return true;
  return IsName(b) && (a.kind == Kind::kWord || a.word == Word::kRParen || a.word == Word::kGreater);
}

struct Placed {
  Token token;
  bool alone = false;        // nothing else stands on its line
  bool as_written = false;   // under "#if 0", or between "qfmt off" and "qfmt on"
  Word opens = Word::kNone;  // the last token that is no trailing comment before it: "{"?
};

std::vector<Placed> Place(std::string_view text, std::int32_t tab_width) {
  std::vector<Placed> placed;
  modern::TokenStream stream(text, tab_width);
  int dead = 0;  // "#if" levels open under an "#if 0"
  bool off = false;
  Word before = Word::kNone;
  for (;; stream.Advance()) {
    const Token& token = stream.Peek();
    if (token.kind == Kind::kEnd) break;
    const bool alone =
        token.starts_line() && (stream.Peek(1).starts_line() || stream.Peek(1).kind == Kind::kEnd);
    placed.push_back({token, alone, dead > 0 || off, before});
    if (token.word == Word::kOffMarker || token.word == Word::kOnMarker) off = token.word == Word::kOffMarker;
    if (dead > 0 && (token.word == Word::kDirIf || token.word == Word::kDirIfZero)) ++dead;
    if (dead > 0 && (token.word == Word::kDirEndif || (dead == 1 && token.word == Word::kDirElse))) --dead;
    if (dead == 0 && token.word == Word::kDirIfZero) dead = 1;
    if (token.kind != Kind::kComment || token.starts_line()) before = token.word;
  }
  return placed;
}

struct Line {
  std::vector<Token> tokens;  // those that begin on it
  std::size_t begin = 0;      // of the line in the text
  bool as_written = false;    // it begins as it was written
};

// The output's lines over the limit (a trailing comment aside) with a place
// to break where the part before it fits: lines that could have been broken.
// Directives, raw strings of several lines, code under "#if 0" and between
// "qfmt off" and "qfmt on" are as they were written.
std::int64_t BreakableOverLimit(std::string_view text, const std::vector<Placed>& placed, std::int32_t limit,
                                std::int32_t tab_width) {
  std::int64_t count = 0;
  Line line;
  const auto column = [&](std::size_t offset) {
    return modern::ColumnAfter(text.substr(line.begin, offset - line.begin), 0, tab_width);
  };
  const auto judge = [&] {
    std::size_t code = line.tokens.size();
    while (code > 0 && line.tokens[code - 1].kind == Kind::kComment) --code;
    if (code == 0 || line.as_written) return;
    for (std::size_t i = 0; i < code; ++i) {
      if (line.tokens[i].kind == Kind::kDirective ||
          (line.tokens[i].multiline() && line.tokens[i].kind != Kind::kComment))
        return;
    }
    const Token& last = line.tokens[code - 1];
    if (column(last.end()) <= limit) return;
    for (std::size_t i = 1; i < code; ++i) {
      const Token& before = line.tokens[i - 1];
      const Token& after = i + 1 < line.tokens.size() ? line.tokens[i + 1] : line.tokens[i];
      if (MayBreakBetween(before, line.tokens[i], after) && column(before.end()) <= limit) {
        ++count;
        return;
      }
    }
  };
  for (const Placed& p : placed) {
    const Token& token = p.token;
    if (token.starts_line()) {
      judge();
      line.tokens.clear();
      line.as_written = p.as_written;
      line.begin = token.offset;
      while (line.begin > 0 && text[line.begin - 1] != '\n' && text[line.begin - 1] != '\r') --line.begin;
    }
    line.tokens.push_back(token);
  }
  judge();
  return count;
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
  const std::vector<Placed> before = Place(input, tab_width);
  const std::vector<Placed> after = Place(output, tab_width);
  const std::size_t n = std::min(before.size(), after.size());
  for (std::size_t i = 0; i < n; ++i) {
    const Token& token = before[i].token;
    // Runs that the style takes away: after "{", before "}", and where a
    // brace, "else", "catch", the while of a do or a ";" joins the line above.
    const bool joins =
        token.word == Word::kLBrace || token.word == Word::kSemicolon ||
        ((token.word == Word::kElse || token.word == Word::kCatch || token.word == Word::kWhile) &&
         before[i].opens == Word::kRBrace);
    if (i > 0 && token.breaks() >= 2 && before[i].opens != Word::kLBrace && token.word != Word::kRBrace &&
        !joins) {
      ++stats.blank_runs;
      if (after[i].token.breaks() >= 2) ++stats.blank_runs_kept;
    }
    if (token.word == Word::kSemicolon && after[i].alone && !before[i].alone) ++stats.lone_semicolons_added;
    const Token& out = after[i].token;
    const bool keyword = out.word == Word::kIf || out.word == Word::kFor || out.word == Word::kWhile ||
                         out.word == Word::kSwitch;
    if (keyword && !after[i].as_written && i + 1 < n && after[i + 1].token.word == Word::kLParen) {
      ++stats.keywords;
      const Token& paren = after[i + 1].token;
      if (paren.offset == out.end() + 1 && output[paren.offset - 1] == ' ') ++stats.keywords_spaced;
    }
  }
  if (limit > 0) stats.breakable_over_limit = BreakableOverLimit(output, after, limit, tab_width);
  return stats;
}

}  // namespace qfmt::bench
