#include <gtest/gtest.h>

#include <set>
#include <string>

#include "generated/rule_tables.h"
#include "job/format.h"
#include "tests/support/golden_cases.h"
#include "tests/support/test_support.h"

namespace qfmt::testing {
namespace {

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, FormatsAsExpected) {
  const GoldenCase& c = GetParam();
  ExpectFormats(c.input, c.expected, c.options);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, ::testing::ValuesIn(kGoldenCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

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

// Every rule that can take a token takes one in some golden input, and the
// rules that the generator finds unreachable take none.
TEST(GoldenTest, InputsMatchEveryReachableRule) {
  struct : scanner::TokenObserver {
    void OnToken(int rule, std::string_view) override { rules.insert(rule); }
    std::set<int> rules;
  } seen;
  for (const GoldenCase& c : kGoldenCases) {
    std::string output;
    (void)job::FormatText(c.input, c.options.ToLayout(), output, scanner::TokenLimit::kClassic, &seen);
  }
  using Tables = scanner::tables::Classic;
  std::string missing;
  for (const scanner::RuleId rule : Tables::kRules) {
    if (seen.rules.count(static_cast<int>(rule)) == 0)
      missing += " " + std::string(scanner::kRuleNames[static_cast<std::size_t>(rule)]);
  }
  std::string unreachable;
  for (const scanner::RuleId rule : Tables::kUnreachable)
    unreachable += " " + std::string(scanner::kRuleNames[static_cast<std::size_t>(rule)]);
  EXPECT_EQ(missing, unreachable) << "rules that no golden input matches";
}

}  // namespace
}  // namespace qfmt::testing
