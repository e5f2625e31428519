#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "lexer/pp_lexer.h"

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
  std::string_view text;
  std::uint32_t offset = 0;  // of its first byte in the text
  std::int32_t column = 0;   // where it begins in the text, tabs expanded (when it begins a line)
  Kind kind = Kind::kEnd;
  Word word = Word::kNone;
  std::uint8_t breaks = 0;    // line ends before it: 0, 1, or 2 for a blank line or more
  bool blank_before = false;  // a blank or a line end stood right before it
  bool multiline = false;     // its text holds a line end
  std::uint8_t hint = 0;      // set by the structural pass on tokens it has looked ahead to
  [[nodiscard]] bool starts_line() const { return breaks > 0; }
  [[nodiscard]] bool is(Word w) const { return word == w; }
};

// A token as a first reading of a text keeps it for a second: half a
// Token's size, since large texts have millions of them and memory new to
// the process costs more than reading it.
struct RecordedToken {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
  std::int32_t column = 0;
  Kind kind = Kind::kEnd;
  Word word = Word::kNone;
  std::uint8_t breaks = 0;
  std::uint8_t flags = 0;  // kBlankBefore, kMultiline
  static constexpr std::uint8_t kBlankBefore = 1;
  static constexpr std::uint8_t kMultiline = 2;
};

// The tokens of a text in order, with look-ahead. A token whose line holds
// nothing before it but blanks is at the start of its line; the first token
// of the text is too.
class TokenStream {
 public:
  static constexpr std::size_t kLookAhead = 256;

  // With `record`, also keeps every token read there, up to the first end
  // token (clearing it first), so that a second reading of the text can
  // replay them instead of lexing again.
  TokenStream(std::string_view text, std::int32_t tab_width, std::vector<RecordedToken>* record = nullptr)
      : text_(text), lexer_(text), tab_width_(tab_width), record_(record) {
    if (record_ != nullptr) record_->clear();
  }
  // Replays the tokens that another stream recorded of `text`, whole.
  TokenStream(std::string_view text, const std::vector<RecordedToken>& recorded)
      : text_(text), lexer_(std::string_view()), tab_width_(8), replay_(&recorded) {}

  // The token k places ahead (0: the current one); a kEnd token at the end.
  // k must be below kLookAhead.
  [[nodiscard]] Token& Peek(std::size_t k = 0) {
    while (count_ <= k) Load();
    return ring_[(first_ + k) % kLookAhead];
  }
  // Moves on to the next token.
  void Advance() {
    if (count_ == 0) Load();
    first_ = (first_ + 1) % kLookAhead;
    --count_;
  }
  [[nodiscard]] std::string_view text() const { return text_; }

 private:
  // Puts the next token into the ring: recorded, or read.
  void Load() {
    if (replay_ != nullptr) {
      Replay();
    } else {
      Fill();
    }
  }
  void Fill();
  [[nodiscard]] Token Read();
  // Puts the next recorded token into the ring; past the recorded end, more
  // end tokens, as the lexer gives.
  void Replay() {
    Token& slot = ring_[(first_ + count_++) % kLookAhead];
    if (replayed_ == replay_->size()) {
      slot = Token{};
      slot.offset = static_cast<std::uint32_t>(text_.size());
      return;
    }
    const RecordedToken& recorded = (*replay_)[replayed_++];
    slot.text = text_.substr(recorded.offset, recorded.size);
    slot.offset = recorded.offset;
    slot.column = recorded.column;
    slot.kind = recorded.kind;
    slot.word = recorded.word;
    slot.breaks = recorded.breaks;
    slot.blank_before = (recorded.flags & RecordedToken::kBlankBefore) != 0;
    slot.multiline = (recorded.flags & RecordedToken::kMultiline) != 0;
    slot.hint = 0;
  }
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
  std::size_t last_end_ = 0;    // where the last token read ends
  bool line_has_code_ = false;  // a token other than a comment stands on the line so far
  bool started_ = false;        // a token has been read
  bool ended_ = false;          // the end has been read (and recorded)
  std::vector<RecordedToken>* record_ = nullptr;
  const std::vector<RecordedToken>* replay_ = nullptr;
  std::size_t replayed_ = 0;
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
