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

constexpr std::uint8_t kAfterOpen = 14;  // a break just inside a bracket: the last resort at its level

}  // namespace

void LineBreaker::Begin(std::int32_t indent) {
  Clear();
  open_ = true;
  first_indent_ = indent;
  pieces_.push_back({0, indent, SIZE_MAX});
  end_ = indent;
}

void LineBreaker::Clear() {
  open_ = false;
  continued_ = false;
  items_.clear();
  pieces_.clear();
  depth_ = 0;
  barrier_ = 0;
  last_written_ = nullptr;
}

void LineBreaker::Drain() {
  if (items_.empty()) return;
  written_ = items_.back();
  last_written_ = &written_;
  continued_ = true;
  const std::int32_t indent = pieces_.back().indent;
  items_.clear();
  pieces_.assign(1, {0, indent, SIZE_MAX});
  barrier_ = 0;
}

std::int32_t LineBreaker::IndentOf(std::size_t i) const {
  std::int32_t indent = pieces_.front().indent;
  for (const Piece& piece : pieces_) {
    if (piece.first > i) break;
    indent = piece.indent;
  }
  return indent;
}

// Whether, and how well, the line may break before `item`.
void LineBreaker::Mark(Item& item) const {
  if (items_.empty() || items_.size() <= barrier_) return;
  const Item& before = items_.back();
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
  } else if (before.role == Role::kOpen || before.role == Role::kListOpen) {
    item.breakable = true;
    item.precedence = kAfterOpen;
  }
}

std::int32_t LineBreaker::StartAfter(const Item& item, std::int32_t end) const {
  if (!item.gap.empty()) return ColumnAfter(item.gap, end, tab_width_);
  return end + item.space;
}

void LineBreaker::Add(Item item) {
  if (Closes(item.role)) --depth_;
  item.depth = depth_;
  if (Opens(item.role)) ++depth_;
  Mark(item);
  const bool first = items_.empty() && !continued_;
  item.column = first ? end_ : StartAfter(item, end_);
  end_ = item.multiline ? item.width : item.column + item.width;
  items_.push_back(item);
  if (item.multiline) barrier_ = items_.size();
}

// The column after the last item that is no comment, from item `from` on.
std::int32_t LineBreaker::CodeEnd(std::size_t from) const {
  for (std::size_t i = items_.size(); i-- > from;) {
    if (items_[i].kind != Kind::kComment)
      return items_[i].multiline ? items_[i].width : items_[i].column + items_[i].width;
  }
  return 0;
}

void LineBreaker::Break() {
  if (limit_ <= 0) return;
  for (;;) {
    const std::size_t from = pieces_.back().first;
    if (CodeEnd(from) <= limit_) return;
    const std::size_t at = Choose(from);
    if (at == SIZE_MAX) return;
    std::size_t opener = SIZE_MAX;
    const std::int32_t indent = ContinuationIndent(at, opener);
    pieces_.push_back({at, indent, opener});
    Lay(at, indent);
  }
}

// The best break of the last piece: see the comment at the top of the header.
std::size_t LineBreaker::Choose(std::size_t from) const {
  std::size_t best = SIZE_MAX;
  bool best_rest_fits = false;
  std::size_t leftmost = SIZE_MAX;
  const std::int32_t end = CodeEnd(from);
  for (std::size_t at = std::max(from + 1, barrier_); at < items_.size(); ++at) {
    const Item& item = items_[at];
    if (!item.breakable) continue;
    if (leftmost == SIZE_MAX) leftmost = at;
    const Item& before = items_[at - 1];
    if (before.column + before.width > limit_) break;
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
  return best != SIZE_MAX ? best : leftmost;
}

// Two units in from the line's first; or just after the open parenthesis
// that the break is inside, where what follows fits there, or where the
// parenthesis broke before. Never left of where the lines would put it: one
// unit in from the line of an enclosing list's "{", and not left of the
// line of an enclosing lambda's body.
std::int32_t LineBreaker::ContinuationIndent(std::size_t at, std::size_t& opener) const {
  std::int32_t indent = first_indent_ + 2 * unit_;
  std::int32_t depth = items_[at].depth;
  const bool after_open = Opens(items_[at - 1].role);
  bool seen_paren = false;
  for (std::size_t i = at; i-- > 0;) {
    const Item& item = items_[i];
    if (item.depth >= depth || !Opens(item.role)) continue;
    depth = item.depth;
    if (item.role == Role::kOpen && !seen_paren) {
      seen_paren = true;
      opener = i;
      const auto earlier =
          std::find_if(pieces_.begin(), pieces_.end(), [&](const Piece& p) { return p.opener == i; });
      if (earlier != pieces_.end()) {
        indent = earlier->indent;
      } else if (!after_open) {
        const std::int32_t column = item.column + item.width;
        const std::int32_t end = CodeEnd(at);
        if (column + (end - items_[at].column) <= limit_ && column > first_indent_) indent = column;
      }
    }
    if (item.role == Role::kListOpen || item.role == Role::kBlockOpen) {
      return std::max(indent, IndentOf(i) + (item.role == Role::kListOpen ? unit_ : 0));
    }
  }
  return indent;
}

void LineBreaker::Lay(std::size_t from, std::int32_t indent) {
  end_ = indent;
  for (std::size_t i = from; i < items_.size(); ++i) {
    Item& item = items_[i];
    item.column = i == from ? indent : StartAfter(item, end_);
    end_ = item.multiline ? item.width : item.column + item.width;
  }
}

}  // namespace qfmt::modern
