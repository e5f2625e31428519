#pragma once

#include "testing/golden_cases.h"

// Golden cases of the repaired rules (qfmt-tree's classic style, whose
// scanner rules are modern.lex): where the classic layout would split,
// join or cut a token or lose a line end, and the clean white space. Every
// expected text is worked out by hand from the rules (unit three blanks,
// limit 80, brace style 1).
namespace qfmt::testing {

inline constexpr GoldenOptions kRepaired{80, "   ", lexer::BraceStyle::kAttach, true};

inline constexpr GoldenCase kRepairedCases[] = {
    {"NumbersStayWhole", "x = 10U + 1.5f - 0x1p3 * 1'000;\n", "x = 10U + 1.5f - 0x1p3 *1'000;\n", kRepaired},
    {"LiteralsKeepTheirPrefixesAndSuffixes", "s = u8\"a\" L\"b\" \"c\"_s + L'\\x40e';\n",
     "s = u8\"a\" L\"b\" \"c\"_s + L'\\x40e';\n", kRepaired},
    {"NameAfterAStringLiteralKeepsItsBlank", "printf(\"%\" PRId64 \"\\n\", v);\n",
     "printf( \"%\" PRId64\"\\n\", v);\n", kRepaired},
    {"ScopeAfterAColonKeepsItsBlank", "int a = x ? y : ::z;\n", "int a = x ? y: ::z;\n", kRepaired},
    {"InitialiserFromTheGlobalScope", "A::A() : ::B() {}\n",
     "A::A(): ::B()\n"
     "{\n"
     "}\n",
     kRepaired},
    {"NewPunctuatorsStayWhole", "c = a <=> b; p->*m; o.*m; f(int, ...);\n",
     "c = a <=> b;\n"
     "p->*m;\n"
     "o.*m;\n"
     "f(int, ...);\n",
     kRepaired},
    {"LineCommentEndsItsLine", "// c\n[[nodiscard]] int k();\n",
     "// c\n"
     "[[nodiscard]]int k();\n",
     kRepaired},
    {"DirectiveEndsItsLine", "#define X 1\n::f();\n",
     "#define X 1\n"
     "::f();\n",
     kRepaired},
    {"DirectiveRunsOnThroughABlockComment", "#define A 1 /* a\n b */ + 2\nint x;\n",
     "#define A 1 /* a\n"
     " b */ + 2\n"
     "int x;\n",
     kRepaired},
    {"ContinuedDirectiveKeepsItsLines", "#define M(x) \\\n   f(x) \\\n   + 1\nint y;\n",
     "#define M(x) \\\n"
     "   f(x) \\\n"
     "   + 1\n"
     "int y;\n",
     kRepaired},
    {"RawStringKeepsItsLines", "auto r = R\"x(a  \n  b)x\";\n",
     "auto r = R\"x(a  \n"
     "  b)x\";\n",
     kRepaired},
    {"CaseStartsALabelOnlyAsAWord", "int cases;\nx = a ? b : c;\n",
     "int cases;\n"
     "x = a ? b:c;\n",
     kRepaired},
    {"EnumerationBodyKeepsLiteralsWhole", "enum { A = '}', B = \"\t\" };\n",
     "enum { A = '}', B = \"\t\" }\n"
     ";\n",
     kRepaired},
    {"LiteralLeftOpenRunsToItsLineEnd", "#if 0\nit's  a  test\n#endif\n",
     "#if 0\n"
     "it's  a  test\n"
     "#endif\n",
     kRepaired},
    {"SpliceInCodeIsWhiteSpace", "int a = 1 + \\\n2;\n", "int a = 1 + 2;\n", kRepaired},
    {"NoBlankEndsALineAndTheTextEndsOnce", "\n\n  int  x ;  \n\n\n", "int x;\n", kRepaired},
    {"EmptyTextStaysEmpty", "", "", kRepaired},
    {"BlankTextBecomesEmpty", "  \n\t\n", "", kRepaired},
    {"CrLfTextStaysCrLf", "int  x;\r\nint y;\r\n", "int x;\r\nint y;\r\n", kRepaired},
};

}  // namespace qfmt::testing
