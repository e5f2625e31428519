#include <gtest/gtest.h>

#include <source_location>
#include <string>
#include <string_view>

#include "bench/modern_stats.h"
#include "lexer/pp_lexer.h"
#include "modern/formatter.h"
#include "modern/token_stream.h"
#include "testing/source_generator.h"
#include "tests/support/test_support.h"

// Golden cases of the modern style, one table per rule family: input and
// expected output side by side, every expected text worked out by hand from
// the rules (unit four blanks, limit 80, braces attached, unless a case says
// otherwise). Each expected text must also be settled: formatted again, it
// stays as it is.
namespace qfmt::modern {
namespace {

struct Case {
  std::string_view name;
  std::string_view input;
  std::string_view expected;
  Options options = {};
};

Options With(std::int32_t limit, std::string_view indent = "    ",
             lexer::BraceStyle braces = lexer::BraceStyle::kAttach) {
  Options options;
  options.max_line_length = limit;
  options.indent = std::string(indent);
  options.braces = braces;
  return options;
}
const Options kBreak = With(80, "    ", lexer::BraceStyle::kBreak);
Options FromFile() {
  Options options;
  options.indent_from_file = true;
  return options;
}

// The first line where `actual` differs from `expected`, as a message.
std::string FirstDifference(std::string_view expected, std::string_view actual) {
  std::size_t start = 0;
  std::size_t line = 1;
  for (std::size_t i = 0; i < actual.size() && i < expected.size() && actual[i] == expected[i]; ++i) {
    if (actual[i] == '\n') start = i + 1, ++line;
  }
  const auto at = [start](std::string_view text) {
    text = text.substr(std::min(start, text.size()));
    return testing::Escaped(text.substr(0, text.find('\n')));
  };
  return "line " + std::to_string(line) + "\n  expected: " + at(expected) + "\n  actual:   " + at(actual);
}

void ExpectFormats(const Case& c, std::source_location where = std::source_location::current()) {
  std::string actual;
  ASSERT_TRUE(Format(c.input, c.options, actual));
  if (actual != c.expected) {
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
        << c.name << ": output differs at " << FirstDifference(c.expected, actual)
        << "\n  whole actual: " << testing::Escaped(actual);
  }
  std::string again;
  ASSERT_TRUE(Format(c.expected, c.options, again));
  if (again != c.expected) {
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
        << c.name << ": the expected text is not settled, at " << FirstDifference(c.expected, again);
  }
}

// Widths, which decide where lines break: a tab goes to the next multiple
// of the tab width and a byte that continues a UTF-8 sequence takes no room,
// wherever it stands among the bytes that are measured eight and sixteen at
// a time.
TEST(ModernTest, MeasuresColumns) {
  for (std::size_t size = 0; size <= 40; ++size) {
    const std::string plain(size, 'x');
    EXPECT_EQ(ColumnAfter(plain, 3, 8), 3 + static_cast<std::int32_t>(size)) << size;
    for (std::size_t at = 0; at < size; ++at) {
      std::string tab = plain;
      tab[at] = '\t';
      // From column 3: the tab at byte `at` stands at 3 + at and goes to the next multiple of 8.
      const auto after_tab = static_cast<std::int32_t>((3 + at) / 8 * 8 + 8);
      EXPECT_EQ(ColumnAfter(tab, 3, 8), after_tab + static_cast<std::int32_t>(size - at - 1))
          << size << " " << at;
      std::string accented = plain;
      accented.replace(at, 1, "\xc3\xa9");  // two bytes, one column
      EXPECT_EQ(ColumnAfter(accented, 0, 8), static_cast<std::int32_t>(size)) << size << " " << at;
    }
  }
}

// The layout reads a text's tokens once from the lexer and replays them from
// a compact record (texts under 16 MiB), or reads them twice: the two give
// the same tokens, end tokens included, on generated C and C++ and on a text
// of directives, comments, splices and literals.
TEST(ModernTest, ReplayGivesWhatReadingGives) {
  const std::string texts[] = {
      testing::GeneratedText(800000, 5, false),  // more tokens than a block of the record holds
      testing::GeneratedText(60000, 6, true),
      "#if 0\n/* a\n   b */ int x; // c\n#endif\n  #define F(a) \\\n  a\n\tR\"(\n)\" y\n\n\n}",
  };
  const auto shown = [](std::string_view text, const Token& t) {
    return std::to_string(t.offset) + ":" + std::string(t.TextIn(text)) + " k" +
           std::to_string(static_cast<int>(t.kind)) + " w" + std::to_string(static_cast<int>(t.word)) + " b" +
           std::to_string(t.breaks()) + " c" + std::to_string(t.column) + (t.blank_before() ? " blank" : "") +
           (t.multiline() ? " multiline" : "");
  };
  // One record for every text, as a formatter keeps it.
  TokenRecord record;
  for (const std::string& text : texts) {
    TokenStream recording(text, 8, &record);
    TokenStream reading(text, 8);
    for (int ends = 0; ends < 3; recording.Advance(), reading.Advance()) {
      // Reading further ahead leaves the tokens already read where they are.
      const Token* current = &recording.Peek();
      (void)recording.Peek(TokenStream::kLookAhead - 1);
      ASSERT_EQ(current, &recording.Peek());
      ASSERT_EQ(shown(text, recording.Peek()), shown(text, reading.Peek()));
      if (reading.Peek().kind == Kind::kEnd) ++ends;
    }
    TokenStream replaying(text, record);
    TokenStream again(text, 8);
    for (int ends = 0; ends < 3; replaying.Advance(), again.Advance()) {
      // A look far ahead, as the structural pass takes, changes nothing.
      ASSERT_EQ(shown(text, replaying.Peek(TokenStream::kLookAhead - 1)),
                shown(text, again.Peek(TokenStream::kLookAhead - 1)));
      ASSERT_EQ(shown(text, replaying.Peek()), shown(text, again.Peek()));
      if (again.Peek().kind == Kind::kEnd) ++ends;
    }
  }
}

// Rule 1: what the style does not decide is kept.
TEST(ModernTest, RespectsTheAuthor) {
  const Case cases[] = {
      {"ARunOfBlankLinesBecomesOne", "int a;\n\n\n\nint b;\n", "int a;\n\nint b;\n"},
      {"NoBlankLineAfterAnOpeningOrBeforeAClosingBrace", "void f()\n{\n\n    x();\n\n}\n",
       "void f()\n{\n    x();\n}\n"},
      {"NoBlankLineOpensTheFile", "\n\n\nint a;\n", "int a;\n"},
      {"ABrokenStatementKeepsItsBreaksAndMovesWithItsFirstLine",
       "void f()\n"
       "{\n"
       "  x = foo(a,\n"
       "          b);\n"
       "}\n",
       "void f()\n"
       "{\n"
       "    x = foo(a,\n"
       "            b);\n"
       "}\n"},
      {"AContinuationLeftOfItsStatementGoesTwoUnitsIn",
       "void f()\n"
       "{\n"
       "    return (a &&\n"
       "b);\n"
       "}\n",
       "void f()\n"
       "{\n"
       "    return (a &&\n"
       "            b);\n"
       "}\n"},
      {"ListsAndEnumerationsOnePerLineStaySo",
       "int t[] = {\n    1, 2, 3,\n    4, 5, 6,\n};\nenum e {\n    A,\n    B\n};\n",
       "int t[] = {\n    1, 2, 3,\n    4, 5, 6,\n};\nenum e {\n    A,\n    B\n};\n"},
      {"AListsLinesStandAtLeastOneUnitIn", "enum e {\nA,\nB\n};\n", "enum e {\n    A,\n    B\n};\n"},
      {"ShortListsStayOnOneLineWithTheirBlanks", "int t[] = { 1, 2 };\nint u[] = {1, 2};\n",
       "int t[] = { 1, 2 };\nint u[] = {1, 2};\n"},
      {"BlanksBeforeATrailingCommentStayAtLeastOne", "int a;      // a\nint bb;     // b\nint c;// c\n",
       "int a;      // a\nint bb;     // b\nint c; // c\n"},
      {"CodeThatFollowsTheStyleStaysAsItIs",
       "#include <stdio.h>\n"
       "\n"
       "static int count(const char *s, char c)\n"
       "{\n"
       "    int n = 0;\n"
       "    for (; *s != '\\0'; ++s) {\n"
       "        if (*s == c)\n"
       "            n++;\n"
       "    }\n"
       "    return n;\n"
       "}\n",
       "#include <stdio.h>\n"
       "\n"
       "static int count(const char *s, char c)\n"
       "{\n"
       "    int n = 0;\n"
       "    for (; *s != '\\0'; ++s) {\n"
       "        if (*s == c)\n"
       "            n++;\n"
       "    }\n"
       "    return n;\n"
       "}\n"},
  };
  for (const Case& c : cases) ExpectFormats(c);
}

// Rule 2: spacing as C and C++ are written today.
TEST(ModernTest, SpacesTokens) {
  const Case cases[] = {
      {"ControlKeywordsTakeOneBlank",
       "void f()\n{\n    if(a) b();\n    while(c) d();\n    for(;;) e();\n    switch(x) {\n    }\n}\n",
       "void f()\n"
       "{\n"
       "    if (a)\n"
       "        b();\n"
       "    while (c)\n"
       "        d();\n"
       "    for (;;)\n"
       "        e();\n"
       "    switch (x) {\n"
       "    }\n"
       "}\n"},
      {"NoBlankBeforeACallOrInsideBrackets", "int g (void);\nx = f ( a , b ) [ i ];\nreturn(1);\n",
       "int g(void);\nx = f(a, b)[i];\nreturn (1);\n"},
      {"BinaryOperatorsStandBetweenBlanks", "x=a+b*c-d/e%f;\ny = a==b&&c!=d||e<=f;\nz<<=2;\nw = c?a:b;\n",
       "x = a + b * c - d / e % f;\ny = a == b && c != d || e <= f;\nz <<= 2;\nw = c ? a : b;\n"},
      {"UnaryMemberAndScopeOperatorsAreTight",
       "x = - a + ! b + ~ c;\np -> q . r = * s ++;\nA :: B :: c ( );\n",
       "x = -a + !b + ~c;\np->q.r = *s++;\nA::B::c();\n"},
      {"CommasAndTheSemicolonsOfAForTakeOneBlankAfter",
       "void f()\n{\n    for (i=0,j=1;i<n;i++,j++) g(a,b);\n}\n",
       "void f()\n{\n    for (i = 0, j = 1; i < n; i++, j++)\n        g(a, b);\n}\n"},
      {"TemplateArgumentsAreTight",
       "std::vector< std::pair< int,int >> v;\nstd::map<int, std::vector<int> > m;\ntemplate<class T> T "
       "f();\n",
       "std::vector<std::pair<int, int>> v;\nstd::map<int, std::vector<int> > m;\ntemplate <class T> T "
       "f();\n"},
      {"NoDoubleBlanksInALine", "int    a  =   1;\n", "int a = 1;\n"},
      {"CastsAreTight", "x = (int) y + (char *) p;\n", "x = (int)y + (char *)p;\n"},
      {"DeclaratorsTakeTheSideTheFileMostlyUses", "int* a;\nchar* b = 0;\nint *c;\nvoid f(int & r);\n",
       "int* a;\nchar* b = 0;\nint* c;\nvoid f(int& r);\n"},
      {"DeclaratorsTakeTheNamesSideWhereTheFileDoesNotSay", "int * a;\nvoid f(char * s, T && t);\n",
       "int *a;\nvoid f(char *s, T &&t);\n"},
      {"BlanksBesideACommentInALineStayAsWritten", "f(/*a=*/1, /*b=*/ 2);\n", "f(/*a=*/1, /*b=*/ 2);\n"},
      {"ADeclaratorsParenthesisStaysAsWritten", "using F = R (*)(A);\nusing G = R(*)(A);\n",
       "using F = R (*)(A);\nusing G = R(*)(A);\n"},
      {"APackIsTightToItsDeclarator", "template <typename ... Ts> void f(Ts && ... args);\n",
       "template <typename... Ts> void f(Ts &&...args);\n"},
      {"ALambdasCapturesAreTight", "auto f = [ = ] (int x) { return x; };\nauto g = [ & ] { h(); };\n",
       "auto f = [=](int x) { return x; };\nauto g = [&] { h(); };\n"},
  };
  for (const Case& c : cases) ExpectFormats(c);
}

// Rule 3: the line limit is a ceiling.
TEST(ModernTest, BreaksLinesOverTheLimit) {
  const Case cases[] = {
      {"AfterTheCommaThatLeavesTheRestFittingAlignedAfterTheParenthesis",
       "result = compute_something(first_argument, second_argument, third_argument, fourth);\n",
       "result = compute_something(first_argument, second_argument, third_argument,\n"
       "                           fourth);\n"},
      {"BeforeTheOperatorThatBindsLeast",
       "if (first_condition_holds && second_condition_holds || third_condition_is_rather_long) {\n}\n",
       "if (first_condition_holds && second_condition_holds\n"
       "    || third_condition_is_rather_long) {\n"
       "}\n"},
      {"OutsideParenthesesTwoUnitsIn",
       "value = aaaaaaaaaaaaaaaaaa + bbbbbbbbbbbbbbbbbbbbbbbbb * ccccccccccccccccccccccccc + ddddddddddd;\n",
       "value = aaaaaaaaaaaaaaaaaa\n"
       "        + bbbbbbbbbbbbbbbbbbbbbbbbb * ccccccccccccccccccccccccc + ddddddddddd;\n"},
      {"ATokenTooLongStandsOnALineOfItsOwn",
       "puts(\"a string so long that it cannot be broken anywhere at all, whatever the limit\", x);\n",
       "puts(\n"
       "        \"a string so long that it cannot be broken anywhere at all, whatever the limit\",\n"
       "        x);\n"},
      {"ATrailingCommentMayPassTheLimit",
       "x = 1; // a comment that is long enough to pass the limit of eighty columns by far\n",
       "x = 1; // a comment that is long enough to pass the limit of eighty columns by far\n"},
      {"ZeroMeansNoLimit",
       "result = compute_something(first_argument, second_argument, third_argument, fourth);\n",
       "result = compute_something(first_argument, second_argument, third_argument, fourth);\n", With(0)},
      {"AShorterLimit", "call(one, two, three);\n", "call(one, two,\n     three);\n", With(16)},
  };
  for (const Case& c : cases) ExpectFormats(c);
}

// Rule 4: no line holds only ";" unless it is an empty statement of the author's.
TEST(ModernTest, KeepsTheSemicolonWithItsStatement) {
  const Case cases[] = {
      {"ASemicolonAloneJoinsItsStatement", "int f()\n{\n    return (1)\n        ;\n}\n",
       "int f()\n{\n    return (1);\n}\n"},
      {"TheSemicolonAfterAClassBodyJoinsIt", "struct s {\n    int a;\n}\n;\n",
       "struct s {\n    int a;\n};\n"},
      {"AnEmptyStatementOnItsOwnLineStays", "void f()\n{\n    while (g())\n        ;\n}\n",
       "void f()\n{\n    while (g())\n        ;\n}\n"},
      {"AnEmptyStatementAfterAnotherStaysOnItsLine", "void f()\n{\n    g();;\n}\n",
       "void f()\n{\n    g();;\n}\n"},
  };
  for (const Case& c : cases) ExpectFormats(c);
}

// Rule 5: comments move with their code and keep their words.
TEST(ModernTest, MovesCommentsWithTheirCode) {
  const Case cases[] = {
      {"ABlockCommentsLinesMoveWithItsFirst", "void f()\n{\n  /* one\n     two */\n  x();\n}\n",
       "void f()\n{\n    /* one\n       two */\n    x();\n}\n"},
      {"ATrailingCommentStaysBehindItsToken", "void f()\n{\n    a(); b(); // LCOV_EXCL_LINE\n}\n",
       "void f()\n{\n    a();\n    b(); // LCOV_EXCL_LINE\n}\n"},
      {"ATrailingCommentStopsABraceJoiningItsLine", "if (x) // NOLINT\n{\n    y();\n}\n",
       "if (x) // NOLINT\n{\n    y();\n}\n"},
      {"ACommentLineGoesWithTheCodeAfterIt", "void f()\n{\n  // first\n  x();\n}\n",
       "void f()\n{\n    // first\n    x();\n}\n"},
      {"ACommentUnderATrailingCommentStaysUnderIt", "int  x;  // a\n         // b\nint y;\n",
       "int x;  // a\n        // b\nint y;\n"},
  };
  for (const Case& c : cases) ExpectFormats(c);
}

// Rule 6: directives start at column 0 and are kept as written.
TEST(ModernTest, KeepsDirectives) {
  const Case cases[] = {
      {"AHashGoesToColumnZeroTheRestStays", "   #  define  X  1  \n", "#  define  X  1\n"},
      {"ContinuationLinesStay", "#define M(a) \\\n    do { a; } \\\n    while (0)\nint x;\n",
       "#define M(a) \\\n    do { a; } \\\n    while (0)\nint x;\n"},
      {"InsideAFunctionToo", "void f()\n{\n  #ifdef A\n  a();\n  #endif\n}\n",
       "void f()\n{\n#ifdef A\n    a();\n#endif\n}\n"},
  };
  for (const Case& c : cases) ExpectFormats(c);
}

// Rule 7: labels, blocks and bodies where the structure puts them.
TEST(ModernTest, IndentsByStructure) {
  const Case cases[] = {
      {"CaseLabelsStandOneLevelOut", "void f()\n{\nswitch (x) {\ncase 1: a(); break;\ndefault:\nb();\n}\n}\n",
       "void f()\n"
       "{\n"
       "    switch (x) {\n"
       "    case 1:\n"
       "        a();\n"
       "        break;\n"
       "    default:\n"
       "        b();\n"
       "    }\n"
       "}\n"},
      {"AccessSpecifiersStandAtTheClasssLevel",
       "class A {\n  public:\n    A();\n  private:\n    int x;\n};\n",
       "class A {\npublic:\n    A();\nprivate:\n    int x;\n};\n"},
      {"GotoLabelsStandOneLevelOut", "void f()\n{\n    if (x)\n        goto out;\nout:\n    g();\n}\n",
       "void f()\n{\n    if (x)\n        goto out;\nout:\n    g();\n}\n"},
      {"TheBodyOfExternCIsNotIndented", "extern \"C\" {\n    int api(void);\n}\n",
       "extern \"C\" {\nint api(void);\n}\n"},
      {"EachNamespaceIsIndentedAsItsAuthorDidIt",
       "namespace a {\n  int x;\n}\nnamespace b {\nint y;\n}\nnamespace c\n{\n  int z;\n}\n",
       "namespace a {\n    int x;\n}\nnamespace b {\nint y;\n}\nnamespace c {\n    int z;\n}\n"},
      {"AnAttributeBeforeABodyStaysOnTheControlsLine",
       "void f()\n{\n    if (a) [[likely]] b();\n    [[maybe_unused]] int x = 1;\n}\n",
       "void f()\n{\n    if (a) [[likely]]\n        b();\n    [[maybe_unused]] int x = 1;\n}\n"},
      {"UnbracedBodiesStandOneLevelIn", "void f()\n{\nif (a) if (b) c(); else d(); else e();\n}\n",
       "void f()\n"
       "{\n"
       "    if (a)\n"
       "        if (b)\n"
       "            c();\n"
       "        else\n"
       "            d();\n"
       "    else\n"
       "        e();\n"
       "}\n"},
      {"ElseIfStaysTogether", "void f()\n{\nif (a) b(); else if (c) d(); else e();\n}\n",
       "void f()\n{\n    if (a)\n        b();\n    else if (c)\n        d();\n    else\n        e();\n}\n"},
      {"BranchesGoOnAsTheFirstOneLeftTheNesting",
       "int f(int x)\n"
       "{\n"
       "#if A\n"
       "    if (g(x,\n"
       "#else\n"
       "    if (h(x,\n"
       "#endif\n"
       "          x)) {\n"
       "        return 0;\n"
       "    }\n"
       "    return 1;\n"
       "}\n",
       "int f(int x)\n"
       "{\n"
       "#if A\n"
       "    if (g(x,\n"
       "#else\n"
       "    if (h(x,\n"
       "#endif\n"
       "          x)) {\n"
       "        return 0;\n"
       "    }\n"
       "    return 1;\n"
       "}\n"},
      {"ADeadBranchIsKeptAsWritten", "void f()\n{\n#if 0\n  old(  ) ; {\n#endif\n  g();\n}\n",
       "void f()\n{\n#if 0\n  old(  ) ; {\n#endif\n    g();\n}\n"},
  };
  for (const Case& c : cases) ExpectFormats(c);
}

// Rule 8: braces as the brace style says.
TEST(ModernTest, PlacesBraces) {
  const Case cases[] = {
      {"AttachedExceptAFunctionsBody",
       "struct P\n{\n    int x;\n};\nvoid f() {\n    if (a)\n    {\n        g();\n    }\n    else\n    {\n   "
       "     h();\n"
       "    }\n    do\n    {\n        i();\n    }\n    while (j());\n}\n",
       "struct P {\n"
       "    int x;\n"
       "};\n"
       "void f()\n"
       "{\n"
       "    if (a) {\n"
       "        g();\n"
       "    } else {\n"
       "        h();\n"
       "    }\n"
       "    do {\n"
       "        i();\n"
       "    } while (j());\n"
       "}\n"},
      {"OneLineBodiesOpenAndAnEmptyOneStaysWhole",
       "class A {\n    int get() const { return x; }\n    A() NOEXCEPT { x = 1; }\n    A(int) {}\n};\n",
       "class A {\n    int get() const\n    {\n        return x;\n    }\n    A() NOEXCEPT\n    {\n        x "
       "= 1;\n    }\n"
       "    A(int) {}\n};\n"},
      {"ALambdasBodyStandsOneUnitInFromItsIntroducersLine",
       "sort(v,\n     [](int a,\n        int b) {\n            return a < b;\n     });\n",
       "sort(v,\n     [](int a,\n        int b) {\n         return a < b;\n     });\n"},
      {"LambdasAndInitializersStayOnTheirLine",
       "auto f = [](int x) {\n    return x;\n};\nint t[] = {\n    1,\n};\n",
       "auto f = [](int x) {\n    return x;\n};\nint t[] = {\n    1,\n};\n"},
      {"BreakStyle",
       "namespace n {\nstruct P {\n    int x;\n};\nvoid f() {\n    if (a) {\n        g();\n    } else {\n    "
       "    h();\n    }\n"
       "    do {\n        i();\n    } while (j());\n}\n}\n",
       "namespace n\n"
       "{\n"
       "struct P\n"
       "{\n"
       "    int x;\n"
       "};\n"
       "void f()\n"
       "{\n"
       "    if (a)\n"
       "    {\n"
       "        g();\n"
       "    }\n"
       "    else\n"
       "    {\n"
       "        h();\n"
       "    }\n"
       "    do\n"
       "    {\n"
       "        i();\n"
       "    } while (j());\n"
       "}\n"
       "}\n",
       kBreak},
  };
  for (const Case& c : cases) ExpectFormats(c);
}

// Rules 9 and 10: regions kept as written, and settings from the file.
TEST(ModernTest, KeepsOffRegionsAndTakesTheFilesSettings) {
  const Case cases[] = {
      {"LinesBetweenOffAndOnStayByteForByte", "// qfmt off\nint   a ;  \n// qfmt on\nint   b ;\n",
       "// qfmt off\nint   a ;  \n// qfmt on\nint b;\n"},
      {"InBlockCommentsToo", "/* qfmt off */\nint   a ;\n/* qfmt on */\nint   b ;\n",
       "/* qfmt off */\nint   a ;\n/* qfmt on */\nint b;\n"},
      {"TheFilesTabs", "void f()\n{\n\tif (a) {\n\t\tb();\n\t}\n\tc( );\n}\n",
       "void f()\n{\n\tif (a) {\n\t\tb();\n\t}\n\tc();\n}\n", FromFile()},
      {"TheFilesMostCommonStep", "void f()\n{\n  if (a) {\n    b();\n  }\n    c( );\n}\n",
       "void f()\n{\n  if (a) {\n    b();\n  }\n  c();\n}\n", FromFile()},
      {"TheUnitGivenWhereTheFileShowsNone", "int f() { return 1; }\n", "int f()\n{\n    return 1;\n}\n",
       FromFile()},
  };
  for (const Case& c : cases) ExpectFormats(c);
}

// The promises of the style over real and generated code, in both brace
// styles and at two limits: every token kept (trailing comments behind their
// code), settled in one pass, blank-line runs kept, no ";" alone that was
// not, no line over the limit that could have been broken, a blank after
// every control keyword.
TEST(ModernPropertyTest, SystemHeadersAndGeneratedCode) {
  std::vector<std::pair<std::string, std::string>> texts;
  for (const bool cpp20 : {false, true}) {
    texts.emplace_back(cpp20 ? "generated C++20" : "generated C", testing::GeneratedText(300000, 7, cpp20));
  }
  for (const testing::fs::path& header : testing::SystemHeaders(60)) {
    texts.emplace_back(header.string(), testing::ReadFile(header));
  }
  Options attach = FromFile();
  Options narrow = FromFile();
  narrow.max_line_length = 60;
  narrow.braces = lexer::BraceStyle::kBreak;
  for (const Options& options : {attach, narrow}) {
    bench::ModernStats total;
    for (const auto& [name, text] : texts) {
      std::string output;
      std::string again;
      ASSERT_TRUE(Format(text, options, output)) << name;
      const auto difference = lexer::CompareTokens(text, output, {.trailing_comments = true});
      EXPECT_FALSE(difference) << name << ": " << difference->description;
      ASSERT_TRUE(Format(output, options, again)) << name;
      EXPECT_TRUE(again == output) << name << ": not settled at " << FirstDifference(output, again);
      const bench::ModernStats stats = bench::MeasureModern(text, output, options.max_line_length);
      EXPECT_EQ(stats.breakable_over_limit, 0) << name;
      total += stats;
    }
    EXPECT_EQ(total.blank_runs_kept, total.blank_runs);
    EXPECT_EQ(total.lone_semicolons_added, 0);
    EXPECT_EQ(total.keywords_spaced, total.keywords);
    EXPECT_GT(total.blank_runs, 1000) << "the corpus holds what the checks look at";
    EXPECT_GT(total.keywords, 1000);
  }
}

}  // namespace
}  // namespace qfmt::modern
