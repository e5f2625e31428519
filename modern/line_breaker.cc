#include "modern/line_breaker.h"

#include <algorithm>

#include "modern/token_stream.h"

namespace qfmt::modern {
namespace {

bool Opens(Role role) {
  return role == Role::kOpen || role == Role::kTemplateOpen || role == Role::kListOpen ||
         role == Role::kBlockOpen;
}
bool Closes(Role role) {
  return role == Role::kClose || role == Role::kCastClose || role == Role::kTemplateClose ||
         role == Role::kListClose || role == Role::kBlockClose;
}

// How loosely a binary operator binds: the lower, the better a break before it.
std::uint8_t Looseness(std::string_view op) {
  if (op == "?" || op == ":") return 2;
  if (op == "||") return 3;
  if (op == "&&") return 4;
  if (op == "|") return 5;
  if (op == "^") return 6;
  if (op == "&") return 7;
  if (op == "==" || op == "!=") return 8;
  if (op == "<" || op == ">" || op == "<=" || op == ">=" || op == "<=>") return 9;
  if (op == "<<" || op == ">>") return 10;
  if (op == "+" || op == "-") return 11;
  return 12;
}

// Words after which a line may break before a name ("case" and "goto" keep
// their label or target).
bool BreaksAfter(Word word) {
  switch (word) {
    case Word::kNone:
    case Word::kReturn:
    case Word::kCoReturn:
    case Word::kThrow:
    case Word::kTemplate:
    case Word::kTypename:
    case Word::kClass:
    case Word::kStruct:
    case Word::kUnion:
    case Word::kEnum:
      return true;
    default:
      return IsTypeWord(word);
  }
}

constexpr std::uint8_t kAfterOpen = 14;     // a break just inside a bracket: the last resort at its level
constexpr std::uint8_t kBetweenWords = 15;  // a break between two words: where nothing else serves

}  // namespace

void LineBreaker::Begin(std::int32_t indent, std::int32_t base) {
  Clear();
  open_ = true;
  first_indent_ = indent;
  base_ = base;
  pieces_.push_back({0, indent, SIZE_MAX});
  end_ = indent;
}

void LineBreaker::Clear() {
  open_ = false;
  continued_ = false;
  items_.clear();
  pieces_.clear();
  first_depth_ = depth_ = 0;
  marked_ = true;
  last_written_ = nullptr;
}

void LineBreaker::Drain() {
  if (items_.empty()) return;
  MarkBreaks();
  first_depth_ = depth_;  // where the next items begin
  written_ = items_.back();
  last_written_ = &written_;
  continued_ = true;
  const std::int32_t indent = pieces_.back().indent;
  items_.clear();
  pieces_.assign(1, {0, indent, SIZE_MAX});
}

std::int32_t LineBreaker::IndentOf(std::size_t i) const {
  std::int32_t indent = pieces_.front().indent;
  for (const Piece& piece : pieces_) {
    if (piece.first > i) break;
    indent = piece.indent;
  }
  return indent;
}

void LineBreaker::Mark(const Item& before, Item& item) {
  if (item.kind == Kind::kComment || before.kind == Kind::kComment) return;
  if (Closes(item.role) || item.role == Role::kComma || item.role == Role::kSemicolon ||
      item.role == Role::kForSemicolon || item.role == Role::kPostfix || item.role == Role::kLabelColon ||
      item.role == Role::kMember || item.role == Role::kScope || item.role == Role::kBlockOpen) {
    return;
  }
  if (before.role == Role::kComma || before.role == Role::kForSemicolon) {
    item.breakable = true;
    item.precedence = 0;
  } else if (before.role == Role::kAssign) {
    item.breakable = true;
    item.precedence = 1;
  } else if (item.role == Role::kBinary) {
    item.breakable = true;
    item.precedence = Looseness(item.text);
  } else if (before.kind == Kind::kString && item.kind == Kind::kString) {
    item.breakable = true;
    item.precedence = 0;
  } else if (before.role == Role::kOpen || before.role == Role::kListOpen ||
             before.role == Role::kTemplateOpen) {
    item.breakable = true;
    item.precedence = kAfterOpen;
  } else if (item.kind == Kind::kWord && item.word == Word::kNone &&
             ((before.kind == Kind::kWord && BreaksAfter(before.word)) || before.role == Role::kClose ||
              before.role == Role::kTemplateClose || before.role == Role::kPointer)) {
    // A name after a name, a type, a declarator or "return": only a name,
    // which no rule reads at the start of a line (a declaration word there
    // would begin a declaration).
    item.breakable = true;
    item.precedence = kBetweenWords;
  }
}

// The column after the last item in [from, to) that is no comment.
std::int32_t LineBreaker::CodeEnd(std::size_t from, std::size_t to) const {
  for (std::size_t i = to; i-- > from;) {
    if (items_[i].kind != Kind::kComment)
      return items_[i].multiline ? items_[i].width : items_[i].column + items_[i].width;
  }
  return 0;
}

// Most lines fit: their items' depths and breaks are worked out only for a
// line that passes the limit.
void LineBreaker::MarkBreaks() {
  if (marked_) return;
  marked_ = true;
  depth_ = first_depth_;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    Item& item = items_[i];
    if (Closes(item.role)) --depth_;
    item.depth = depth_;
    if (Opens(item.role)) ++depth_;
    if (i > 0) Mark(items_[i - 1], item);
  }
}

// Each piece that passes the limit is broken where Choose says, again and
// again, until every piece fits or holds no place to break: a second run
// finds nothing more to break.
void LineBreaker::Break() {
  if (limit_ <= 0 || CodeEnd(0, items_.size()) <= limit_) return;
  MarkBreaks();
  if (base_ < first_indent_ && !continued_ && CodeEnd(0, items_.size()) > limit_) {
    first_indent_ = pieces_.front().indent = base_;
    Lay(0, items_.size(), base_);
  }
  for (std::size_t p = 0; p < pieces_.size();) {
    const std::size_t from = pieces_[p].first;
    const std::size_t to = p + 1 < pieces_.size() ? pieces_[p + 1].first : items_.size();
    const std::size_t at = CodeEnd(from, to) > limit_ ? Choose(from, to) : SIZE_MAX;
    if (at == SIZE_MAX) {
      ++p;
      continue;
    }
    std::size_t opener = SIZE_MAX;
    const std::int32_t indent = ContinuationIndent(at, opener);
    pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(p + 1), {at, indent, opener});
    Lay(at, to, indent);
  }
  if (!items_.empty())
    end_ = items_.back().multiline ? items_.back().width : items_.back().column + items_.back().width;
}

// The best break of the piece [from, to): see the comment at the top of the
// header.
std::size_t LineBreaker::Choose(std::size_t from, std::size_t to) const {
  std::size_t best = SIZE_MAX;
  bool best_rest_fits = false;
  std::size_t leftmost = SIZE_MAX;
  std::size_t between_words = SIZE_MAX;  // the rightmost that fits
  std::size_t leftmost_between_words = SIZE_MAX;
  const std::int32_t end = CodeEnd(from, to);
  for (std::size_t at = from + 1; at < to; ++at) {
    const Item& item = items_[at];
    if (!item.breakable) continue;
    const Item& before = items_[at - 1];
    const bool fits = before.column + before.width <= limit_;
    if (item.precedence == kBetweenWords) {
      if (leftmost_between_words == SIZE_MAX) leftmost_between_words = at;
      if (fits) between_words = at;
      continue;
    }
    if (leftmost == SIZE_MAX) leftmost = at;
    if (!fits) break;
    std::size_t opener = SIZE_MAX;
    const bool rest_fits = ContinuationIndent(at, opener) + (end - item.column) <= limit_;
    if (best != SIZE_MAX) {
      const Item& chosen = items_[best];
      if (best_rest_fits && !rest_fits) continue;
      const bool better = (rest_fits && !best_rest_fits) || item.depth < chosen.depth ||
                          (item.depth == chosen.depth && item.precedence <= chosen.precedence);
      if (!better) continue;
    }
    best = at;
    best_rest_fits = rest_fits;
  }
  if (best != SIZE_MAX) return best;
  if (between_words != SIZE_MAX) return between_words;
  return leftmost != SIZE_MAX ? leftmost : leftmost_between_words;
}

// The line's base; or just after the open parenthesis that the break is
// inside, where the rest of the line fits there (where it broke before, as
// it broke). Inside a list or a lambda's body that opens on the line, as the
// lines would take its own continuation lines: one unit in from the line of
// the list's "{", two from the line of the lambda's.
std::int32_t LineBreaker::ContinuationIndent(std::size_t at, std::size_t& opener) const {
  std::int32_t indent = base_;
  std::int32_t depth = items_[at].depth;
  const bool after_open = Opens(items_[at - 1].role);
  const std::int32_t rest = CodeEnd(at, items_.size()) - items_[at].column;
  bool seen_paren = false;
  for (std::size_t i = at; i-- > 0;) {
    const Item& item = items_[i];
    if (item.depth >= depth || !Opens(item.role)) continue;
    depth = item.depth;
    if (item.role == Role::kListOpen || item.role == Role::kBlockOpen) {
      if (seen_paren && indent != base_) return indent;  // aligned inside a parenthesis
      return IndentOf(i) + (item.role == Role::kListOpen ? unit_ : 2 * unit_);
    }
    if (item.role != Role::kOpen || seen_paren) continue;
    seen_paren = true;
    opener = i;
    const auto earlier =
        std::find_if(pieces_.begin(), pieces_.end(), [&](const Piece& p) { return p.opener == i; });
    const std::int32_t aligned = earlier != pieces_.end() ? earlier->indent : item.column + item.width;
    if (!after_open && aligned + rest <= limit_ && aligned > first_indent_) indent = aligned;
  }
  return indent;
}

void LineBreaker::Lay(std::size_t from, std::size_t to, std::int32_t indent) {
  std::int32_t end = indent;
  for (std::size_t i = from; i < to; ++i) {
    Item& item = items_[i];
    item.column = i == from ? indent : StartAfter(item, end);
    end = item.multiline ? item.width : item.column + item.width;
  }
}

}  // namespace qfmt::modern
