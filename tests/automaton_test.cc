#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "generated/rule_tables.h"
#include "layout/text_ops.h"
#include "scanner/condition.h"
#include "scanner/generator/rule_file.h"
#include "testing/golden_cases.h"
#include "testing/token_dump.h"
#include "tests/support/test_support.h"

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

// The rule and length of the longest match at the start of `text`: of the
// lowest rule on a tie, as the rules are listed in priority order.
std::pair<int, std::size_t> SlowLongestMatch(const std::vector<Rule>& rules, std::string_view text,
                                             Condition condition, bool at_line_start) {
  std::pair<int, std::size_t> best;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const Rule& rule = rules[i];
    if ((rule.conditions & (1u << static_cast<int>(condition))) == 0) continue;
    if (rule.anchored && !at_line_start) continue;
    const auto ends = Ends(rule.pattern, text, {0});
    if (ends.empty() || *ends.rbegin() == 0) continue;
    if (*ends.rbegin() > best.second) best = {static_cast<int>(Tables::kRules[i]), *ends.rbegin()};
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
    const auto [id, length] = SlowLongestMatch(Rules(), rest, condition, at_line_start);
    if (!tokens.empty()) tokens += ' ';
    tokens += testing::DescribeToken(id, rest.substr(0, length));
    const auto rule = static_cast<RuleId>(id);
    const bool gives_back = rule == RuleId::kDirectiveContinues || rule == RuleId::kLabelLine;
    const std::string_view kept = rest.substr(0, length - (gives_back ? 1 : 0));
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
// the plain scanner, on the golden inputs and on texts sewn together from
// random slices of them.
TEST(AutomatonTest, EngineTokensAgreeWithThePlainScanner) {
  for (const GoldenCase& c : kGoldenCases) EXPECT_EQ(Tokens(c.input), SlowTokens(c.input)) << c.name;
  std::mt19937 random(7);
  for (int i = 0; i < 4000; ++i) {
    std::string text;
    for (std::size_t slices = 1 + random() % 12; slices > 0; --slices) {
      const std::string_view input = kGoldenCases[random() % std::size(kGoldenCases)].input;
      text += input.substr(random() % (input.size() + 1), random() % 16);
    }
    ASSERT_EQ(Tokens(text), SlowTokens(text)) << "input " << Escaped(text);
  }
}

// Errors name the line. A rule set stated as another and its changes keeps
// the names and places of the rules unless moved, and its changes are checked
// against the base.
TEST(AutomatonTest, RuleFiles) {
  using scanner::rulegen::ParseRuleFile;
  const auto base = ParseRuleFile("define d [0-9]\n1 A Go all \"a\"\n2 B Stop all {d}\n3 C Go all \"c\"\n");
  ASSERT_EQ(base.error, "");
  const auto derived = ParseRuleFile(
      "extends base.lex\ndefine e {d}+\nreplace B all {e}\nadd N before A Go INITIAL \"n\"\n"
      "add M after C Stop all \"m\"\nremove A\n",
      &base);
  std::string names;
  for (const Rule& rule : derived.rules) names += rule.name + ":" + rule.action + ":" + rule.source + " ";
  EXPECT_EQ(derived.error + names, "N:Go:\"n\" B:Stop:{e} C:Go:\"c\" M:Stop:\"m\" ");
  EXPECT_EQ(scanner::rulegen::BaseFileOf("# x\n\nextends  classic.lex \nremove A\n"), "classic.lex");
  const struct {
    std::string_view text;
    bool derived;
    std::string_view error;
  } cases[] = {
      {"1 A Go all \"a\"\n3 B Go all \"b\"\n", false, "line 2: rule 3 out of order"},
      {"# c\n1 A Go NOWHERE \"a\"\n", false, "line 2: unknown start condition"},
      {"1 A Go all {nothing}\n", false, "line 1: unknown name {nothing} at column 10 of the pattern"},
      {"1 A Go all \"a\"\n2 A Go all \"b\"\n", false, "line 2: rule A named twice"},
      {"1 a Go all \"a\"\n", false,
       "line 1: expected a rule name (a capital letter, then letters and digits)"},
      // A rule without an action is refused, whether its conditions or its pattern follow.
      {"1 A all \"a\"\n", false, "line 1: expected the action of rule A before its conditions"},
      {"1 A INITIAL \"a\"\n", false, "line 1: expected the action of rule A before its conditions"},
      {"add N before A all \"n\"\n", true, "line 1: expected the action of rule N before its conditions"},
      {"replace Z all \"z\"\n", true, "line 1: no rule Z"},
      {"add B before A Go all \"b\"\n", true, "line 1: rule B named twice"},
      {"add N below A Go all \"b\"\n", true, "line 1: expected before or after"},
      {"remove A\nextends x\n", true, "line 2: extends must come first"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseRuleFile(c.text, c.derived ? &base : nullptr).error, c.error) << Escaped(c.text);
}

}  // namespace
}  // namespace qfmt::testing
