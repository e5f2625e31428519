#include <gtest/gtest.h>

#include <set>
#include <string>

#include "job/format.h"
#include "rule_tables.h"
#include "tests/golden_cases.h"
#include "tests/test_support.h"

namespace qfmt::testing {
namespace {

class RuleSet final : public scanner::TokenObserver {
 public:
  void OnToken(int rule, std::string_view) override { rules.insert(rule); }
  std::set<int> rules;
};

// Rules that never take a token: rule 15 takes every "##" (66), rule 114 every
// text of rule 115, rule 130 every text of rule 131.
const std::set<int> kUnreachable = {66, 115, 131};

TEST(CoverageTest, GoldenInputsMatchEveryReachableRule) {
  RuleSet seen;
  for (const GoldenCase& c : kGoldenCases) {
    std::string output;
    (void)job::FormatText(c.input, c.options.ToLayout(), output, scanner::TokenLimit::kClassic, &seen);
  }
  std::string missing;
  for (int rule = 1; rule <= scanner::tables::kRuleCount; ++rule) {
    if (seen.rules.count(rule) == 0 && kUnreachable.count(rule) == 0) missing += " " + std::to_string(rule);
  }
  EXPECT_EQ(missing, "") << "rules that no golden input matches";
  for (const int rule : kUnreachable) EXPECT_EQ(seen.rules.count(rule), 0u) << rule;
}

}  // namespace
}  // namespace qfmt::testing
