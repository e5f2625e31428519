#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lexer/pp_lexer.h"
#include "testing/run_program.h"
#include "testing/source_generator.h"
#include "tests/support/test_support.h"

// The preprocessing tokens that qfmt-tree's check compares, by family, and
// against clang's raw lexer as an independent reference.
namespace qfmt::lexer {
namespace {

using testing::Escaped;

// "id:int num:1 p:;", the tokens of a text; "|" for a directive's end.
std::string Tokens(std::string_view text) {
  static constexpr const char* kNames[] = {"id", "num",   "ch", "str", "raw", "hdr",
                                           "p",  "other", "cm", "|",   ""};
  std::string out;
  Lexer lexer(text);
  for (Token token = lexer.Next(); token.kind != TokenKind::kEnd; token = lexer.Next()) {
    if (!out.empty()) out += ' ';
    out += kNames[static_cast<int>(token.kind)];
    if (token.kind != TokenKind::kDirectiveEnd) out += ":" + Escaped(token.text);
  }
  return out;
}

TEST(LexerTest, TokensByFamily) {
  const struct {
    std::string_view text;
    std::string_view tokens;
  } cases[] = {
      // Preprocessing numbers.
      {"10U 65521UL 1.5f 0x1p3", "num:10U num:65521UL num:1.5f num:0x1p3"},
      {"1'000'000 1e-5 0x1.8p+3f 123_km", "num:1'000'000 num:1e-5 num:0x1.8p+3f num:123_km"},
      {"7.19.5 .5e+3 0xe-1 1..2", "num:7.19.5 num:.5e+3 num:0xe-1 num:1..2"},
      // A sign follows only e, E, p or P; a separator needs a name character.
      {"1+2 1x+2 1'\n1'a'", "num:1 p:+ num:2 num:1x p:+ num:2 num:1 other:' num:1'a other:'"},
      {"x.5 .x", "id:x num:.5 p:. id:x"},
      // Names take dollars, UTF-8 and universal character names.
      {"decc$getenv caf\xc3\xa9 _x9", "id:decc$getenv id:'caf\\xc3\\xa9' id:_x9"},
      {"\\u00e9t\\U000000e9 a\\u12", "id:'\\\\u00e9t\\\\U000000e9' id:a other:'\\\\' id:u12"},
      // Literals keep their prefixes and suffixes.
      {R"(L"x" u8"x" u'x' U"x" L'\x40e')", R"(str:L"x" str:u8"x" ch:u'x' str:U"x" ch:'L'\\x40e'')"},
      {R"("a\"b" '\'' '\\' "")", R"(str:'"a\\"b"' ch:''\\''' ch:''\\\\'' str:"")"},
      // A suffix is a name that begins with "_", or "s" or "sv"; any other
      // name stands apart, as compilers read "%"PRId64.
      {R"("abc"_s "x"s "%"PRId64 'a'_c 'a'b)",
       R"(str:"abc"_s str:"x"s str:"%" id:PRId64 ch:'a'_c ch:'a' id:b)"},
      // A prefix is a name only before a quote that opens no literal.
      {"Lx\"y\" u8 'x", "id:Lx str:\"y\" id:u8 other:'x"},
      // A literal that its line ends before it is closed takes the rest of the line.
      {"it's  a \"test\nx", "id:it other:''s  a \"test' id:x"},
      // Raw strings run to their delimiter, whatever they hold.
      {"R\"(a)\" R\"xy(a )\" b\n)xy\"_s", "raw:R\"(a)\" raw:'R\"xy(a )\" b\\n)xy\"_s'"},
      {"u8R\"(\\\n)\" LR\"(x)\"", "raw:'u8R\"(\\\\\\n)\"' raw:LR\"(x)\""},
      // A delimiter with a blank, or longer than 16 bytes, opens none.
      {"R\"a b(x)a b\"", "id:R str:'\"a b(x)a b\"'"},
      {"R\"12345678901234567(x)12345678901234567\"", "id:R str:\"12345678901234567(x)12345678901234567\""},
      {"R\"(never closed", "raw:'R\"(never closed'"},
      // Punctuators take the longest match.
      {"a<=>b p->*q o.*r ... :: ## <<= >>=",
       "id:a p:<=> id:b id:p p:->* id:q id:o p:.* id:r p:... p::: p:## p:<<= p:>>="},
      {"<: :> <% %> %: %:%:", "p:<: p::> p:<% p:%> p:%: p:%:%:"},
      // C++11 reads "<::" as "<" and "::" unless ":" or ">" follows.
      {"a<::b> a<:::b a<::>", "id:a p:< p::: id:b p:> id:a p:<: p::: id:b id:a p:<: p::>"},
      {".. -->", "p:. p:. p:-- p:>"},
      {"@ ` \\", "other:@ other:` other:'\\\\'"},
      // Splices count as nothing.
      {"ab\\\ncd -\\\n> \"x\\\ny\"", "id:'ab\\\\\\ncd' p:'-\\\\\\n>' str:'\"x\\\\\\ny\"'"},
      // Blanks may stand between the backslash and the line end.
      {"a\\  \r\nb", "id:'a\\\\  \\r\\nb'"},
      {"a \\\n b", "id:a id:b"},
      // Comments are tokens, and line ends end them.
      {"a/* x */b // y\nc", "id:a cm:'/* x */' id:b cm:'// y' id:c"},
      {"/**/ /***/ /* a **/ /*/ x */", "cm:/**/ cm:/***/ cm:'/* a **/' cm:'/*/ x */'"},
      {"// a \\\n b\nc", "cm:'// a \\\\\\n b' id:c"},
      {"/* never closed", "cm:'/* never closed'"},
      {"a\rb\r\nc", "id:a id:b id:c"},
      // Directives end at their line end, and includes take header names.
      {"#include <a b.h>\nx", "p:# id:include hdr:'<a b.h>' | id:x"},
      {"  # include_next <c.h> // d\n", "p:# id:include_next hdr:<c.h> cm:'// d' |"},
      {"#define A(x) a<x> \\\n  b\nc", "p:# id:define id:A p:( id:x p:) id:a p:< id:x p:> id:b | id:c"},
      // A block comment that crosses the line end is inside the directive.
      {"#if X /* a\n b */ + 1\ny", "p:# id:if id:X cm:'/* a\\n b */' p:+ num:1 | id:y"},
      // Only a "#" that begins its line opens a directive; a comment may come first.
      {"a # b\n/* c */ %: if\n## x\n", "id:a p:# id:b cm:'/* c */' p:%: id:if | p:## id:x"},
      {"#", "p:# |"},
  };
  for (const auto& c : cases) EXPECT_EQ(Tokens(c.text), c.tokens) << "text: " << Escaped(c.text);
}

struct DifferenceCase {
  std::string_view before;
  std::string_view after;
  std::string_view difference;  // empty when the texts count as equal
};

TEST(LexerTest, CompareTokensNamesTheFirstDifference) {
  const DifferenceCase cases[] = {
      {"int  x ;\n", "int x;", ""},
      {"a/*c*/b", "a /*c*/ b", ""},
      {"/* one\n   two */", "/*  one two  */", ""},
      {"a /*Line Wrapped*/ b", "a b", ""},
      {"a\\\nb", "ab", ""},
      {"R\"(x\r\ny)\"", "R\"(x\ny)\"", ""},
      {"x = 10U;", "x = 10 U;", "10U \u2192 10 U"},
      {"a <=> b", "a <=  > b", "<=> \u2192 <= >"},
      {"// c\nint k;", "// cint k;", "// c \u2192 // cint k;"},
      {"#define A 1\nx", "#define A 1 x", "end of directive \u2192 x"},
      {"a b", "a", "b \u2192 end of text"},
      {"R\"(a  \n)\"", "R\"(a\n)\"", "R\"(a  \\n)\" \u2192 R\"(a\\n)\""},
      {"/* a b */", "/* ab */", "/* a b */ \u2192 /* ab */"},
      {"// a", "/* a */", "// a \u2192 /* a */"},
      // Where the bytes part, the token before may still read on.
      {"ab;", "abc;", "ab \u2192 abc"},
      {"a+=1;", "a+ =1;", "+= \u2192 + ="},
      {"s = \"a\"sv;", "s = \"a\"s v;", "\"a\"sv \u2192 \"a\"s v"},
      {"u = uR\"(a)\";", "u = uR \"(a)\";", "uR\"(a)\" \u2192 uR \"(a)\""},
      {"#include <a.h>\n", "#include <a.h\n>", "<a.h> \u2192 < a . h"},
      {"#include <abcdefgh\n>", "#include <abcdefgh>\n", "< \u2192 <abcdefgh>"},
      {"R\"abcd efg(x)abcd efg\"", "R\"abcdefgh(x)abcdefgh\"", "R \u2192 R\"abcdefgh(x)abcdefgh\""},
      // Spacing that changed between two tokens that would join, or within one.
      {"x = a - -b;", "x = a --b;", "- \u2192 --"},
      {"x = 1e+5;", "x = 1e + 5;", "1e+5 \u2192 1e + 5"},
      {"u8 \"s\"", "u8\"s\"", "u8 \u2192 u8\"s\""},
      {"p -> q; 'a' 'b'; x+1.", "p->q; 'a''b'; x + 1.", ""},
      // A line end that opens or ends a directive, and an include's spacing.
      {"x;\n#define A", "x; #define A", "end of directive \u2192 end of text"},
      {"#if A\n  y", "#if A y", "end of directive \u2192 y"},
      {"/* c */\n  #  define A \\\n  1\n", "/* c */ #define A \\\n 1", ""},
      {"#include <a b>", "#include  <a  b>", "<a b> \u2192 <a  b>"},
  };
  // Each case also after a long lead that both texts share, which the
  // comparison crosses without lexing the second text.
  const std::string lead = "int lead[8] = {1, 2, 3, 4, 5, 6, 7, 8};  /* the same on both sides */\n";
  for (const std::string& before : {std::string(), lead}) {
    for (const DifferenceCase& c : cases) {
      const auto difference = CompareTokens(before + std::string(c.before), before + std::string(c.after));
      EXPECT_EQ(difference ? difference->description : "", c.difference)
          << Escaped(before + std::string(c.before));
    }
    // The place is where the differing token begins in the first text.
    const auto place = CompareTokens(before + "int x;\nlong y = 1L;", before + "int x;\nlong y = 1 L;");
    EXPECT_EQ(place->before_offset, before.size() + 16u);
  }
}

// A soup of `count` pieces that make tokens hard to split.
std::string Soup(std::mt19937& random, int count) {
  static constexpr std::string_view kPieces[] = {
      "a",  "L",       "u8", "R",    "x1",  "_s",          "$",       "0",     "1e",    "0x",
      "'",  "\"",      "\\", "\\\n", " ",   "\n",          "\t",      "/*",    "*/",    "//",
      "#",  "<",       "::", ":",    ">",   "-",           "*",       ".",     "..",    "=",
      "%",  "(",       ")",  "@",    "+",   "e",           "<:",      "R\"x(", ")x\"",  "\r\n",
      "%:", "\\u00e9", "sv", "'a'",  "1'2", "\"%\"PRId64", "include", "<a.h>", "\\ \n", "\xc3\xa9"};
  std::string soup;
  for (int n = 0; n < count; ++n) soup += kPieces[random() % std::size(kPieces)];
  return soup;
}

// NextLike, which takes a token that holds the bytes of the other text's
// token without following the grammar, gives the tokens that Next gives, on
// soups of the pieces that make tokens hard to split, changed here and there.
TEST(LexerTest, NextLikeGivesWhatNextGives) {
  std::mt19937 random(17);
  for (int i = 0; i < 3000; ++i) {
    const std::string before = Soup(random, 40);
    std::string after = before;
    for (int change = 0; change < 3; ++change) after.insert(random() % (after.size() + 1), Soup(random, 1));
    Lexer model(before);
    Lexer like(after);
    Lexer next(after);
    const auto shown = [](const Token& token) {
      return std::to_string(static_cast<int>(token.kind)) + "@" + std::to_string(token.offset) + ":" +
             Escaped(token.text) + (token.spliced ? " spliced" : "");
    };
    for (Token expected = next.Next();; expected = next.Next()) {
      ASSERT_EQ(shown(like.NextLike(model.Next(), before)), shown(expected))
          << Escaped(before) << " / " << Escaped(after);
      if (expected.kind == TokenKind::kEnd) break;
    }
  }
}

// SkipDirective, called anywhere inside a directive, ends it where Next
// would, and the tokens after it are the same: on soups (whose "#", "%:",
// "include", "<a.h>", splices, quotes and comments make directives of every
// shape) and on generated code.
TEST(LexerTest, SkipDirectiveEndsWhereNextDoes) {
  const std::string generated = testing::GeneratedText(20000, 3, true);
  std::mt19937 random(41);
  const auto shown = [](const Token& token) {
    return std::to_string(static_cast<int>(token.kind)) + "@" + std::to_string(token.offset) + ":" +
           Escaped(token.text);
  };
  int skipped = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::string text =
        i % 4 == 0 ? generated.substr(random() % (generated.size() - 800), 800) : "#" + Soup(random, 40);
    Lexer next(text);
    Lexer skipping(text);
    for (Token expected = next.Next();; expected = next.Next()) {
      Token token = skipping.Next();
      if (skipping.in_directive() && random() % 2 == 0) {
        token = skipping.SkipDirective();
        ++skipped;
        while (expected.kind != TokenKind::kDirectiveEnd && expected.kind != TokenKind::kEnd)
          expected = next.Next();
      }
      ASSERT_EQ(shown(token), shown(expected)) << Escaped(text);
      if (expected.kind == TokenKind::kEnd) break;
    }
  }
  EXPECT_GT(skipped, 2000);
}

// With the option, a comment that ends a line of code must still end a line
// after the same token; other comments may move.
TEST(LexerTest, CompareTokensKeepsTrailingCommentsWithTheirCode) {
  const DifferenceCase cases[] = {
      {"a(); b(); // NOLINT\n", "a();\nb(); // NOLINT\n", ""},
      {"x = 1; /* a\n b */\ny;", "x = 1;   /* a b */\n\ny;", ""},
      {"x; /* a */ // b\n", "x;\n/* a */ // b\n", "; // b \u2192 // b off its line"},
      {"x;\n// own line\ny;", "x; // own line\ny;", ""},
      {"x; // c\ny;", "x;\n// c\ny;", "; // c \u2192 // c off its line"},
      {"f(a, /* in */\n  b);", "f(a, /* in */ b);", ", /* in */ \u2192 /* in */ followed by b"},
      {"x; \\\n// spliced on\ny;", "x;\n// spliced on\ny;",
       "; // spliced on \u2192 // spliced on off its line"},
      {"#define A 1 // c\nx;", "#define A 1 // c\nx;", ""},
      {"x; // c", "x;\n// c", "; // c \u2192 // c off its line"},
      // Long equal stretches, which the comparison reads on one side only.
      {"x; // c\nint aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;\n",
       "x;\n// c\nint aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;\n", "; // c \u2192 // c off its line"},
      {"int  y;\nint aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa; // c\nz;\n",
       "int y;\nint aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa; // c\nz;\n", ""},
      {"int  y;\nint aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa; // c\nz;\n",
       "int y;\nint aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;\n// c\nz;\n",
       "; // c \u2192 // c off its line"},
      {"x;  /*c*/ y; int aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;\nz;\n",
       "x;\n/*c*/ y; int aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;\nz;\n", ""},
  };
  for (const DifferenceCase& c : cases) {
    const auto difference = CompareTokens(c.before, c.after, {.trailing_comments = true});
    EXPECT_EQ(difference ? difference->description : "", c.difference) << Escaped(c.before);
  }
  EXPECT_EQ(CompareTokens("x; // c\n", "x;\n// c\n", {.trailing_comments = true})->before_offset, 3u);
  EXPECT_FALSE(CompareTokens("x; // c\n", "x;\n// c\n")) << "off by default";
}

// CompareTokens, which walks past white space without making tokens where it
// can (see note [walking past the spacing] in lexer/pp_lexer.cc), gives what
// comparing every token gives: on soups and on generated code, against
// copies whose white space changed here and there (blanks, line ends,
// splices and line-wrap markers put in, runs of white space taken out),
// sometimes with a piece of a token put in as well, both ways round; mostly
// with trailing comments kept, which such changes move on and off lines.
TEST(LexerTest, CompareTokensGivesWhatComparingEveryTokenGives) {
  const std::string generated = testing::GeneratedText(60000, 7, true);
  constexpr std::string_view kSpaces[] = {" ", "\n", "\t ", "\r\n", "/*Line Wrapped*/", "\\\n"};
  constexpr const char* kWhite = " \t\n\r";
  const auto shown = [](const std::optional<TokenDifference>& difference) {
    return difference ? std::to_string(difference->before_offset) + " " + difference->description : "equal";
  };
  std::mt19937 random(29);
  for (int i = 0; i < 20000; ++i) {
    const std::string before =
        i % 2 == 0 ? Soup(random, 30) : generated.substr(random() % (generated.size() - 1500), 1500);
    std::string after = before;
    for (int change = 0; change <= i % 4; ++change) {
      const std::size_t at = random() % (after.size() + 1);
      const std::size_t white = after.find_first_of(kWhite, at);
      if (random() % 2 == 0) {
        after.insert(at, kSpaces[random() % std::size(kSpaces)]);
      } else if (white != std::string::npos) {
        after.erase(white, after.find_first_not_of(kWhite, white) - white);
      }
    }
    if (i % 5 == 0) after.insert(random() % (after.size() + 1), Soup(random, 1));
    const CompareOptions options{.trailing_comments = i % 3 != 0};
    ASSERT_EQ(shown(CompareTokens(before, after, options)), shown(CompareEveryToken(before, after, options)))
        << Escaped(before) << " / " << Escaped(after) << " " << options.trailing_comments;
    ASSERT_EQ(shown(CompareTokens(after, before, options)), shown(CompareEveryToken(after, before, options)))
        << Escaped(after) << " / " << Escaped(before) << " " << options.trailing_comments;
  }
}

TEST(LexerTest, JoinsAcrossWhenTheTokensWouldReadAsOne) {
  const struct {
    std::string_view left;
    std::string_view right;
    bool joins;
  } cases[] = {
      {":", "::", true},       {"):", "::x", true}, {"\"%\"", "PRId64", true}, {"'a'", "_b", true},
      {"u8", "\"x\"", true},   {"L", "'x'", true},  {"x", "\"y\"", false},     {"1", ".5", true},
      {".", "5", true},        {".", "..", true},   {"<", "::x", false},       {"<", ":x", true},
      {"-", ">", true},        {"/", "/", true},    {"/", "*", true},          {"// c", "x", true},
      {"/* c */", "x", false}, {"a", "b", true},    {"a ", "b", false},        {"(", "x", false},
      {"x", ")", false},       {"+", "+", true},    {"+", "-", false},         {"&", "&", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JoinsAcross(c.left, c.right), c.joins) << Escaped(c.left) << " " << Escaped(c.right);
  }
}

// clang's raw lexer as an independent reference: the same tokens begin and
// end at the same bytes. Left out are the ends of directives and header names
// (clang's raw mode marks neither; the pieces of a header name are compared
// instead), and unterminated literals, which clang's dump names as unknown
// tokens (both take the rest of the line; clang keeps some prefixes apart).
using Extent = std::pair<std::size_t, std::size_t>;

// The position after the line splices (backslash, blanks, line end) at `at`.
std::size_t SkipSpliceAt(std::string_view text, std::size_t at) {
  if (at >= text.size() || text[at] != '\\') return at;
  std::size_t q = at + 1;
  while (q < text.size() && (text[q] == ' ' || text[q] == '\t')) ++q;
  if (q < text.size() && text[q] == '\n') return q + 1;
  if (q < text.size() && text[q] == '\r') return q + 1 < text.size() && text[q + 1] == '\n' ? q + 2 : q + 1;
  return at;
}

// A token's extent without the splices before it and the white space and
// splices after it; empty for white space.
Extent Trimmed(std::string_view text, std::size_t begin, std::size_t end) {
  while (begin < end && SkipSpliceAt(text, begin) != begin) begin = SkipSpliceAt(text, begin);
  for (bool trimmed = true; trimmed && end > begin;) {
    trimmed = false;
    while (end > begin && std::string_view(" \t\r\n\f\v").find(text[end - 1]) != std::string_view::npos) {
      --end;
      trimmed = true;
    }
    if (end > begin && end < text.size() && SkipSpliceAt(text, end - 1) != end - 1) {
      --end;
      trimmed = true;
    }
  }
  return {begin, end};
}

struct ClangToken {
  std::string kind;  // clang's name: "raw_identifier", "unknown", ...
  Extent extent;
};

// The tokens of clang -cc1 -dump-raw-tokens (C++20) for the file at `path`,
// whose bytes are `text`, without white space. Its records read KIND
// 'TEXT'<TAB>[FLAGS]<TAB>Loc=<PATH:LINE:COLUMN>, and a token runs to where
// the next begins (white space is a token of its own there).
std::vector<ClangToken> ClangRawTokens(const std::string& path, std::string_view text) {
  const std::string dump =
      testing::RunProgram("/usr/bin/env",
                          {"clang", "-cc1", "-dump-raw-tokens", "-std=c++20", "-x", "c++", path}, ".")
          .error;
  std::vector<std::size_t> line_starts = {0};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
      line_starts.push_back(i + 1);
  }
  std::vector<ClangToken> records;
  for (std::size_t record = 0; record < dump.size();) {
    const std::size_t loc = dump.find("Loc=<", record);
    if (loc == std::string::npos) break;
    const std::size_t close = dump.find(">\n", loc);
    const std::size_t column_at = dump.rfind(':', close);
    const std::size_t line_at = dump.rfind(':', column_at - 1);
    const std::size_t line = std::stoul(dump.substr(line_at + 1, column_at - line_at - 1));
    const std::size_t column = std::stoul(dump.substr(column_at + 1, close - column_at - 1));
    records.push_back(
        {dump.substr(record, dump.find(' ', record) - record), {line_starts[line - 1] + column - 1, 0}});
    record = close + 2;
  }
  std::vector<ClangToken> tokens;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::size_t end = i + 1 < records.size() ? records[i + 1].extent.first : text.size();
    const Extent extent = Trimmed(text, records[i].extent.first, end);
    if (extent.first != extent.second) tokens.push_back({records[i].kind, extent});
  }
  return tokens;
}

std::vector<Extent> OurExtents(std::string_view text, std::size_t base = 0) {
  std::vector<Extent> extents;
  Lexer lexer(text);
  for (Token token = lexer.Next(); token.kind != TokenKind::kEnd; token = lexer.Next()) {
    if (token.kind == TokenKind::kDirectiveEnd) continue;
    if (token.kind == TokenKind::kHeaderName) {
      for (const Extent& piece : OurExtents(token.text, base + token.offset)) extents.push_back(piece);
      continue;
    }
    const Extent extent = Trimmed(text, token.offset, token.offset + token.text.size());
    extents.emplace_back(base + extent.first, base + extent.second);
  }
  return extents;
}

void ExpectSameAsClang(const std::string& path, std::string_view text) {
  std::vector<Extent> theirs;
  std::vector<Extent> unterminated;
  for (const ClangToken& token : ClangRawTokens(path, text)) {
    const std::string_view spelling =
        text.substr(token.extent.first, token.extent.second - token.extent.first);
    const std::size_t quote = spelling.find_first_of("'\"");
    const bool open = token.kind == "unknown" && quote != std::string_view::npos && quote <= 3;
    (open ? unterminated : theirs).push_back(token.extent);
  }
  const auto outside = [&](const Extent& extent) {
    for (const Extent& skipped : unterminated) {
      if (extent.first < skipped.second && extent.second > skipped.first) return false;
    }
    return true;
  };
  std::vector<Extent> ours;
  for (const Extent& extent : OurExtents(text)) {
    if (outside(extent)) ours.push_back(extent);
  }
  if (ours == theirs) return;
  std::size_t i = 0;
  while (i < ours.size() && i < theirs.size() && ours[i] == theirs[i]) ++i;
  const auto show = [&](const std::vector<Extent>& extents) {
    if (i == extents.size()) return std::string("the end");
    return Escaped(text.substr(extents[i].first, extents[i].second - extents[i].first)) + " at " +
           std::to_string(extents[i].first);
  };
  ADD_FAILURE() << path << ": ours " << show(ours) << ", clang's " << show(theirs);
}

// clang runs once a file: the three families are three tests, so that each
// has a time limit of its own and they can run side by side.
class AgreesWithClangsRawLexer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::RunProgram("/usr/bin/env", {"clang", "--version"}, ".").status != 0) {
      GTEST_SKIP() << "clang is not installed: the check against its raw lexer is skipped";
    }
  }
  const testing::TempFolder folder;
};

TEST_F(AgreesWithClangsRawLexer, OnRandomSoups) {
  // Random soups of the pieces that make tokens hard to split.
  const std::vector<std::string_view> pieces = {
      "a",  "L",    "u8", "R",  "x1", "_s", "$",       "0",  "1e",    "0x",       "'",   "\"",
      "\\", "\\\n", " ",  "\n", "\t", "/*", "*/",      "//", "#",     "<",        "::",  ":",
      ">",  "-",    "*",  ".",  "..", "=",  "%",       "(",  ")",     "\xc3\xa9", "@",   "+",
      "e",  "p",    "?",  "!",  "&",  "|",  "include", "<:", "R\"x(", ")x\"",     "\r\n"};
  std::mt19937 random(11);
  std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
  for (int i = 0; i < 60; ++i) {
    std::string text;
    for (int n = 0; n < 80; ++n) text += pieces[piece(random)];
    const testing::fs::path path = folder / ("soup" + std::to_string(i) + ".cc");
    testing::WriteFile(path, text);
    ExpectSameAsClang(path.string(), text);
  }
}

TEST_F(AgreesWithClangsRawLexer, OnSystemHeaders) {
  for (const testing::fs::path& header : testing::SystemHeaders(40)) {
    ExpectSameAsClang(header.string(), testing::ReadFile(header));
  }
}

TEST_F(AgreesWithClangsRawLexer, OnGeneratedSource) {
  for (const bool cpp20 : {false, true}) {
    const std::string generated = testing::GeneratedText(200000, 3, cpp20);
    const testing::fs::path path = folder / (cpp20 ? "generated.cc" : "generated.c");
    testing::WriteFile(path, generated);
    ExpectSameAsClang(path.string(), generated);
  }
}

}  // namespace
}  // namespace qfmt::lexer
