# The token rules of qfmt, in priority order.
#
# One rule a line: its number, its name, the start conditions in which it is
# active, its pattern. The longest match wins; among rules that match the same
# longest text the lowest number wins. The name is the rule's identity: the
# generator makes it an enumerator (RuleId::kName, whose value is the number)
# and the action table finds each rule's action by it.
#
# A rules file that begins with "extends FILE" states another rule set as the
# rules of FILE and changes to them, in order: "define", as here; "replace NAME
# CONDITIONS PATTERN" (same place and identity); "add NAME before|after OTHER
# CONDITIONS PATTERN" (a new rule, at that place in the priority order);
# "remove NAME". Its rules have no numbers.
#
# Conditions: "all" (active in every condition), or a comma-separated list of
# INITIAL, ASM_BLOCK, ENUM_BODY and DIRECTIVE_CONT.
#
# Patterns: text in double quotes is literal (escapes \\ \" \n \t \xNN); brackets
# hold a set of bytes (ranges such as a-z, escapes \t \n \\ \xNN; a set that opens with ^
# holds every byte from 1 to 255 except those listed); {name} is a named
# sub-pattern; postfix * + ? and {m,n}; parentheses group; | separates
# alternatives; a leading ^ anchors the pattern to the beginning of a line.
# Blanks only separate elements.

define blank     [\t\n ]
define anybyte   [^\n] | "\n"
define digit     [0-9]
define octal     [0-7]
define hexdigit  [0-9A-Fa-f]
define idstart   [A-Za-z_]
define idchar    [0-9A-Za-z_]
define plain     [^\t\n'\\]
define esc       [abfnrtv]
define exponent  [Ee] [+-]? {digit}+

# Inline assembly, comments, directives, strings, keywords.
1    Asm                      all                     "_asm" [^\n]*
2    AsmUnderscored           all                     "__asm" [^\n]*
3    AsmBlockClose            ASM_BLOCK               "}"
4    AsmBlockNewline          ASM_BLOCK               "\n"
5    AsmBlockTab              ASM_BLOCK               "\t"
6    AsmBlockLine             ASM_BLOCK               [^\t\n}] [^\n]*
7    WizardOpen               all                     {blank}* "//{{AFX" [^\n]*
8    WizardClose              all                     {blank}* "//}}AFX" [^\n]*
9    LineWrapMarker           all                     "/*Line Wrapped*/"
10   BlockComment             all                     {blank}* "/*" ([^*] | "*"+ [^*/])* "*"+ "/"
11   LineComment              all                     {blank}* "//" [^\n]*
12   DirectiveContinues       DIRECTIVE_CONT          [^\n]* "\\" [\t ]* "\n"
13   DirectiveEnds            DIRECTIVE_CONT          [^\n]+
14   String                   all                     "\"" ([^"\\\n] | "\\" {anybyte})* "\""
15   Directive                all                     "#" [^\n]*
16   Break                    all                     "break"
17   Continue                 all                     "continue"
18   Do                       all                     "do"
19   Goto                     all                     "goto"
20   Return                   all                     "return"
21   CastChar                 all                     "(char)"
22   CastDouble               all                     "(double)"
23   CastFloat                all                     "(float)"
24   CastInt                  all                     "(int)"
25   CastLong                 all                     "(long)"
26   CastShort                all                     "(short)"
27   CastVoid                 all                     "(void)"
28   PrivateLabel             all                     "private" {blank}* ":"
29   PublicLabel              all                     "public" {blank}* ":"
30   ProtectedLabel           all                     "protected" {blank}* ":"
31   EnumHead                 all                     "enum" {blank} "{"
32   EnumClose                ENUM_BODY               "}"
33   EnumNewlines             ENUM_BODY               "\n"+
34   EnumTabs                 ENUM_BODY               "\t"+
35   EnumText                 ENUM_BODY               [^\t\n}]+
36   Auto                     all                     "auto"
37   Char                     all                     "char"
38   Const                    all                     "const"
39   Double                   all                     "double"
40   Enum                     all                     "enum"
41   Extern                   all                     "extern"
42   Float                    all                     "float"
43   Int                      all                     "int"
44   Long                     all                     "long"
45   Private                  all                     "private"
46   Protected                all                     "protected"
47   Public                   all                     "public"
48   Register                 all                     "register"
49   Short                    all                     "short"
50   Signed                   all                     "signed"
51   Static                   all                     "static"
52   Struct                   all                     "struct"
53   Typedef                  all                     "typedef"
54   Union                    all                     "union"
55   Unsigned                 all                     "unsigned"
56   Virtual                  all                     "virtual"
57   Void                     all                     "void"
58   Volatile                 all                     "volatile"
59   ElseBrace                all                     "else" {blank}* "{"
60   Else                     all                     "else"
61   While                    all                     "while"
62   For                      all                     "for"
63   If                       all                     "if"
64   Sizeof                   all                     "sizeof"
65   Not                      all                     "!"
66   HashHash                 all                     "##"
67   Scope                    all                     "::"
68   Question                 all                     "?"
69   Plus                     all                     "+"
70   Minus                    all                     "-"
71   Slash                    all                     "/"
72   Percent                  all                     "%"
73   ShiftLeft                all                     "<<"
74   ShiftRight               all                     ">>"
75   Less                     all                     "<"
76   LessEqual                all                     "<="
77   Greater                  all                     ">"

# Operators, brackets, labels, constants, identifiers.
78   GreaterEqual             all                     ">="
79   Equal                    all                     "=="
80   NotEqual                 all                     "!="
81   Pipe                     all                     "|"
82   Caret                    all                     "^"
83   AndAnd                   all                     "&&"
84   OrOr                     all                     "||"
85   Assign                   all                     "="
86   PlusAssign               all                     "+="
87   MinusAssign              all                     "-="
88   StarAssign               all                     "*="
89   SlashAssign              all                     "/="
90   PercentAssign            all                     "%="
91   ShiftRightAssign         all                     ">>="
92   ShiftLeftAssign          all                     "<<="
93   AndAssign                all                     "&="
94   CaretAssign              all                     "^="
95   PipeAssign               all                     "|="
96   Switch                   all                     "switch"
97   EmptyParensSemicolon     all                     "(" {blank}* ")" {blank}* ";"
98   EmptyParens              all                     "(" {blank}* ")"
99   Dot                      all                     "."
100  Arrow                    all                     "->"
101  Colon                    all                     ":"
102  OpenParen                all                     "("
103  CloseParenBrace          all                     ")" {blank}* "{"
104  CloseParenSemicolon      all                     ")" {blank}* ";"
105  CloseParenColon          all                     ")" {blank}* ":"
106  CloseParen               all                     ")"
107  OpenBrace                all                     "{"
108  Tilde                    all                     "~"
109  CloseBraceSemicolon      INITIAL,DIRECTIVE_CONT  "}" {blank}* ";"
110  CloseBrace               all                     "}"
111  Semicolon                all                     ";"
112  CaseLabel                all                     "case" [^:]* ":"
113  DefaultLabel             all                     "default" {blank}* ":"
114  DecimalLabel             all                     "-"? {digit}+ [Ll]? {blank}* ":"
115  OctalLabel               all                     "-"? "0" {octal}* [Ll]? {blank}* ":"
116  HexLabel                 all                     "0" [Xx] {hexdigit}* [Ll]? {blank}* ":"
117  CharLabel                all                     "'" {plain}{1,4} "'" {blank}* ":"
118  EscapedQuoteLabel        all                     "'\\" ["'] "'" {blank}* ":"
119  OctalEscapeLabel         all                     "'\\" {octal}{1,3} "'" {blank}* ":"
120  HexCharLabel             all                     "'x" [0-f]{1,3} "'" {blank}* ":"
121  EscapeLabel              all                     "'\\" {esc} {blank}* ":"
122  LabelLine                all                     ^ [\t ]* {idstart} {idchar}* [\t ]* ":" [\t ]* "\n"
123  Stars                    all                     "*"+
124  Increment                all                     "++"
125  Decrement                all                     "--"
126  Ampersand                all                     "&"
127  Comma                    all                     ","
128  OpenBracket              all                     "["
129  CloseBracket             all                     "]"
130  DecimalConstant          all                     "-"? {digit}+ [Ll]?
131  OctalConstant            all                     "-"? "0" {octal}* [Ll]?
132  HexConstant              all                     "0" [Xx] {hexdigit}* [Ll]?
133  CharConstant             all                     "'" {plain}{1,4} "'"
134  EscapedQuoteConstant     all                     "'\\" ["'] "'"
135  OctalEscapeConstant      all                     "'\\" {octal}{1,3} "'"
136  HexCharConstant          all                     "'x" [0-f]{1,3} "'"
137  BackslashEscape          all                     "\\" {esc}
138  EscapeConstant           all                     "'\\" {esc}
139  WideCharConstant         all                     "L'" {plain}{1,4} "'"
140  WideEscapedQuoteConstant all                     "L'\\" ["'] "'"
141  WideOctalEscapeConstant  all                     "L'\\" {octal}{1,3} "'"
142  WideHexCharConstant      all                     "L'x" [0-f]{1,3} "'"
143  WideEscapeConstant       all                     "L'\\" {esc}
144  Fraction                 all                     "-"? {digit}+ "." {digit}+
145  FractionExponent         all                     "-"? {digit}+ "." {digit}+ {exponent}
146  TrailingDot              all                     "-"? {digit}+ "."
147  TrailingDotExponent      all                     "-"? {digit}+ "." {exponent}
148  LeadingDot               all                     "-"? "." {digit}+
149  LeadingDotExponent       all                     "-"? "." {digit}+ {exponent}
150  IntegerExponent          all                     "-"? {digit}+ {exponent}
151  EndCatch                 all                     "END_CATCH"
152  EndCatchAll              all                     "END_CATCH_ALL"
153  Identifier               all                     {idstart} {idchar}*
154  WhiteSpace               all                     {blank}+
155  AnyByte                  all                     {anybyte}
