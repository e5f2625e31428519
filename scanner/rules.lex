# The token rules of qfmt, in priority order.
#
# One rule a line: its number, its name, its action, the start conditions in
# which it is active, its pattern. The longest match wins; among rules that
# match the same longest text the lowest number wins. The name is the rule's
# identity: the generator makes it an enumerator (RuleId::kName, whose value
# is the number). The action is the member of scanner::RuleActions that runs
# on the rule's tokens; the generator emits the action table from this column,
# so a rule without an action is refused, and one whose action does not exist
# does not compile.
#
# A rules file that begins with "extends FILE" states another rule set as the
# rules of FILE and changes to them, in order: "define", as here; "replace NAME
# CONDITIONS PATTERN" (same place, identity and action); "add NAME
# before|after OTHER ACTION CONDITIONS PATTERN" (a new rule, at that place in
# the priority order); "remove NAME". Its rules have no numbers.
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
1    Asm                      AsmKeyword           all                    "_asm" [^\n]*
2    AsmUnderscored           AsmKeyword           all                    "__asm" [^\n]*
3    AsmBlockClose            AsmClose             ASM_BLOCK              "}"
4    AsmBlockNewline          Drop                 ASM_BLOCK              "\n"
5    AsmBlockTab              Punct                ASM_BLOCK              "\t"
6    AsmBlockLine             AsmLine              ASM_BLOCK              [^\t\n}] [^\n]*
7    WizardOpen               WizardOpen           all                    {blank}* "//{{AFX" [^\n]*
8    WizardClose              WizardClose          all                    {blank}* "//}}AFX" [^\n]*
9    LineWrapMarker           Drop                 all                    "/*Line Wrapped*/"
10   BlockComment             Comment              all                    {blank}* "/*" ([^*] | "*"+ [^*/])* "*"+ "/"
11   LineComment              Comment              all                    {blank}* "//" [^\n]*
12   DirectiveContinues       DirectiveContinues   DIRECTIVE_CONT         [^\n]* "\\" [\t ]* "\n"
13   DirectiveEnds            DirectiveEnds        DIRECTIVE_CONT         [^\n]+
14   String                   Punct                all                    "\"" ([^"\\\n] | "\\" {anybyte})* "\""
15   Directive                Directive            all                    "#" [^\n]*
16   Break                    BreakContinue        all                    "break"
17   Continue                 BreakContinue        all                    "continue"
18   Do                       DoGotoReturn         all                    "do"
19   Goto                     DoGotoReturn         all                    "goto"
20   Return                   DoGotoReturn         all                    "return"
21   CastChar                 Word                 all                    "(char)"
22   CastDouble               Word                 all                    "(double)"
23   CastFloat                Word                 all                    "(float)"
24   CastInt                  Word                 all                    "(int)"
25   CastLong                 Word                 all                    "(long)"
26   CastShort                Word                 all                    "(short)"
27   CastVoid                 Word                 all                    "(void)"
28   PrivateLabel             AccessLabel          all                    "private" {blank}* ":"
29   PublicLabel              AccessLabel          all                    "public" {blank}* ":"
30   ProtectedLabel           AccessLabel          all                    "protected" {blank}* ":"
31   EnumHead                 EnumHead             all                    "enum" {blank} "{"
32   EnumClose                EnumClose            ENUM_BODY              "}"
33   EnumNewlines             Drop                 ENUM_BODY              "\n"+
34   EnumTabs                 Drop                 ENUM_BODY              "\t"+
35   EnumText                 EnumText             ENUM_BODY              [^\t\n}]+
36   Auto                     Keyword              all                    "auto"
37   Char                     Keyword              all                    "char"
38   Const                    Keyword              all                    "const"
39   Double                   Keyword              all                    "double"
40   Enum                     Keyword              all                    "enum"
41   Extern                   Keyword              all                    "extern"
42   Float                    Keyword              all                    "float"
43   Int                      Keyword              all                    "int"
44   Long                     Keyword              all                    "long"
45   Private                  Keyword              all                    "private"
46   Protected                Keyword              all                    "protected"
47   Public                   Keyword              all                    "public"
48   Register                 Keyword              all                    "register"
49   Short                    Keyword              all                    "short"
50   Signed                   Keyword              all                    "signed"
51   Static                   Keyword              all                    "static"
52   Struct                   Keyword              all                    "struct"
53   Typedef                  Keyword              all                    "typedef"
54   Union                    Keyword              all                    "union"
55   Unsigned                 Keyword              all                    "unsigned"
56   Virtual                  Keyword              all                    "virtual"
57   Void                     Keyword              all                    "void"
58   Volatile                 Keyword              all                    "volatile"
59   ElseBrace                ElseBrace            all                    "else" {blank}* "{"
60   Else                     Else                 all                    "else"
61   While                    LoopOrIf             all                    "while"
62   For                      LoopOrIf             all                    "for"
63   If                       LoopOrIf             all                    "if"
64   Sizeof                   Word                 all                    "sizeof"
65   Not                      Attached             all                    "!"
66   HashHash                 Attached             all                    "##"
67   Scope                    Attached             all                    "::"
68   Question                 Word                 all                    "?"
69   Plus                     SpacedOperator       all                    "+"
70   Minus                    SpacedOperator       all                    "-"
71   Slash                    SpacedOperator       all                    "/"
72   Percent                  SpacedOperator       all                    "%"
73   ShiftLeft                SpacedOperator       all                    "<<"
74   ShiftRight               SpacedOperator       all                    ">>"
75   Less                     SpacedOperator       all                    "<"
76   LessEqual                SpacedOperator       all                    "<="
77   Greater                  SpacedOperator       all                    ">"

# Operators, brackets, labels, constants, identifiers.
78   GreaterEqual             SpacedOperator       all                    ">="
79   Equal                    SpacedOperator       all                    "=="
80   NotEqual                 SpacedOperator       all                    "!="
81   Pipe                     SpacedOperator       all                    "|"
82   Caret                    SpacedOperator       all                    "^"
83   AndAnd                   SpacedOperator       all                    "&&"
84   OrOr                     SpacedOperator       all                    "||"
85   Assign                   SpacedOperator       all                    "="
86   PlusAssign               SpacedOperator       all                    "+="
87   MinusAssign              SpacedOperator       all                    "-="
88   StarAssign               SpacedOperator       all                    "*="
89   SlashAssign              SpacedOperator       all                    "/="
90   PercentAssign            SpacedOperator       all                    "%="
91   ShiftRightAssign         SpacedOperator       all                    ">>="
92   ShiftLeftAssign          SpacedOperator       all                    "<<="
93   AndAssign                SpacedOperator       all                    "&="
94   CaretAssign              SpacedOperator       all                    "^="
95   PipeAssign               SpacedOperator       all                    "|="
96   Switch                   Switch               all                    "switch"
97   EmptyParensSemicolon     EmptyParensSemicolon all                    "(" {blank}* ")" {blank}* ";"
98   EmptyParens              EmptyParens          all                    "(" {blank}* ")"
99   Dot                      Attached             all                    "."
100  Arrow                    Attached             all                    "->"
101  Colon                    Attached             all                    ":"
102  OpenParen                OpenParen            all                    "("
103  CloseParenBrace          CloseParenBrace      all                    ")" {blank}* "{"
104  CloseParenSemicolon      CloseParenSemicolon  all                    ")" {blank}* ";"
105  CloseParenColon          CloseParenColon      all                    ")" {blank}* ":"
106  CloseParen               CloseParen           all                    ")"
107  OpenBrace                OpenBrace            all                    "{"
108  Tilde                    Punct                all                    "~"
109  CloseBraceSemicolon      CloseBraceSemicolon  INITIAL,DIRECTIVE_CONT "}" {blank}* ";"
110  CloseBrace               CloseBrace           all                    "}"
111  Semicolon                Semicolon            all                    ";"
112  CaseLabel                CaseLabel            all                    "case" [^:]* ":"
113  DefaultLabel             DefaultLabel         all                    "default" {blank}* ":"
114  DecimalLabel             ConstantLabel        all                    "-"? {digit}+ [Ll]? {blank}* ":"
115  OctalLabel               ConstantLabel        all                    "-"? "0" {octal}* [Ll]? {blank}* ":"
116  HexLabel                 ConstantLabel        all                    "0" [Xx] {hexdigit}* [Ll]? {blank}* ":"
117  CharLabel                ConstantLabel        all                    "'" {plain}{1,4} "'" {blank}* ":"
118  EscapedQuoteLabel        ConstantLabel        all                    "'\\" ["'] "'" {blank}* ":"
119  OctalEscapeLabel         ConstantLabel        all                    "'\\" {octal}{1,3} "'" {blank}* ":"
120  HexCharLabel             ConstantLabel        all                    "'x" [0-f]{1,3} "'" {blank}* ":"
121  EscapeLabel              ConstantLabel        all                    "'\\" {esc} {blank}* ":"
122  LabelLine                LabelLine            all                    ^ [\t ]* {idstart} {idchar}* [\t ]* ":" [\t ]* "\n"
123  Stars                    Stars                all                    "*"+
124  Increment                Punct                all                    "++"
125  Decrement                Punct                all                    "--"
126  Ampersand                Punct                all                    "&"
127  Comma                    Comma                all                    ","
128  OpenBracket              Attached             all                    "["
129  CloseBracket             Attached             all                    "]"
130  DecimalConstant          Word                 all                    "-"? {digit}+ [Ll]?
131  OctalConstant            Word                 all                    "-"? "0" {octal}* [Ll]?
132  HexConstant              Word                 all                    "0" [Xx] {hexdigit}* [Ll]?
133  CharConstant             Word                 all                    "'" {plain}{1,4} "'"
134  EscapedQuoteConstant     Word                 all                    "'\\" ["'] "'"
135  OctalEscapeConstant      Word                 all                    "'\\" {octal}{1,3} "'"
136  HexCharConstant          Word                 all                    "'x" [0-f]{1,3} "'"
137  BackslashEscape          Word                 all                    "\\" {esc}
138  EscapeConstant           Word                 all                    "'\\" {esc}
139  WideCharConstant         Word                 all                    "L'" {plain}{1,4} "'"
140  WideEscapedQuoteConstant Word                 all                    "L'\\" ["'] "'"
141  WideOctalEscapeConstant  Word                 all                    "L'\\" {octal}{1,3} "'"
142  WideHexCharConstant      Word                 all                    "L'x" [0-f]{1,3} "'"
143  WideEscapeConstant       Word                 all                    "L'\\" {esc}
144  Fraction                 Word                 all                    "-"? {digit}+ "." {digit}+
145  FractionExponent         Word                 all                    "-"? {digit}+ "." {digit}+ {exponent}
146  TrailingDot              Word                 all                    "-"? {digit}+ "."
147  TrailingDotExponent      Word                 all                    "-"? {digit}+ "." {exponent}
148  LeadingDot               Word                 all                    "-"? "." {digit}+
149  LeadingDotExponent       Word                 all                    "-"? "." {digit}+ {exponent}
150  IntegerExponent          Word                 all                    "-"? {digit}+ {exponent}
151  EndCatch                 CatchMacro           all                    "END_CATCH"
152  EndCatchAll              CatchMacro           all                    "END_CATCH_ALL"
153  Identifier               Identifier           all                    {idstart} {idchar}*
154  WhiteSpace               Drop                 all                    {blank}+
155  AnyByte                  Echo                 all                    {anybyte}
