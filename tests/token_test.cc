#include <gtest/gtest.h>

#include "tests/support/test_support.h"

// Token streams: "rule:text", with the start conditions switched as the rule
// actions switch them. Rule 154 is white space, 153 an identifier.
namespace qfmt::testing {
namespace {

using namespace std::string_view_literals;

// Every family of rules, by the token streams of short inputs.
TEST(TokenTest, StreamsByFamily) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      // Keywords.
      {"integer int2 Int INT double do{",
       "153:integer 154:' ' 153:int2 154:' ' 153:Int 154:' ' 153:INT 154:' ' 39:double 154:' ' 18:do 107:{"},
      {"END_CATCH END_CATCH_ALL END_CATCHX",
       "151:END_CATCH 154:' ' 152:END_CATCH_ALL 154:' ' 153:END_CATCHX"},
      // Else takes its brace across blanks.
      {"else {", "59:'else {'"},
      {"else\n{", "59:'else\\n{'"},
      {"else if", "60:else 154:' ' 63:if"},
      {"elsewhere", "153:elsewhere"},
      // Casts only in their exact form.
      {"(int)x", "24:(int) 153:x"},
      {"(int *)x", "102:( 43:int 154:' ' 123:* 106:) 153:x"},
      {"(unsigned)", "102:( 55:unsigned 106:)"},
      // Access labels.
      {"public: int x;", "29:public: 154:' ' 43:int 154:' ' 153:x 111:;"},
      {"public : int x;", "29:'public :' 154:' ' 43:int 154:' ' 153:x 111:;"},
      {"private\n:", "28:'private\\n:'"},
      {"protected:x", "30:protected: 153:x"},
      {"class D : public B", "153:class 154:' ' 153:D 154:' ' 101:: 154:' ' 47:public 154:' ' 153:B"},
      // Label lines only in the first column.
      // The observer sees rule 122's token before its action gives the line feed back.
      {"public:\nx", "122:'public:\\n' 154:'\\n' 153:x"},
      {"  lbl :  \n", "122:'  lbl :  \\n' 154:'\\n'"},
      {"x;\nlbl:\n", "153:x 111:; 154:'\\n' 122:'lbl:\\n' 154:'\\n'"},
      {"x;\n  lbl:\n", "153:x 111:; 154:'\\n  ' 153:lbl 101:: 154:'\\n'"},
      {"default: break;", "113:default: 154:' ' 16:break 111:;"},
      {"default:\n", "122:'default:\\n' 154:'\\n'"},
      // Operators take the longest match.
      {">>= >> >= **= ->*", "91:>>= 154:' ' 74:>> 154:' ' 78:>= 154:' ' 123:** 85:= 154:' ' 100:-> 123:*"},
      // A minus sign belongs to a number only when a digit or a point and a digit follow.
      {"i-1 a - 1", "153:i 130:-1 154:' ' 153:a 154:' ' 70:- 154:' ' 130:1"},
      // "##" is always the start of a directive line.
      {"a ## b", "153:a 154:' ' 15:'## b'"},
      // Brackets join what follows across blanks.
      {"f();", "153:f 97:();"},
      {"(\n)\n;", "97:'(\\n)\\n;'"},
      {"(  )", "98:'(  )'"},
      {"if (a) {", "63:if 154:' ' 102:( 153:a 103:') {'"},
      {")\n{ ) ; ) :", "103:')\\n{' 154:' ' 104:') ;' 154:' ' 105:') :'"},
      {"}\n; }", "109:'}\\n;' 154:' ' 110:}"},
      // Case labels run to the next colon.
      {"case A::B:", "112:'case A:' 101:: 153:B 101::"},
      {"case A\n: x", "112:'case A\\n:' 154:' ' 153:x"},
      {"caseCount = a ? b : c;", "112:'caseCount = a ? b :' 154:' ' 153:c 111:;"},
      {"c ? b : d", "153:c 154:' ' 68:? 154:' ' 153:b 154:' ' 101:: 154:' ' 153:d"},
      {"c ? 1 : 2", "153:c 154:' ' 68:? 154:' ' 114:'1 :' 154:' ' 130:2"},
      {"0x1fL\n: 'ab' : '\\'' : '\\12' : 'x\\' : '\\t :",
       "116:'0x1fL\\n:' 154:' ' 117:''ab' :' 154:' ' 118:''\\\\'' :' 154:' ' 119:''\\\\12' :' 154:' ' "
       "120:''x\\\\' :' 154:' ' 121:''\\\\t :'"},
      // Numeric constants.
      {"10UL 1.5f 1e 1.e5 .5 -.5e+3 0x -0x1 07",
       "130:10 153:UL 154:' ' 144:1.5 153:f 154:' ' 130:1 153:e 154:' ' 147:1.e5 154:' ' 148:.5 154:' ' "
       "149:-.5e+3 154:' ' 132:0x 154:' ' 130:-0 153:x1 154:' ' 130:07"},
      {"1.5e3 2. 3e-2", "145:1.5e3 154:' ' 146:2. 154:' ' 150:3e-2"},
      // Character constants.
      {"'\\n'", "138:''\\\\n' 155:'"},
      {"'x41'", "133:'x41'"},
      {"'x\\'", "136:''x\\\\''"},
      {"'\\x41'", "155:' 155:'\\\\' 153:x41 155:'"},
      {"''", "155:' 155:'"},
      {"'abcde' :", "155:' 153:abcde 155:' 154:' ' 101::"},
      {"L'ab' L", "139:L'ab' 154:' ' 153:L"},
      {"'\\'' '\\0' \\n", "134:''\\\\''' 154:' ' 135:''\\\\0'' 154:' ' 137:'\\\\n'"},
      // String literals.
      {"\"a\\\"b\" \"C:\\\\\" \"\"", "14:'\"a\\\\\"b\"' 154:' ' 14:'\"C:\\\\\\\\\"' 154:' ' 14:\"\""},
      {"\"ab\\\ncd\"", "14:'\"ab\\\\\\ncd\"'"},
      {"\"abc\nx\"", "155:\" 153:abc 154:'\\n' 153:x 155:\""},
      {"'\"'", "133:'\"'"},
      // Comments carry the blanks before them.
      {"i++;   // next", "153:i 124:++ 111:; 11:'   // next'"},
      {"\n\n// c", "11:'\\n\\n// c'"},
      {"/**/ /***/ /* a **/ /**** a ****/", "10:/**/ 10:' /***/' 10:' /* a **/' 10:' /**** a ****/'"},
      {"/* a /* b */ c */", "10:'/* a /* b */' 154:' ' 153:c 154:' ' 123:* 71:/"},
      {"a /* b", "153:a 154:' ' 71:/ 123:* 154:' ' 153:b"},
      {"x;/*Line Wrapped*/", "153:x 111:; 9:'/*Line Wrapped*/'"},
      {"x; /*Line Wrapped*/", "153:x 111:; 10:' /*Line Wrapped*/'"},
      {"\t//{{AFX_X\n//}}AFX_X", "7:'\\t//{{AFX_X' 8:'\\n//}}AFX_X'"},
      // Directives and their continuation lines.
      {"#include <x.h>\n", "15:'#include <x.h>' 154:'\\n'"},
      {"#define A(x) \\\n  f(x) \\\t\n  g(x)\nx",
       "15:'#define A(x) \\\\' 154:'\\n  ' 12:'f(x) \\\\\\t\\n' 154:'\\n  ' 13:g(x) 154:'\\n' 153:x"},
      // In a continuation a line that begins with "#" is a continuation line; one
      // that begins with a comment is a comment token.
      {"#if a \\\n#b\n", "15:'#if a \\\\' 154:'\\n' 13:#b 154:'\\n'"},
      {"#if a \\\n// c\nx\n", "15:'#if a \\\\' 11:'\\n// c' 154:'\\n' 13:x 154:'\\n'"},
      // Assembly blocks.
      {"x = _asmflag;", "153:x 154:' ' 85:= 154:' ' 1:_asmflag;"},
      {"_asm {\n\tmov eax, 1\n\tmov eax, 1 }\n\t}\nx",
       "1:'_asm {' 154:'\\n\\t' 6:'mov eax, 1' 154:'\\n\\t' 6:'mov eax, 1 }' 154:'\\n\\t' 3:} 154:'\\n' "
       "153:x"},
      {"__asm {\nmov\n}; x", "2:'__asm {' 4:'\\n' 6:mov 4:'\\n' 3:} 111:; 154:' ' 153:x"},
      {"__asm {\n/* c */\tmov\n}", "2:'__asm {' 10:'\\n/* c */' 5:'\\t' 6:mov 4:'\\n' 3:}"},
      // Enumeration bodies.
      {"enum { RED = 1, GREEN\nBLUE}", "31:'enum {' 35:' RED = 1, GREEN' 33:'\\n' 35:BLUE 32:}"},
      {"enum\n{\n  A\n};", "31:'enum\\n{' 154:'\\n  ' 35:A 33:'\\n' 32:} 111:;"},
      {"enum\t{\t\tA} name;", "31:'enum\\t{' 34:'\\t\\t' 35:A 32:} 154:' ' 153:name 111:;"},
      {"enum{ enum  { enum Color {",
       "40:enum 107:{ 154:' ' 40:enum 154:'  ' 107:{ 154:' ' 40:enum 154:' ' 153:Color 154:' ' 107:{"},
      // Rules of lower number win a tie with rule 35.
      {"enum {return\n\"s\"}", "31:'enum {' 20:return 33:'\\n' 14:\"s\" 32:}"},
      // Other bytes.
      {"a\rb$@`", "153:a 155:'\\r' 153:b 155:$ 155:@ 155:`"},
      {" \t\n x", "154:' \\t\\n ' 153:x"},
      // A NUL byte is read as byte 1: a token of its own here, part of a comment there.
      {"a\0b"sv, "153:a 155:'\\x00' 153:b"},
      {"// \0\n"sv, "11:'// \\x00' 154:'\\n'"},
      {"\xe9t\xe9", "155:'\\xe9' 153:t 155:'\\xe9'"},
  };
  for (const auto& [input, tokens] : cases) EXPECT_EQ(Tokens(input), tokens) << Escaped(input);
}

}  // namespace
}  // namespace qfmt::testing
