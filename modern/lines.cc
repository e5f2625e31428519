#include "modern/lines.h"

#include <algorithm>

#include "lexer/pp_lexer.h"

namespace qfmt::modern {
namespace {

bool IsNameByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         c == '\\' || u >= 0x80;
}
bool IsBracketByte(char c) {
  return c == '(' || c == ')' || c == '[' || c == ']' || c == '{' || c == '}' || c == ';' || c == ',';
}

// Whether writing `right` right after `left` could make one token of the
// two; the lexer answers where the bytes alone cannot.
bool MayJoin(std::string_view left, std::string_view right) {
  const char a = left.back();
  const char b = right.front();
  if (IsBracketByte(a) || IsBracketByte(b)) return false;
  const bool name_a = IsNameByte(a);
  const bool name_b = IsNameByte(b);
  const bool quote_a = a == '"' || a == '\'';
  const bool quote_b = b == '"' || b == '\'';
  if (name_a && name_b) return true;
  if ((name_a && quote_b) || (quote_a && name_b)) return lexer::JoinsAcross(left, right);
  if (name_a || quote_a)
    return left.front() >= '0' && left.front() <= '9' ? lexer::JoinsAcross(left, right) : false;
  if (name_b || quote_b) return a == '.' && b >= '0' && b <= '9';
  return lexer::JoinsAcross(left, right);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

Lines::Lines(std::string_view text, const LineOptions& options, std::string& output)
    : text_(text),
      options_(options),
      output_(output),
      breaker_(options.max_line_length, options.unit, options.tab_width),
      frames_(1) {}

void Lines::Take(const Token& token, const Mark& mark) {
  if (overflowed_) return;
  const bool code =
      token.kind != Kind::kEnd && token.kind != Kind::kDirective && token.kind != Kind::kComment;
  if ((!code || verbatim_ || mark.verbatim != Verbatim::kNo) && TakeOther(token, mark)) return;
  in_comment_line_ = false;
  if (!leading_.empty() || NewLine(token, mark)) BeginLine(token, mark);
  // Most tokens neither open nor close a frame, nor begin a statement.
  if (mark.closes > 0 || mark.starts_statement || mark.anchors || mark.opens != Open::kNothing)
    Nest(token, mark);
  Append(token, mark);
}

bool Lines::TakeOther(const Token& token, const Mark& mark) {
  if (token.kind == Kind::kEnd) {
    End();
    return true;
  }
  if (mark.verbatim != Verbatim::kNo) {
    TakeVerbatim(token, mark);
    return true;
  }
  if (verbatim_) EndVerbatim();
  if (token.kind == Kind::kDirective) {
    Directive(token, mark);
    return true;
  }
  if (token.kind != Kind::kComment) return false;
  if (mark.comment_line) {
    FlushLine();
    Enqueue({token, {}, token.breaks() >= 2});
    in_comment_line_ = true;
  } else if (in_comment_line_ && !token.starts_line()) {
    Enqueue({token, text_.substr(last_end_, token.offset - last_end_), false});
  } else if (token.starts_line() || !leading_.empty()) {
    const std::string_view gap =
        leading_.empty() ? std::string_view() : text_.substr(last_end_, token.offset - last_end_);
    leading_.push_back({token, gap, token.breaks() >= 2});
  } else {
    return false;  // it trails code
  }
  last_end_ = token.end();
  return true;
}

// A line of code begins with `token`, or with the comments before it.
void Lines::BeginLine(const Token& token, const Mark& mark) {
  const Token& first = leading_.empty() ? token : leading_.front().token;
  const bool closes = mark.role == Role::kBlockClose || mark.role == Role::kListClose;
  FlushLine();  // its breaks may set the indentation of what follows
  const std::int32_t indent = IndentOf(mark, first.column);
  StartLine(indent, ContinuationBase(mark, indent), first.column, first.breaks() >= 2 && first.starts_line(),
            closes);
  for (const Queued& comment : leading_) {
    Item item;
    item.text = comment.token.TextIn(text_);
    item.gap = comment.gap;
    item.space = comment.gap.empty() ? 1 : 0;
    item.kind = Kind::kComment;
    item.role = Role::kComment;
    item.multiline = comment.token.multiline();
    item.input_column = comment.token.column;
    item.width = ColumnAfter(item.text, 0, options_.tab_width);
    breaker_.Add(item);
  }
  leading_.clear();
}

bool Lines::NewLine(const Token& token, const Mark& mark) const {
  if (!breaker_.open()) return true;
  if (token.kind == Kind::kComment) return false;
  switch (mark.line) {
    case Break::kForce:
      return line_has_code_ || token.starts_line();
    case Break::kJoin:
      return token.starts_line() && (breaker_.last() == nullptr || breaker_.last()->kind == Kind::kComment);
    case Break::kAsInput:
      break;
  }
  return token.starts_line();
}

std::int32_t Lines::Close(const Frame& frame) const {
  return frame.kind == Open::kBlock ? frames_[static_cast<std::size_t>(frame.parent)].anchor_indent
                                    : frame.close;
}

std::int32_t Lines::Body(const Frame& frame) const {
  if (frame.kind == Open::kNothing) return 0;
  return Close(frame) + (frame.kind == Open::kBlock && !frame.indented ? 0 : options_.unit);
}

const Lines::Frame& Lines::StatementFrame() const {
  for (std::size_t i = frames_.size(); i-- > 1;) {
    if (frames_[i].kind == Open::kBlock || frames_[i].kind == Open::kLambda) return frames_[i];
  }
  return frames_.front();
}

Lines::Frame& Lines::StatementFrame() {
  return const_cast<Frame&>(static_cast<const Lines*>(this)->StatementFrame());
}

std::int32_t Lines::IndentOf(const Mark& mark, std::int32_t column) const {
  const std::int32_t unit = options_.unit;
  switch (mark.place) {
    case Place::kFlushLeft:
      return 0;
    case Place::kStatement:
      return std::max(0, Body(StatementFrame()) + mark.levels * unit);
    case Place::kBlockOpen:
      return StatementFrame().anchor_indent;
    case Place::kClose:
      if (mark.closes > 0 && mark.closes < frames_.size())
        return Close(frames_[frames_.size() - mark.closes]);
      return Body(StatementFrame());
    case Place::kContinuation:
      break;
  }
  // Where it stood, moved as its statement's first line moved; never left of
  // the statement (a closing bracket may stand under it), and inside a list
  // at least one unit in from the line of its "{".
  const Frame& statement = StatementFrame();
  const std::int32_t shifted = column + statement.anchor_indent - statement.anchor_column;
  for (std::size_t i = frames_.size(); i-- > 1;) {
    if (frames_[i].kind == Open::kParen) continue;
    if (frames_[i].kind == Open::kList) return std::max(shifted, frames_[i].close + unit);
    break;
  }
  const bool closer =
      mark.role == Role::kClose || mark.role == Role::kCastClose || mark.role == Role::kTemplateClose;
  if (closer) return std::max(shifted, statement.anchor_indent);
  if (shifted < statement.anchor_indent) return statement.anchor_indent + 2 * unit;
  return shifted;
}

// Where a line's continuation lines go: two units in from its statement (one
// unit in from the line of a list's "{" around it); see LineBreaker::Begin.
std::int32_t Lines::ContinuationBase(const Mark& mark, std::int32_t indent) const {
  if (mark.place != Place::kContinuation) return indent + 2 * options_.unit;
  for (std::size_t i = frames_.size(); i-- > 1;) {
    if (frames_[i].kind == Open::kParen) continue;
    if (frames_[i].kind == Open::kList) return frames_[i].close + options_.unit;
    break;
  }
  return StatementFrame().anchor_indent + 2 * options_.unit;
}

void Lines::Nest(const Token& token, const Mark& mark) {
  for (std::uint8_t i = 0; i < mark.closes && frames_.size() > 1; ++i) frames_.pop_back();
  const bool verbatim = mark.verbatim != Verbatim::kNo;
  if (mark.starts_statement || (mark.anchors && token.starts_line())) {
    Frame& frame = StatementFrame();
    frame.anchor_indent = verbatim ? token.column : breaker_.current_indent();
    frame.anchor_column = verbatim ? token.column : line_column_;
    anchored_ = static_cast<std::int32_t>(&frame - frames_.data());
  }
  if (mark.opens == Open::kNothing) return;
  Frame frame;
  frame.kind = mark.opens;
  frame.serial = ++serials_;
  if (mark.opens == Open::kBlock) {
    frame.parent = static_cast<std::int32_t>(&StatementFrame() - frames_.data());
    frame.indented = mark.body_indented;
  } else if (mark.opens == Open::kLambda && intro_.line != lines_begun_) {
    frame.close = verbatim ? token.column : intro_.indent;  // its introducer's line
  } else if (mark.opens != Open::kParen) {
    frame.close = verbatim ? token.column : breaker_.current_indent();
  }
  frames_.push_back(frame);
  frames_.back().anchor_indent = frames_.back().anchor_column = Body(frames_.back());
}

// Inline in Append, its one caller, as the common path of every token.
[[gnu::always_inline]] inline std::int32_t Lines::SpaceBefore(const Token& token, const Mark& mark,
                                                              std::string_view& gap) const {
  const Item* last = breaker_.last();
  if (last == nullptr || (!breaker_.continued() && breaker_.items().empty())) return 0;
  std::int32_t space = 0;
  switch (mark.space) {
    case Space::kNone:
      break;
    case Space::kOne:
      space = 1;
      break;
    case Space::kAsInput:
      if (token.kind == Kind::kComment) return SpaceBeforeComment(token, mark, gap);
      space = token.blank_before() ? 1 : 0;
      break;
  }
  if (space == 0 && MayJoin(last->text, token.TextIn(text_))) space = 1;
  return space;
}

// The blanks before a comment are kept; a trailing one gets one at least.
std::int32_t Lines::SpaceBeforeComment(const Token& token, const Mark& mark, std::string_view& gap) const {
  const std::string_view before = text_.substr(last_end_, token.offset - last_end_);
  if (!before.empty() && before.find_first_not_of(" \t") == std::string_view::npos) {
    gap = before;
    return 0;
  }
  return mark.ends_line ? 1 : 0;
}

void Lines::Append(const Token& token, const Mark& mark) {
  if (mark.lambda_intro) {
    intro_.line = lines_begun_;
    intro_.item = breaker_.items().size();
    intro_.indent = breaker_.current_indent();
  }
  std::string_view gap;
  const std::int32_t space = SpaceBefore(token, mark, gap);
  breaker_.AddWith([&](Item& item) {
    item.text = token.TextIn(text_);
    item.gap = gap;
    item.space = space;
    item.kind = token.kind;
    item.word = token.word;
    item.role = mark.role;
    item.multiline = token.multiline();
    if (token.multiline()) {
      const std::size_t last_line = item.text.find_last_of("\n\r");
      item.width = ColumnAfter(item.text.substr(last_line + 1), 0, options_.tab_width);
      if (token.kind == Kind::kComment) item.input_column = InputColumn(token.offset);
    } else if (token.kind == Kind::kPunct) {
      item.width = static_cast<std::int32_t>(token.size);  // ASCII, without tabs
    } else {
      item.width = ColumnAfter(item.text, 0, options_.tab_width);
    }
    if (mark.opens == Open::kLambda || mark.opens == Open::kList) {
      item.frame = static_cast<std::int32_t>(frames_.size() - 1);
      item.serial = frames_.back().serial;
      if (mark.opens == Open::kLambda && intro_.line == lines_begun_) item.intro = intro_.item;
    } else if (anchored_ >= 0) {
      item.frame = anchored_;
      item.serial = frames_[static_cast<std::size_t>(anchored_)].serial;
      item.anchors = true;
    }
  });
  anchored_ = -1;
  if (token.kind != Kind::kComment) line_has_code_ = true;
  if (token.kind == Kind::kComment && !token.multiline()) trailing_column_in_ = InputColumn(token.offset);
  if (breaker_.items().back().frame >= 0) framed_.push_back(breaker_.items().size() - 1);
  if (breaker_.items().size() >= LineBreaker::kMaxHeld) WriteLine(false);
  last_end_ = token.end();
}

// The frames whose indentation comes from the line that holds an item take
// it from the line where the breaks put it.
void Lines::SettleFrames() {
  const std::vector<Item>& items = breaker_.items();
  if (intro_.line == lines_begun_ && intro_.item < items.size())
    intro_.indent = breaker_.IndentOf(intro_.item);
  for (const std::size_t i : framed_) {
    const Item& item = items[i];
    if (static_cast<std::size_t>(item.frame) >= frames_.size()) continue;
    Frame& frame = frames_[static_cast<std::size_t>(item.frame)];
    if (frame.serial != item.serial) continue;
    if (item.anchors) {
      frame.anchor_indent = breaker_.IndentOf(i);
    } else if (frame.kind == Open::kList || item.intro < items.size()) {
      // A list's closing brace stands as the line of its "{"; a lambda's as
      // the line of its introducer.
      frame.close = breaker_.IndentOf(frame.kind == Open::kList ? i : item.intro);
    }
  }
}

bool Lines::BlankLineAllowed(bool closes) const { return wrote_line_ && !last_line_opened_ && !closes; }

void Lines::StartLine(std::int32_t indent, std::int32_t base, std::int32_t column, bool blank_line,
                      bool closes) {
  FlushLine();
  WriteQueue({true, column, indent, closes});
  if (blank_line && BlankLineAllowed(closes)) EndOutputLine(false);
  breaker_.Begin(indent, base);
  line_column_ = column;
  line_has_code_ = false;
  ++lines_begun_;
}

// Breaks the line held and writes it; the whole of it, or (a line of very
// many tokens) what is held so far, the line going on after it.
void Lines::WriteLine(bool whole) {
  breaker_.Break();
  SettleFrames();
  const std::vector<Item>& items = breaker_.items();
  const std::vector<LineBreaker::Piece>& pieces = breaker_.pieces();
  std::size_t next_piece = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Item& item = items[i];
    const bool begins = next_piece < pieces.size() && pieces[next_piece].first == i;
    if (begins && (i > 0 || !breaker_.continued())) {
      if (next_piece > 0) EndOutputLine(true);
      WriteIndent(pieces[next_piece].indent);
    } else if (!item.gap.empty()) {
      output_.append(item.gap);
    } else if (item.space == 1) {
      output_.push_back(' ');
    } else if (item.space > 1) {
      output_.append(static_cast<std::size_t>(item.space), ' ');
    }
    if (begins) ++next_piece;
    if (item.kind != Kind::kComment) {
      output_.append(item.text);
    } else {
      WriteToken(item.text, true, item.multiline ? item.column - item.input_column : 0);
    }
  }
  framed_.clear();
  if (whole) {
    EndOutputLine(true);
  } else {
    breaker_.Drain();
  }
}

void Lines::FlushLine() {
  if (!breaker_.open()) return;
  WriteLine(true);
  const std::vector<Item>& items = breaker_.items();
  previous_ = {true, line_column_, breaker_.indent(), false};
  trailing_in_ = trailing_out_ = -1;
  last_line_opened_ = false;
  for (std::size_t i = items.size(); i-- > 0;) {
    const Item& item = items[i];
    if (item.kind == Kind::kComment) continue;
    last_line_opened_ = item.role == Role::kBlockOpen || item.role == Role::kListOpen;
    break;
  }
  if (items.size() > 1 && items.back().kind == Kind::kComment && !items.back().multiline &&
      items[items.size() - 2].kind != Kind::kComment) {
    trailing_out_ = items.back().column;
    trailing_in_ = trailing_column_in_;
  }
  breaker_.Clear();
}

// note [comment lines]: a line of comments goes with the code around it.
// It keeps its place beside the last line's trailing comment, or beside the
// next line or the last one where it stood at their column; otherwise it
// moves as the next line of code moved (as the last one moved, before a
// closing brace or at the end), so that what was indented with the code
// stays so. Every rule maps a column that the output holds to itself, so a
// second run leaves it.
void Lines::WriteQueue(const Placed& next) {
  bool follows_trailing = trailing_in_ >= 0;
  for (std::size_t i = 0; i < queue_.size();) {
    const Token& first = queue_[i].token;
    if (queue_[i].blank_line && BlankLineAllowed(false)) EndOutputLine(false);
    if (first.kind == Kind::kDirective) {
      WriteLines(first.TextIn(text_), true);
      EndOutputLine(true);
      last_line_opened_ = false;
      follows_trailing = false;
      ++i;
      continue;
    }
    const std::int32_t column = first.column;
    std::int32_t indent = column;
    follows_trailing = follows_trailing && !queue_[i].blank_line;
    if (follows_trailing && column == trailing_in_) {
      indent = trailing_out_;
    } else if (next.known && column == next.column) {
      follows_trailing = false;
      indent = next.indent;
    } else if (previous_.known && column == previous_.column) {
      follows_trailing = false;
      indent = previous_.indent;
    } else {
      follows_trailing = false;
      const Placed& guide = next.known && !next.closes ? next : previous_;
      if (guide.known) indent = std::max(0, column + guide.indent - guide.column);
    }
    WriteIndent(indent);
    std::int32_t at = indent;
    const std::size_t line = i;
    for (std::size_t j = line; j < queue_.size() && (j == line || !queue_[j].token.starts_line()); ++j) {
      const Queued& comment = queue_[j];
      if (j > line) {
        const std::string_view gap = comment.gap.empty() ? std::string_view(" ") : comment.gap;
        output_.append(gap);
        at = ColumnAfter(gap, at, options_.tab_width);
      }
      const std::int32_t input = j == line ? column : InputColumn(comment.token.offset);
      WriteToken(comment.token.TextIn(text_), true, at - input);
      at = ColumnAfter(comment.token.TextIn(text_), at, options_.tab_width);
      i = j + 1;
    }
    EndOutputLine(true);
    last_line_opened_ = false;
  }
  queue_.clear();
}

void Lines::Enqueue(const Queued& entry) {
  // A text of comments and directives only need not be held whole.
  constexpr std::size_t kMaxQueued = 4096;
  if (queue_.size() >= kMaxQueued && entry.token.starts_line()) WriteQueue({});
  queue_.push_back(entry);
}

// A directive waits with the comments before it, so that they go with the
// code after it.
void Lines::Directive(const Token& token, const Mark& mark) {
  FlushLine();
  queue_.insert(queue_.end(), leading_.begin(), leading_.end());
  leading_.clear();
  in_comment_line_ = false;
  Enqueue({token, {}, token.breaks() >= 2});
  ApplyBranch(mark.branch);
  last_end_ = token.end();
}

void Lines::ApplyBranch(Branch branch) {
  switch (branch) {
    case Branch::kNone:
      return;
    case Branch::kSave:
    case Branch::kSaveDead: {
      if (branch_depth_ == branches_.size()) branches_.emplace_back();
      Saved& saved = branches_[branch_depth_++];
      saved.at_if = frames_;
      saved.has_first = false;
      saved.dead = branch == Branch::kSaveDead;
      return;
    }
    case Branch::kRestore:
      if (branch_depth_ > 0) {
        Saved& saved = branches_[branch_depth_ - 1];
        if (!saved.has_first && !saved.dead) {
          saved.first = frames_;
          saved.has_first = true;
        }
        saved.dead = false;
        frames_ = saved.at_if;
      }
      return;
    case Branch::kEnd:
      if (branch_depth_ > 0) {
        Saved& saved = branches_[--branch_depth_];
        if (saved.has_first) frames_ = saved.first;
      }
      return;
  }
}

// A region kept as written runs from the line after the last token laid out
// to the end of the line of its last token.
void Lines::TakeVerbatim(const Token& token, const Mark& mark) {
  if (!verbatim_) {
    FlushLine();
    queue_.insert(queue_.end(), leading_.begin(), leading_.end());
    leading_.clear();
    in_comment_line_ = false;
    // The region's first line stays where it stands.
    WriteQueue({true, token.column, token.column, false});
    verbatim_ = true;
    verbatim_trim_ = mark.verbatim == Verbatim::kTrimmed;
    verbatim_begin_ = last_end_ == 0 ? 0 : LineEndAfter(last_end_);
  }
  const std::size_t end = token.end();
  verbatim_end_ = FindLineEnd(text_, end);
  Nest(token, mark);
  last_end_ = end;
}

void Lines::EndVerbatim() {
  verbatim_ = false;
  if (verbatim_end_ > verbatim_begin_) {
    const std::string_view region = text_.substr(verbatim_begin_, verbatim_end_ - verbatim_begin_);
    if (verbatim_trim_) {
      WriteLines(region, true);
    } else {
      output_.append(region);
    }
    EndOutputLine(verbatim_trim_);
  }
  previous_ = Placed{};
  trailing_in_ = -1;
  last_line_opened_ = false;
}

void Lines::End() {
  if (verbatim_) EndVerbatim();
  FlushLine();
  queue_.insert(queue_.end(), leading_.begin(), leading_.end());
  leading_.clear();
  WriteQueue({});
}

void Lines::WriteIndent(std::int32_t columns) {
  if (options_.tabs) {
    output_.append(static_cast<std::size_t>(columns / options_.tab_width), '\t');
    columns %= options_.tab_width;
  }
  output_.append(static_cast<std::size_t>(columns), ' ');
}

void Lines::WriteToken(std::string_view text, bool comment, std::int32_t shift) {
  if (!comment || FindLineEnd(text) == text.size()) {
    output_.append(text);
    return;
  }
  // A block comment's later lines move as its first line moved.
  std::size_t begin = 0;
  bool first = true;
  while (begin <= text.size()) {
    const std::size_t end = FindLineEnd(text, begin);
    std::string_view line = text.substr(begin, end - begin);
    if (!first) {
      EndOutputLine(true);
      const std::size_t lead = line.find_first_not_of(" \t");
      if (lead == std::string_view::npos) {
        line = {};
      } else if (shift != 0) {
        const std::int32_t column = ColumnAfter(line.substr(0, lead), 0, options_.tab_width);
        WriteIndent(std::max(0, column + shift));
        line.remove_prefix(lead);
      }
    }
    output_.append(line);
    first = false;
    if (end == text.size()) break;
    begin = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
}

void Lines::WriteLines(std::string_view text, bool trim) {
  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = FindLineEnd(text, begin);
    output_.append(text.substr(begin, end - begin));
    if (end == text.size()) return;
    EndOutputLine(trim);
    begin = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
}

void Lines::EndOutputLine(bool trim) {
  if (trim) {
    std::size_t size = output_.size();
    while (size > 0 && IsBlank(output_[size - 1])) --size;
    output_.resize(size);
  }
  output_.append(options_.line_end);
  wrote_line_ = true;
  if (output_.size() > options_.max_output) overflowed_ = true;
}

std::int32_t Lines::InputColumn(std::size_t offset) const {
  std::size_t begin = offset;
  while (begin > 0 && text_[begin - 1] != '\n' && text_[begin - 1] != '\r') --begin;
  return ColumnAfter(text_.substr(begin, offset - begin), 0, options_.tab_width);
}

std::size_t Lines::LineEndAfter(std::size_t offset) const {
  const std::size_t end = FindLineEnd(text_, offset);
  if (end == text_.size()) return end;
  return end + (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n' ? 2 : 1);
}

}  // namespace qfmt::modern
