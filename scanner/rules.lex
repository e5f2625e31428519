# The token rules of qfmt, in priority order.
#
# One rule a line: its number, the start conditions in which it is active, its
# pattern. The longest match wins; among rules that match the same longest text
# the lowest number wins, so the numbers are part of the rules' identity (the
# action table finds each rule's action by its number).
#
# Conditions: "all" (active in every condition), or a comma-separated list of
# INITIAL, ASM_BLOCK, ENUM_BODY and DIRECTIVE_CONT.
#
# Patterns: text in double quotes is literal (escapes \\ \" \n \t); brackets hold
# a set of bytes (ranges such as a-z, escapes \t \n \\; a set that opens with ^
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
1    all               "_asm" [^\n]*
2    all               "__asm" [^\n]*
3    ASM_BLOCK         "}"
4    ASM_BLOCK         "\n"
5    ASM_BLOCK         "\t"
6    ASM_BLOCK         [^\t\n}] [^\n]*
7    all               {blank}* "//{{AFX" [^\n]*
8    all               {blank}* "//}}AFX" [^\n]*
9    all               "/*Line Wrapped*/"
10   all               {blank}* "/*" ([^*] | "*"+ [^*/])* "*"+ "/"
11   all               {blank}* "//" [^\n]*
12   DIRECTIVE_CONT    [^\n]* "\\" [\t ]* "\n"
13   DIRECTIVE_CONT    [^\n]+
14   all               "\"" ([^"\\\n] | "\\" {anybyte})* "\""
15   all               "#" [^\n]*
16   all               "break"
17   all               "continue"
18   all               "do"
19   all               "goto"
20   all               "return"
21   all               "(char)"
22   all               "(double)"
23   all               "(float)"
24   all               "(int)"
25   all               "(long)"
26   all               "(short)"
27   all               "(void)"
28   all               "private" {blank}* ":"
29   all               "public" {blank}* ":"
30   all               "protected" {blank}* ":"
31   all               "enum" {blank} "{"
32   ENUM_BODY         "}"
33   ENUM_BODY         "\n"+
34   ENUM_BODY         "\t"+
35   ENUM_BODY         [^\t\n}]+
36   all               "auto"
37   all               "char"
38   all               "const"
39   all               "double"
40   all               "enum"
41   all               "extern"
42   all               "float"
43   all               "int"
44   all               "long"
45   all               "private"
46   all               "protected"
47   all               "public"
48   all               "register"
49   all               "short"
50   all               "signed"
51   all               "static"
52   all               "struct"
53   all               "typedef"
54   all               "union"
55   all               "unsigned"
56   all               "virtual"
57   all               "void"
58   all               "volatile"
59   all               "else" {blank}* "{"
60   all               "else"
61   all               "while"
62   all               "for"
63   all               "if"
64   all               "sizeof"
65   all               "!"
66   all               "##"
67   all               "::"
68   all               "?"
69   all               "+"
70   all               "-"
71   all               "/"
72   all               "%"
73   all               "<<"
74   all               ">>"
75   all               "<"
76   all               "<="
77   all               ">"

# Operators, brackets, labels, constants, identifiers.
78   all               ">="
79   all               "=="
80   all               "!="
81   all               "|"
82   all               "^"
83   all               "&&"
84   all               "||"
85   all               "="
86   all               "+="
87   all               "-="
88   all               "*="
89   all               "/="
90   all               "%="
91   all               ">>="
92   all               "<<="
93   all               "&="
94   all               "^="
95   all               "|="
96   all               "switch"
97   all               "(" {blank}* ")" {blank}* ";"
98   all               "(" {blank}* ")"
99   all               "."
100  all               "->"
101  all               ":"
102  all               "("
103  all               ")" {blank}* "{"
104  all               ")" {blank}* ";"
105  all               ")" {blank}* ":"
106  all               ")"
107  all               "{"
108  all               "~"
109  INITIAL,DIRECTIVE_CONT  "}" {blank}* ";"
110  all               "}"
111  all               ";"
112  all               "case" [^:]* ":"
113  all               "default" {blank}* ":"
114  all               "-"? {digit}+ [Ll]? {blank}* ":"
115  all               "-"? "0" {octal}* [Ll]? {blank}* ":"
116  all               "0" [Xx] {hexdigit}* [Ll]? {blank}* ":"
117  all               "'" {plain}{1,4} "'" {blank}* ":"
118  all               "'\\" ["'] "'" {blank}* ":"
119  all               "'\\" {octal}{1,3} "'" {blank}* ":"
120  all               "'x" [0-f]{1,3} "'" {blank}* ":"
121  all               "'\\" {esc} {blank}* ":"
122  all               ^ [\t ]* {idstart} {idchar}* [\t ]* ":" [\t ]* "\n"
123  all               "*"+
124  all               "++"
125  all               "--"
126  all               "&"
127  all               ","
128  all               "["
129  all               "]"
130  all               "-"? {digit}+ [Ll]?
131  all               "-"? "0" {octal}* [Ll]?
132  all               "0" [Xx] {hexdigit}* [Ll]?
133  all               "'" {plain}{1,4} "'"
134  all               "'\\" ["'] "'"
135  all               "'\\" {octal}{1,3} "'"
136  all               "'x" [0-f]{1,3} "'"
137  all               "\\" {esc}
138  all               "'\\" {esc}
139  all               "L'" {plain}{1,4} "'"
140  all               "L'\\" ["'] "'"
141  all               "L'\\" {octal}{1,3} "'"
142  all               "L'x" [0-f]{1,3} "'"
143  all               "L'\\" {esc}
144  all               "-"? {digit}+ "." {digit}+
145  all               "-"? {digit}+ "." {digit}+ {exponent}
146  all               "-"? {digit}+ "."
147  all               "-"? {digit}+ "." {exponent}
148  all               "-"? "." {digit}+
149  all               "-"? "." {digit}+ {exponent}
150  all               "-"? {digit}+ {exponent}
151  all               "END_CATCH"
152  all               "END_CATCH_ALL"
153  all               {idstart} {idchar}*
154  all               {blank}+
155  all               {anybyte}
