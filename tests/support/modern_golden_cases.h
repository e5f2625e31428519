#pragma once

#include "tests/support/golden_cases.h"

// Golden cases of the modern rules: where the classic layout would split,
// join or cut a token or lose a line end, and the clean white space. Every
// expected text is worked out by hand from the rules (unit three blanks,
// limit 80, brace style 1).
namespace qfmt::testing {

inline constexpr GoldenOptions kModern{80, "   ", 1, true};

inline constexpr GoldenCase kModernCases[] = {
    {"NumbersStayWhole", "x = 10U + 1.5f - 0x1p3 * 1'000;\n", "x = 10U + 1.5f - 0x1p3 *1'000;\n", kModern},
    {"LiteralsKeepTheirPrefixesAndSuffixes", "s = u8\"a\" L\"b\" \"c\"_s + L'\\x40e';\n",
     "s = u8\"a\" L\"b\" \"c\"_s + L'\\x40e';\n", kModern},
    {"NameAfterAStringLiteralKeepsItsBlank", "printf(\"%\" PRId64 \"\\n\", v);\n",
     "printf( \"%\" PRId64\"\\n\", v);\n", kModern},
    {"ScopeAfterAColonKeepsItsBlank", "int a = x ? y : ::z;\n", "int a = x ? y: ::z;\n", kModern},
    {"InitialiserFromTheGlobalScope", "A::A() : ::B() {}\n",
     "A::A(): ::B()\n"
     "{\n"
     "}\n",
     kModern},
    {"NewPunctuatorsStayWhole", "c = a <=> b; p->*m; o.*m; f(int, ...);\n",
     "c = a <=> b;\n"
     "p->*m;\n"
     "o.*m;\n"
     "f(int, ...);\n",
     kModern},
    {"LineCommentEndsItsLine", "// c\n[[nodiscard]] int k();\n",
     "// c\n"
     "[[nodiscard]]int k();\n",
     kModern},
    {"DirectiveEndsItsLine", "#define X 1\n::f();\n",
     "#define X 1\n"
     "::f();\n",
     kModern},
    {"DirectiveRunsOnThroughABlockComment", "#define A 1 /* a\n b */ + 2\nint x;\n",
     "#define A 1 /* a\n"
     " b */ + 2\n"
     "int x;\n",
     kModern},
    {"ContinuedDirectiveKeepsItsLines", "#define M(x) \\\n   f(x) \\\n   + 1\nint y;\n",
     "#define M(x) \\\n"
     "   f(x) \\\n"
     "   + 1\n"
     "int y;\n",
     kModern},
    {"RawStringKeepsItsLines", "auto r = R\"x(a  \n  b)x\";\n",
     "auto r = R\"x(a  \n"
     "  b)x\";\n",
     kModern},
    {"CaseStartsALabelOnlyAsAWord", "int cases;\nx = a ? b : c;\n",
     "int cases;\n"
     "x = a ? b:c;\n",
     kModern},
    {"EnumerationBodyKeepsLiteralsWhole", "enum { A = '}', B = \"\t\" };\n",
     "enum { A = '}', B = \"\t\" }\n"
     ";\n",
     kModern},
    {"LiteralLeftOpenRunsToItsLineEnd", "#if 0\nit's  a  test\n#endif\n",
     "#if 0\n"
     "it's  a  test\n"
     "#endif\n",
     kModern},
    {"SpliceInCodeIsWhiteSpace", "int a = 1 + \\\n2;\n", "int a = 1 + 2;\n", kModern},
    {"NoBlankEndsALineAndTheTextEndsOnce", "\n\n  int  x ;  \n\n\n", "int x;\n", kModern},
    {"EmptyTextStaysEmpty", "", "", kModern},
    {"BlankTextBecomesEmpty", "  \n\t\n", "", kModern},
    {"CrLfTextStaysCrLf", "int  x;\r\nint y;\r\n", "int x;\r\nint y;\r\n", kModern},
};

}  // namespace qfmt::testing
