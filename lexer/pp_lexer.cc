#include "lexer/pp_lexer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qfmt::lexer {
namespace {

constexpr std::size_t kMaxRawDelimiter = 16;

// Byte classes.
enum : unsigned char {
  kName = 1,  // letters, digits, underscore, dollar, every byte of a UTF-8 sequence
  kDigit = 2,
  kBlank = 4,        // blank, tab, vertical tab, form feed
  kLineEnd = 8,      // line feed, carriage return
  kPunct = 16,       // a byte that begins a punctuator
  kQuoted = 32,      // a byte that stops the scan of a quoted literal's body
  kAlone = 64,       // a punctuator that no byte after it can lengthen
  kSpaceLead = 128,  // a byte that may begin white space: a blank, a line end, a splice or a line-wrap marker
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
    if ((k & (kBlank | kLineEnd)) != 0 || c == '\\' || c == '/') k |= kSpaceLead;
    for (const char p : std::string_view("%<-.>:+=!&|*/^#{}[]();?~,")) {
      if (c == static_cast<unsigned char>(p)) k |= kPunct;
    }
    for (const char p : std::string_view("{}[]();?~,")) {
      if (c == static_cast<unsigned char>(p)) k |= kAlone;
    }
    classes[static_cast<std::size_t>(c)] = k;
  }
  return classes;
}
constexpr std::array<unsigned char, 256> kClasses = MakeClasses();

bool Is(char c, unsigned char kind) { return (kClasses[static_cast<unsigned char>(c)] & kind) != 0; }
bool IsNameStart(char c) { return Is(c, kName) && !Is(c, kDigit); }
bool IsHex(char c) { return Is(c, kDigit) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// note [sixteen at a time]
// Names and runs of blanks are mostly shorter than sixteen bytes, so their
// ends are found sixteen bytes at a time, as the lowest bit of a mask, rather
// than with a loop whose exit the processor cannot predict. Near the end of
// the text, and without SSE2, a byte at a time.
#if defined(__SSE2__)
__m128i Load16(const char* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }
__m128i InRange(__m128i x, char low, char high) {
  return _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(static_cast<char>(low - 1))),
                       _mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(high + 1))));
}
// Bit i set where byte i is not of the class that `is` marks.
template <typename Marks>
unsigned Outside(const char* at, Marks is) {
  return ~static_cast<unsigned>(_mm_movemask_epi8(is(Load16(at)))) & 0xFFFFU;
}
#endif

// The end of the run of name bytes (kName) that begins at p.
std::size_t NameEnd(const char* data, std::size_t p, std::size_t n) {
#if defined(__SSE2__)
  for (; p + 16 <= n; p += 16) {
    const unsigned outside = Outside(data + p, [](__m128i x) {
      const __m128i letter = InRange(_mm_or_si128(x, _mm_set1_epi8(0x20)), 'a', 'z');
      const __m128i special =
          _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('_')), _mm_cmpeq_epi8(x, _mm_set1_epi8('$')));
      const __m128i high = _mm_cmplt_epi8(x, _mm_setzero_si128());  // bytes 0x80 to 0xFF
      return _mm_or_si128(_mm_or_si128(letter, InRange(x, '0', '9')), _mm_or_si128(special, high));
    });
    if (outside != 0) return p + static_cast<std::size_t>(__builtin_ctz(outside));
  }
#endif
  while (p < n && Is(data[p], kName)) ++p;
  return p;
}

// The end of the run of blanks (kBlank) that begins at p.
std::size_t BlanksEnd(const char* data, std::size_t p, std::size_t n) {
  if (p < n && !Is(data[p], kBlank)) return p;  // most tokens follow the one before, or a line end
#if defined(__SSE2__)
  for (; p + 16 <= n; p += 16) {
    const unsigned outside = Outside(data + p, [](__m128i x) {
      const __m128i tab_to_feed =
          _mm_andnot_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('\n')), InRange(x, '\t', '\f'));
      return _mm_or_si128(tab_to_feed, _mm_cmpeq_epi8(x, _mm_set1_epi8(' ')));
    });
    if (outside != 0) return p + static_cast<std::size_t>(__builtin_ctz(outside));
  }
#endif
  while (p < n && Is(data[p], kBlank)) ++p;
  return p;
}

// The first line end at or after p, or n.
std::size_t LineEndFrom(const char* data, std::size_t p, std::size_t n) {
#if defined(__SSE2__)
  for (; p + 16 <= n; p += 16) {
    const __m128i x = Load16(data + p);
    const unsigned ends = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(x, _mm_set1_epi8('\r')))));
    if (ends != 0) return p + static_cast<std::size_t>(__builtin_ctz(ends));
  }
#endif
  while (p < n && !Is(data[p], kLineEnd)) ++p;
  return p;
}

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

[[gnu::always_inline]] inline Token Lexer::Make(TokenKind kind, std::size_t begin, std::size_t end) {
  const Token token{
      kind, begin, {text_.data() + begin, end - begin}, spliced_ && kind != TokenKind::kRawString};
  spliced_ = false;
  pos_ = end;
  return token;
}

// Keeps track of directives: a "#" that begins a line opens one, and
// #include, #include_next and #import take a header name.
[[gnu::always_inline]] inline Token Lexer::MakeCode(TokenKind kind, std::size_t begin, std::size_t end) {
  const std::string_view text(text_.data() + begin, end - begin);
  const bool opens =
      line_start_ && kind == TokenKind::kPunctuator &&
      ((text.size() == 1 && text[0] == '#') || (text.size() == 2 && text[0] == '%' && text[1] == ':'));
  line_start_ = false;
  expect_header_ = false;
  if (opens) {
    in_directive_ = true;
    directive_tokens_ = 0;
  }
  if (in_directive_) {
    expect_header_ = directive_tokens_ == 1 && kind == TokenKind::kIdentifier && text[0] == 'i' &&
                     (text == "include" || text == "include_next" || text == "import");
    directive_tokens_ = std::min(directive_tokens_ + 1, 2);
  }
  return Make(kind, begin, end);
}

// Up to the line end that no splice takes away.
std::size_t Lexer::LineComment(std::size_t p) {
  const std::size_t n = text_.size();
  for (;;) {
    p = LineEndFrom(text_.data(), p, n);
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
      return MakeCode(TokenKind::kRawString, begin, Suffix(end));
    return MakeCode(TokenKind::kIdentifier, begin, quote_at);
  }
  bool closed = false;
  const std::size_t end = Quoted(quote_at, quote, closed);
  // A literal that its line ends before it is closed takes the rest of the
  // line, as compilers read it (a comment opener in it opens none).
  if (!closed) return MakeCode(TokenKind::kOther, begin, end);
  return MakeCode(quote == '\'' ? TokenKind::kCharLiteral : TokenKind::kStringLiteral, begin, Suffix(end));
}

Token Lexer::Other(std::size_t p) {
  const std::size_t n = text_.size();
  const char c = text_[p];
  if (c == '/' && p + 1 < n) {
    std::size_t q = p + 1;
    if (text_[q] == '\\') q = SpliceTo(q, [](char d) { return d == '/' || d == '*'; });
    if (text_[q] == '/') return Make(TokenKind::kComment, p, LineComment(q + 1));
    if (text_[q] == '*') return Make(TokenKind::kComment, p, BlockComment(q + 1));
    spliced_ = false;
  }
  if (c == '<' && expect_header_) {
    const std::size_t close = text_.find_first_of(">\n\r", p + 1);
    if (close != std::string_view::npos && text_[close] == '>')
      return MakeCode(TokenKind::kHeaderName, p, close + 1);
  }
  if (IsNameStart(c) || UcnLength(text_, p) != 0) {
    const std::size_t end = Name(c == '\\' ? p : p + 1);
    if (end < n && (text_[end] == '\'' || text_[end] == '"') &&
        IsEncodingPrefix(text_.substr(p, end - p), text_[end])) {
      return Literal(p, end);
    }
    return MakeCode(TokenKind::kIdentifier, p, end);
  }
  if (Is(c, kDigit) || (c == '.' && p + 1 < n && Is(text_[p + 1], kDigit))) {
    return MakeCode(TokenKind::kNumber, p, Number(p + 1));
  }
  if (c == '\'' || c == '"') return Literal(p, p);
  if (Is(c, kPunct)) return MakeCode(TokenKind::kPunctuator, p, Punctuator(p));
  return MakeCode(TokenKind::kOther, p, p + 1);
}

// Skips blanks, line ends and splices up to the next token: true with its
// first byte at p, or false with the end of a directive or of the text in
// `boundary`.
[[gnu::always_inline]] inline bool Lexer::SkipToToken(std::size_t& p, Token& boundary) {
  const char* const data = text_.data();
  const std::size_t n = text_.size();
  for (;;) {
    p = BlanksEnd(data, pos_, n);
    if (p == n) {
      pos_ = p;
      const bool ends_directive = in_directive_;
      in_directive_ = false;
      boundary = Make(ends_directive ? TokenKind::kDirectiveEnd : TokenKind::kEnd, p, p);
      return false;
    }
    const char c = data[p];
    if (Is(c, kLineEnd)) {
      const std::size_t end = c == '\r' && p + 1 < n && data[p + 1] == '\n' ? p + 2 : p + 1;
      line_start_ = true;
      pos_ = end;
      if (in_directive_) {
        in_directive_ = false;
        boundary = Make(TokenKind::kDirectiveEnd, p, end);
        return false;
      }
      continue;
    }
    if (c != '\\') return true;
    const std::size_t q = SkipSplices(p);
    if (q == p) return true;
    pos_ = q;
  }
}

// note [fast cases]
// Most tokens are names and punctuators with no backslash, quote or comment
// near them; TokenAt takes those in a few table look-ups and leaves the rest,
// and every token next to a backslash, to Other, which follows the grammar
// step by step. Both give the same tokens.
[[gnu::always_inline]] inline Token Lexer::TokenAt(std::size_t p) {
  const char* const data = text_.data();
  const std::size_t n = text_.size();
  const char c = data[p];
  const unsigned char kind = kClasses[static_cast<unsigned char>(c)];
  if ((kind & (kName | kDigit)) == kName) {
    const std::size_t end = NameEnd(data, p + 1, n);
    if (end == n || !Is(data[end], kQuoted) || Is(data[end], kLineEnd)) {
      return MakeCode(TokenKind::kIdentifier, p, end);
    }
    return Other(p);
  }
  if ((kind & kPunct) != 0 && c != '/' && c != '.' && !(c == '<' && expect_header_) && p + 3 < n &&
      data[p + 1] != '\\' && data[p + 2] != '\\' && data[p + 3] != '\\') {
    const std::size_t length = (kind & kAlone) != 0 ? 1 : PunctuatorLength({data + p, 4});
    return MakeCode(TokenKind::kPunctuator, p, p + length);
  }
  return Other(p);
}

[[gnu::always_inline]] inline Token Lexer::NextToken() {
  std::size_t p = 0;
  Token boundary;
  return SkipToToken(p, boundary) ? TokenAt(p) : boundary;
}

Token Lexer::Next() { return NextToken(); }

namespace {

// Where `bytes` first hold a backslash, a quote or a slash; n where they do not.
std::size_t FirstSpliceQuoteOrSlash(const char* bytes, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const __m128i x = Load16(bytes + i);
    const __m128i found = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('\\')), _mm_cmpeq_epi8(x, _mm_set1_epi8('/'))),
        _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('"')), _mm_cmpeq_epi8(x, _mm_set1_epi8('\''))));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(found));
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(mask));
  }
#endif
  for (; i < n; ++i) {
    const char c = bytes[i];
    if (c == '\\' || c == '/' || c == '"' || c == '\'') return i;
  }
  return n;
}

}  // namespace

// note [the rest of a directive]
// Where the rest of a directive's line holds no backslash (no splice, no
// universal character name), no quote (no literal, raw or not, that could
// reach past the line) and no slash (no comment), every token up to the line
// end is a name, a number, a punctuator or a stray byte: none reaches past
// the line end or changes how what follows is read (after the directive's
// name; a header name, which could hold any of them, is read token by
// token). The directive then ends at that line end, as NextToken would find
// it. Where the line does hold one, the tokens before the last blank ahead
// of it are such tokens too (a blank ends every token but a literal or a
// comment, and none is open there): the lexer goes on from that blank.
Token Lexer::SkipDirective() {
  for (;;) {
    if (in_directive_ && !expect_header_) {
      const char* const data = text_.data();
      const std::size_t n = text_.size();
      const std::size_t end = LineEndFrom(data, pos_, n);
      const std::size_t special = pos_ + FirstSpliceQuoteOrSlash(data + pos_, end - pos_);
      if (special == end) {
        in_directive_ = false;
        if (end == n) return Make(TokenKind::kDirectiveEnd, n, n);
        line_start_ = true;
        return Make(TokenKind::kDirectiveEnd, end,
                    data[end] == '\r' && end + 1 < n && data[end + 1] == '\n' ? end + 2 : end + 1);
      }
      for (std::size_t blank = special; blank > pos_; --blank) {
        if (Is(data[blank - 1], kBlank)) {
          pos_ = blank - 1;
          break;
        }
      }
    }
    const Token token = NextToken();
    if (token.kind == TokenKind::kDirectiveEnd || token.kind == TokenKind::kEnd) return token;
  }
}

bool Lexer::EndsLike(const Token& model, bool model_at_end, std::size_t end) const {
  if (model_at_end || end >= text_.size()) return model_at_end && end == text_.size();
  const char next = text_[end];
  switch (model.kind) {
    case TokenKind::kIdentifier:
      return !Is(next, kName) && (!Is(next, kQuoted) || Is(next, kLineEnd));
    case TokenKind::kNumber:
      return !Is(next, kName) && std::strchr(".'\\+-", next) == nullptr;
    case TokenKind::kCharLiteral:
    case TokenKind::kStringLiteral:
    case TokenKind::kRawString:
      return !Is(next, kName) && next != '\\';
    case TokenKind::kOther:
      if (model.text.size() == 1 && !Is(model.text.front(), kQuoted)) return true;
      return Is(next, kLineEnd);
    case TokenKind::kComment:
      // A block comment that did not run to the end of its text was closed
      // inside its bytes; a line comment ends at a line end.
      return model.text[1] == '*' || (model.text[1] == '/' && Is(next, kLineEnd));
    default:
      return false;
  }
}

// note [following a token]
// A token is decided by its own bytes and the byte after them, and for "<" by
// whether a header name may come: never by what came before. So where this
// text holds, at its next token, the bytes of the other text's token, and a
// byte after them that ends a token of that kind as surely (EndsLike), its
// token is the same, and the lexer takes it without following the grammar.
// Punctuators, which look further ahead, header names, tokens that begin
// with a backslash (a splice or a universal character name may follow) and
// tokens with a splice (whether a splice at their end is theirs depends on
// the byte after it) take the usual way.
[[gnu::always_inline]] inline bool Lexer::NextTokenLike(const Token& model, std::string_view model_text,
                                                        Token& token) {
  std::size_t p = 0;
  if (!SkipToToken(p, token)) return false;
  const std::size_t size = model.text.size();
  const bool model_at_end = model.offset + size == model_text.size();
  if (model.kind != TokenKind::kPunctuator && model.kind != TokenKind::kHeaderName && !model.spliced &&
      size != 0 && text_[p] == model.text.front() && model.text.front() != '\\' && p + size <= text_.size() &&
      EndsLike(model, model_at_end, p + size) &&
      std::memcmp(text_.data() + p, model.text.data(), size) == 0) {
    token =
        model.kind == TokenKind::kComment ? Make(model.kind, p, p + size) : MakeCode(model.kind, p, p + size);
    return true;
  }
  token = TokenAt(p);
  return false;
}

Token Lexer::NextLike(const Token& model, std::string_view model_text) {
  Token token;
  (void)NextTokenLike(model, model_text, token);
  return token;
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

bool SameSlowly(const Token& x, const Token& y) {
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

[[gnu::always_inline]] inline bool Same(const Token& x, const Token& y) {
  if (x.kind != y.kind) return false;
  return x.text == y.text || SameSlowly(x, y);
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

// Where each token stands on its line, for the trailing comments of
// CompareOptions: whether a token that is no comment stands before it on its
// line, and whether it ends its line.
class LinePlaces {
 public:
  explicit LinePlaces(std::string_view text) : text_(text) {}

  // Takes the next token; true when the comment taken before it trailed
  // code and ended its line.
  bool Take(const Token& token) {
    const bool line_ended = token.kind == TokenKind::kEnd || token.kind == TokenKind::kDirectiveEnd ||
                            LineEndBefore(token.offset);
    const bool trailed = comment_trails_ && line_ended;
    if (line_ended) code_on_line_ = false;
    comment_trails_ = token.kind == TokenKind::kComment && code_on_line_;
    if (token.kind == TokenKind::kDirectiveEnd) {
      code_on_line_ = false;
    } else if (token.kind != TokenKind::kComment) {
      code_on_line_ = true;
      code_ = token;
    }
    end_ = token.offset + token.text.size();
    return trailed;
  }
  // Goes on from `offset`, a token boundary, with the last token taken
  // somewhere before it: no comment waiting for its line's end.
  void ResumeAt(std::size_t offset, bool code_on_line) {
    end_ = offset;
    code_on_line_ = code_on_line;
    comment_trails_ = false;
    code_ = Token{};
  }
  // Whether the last token taken is a comment after code on its line.
  [[nodiscard]] bool comment_trails() const { return comment_trails_; }
  // The last token that is no comment.
  [[nodiscard]] const Token& code() const { return code_; }

 private:
  // A line end, not a splice, between the last token and `offset`.
  [[nodiscard]] bool LineEndBefore(std::size_t offset) const {
    for (std::size_t p = end_; p < offset; ++p) {
      if (const std::size_t spliced = SkipSplicesIn(text_, p); spliced > p) {
        p = spliced - 1;
      } else if (text_[p] == '\n' || text_[p] == '\r') {
        return true;
      }
    }
    return false;
  }

  std::string_view text_;
  std::size_t end_ = 0;
  bool code_on_line_ = false;
  bool comment_trails_ = false;
  Token code_;
};

}  // namespace

// The next token that counts, the line-wrap marker being a blank.
Token Lexer::NextCounted() {
  Token token = NextToken();
  while (CountsAsBlank(token)) token = NextToken();
  return token;
}

void Lexer::Restore(const State& state) {
  pos_ = state.pos;
  directive_tokens_ = state.directive_tokens;
  spliced_ = state.spliced;
  line_start_ = state.line_start;
  in_directive_ = state.in_directive;
  expect_header_ = state.expect_header;
}

namespace {

// The pairs of bytes that a punctuator holds side by side, and the two that
// open comments.
constexpr std::string_view kJoiningPairs =
    "%: %= %> :% << <= => <: <% :: :> >> >= -> >* -- -= .. .* ++ += && &= || |= ## == != *= /= ^= // /*";

constexpr std::array<std::uint64_t, 256> MakeJoiningPairs() {
  std::array<std::uint64_t, 256> rows{};  // two words of 64 bits for each first byte below 128
  for (std::size_t i = 0; i + 1 < kJoiningPairs.size(); i += 3) {
    const auto second = static_cast<unsigned char>(kJoiningPairs[i + 1]);
    rows[2 * static_cast<unsigned char>(kJoiningPairs[i]) + second / 64] |= std::uint64_t{1} << (second % 64);
  }
  return rows;
}
constexpr std::array<std::uint64_t, 256> kJoining = MakeJoiningPairs();

bool IsExponent(char c) { return c == 'e' || c == 'E' || c == 'p' || c == 'P'; }

// Whether a token of code may hold the byte at p together with the byte
// before it; false where the lexer always ends a token between them. The
// bytes from `start`, a token boundary, to p hold no quote, backslash or
// comment.
bool MayJoin(std::string_view text, std::size_t p, std::size_t start) {
  if (p == start || p >= text.size()) return false;
  const char c = text[p - 1];
  const char d = text[p];
  const unsigned char before = kClasses[static_cast<unsigned char>(c)];
  const unsigned char after = kClasses[static_cast<unsigned char>(d)];
  if (((before | after) & kAlone) != 0 || (before & (kBlank | kLineEnd)) != 0) return false;
  if (d == '\\') return true;  // a splice or a universal character name
  // A number goes on after a point, and after a sign that follows an exponent.
  const bool in_number = c == '.' || ((c == '+' || c == '-') && p - 1 > start && IsExponent(text[p - 2]));
  if (in_number && ((after & kName) != 0 || d == '.' || d == '\'')) return true;
  if ((before & kName) != 0) {
    // Names and numbers go on with name characters; numbers with a point, a
    // digit separator and a sign after an exponent; a name before a quote
    // may be an encoding prefix.
    return (after & kName) != 0 || d == '.' || d == '\'' || d == '"' ||
           ((d == '+' || d == '-') && IsExponent(c));
  }
  if ((before & kPunct) == 0 || (after & kPunct) == 0) return false;
  const auto first = static_cast<unsigned char>(c);
  const auto second = static_cast<unsigned char>(d);
  return (kJoining[2 * first + second / 64] >> (second % 64) & 1) != 0;
}

// The end of the blanks and line ends at p; `line_end` is set when they hold
// a line end.
std::size_t LongWhiteEnd(const char* data, std::size_t p, std::size_t n, bool& line_end);

#if defined(__SSE2__)
// Bit i set where byte i is white space, and in `ends` where it ends a line.
[[gnu::always_inline]] inline unsigned WhiteBits(const char* at, unsigned& ends) {
  const __m128i x = Load16(at);
  // Tab, line feed, vertical tab, form feed and carriage return are 9 to 13.
  const __m128i from_tab = _mm_sub_epi8(x, _mm_set1_epi8('\t'));
  const __m128i white = _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(from_tab, _mm_set1_epi8(4)), from_tab),
                                     _mm_cmpeq_epi8(x, _mm_set1_epi8(' ')));
  ends = static_cast<unsigned>(_mm_movemask_epi8(
      _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(x, _mm_set1_epi8('\r')))));
  return static_cast<unsigned>(_mm_movemask_epi8(white));
}
#endif

#if defined(__SSE2__)
// Whether the white space at p ends within the sixteen bytes there, at
// `end`; `line_end` is set when a line end comes before it.
[[gnu::always_inline]] inline bool WhiteEndsWithin16(const char* data, std::size_t p, std::size_t& end,
                                                     bool& line_end) {
  unsigned ends = 0;
  const unsigned other = ~WhiteBits(data + p, ends) & 0xFFFFU;
  if (other == 0) {
    line_end |= ends != 0;
    return false;
  }
  const unsigned at = static_cast<unsigned>(__builtin_ctz(other));
  line_end |= (ends & ((1U << at) - 1)) != 0;
  end = p + at;
  return true;
}
#endif

// The white space between tokens is mostly short: a blank, or a line end and
// an indentation.
[[gnu::always_inline]] inline std::size_t WhiteEnd(const char* data, std::size_t p, std::size_t n,
                                                   bool& line_end) {
#if defined(__SSE2__)
  if (p + 16 <= n) {
    std::size_t end = 0;
    if (WhiteEndsWithin16(data, p, end, line_end)) return end;
    return LongWhiteEnd(data, p + 16, n, line_end);
  }
#endif
  return LongWhiteEnd(data, p, n, line_end);
}

std::size_t LongWhiteEnd(const char* data, std::size_t p, std::size_t n, bool& line_end) {
#if defined(__SSE2__)
  for (std::size_t end = 0; p + 16 <= n; p += 16) {
    if (WhiteEndsWithin16(data, p, end, line_end)) return end;
  }
#endif
  for (; p < n && Is(data[p], kBlank | kLineEnd); ++p) line_end |= Is(data[p], kLineEnd);
  return p;
}

constexpr std::string_view kLineWrapMarker = "/*Line Wrapped*/";

[[gnu::always_inline]] inline bool IsLineWrapMarker(std::string_view text, std::size_t p) {
  return p + 2 < text.size() && text[p] == '/' && text[p + 2] == 'L' &&
         text.substr(p, kLineWrapMarker.size()) == kLineWrapMarker;
}

// What separates two tokens: blanks, line ends, line splices and line-wrap
// markers. Splices alone separate nothing.
struct Space {
  std::size_t end = 0;
  bool line_end = false;  // a line end that no splice takes away
  bool separates = false;
};

// SpaceAt from a splice or a slash at space.end.
void MoreSpace(std::string_view text, Space& space) {
  while (space.end < text.size()) {
    const std::size_t end = WhiteEnd(text.data(), space.end, text.size(), space.line_end);
    if (end != space.end) {
      space.separates = true;
      space.end = end;
    } else if (text[end] == '\\') {
      space.end = SkipSplicesIn(text, end);
      if (space.end == end) return;
    } else if (IsLineWrapMarker(text, end)) {
      space.end += kLineWrapMarker.size();
      space.separates = true;
    } else {
      return;
    }
  }
}

[[gnu::always_inline]] inline Space SpaceAt(std::string_view text, std::size_t p) {
  Space space{p, false, false};
  if (p == text.size() || !Is(text[p], kSpaceLead)) return space;
  space.end = WhiteEnd(text.data(), p, text.size(), space.line_end);
  space.separates = space.end != p;
  if (space.end < text.size() && (text[space.end] == '\\' || IsLineWrapMarker(text, space.end)))
    MoreSpace(text, space);
  return space;
}

// Where the byte c takes the walk out of a run of equal bytes: a slash, a
// quote or a backslash; a "#" or "%" that may open a directive, outside
// directives; a line end, inside them.
bool StopsRun(char c, bool in_directive) {
  return c == '/' || c == '\\' || c == '"' || c == '\'' ||
         (in_directive ? Is(c, kLineEnd) : c == '#' || c == '%');
}

// The length of the run of bytes at the starts of `a` and `b`, both at least
// n bytes long, that are equal and do not stop a run (StopsRun).
std::size_t EqualRun(const char* a, const char* b, std::size_t n, bool in_directive) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const char first = in_directive ? '\n' : '#';
  const char second = in_directive ? '\r' : '%';
  for (; i + 16 <= n; i += 16) {
    const __m128i x = Load16(a + i);
    const auto is = [&](char c) { return _mm_cmpeq_epi8(x, _mm_set1_epi8(c)); };
    const __m128i stops =
        _mm_or_si128(_mm_or_si128(_mm_or_si128(is(first), is(second)), _mm_or_si128(is('/'), is('\\'))),
                     _mm_or_si128(is('"'), is('\'')));
    const unsigned go =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(stops, _mm_cmpeq_epi8(x, Load16(b + i)))));
    if (go != 0xFFFFU) return i + static_cast<std::size_t>(__builtin_ctz(~go));
  }
#endif
  while (i < n && a[i] == b[i] && !StopsRun(a[i], in_directive)) ++i;
  return i;
}

}  // namespace

// note [walking past the spacing]
// Formatting changes white space and little else, so the comparison walks
// both texts side by side without making tokens: runs of equal bytes are
// compared sixteen at a time, and where the texts part, the white space on
// either side is skipped. The tokens stay the same there when both texts
// stand at a token boundary: a side with white space does, and a side
// without must hold two bytes that no token joins (MayJoin). Comments and
// literals, inside which white space counts, are lexed as tokens on both
// sides, and so are the first tokens of a line that begins with "#" or "%"
// (a directive may open there); inside a directive, a line end counts as the
// directive's end. Wherever the walk cannot be sure (a backslash that is not
// a splice in white space, two bytes that a token may join, bytes that
// differ), both lexers go back to the last place where the texts stood at a
// token boundary in the same state, and the comparison goes on token by
// token, handing back to the walk at the first such place after the one
// where the walk stopped. CompareEveryToken compares token by token
// throughout; a test holds the two to the same results.
//
// A comment that trails code (CompareOptions) is met on both sides at once
// by the walk, which tells whether each trails code from the lexers' line
// starts and whether each ends its line from the white space after it. The
// rare comment that no longer trails its code makes the comparison start
// again token by token, which names the code it trailed; so does one that
// the token by token stretches find.
class TokenComparison {
 public:
  TokenComparison(std::string_view before, std::string_view after, const CompareOptions& options)
      : a_(before), b_(after), options_(options), places_a_(before), places_b_(after) {}

  std::optional<TokenDifference> Run(bool walk);
  // Whether Run(true) stopped at a comment that no longer trails its code,
  // for Run(false) to name.
  [[nodiscard]] bool moved_comment() const { return moved_comment_; }

 private:
  // Walks on from where both lexers stand, the same place in the same state
  // (CanWalk). True when the rest of the texts holds the same tokens; false
  // with both lexers back at the last place they shared, having stopped at
  // stop_ in the first text.
  bool Walk();
  [[nodiscard]] bool CanWalk() const {
    // A header name may follow an include until the next token, even past the directive's end.
    return a_.SameStateAs(b_) && !a_.expect_header_ && !(a_.in_directive_ && a_.directive_tokens_ < 2);
  }
  // Skips the white space s and t at i and j, where a run of equal bytes
  // ended; false where the tokens may differ.
  bool SkipSpace(std::size_t& i, std::size_t& j, const Space& s, const Space& t);
  // Lexes the first tokens of a line that begins with "#" or "%", up to
  // where the walk may go on; false where they differ.
  bool StartLine(std::size_t& i, std::size_t& j);
  void Mark(std::size_t i, std::size_t j);
  bool Unsure(std::size_t i);
  // Whether the comments s and t, just lexed by the walk, leave code that
  // `before`'s trails; false, noting moved_comment_, where they do.
  bool KeepsTrailing(const Token& s);
  // Takes the tokens x and y for the trailing comments; the difference when a
  // comment that trailed code in `before` does not in `after`.
  std::optional<TokenDifference> TakePlaces(const Token& x, const Token& y);
  std::optional<TokenDifference> Differs(const Token& x, const Token& y);

  Lexer a_;
  Lexer b_;
  Lexer::State mark_a_;  // the last place where both texts stood at the same
  Lexer::State mark_b_;  // token boundary in the same state
  std::size_t stop_ = 0;
  CompareOptions options_;
  LinePlaces places_a_;
  LinePlaces places_b_;
  Token comment_;  // the last comment of `before` that trails code
  Token trailed_;  // ... and the code it trails
  bool moved_comment_ = false;
};

void TokenComparison::Mark(std::size_t i, std::size_t j) {
  a_.pos_ = i;
  b_.pos_ = j;
  mark_a_ = a_.Saved();
  mark_b_ = b_.Saved();
}

bool TokenComparison::Unsure(std::size_t i) {
  a_.Restore(mark_a_);
  b_.Restore(mark_b_);
  stop_ = i;
  // The walk has checked every comment before the mark.
  places_a_.ResumeAt(a_.pos_, !a_.line_start_);
  places_b_.ResumeAt(b_.pos_, !b_.line_start_);
  return false;
}

bool TokenComparison::KeepsTrailing(const Token& s) {
  // A comment trails code where no line end came since the last code token;
  // it ends its line where a line end or the end of the text follows it.
  if (!options_.trailing_comments || s.kind != TokenKind::kComment || a_.line_start_) return true;
  const auto ends_line = [](const Lexer& lexer) {
    const Space space = SpaceAt(lexer.text_, lexer.pos_);
    return space.line_end || space.end == lexer.text_.size();
  };
  if (!ends_line(a_) || (!b_.line_start_ && ends_line(b_))) return true;
  moved_comment_ = true;
  return false;
}

// The end of the name in the common opening of a directive at p: "#",
// blanks and a name that nothing but a byte of another token follows; 0 for
// any other opening.
std::size_t DirectiveNameEnd(std::string_view text, std::size_t p, std::size_t& name) {
  const std::size_t n = text.size();
  if (text[p] != '#') return 0;
  name = p + 1 < n && Is(text[p + 1], kBlank) ? BlanksEnd(text.data(), p + 1, n) : p + 1;
  if (name == n || !IsNameStart(text[name])) return 0;
  const std::size_t end = NameEnd(text.data(), name + 1, n);
  return end < n && Is(text[end], kQuoted) && !Is(text[end], kLineEnd) ? 0 : end;
}

bool TokenComparison::StartLine(std::size_t& i, std::size_t& j) {
  const std::string_view x = a_.text_;
  const std::string_view y = b_.text_;
  a_.pos_ = i;
  b_.pos_ = j;
  std::size_t name = 0;
  const std::size_t end = DirectiveNameEnd(x, i, name);
  // The same opening, and the byte after it, in both texts in the same state
  // makes the same tokens.
  const std::size_t length = std::min(end + 1, x.size()) - i;
  if (end != 0 && a_.SameStateAs(b_) && j + length <= y.size() &&
      std::memcmp(x.data() + i, y.data() + j, length) == 0 && (end < x.size() || j + length == y.size())) {
    (void)a_.MakeCode(TokenKind::kPunctuator, i, i + 1);
    (void)a_.MakeCode(TokenKind::kIdentifier, name, end);
    Lexer::State state = a_.Saved();
    state.pos = j + (end - i);
    b_.Restore(state);
  }
  // Token by token for other openings, and where a header name follows.
  while (!CanWalk() || a_.line_start_) {
    const Token s = a_.NextToken();
    const Token t = b_.NextToken();
    if (s.kind == TokenKind::kEnd || CountsAsBlank(s) || CountsAsBlank(t) || !Same(s, t)) return false;
    // Comments here are told apart by the token by token comparison.
    if (options_.trailing_comments && s.kind == TokenKind::kComment) return false;
  }
  i = a_.pos_;
  j = b_.pos_;
  Mark(i, j);
  return true;
}

[[gnu::always_inline]] inline bool TokenComparison::SkipSpace(std::size_t& i, std::size_t& j, const Space& s,
                                                              const Space& t) {
  const std::string_view x = a_.text_;
  const std::string_view y = b_.text_;
  // White space just before i and j (the bytes since the mark are the same
  // in both texts) already stands between the tokens on both sides.
  const bool white_before = i > mark_a_.pos && Is(x[i - 1], kBlank | kLineEnd);
  // A side without white space must stand at a token boundary; splices
  // alone may join the bytes around them.
  const auto may_join = [](const Space& space, std::string_view text, std::size_t p, std::size_t mark) {
    return !space.separates && (space.end != p || MayJoin(text, p, mark));
  };
  if (!white_before && (may_join(s, x, i, mark_a_.pos) || may_join(t, y, j, mark_b_.pos))) return false;
  if (a_.in_directive_) {
    const bool ends = s.line_end || s.end == x.size();
    if (ends != (t.line_end || t.end == y.size())) return false;
    if (ends) a_.in_directive_ = b_.in_directive_ = false;
  }
  a_.line_start_ = a_.line_start_ || s.line_end;
  b_.line_start_ = b_.line_start_ || t.line_end;
  i = s.end;
  j = t.end;
  Mark(i, j);
  return true;
}

bool TokenComparison::Walk() {
  const std::string_view x = a_.text_;
  const std::string_view y = b_.text_;
  std::size_t i = a_.pos_;
  std::size_t j = b_.pos_;
  Mark(i, j);
  for (;;) {
    const std::size_t start = i;
    const std::size_t run =
        EqualRun(x.data() + i, y.data() + j, std::min(x.size() - i, y.size() - j), a_.in_directive_);
    i += run;
    j += run;
    // The run's tokens end the line's start, and its line ends begin one.
    std::size_t last = i;
    while (last > start && Is(x[last - 1], kBlank)) --last;
    if (last > start) a_.line_start_ = b_.line_start_ = Is(x[last - 1], kLineEnd);
    if (i == x.size() && j == y.size()) return true;
    const Space space_a = SpaceAt(x, i);
    const Space space_b = SpaceAt(y, j);
    if (space_a.end != i || space_b.end != j) {
      if (!SkipSpace(i, j, space_a, space_b)) return Unsure(i);
      continue;
    }
    if (i == x.size() || j == y.size() || x[i] != y[j] || x[i] == '\\') return Unsure(i);
    if (x[i] == '#' || x[i] == '%') {
      // A directive may open at the start of a line; elsewhere a punctuator.
      if (a_.line_start_ || b_.line_start_) {
        if (!StartLine(i, j)) return Unsure(i);
      } else {
        ++i;
        ++j;
      }
      continue;
    }
    if (MayJoin(x, i, mark_a_.pos)) return Unsure(i);
    // A comment, a literal or a slash on both sides.
    const Token s = a_.TokenAt(i);
    const Token t = b_.TokenAt(j);
    if (!Same(s, t)) return Unsure(i);
    if (!KeepsTrailing(s)) return false;
    i = a_.pos_;
    j = b_.pos_;
    Mark(i, j);
  }
}

std::optional<TokenDifference> TokenComparison::Differs(const Token& x, const Token& y) {
  // The tokens that stand on the other side where x stood, until they
  // cover as many bytes (a token split in two shows both halves).
  std::string other = Shown(y);
  std::size_t covered = y.text.size();
  for (int more = 0; more < 3 && covered < x.text.size() && y.kind != TokenKind::kEnd; ++more) {
    const Token next = b_.NextCounted();
    if (next.kind == TokenKind::kEnd) break;
    other += " " + Shown(next);
    covered += next.text.size();
  }
  return TokenDifference{x.offset, Shown(x) + " \u2192 " + other};
}

std::optional<TokenDifference> TokenComparison::TakePlaces(const Token& x, const Token& y) {
  const bool trails_after = places_b_.comment_trails();
  const bool ended_before = places_a_.Take(x);
  const bool ended_after = places_b_.Take(y);
  if (ended_before && !(trails_after && ended_after)) {
    return TokenDifference{comment_.offset,
                           Shown(trailed_) + " " + Shown(comment_) + " \u2192 " + Shown(comment_) +
                               (trails_after ? " followed by " + Shown(y) : " off its line")};
  }
  if (places_a_.comment_trails()) {
    comment_ = x;
    trailed_ = places_a_.code();
  }
  return std::nullopt;
}

std::optional<TokenDifference> TokenComparison::Run(bool walk) {
  const std::string_view before = a_.text_;
  for (bool walking = walk;;) {
    if (walking && Walk()) return std::nullopt;
    if (moved_comment_) return std::nullopt;
    const Token x = a_.NextCounted();
    Token y;
    bool followed = b_.NextTokenLike(x, before, y);
    while (CountsAsBlank(y)) followed = b_.NextTokenLike(x, before, y);
    if (options_.trailing_comments) {
      if (auto difference = TakePlaces(x, y)) {
        // The code that the comment trailed may lie where the walk went.
        moved_comment_ = walk;
        return difference;
      }
    }
    if (!followed && !Same(x, y)) return Differs(x, y);
    if (x.kind == TokenKind::kEnd) return std::nullopt;
    // The walk does not take a comment that waits for its line's end.
    walking = walk && a_.pos_ > stop_ && CanWalk() && !places_a_.comment_trails();
  }
}

std::optional<TokenDifference> CompareTokens(std::string_view before, std::string_view after,
                                             const CompareOptions& options) {
  if (before == after) return std::nullopt;  // a file formatted before, as in most runs of --check
  TokenComparison comparison(before, after, options);
  auto difference = comparison.Run(true);
  return comparison.moved_comment() ? CompareEveryToken(before, after, options) : difference;
}

std::optional<TokenDifference> CompareEveryToken(std::string_view before, std::string_view after,
                                                 const CompareOptions& options) {
  return TokenComparison(before, after, options).Run(false);
}

std::size_t FindLineEnd(std::string_view text, std::size_t from) {
  return LineEndFrom(text.data(), std::min(from, text.size()), text.size());
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
