#pragma once

#include <string_view>

#include "tests/support/golden_options.h"

// Golden cases: input and expected output side by side, one output line per
// source line. Every expected text is worked out by hand from the rules and
// their actions (indentation unit three blanks, limit 80, brace style 1 unless
// the case says otherwise). Together the inputs match every rule that can take
// a token (the coverage test checks this).
namespace qfmt::testing {

using namespace std::string_view_literals;

struct GoldenCase {
  std::string_view name;
  std::string_view input;
  std::string_view expected;
  GoldenOptions options = {};
};

inline constexpr GoldenOptions kTabIndent{80, "\t", 1};
inline constexpr GoldenOptions kNoIndent{80, "", 1};
inline constexpr GoldenOptions kBraceStyle0{80, "   ", 0};
inline constexpr GoldenOptions kLimit0{0, "   ", 1};
inline constexpr GoldenOptions kLimit20{20, "   ", 1};

inline constexpr GoldenCase kGoldenCases[] = {
    // Statements, conditions and braces.
    {"IfBodyGoesOneUnitDeeper",
     "void f() {\n"
     "if (a) x = 1;\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   if(a)\n"
     "      x = 1; \n"
     "}\n"},
    {"ForHeaderStaysOnOneLine",
     "void f() {\n"
     "for (i = 0; i < n; i++) {\n"
     "}\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   for(i = 0; i < n; i++ ) {\n"
     "   }\n"
     "}\n"},
    {"ElseBraceHasNoSpace",
     "void f() {\n"
     "if (a) {\n"
     "x();\n"
     "} else {\n"
     "y();\n"
     "}\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   if(a) {\n"
     "      x();\n"
     "   }\n"
     "   else{\n"
     "      y();\n"
     "   }\n"
     "}\n"},
    {"ElseIfAndElseWithBraceOnNextLine",
     "void f() {\n"
     "if (a) x(); else if (b) y(); else\n"
     "{\n"
     "z();\n"
     "}\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   if(a)\n"
     "      x();\n"
     "   else\n"
     "   if(b)\n"
     "      y();\n"
     "   else{\n"
     "      z();\n"
     "   }\n"
     "}\n"},
    {"EmptyLoopBodyGoesOnItsOwnLine",
     "void f() {\n"
     "while (x);\n"
     "do { x(); } while (a);\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   while(x)\n"
     "      ;\n"
     "   do{\n"
     "      x();\n"
     "   }\n"
     "   while(a)\n"
     "      ;\n"
     "}\n"},
    {"BreakAndContinue",
     "void f() {\n"
     "for (;;) { if (a) continue; break; }\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   for(; ; ) {\n"
     "      if(a)\n"
     "         continue; \n"
     "      break; \n"
     "   }\n"
     "}\n"},
    {"FunctionBraceOnNextLine",
     "int f(int a)\n"
     "{\n"
     "return a;\n"
     "}\n",
     "int f(int a)\n"
     "{\n"
     "   return a; \n"
     "}\n"},
    {"OutermostClosingBraceAndSemicolonLeavesAnEmptyLine",
     "struct S {\n"
     "int x;\n"
     "};\n"
     "int y;\n",
     "struct S\n"
     "{\n"
     "   int x; \n"
     "};\n"
     "\n"
     "int y; \n"},
    {"InnerClosingBraceAndSemicolon", "struct A { struct B { int x; }; };\n",
     "struct A\n"
     "{\n"
     "   struct B{\n"
     "      int x; \n"
     "   };\n"
     "};\n"
     "\n"},
    {"BraceStyle0PutsBracesOnTheirOwnLines",
     "void f() {\n"
     "if (a) {\n"
     "x();\n"
     "}\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   if(a)\n"
     "   {\n"
     "      x();\n"
     "   }\n"
     "}\n",
     kBraceStyle0},
    {"UnbalancedClosingBracesWriteNoIndentation", "}}\n",
     "\n"
     "}\n"
     "}\n"},

    // Switch statements and labels.
    {"SwitchLabelsOneUnitOut",
     "void f() {\n"
     "switch (a) {\n"
     "case 1:\n"
     "break;\n"
     "default:\n"
     "bar();\n"
     "}\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   switch(a) {\n"
     "      case 1:\n"
     "         break; \n"
     "      default:\n"
     "         bar();\n"
     "   }\n"
     "}\n"},
    {"NestedSwitchClosesAtLabelLevel",
     "void f() {\n"
     "switch (a) {\n"
     "case 1:\n"
     "switch (b) {\n"
     "case 2:\n"
     "x();\n"
     "}\n"
     "}\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   switch(a) {\n"
     "      case 1:\n"
     "         switch(b) {\n"
     "            case 2:\n"
     "               x();\n"
     "      }\n"
     "   }\n"
     "}\n"},
    {"BlockInsideCaseBraceStyle1",
     "void f() {\n"
     "switch (a) {\n"
     "case 1: {\n"
     "x();\n"
     "}\n"
     "}\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   switch(a) {\n"
     "      case 1:\n"
     "         {\n"
     "            x();\n"
     "      }\n"
     "   }\n"
     "}\n"},
    {"BlockInsideCaseBraceStyle0",
     "void f() {\n"
     "switch (a) {\n"
     "case 1: {\n"
     "x();\n"
     "}\n"
     "}\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   switch(a)\n"
     "   {\n"
     "      case 1:\n"
     "      {\n"
     "            x();\n"
     "      }\n"
     "   }\n"
     "}\n",
     kBraceStyle0},
    {"SwitchWithoutBracedBodyStaysOpen",
     "void f() {\n"
     "switch (x) case 1: y;\n"
     "}\n"
     "void g() {\n"
     "if (a) {\n"
     "z();\n"
     "}\n"
     "w();\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   switch(x)   case 1:\n"
     "      y; \n"
     "}\n"
     "void g()\n"
     "   {\n"
     "      if(a) {\n"
     "         z();\n"
     "   }\n"
     "   w();\n"
     "}\n"},
    {"CaseLabelStopsAtFirstColon",
     "void f() {\n"
     "switch (k) {\n"
     "case A::B: x();\n"
     "   default : y();\n"
     "}\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   switch(k) {\n"
     "      case A::B:x();\n"
     "      default:\n"
     "         y();\n"
     "   }\n"
     "}\n"},
    {"IdentifierBeginningWithCaseRunsToTheColon", "caseCount = a ? b : c;\n",
     "caseCount = a ? b :\n"
     "c; \n"},
    {"GotoLabelLineAtStatementIndentation",
     "void f() {\n"
     "again:\n"
     "goto again;\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   again:\n"
     "   goto again; \n"
     "}\n"},
    {"LabelLineWithBlanksAtInputStart",
     "  lbl :  \n"
     "x;\n",
     "\n"
     "lbl:\n"
     "x; \n"},
    {"AccessLabels",
     "class B : public A {\n"
     "public:\n"
     "int x;\n"
     "  private:\n"
     "int y;\n"
     "protected: int z;\n"
     "public : int w;\n"
     "};\n",
     "class B:public A\n"
     "{\n"
     "   public:\n"
     "   int x; \n"
     "private:\n"
     "   int y; \n"
     "protected:\n"
     "   int z; \n"
     "public:\n"
     "   int w; \n"
     "};\n"
     "\n"},
    {"ConstantAndColonEndTheLine", "x = c ? 1: 2;\n",
     "x = c ? 1:\n"
     "2; \n"},
    {"CharacterConstantsWithColonAreSquashed",
     "a = b ? 'x' : c;\n"
     "a = b ? ' ' : c;\n"
     "a = b ? '\\'' : c;\n"
     "a = b ? '\\0' : c;\n"
     "a = b ? 'x\\' : c;\n"
     "a = b ? '\\n : c;\n"
     "a = b ? 0x1F : c;\n"
     "a = b ? -1L : c;\n",
     "a = b ? 'x':\n"
     "c; \n"
     "a = b ? ' ':\n"
     "c; \n"
     "a = b ? '\\'' :\n"
     "c; \n"
     "a = b ? '\\0':\n"
     "c; \n"
     "a = b ? 'x\\':\n"
     "c; \n"
     "a = b ? '\\n :\n"
     "c; \n"
     "a = b ? 0x1F:\n"
     "c; \n"
     "a = b ? -1L:\n"
     "c; \n"},

    // Spacing of words, keywords, punctuation and operators.
    {"CastsSizeofAndStars",
     "void f() {\n"
     "y = (int)x + sizeof(z) * 2;\n"
     "v = (char)a + (double)b + (float)c + (long)d + (short)e;\n"
     "(void)g();\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   y = (int) x + sizeof(z) *2; \n"
     "   v = (char) a + (double) b + (float) c + (long) d + (short) e; \n"
     "   (void) g();\n"
     "}\n"},
    {"PointersMembersAndUnaryOperators",
     "void f() {\n"
     "p = &a[i]->b.c;\n"
     "*p++ = ~x;\n"
     "if (!done && n >= 0) return -1;\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   p = &a[i]->b.c; \n"
     "    *p++ = ~x; \n"
     "   if(!done && n >= 0)\n"
     "      return -1; \n"
     "}\n"},
    {"OperatorsBetweenOperands",
     "a += b; a -= b; a *= b; a /= b; a %= b; a >>= b; a <<= b; a &= b; a ^= b; a |= b;\n"
     "a = b ^ c | d || e && f == g != h < i <= j > k >= l << m >> n % o / p - q;\n"
     "A::f(); --i;\n",
     "a += b; \n"
     "a -= b; \n"
     "a *= b; \n"
     "a /= b; \n"
     "a %= b; \n"
     "a >>= b; \n"
     "a <<= b; \n"
     "a &= b; \n"
     "a ^= b; \n"
     "a |= b; \n"
     "a = b ^ c | d || e && f == g != h < i <= j > k >= l << m >> n % o / p - q; \n"
     "A::f();\n"
     "--i; \n"},
    {"ConditionalWithParenthesesAndColon",
     "void f() {\n"
     "x = (a) ? (b) : c;\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   x = (a)?(b):c; \n"
     "}\n"},
    {"KeywordsAreSpacedLikeWords",
     "static const unsigned long int x;\n"
     "extern volatile register short signed char auto y;\n"
     "typedef union U T; virtual void g(); double z; float w;\n"
     "class D : public B, protected C, private E { char **argv; };\n"
     "enum Color c;\n",
     "static const unsigned long int x; \n"
     "extern volatile register short signed char auto y; \n"
     "typedef union U T; \n"
     "virtual void g();\n"
     "double z; \n"
     "float w; \n"
     "class D:public B, protected C, private E\n"
     "{\n"
     "   char **argv; \n"
     "};\n"
     "\n"
     "enum Color c; \n"},
    {"NumbersAndSuffixes",
     "x = 10UL + 1.5f - .5 + 1.e5 + 07 + 0x;\n"
     "y = i-1;\n"
     "z = -.5e+3 * 1e10 / 2.5e-3 + 3.;\n",
     "x = 10 UL + 1.5 f - .5 + 1.e5 + 07 + 0x; \n"
     "y = i -1; \n"
     "z = -.5e+3 *1e10 / 2.5e-3 + 3.; \n"},
    {"CharacterConstantsAndEscapes",
     "w = L'a' + L'\\'' + L'\\0' + L'x\\' + L'\\n + '\\'' + '\\0' + 'x\\' + \\t;\n",
     "w = L'a' + L'\\'' + L'\\0' + L'x\\' + L'\\n + '\\'' + '\\0' + 'x\\' + \\t; \n"},
    {"StringsAndCharacters",
     "void f() {\n"
     "s = \"a \\\"q\\\" b\";\n"
     "c = '\\n';\n"
     "d = 'x';\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   s = \"a \\\"q\\\" b\"; \n"
     "   c = '\\n'; \n"
     "   d = 'x'; \n"
     "}\n"},
    {"UnclosedStringQuoteIsCopied",
     "x = \"abc;\n"
     "y;\n",
     "x = \"abc; \n"
     "y; \n"},
    {"OtherBytesAreCopiedUnchanged",
     "x = a$b;\n"
     "a\rb;\n",
     "x = a$ b; \n"
     "a\r b; \n"},
    {"EmptyParenthesesAtOutermostLevelEndTheLine",
     "x = f() + 1;\n"
     "g(\n"
     ")\n"
     ";\n",
     "x = f()\n"
     " + 1; \n"
     "g();\n"},
    {"CatchMacrosEndTheirLine",
     "END_CATCH x;\n"
     "END_CATCH_ALL y;\n",
     "END_CATCH\n"
     "x; \n"
     "END_CATCH_ALL\n"
     "y; \n"},

    // Comments.
    {"CommentsAttachOrStandAlone",
     "int x; // note\n"
     "/* block */\n"
     "int y;\n"
     "\n"
     "\n"
     "// after two blank lines\n"
     "int z;   /* attached */\n",
     "int x;    // note\n"
     "/* block */\n"
     "int y; \n"
     "\n"
     "// after two blank lines\n"
     "int z;    /* attached */\n"},
    {"CommentAttachesOnlyBelowTheLimit",
     // Counted columns 70, 69 and 70: the first token of a line that follows
     // a pending line break is not counted.
     "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa; // abcd\n"
     "b = aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa; // abcd\n"
     "b = aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa; // abcd\n",
     "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa; \n"
     "// abcd\n"
     "b = aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;    // abcd\n"
     "b = aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa; \n"
     "// abcd\n"},
    {"CommentAfterWrittenLineBreakAddsEmptyLines",
     "struct S { int a; };\n"
     "\n"
     "// c\n"
     "int b;\n",
     "struct S\n"
     "{\n"
     "   int a; \n"
     "};\n"
     "\n"
     "\n"
     "// c\n"
     "int b; \n"},
    {"LineWrapMarkerDroppedOnlyWhenAttached",
     "x;/*Line Wrapped*/\n"
     "y; /*Line Wrapped*/\n",
     "x; \n"
     "y;    /*Line Wrapped*/\n"},
    {"UnclosedBlockCommentIsScannedAsOperators", "a /* b\n", "a /  *b\n"},
    {"CommentCutShortAtNul", "// x\0y\nz;\n"sv,
     "// x\n"
     "z; \n"},
    {"NulByteIsCopied", "a\0b;\n"sv, "a\0 b; \n"sv},
    {"WizardBlockIsIndentedOneMoreUnit",
     "class A {\n"
     "//{{AFX_DATA(A)\n"
     "int x;\n"
     "//}}AFX_DATA\n"
     "int y;\n"
     "};\n",
     "class A\n"
     "{\n"
     "   //{{AFX_DATA(A)\n"
     "      int x; \n"
     "   //}}AFX_DATA\n"
     "\n"
     "   int y; \n"
     "};\n"
     "\n"},

    // Directives.
    {"DirectiveFirstInTheInputFollowsAnEmptyLine",
     "#include <stdio.h>\n"
     "int x;\n",
     "\n"
     "#include <stdio.h>\n"
     "int x; \n"},
    {"ContinuedDirectiveLinesLoseTheirIndentation",
     "#define A(x) \\\n"
     "  f(x) \\\n"
     "  g(x)\n"
     "int y;\n",
     "\n"
     "#define A(x) \\\n"
     "f(x) \\\n"
     "g(x)\n"
     "int y; \n"},

    // Inline assembly.
    {"AssemblyBlockClosesAfterAnEmptyLine",
     "void f() {\n"
     "__asm {\n"
     "mov eax, 1\n"
     "}\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   __asm {\n"
     "      mov eax, 1\n"
     "\n"
     "   }\n"
     "}\n"},
    {"AssemblyLineWithoutBlock",
     "void f() {\n"
     "_asm int 3\n"
     "x = 1;\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   _asm int 3\n"
     "   x = 1; \n"
     "}\n"},
    {"AssemblyTabAfterComment",
     "void f() {\n"
     "__asm {\n"
     "/* c */\tmov eax, 1\n"
     "}\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   __asm {\n"
     "\n"
     "   /* c */\n"
     "      \t       mov eax, 1\n"
     "\n"
     "   }\n"
     "}\n"},

    // Enumerations without a name.
    {"TypedefEnum", "typedef enum { A = 1, B } E;\n",
     "typedef enum { A = 1, B }\n"
     "E; \n"},
    {"EnumWithTabsAndSemicolon", "enum {\tA,\tB };\n",
     "enum {A, B }\n"
     "; \n"},
    {"EnumLineCommentEndsTheLine",
     "enum {\n"
     "RED, // first\n"
     "GREEN\n"
     "};\n",
     "enum {RED, // first\n"
     "GREEN}\n"
     "; \n"},

    // Long lines.
    {"LongStatementBreaksBeforeTheTokenThatReachesTheLimit",
     "void f() {\n"
     "if (x) {\n"
     "result = compute_something(alpha_value, beta_value, gamma_value, delta_value, epsilon_value, "
     "zeta_value);\n"
     "}\n"
     "}\n",
     "void f()\n"
     "{\n"
     "   if(x) {\n"
     "      result = compute_something(alpha_value, beta_value, gamma_value, delta_value, \n"
     "      epsilon_value, zeta_value);\n"
     "   }\n"
     "}\n"},
    {"Limit20BreaksAtOutermostLevel", "aaaa = bbbb + cccc + dddd + eeee;\n",
     "aaaa = bbbb + cccc + dddd\n"
     " + eeee; \n",
     kLimit20},
    {"Limit0PutsEveryTokenOnANewLine", "a = b;\n",
     "\n"
     "a\n"
     " = \n"
     "b\n"
     "; \n",
     kLimit0},

    // Indentation strings.
    {"TabIndentation",
     "void f() {\n"
     "if (a) x = 1;\n"
     "}\n",
     "void f()\n"
     "{\n"
     "\tif(a)\n"
     "\t\tx = 1; \n"
     "}\n",
     kTabIndent},
    {"EmptyIndentation",
     "void f() {\n"
     "if (a) x = 1;\n"
     "}\n",
     "void f()\n"
     "{\n"
     "if(a)\n"
     "x = 1; \n"
     "}\n",
     kNoIndent},

    // Line ends.
    {"CrLfInputGivesCrLfOutput",
     "int x;\r\n"
     "int y;\r\n",
     "int x; \r\n"
     "int y; \r\n"},
    {"EmptyInputGivesOneLineBreak", "", "\n"},
};

}  // namespace qfmt::testing
