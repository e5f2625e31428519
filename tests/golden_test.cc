#include <gtest/gtest.h>

#include <set>
#include <string>

#include "generated/rule_tables.h"
#include "job/format.h"
#include "tests/support/golden_cases.h"
#include "tests/support/repaired_golden_cases.h"
#include "tests/support/test_support.h"

namespace qfmt::testing {
namespace {

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, FormatsAsExpected) {
  const GoldenCase& c = GetParam();
  ExpectFormats(c.input, c.expected, c.options);
}

std::string CaseName(const ::testing::TestParamInfo<GoldenCase>& param_info) {
  return std::string(param_info.param.name);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, ::testing::ValuesIn(kGoldenCases), CaseName);
INSTANTIATE_TEST_SUITE_P(Repaired, GoldenTest, ::testing::ValuesIn(kRepairedCases), CaseName);

// Runs in one process share nothing: a run that ends inside open braces,
// switches, a wizard block and a condition leaves no trace in the next.
TEST(GoldenTest, RunsDoNotSeeEachOther) {
  (void)FormatToString("//{{AFX_X\nvoid f() { switch (a) { case 1: if (x(");
  ExpectFormats(kGoldenCases[0].input, kGoldenCases[0].expected, kGoldenCases[0].options);
}

// What no golden case tells apart: a tilde is punctuation, which takes the
// line break pending before it; a label outside a switch keeps the indentation
// of the statements; a ";" ends the continuation of a condition even after a
// ")" too many; an empty token (cut short at a NUL byte) is neither counted nor
// broken; the gap before an attached comment is three blanks whatever the unit.
TEST(GoldenTest, CasesThatNoGoldenCaseTellsApart) {
  ExpectFormats("x;\n~a;", "x; \n~a; \n");
  ExpectFormats("void f() {\ncase 1: x;\n}\n", "void f()\n{\n   case 1:\n   x; \n}\n");
  ExpectFormats("void f() {\nif (a)) x;\ny;\n}\n", "void f()\n{\n   if(a)\n      )x; y; \n}\n");
  ExpectFormats("enum {\0}"sv, "\nenum {}\n", kLimit0);
  ExpectFormats("x; // c", "x;    // c\n", kTabIndent);
}

class RuleSet final : public scanner::TokenObserver {
 public:
  void OnToken(int rule, std::string_view) override { rules.insert(rule); }
  std::set<int> rules;
};

// The rules of `Tables` that no run took but could, and those that the
// generator found unreachable but a run took.
template <typename Tables>
std::string Uncovered(const RuleSet& seen) {
  std::set<int> unreachable;
  for (const scanner::RuleId rule : Tables::kUnreachable) unreachable.insert(static_cast<int>(rule));
  std::string uncovered;
  for (const scanner::RuleId rule : Tables::kRules) {
    const int id = static_cast<int>(rule);
    if ((seen.rules.count(id) == 0) != (unreachable.count(id) != 0))
      uncovered += " " + std::string(scanner::kRuleNames[static_cast<std::size_t>(id)]);
  }
  return uncovered;
}

// Every rule that can take a token takes one in some golden input, and the
// rules that the generator finds unreachable take none: the classic rules
// over the classic cases, the modern ones over all cases.
TEST(GoldenTest, InputsMatchEveryReachableRule) {
  RuleSet classic;
  RuleSet modern;
  for (const GoldenCase& c : kGoldenCases) {
    std::string output;
    (void)job::FormatText(c.input, c.options.ToLayout(), output, scanner::TokenLimit::kClassic, &classic);
    GoldenOptions options = c.options;
    options.repaired = true;
    (void)job::FormatText(c.input, options.ToLayout(), output, scanner::TokenLimit::kLifted, &modern);
  }
  for (const GoldenCase& c : kRepairedCases) {
    std::string output;
    (void)job::FormatText(c.input, c.options.ToLayout(), output, scanner::TokenLimit::kLifted, &modern);
  }
  EXPECT_EQ(Uncovered<scanner::tables::Classic>(classic), "");
  EXPECT_EQ(Uncovered<scanner::tables::Modern>(modern), "");
}

}  // namespace
}  // namespace qfmt::testing
