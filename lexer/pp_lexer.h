#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The preprocessing tokens of C and C++ source, as translation phases 1 to 3
// make them: line splices removed, comments kept as tokens, and the end of
// every directive line marked. The lexer knows C++20 (raw string literals,
// digit separators, <=>, user-defined literal suffixes); it is what qfmt-tree
// checks its output against, independent of the formatter's own scanner.
namespace qfmt::lexer {

enum class TokenKind : unsigned char {
  kIdentifier,
  kNumber,  // a preprocessing number: 10U, 1.5f, 0x1p3, 1'000, 7.19.5
  kCharLiteral,
  kStringLiteral,
  kRawString,
  kHeaderName,  // <...> after #include, #include_next or #import
  kPunctuator,
  kOther,  // any other character; a literal left open, to the end of its line
  kComment,
  kDirectiveEnd,  // the line end (or end of text) that ends a directive
  kEnd,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::size_t offset = 0;  // of its first byte in the text
  std::string_view text;   // its bytes, line splices included
  bool spliced = false;    // it holds a line splice (never set for raw strings)
};

struct TokenDifference;
struct CompareOptions;

// Splits a text into tokens, one at a time, without allocating. A carriage
// return and line feed, a line feed and a lone carriage return all end a
// line; a backslash followed by blanks and a line end is a splice.
class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  // The next token; kEnd at the end, again on every later call.
  [[nodiscard]] Token Next();
  // The same as Next, faster where the next token is `model`, a token of the
  // other text `model_text` (see note [following a token]).
  [[nodiscard]] Token NextLike(const Token& model, std::string_view model_text);
  // Reads past the rest of the directive that the last token read belongs
  // to: the kDirectiveEnd token that ends it (or kEnd), as calling Next until
  // then would give, faster (see note [the rest of a directive]).
  [[nodiscard]] Token SkipDirective();
  // The last token read belongs to a directive whose end is still to come.
  [[nodiscard]] bool in_directive() const { return in_directive_; }

 private:
  [[nodiscard]] std::size_t SkipSplices(std::size_t p) const;
  // The position after a splice at p when `ok(char after it)`, else p.
  template <typename Predicate>
  std::size_t SpliceTo(std::size_t p, Predicate ok);

  friend class TokenComparison;  // see note [walking past the spacing] in pp_lexer.cc

  Token NextToken();
  // NextLike, telling whether the token holds the model's bytes.
  bool NextTokenLike(const Token& model, std::string_view model_text, Token& token);
  // The next token that counts in a comparison: the line-wrap marker is a blank.
  Token NextCounted();
  bool SkipToToken(std::size_t& p, Token& boundary);
  Token TokenAt(std::size_t p);
  // Whether a token of this text that holds the bytes of `model` and ends
  // before `end` ends there as surely as `model` ended in its text.
  [[nodiscard]] bool EndsLike(const Token& model, bool model_at_end, std::size_t end) const;
  Token Make(TokenKind kind, std::size_t begin, std::size_t end);
  // Make for a token that is not a comment, keeping track of directives.
  Token MakeCode(TokenKind kind, std::size_t begin, std::size_t end);
  std::size_t LineComment(std::size_t p);
  std::size_t BlockComment(std::size_t p);
  std::size_t Name(std::size_t p);
  std::size_t Number(std::size_t p);
  // End of a quoted literal that opens at p; not `closed` when its line ends
  // first (the end is then that line end).
  std::size_t Quoted(std::size_t p, char quote, bool& closed);
  // End of a raw string whose opening quote is at p, or 0 when none opens.
  std::size_t RawString(std::size_t p) const;
  std::size_t Suffix(std::size_t p);
  std::size_t Punctuator(std::size_t p);
  Token Literal(std::size_t begin, std::size_t quote_at);
  // The token at p that the fast cases of Next leave: numbers, literals,
  // header names, comments, and names and punctuators next to a backslash.
  Token Other(std::size_t p);

  // What decides the tokens that follow, besides the bytes.
  struct State {
    std::size_t pos = 0;
    int directive_tokens = 0;
    bool spliced = false;
    bool line_start = true;
    bool in_directive = false;
    bool expect_header = false;
    bool operator==(const State&) const = default;
  };
  [[nodiscard]] State Saved() const {
    return {pos_, directive_tokens_, spliced_, line_start_, in_directive_, expect_header_};
  }
  void Restore(const State& state);
  // The same state as `other`'s, positions aside.
  [[nodiscard]] bool SameStateAs(const Lexer& other) const {
    State theirs = other.Saved();
    theirs.pos = pos_;
    return Saved() == theirs;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  bool spliced_ = false;        // a splice was crossed while making the token
  bool line_start_ = true;      // nothing but blanks and comments since the line began
  bool in_directive_ = false;   // between a directive's # and its line end
  int directive_tokens_ = 0;    // tokens of the directive so far, # included, counted up to 2
  bool expect_header_ = false;  // the directive is an include: <...> is a header name
};

// The first place where two texts' tokens differ.
struct TokenDifference {
  std::size_t before_offset = 0;  // where the differing token begins in `before`
  std::string description;        // "10U → 10 U", the tokens on either side
};

struct CompareOptions {
  // A comment that ends a line of code in `before` (a comment with a token
  // that is no comment before it on its line) must in `after` still end a
  // line and trail the same token: tools read "// NOLINT" there.
  bool trailing_comments = false;
};

// Compares the tokens of two texts. Equal means the same tokens with the same
// texts in the same order, line splices counting as nothing; the end of every
// directive line in the same place; comments compared by their words (runs of
// blanks and line ends count as one blank), the classic line-wrap marker
// comment counting as a blank; in raw strings a carriage return and line feed
// counting as a line feed.
[[nodiscard]] std::optional<TokenDifference> CompareTokens(std::string_view before, std::string_view after,
                                                           const CompareOptions& options = {});
// CompareTokens without its shortcuts, token by token: the same results,
// more slowly; for checking the shortcuts.
[[nodiscard]] std::optional<TokenDifference> CompareEveryToken(std::string_view before,
                                                               std::string_view after,
                                                               const CompareOptions& options = {});

// True for a token that CompareTokens counts as a blank (the classic
// line-wrap marker comment).
[[nodiscard]] bool CountsAsBlank(const Token& token);

// Where the first line end (a line feed or a carriage return) at or after
// `from` stands in `text`, or its size; sixteen bytes at a time.
[[nodiscard]] std::size_t FindLineEnd(std::string_view text, std::size_t from = 0);

// True when writing `right` directly after `left` would make a token that
// reaches across the join, so that a blank must stand between them for both
// to stay what they are. `left` and `right` are whole tokens (or runs of
// them).
[[nodiscard]] bool JoinsAcross(std::string_view left, std::string_view right);

}  // namespace qfmt::lexer
