#include "modern/file_facts.h"

#include <array>
#include <vector>

#include "modern/token_stream.h"

namespace qfmt::modern {
namespace {

constexpr std::int32_t kMaxStep = 16;

// A "{" that opens a block rather than a list: the token before it says.
bool OpensBlock(Word before) {
  switch (before) {
    case Word::kAssign:
    case Word::kComma:
    case Word::kLParen:
    case Word::kLBracket:
    case Word::kLBrace:
    case Word::kReturn:
      return false;
    default:
      return true;
  }
}

bool EndsStatement(Word word) {
  return word == Word::kSemicolon || word == Word::kLBrace || word == Word::kRBrace;
}

// A name or a type before a declarator's "*" or "&".
bool EndsType(const Token& token) {
  return (token.kind == Kind::kWord && (token.word == Word::kNone || IsTypeWord(token.word))) ||
         token.word == Word::kGreater;
}

// note [file facts]: the layout lays its output out with what these say, so
// they must say the same of the output as of the input, or a second run
// would change it. So they count only what the layout keeps: the lines that
// stand in a block (an extern "C"'s or a list's body is laid out otherwise,
// and a namespace's counts only where it stands in), measured from the
// statement that opened the block (from its brace where that stands alone on
// its line), past access specifiers.
class FactReader {
 public:
  FactReader(std::string_view text, std::int32_t tab_width, TokenRecord* record)
      : stream_(text, tab_width, record), tab_width_(tab_width) {
    blocks_.reserve(64);
  }

  FileFacts Read() {
    for (;; stream_.Advance()) {
      const Token& token = stream_.Peek();
      if (token.kind == Kind::kEnd) break;
      if (token.kind == Kind::kComment || token.kind == Kind::kDirective) continue;
      if (token.starts_line()) {
        BeginLine(token);
      } else if (!line_is_access_) {
        pending_ = false;  // the "{" does not end its line
      }
      // A namespace at the start of a line begins a declaration even after
      // a macro without ";", as the layout takes it.
      if (EndsStatement(last_) || (token.starts_line() && token.word == Word::kNamespace))
        BeginStatement(token);
      if (token.word == Word::kStar || token.word == Word::kAmp || token.word == Word::kAmpAmp) {
        CountDeclarator(token, stream_.Peek(1));
      }
      if (token.word == Word::kLBrace) OpenBrace(token);
      if (token.word == Word::kRBrace) {
        if (!blocks_.empty() && blocks_.back() == Block::kCounted) --counted_depth_;
        if (!blocks_.empty()) blocks_.pop_back();
      }
      if (EndsStatement(token.word)) {
        in_list_statement_ = false;
      } else if (token.word == Word::kEnum || token.word == Word::kAssign) {
        in_list_statement_ = true;
      }
      last_ = token.word;
      last_ends_type_ = EndsType(token);
    }
    return Decide();
  }

 private:
  enum class Block : std::uint8_t { kCounted, kExtern, kList };

  void BeginStatement(const Token& token) {
    statement_column_ = line_column_;
    statement_block_ = Block::kCounted;
    if (token.word == Word::kExtern && stream_.Peek(1).kind == Kind::kString)
      statement_block_ = Block::kExtern;
  }

  void OpenBrace(const Token& token) {
    Block block = statement_block_;
    if (in_list_statement_ || !OpensBlock(last_)) block = Block::kList;
    blocks_.push_back(block);
    if (block == Block::kCounted) ++counted_depth_;
    pending_block_ = block;
    pending_column_ = token.starts_line() ? token.column : statement_column_;
    pending_ = true;
  }

  void BeginLine(const Token& token) {
    const std::int32_t column = token.column;
    const bool access =
        token.word == Word::kPublic || token.word == Word::kPrivate || token.word == Word::kProtected ||
        (token.kind == Kind::kWord && token.word == Word::kNone && stream_.Peek(1).word == Word::kColon);
    line_is_access_ = access;
    if (pending_ && !access) MeasureStep(token);
    // A declaration's own line after its template header, or the line of its
    // class key, is what its body steps in from (as the layout takes it).
    if (line_begins_template_ || IsClassKeyWord(token.word)) statement_column_ = column;
    line_begins_template_ = token.word == Word::kTemplate;
    line_column_ = column;
    if (column > 0 && counted_depth_ > 0) CountLead(token);
  }

  static bool IsClassKeyWord(Word word) {
    return word == Word::kClass || word == Word::kStruct || word == Word::kUnion;
  }

  void MeasureStep(const Token& token) {
    pending_ = false;
    if (token.word == Word::kRBrace || token.word == Word::kCase || token.word == Word::kDefault) return;
    const std::int32_t step = token.column - pending_column_;
    if (step <= 0 || step > kMaxStep) return;
    if (pending_block_ == Block::kCounted) ++steps_[static_cast<std::size_t>(step)];
  }

  // Whether the blanks before the line's first token hold a tab.
  void CountLead(const Token& token) {
    const std::string_view text = stream_.text();
    std::size_t p = token.offset;
    bool tab = false;
    while (p > 0 && (text[p - 1] == ' ' || text[p - 1] == '\t')) tab = text[--p] == '\t' || tab;
    ++(tab ? tab_lines_ : space_lines_);
  }

  // "T *x" or "T* x": a blank (or a line end) on one side only says where
  // the file puts them.
  void CountDeclarator(const Token& token, const Token& next) {
    if (!last_ends_type_ || next.kind != Kind::kWord || (next.word != Word::kNone && !IsTypeWord(next.word)))
      return;
    if (token.blank_before() && !next.blank_before()) ++right_;
    if (!token.blank_before() && next.blank_before()) ++left_;
  }

  FileFacts Decide() {
    FileFacts facts;
    for (std::int32_t step = 1; step <= kMaxStep; ++step) {
      if (steps_[static_cast<std::size_t>(step)] > steps_[static_cast<std::size_t>(facts.step)])
        facts.step = step;
    }
    facts.tabs = tab_lines_ > space_lines_ && (facts.step == 0 || facts.step >= tab_width_);
    facts.pointers_left = left_ > right_;
    return facts;
  }

  TokenStream stream_;
  std::int32_t tab_width_;
  bool last_ends_type_ = false;     // the last token may end a type
  Word last_ = Word::kSemicolon;    // as if a statement had just ended
  bool in_list_statement_ = false;  // "enum" or "=" since the statement began
  std::vector<Block> blocks_;
  int counted_depth_ = 0;         // blocks open whose lines count
  std::int32_t line_column_ = 0;  // of the current line's first token
  bool line_begins_template_ = false;
  std::int32_t statement_column_ = 0;
  Block statement_block_ = Block::kCounted;
  bool line_is_access_ = false;  // the line holds an access specifier or a label
  bool pending_ = false;         // a "{" ended its line: the next line says its step
  Block pending_block_ = Block::kCounted;
  std::int32_t pending_column_ = 0;
  std::array<int, kMaxStep + 1> steps_{};
  int tab_lines_ = 0;
  int space_lines_ = 0;
  int left_ = 0;
  int right_ = 0;
};

}  // namespace

FileFacts ReadFileFacts(std::string_view text, std::int32_t tab_width, TokenRecord* record) {
  return FactReader(text, tab_width, record).Read();
}

}  // namespace qfmt::modern
