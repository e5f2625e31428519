# The modern rule set of qfmt-tree: the classic rules with every way in which
# they split, join or cut the code's preprocessing tokens repaired. Every token
# of C and C++ is one scanner token here (numbers, literals with their prefixes
# and suffixes, names with $ and UTF-8, <=> ->* .* ...), and every rule that
# runs to the end of a line (directives, comments, inline assembly) ends where
# the line really ends: after a block comment that crosses it, and after the
# lines that splices join to it. Raw string literals are taken whole by their
# rule's action.

extends rules.lex

define hex        [0-9A-Fa-f]
define ucn        "\\u" {hex}{4,4} | "\\U" {hex}{8,8}
define namestart  [A-Za-z_$\x80-\xff] | {ucn}
define namechar   [0-9A-Za-z_$\x80-\xff] | {ucn}
define name       {namestart} {namechar}*
define ppnumber   "."? {digit} ({namechar} | "'" {namechar} | [EePp] [+-] | ".")*
define intnumber  {digit} ({namechar} | "'" {namechar})*
define encoding   "u8" | "u" | "U" | "L"
define charlit    {encoding}? "'" ([^'\\\n] | "\\" {anybyte})+ "'" {name}?
define stringlit  {encoding}? "\"" ([^"\\\n] | "\\" {anybyte})* "\"" {name}?
define comment    "/*" ([^*] | "*"+ [^*/])* "*"+ "/"
define splice     "\\" [\t ]* "\n"
define linepiece  [^\n"'] | {comment} | {stringlit} | {charlit}
# A quote that opens no literal: the rest of its line, only ever last.
define openquote  ["'] ([^\n\\] | "\\" [^\n] | {splice} | "\\")*
define linerest   {linepiece}* (["'] [^\n]*)?
define logical    ({linepiece} | {splice})* {openquote}?
define linecomment "//" ([^\n\\] | "\\" [^\n] | {splice} | "\\")*

replace Asm                  all          "_asm" {linerest}
replace AsmUnderscored       all          "__asm" {linerest}
replace LineComment          all          {blank}* {linecomment}
replace String               all          {stringlit}
add     RawString before String  RawString  all  {encoding}? "R\"" [^ ()\\\t\n]{0,16} "("
replace Directive            all          ("#" | "%:") {logical}
# A directive's continuation lines are its own: the rules for them go.
remove  DirectiveContinues
remove  DirectiveEnds
# Enumeration text stops at quotes and slashes, so that literals and comments
# are tokens of their own rules (a "}" or tab inside them stays there), and
# neither begins nor ends with blanks (they are white space, or the comment's).
define enumchar   [^\t\n}"'/ ]
replace EnumText             ENUM_BODY    {enumchar} ([^\t\n}"'/]* {enumchar})?
add     Spaceship before LessEqual  SpacedOperator  all  "<=>"
# A case label: the word case (not the start of a longer name) up to its
# colon; comments and literals on the way are taken whole, so that a colon in
# them does not end it.
define casepiece  "/" [^:'"/*] | "::" | {comment} | {linecomment} | {charlit} | {stringlit}
replace CaseLabel            all          "case" ([^:'"/0-9A-Za-z_$\x80-\xff] | {casepiece}) ([^:'"/] | {casepiece})* ":"
add     ArrowStar before Arrow  Attached  all  "->*"
add     Ellipsis before Dot  Attached  all  "..."
add     DotStar before Dot  Attached  all  ".*"
replace DecimalLabel         all          "-"? {intnumber} {blank}* ":"
remove  OctalLabel
remove  HexLabel
replace CharLabel            all          {charlit} {blank}* ":"
remove  EscapedQuoteLabel
remove  OctalEscapeLabel
remove  HexCharLabel
remove  EscapeLabel
replace LabelLine            all          ^ [\t ]* {name} [\t ]* ":" [\t ]* "\n"
replace DecimalConstant      all          "-"? {ppnumber}
remove  OctalConstant
remove  HexConstant
replace CharConstant         all          {charlit}
remove  EscapedQuoteConstant
remove  OctalEscapeConstant
remove  HexCharConstant
remove  EscapeConstant
remove  WideCharConstant
remove  WideEscapedQuoteConstant
remove  WideOctalEscapeConstant
remove  WideHexCharConstant
remove  WideEscapeConstant
remove  Fraction
remove  FractionExponent
remove  TrailingDot
remove  TrailingDotExponent
remove  LeadingDot
remove  LeadingDotExponent
remove  IntegerExponent
replace Identifier           all          {name}
replace WhiteSpace           all          ({blank} | {splice})+
# A literal that its line ends before it is closed runs to the end of the
# line, as compilers read it; its action gives the line end back.
add     UnterminatedLiteral before AnyByte  UnterminatedLiteral  all  {encoding}? ("'" ([^'\\\n] | "\\" {anybyte})* | "\"" ([^"\\\n] | "\\" {anybyte})*) "\n"
