#include <gtest/gtest.h>

#include "tests/support/test_support.h"

// Token streams: "Rule:text", with the start conditions switched as the rule
// actions switch them.
namespace qfmt::testing {
namespace {

using namespace std::string_view_literals;

// Every family of rules, by the token streams of short inputs.
TEST(TokenTest, StreamsByFamily) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      // Keywords.
      {"integer int2 Int INT double do{",
       "Identifier:integer WhiteSpace:' ' Identifier:int2 WhiteSpace:' ' Identifier:Int WhiteSpace:' ' "
       "Identifier:INT WhiteSpace:' ' Double:double WhiteSpace:' ' Do:do OpenBrace:{"},
      {"END_CATCH END_CATCH_ALL END_CATCHX",
       "EndCatch:END_CATCH WhiteSpace:' ' EndCatchAll:END_CATCH_ALL WhiteSpace:' ' Identifier:END_CATCHX"},
      // Else takes its brace across blanks.
      {"else {", "ElseBrace:'else {'"},
      {"else\n{", "ElseBrace:'else\\n{'"},
      {"else if", "Else:else WhiteSpace:' ' If:if"},
      {"elsewhere", "Identifier:elsewhere"},
      // Casts only in their exact form.
      {"(int)x", "CastInt:(int) Identifier:x"},
      {"(int *)x", "OpenParen:( Int:int WhiteSpace:' ' Stars:* CloseParen:) Identifier:x"},
      {"(unsigned)", "OpenParen:( Unsigned:unsigned CloseParen:)"},
      // Access labels.
      {"public: int x;",
       "PublicLabel:public: WhiteSpace:' ' Int:int WhiteSpace:' ' Identifier:x Semicolon:;"},
      {"public : int x;",
       "PublicLabel:'public :' WhiteSpace:' ' Int:int WhiteSpace:' ' Identifier:x Semicolon:;"},
      {"private\n:", "PrivateLabel:'private\\n:'"},
      {"protected:x", "ProtectedLabel:protected: Identifier:x"},
      {"class D : public B",
       "Identifier:class WhiteSpace:' ' Identifier:D WhiteSpace:' ' Colon:: WhiteSpace:' ' Public:public "
       "WhiteSpace:' ' Identifier:B"},
      // Label lines only in the first column.
      // The observer sees LabelLine's token before its action gives the line feed back.
      {"public:\nx", "LabelLine:'public:\\n' WhiteSpace:'\\n' Identifier:x"},
      {"  lbl :  \n", "LabelLine:'  lbl :  \\n' WhiteSpace:'\\n'"},
      {"x;\nlbl:\n", "Identifier:x Semicolon:; WhiteSpace:'\\n' LabelLine:'lbl:\\n' WhiteSpace:'\\n'"},
      {"x;\n  lbl:\n", "Identifier:x Semicolon:; WhiteSpace:'\\n  ' Identifier:lbl Colon:: WhiteSpace:'\\n'"},
      {"default: break;", "DefaultLabel:default: WhiteSpace:' ' Break:break Semicolon:;"},
      {"default:\n", "LabelLine:'default:\\n' WhiteSpace:'\\n'"},
      // Operators take the longest match.
      {">>= >> >= **= ->*",
       "ShiftRightAssign:>>= WhiteSpace:' ' ShiftRight:>> WhiteSpace:' ' GreaterEqual:>= WhiteSpace:' ' "
       "Stars:** Assign:= WhiteSpace:' ' Arrow:-> Stars:*"},
      // A minus sign belongs to a number only when a digit or a point and a digit follow.
      {"i-1 a - 1",
       "Identifier:i DecimalConstant:-1 WhiteSpace:' ' Identifier:a WhiteSpace:' ' Minus:- WhiteSpace:' ' "
       "DecimalConstant:1"},
      // "##" is always the start of a directive line.
      {"a ## b", "Identifier:a WhiteSpace:' ' Directive:'## b'"},
      // Brackets join what follows across blanks.
      {"f();", "Identifier:f EmptyParensSemicolon:();"},
      {"(\n)\n;", "EmptyParensSemicolon:'(\\n)\\n;'"},
      {"(  )", "EmptyParens:'(  )'"},
      {"if (a) {", "If:if WhiteSpace:' ' OpenParen:( Identifier:a CloseParenBrace:') {'"},
      {")\n{ ) ; ) :",
       "CloseParenBrace:')\\n{' WhiteSpace:' ' CloseParenSemicolon:') ;' WhiteSpace:' ' CloseParenColon:') "
       ":'"},
      {"}\n; }", "CloseBraceSemicolon:'}\\n;' WhiteSpace:' ' CloseBrace:}"},
      // Case labels run to the next colon.
      {"case A::B:", "CaseLabel:'case A:' Colon:: Identifier:B Colon::"},
      {"case A\n: x", "CaseLabel:'case A\\n:' WhiteSpace:' ' Identifier:x"},
      {"caseCount = a ? b : c;", "CaseLabel:'caseCount = a ? b :' WhiteSpace:' ' Identifier:c Semicolon:;"},
      {"c ? b : d",
       "Identifier:c WhiteSpace:' ' Question:? WhiteSpace:' ' Identifier:b WhiteSpace:' ' Colon:: "
       "WhiteSpace:' ' Identifier:d"},
      {"c ? 1 : 2",
       "Identifier:c WhiteSpace:' ' Question:? WhiteSpace:' ' DecimalLabel:'1 :' WhiteSpace:' ' "
       "DecimalConstant:2"},
      {"0x1fL\n: 'ab' : '\\'' : '\\12' : 'x\\' : '\\t :",
       "HexLabel:'0x1fL\\n:' WhiteSpace:' ' CharLabel:''ab' :' WhiteSpace:' ' EscapedQuoteLabel:''\\\\'' :' "
       "WhiteSpace:' ' OctalEscapeLabel:''\\\\12' :' WhiteSpace:' ' "
       "HexCharLabel:''x\\\\' :' WhiteSpace:' ' EscapeLabel:''\\\\t :'"},
      // Numeric constants.
      {"10UL 1.5f 1e 1.e5 .5 -.5e+3 0x -0x1 07",
       "DecimalConstant:10 Identifier:UL WhiteSpace:' ' Fraction:1.5 Identifier:f WhiteSpace:' ' "
       "DecimalConstant:1 Identifier:e WhiteSpace:' ' TrailingDotExponent:1.e5 WhiteSpace:' ' LeadingDot:.5 "
       "WhiteSpace:' ' "
       "LeadingDotExponent:-.5e+3 WhiteSpace:' ' HexConstant:0x WhiteSpace:' ' DecimalConstant:-0 "
       "Identifier:x1 WhiteSpace:' ' DecimalConstant:07"},
      {"1.5e3 2. 3e-2",
       "FractionExponent:1.5e3 WhiteSpace:' ' TrailingDot:2. WhiteSpace:' ' IntegerExponent:3e-2"},
      // Character constants.
      {"'\\n'", "EscapeConstant:''\\\\n' AnyByte:'"},
      {"'x41'", "CharConstant:'x41'"},
      {"'x\\'", "HexCharConstant:''x\\\\''"},
      {"'\\x41'", "AnyByte:' AnyByte:'\\\\' Identifier:x41 AnyByte:'"},
      {"''", "AnyByte:' AnyByte:'"},
      {"'abcde' :", "AnyByte:' Identifier:abcde AnyByte:' WhiteSpace:' ' Colon::"},
      {"L'ab' L", "WideCharConstant:L'ab' WhiteSpace:' ' Identifier:L"},
      {"'\\'' '\\0' \\n",
       "EscapedQuoteConstant:''\\\\''' WhiteSpace:' ' OctalEscapeConstant:''\\\\0'' WhiteSpace:' ' "
       "BackslashEscape:'\\\\n'"},
      // String literals.
      {"\"a\\\"b\" \"C:\\\\\" \"\"",
       "String:'\"a\\\\\"b\"' WhiteSpace:' ' String:'\"C:\\\\\\\\\"' WhiteSpace:' ' String:\"\""},
      {"\"ab\\\ncd\"", "String:'\"ab\\\\\\ncd\"'"},
      {"\"abc\nx\"", "AnyByte:\" Identifier:abc WhiteSpace:'\\n' Identifier:x AnyByte:\""},
      {"'\"'", "CharConstant:'\"'"},
      // Comments carry the blanks before them.
      {"i++;   // next", "Identifier:i Increment:++ Semicolon:; LineComment:'   // next'"},
      {"\n\n// c", "LineComment:'\\n\\n// c'"},
      {"/**/ /***/ /* a **/ /**** a ****/",
       "BlockComment:/**/ BlockComment:' /***/' BlockComment:' /* a **/' BlockComment:' /**** a ****/'"},
      {"/* a /* b */ c */",
       "BlockComment:'/* a /* b */' WhiteSpace:' ' Identifier:c WhiteSpace:' ' Stars:* Slash:/"},
      {"a /* b", "Identifier:a WhiteSpace:' ' Slash:/ Stars:* WhiteSpace:' ' Identifier:b"},
      {"x;/*Line Wrapped*/", "Identifier:x Semicolon:; LineWrapMarker:'/*Line Wrapped*/'"},
      {"x; /*Line Wrapped*/", "Identifier:x Semicolon:; BlockComment:' /*Line Wrapped*/'"},
      {"\t//{{AFX_X\n//}}AFX_X", "WizardOpen:'\\t//{{AFX_X' WizardClose:'\\n//}}AFX_X'"},
      // Directives and their continuation lines.
      {"#include <x.h>\n", "Directive:'#include <x.h>' WhiteSpace:'\\n'"},
      {"#define A(x) \\\n  f(x) \\\t\n  g(x)\nx",
       "Directive:'#define A(x) \\\\' WhiteSpace:'\\n  ' DirectiveContinues:'f(x) \\\\\\t\\n' "
       "WhiteSpace:'\\n  ' DirectiveEnds:g(x) WhiteSpace:'\\n' Identifier:x"},
      // In a continuation a line that begins with "#" is a continuation line; one
      // that begins with a comment is a comment token.
      {"#if a \\\n#b\n", "Directive:'#if a \\\\' WhiteSpace:'\\n' DirectiveEnds:#b WhiteSpace:'\\n'"},
      {"#if a \\\n// c\nx\n",
       "Directive:'#if a \\\\' LineComment:'\\n// c' WhiteSpace:'\\n' DirectiveEnds:x WhiteSpace:'\\n'"},
      // Assembly blocks.
      {"x = _asmflag;", "Identifier:x WhiteSpace:' ' Assign:= WhiteSpace:' ' Asm:_asmflag;"},
      {"_asm {\n\tmov eax, 1\n\tmov eax, 1 }\n\t}\nx",
       "Asm:'_asm {' WhiteSpace:'\\n\\t' AsmBlockLine:'mov eax, 1' WhiteSpace:'\\n\\t' AsmBlockLine:'mov "
       "eax, 1 }' WhiteSpace:'\\n\\t' AsmBlockClose:} WhiteSpace:'\\n' "
       "Identifier:x"},
      {"__asm {\nmov\n}; x",
       "AsmUnderscored:'__asm {' AsmBlockNewline:'\\n' AsmBlockLine:mov AsmBlockNewline:'\\n' "
       "AsmBlockClose:} Semicolon:; WhiteSpace:' ' Identifier:x"},
      {"__asm {\n/* c */\tmov\n}",
       "AsmUnderscored:'__asm {' BlockComment:'\\n/* c */' AsmBlockTab:'\\t' AsmBlockLine:mov "
       "AsmBlockNewline:'\\n' AsmBlockClose:}"},
      // Enumeration bodies.
      {"enum { RED = 1, GREEN\nBLUE}",
       "EnumHead:'enum {' EnumText:' RED = 1, GREEN' EnumNewlines:'\\n' EnumText:BLUE EnumClose:}"},
      {"enum\n{\n  A\n};",
       "EnumHead:'enum\\n{' WhiteSpace:'\\n  ' EnumText:A EnumNewlines:'\\n' EnumClose:} Semicolon:;"},
      {"enum\t{\t\tA} name;",
       "EnumHead:'enum\\t{' EnumTabs:'\\t\\t' EnumText:A EnumClose:} WhiteSpace:' ' Identifier:name "
       "Semicolon:;"},
      {"enum{ enum  { enum Color {",
       "Enum:enum OpenBrace:{ WhiteSpace:' ' Enum:enum WhiteSpace:'  ' OpenBrace:{ WhiteSpace:' ' Enum:enum "
       "WhiteSpace:' ' Identifier:Color WhiteSpace:' ' OpenBrace:{"},
      // Rules listed before EnumText win a tie with it.
      {"enum {return\n\"s\"}", "EnumHead:'enum {' Return:return EnumNewlines:'\\n' String:\"s\" EnumClose:}"},
      // Other bytes.
      {"a\rb$@`", "Identifier:a AnyByte:'\\r' Identifier:b AnyByte:$ AnyByte:@ AnyByte:`"},
      {" \t\n x", "WhiteSpace:' \\t\\n ' Identifier:x"},
      // A NUL byte is read as byte 1: a token of its own here, part of a comment there.
      {"a\0b"sv, "Identifier:a AnyByte:'\\x00' Identifier:b"},
      {"// \0\n"sv, "LineComment:'// \\x00' WhiteSpace:'\\n'"},
      {"\xe9t\xe9", "AnyByte:'\\xe9' Identifier:t AnyByte:'\\xe9'"},
  };
  for (const auto& [input, tokens] : cases) EXPECT_EQ(Tokens(input), tokens) << Escaped(input);
}

}  // namespace
}  // namespace qfmt::testing
