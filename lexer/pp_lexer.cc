#include "lexer/pp_lexer.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace qfmt::lexer {
namespace {

constexpr std::size_t kMaxRawDelimiter = 16;

// Byte classes.
enum : unsigned char {
  kName = 1,  // letters, digits, underscore, dollar, every byte of a UTF-8 sequence
  kDigit = 2,
  kBlank = 4,    // blank, tab, vertical tab, form feed
  kLineEnd = 8,  // line feed, carriage return
  kPunct = 16,   // a byte that begins a punctuator
  kQuoted = 32,  // a byte that stops the scan of a quoted literal's body
};

constexpr std::array<unsigned char, 256> MakeClasses() {
  std::array<unsigned char, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    unsigned char k = 0;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80) k |= kName;
    if (c >= '0' && c <= '9') k |= kName | kDigit;
    if (c == ' ' || c == '\t' || c == '\v' || c == '\f') k |= kBlank;
    if (c == '\n' || c == '\r') k |= kLineEnd | kQuoted;
    if (c == '\\' || c == '\'' || c == '"') k |= kQuoted;
    for (const char p : std::string_view("%<-.>:+=!&|*/^#{}[]();?~,")) {
      if (c == static_cast<unsigned char>(p)) k |= kPunct;
    }
    classes[static_cast<std::size_t>(c)] = k;
  }
  return classes;
}
constexpr std::array<unsigned char, 256> kClasses = MakeClasses();

bool Is(char c, unsigned char kind) { return (kClasses[static_cast<unsigned char>(c)] & kind) != 0; }
bool IsNameStart(char c) { return Is(c, kName) && !Is(c, kDigit); }
bool IsHex(char c) { return Is(c, kDigit) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The position after the line splices that begin at p (a backslash, blanks
// and a line end each), or p when none does.
std::size_t SkipSplicesIn(std::string_view text, std::size_t p) {
  while (p < text.size() && text[p] == '\\') {
    std::size_t q = p + 1;
    while (q < text.size() && Is(text[q], kBlank)) ++q;
    if (q == text.size() || !Is(text[q], kLineEnd)) break;
    p = q + 1;
    if (text[q] == '\r' && p < text.size() && text[p] == '\n') ++p;
  }
  return p;
}

// The length of a universal character name at p (\uXXXX or \UXXXXXXXX), or 0.
std::size_t UcnLength(std::string_view text, std::size_t p) {
  if (p + 1 >= text.size() || text[p] != '\\' || (text[p + 1] != 'u' && text[p + 1] != 'U')) return 0;
  const std::size_t digits = text[p + 1] == 'u' ? 4 : 8;
  if (p + 2 + digits > text.size()) return 0;
  for (std::size_t i = 0; i < digits; ++i) {
    if (!IsHex(text[p + 2 + i])) return 0;
  }
  return 2 + digits;
}

// The length of the punctuator that `s` (its first bytes, splices removed)
// begins with; C++11 reads "<::" as "<" and "::" unless ":" or ">" follows.
std::size_t PunctuatorLength(std::string_view s) {
  const auto at = [&](std::size_t i) { return i < s.size() ? s[i] : '\0'; };
  const char a = at(0);
  const char b = at(1);
  const char c = at(2);
  switch (a) {
    case '%':
      if (b == ':') return c == '%' && at(3) == ':' ? 4 : 2;
      return b == '=' || b == '>' ? 2 : 1;
    case '<':
      if (b == '<') return c == '=' ? 3 : 2;
      if (b == '=') return c == '>' ? 3 : 2;
      if (b == ':') return c == ':' && at(3) != ':' && at(3) != '>' ? 1 : 2;
      return b == '%' ? 2 : 1;
    case '>':
      if (b == '>') return c == '=' ? 3 : 2;
      return b == '=' ? 2 : 1;
    case '-':
      if (b == '>') return c == '*' ? 3 : 2;
      return b == '-' || b == '=' ? 2 : 1;
    case '.':
      if (b == '.' && c == '.') return 3;
      return b == '*' ? 2 : 1;
    case ':':
      return b == ':' || b == '>' ? 2 : 1;
    case '+':
      return b == '+' || b == '=' ? 2 : 1;
    case '&':
      return b == '&' || b == '=' ? 2 : 1;
    case '|':
      return b == '|' || b == '=' ? 2 : 1;
    case '#':
      return b == '#' ? 2 : 1;
    case '=':
    case '!':
    case '*':
    case '/':
    case '^':
      return b == '=' ? 2 : 1;
    default:
      return 1;
  }
}

bool IsEncodingPrefix(std::string_view name, char quote) {
  if (name == "L" || name == "u" || name == "U" || name == "u8") return true;
  return quote == '"' && (name == "R" || name == "LR" || name == "uR" || name == "UR" || name == "u8R");
}
bool IsRawPrefix(std::string_view name) { return !name.empty() && name.back() == 'R'; }

}  // namespace

std::size_t Lexer::SkipSplices(std::size_t p) const { return SkipSplicesIn(text_, p); }

template <typename Predicate>
std::size_t Lexer::SpliceTo(std::size_t p, Predicate ok) {
  const std::size_t q = SkipSplices(p);
  if (q == p || q == text_.size() || !ok(text_[q])) return p;
  spliced_ = true;
  return q;
}

Token Lexer::Make(TokenKind kind, std::size_t begin, std::size_t end) {
  const Token token{kind, begin, text_.substr(begin, end - begin), spliced_ && kind != TokenKind::kRawString};
  spliced_ = false;
  pos_ = end;
  return token;
}

// Up to the line end that no splice takes away.
std::size_t Lexer::LineComment(std::size_t p) {
  const std::size_t n = text_.size();
  for (;;) {
    while (p < n && !Is(text_[p], kLineEnd)) ++p;
    if (p == n) return p;
    // A backslash and blanks before the line end splice the next line on.
    std::size_t q = p;
    while (q > 0 && Is(text_[q - 1], kBlank)) --q;
    if (q == 0 || text_[q - 1] != '\\') return p;
    spliced_ = true;
    p += text_[p] == '\r' && p + 1 < n && text_[p + 1] == '\n' ? 2 : 1;
  }
}

std::size_t Lexer::BlockComment(std::size_t p) {
  const std::size_t n = text_.size();
  for (;;) {
    const void* star = p < n ? std::memchr(text_.data() + p, '*', n - p) : nullptr;
    if (star == nullptr) return n;  // never closed: the comment runs to the end
    p = static_cast<std::size_t>(static_cast<const char*>(star) - text_.data()) + 1;
    if (p < n && text_[p] == '/') return p + 1;
    if (p < n && text_[p] == '\\') {
      const std::size_t q = SpliceTo(p, [](char c) { return c == '/'; });
      if (q != p) return q + 1;
    }
  }
}

std::size_t Lexer::Name(std::size_t p) {
  const std::size_t n = text_.size();
  for (;;) {
    while (p < n && Is(text_[p], kName)) ++p;
    if (p == n || text_[p] != '\\') return p;
    if (const std::size_t ucn = UcnLength(text_, p); ucn != 0) {
      p += ucn;
      continue;
    }
    const std::size_t q = SpliceTo(p, [](char c) { return Is(c, kName) || c == '\\'; });
    if (q == p) return p;
    p = q;
  }
}

// pp-number: an optional point, a digit, then digits, name characters, points,
// a sign after e, E, p or P, and a digit separator before a name character.
std::size_t Lexer::Number(std::size_t p) {
  const std::size_t n = text_.size();
  for (;;) {
    while (p < n && (Is(text_[p], kName) || text_[p] == '.')) {
      const char c = text_[p++];
      if ((c == 'e' || c == 'E' || c == 'p' || c == 'P') && p < n && (text_[p] == '+' || text_[p] == '-'))
        ++p;
    }
    if (p == n) return p;
    if (text_[p] == '\'') {
      if (p + 1 < n && Is(text_[p + 1], kName)) {
        p += 2;
        continue;
      }
      return p;
    }
    if (text_[p] != '\\') return p;
    if (const std::size_t ucn = UcnLength(text_, p); ucn != 0) {
      p += ucn;
      continue;
    }
    const std::size_t q = SpliceTo(p, [](char c) { return Is(c, kName) || c == '.' || c == '\\'; });
    if (q == p) return p;
    p = q;
  }
}

std::size_t Lexer::Quoted(std::size_t p, char quote, bool& closed) {
  const std::size_t n = text_.size();
  closed = false;
  ++p;
  for (;;) {
    while (p < n && !Is(text_[p], kQuoted)) ++p;
    if (p == n || Is(text_[p], kLineEnd)) return p;
    const char c = text_[p];
    if (c == quote) {
      closed = true;
      return p + 1;
    }
    if (c == '\\') {
      const std::size_t q = SkipSplices(p);
      if (q != p) {
        spliced_ = true;
        p = q;
        continue;
      }
      // An escape: the next character, splices aside, is the escaped one.
      p = SkipSplices(p + 1);
      if (p == n || Is(text_[p], kLineEnd)) return p;
    }
    ++p;
  }
}

std::size_t Lexer::RawString(std::size_t p) const {
  // p is at the double quote; the delimiter runs to the "(".
  std::size_t open = p + 1;
  while (open < text_.size() && open - (p + 1) <= kMaxRawDelimiter && text_[open] != '(') {
    if (std::strchr(" )\\\t\v\f\n\r", text_[open]) != nullptr) return 0;
    ++open;
  }
  if (open == text_.size() || text_[open] != '(' || open - (p + 1) > kMaxRawDelimiter) return 0;
  std::array<char, kMaxRawDelimiter + 2> terminator{};
  const std::size_t delimiter = open - (p + 1);
  terminator[0] = ')';
  text_.copy(terminator.data() + 1, delimiter, p + 1);
  terminator[delimiter + 1] = '"';
  const std::size_t close = text_.find(std::string_view(terminator.data(), delimiter + 2), open + 1);
  return close == std::string_view::npos ? text_.size() : close + delimiter + 2;
}

// A user-defined suffix after a literal: a name that begins with "_" or a
// byte of a UTF-8 sequence, or one of the standard library's suffixes. Other
// names stand apart (with a compiler's warning), as in "%"PRId64.
std::size_t Lexer::Suffix(std::size_t p) {
  if (p == text_.size() || !IsNameStart(text_[p])) return p;
  const std::size_t end = Name(p);
  const std::string_view name = text_.substr(p, end - p);
  constexpr std::string_view kLibrarySuffixes[] = {"s",  "sv", "h", "min", "ms", "us",
                                                   "ns", "il", "i", "if",  "y",  "d"};
  const bool library =
      std::find(std::begin(kLibrarySuffixes), std::end(kLibrarySuffixes), name) != std::end(kLibrarySuffixes);
  const bool utf8 = (static_cast<unsigned char>(name.front()) & 0x80) != 0;
  return name.front() == '_' || utf8 || library ? end : p;
}

std::size_t Lexer::Punctuator(std::size_t p) {
  // The next four characters, splices aside, and where each ends.
  std::array<char, 4> chars{};
  std::array<std::size_t, 4> ends{};
  std::size_t count = 0;
  for (std::size_t at = p; count < chars.size() && at < text_.size(); ++count) {
    if (count > 0 && text_[at] == '\\') at = SpliceTo(at, [](char) { return true; });
    if (at == text_.size()) break;
    chars[count] = text_[at];
    ends[count] = ++at;
  }
  return ends[PunctuatorLength(std::string_view(chars.data(), count)) - 1];
}

Token Lexer::Literal(std::size_t begin, std::size_t quote_at) {
  const char quote = text_[quote_at];
  const std::string_view prefix = text_.substr(begin, quote_at - begin);
  if (quote == '"' && IsRawPrefix(prefix)) {
    if (const std::size_t end = RawString(quote_at); end != 0)
      return Make(TokenKind::kRawString, begin, Suffix(end));
    return Make(TokenKind::kIdentifier, begin, quote_at);
  }
  bool closed = false;
  const std::size_t end = Quoted(quote_at, quote, closed);
  // A literal that its line ends before it is closed takes the rest of the
  // line, as compilers read it (a comment opener in it opens none).
  if (!closed) return Make(TokenKind::kOther, begin, end);
  return Make(quote == '\'' ? TokenKind::kCharLiteral : TokenKind::kStringLiteral, begin, Suffix(end));
}

// Keeps track of directives: a "#" that begins a line opens one, and
// #include, #include_next and #import take a header name.
Token Lexer::Directive(Token token) {
  if (token.kind == TokenKind::kComment) return token;
  const bool opens =
      line_start_ && token.kind == TokenKind::kPunctuator && (token.text == "#" || token.text == "%:");
  line_start_ = false;
  expect_header_ = false;
  if (opens) {
    in_directive_ = true;
    directive_tokens_ = 0;
  }
  if (in_directive_) {
    ++directive_tokens_;
    expect_header_ = directive_tokens_ == 2 && token.kind == TokenKind::kIdentifier &&
                     (token.text == "include" || token.text == "include_next" || token.text == "import");
  }
  return token;
}

Token Lexer::Next() {
  const std::size_t n = text_.size();
  for (;;) {
    std::size_t p = pos_;
    while (p < n && Is(text_[p], kBlank)) ++p;
    if (p < n && text_[p] == '\\') {
      const std::size_t q = SkipSplices(p);
      if (q != p) {
        pos_ = q;
        continue;
      }
    }
    if (p == n) {
      pos_ = p;
      if (in_directive_) {
        in_directive_ = false;
        return Make(TokenKind::kDirectiveEnd, p, p);
      }
      return Make(TokenKind::kEnd, p, p);
    }
    const char c = text_[p];
    if (Is(c, kLineEnd)) {
      const std::size_t end = c == '\r' && p + 1 < n && text_[p + 1] == '\n' ? p + 2 : p + 1;
      line_start_ = true;
      pos_ = end;
      if (in_directive_) {
        in_directive_ = false;
        return Make(TokenKind::kDirectiveEnd, p, end);
      }
      continue;
    }
    if (c == '/' && p + 1 < n) {
      std::size_t q = p + 1;
      if (text_[q] == '\\') q = SpliceTo(q, [](char d) { return d == '/' || d == '*'; });
      if (text_[q] == '/') return Directive(Make(TokenKind::kComment, p, LineComment(q + 1)));
      if (text_[q] == '*') return Directive(Make(TokenKind::kComment, p, BlockComment(q + 1)));
      spliced_ = false;
    }
    if (c == '<' && expect_header_) {
      const std::size_t close = text_.find_first_of(">\n\r", p + 1);
      if (close != std::string_view::npos && text_[close] == '>') {
        return Directive(Make(TokenKind::kHeaderName, p, close + 1));
      }
    }
    if (IsNameStart(c) || UcnLength(text_, p) != 0) {
      const std::size_t end = Name(c == '\\' ? p : p + 1);
      if (end < n && (text_[end] == '\'' || text_[end] == '"') &&
          IsEncodingPrefix(text_.substr(p, end - p), text_[end])) {
        return Directive(Literal(p, end));
      }
      return Directive(Make(TokenKind::kIdentifier, p, end));
    }
    if (Is(c, kDigit) || (c == '.' && p + 1 < n && Is(text_[p + 1], kDigit))) {
      return Directive(Make(TokenKind::kNumber, p, Number(p + 1)));
    }
    if (c == '\'' || c == '"') return Directive(Literal(p, p));
    if (Is(c, kPunct)) return Directive(Make(TokenKind::kPunctuator, p, Punctuator(p)));
    return Directive(Make(TokenKind::kOther, p, p + 1));
  }
}

namespace {

// Compares two texts as the bytes they are once line splices are removed.
bool SameUnspliced(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  for (;;) {
    i = SkipSplicesIn(a, i);
    j = SkipSplicesIn(b, j);
    if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
    if (a[i++] != b[j++]) return false;
  }
}

// Walks a comment's body word by word: splices removed, runs of white space
// between words counting as one blank, none at either end.
class Words {
 public:
  explicit Words(std::string_view comment)
      : text_(comment.starts_with("//")
                  ? comment.substr(2)
                  : comment.substr(2, comment.size() >= 4 && comment.ends_with("*/") ? comment.size() - 4
                                                                                     : comment.size() - 2)) {}

  // The next byte of the walk: a word's byte, ' ' between words, -1 at the end.
  int Next() {
    bool blank = false;
    for (;;) {
      pos_ = SkipSplicesIn(text_, pos_);
      if (pos_ == text_.size()) return -1;
      if (!Is(text_[pos_], kBlank | kLineEnd)) break;
      blank = true;
      ++pos_;
    }
    if (blank && started_) return ' ';
    started_ = true;
    return static_cast<unsigned char>(text_[pos_++]);
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  bool started_ = false;
};

bool SameWords(std::string_view a, std::string_view b) {
  if (a.starts_with("//") != b.starts_with("//")) return false;
  Words x(a);
  Words y(b);
  for (;;) {
    const int c = x.Next();
    if (c != y.Next()) return false;
    if (c < 0) return true;
  }
}

// Raw strings keep their bytes; a CR LF counts as the LF it is read as.
bool SameRaw(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  for (;;) {
    if (i + 1 < a.size() && a[i] == '\r' && a[i + 1] == '\n') ++i;
    if (j + 1 < b.size() && b[j] == '\r' && b[j + 1] == '\n') ++j;
    if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
    if (a[i++] != b[j++]) return false;
  }
}

bool Same(const Token& x, const Token& y) {
  if (x.kind != y.kind) return false;
  if (x.text == y.text) return true;
  switch (x.kind) {
    case TokenKind::kEnd:
    case TokenKind::kDirectiveEnd:
      return true;
    case TokenKind::kComment:
      return SameWords(x.text, y.text);
    case TokenKind::kRawString:
      return SameRaw(x.text, y.text);
    default:
      return (x.spliced || y.spliced) && SameUnspliced(x.text, y.text);
  }
}

constexpr std::string_view kLineWrapMarker = "/*Line Wrapped*/";

// The next token that counts: the line-wrap marker is a blank.
Token NextCounted(Lexer& lexer) {
  Token token = lexer.Next();
  while (CountsAsBlank(token)) token = lexer.Next();
  return token;
}

// A token as a message shows it: control bytes escaped, long ones cut short.
std::string Shown(const Token& token) {
  if (token.kind == TokenKind::kEnd) return "end of text";
  if (token.kind == TokenKind::kDirectiveEnd) return "end of directive";
  constexpr std::size_t kMaxShown = 40;
  std::string shown;
  for (const char c : token.text.substr(0, kMaxShown)) {
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c == '\r') {
      shown += "\\r";
    } else {
      shown += c;
    }
  }
  if (token.text.size() > kMaxShown) shown += "...";
  return shown;
}

}  // namespace

std::optional<TokenDifference> CompareTokens(std::string_view before, std::string_view after) {
  Lexer a(before);
  Lexer b(after);
  for (;;) {
    const Token x = NextCounted(a);
    const Token y = NextCounted(b);
    if (!Same(x, y)) {
      // The tokens that stand on the other side where x stood, until they
      // cover as many bytes (a token split in two shows both halves).
      std::string other = Shown(y);
      std::size_t covered = y.text.size();
      for (int more = 0; more < 3 && covered < x.text.size() && y.kind != TokenKind::kEnd; ++more) {
        const Token next = NextCounted(b);
        if (next.kind == TokenKind::kEnd) break;
        other += " " + Shown(next);
        covered += next.text.size();
      }
      return TokenDifference{x.offset, Shown(x) + " \u2192 " + other};
    }
    if (x.kind == TokenKind::kEnd) return std::nullopt;
  }
}

bool CountsAsBlank(const Token& token) {
  return token.kind == TokenKind::kComment && token.text == kLineWrapMarker;
}

bool JoinsAcross(std::string_view left, std::string_view right) {
  if (left.empty() || right.empty()) return false;
  Token last;
  Lexer lexer(left);
  for (Token token = lexer.Next(); token.kind != TokenKind::kEnd; token = lexer.Next()) {
    if (token.kind != TokenKind::kDirectiveEnd) last = token;
  }
  if (last.kind == TokenKind::kEnd || last.offset + last.text.size() != left.size()) return false;
  if (last.kind == TokenKind::kComment) return last.text.starts_with("//");
  const char first = right.front();
  if (first == '\'' || first == '"') {
    return last.kind == TokenKind::kIdentifier && IsEncodingPrefix(last.text, first);
  }
  if (IsNameStart(first) && (last.kind == TokenKind::kCharLiteral || last.kind == TokenKind::kStringLiteral ||
                             last.kind == TokenKind::kRawString)) {
    return true;  // a user-defined suffix
  }
  // Enough of `right` to finish the longest punctuator; names and numbers
  // longer than the buffer are joined by a name character.
  constexpr std::size_t kTail = 60;
  std::array<char, kTail + 4> joined{};
  if (last.text.size() > kTail) return Is(first, kName) || first == '.';
  const std::size_t taken = std::min<std::size_t>(right.size(), 4);
  last.text.copy(joined.data(), last.text.size());
  right.copy(joined.data() + last.text.size(), taken);
  Lexer join(std::string_view(joined.data(), last.text.size() + taken));
  const Token token = join.Next();
  return token.offset == 0 && token.text.size() > last.text.size();
}

}  // namespace qfmt::lexer
