#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "layout/layout.h"

// Golden cases: input and expected output side by side, each source line of
// an output beginning at one of its lines. Every expected text is worked out
// by hand from the rules and their actions (indentation unit three blanks,
// limit 80, brace style 1 unless the case says otherwise). Together the
// inputs match every rule that can take a token (a test checks this).
namespace qfmt::testing {

using namespace std::string_view_literals;

// Layout options that a table of constants can hold.
struct GoldenOptions {
  int max_line_length = 80;
  std::string_view indent_string = "   ";
  lexer::BraceStyle brace_style = lexer::BraceStyle::kAttach;
  bool repaired = false;  // the repaired rules of qfmt-tree's classic style

  [[nodiscard]] layout::LayoutOptions ToLayout() const {
    return {max_line_length, std::string(indent_string), brace_style, repaired};
  }
};

struct GoldenCase {
  std::string_view name;
  std::string_view input;
  std::string_view expected;
  GoldenOptions options = {};
};

// Names the case in test names and failure messages.
inline void PrintTo(const GoldenCase& c, std::ostream* out) { *out << c.name; }

inline constexpr GoldenOptions kTabIndent{80, "\t"};
inline constexpr GoldenOptions kNoIndent{80, ""};
inline constexpr GoldenOptions kBraceStyle0{80, "   ", lexer::BraceStyle::kBreak};
inline constexpr GoldenOptions kLimit0{0, "   "};
inline constexpr GoldenOptions kLimit20{20, "   "};

inline constexpr GoldenCase kGoldenCases[] = {
    // Statements, conditions and braces.
    {"IfBodyGoesOneUnitDeeper", "void f() {\nif (a) x = 1;\n}\n",
     "void f()\n{\n   if(a)\n      x = 1; \n}\n"},
    {"ForHeaderStaysOnOneLine", "void f() {\nfor (i = 0; i < n; i++) {\n}\n}\n",
     "void f()\n{\n   for(i = 0; i < n; i++ ) {\n   }\n}\n"},
    {"ElseBraceHasNoSpace", "void f() {\nif (a) {\nx();\n} else {\ny();\n}\n}\n",
     "void f()\n{\n   if(a) {\n      x();\n   }\n   else{\n      y();\n   }\n}\n"},
    {"ElseIfAndElseWithBraceOnNextLine", "void f() {\nif (a) x(); else if (b) y(); else\n{\nz();\n}\n}\n",
     "void f()\n{\n   if(a)\n      x();\n   else\n   if(b)\n      y();\n   else{\n      z();\n   }\n}\n"},
    {"EmptyLoopBodyGoesOnItsOwnLine", "void f() {\nwhile (x);\ndo { x(); } while (a);\n}\n",
     "void f()\n{\n   while(x)\n      ;\n   do{\n      x();\n   }\n   while(a)\n      ;\n}\n"},
    {"BreakAndContinue", "void f() {\nfor (;;) { if (a) continue; break; }\n}\n",
     "void f()\n{\n   for(; ; ) {\n      if(a)\n         continue; \n      break; \n   }\n}\n"},
    {"FunctionBraceOnNextLine", "int f(int a)\n{\nreturn a;\n}\n", "int f(int a)\n{\n   return a; \n}\n"},
    {"OutermostClosingBraceAndSemicolonLeavesAnEmptyLine", "struct S {\nint x;\n};\nint y;\n",
     "struct S\n{\n   int x; \n};\n\nint y; \n"},
    {"InnerClosingBraceAndSemicolon", "struct A { struct B { int x; }; };\n",
     "struct A\n{\n   struct B{\n      int x; \n   };\n};\n\n"},
    {"BraceStyle0PutsBracesOnTheirOwnLines", "void f() {\nif (a) {\nx();\n}\n}\n",
     "void f()\n{\n   if(a)\n   {\n      x();\n   }\n}\n", kBraceStyle0},
    {"UnbalancedClosingBracesWriteNoIndentation", "}}\n", "\n}\n}\n"},

    // Switch statements and labels.
    {"SwitchLabelsOneUnitOut", "void f() {\nswitch (a) {\ncase 1:\nbreak;\ndefault:\nbar();\n}\n}\n",
     "void f()\n{\n   switch(a) {\n      case 1:\n         break; \n      default:\n         bar();\n"
     "   }\n}\n"},
    {"NestedSwitchClosesAtLabelLevel",
     "void f() {\nswitch (a) {\ncase 1:\nswitch (b) {\ncase 2:\nx();\n}\n}\n}\n",
     "void f()\n{\n   switch(a) {\n      case 1:\n         switch(b) {\n            case 2:\n"
     "               x();\n      }\n   }\n}\n"},
    {"BlockInsideCaseBraceStyle1", "void f() {\nswitch (a) {\ncase 1: {\nx();\n}\n}\n}\n",
     "void f()\n{\n   switch(a) {\n      case 1:\n         {\n            x();\n      }\n   }\n}\n"},
    {"BlockInsideCaseBraceStyle0", "void f() {\nswitch (a) {\ncase 1: {\nx();\n}\n}\n}\n",
     "void f()\n{\n   switch(a)\n   {\n      case 1:\n      {\n            x();\n      }\n   }\n}\n",
     kBraceStyle0},
    {"SwitchWithoutBracedBodyStaysOpen",
     "void f() {\nswitch (x) case 1: y;\n}\nvoid g() {\nif (a) {\nz();\n}\nw();\n}\n",
     "void f()\n{\n   switch(x)   case 1:\n      y; \n}\nvoid g()\n   {\n      if(a) {\n"
     "         z();\n   }\n   w();\n}\n"},
    {"CaseLabelStopsAtFirstColon", "void f() {\nswitch (k) {\ncase A::B: x();\n   default : y();\n}\n}\n",
     "void f()\n{\n   switch(k) {\n      case A::B:x();\n      default:\n         y();\n   }\n}\n"},
    {"IdentifierBeginningWithCaseRunsToTheColon", "caseCount = a ? b : c;\n", "caseCount = a ? b :\nc; \n"},
    {"GotoLabelLineAtStatementIndentation", "void f() {\nagain:\ngoto again;\n}\n",
     "void f()\n{\n   again:\n   goto again; \n}\n"},
    {"LabelLineWithBlanksAtInputStart", "  lbl :  \nx;\n", "\nlbl:\nx; \n"},
    {"AccessLabels",
     "class B : public A {\npublic:\nint x;\n  private:\nint y;\nprotected: int z;\npublic : int w;\n};\n",
     "class B:public A\n{\n   public:\n   int x; \nprivate:\n   int y; \nprotected:\n   int z; \n"
     "public:\n   int w; \n};\n\n"},
    {"ConstantAndColonEndTheLine", "x = c ? 1: 2;\n", "x = c ? 1:\n2; \n"},
    {"CharacterConstantsWithColonAreSquashed",
     "a = b ? 'x' : c;\na = b ? ' ' : c;\na = b ? '\\'' : c;\na = b ? '\\0' : c;\na = b ? 'x\\' : c;\n"
     "a = b ? '\\n : c;\na = b ? 0x1F : c;\na = b ? -1L : c;\n",
     "a = b ? 'x':\nc; \na = b ? ' ':\nc; \na = b ? '\\'' :\nc; \na = b ? '\\0':\nc; \n"
     "a = b ? 'x\\':\nc; \na = b ? '\\n :\nc; \na = b ? 0x1F:\nc; \na = b ? -1L:\nc; \n"},

    // Spacing of words, keywords, punctuation and operators.
    {"CastsSizeofAndStars",
     "void f() {\ny = (int)x + sizeof(z) * 2;\nv = (char)a + (double)b + (float)c + (long)d + (short)e;\n"
     "(void)g();\n}\n",
     "void f()\n{\n   y = (int) x + sizeof(z) *2; \n"
     "   v = (char) a + (double) b + (float) c + (long) d + (short) e; \n   (void) g();\n}\n"},
    {"PointersMembersAndUnaryOperators",
     "void f() {\np = &a[i]->b.c;\n*p++ = ~x;\nif (!done && n >= 0) return -1;\n}\n",
     "void f()\n{\n   p = &a[i]->b.c; \n    *p++ = ~x; \n   if(!done && n >= 0)\n      return -1; \n}\n"},
    {"OperatorsBetweenOperands",
     "a += b; a -= b; a *= b; a /= b; a %= b; a >>= b; a <<= b; a &= b; a ^= b; a |= b;\n"
     "a = b ^ c | d || e && f == g != h < i <= j > k >= l << m >> n % o / p - q;\nA::f(); --i;\n",
     "a += b; \na -= b; \na *= b; \na /= b; \na %= b; \na >>= b; \na <<= b; \na &= b; \na ^= b; \n"
     "a |= b; \na = b ^ c | d || e && f == g != h < i <= j > k >= l << m >> n % o / p - q; \nA::f();\n"
     "--i; \n"},
    {"ConditionalWithParenthesesAndColon", "void f() {\nx = (a) ? (b) : c;\n}\n",
     "void f()\n{\n   x = (a)?(b):c; \n}\n"},
    {"KeywordsAreSpacedLikeWords",
     "static const unsigned long int x;\nextern volatile register short signed char auto y;\n"
     "typedef union U T; virtual void g(); double z; float w;\n"
     "class D : public B, protected C, private E { char **argv; };\nenum Color c;\n",
     "static const unsigned long int x; \nextern volatile register short signed char auto y; \n"
     "typedef union U T; \nvirtual void g();\ndouble z; \nfloat w; \n"
     "class D:public B, protected C, private E\n{\n   char **argv; \n};\n\nenum Color c; \n"},
    {"NumbersAndSuffixes",
     "x = 10UL + 1.5f - .5 + 1.e5 + 07 + 0x;\ny = i-1;\nz = -.5e+3 * 1e10 / 2.5e-3 + 3.;\n",
     "x = 10 UL + 1.5 f - .5 + 1.e5 + 07 + 0x; \ny = i -1; \nz = -.5e+3 *1e10 / 2.5e-3 + 3.; \n"},
    {"CharacterConstantsAndEscapes",
     "w = L'a' + L'\\'' + L'\\0' + L'x\\' + L'\\n + '\\'' + '\\0' + 'x\\' + \\t;\n",
     "w = L'a' + L'\\'' + L'\\0' + L'x\\' + L'\\n + '\\'' + '\\0' + 'x\\' + \\t; \n"},
    {"StringsAndCharacters", "void f() {\ns = \"a \\\"q\\\" b\";\nc = '\\n';\nd = 'x';\n}\n",
     "void f()\n{\n   s = \"a \\\"q\\\" b\"; \n   c = '\\n'; \n   d = 'x'; \n}\n"},
    {"UnclosedStringQuoteIsCopied", "x = \"abc;\ny;\n", "x = \"abc; \ny; \n"},
    {"OtherBytesAreCopiedUnchanged", "x = a$b;\na\rb;\n", "x = a$ b; \na\r b; \n"},
    {"EmptyParenthesesAtOutermostLevelEndTheLine", "x = f() + 1;\ng(\n)\n;\n", "x = f()\n + 1; \ng();\n"},
    {"CatchMacrosEndTheirLine", "END_CATCH x;\nEND_CATCH_ALL y;\n", "END_CATCH\nx; \nEND_CATCH_ALL\ny; \n"},

    // Comments.
    {"CommentsAttachOrStandAlone",
     "int x; // note\n/* block */\nint y;\n\n\n// after two blank lines\nint z;   /* attached */\n",
     "int x;    // note\n/* block */\nint y; \n\n// after two blank lines\nint z;    /* attached */\n"},
    {"CommentAttachesOnlyBelowTheLimit",
     // Counted columns 70, 69 and 70: the first token of a line that follows
     // a pending line break is not counted.
     "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa; // abcd\n"
     "b = aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa; // abcd\n"
     "b = aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa; // abcd\n",
     "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa; \n// abcd\n"
     "b = aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;    // abcd\n"
     "b = aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa; \n// abcd\n"},
    {"CommentAfterWrittenLineBreakAddsEmptyLines", "struct S { int a; };\n\n// c\nint b;\n",
     "struct S\n{\n   int a; \n};\n\n\n// c\nint b; \n"},
    {"LineWrapMarkerDroppedOnlyWhenAttached", "x;/*Line Wrapped*/\ny; /*Line Wrapped*/\n",
     "x; \ny;    /*Line Wrapped*/\n"},
    {"UnclosedBlockCommentIsScannedAsOperators", "a /* b\n", "a /  *b\n"},
    {"CommentCutShortAtNul", "// x\0y\nz;\n"sv, "// x\nz; \n"},
    {"NulByteIsCopied", "a\0b;\n"sv, "a\0 b; \n"sv},
    {"WizardBlockIsIndentedOneMoreUnit", "class A {\n//{{AFX_DATA(A)\nint x;\n//}}AFX_DATA\nint y;\n};\n",
     "class A\n{\n   //{{AFX_DATA(A)\n      int x; \n   //}}AFX_DATA\n\n   int y; \n};\n\n"},

    // Directives.
    {"DirectiveFirstInTheInputFollowsAnEmptyLine", "#include <stdio.h>\nint x;\n",
     "\n#include <stdio.h>\nint x; \n"},
    {"ContinuedDirectiveLinesLoseTheirIndentation", "#define A(x) \\\n  f(x) \\\n  g(x)\nint y;\n",
     "\n#define A(x) \\\nf(x) \\\ng(x)\nint y; \n"},

    // Inline assembly.
    {"AssemblyBlockClosesAfterAnEmptyLine", "void f() {\n__asm {\nmov eax, 1\n}\n}\n",
     "void f()\n{\n   __asm {\n      mov eax, 1\n\n   }\n}\n"},
    {"AssemblyLineWithoutBlock", "void f() {\n_asm int 3\nx = 1;\n}\n",
     "void f()\n{\n   _asm int 3\n   x = 1; \n}\n"},
    {"AssemblyTabAfterComment", "void f() {\n__asm {\n/* c */\tmov eax, 1\n}\n}\n",
     "void f()\n{\n   __asm {\n\n   /* c */\n      \t       mov eax, 1\n\n   }\n}\n"},

    // Enumerations without a name.
    {"TypedefEnum", "typedef enum { A = 1, B } E;\n", "typedef enum { A = 1, B }\nE; \n"},
    {"EnumWithTabsAndSemicolon", "enum {\tA,\tB };\n", "enum {A, B }\n; \n"},
    {"EnumLineCommentEndsTheLine", "enum {\nRED, // first\nGREEN\n};\n", "enum {RED, // first\nGREEN}\n; \n"},

    // Long lines.
    {"LongStatementBreaksBeforeTheTokenThatReachesTheLimit",
     "void f() {\nif (x) {\n"
     "result = compute_something(alpha_value, beta_value, gamma_value, delta_value, epsilon_value, "
     "zeta_value);\n}\n}\n",
     "void f()\n{\n   if(x) {\n"
     "      result = compute_something(alpha_value, beta_value, gamma_value, delta_value, \n"
     "      epsilon_value, zeta_value);\n   }\n}\n"},
    {"Limit20BreaksAtOutermostLevel", "aaaa = bbbb + cccc + dddd + eeee;\n",
     "aaaa = bbbb + cccc + dddd\n + eeee; \n", kLimit20},
    {"Limit0PutsEveryTokenOnANewLine", "a = b;\n", "\na\n = \nb\n; \n", kLimit0},

    // Indentation strings.
    {"TabIndentation", "void f() {\nif (a) x = 1;\n}\n", "void f()\n{\n\tif(a)\n\t\tx = 1; \n}\n",
     kTabIndent},
    {"EmptyIndentation", "void f() {\nif (a) x = 1;\n}\n", "void f()\n{\nif(a)\nx = 1; \n}\n", kNoIndent},

    // Line ends.
    {"CrLfInputGivesCrLfOutput", "int x;\r\nint y;\r\n", "int x; \r\nint y; \r\n"},
    {"EmptyInputGivesOneLineBreak", "", "\n"},
};

}  // namespace qfmt::testing
