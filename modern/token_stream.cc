#include "modern/token_stream.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/check.h"

namespace qfmt::modern {
namespace {

struct Keyword {
  std::string_view text;
  Word word;
};

constexpr Keyword kKeywords[] = {
    {"_Alignas", Word::kAlignas},
    {"_Alignof", Word::kAlignof},
    {"_Bool", Word::kTypeName},
    {"_Generic", Word::kGeneric},
    {"_Noreturn", Word::kInline},
    {"_Static_assert", Word::kStaticAssert},
    {"_Thread_local", Word::kStatic},
    {"__asm", Word::kAsm},
    {"__asm__", Word::kAsm},
    {"__attribute", Word::kAttribute},
    {"__attribute__", Word::kAttribute},
    {"__declspec", Word::kDeclspec},
    {"__extension__", Word::kInline},
    {"__inline", Word::kInline},
    {"__inline__", Word::kInline},
    {"__restrict", Word::kConst},
    {"__restrict__", Word::kConst},
    {"__typeof", Word::kTypeof},
    {"__typeof__", Word::kTypeof},
    {"__volatile__", Word::kVolatile},
    {"alignas", Word::kAlignas},
    {"alignof", Word::kAlignof},
    {"asm", Word::kAsm},
    {"auto", Word::kAuto},
    {"bool", Word::kTypeName},
    {"break", Word::kBreak},
    {"case", Word::kCase},
    {"catch", Word::kCatch},
    {"char", Word::kTypeName},
    {"char16_t", Word::kTypeName},
    {"char32_t", Word::kTypeName},
    {"char8_t", Word::kTypeName},
    {"class", Word::kClass},
    {"co_await", Word::kCoAwait},
    {"co_return", Word::kCoReturn},
    {"co_yield", Word::kCoYield},
    {"const", Word::kConst},
    {"consteval", Word::kConstexpr},
    {"constexpr", Word::kConstexpr},
    {"constinit", Word::kConstexpr},
    {"continue", Word::kContinue},
    {"decltype", Word::kDecltype},
    {"default", Word::kDefault},
    {"delete", Word::kDelete},
    {"do", Word::kDo},
    {"double", Word::kTypeName},
    {"else", Word::kElse},
    {"enum", Word::kEnum},
    {"explicit", Word::kExplicit},
    {"extern", Word::kExtern},
    {"float", Word::kTypeName},
    {"for", Word::kFor},
    {"friend", Word::kFriend},
    {"goto", Word::kGoto},
    {"if", Word::kIf},
    {"inline", Word::kInline},
    {"int", Word::kTypeName},
    {"long", Word::kTypeName},
    {"mutable", Word::kMutable},
    {"namespace", Word::kNamespace},
    {"new", Word::kNew},
    {"noexcept", Word::kNoexcept},
    {"operator", Word::kOperator},
    {"private", Word::kPrivate},
    {"protected", Word::kProtected},
    {"public", Word::kPublic},
    {"register", Word::kRegister},
    {"requires", Word::kRequires},
    {"restrict", Word::kConst},
    {"return", Word::kReturn},
    {"short", Word::kTypeName},
    {"signed", Word::kTypeName},
    {"sizeof", Word::kSizeof},
    {"static", Word::kStatic},
    {"static_assert", Word::kStaticAssert},
    {"struct", Word::kStruct},
    {"switch", Word::kSwitch},
    {"template", Word::kTemplate},
    {"thread_local", Word::kStatic},
    {"throw", Word::kThrow},
    {"try", Word::kTry},
    {"typedef", Word::kTypedef},
    {"typename", Word::kTypename},
    {"typeof", Word::kTypeof},
    {"union", Word::kUnion},
    {"unsigned", Word::kTypeName},
    {"using", Word::kUsing},
    {"virtual", Word::kVirtual},
    {"void", Word::kTypeName},
    {"volatile", Word::kVolatile},
    {"wchar_t", Word::kTypeName},
    {"while", Word::kWhile},
};

// A slot for each keyword that no other takes (MakeSlots fails to compile
// where two would): a name is looked for in one slot only.
constexpr std::size_t KeywordSlot(std::string_view name) {
  const auto at = [&name](std::size_t i) {
    return static_cast<std::size_t>(static_cast<unsigned char>(name[i]));
  };
  return (at(0) * 7 + at(name.size() / 2) * 28 + at(name.size() - 1) * 21 + name.size()) & 511;
}

constexpr std::uint8_t kNoKeyword = 0xFF;

constexpr std::array<std::uint8_t, 512> MakeSlots() {
  std::array<std::uint8_t, 512> slots{};
  slots.fill(kNoKeyword);
  for (std::size_t k = 0; k < std::size(kKeywords); ++k) {
    std::uint8_t& slot = slots[KeywordSlot(kKeywords[k].text)];
    if (slot != kNoKeyword) throw "two keywords share a slot";
    slot = static_cast<std::uint8_t>(k);
  }
  return slots;
}
constexpr std::array<std::uint8_t, 512> kSlots = MakeSlots();

// The keywords' lengths, as bits: a name of another length is no keyword.
constexpr std::uint32_t MakeLengths() {
  std::uint32_t lengths = 0;
  for (const Keyword& keyword : kKeywords) lengths |= std::uint32_t{1} << keyword.text.size();
  return lengths;
}
constexpr std::uint32_t kKeywordLengths = MakeLengths();

Word KeywordOf(std::string_view name) {
  if (name.size() >= 32 || (kKeywordLengths & (std::uint32_t{1} << name.size())) == 0) return Word::kNone;
  const std::uint8_t k = kSlots[KeywordSlot(name)];
  return k != kNoKeyword && kKeywords[k].text == name ? kKeywords[k].word : Word::kNone;
}

Word PunctuatorOf(std::string_view p) {
  const char a = p[0];
  if (p.size() == 1) {
    switch (a) {
      case '{':
        return Word::kLBrace;
      case '}':
        return Word::kRBrace;
      case '(':
        return Word::kLParen;
      case ')':
        return Word::kRParen;
      case '[':
        return Word::kLBracket;
      case ']':
        return Word::kRBracket;
      case ';':
        return Word::kSemicolon;
      case ',':
        return Word::kComma;
      case ':':
        return Word::kColon;
      case '?':
        return Word::kQuestion;
      case '.':
        return Word::kDot;
      case '*':
        return Word::kStar;
      case '&':
        return Word::kAmp;
      case '+':
        return Word::kPlus;
      case '-':
        return Word::kMinus;
      case '!':
        return Word::kNot;
      case '~':
        return Word::kTilde;
      case '<':
        return Word::kLess;
      case '>':
        return Word::kGreater;
      case '=':
        return Word::kAssign;
      case '#':
        return Word::kHash;
      default:
        return Word::kBinaryOp;
    }
  }
  if (p == "::") return Word::kScope;
  if (p == "->") return Word::kArrow;
  if (p == ".*" || p == "->*") return Word::kMemberPointer;
  if (p == "&&") return Word::kAmpAmp;
  if (p == "++") return Word::kIncrement;
  if (p == "--") return Word::kDecrement;
  if (p == ">>") return Word::kShiftRight;
  if (p == "...") return Word::kEllipsis;
  if (p == "<%") return Word::kLBrace;
  if (p == "%>") return Word::kRBrace;
  if (p == "<:") return Word::kLBracket;
  if (p == ":>") return Word::kRBracket;
  if (p == "%:") return Word::kHash;
  if (p == "##" || p == "%:%:") return Word::kBinaryOp;
  if (p.back() == '=' && p != "==" && p != "!=" && p != "<=" && p != ">=") return Word::kAssignOp;
  return Word::kBinaryOp;
}

// "qfmt off" and "qfmt on" as the whole text of a comment.
Word MarkerOf(std::string_view comment) {
  std::string_view body = comment.substr(2);
  if (comment.starts_with("/*") && body.ends_with("*/")) body.remove_suffix(2);
  const std::size_t begin = body.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return Word::kNone;
  body = body.substr(begin, body.find_last_not_of(" \t\r\n") + 1 - begin);
  if (body == "qfmt off") return Word::kOffMarker;
  if (body == "qfmt on") return Word::kOnMarker;
  return Word::kNone;
}

bool HoldsLineEnd(std::string_view text) { return FindLineEnd(text) != text.size(); }

constexpr std::uint64_t kOnes = 0x0101010101010101;
constexpr std::uint64_t kHighs = 0x8080808080808080;

// Whether eight bytes hold no tab and no byte of a UTF-8 sequence: no high
// bit, and no zero byte once each is xored with a tab.
bool IsPlainWord(std::uint64_t x) {
  const std::uint64_t tabs = x ^ (kOnes * '\t');
  return ((x | ((tabs - kOnes) & ~tabs)) & kHighs) == 0;
}

std::uint64_t Load(const char* at, std::size_t n) {
  std::uint64_t x = 0;
  std::memcpy(&x, at, n);
  return x;
}

// Whether `bytes` hold only ASCII bytes other than a tab; long comments
// sixteen bytes at a time, the short tokens that most are eight at a time.
bool IsPlain(std::string_view bytes) {
  const char* const data = bytes.data();
  const std::size_t n = bytes.size();
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    // The high bit of a byte of a UTF-8 sequence, or of a tab's match.
    if (_mm_movemask_epi8(_mm_or_si128(x, _mm_cmpeq_epi8(x, _mm_set1_epi8('\t')))) != 0) return false;
  }
#endif
  for (; i + 8 <= n; i += 8) {
    if (!IsPlainWord(Load(data + i, 8))) return false;
  }
  // The last few bytes, as two loads that may overlap.
  const std::size_t left = n - i;
  if (left >= 4) return IsPlainWord(Load(data + i, 4) | Load(data + n - 4, 4) << 32);
  for (; i < n; ++i) {
    if (data[i] == '\t' || static_cast<unsigned char>(data[i]) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::int32_t ColumnAfter(std::string_view bytes, std::int32_t column, std::int32_t tab_width) {
  // Most tokens are plain ASCII without tabs: one column a byte.
  if (IsPlain(bytes)) return column + static_cast<std::int32_t>(bytes.size());
  for (const char c : bytes) {
    if (c == '\t') {
      column += tab_width - column % tab_width;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return column;
}

Token& TokenStream::PeekFar(std::size_t k) {
  if (tokens_ == nullptr) {
    while (count_ <= k) Fill();
    return ring_[(first_ + k) % kLookAhead];
  }
  // Read a few tokens beyond, so that the next looks find them at at_.
  constexpr std::size_t kBatch = 64;
  if (next_ + k >= tokens_->size()) {
    while (tokens_->size() < next_ + k + kBatch && !ended_) Record();
    while (next_ + k >= tokens_->size()) Record();
  }
  at_ = &(*tokens_)[next_];
  ahead_ = tokens_->RunFrom(next_);
  return (*tokens_)[next_ + k];
}

void TokenStream::AdvanceFar() {
  if (tokens_ == nullptr) {
    if (count_ == 0) Fill();
    first_ = (first_ + 1) % kLookAhead;
    --count_;
    return;
  }
  (void)PeekFar(0);
  ++at_;
  --ahead_;
  ++next_;
}

void TokenStream::Fill() {
  QFMT_CHECK(count_ < kLookAhead);
  ring_[(first_ + count_) % kLookAhead] = Read();
  ++count_;
}

void TokenStream::Record() {
  if (!ended_) {
    tokens_->push_back(Read());
    ended_ = tokens_->back().kind == Kind::kEnd;
    return;
  }
  Token end;
  end.offset = static_cast<std::uint32_t>(text_.size());
  tokens_->push_back(end);
}

// Inline in Read, its one caller: a call for every token cost 2% of a run.
[[gnu::always_inline]] inline void TokenStream::MeasureGap(Token& token) {
  const std::size_t begin = last_end_;
  const std::size_t end = token.offset;
  std::size_t line_begin = std::string_view::npos;
  int breaks = 0;
  for (std::size_t p = begin; p < end; ++p) {
    const char c = text_[p];
    if (c == '\n' || c == '\r') {
      if (c == '\r' && p + 1 < end && text_[p + 1] == '\n') ++p;
      ++breaks;
      line_begin = p + 1;
      line_has_code_ = false;
    } else if (c == '\\') {
      // A line splice between tokens: the text goes on on the next line.
      while (p + 1 < end && text_[p + 1] != '\n' && text_[p + 1] != '\r') ++p;
      if (p + 1 < end) {
        ++p;
        if (text_[p] == '\r' && p + 1 < end && text_[p + 1] == '\n') ++p;
        ++breaks;
        line_begin = p + 1;
      }
    }
  }
  const bool blank = end > begin;
  if (!started_) {
    started_ = true;
    if (breaks == 0) line_begin = 0;
    breaks = std::max(breaks, 1);
  }
  token.SetGap(breaks, blank);
  if (breaks > 0) token.column = ColumnAfter(text_.substr(line_begin, end - line_begin), 0, tab_width_);
}

lexer::Token TokenStream::NextInDirective() {
  lexer::Token t = lexer_.Next();
  while (t.kind == lexer::TokenKind::kComment) t = lexer_.Next();
  return t;
}

// Its name says what it opens or closes, and "#if 0" alone opens a region
// kept as written; the rest of its tokens only say where it ends.
void TokenStream::Directive(const lexer::Token& hash, Token& token) {
  token.kind = Kind::kDirective;
  token.word = Word::kDirOther;
  const auto ends = [](const lexer::Token& t) {
    return t.kind == lexer::TokenKind::kDirectiveEnd || t.kind == lexer::TokenKind::kEnd;
  };
  lexer::Token t = NextInDirective();
  if (t.kind == lexer::TokenKind::kIdentifier) {
    const std::string_view name = t.text;
    if (name == "if" || name == "ifdef" || name == "ifndef") {
      token.word = Word::kDirIf;
    } else if (name == "else" || name == "elif" || name == "elifdef" || name == "elifndef") {
      token.word = Word::kDirElse;
    } else if (name == "endif") {
      token.word = Word::kDirEndif;
    }
    if (name == "if") {
      t = NextInDirective();
      if (!ends(t) && t.text == "0") {
        t = NextInDirective();
        if (ends(t)) token.word = Word::kDirIfZero;
      }
    }
  }
  if (!ends(t)) t = lexer_.SkipDirective();
  token.size = static_cast<std::uint32_t>(t.offset - hash.offset);
  token.SetMultiline(HoldsLineEnd(token.TextIn(text_)));
}

Token TokenStream::Read() {
  const lexer::Token t = lexer_.Next();
  Token token;
  token.offset = static_cast<std::uint32_t>(t.offset);
  token.size = static_cast<std::uint32_t>(t.text.size());
  switch (t.kind) {
    case lexer::TokenKind::kIdentifier:
      token.kind = Kind::kWord;
      token.word = KeywordOf(t.text);
      break;
    case lexer::TokenKind::kNumber:
      token.kind = Kind::kNumber;
      break;
    case lexer::TokenKind::kCharLiteral:
      token.kind = Kind::kChar;
      break;
    case lexer::TokenKind::kStringLiteral:
    case lexer::TokenKind::kHeaderName:
      token.kind = Kind::kString;
      break;
    case lexer::TokenKind::kRawString:
      token.kind = Kind::kRawString;
      break;
    case lexer::TokenKind::kPunctuator:
      token.kind = Kind::kPunct;
      token.word = PunctuatorOf(t.text);
      break;
    case lexer::TokenKind::kComment:
      token.kind = Kind::kComment;
      token.word = MarkerOf(t.text);
      break;
    case lexer::TokenKind::kOther:
      token.kind = Kind::kOther;
      break;
    case lexer::TokenKind::kDirectiveEnd:  // only inside Directive
    case lexer::TokenKind::kEnd:
      token.kind = Kind::kEnd;
      break;
  }
  MeasureGap(token);
  if (token.word == Word::kHash && !line_has_code_) {
    Directive(t, token);
  } else {
    // Only comments, raw strings and spliced tokens can hold a line end.
    const bool may =
        t.spliced || token.kind == Kind::kRawString || (token.kind == Kind::kComment && t.text[1] == '*');
    token.SetMultiline(may && HoldsLineEnd(t.text));
  }
  if (token.kind != Kind::kComment) line_has_code_ = token.kind != Kind::kDirective;
  last_end_ = token.end();
  return token;
}

}  // namespace qfmt::modern
