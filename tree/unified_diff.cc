#include "tree/unified_diff.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <vector>

#include "platform/check.h"

namespace qfmt::tree {
namespace {

using Index = std::ptrdiff_t;
constexpr Index kContext = 3;

// Myers' O(ND) comparison in linear space (the middle snake, then both halves),
// marking the lines of each side that are not in the common subsequence.
class ShortestEditScript {
 public:
  ShortestEditScript(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b)
      : a_(a), b_(b), deleted_(a.size()), inserted_(b.size()), offset_(static_cast<Index>(b.size()) + 1) {
    const std::size_t diagonals = a.size() + b.size() + 3;
    forward_.resize(diagonals);
    backward_.resize(diagonals);
    Compare(0, Size(a_), 0, Size(b_));
  }

  [[nodiscard]] const std::vector<bool>& deleted() const { return deleted_; }
  [[nodiscard]] const std::vector<bool>& inserted() const { return inserted_; }

 private:
  struct Point {
    Index x;
    Index y;
  };

  static Index Size(const std::vector<std::uint32_t>& v) { return static_cast<Index>(v.size()); }
  Index& Forward(Index diagonal) { return forward_[static_cast<std::size_t>(diagonal + offset_)]; }
  Index& Backward(Index diagonal) { return backward_[static_cast<std::size_t>(diagonal + offset_)]; }
  bool Same(Index x, Index y) const {
    return a_[static_cast<std::size_t>(x)] == b_[static_cast<std::size_t>(y)];
  }

  void Compare(Index x_low, Index x_high, Index y_low, Index y_high) {
    while (x_low < x_high && y_low < y_high && Same(x_low, y_low)) ++x_low, ++y_low;
    while (x_low < x_high && y_low < y_high && Same(x_high - 1, y_high - 1)) --x_high, --y_high;
    if (x_low == x_high) {
      for (Index y = y_low; y < y_high; ++y) inserted_[static_cast<std::size_t>(y)] = true;
    } else if (y_low == y_high) {
      for (Index x = x_low; x < x_high; ++x) deleted_[static_cast<std::size_t>(x)] = true;
    } else {
      const Point middle = MiddleSnake(x_low, x_high, y_low, y_high);
      // Inside the box and not on a corner, so that both halves are smaller.
      QFMT_CHECK(x_low <= middle.x && middle.x <= x_high && y_low <= middle.y && middle.y <= y_high &&
                 middle.x - x_low + middle.y - y_low > 0 && x_high - middle.x + y_high - middle.y > 0);
      Compare(x_low, middle.x, y_low, middle.y);
      Compare(middle.x, x_high, middle.y, y_high);
    }
  }

  // A point on a shortest edit path from (x_low, y_low) to (x_high, y_high),
  // with edits on both sides of it. Both ends differ (Compare stripped the
  // common ones). Diagonal d holds the points with x - y == d; forward paths
  // record the furthest x reached on each diagonal, backward paths the least.
  // The search widens both by one edit at a time until they overlap on a
  // diagonal: the point reached there lies on a shortest path, since the cost
  // to the end never grows along a diagonal.
  Point MiddleSnake(Index x_low, Index x_high, Index y_low, Index y_high) {
    const Index min_diagonal = x_low - y_high;
    const Index max_diagonal = x_high - y_low;
    const Index forward_mid = x_low - y_low;
    const Index backward_mid = x_high - y_high;
    const bool odd = ((forward_mid - backward_mid) & 1) != 0;
    Index forward_min = forward_mid, forward_max = forward_mid;
    Index backward_min = backward_mid, backward_max = backward_mid;
    Forward(forward_mid) = x_low;
    Backward(backward_mid) = x_high;
    for (;;) {
      // Widen the forward diagonals by one, with sentinels beyond them.
      if (forward_min > min_diagonal) {
        Forward(--forward_min - 1) = -1;
      } else {
        ++forward_min;
      }
      if (forward_max < max_diagonal) {
        Forward(++forward_max + 1) = -1;
      } else {
        --forward_max;
      }
      for (Index d = forward_max; d >= forward_min; d -= 2) {
        const Index from_low = Forward(d - 1);
        const Index from_high = Forward(d + 1);
        Index x = from_low >= from_high ? from_low + 1 : from_high;
        Index y = x - d;
        while (x < x_high && y < y_high && Same(x, y)) ++x, ++y;
        Forward(d) = x;
        if (odd && backward_min <= d && d <= backward_max && Backward(d) <= x) return {x, y};
      }
      if (backward_min > min_diagonal) {
        Backward(--backward_min - 1) = std::numeric_limits<Index>::max();
      } else {
        ++backward_min;
      }
      if (backward_max < max_diagonal) {
        Backward(++backward_max + 1) = std::numeric_limits<Index>::max();
      } else {
        --backward_max;
      }
      for (Index d = backward_max; d >= backward_min; d -= 2) {
        const Index from_low = Backward(d - 1);
        const Index from_high = Backward(d + 1);
        Index x = from_low < from_high ? from_low : from_high - 1;
        Index y = x - d;
        while (x > x_low && y > y_low && Same(x - 1, y - 1)) --x, --y;
        Backward(d) = x;
        if (!odd && forward_min <= d && d <= forward_max && x <= Forward(d)) return {x, y};
      }
    }
  }

  const std::vector<std::uint32_t>& a_;
  const std::vector<std::uint32_t>& b_;
  std::vector<bool> deleted_;
  std::vector<bool> inserted_;
  Index offset_;  // diagonals run from -b.size() - 1 to a.size() + 1
  std::vector<Index> forward_;
  std::vector<Index> backward_;
};

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

// Lines that occur on one side only cannot be common; they are set aside before
// the comparison, which keeps it short when a reformatting changes most lines.
LineChanges CompareLines(const std::vector<std::string_view>& before,
                         const std::vector<std::string_view>& after) {
  std::unordered_map<std::string_view, std::uint32_t> ids;
  std::vector<std::uint32_t> before_ids, after_ids;
  std::vector<std::uint8_t> sides;  // per id: bit 0 in before, bit 1 in after
  auto intern = [&](std::string_view line, std::uint8_t side) {
    const auto [it, added] = ids.try_emplace(line, static_cast<std::uint32_t>(sides.size()));
    if (added) sides.push_back(0);
    sides[it->second] = static_cast<std::uint8_t>(sides[it->second] | side);
    return it->second;
  };
  for (std::string_view line : before) before_ids.push_back(intern(line, 1));
  for (std::string_view line : after) after_ids.push_back(intern(line, 2));

  LineChanges changes{std::vector<bool>(before.size(), true), std::vector<bool>(after.size(), true)};
  std::vector<std::uint32_t> kept_before, kept_after;
  std::vector<std::size_t> before_index, after_index;
  for (std::size_t i = 0; i < before_ids.size(); ++i) {
    if (sides[before_ids[i]] != 3) continue;
    kept_before.push_back(before_ids[i]);
    before_index.push_back(i);
  }
  for (std::size_t j = 0; j < after_ids.size(); ++j) {
    if (sides[after_ids[j]] != 3) continue;
    kept_after.push_back(after_ids[j]);
    after_index.push_back(j);
  }
  const ShortestEditScript script(kept_before, kept_after);
  for (std::size_t i = 0; i < kept_before.size(); ++i) changes.deleted[before_index[i]] = script.deleted()[i];
  for (std::size_t j = 0; j < kept_after.size(); ++j) changes.inserted[after_index[j]] = script.inserted()[j];
  return changes;
}

namespace {

// Lines [before_begin, before_end) give way to [after_begin, after_end).
struct Change {
  Index before_begin, before_end, after_begin, after_end;
};

std::vector<Change> GroupChanges(const LineChanges& changes) {
  std::vector<Change> groups;
  const Index before_size = static_cast<Index>(changes.deleted.size());
  const Index after_size = static_cast<Index>(changes.inserted.size());
  auto deleted = [&](Index i) { return i < before_size && changes.deleted[static_cast<std::size_t>(i)]; };
  auto inserted = [&](Index j) { return j < after_size && changes.inserted[static_cast<std::size_t>(j)]; };
  Index i = 0, j = 0;
  while (i < before_size || j < after_size) {
    if (!deleted(i) && !inserted(j)) {
      ++i, ++j;  // a common line
      continue;
    }
    Change change{i, i, j, j};
    while (deleted(i)) ++i;
    while (inserted(j)) ++j;
    change.before_end = i;
    change.after_end = j;
    groups.push_back(change);
  }
  return groups;
}

// "a,b" of a hunk header as diff writes it: a range of one line is its
// number alone, an empty range is named by the line before it.
void AppendRange(Index begin, Index count, std::string& out) {
  if (count == 1) {
    out += std::to_string(begin + 1);
    return;
  }
  out += std::to_string(count == 0 ? begin : begin + 1);
  out += ',';
  out += std::to_string(count);
}

void AppendLine(char mark, std::string_view line, std::string& out) {
  out += mark;
  out += line;
  if (line.empty() || line.back() != '\n') out += "\n\\ No newline at end of file\n";
}

}  // namespace

void AppendUnifiedDiff(std::string_view before, std::string_view after, std::string_view before_label,
                       std::string_view after_label, std::string& out) {
  if (before == after) return;
  const std::vector<std::string_view> before_lines = SplitLines(before);
  const std::vector<std::string_view> after_lines = SplitLines(after);
  const std::vector<Change> changes = GroupChanges(CompareLines(before_lines, after_lines));
  const Index before_size = static_cast<Index>(before_lines.size());
  auto before_line = [&](Index i) { return before_lines[static_cast<std::size_t>(i)]; };
  auto after_line = [&](Index j) { return after_lines[static_cast<std::size_t>(j)]; };

  out += "--- ";
  out += before_label;
  out += "\n+++ ";
  out += after_label;
  out += '\n';
  // A hunk takes in the next change while at most twice the context lies between them.
  for (std::size_t first = 0; first < changes.size();) {
    std::size_t last = first;
    while (last + 1 < changes.size() &&
           changes[last + 1].before_begin - changes[last].before_end <= 2 * kContext) {
      ++last;
    }
    const Index begin = std::max<Index>(0, changes[first].before_begin - kContext);
    const Index end = std::min(before_size, changes[last].before_end + kContext);
    const Index after_begin = changes[first].after_begin - (changes[first].before_begin - begin);
    const Index after_end = changes[last].after_end + (end - changes[last].before_end);
    out += "@@ -";
    AppendRange(begin, end - begin, out);
    out += " +";
    AppendRange(after_begin, after_end - after_begin, out);
    out += " @@\n";
    Index i = begin;
    for (std::size_t c = first; c <= last; ++c) {
      for (; i < changes[c].before_begin; ++i) AppendLine(' ', before_line(i), out);
      for (; i < changes[c].before_end; ++i) AppendLine('-', before_line(i), out);
      for (Index j = changes[c].after_begin; j < changes[c].after_end; ++j)
        AppendLine('+', after_line(j), out);
    }
    for (; i < end; ++i) AppendLine(' ', before_line(i), out);
    first = last + 1;
  }
}

platform::TextPosition FirstDifference(std::string_view before, std::string_view after) {
  const std::size_t offset = static_cast<std::size_t>(
      std::mismatch(before.begin(), before.end(), after.begin(), after.end()).first - before.begin());
  return platform::PositionOfByte(before, offset);
}

}  // namespace qfmt::tree
