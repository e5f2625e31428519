#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "lexer/pp_lexer.h"
#include "platform/large_pages.h"

// The modern style's view of a text: the lexer's preprocessing tokens with
// what stood between them (line ends, blank lines, blanks, the column where a
// line's first token begins), a directive as one token from its "#" to the
// end of its last line, and a few tokens of look-ahead.
namespace qfmt::modern {

enum class Kind : std::uint8_t {
  kWord,  // an identifier or keyword
  kNumber,
  kChar,
  kString,
  kRawString,
  kPunct,
  kOther,
  kComment,
  kDirective,
  kEnd,
};

// What a token is, where the structural pass needs to know: keywords,
// punctuators, directive names and the comments that turn formatting off
// and on. Alternative spellings (digraphs) map to what they stand for.
enum class Word : std::uint8_t {
  kNone,  // an identifier that is no keyword, or a token of no interest
  // Statements.
  kIf,
  kElse,
  kFor,
  kWhile,
  kDo,
  kSwitch,
  kCase,
  kDefault,
  kBreak,
  kContinue,
  kReturn,
  kGoto,
  kTry,
  kCatch,
  kThrow,
  kCoReturn,
  kCoAwait,
  kCoYield,
  // Declarations.
  kNamespace,
  kExtern,
  kClass,
  kStruct,
  kUnion,
  kEnum,
  kTypedef,
  kUsing,
  kTemplate,
  kTypename,
  kPublic,
  kPrivate,
  kProtected,
  kOperator,
  kNew,
  kDelete,
  kConstexpr,
  // Words whose parenthesis is tight, like a function's.
  kSizeof,
  kAlignof,
  kDecltype,
  kTypeof,
  kAlignas,
  kNoexcept,
  kStaticAssert,
  kAttribute,
  kDeclspec,
  kAsm,
  kGeneric,
  kRequires,
  // Words of a type (specifiers and qualifiers).
  kConst,
  kVolatile,
  kStatic,
  kInline,
  kMutable,
  kRegister,
  kAuto,
  kVirtual,
  kExplicit,
  kFriend,
  kTypeName,  // void, char, int, ... bool, wchar_t, ...
  // Punctuators.
  kLBrace,
  kRBrace,
  kLParen,
  kRParen,
  kLBracket,
  kRBracket,
  kSemicolon,
  kComma,
  kColon,
  kScope,
  kQuestion,
  kDot,
  kArrow,
  kMemberPointer,  // .* ->*
  kStar,
  kAmp,
  kAmpAmp,
  kPlus,
  kMinus,
  kIncrement,
  kDecrement,
  kNot,
  kTilde,
  kLess,
  kGreater,
  kShiftRight,
  kAssign,
  kAssignOp,  // += -= ... >>=
  kEllipsis,
  kHash,
  kBinaryOp,  // every other binary operator: / % ^ | || == != <= >= <=> <<
  // Directives.
  kDirIf,  // #if, #ifdef, #ifndef
  kDirIfZero,
  kDirElse,  // #elif, #elifdef, #elifndef, #else
  kDirEndif,
  kDirOther,
  // Comments whose words are "qfmt off" and "qfmt on".
  kOffMarker,
  kOnMarker,
};

// True for the words that may begin or stand in a type: specifiers,
// qualifiers and the built-in type names.
[[nodiscard]] constexpr bool IsTypeWord(Word word) { return word >= Word::kConst && word <= Word::kTypeName; }
// True for the words after which a blank comes before "(": if, for, while,
// switch, catch and the other statement words.
[[nodiscard]] constexpr bool IsStatementWord(Word word) {
  return word >= Word::kIf && word <= Word::kCoYield;
}
// True for the words whose "(" is tight, as a function's is.
[[nodiscard]] constexpr bool IsFunctionLikeWord(Word word) {
  return word >= Word::kSizeof && word <= Word::kRequires;
}

struct Token {
  std::uint32_t offset = 0;  // of its first byte in the text it was read from
  std::uint32_t size = 0;    // of its text
  std::int32_t column = 0;   // where it begins in the text, tabs expanded (when it begins a line)
  Kind kind = Kind::kEnd;
  Word word = Word::kNone;
  std::uint8_t flags = 0;  // breaks(), blank_before() and multiline()
  std::uint8_t hint = 0;   // set by the structural pass on tokens it has looked ahead to

  // Its text, in `text`, the text it was read from.
  [[nodiscard]] std::string_view TextIn(std::string_view text) const { return {text.data() + offset, size}; }
  [[nodiscard]] std::size_t end() const { return std::size_t{offset} + size; }
  // Line ends before it: 0, 1, or 2 for a blank line or more.
  [[nodiscard]] std::uint8_t breaks() const { return flags & kBreaks; }
  // A blank or a line end stood right before it.
  [[nodiscard]] bool blank_before() const { return (flags & kBlankBefore) != 0; }
  // Its text holds a line end.
  [[nodiscard]] bool multiline() const { return (flags & kMultiline) != 0; }
  [[nodiscard]] bool starts_line() const { return breaks() > 0; }
  [[nodiscard]] bool is(Word w) const { return word == w; }

  void SetGap(int line_ends, bool blank) {
    flags = static_cast<std::uint8_t>((flags & kMultiline) | (line_ends < 2 ? line_ends : 2) |
                                      (blank ? kBlankBefore : 0));
  }
  void SetMultiline(bool multiline) {
    flags = static_cast<std::uint8_t>((flags & ~kMultiline) | (multiline ? kMultiline : 0));
  }

  static constexpr std::uint8_t kBreaks = 3;
  static constexpr std::uint8_t kBlankBefore = 4;
  static constexpr std::uint8_t kMultiline = 8;
};
// Large texts have millions of tokens, which a text's first reading keeps.
static_assert(sizeof(Token) == 16);

// The tokens of one reading of a text, kept for a second: in blocks, so
// that a token looked at stays where it is while more are read, and kept
// from text to text, since memory new to the process costs more than
// reading it.
class TokenRecord {
 public:
  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] bool empty() const { return size_ == 0; }
  [[nodiscard]] Token& operator[](std::size_t i) {
    return static_cast<Token*>(blocks_[i >> kShift].data())[i & kMask];
  }
  [[nodiscard]] Token& back() { return (*this)[size_ - 1]; }
  void clear() { size_ = 0; }
  // How many tokens stand one after the other in memory from token i on.
  [[nodiscard]] std::size_t RunFrom(std::size_t i) const {
    return std::min(((i >> kShift) + 1) << kShift, size_) - i;
  }
  Token& push_back(const Token& token) {
    // A large page a block.
    if ((size_ >> kShift) == blocks_.size()) blocks_.emplace_back(sizeof(Token) << kShift);
    Token* const slot = &static_cast<Token*>(blocks_[size_ >> kShift].data())[size_ & kMask];
    ++size_;
    return *std::construct_at(slot, token);
  }

 private:
  static constexpr std::size_t kShift = 17;  // 16-byte tokens
  static constexpr std::size_t kMask = (std::size_t{1} << kShift) - 1;
  std::vector<platform::LargeBlock> blocks_;
  std::size_t size_ = 0;
};

// The tokens of a text in order, with look-ahead. A token whose line holds
// nothing before it but blanks is at the start of its line; the first token
// of the text is too.
class TokenStream {
 public:
  static constexpr std::size_t kLookAhead = 256;

  // With `record`, reads the text into it (clearing it first) and looks
  // ahead there, so that a second reading of the text can replay it instead
  // of lexing again; without, a ring of kLookAhead tokens is all it holds.
  TokenStream(std::string_view text, std::int32_t tab_width, TokenRecord* record = nullptr)
      : text_(text), lexer_(text), tab_width_(tab_width), tokens_(record) {
    if (tokens_ != nullptr) tokens_->clear();
  }
  // Replays the tokens that another stream recorded of `text`, whole.
  TokenStream(std::string_view text, TokenRecord& recorded)
      : text_(text), lexer_(std::string_view()), tab_width_(8), ended_(true), tokens_(&recorded) {}

  // The token k places ahead (0: the current one); a kEnd token at the end.
  // k must be below kLookAhead.
  [[nodiscard]] Token& Peek(std::size_t k = 0) { return k < ahead_ ? at_[k] : PeekFar(k); }
  // Moves on to the next token.
  void Advance() {
    if (ahead_ > 0) {
      ++at_;
      --ahead_;
      ++next_;
      return;
    }
    AdvanceFar();
  }
  [[nodiscard]] std::string_view text() const { return text_; }

 private:
  // Peek and Advance where the token is not among the ahead_ at at_.
  [[nodiscard]] Token& PeekFar(std::size_t k);
  void AdvanceFar();
  // Puts the next token into the ring.
  void Fill();
  // Appends the next token to the record: read, or past the end (and when
  // replaying) another end token, as the lexer gives.
  void Record();
  [[nodiscard]] Token Read();
  // Fills in what stood between the end of the last token and `token`.
  void MeasureGap(Token& token);
  // Makes `token`, which holds the "#" that opens a directive, the whole
  // directive, reading the lexer's tokens to its end.
  void Directive(const lexer::Token& hash, Token& token);
  // The next token of the directive being read that is no comment, or its end.
  [[nodiscard]] lexer::Token NextInDirective();

  std::string_view text_;
  lexer::Lexer lexer_;
  std::int32_t tab_width_;
  std::size_t last_end_ = 0;       // where the last token read ends
  bool line_has_code_ = false;     // a token other than a comment stands on the line so far
  bool started_ = false;           // a token has been read
  bool ended_ = false;             // the end has been read
  TokenRecord* tokens_ = nullptr;  // the record, when there is one
  std::size_t next_ = 0;           // ... and the current token's place in it,
  Token* at_ = nullptr;            // where it is,
  std::size_t ahead_ = 0;          // and how many recorded tokens follow it there, it included
  std::array<Token, kLookAhead> ring_{};
  std::size_t first_ = 0;
  std::size_t count_ = 0;
};

using lexer::FindLineEnd;

// The visual width of `bytes` when they begin at `column`: a tab goes to the
// next multiple of `tab_width`, a byte that continues a UTF-8 sequence
// takes no room.
[[nodiscard]] std::int32_t ColumnAfter(std::string_view bytes, std::int32_t column, std::int32_t tab_width);

}  // namespace qfmt::modern
