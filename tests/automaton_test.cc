#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "generated/rule_tables.h"
#include "layout/text_ops.h"
#include "scanner/condition.h"
#include "scanner/generator/rule_file.h"
#include "tests/support/golden_cases.h"
#include "tests/support/test_support.h"
#include "tools/token_dump.h"

// The generated automaton against a plain, slow matcher that applies the
// patterns of the rules file directly: longest match, lowest rule on a tie.
namespace qfmt::testing {
namespace {

using scanner::Condition;
using scanner::RuleId;
using scanner::rulegen::Pattern;
using scanner::rulegen::Rule;
using Tables = scanner::tables::Classic;

unsigned char ScannedByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte == 0 ? 1 : byte;  // NUL is read as byte 1
}

// The positions at which `p` can end when it starts at any of `starts`.
std::set<std::size_t> Ends(const Pattern& p, std::string_view text, const std::set<std::size_t>& starts) {
  std::set<std::size_t> ends;
  switch (p.kind) {
    case Pattern::Kind::kByteSet:
      for (const std::size_t s : starts) {
        if (s < text.size() && p.bytes.test(ScannedByte(text[s]))) ends.insert(s + 1);
      }
      return ends;
    case Pattern::Kind::kConcat: {
      std::set<std::size_t> at = starts;
      for (const Pattern& child : p.children) at = Ends(child, text, at);
      return at;
    }
    case Pattern::Kind::kAlternation:
      for (const Pattern& child : p.children) {
        const auto child_ends = Ends(child, text, starts);
        ends.insert(child_ends.begin(), child_ends.end());
      }
      return ends;
    case Pattern::Kind::kRepeat: {
      std::set<std::size_t> at = starts;
      for (int i = 0; i < p.min; ++i) at = Ends(p.children.front(), text, at);
      ends = at;
      for (int i = p.min; p.max < 0 || i < p.max; ++i) {
        std::set<std::size_t> next;
        for (const std::size_t e : Ends(p.children.front(), text, at)) {
          if (ends.insert(e).second) next.insert(e);
        }
        if (next.empty()) break;
        at = next;
      }
      return ends;
    }
  }
  return ends;
}

struct Match {
  int rule = 0;
  std::size_t length = 0;
  bool operator==(const Match&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Match& m) {
  return out << "rule " << m.rule << " length " << m.length;
}

template <typename Tables>
Match SlowLongestMatch(const std::vector<Rule>& rules, std::string_view text, Condition condition,
                       bool at_line_start) {
  Match best;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const Rule& rule = rules[i];
    if ((rule.conditions & (1u << static_cast<int>(condition))) == 0) continue;
    if (rule.anchored && !at_line_start) continue;
    const auto ends = Ends(rule.pattern, text, {0});
    if (ends.empty() || *ends.rbegin() == 0) continue;
    if (*ends.rbegin() > best.length) best = {static_cast<int>(Tables::kRules[i]), *ends.rbegin()};
  }
  return best;
}

// The automaton walked one byte at a time until a stop state or the end.
template <typename Tables>
Match TableLongestMatch(std::string_view text, Condition condition, bool at_line_start) {
  Match best;
  std::uint32_t row =
      Tables::kStartRow[static_cast<std::size_t>(scanner::StartState(condition, at_line_start))];
  for (std::size_t i = 0; i < text.size(); ++i) {
    row = Tables::kRows[row + Tables::kByteClass[static_cast<unsigned char>(text[i])]];
    if (Tables::kRows[row + Tables::kAcceptColumn] != 0) {
      best = {static_cast<int>(Tables::kRows[row + Tables::kAcceptColumn]), i + 1};
    }
    if (row >= Tables::kFirstStopRow) break;
  }
  return best;
}

std::vector<Rule> LoadRules(const std::string& path) {
  auto parsed = scanner::rulegen::LoadRuleFile(path);
  EXPECT_EQ(parsed.error, "");
  return parsed.rules;
}

const std::vector<Rule>& Rules() {
  static const std::vector<Rule> rules = LoadRules(QFMT_RULES_FILE);
  return rules;
}

const std::vector<Rule>& ModernRules() {
  static const std::vector<Rule> rules = LoadRules(QFMT_MODERN_RULES_FILE);
  return rules;
}

// Both rule sets' automata against the slow matcher, in every start state.
void ExpectSameMatches(std::string_view text) {
  for (int c = 0; c < scanner::kConditionCount; ++c) {
    for (const bool at_line_start : {false, true}) {
      const auto condition = static_cast<Condition>(c);
      ASSERT_EQ(TableLongestMatch<Tables>(text, condition, at_line_start),
                SlowLongestMatch<Tables>(Rules(), text, condition, at_line_start))
          << "text " << Escaped(text) << ", condition " << c << ", line start " << at_line_start;
      using Modern = scanner::tables::Modern;
      ASSERT_EQ(TableLongestMatch<Modern>(text, condition, at_line_start),
                SlowLongestMatch<Modern>(ModernRules(), text, condition, at_line_start))
          << "modern rules, text " << Escaped(text) << ", condition " << c << ", line start "
          << at_line_start;
    }
  }
}

// The token stream of a plain scanner: the slow matcher's longest match at
// each position, with the start conditions and give-backs of the actions.
std::string SlowTokens(std::string_view raw) {
  std::string input;  // as read: CR LF becomes LF
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\r' || i + 1 == raw.size() || raw[i + 1] != '\n') input += raw[i];
  }
  std::string tokens;
  Condition condition = Condition::kInitial;
  bool at_line_start = true;
  std::size_t pos = 0;
  while (pos < input.size()) {
    const std::string_view rest = std::string_view(input).substr(pos);
    const Match match = SlowLongestMatch<Tables>(Rules(), rest, condition, at_line_start);
    if (!tokens.empty()) tokens += ' ';
    tokens += tools::DescribeToken(match.rule, rest.substr(0, match.length));
    const auto rule = static_cast<RuleId>(match.rule);
    const bool gives_back = rule == RuleId::kDirectiveContinues || rule == RuleId::kLabelLine;
    const std::string_view kept = rest.substr(0, match.length - (gives_back ? 1 : 0));
    const std::string_view text = kept.substr(0, kept.find('\0'));  // as the actions see it
    switch (rule) {
      case RuleId::kAsm:
      case RuleId::kAsmUnderscored:
        if (text.find('{') != std::string_view::npos) condition = Condition::kAsmBlock;
        break;
      case RuleId::kDirective:
        if (layout::EndsWithBackslash(text)) condition = Condition::kDirectiveCont;
        break;
      case RuleId::kEnumHead:
        condition = Condition::kEnumBody;
        break;
      case RuleId::kAsmBlockClose:
      case RuleId::kDirectiveEnds:
      case RuleId::kEnumClose:
        condition = Condition::kInitial;
        break;
      default:
        break;
    }
    at_line_start = kept.back() == '\n';
    pos += kept.size();
  }
  return tokens;
}

// The engine (runs, back-up, give-back, conditions, buffer refills) against
// the plain scanner.
TEST(AutomatonTest, EngineTokensAgreeWithThePlainScanner) {
  for (const GoldenCase& c : kGoldenCases) {
    EXPECT_EQ(Tokens(c.input), SlowTokens(c.input)) << c.name;
  }
  const std::vector<std::string_view> pieces = {"a",       "x1",
                                                "_",       "case",
                                                "default", "else",
                                                "enum",    "public",
                                                "_asm",    "{",
                                                "}",       ";",
                                                ":",       " ",
                                                "  ",      "\t",
                                                "\n",      "\n\n",
                                                "/*",      "*/",
                                                "//",      "#",
                                                "\\",      "\"",
                                                "'",       "(",
                                                ")",       ",",
                                                "0",       "-",
                                                ".",       "*",
                                                "=",       std::string_view("\0", 1),
                                                "\r",      "\xe9",
                                                "//{{AFX", "/*Line Wrapped*/",
                                                "L'"};
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
  std::uniform_int_distribution<int> count(1, 30);
  for (int i = 0; i < 1500; ++i) {
    std::string text;
    for (int n = count(random); n > 0; --n) text += pieces[piece(random)];
    ASSERT_EQ(Tokens(text), SlowTokens(text)) << "input " << Escaped(text);
  }
}

TEST(AutomatonTest, AgreesWithSlowMatcherOnRandomTexts) {
  const std::vector<std::string_view> pieces = {"a",       "x",
                                                "_",       "L",
                                                "e",       "E",
                                                "0",       "1",
                                                "7",       "f",
                                                "9.",      ".5",
                                                "case",    "default",
                                                "else",    "enum",
                                                "int",     "public",
                                                "private", "_asm",
                                                "__asm",   "END_CATCH",
                                                "_ALL",    " ",
                                                "\t",      "\n",
                                                "\r",      std::string_view("\0", 1),
                                                "\x01",    "\xff",
                                                "'",       "\"",
                                                "\\",      "/",
                                                "*",       "#",
                                                "{",       "}",
                                                "(",       ")",
                                                ";",       ":",
                                                ",",       ".",
                                                "-",       "+",
                                                "<",       ">",
                                                "=",       "!",
                                                "&",       "|",
                                                "^",       "%",
                                                "?",       "~",
                                                "[",       "]",
                                                "$",       "//{{AFX",
                                                "//}}AFX", "/*Line Wrapped*/",
                                                "0x",      "'\\",
                                                "L'",      "*/",
                                                "/*",      "//",
                                                "e+",      "R\"x(",
                                                ")x\"",    "<=>",
                                                "->*",     "...",
                                                "1'0",     "\\\n",
                                                "u8",      "\xc3\xa9"};
  std::mt19937 random(20261205);
  std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
  std::uniform_int_distribution<int> count(1, 10);
  for (int i = 0; i < 6000; ++i) {
    std::string text;
    for (int n = count(random); n > 0; --n) text += pieces[piece(random)];
    ExpectSameMatches(text);
    if (HasFatalFailure()) return;
  }
}

TEST(AutomatonTest, AgreesWithSlowMatcherOnGoldenInputs) {
  for (const GoldenCase& c : kGoldenCases) {
    for (std::size_t start = 0; start < c.input.size(); ++start) {
      ExpectSameMatches(c.input.substr(start, 48));
      if (HasFatalFailure()) return;
    }
  }
}

TEST(AutomatonTest, TablesHaveTheEngineProperties) {
  constexpr std::uint32_t kStride = Tables::kStride;
  constexpr std::uint32_t kRowCount = Tables::kStateCount;
  EXPECT_EQ(Tables::kByteClass[0], Tables::kByteClass[1]);
  EXPECT_EQ(Tables::kDeadRow, (kRowCount - 1) * kStride);
  EXPECT_EQ(Tables::kRows[Tables::kDeadRow + Tables::kAcceptColumn], 0u);
  const auto next = [](std::uint32_t row, int c) {
    return Tables::kRows[row + static_cast<std::uint32_t>(c)];
  };
  // Start states are distinct and can always read on.
  std::set<std::uint32_t> starts(std::begin(Tables::kStartRow) + 1, std::end(Tables::kStartRow));
  EXPECT_EQ(starts.size(), 8u);
  for (const std::uint32_t start : starts) EXPECT_LT(start, Tables::kFirstStopRow);
  // Stop rows are exactly those with no way on but to the dead state; every
  // other row can still reach an accepting row; run rows loop on their set.
  std::vector<bool> reaches_accept(kRowCount);
  for (std::uint32_t i = 0; i < kRowCount; ++i) {
    reaches_accept[i] = Tables::kRows[i * kStride + Tables::kAcceptColumn] != 0;
  }
  for (bool changed = true; changed;) {
    changed = false;
    for (std::uint32_t i = 0; i < kRowCount; ++i) {
      for (int c = 0; c < Tables::kClassCount && !reaches_accept[i]; ++c) {
        if (reaches_accept[next(i * kStride, c) / kStride]) changed = reaches_accept[i] = true;
      }
    }
  }
  for (std::uint32_t row = 0; row < kRowCount * kStride; row += kStride) {
    bool leads_on = false;
    for (int c = 0; c < Tables::kClassCount; ++c) leads_on = leads_on || next(row, c) != Tables::kDeadRow;
    EXPECT_EQ(row >= Tables::kFirstStopRow, !leads_on) << "row " << row;
    EXPECT_TRUE(row == Tables::kDeadRow || reaches_accept[row / kStride]) << "row " << row;
    const std::uint32_t run_set = Tables::kRows[row + Tables::kRunSetColumn];
    EXPECT_EQ(run_set != 0, row >= Tables::kFirstRunRow && row < Tables::kFirstStopRow) << "row " << row;
    for (int byte = 0; byte < 256; ++byte) {
      const bool stays = next(row, Tables::kByteClass[static_cast<std::size_t>(byte)]) == row;
      EXPECT_EQ(Tables::kRunSets[run_set + static_cast<std::uint32_t>(byte)] != 0, stays && run_set != 0)
          << "row " << row << " byte " << byte;
    }
  }
}

TEST(AutomatonTest, RuleFileErrorsNameTheLine) {
  using scanner::rulegen::ParseRuleFile;
  const struct {
    std::string_view text;
    std::string_view error;
  } cases[] = {
      {"1 A all \"a\"\n3 B all \"b\"\n", "line 2: rule 3 out of order"},
      {"# c\n1 A NOWHERE \"a\"\n", "line 2: unknown start condition"},
      {"1 A all {nothing}\n", "line 1: unknown name {nothing} at column 10 of the pattern"},
      {"1 A all \"a\n", "line 1: unterminated literal at column 3 of the pattern"},
      {"1 A all \"a\"\n2 A all \"b\"\n", "line 2: rule A named twice"},
      {"1 a all \"a\"\n", "line 1: expected a rule name (a capital letter, then letters and digits)"},
      {"", "line 0: no rules"},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseRuleFile(c.text).error, c.error) << Escaped(c.text);
}

// A rule set stated as another and its changes: the rules keep their names
// and places unless moved, and the changes are checked against the base.
TEST(AutomatonTest, DerivedRuleSetAppliesItsChanges) {
  using scanner::rulegen::ParseRuleFile;
  const auto base = ParseRuleFile("define d [0-9]\n1 A all \"a\"\n2 B all {d}\n3 C all \"c\"\n");
  ASSERT_EQ(base.error, "");
  const auto names = [](const scanner::rulegen::RuleSet& set) {
    std::string out;
    for (const Rule& rule : set.rules) out += rule.name + ":" + rule.source + " ";
    return out;
  };
  const auto derived = ParseRuleFile(
      "extends base.lex\ndefine e {d}+\nreplace B all {e}\nadd N before A INITIAL \"n\"\n"
      "add M after C all \"m\"\nremove A\n",
      &base);
  EXPECT_EQ(derived.error, "");
  EXPECT_EQ(names(derived), "N:\"n\" B:{e} C:\"c\" M:\"m\" ");
  EXPECT_EQ(ParseRuleFile("replace Z all \"z\"\n", &base).error, "line 1: no rule Z");
  EXPECT_EQ(ParseRuleFile("add B before A all \"b\"\n", &base).error, "line 1: rule B named twice");
  EXPECT_EQ(ParseRuleFile("add N below A all \"b\"\n", &base).error, "line 1: expected before or after");
  EXPECT_EQ(ParseRuleFile("remove A\nextends x\n", &base).error, "line 2: extends must come first");
  EXPECT_EQ(scanner::rulegen::BaseFileOf("# x\n\nextends  classic.lex \nremove A\n"), "classic.lex");
}

}  // namespace
}  // namespace qfmt::testing
