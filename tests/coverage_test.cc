#include <gtest/gtest.h>

#include <set>
#include <string>

#include "generated/rule_tables.h"
#include "job/format.h"
#include "tests/support/golden_cases.h"
#include "tests/support/test_support.h"

namespace qfmt::testing {
namespace {

class RuleSet final : public scanner::TokenObserver {
 public:
  void OnToken(int rule, std::string_view) override { rules.insert(rule); }
  std::set<int> rules;
};

// Every rule that can take a token takes one in some golden input, and the
// rules that the generator finds unreachable take none.
TEST(CoverageTest, GoldenInputsMatchEveryReachableRule) {
  using Tables = scanner::tables::Classic;
  RuleSet seen;
  for (const GoldenCase& c : kGoldenCases) {
    std::string output;
    (void)job::FormatText(c.input, c.options.ToLayout(), output, scanner::TokenLimit::kClassic, &seen);
  }
  std::set<int> unreachable;
  for (const scanner::RuleId rule : Tables::kUnreachable) unreachable.insert(static_cast<int>(rule));
  std::string missing;
  for (const scanner::RuleId rule : Tables::kRules) {
    const int id = static_cast<int>(rule);
    if (seen.rules.count(id) == 0 && unreachable.count(id) == 0) {
      missing += " " + std::string(scanner::kRuleNames[static_cast<std::size_t>(id)]);
    }
  }
  EXPECT_EQ(missing, "") << "rules that no golden input matches";
  for (const int rule : unreachable) EXPECT_EQ(seen.rules.count(rule), 0u) << rule;
}

}  // namespace
}  // namespace qfmt::testing
