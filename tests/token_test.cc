#include <gtest/gtest.h>

#include "tests/support/test_support.h"

// Token streams: "rule:text", with the start conditions switched as the rule
// actions switch them. Rule 154 is white space, 153 an identifier.
namespace qfmt::testing {
namespace {

using namespace std::string_view_literals;

TEST(TokenTest, Keywords) {
  EXPECT_EQ(Tokens("int x"), "43:int 154:' ' 153:x");
  EXPECT_EQ(
      Tokens("integer int2 Int INT double do{"),
      "153:integer 154:' ' 153:int2 154:' ' 153:Int 154:' ' 153:INT 154:' ' 39:double 154:' ' 18:do 107:{");
  EXPECT_EQ(Tokens("auto char const double enum extern float int long private protected public register"),
            "36:auto 154:' ' 37:char 154:' ' 38:const 154:' ' 39:double 154:' ' 40:enum 154:' ' 41:extern "
            "154:' ' 42:float 154:' ' 43:int 154:' ' 44:long 154:' ' 45:private 154:' ' 46:protected 154:' ' "
            "47:public 154:' ' 48:register");
  EXPECT_EQ(Tokens("short signed static struct typedef union unsigned virtual void volatile"),
            "49:short 154:' ' 50:signed 154:' ' 51:static 154:' ' 52:struct 154:' ' 53:typedef 154:' ' "
            "54:union 154:' ' 55:unsigned 154:' ' 56:virtual 154:' ' 57:void 154:' ' 58:volatile");
  EXPECT_EQ(Tokens("break continue goto return sizeof switch while for if"),
            "16:break 154:' ' 17:continue 154:' ' 19:goto 154:' ' 20:return 154:' ' 64:sizeof 154:' ' "
            "96:switch 154:' ' 61:while 154:' ' 62:for 154:' ' 63:if");
  EXPECT_EQ(Tokens("END_CATCH END_CATCH_ALL END_CATCHX"),
            "151:END_CATCH 154:' ' 152:END_CATCH_ALL 154:' ' 153:END_CATCHX");
}

TEST(TokenTest, ElseTakesItsBraceAcrossBlanks) {
  EXPECT_EQ(Tokens("else {"), "59:'else {'");
  EXPECT_EQ(Tokens("else\n{"), "59:'else\\n{'");
  EXPECT_EQ(Tokens("else if"), "60:else 154:' ' 63:if");
  EXPECT_EQ(Tokens("elsewhere"), "153:elsewhere");
}

TEST(TokenTest, CastsOnlyInTheirExactForm) {
  EXPECT_EQ(Tokens("(char)(double)(float)(int)(long)(short)(void)"),
            "21:(char) 22:(double) 23:(float) 24:(int) 25:(long) 26:(short) 27:(void)");
  EXPECT_EQ(Tokens("(int)x"), "24:(int) 153:x");
  EXPECT_EQ(Tokens("(int *)x"), "102:( 43:int 154:' ' 123:* 106:) 153:x");
  EXPECT_EQ(Tokens("(unsigned)"), "102:( 55:unsigned 106:)");
}

TEST(TokenTest, AccessLabels) {
  EXPECT_EQ(Tokens("public: int x;"), "29:public: 154:' ' 43:int 154:' ' 153:x 111:;");
  EXPECT_EQ(Tokens("public : int x;"), "29:'public :' 154:' ' 43:int 154:' ' 153:x 111:;");
  EXPECT_EQ(Tokens("private\n:"), "28:'private\\n:'");
  EXPECT_EQ(Tokens("protected:x"), "30:protected: 153:x");
  EXPECT_EQ(Tokens("class D : public B"),
            "153:class 154:' ' 153:D 154:' ' 101:: 154:' ' 47:public 154:' ' 153:B");
}

TEST(TokenTest, LabelLinesOnlyInTheFirstColumn) {
  // The observer sees rule 122's token before its action gives the line feed back.
  EXPECT_EQ(Tokens("public:\nx"), "122:'public:\\n' 154:'\\n' 153:x");
  EXPECT_EQ(Tokens("  lbl :  \n"), "122:'  lbl :  \\n' 154:'\\n'");
  EXPECT_EQ(Tokens("x;\nlbl:\n"), "153:x 111:; 154:'\\n' 122:'lbl:\\n' 154:'\\n'");
  EXPECT_EQ(Tokens("x;\n  lbl:\n"), "153:x 111:; 154:'\\n  ' 153:lbl 101:: 154:'\\n'");
  EXPECT_EQ(Tokens("default: break;"), "113:default: 154:' ' 16:break 111:;");
  EXPECT_EQ(Tokens("default:\n"), "122:'default:\\n' 154:'\\n'");
}

TEST(TokenTest, OperatorsTakeTheLongestMatch) {
  EXPECT_EQ(Tokens("a+b a<=b a<<b a%b a/b a>b a>>b x?y:z A::f !p"),
            "153:a 69:+ 153:b 154:' ' 153:a 76:<= 153:b 154:' ' 153:a 73:<< 153:b 154:' ' 153:a 72:% 153:b "
            "154:' ' 153:a 71:/ 153:b 154:' ' 153:a 77:> 153:b 154:' ' 153:a 74:>> 153:b 154:' ' 153:x 68:? "
            "153:y 101:: 153:z 154:' ' 153:A 67::: 153:f 154:' ' 65:! 153:p");
  EXPECT_EQ(Tokens(">>= >> >= **= ->*"),
            "91:>>= 154:' ' 74:>> 154:' ' 78:>= 154:' ' 123:** 85:= 154:' ' 100:-> 123:*");
  EXPECT_EQ(
      Tokens("== != | ^ && || = += -= *= /= %= <<= &= ^= |= <"),
      "79:== 154:' ' 80:!= 154:' ' 81:| 154:' ' 82:^ 154:' ' 83:&& 154:' ' 84:|| 154:' ' 85:= 154:' ' "
      "86:+= 154:' ' 87:-= 154:' ' 88:*= 154:' ' 89:/= 154:' ' 90:%= 154:' ' 92:<<= 154:' ' 93:&= 154:' ' "
      "94:^= 154:' ' 95:|= 154:' ' 75:<");
  EXPECT_EQ(
      Tokens("~ ++ -- & , [ ] . -> ) ( ; { }"),
      "108:~ 154:' ' 124:++ 154:' ' 125:-- 154:' ' 126:& 154:' ' 127:, 154:' ' 128:[ 154:' ' 129:] "
      "154:' ' 99:. 154:' ' 100:-> 154:' ' 106:) 154:' ' 102:( 154:' ' 111:; 154:' ' 107:{ 154:' ' 110:}");
  // A minus sign belongs to a number only when a digit or a point and a digit follow.
  EXPECT_EQ(Tokens("i-1 a - 1"), "153:i 130:-1 154:' ' 153:a 154:' ' 70:- 154:' ' 130:1");
  // "##" is always the start of a directive line.
  EXPECT_EQ(Tokens("a ## b"), "153:a 154:' ' 15:'## b'");
}

TEST(TokenTest, BracketsJoinWhatFollowsAcrossBlanks) {
  EXPECT_EQ(Tokens("f();"), "153:f 97:();");
  EXPECT_EQ(Tokens("(\n)\n;"), "97:'(\\n)\\n;'");
  EXPECT_EQ(Tokens("(  )"), "98:'(  )'");
  EXPECT_EQ(Tokens("if (a) {"), "63:if 154:' ' 102:( 153:a 103:') {'");
  EXPECT_EQ(Tokens(")\n{ ) ; ) :"), "103:')\\n{' 154:' ' 104:') ;' 154:' ' 105:') :'");
  EXPECT_EQ(Tokens("}\n; }"), "109:'}\\n;' 154:' ' 110:}");
}

TEST(TokenTest, CaseLabelsRunToTheNextColon) {
  EXPECT_EQ(Tokens("case A::B:"), "112:'case A:' 101:: 153:B 101::");
  EXPECT_EQ(Tokens("caseCount = a ? b : c;"), "112:'caseCount = a ? b :' 154:' ' 153:c 111:;");
  EXPECT_EQ(Tokens("c ? b : d"), "153:c 154:' ' 68:? 154:' ' 153:b 154:' ' 101:: 154:' ' 153:d");
  EXPECT_EQ(Tokens("c ? 1 : 2"), "153:c 154:' ' 68:? 154:' ' 114:'1 :' 154:' ' 130:2");
  EXPECT_EQ(Tokens("0x1fL\n: 'ab' : '\\'' : '\\12' : 'x\\' : '\\t :"),
            "116:'0x1fL\\n:' 154:' ' 117:''ab' :' 154:' ' 118:''\\\\'' :' 154:' ' 119:''\\\\12' :' 154:' ' "
            "120:''x\\\\' :' 154:' ' 121:''\\\\t :'");
}

TEST(TokenTest, NumericConstants) {
  EXPECT_EQ(Tokens("10UL 1.5f 1e 1.e5 .5 -.5e+3 0x -0x1 07"),
            "130:10 153:UL 154:' ' 144:1.5 153:f 154:' ' 130:1 153:e 154:' ' 147:1.e5 154:' ' 148:.5 154:' ' "
            "149:-.5e+3 154:' ' 132:0x 154:' ' 130:-0 153:x1 154:' ' 130:07");
  EXPECT_EQ(Tokens("1.5e3 2. 3e-2"), "145:1.5e3 154:' ' 146:2. 154:' ' 150:3e-2");
}

TEST(TokenTest, CharacterConstants) {
  EXPECT_EQ(Tokens("'\\n'"), "138:''\\\\n' 155:'");
  EXPECT_EQ(Tokens("'x41'"), "133:'x41'");
  EXPECT_EQ(Tokens("'x\\'"), "136:''x\\\\''");
  EXPECT_EQ(Tokens("'\\x41'"), "155:' 155:'\\\\' 153:x41 155:'");
  EXPECT_EQ(Tokens("''"), "155:' 155:'");
  EXPECT_EQ(Tokens("'abcde'"), "155:' 153:abcde 155:'");
  EXPECT_EQ(Tokens("L'ab' L"), "139:L'ab' 154:' ' 153:L");
  EXPECT_EQ(Tokens("'\\'' '\\0' \\n"), "134:''\\\\''' 154:' ' 135:''\\\\0'' 154:' ' 137:'\\\\n'");
}

TEST(TokenTest, StringLiterals) {
  EXPECT_EQ(Tokens("\"a\\\"b\" \"C:\\\\\" \"\""),
            "14:'\"a\\\\\"b\"' 154:' ' 14:'\"C:\\\\\\\\\"' 154:' ' 14:\"\"");
  EXPECT_EQ(Tokens("\"ab\\\ncd\""), "14:'\"ab\\\\\\ncd\"'");
  EXPECT_EQ(Tokens("\"abc\nx"), "155:\" 153:abc 154:'\\n' 153:x");
  EXPECT_EQ(Tokens("'\"'"), "133:'\"'");
}

TEST(TokenTest, CommentsCarryTheBlanksBeforeThem) {
  EXPECT_EQ(Tokens("i++;   // next"), "153:i 124:++ 111:; 11:'   // next'");
  EXPECT_EQ(Tokens("\n\n// c"), "11:'\\n\\n// c'");
  EXPECT_EQ(Tokens("/**/ /***/ /* a **/ /**** a ****/"),
            "10:/**/ 10:' /***/' 10:' /* a **/' 10:' /**** a ****/'");
  EXPECT_EQ(Tokens("/* a /* b */ c */"), "10:'/* a /* b */' 154:' ' 153:c 154:' ' 123:* 71:/");
  EXPECT_EQ(Tokens("a /* b"), "153:a 154:' ' 71:/ 123:* 154:' ' 153:b");
  EXPECT_EQ(Tokens("x;/*Line Wrapped*/"), "153:x 111:; 9:'/*Line Wrapped*/'");
  EXPECT_EQ(Tokens("x; /*Line Wrapped*/"), "153:x 111:; 10:' /*Line Wrapped*/'");
  EXPECT_EQ(Tokens("\t//{{AFX_X\n//}}AFX_X"), "7:'\\t//{{AFX_X' 8:'\\n//}}AFX_X'");
}

TEST(TokenTest, DirectivesAndTheirContinuationLines) {
  EXPECT_EQ(Tokens("#include <x.h>\n"), "15:'#include <x.h>' 154:'\\n'");
  EXPECT_EQ(Tokens("#define A(x) \\\n  f(x) \\\n  g(x)\nx"),
            "15:'#define A(x) \\\\' 154:'\\n  ' 12:'f(x) \\\\\\n' 154:'\\n  ' 13:g(x) 154:'\\n' 153:x");
  // In a continuation a line that begins with "#" is a continuation line; one
  // that begins with a comment is a comment token.
  EXPECT_EQ(Tokens("#if a \\\n#b\n"), "15:'#if a \\\\' 154:'\\n' 13:#b 154:'\\n'");
  EXPECT_EQ(Tokens("#if a \\\n// c\nx\n"), "15:'#if a \\\\' 11:'\\n// c' 154:'\\n' 13:x 154:'\\n'");
}

TEST(TokenTest, AssemblyBlocks) {
  EXPECT_EQ(Tokens("x = _asmflag;"), "153:x 154:' ' 85:= 154:' ' 1:_asmflag;");
  EXPECT_EQ(Tokens("_asm {\n\tmov eax, 1\n\tmov eax, 1 }\n\t}\nx"),
            "1:'_asm {' 154:'\\n\\t' 6:'mov eax, 1' 154:'\\n\\t' 6:'mov eax, 1 }' 154:'\\n\\t' 3:} 154:'\\n' "
            "153:x");
  EXPECT_EQ(Tokens("__asm {\nmov\n}; x"), "2:'__asm {' 4:'\\n' 6:mov 4:'\\n' 3:} 111:; 154:' ' 153:x");
  EXPECT_EQ(Tokens("__asm {\n/* c */\tmov\n}"), "2:'__asm {' 10:'\\n/* c */' 5:'\\t' 6:mov 4:'\\n' 3:}");
}

TEST(TokenTest, EnumerationBodies) {
  EXPECT_EQ(Tokens("enum { RED = 1, GREEN\nBLUE}"), "31:'enum {' 35:' RED = 1, GREEN' 33:'\\n' 35:BLUE 32:}");
  EXPECT_EQ(Tokens("enum\n{\n  A\n};"), "31:'enum\\n{' 154:'\\n  ' 35:A 33:'\\n' 32:} 111:;");
  EXPECT_EQ(Tokens("enum\t{\t\tA} name;"), "31:'enum\\t{' 34:'\\t\\t' 35:A 32:} 154:' ' 153:name 111:;");
  EXPECT_EQ(Tokens("enum{ enum  { enum Color {"),
            "40:enum 107:{ 154:' ' 40:enum 154:'  ' 107:{ 154:' ' 40:enum 154:' ' 153:Color 154:' ' 107:{");
  // Rules of lower number win a tie with rule 35.
  EXPECT_EQ(Tokens("enum {return\n\"s\"}"), "31:'enum {' 20:return 33:'\\n' 14:\"s\" 32:}");
}

TEST(TokenTest, OtherBytes) {
  EXPECT_EQ(Tokens("a\rb$@`"), "153:a 155:'\\r' 153:b 155:$ 155:@ 155:`");
  EXPECT_EQ(Tokens(" \t\n x"), "154:' \\t\\n ' 153:x");
  // A NUL byte is read as byte 1: a token of its own here, part of a comment there.
  EXPECT_EQ(Tokens("a\0b"sv), "153:a 155:'\\x00' 153:b");
  EXPECT_EQ(Tokens("// \0\n"sv), "11:'// \\x00' 154:'\\n'");
  EXPECT_EQ(Tokens("\xe9t\xe9"), "155:'\\xe9' 153:t 155:'\\xe9'");
}

}  // namespace
}  // namespace qfmt::testing
