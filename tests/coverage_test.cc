#include <gtest/gtest.h>

#include <set>
#include <string>

#include "generated/rule_tables.h"
#include "job/format.h"
#include "tests/support/golden_cases.h"
#include "tests/support/modern_golden_cases.h"
#include "tests/support/test_support.h"

namespace qfmt::testing {
namespace {

class RuleSet final : public scanner::TokenObserver {
 public:
  void OnToken(int rule, std::string_view) override { rules.insert(rule); }
  std::set<int> rules;
};

// The rules of `Tables` that can take a token and that none of the runs did,
// and those that the generator found unreachable that one did.
template <typename Tables>
std::string Uncovered(const RuleSet& seen) {
  std::set<int> unreachable;
  for (const scanner::RuleId rule : Tables::kUnreachable) unreachable.insert(static_cast<int>(rule));
  std::string uncovered;
  for (const scanner::RuleId rule : Tables::kRules) {
    const int id = static_cast<int>(rule);
    if ((seen.rules.count(id) == 0) != (unreachable.count(id) != 0)) {
      uncovered += " " + std::string(scanner::kRuleNames[static_cast<std::size_t>(id)]);
    }
  }
  return uncovered;
}

// Every rule that can take a token takes one in some golden input, and the
// rules that the generator finds unreachable take none: the classic rules
// over the classic cases, the modern ones over all cases.
TEST(CoverageTest, GoldenInputsMatchEveryReachableRule) {
  RuleSet classic;
  RuleSet modern;
  for (const GoldenCase& c : kGoldenCases) {
    std::string output;
    (void)job::FormatText(c.input, c.options.ToLayout(), output, scanner::TokenLimit::kClassic, &classic);
    GoldenOptions options = c.options;
    options.modern = true;
    (void)job::FormatText(c.input, options.ToLayout(), output, scanner::TokenLimit::kLifted, &modern);
  }
  for (const GoldenCase& c : kModernCases) {
    std::string output;
    (void)job::FormatText(c.input, c.options.ToLayout(), output, scanner::TokenLimit::kLifted, &modern);
  }
  EXPECT_EQ(Uncovered<scanner::tables::Classic>(classic), "");
  EXPECT_EQ(Uncovered<scanner::tables::Modern>(modern), "");
}

}  // namespace
}  // namespace qfmt::testing
