#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "modern/structure.h"

// The line being built, and where it breaks when it passes the limit: at the
// outermost level possible (the fewest brackets open), after a comma or an
// assignment or before a binary operator, preferring a break after which the
// rest fits, then the operators that bind least, then the break that fills
// the line most; between two words only where nothing else serves.
// Continuation lines stand two units in from the line's first, or just after
// the open parenthesis they are inside where the rest fits there (and where
// the parenthesis broke before, where it broke).
namespace qfmt::modern {

struct Item {
  std::string_view text;
  std::string_view gap;           // blanks written before it as they stood (a trailing comment)
  std::int32_t space = 0;         // blanks before it, where there is no gap
  std::int32_t width = 0;         // columns of its text; of its last line when it has several
  std::int32_t column = 0;        // where it begins in its line
  std::int32_t input_column = 0;  // a block comment of several lines: where it began in the input
  std::int32_t depth = 0;         // brackets opened before it in the line, less those closed
  std::int32_t frame = -1;        // a frame whose indentation the line that holds this item sets
  std::uint32_t serial = 0;       // ... and that frame's serial
  bool anchors = false;           // its statement begins here: the frame's anchor is its line
  std::size_t intro = SIZE_MAX;   // a lambda's "{": the item of its introducer's "[" on the same line
  Role role = Role::kWord;
  Kind kind = Kind::kWord;
  Word word = Word::kNone;
  bool multiline = false;
  bool breakable = false;       // the line may break before it
  std::uint8_t precedence = 0;  // of that break: the lower, the better
};

class LineBreaker {
 public:
  struct Piece {
    std::size_t first = 0;  // its first item
    std::int32_t indent = 0;
    std::size_t opener = SIZE_MAX;  // the open parenthesis that its break is inside
  };

  // Lines longer than this many items are written as they come, in parts.
  static constexpr std::size_t kMaxHeld = 1 << 16;

  LineBreaker(std::int32_t limit, std::int32_t unit, std::int32_t tab_width)
      : limit_(limit), unit_(unit), tab_width_(tab_width) {}

  // Begins a line at `indent`. Its continuation lines go to `base` (two
  // units in from its statement, or one unit in from the line of a list's
  // "{" around it), and so does the line itself, if that is less, where it
  // does not fit at `indent`: the lines take a continuation line that does
  // not fit where it stood there too, so a second run keeps what the first
  // made.
  void Begin(std::int32_t indent, std::int32_t base);
  [[nodiscard]] bool open() const { return open_; }
  // True when the line holds no item yet, or only items already written.
  [[nodiscard]] bool empty() const { return items_.empty() && !continued_; }
  // Adds an item at the end of the line, as `fill` makes it from a default
  // one: built in place, since the line's items take most of the layout's
  // writes.
  template <typename Fill>
  void AddWith(Fill&& fill) {
    Item& item = items_.emplace_back();
    fill(item);
    Place(item);
  }
  void Add(const Item& item) {
    AddWith([&item](Item& added) { added = item; });
  }
  // Breaks the line where it passes the limit.
  void Break();
  // Forgets the items written so far, the line going on after them.
  void Drain();
  void Clear();

  [[nodiscard]] const std::vector<Item>& items() const { return items_; }
  [[nodiscard]] const std::vector<Piece>& pieces() const { return pieces_; }
  [[nodiscard]] bool continued() const { return continued_; }
  [[nodiscard]] std::int32_t indent() const { return first_indent_; }
  // The indentation of the line that holds item i.
  [[nodiscard]] std::int32_t IndentOf(std::size_t i) const;
  [[nodiscard]] std::int32_t current_indent() const { return pieces_.back().indent; }
  [[nodiscard]] const Item* last() const { return items_.empty() ? last_written_ : &items_.back(); }

 private:
  // Whether, and how well, the line may break between `before` and `item`.
  static void Mark(const Item& before, Item& item);
  // Gives the items held their depths and breaks, once.
  void MarkBreaks();
  [[nodiscard]] std::size_t Choose(std::size_t from, std::size_t to) const;
  [[nodiscard]] std::int32_t ContinuationIndent(std::size_t at, std::size_t& opener) const;
  void Lay(std::size_t from, std::size_t to, std::int32_t indent);
  [[nodiscard]] std::int32_t StartAfter(const Item& item, std::int32_t end) const {
    if (!item.gap.empty()) return ColumnAfter(item.gap, end, tab_width_);
    return end + item.space;
  }
  // Gives the item just added its column.
  void Place(Item& item) {
    const bool first = items_.size() == 1 && !continued_;
    marked_ = false;
    item.column = first ? end_ : StartAfter(item, end_);
    end_ = item.multiline ? item.width : item.column + item.width;
  }
  [[nodiscard]] std::int32_t CodeEnd(std::size_t from, std::size_t to) const;

  std::int32_t limit_;
  std::int32_t unit_;
  std::int32_t tab_width_;
  bool open_ = false;
  bool continued_ = false;  // items of the line were written already
  std::int32_t first_indent_ = 0;
  std::int32_t base_ = 0;
  std::vector<Item> items_;
  std::vector<Piece> pieces_;
  std::int32_t end_ = 0;          // the column after the last item
  std::int32_t first_depth_ = 0;  // brackets open before the first item held
  std::int32_t depth_ = 0;        // ... and after the last, once marked
  bool marked_ = true;            // the items held have their depths and breaks
  Item written_;                  // the last item written by Drain
  const Item* last_written_ = nullptr;
};

}  // namespace qfmt::modern
