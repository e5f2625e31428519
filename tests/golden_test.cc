#include <gtest/gtest.h>

#include <string>

#include "tests/support/golden_cases.h"
#include "tests/support/modern_golden_cases.h"
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
INSTANTIATE_TEST_SUITE_P(Modern, GoldenTest, ::testing::ValuesIn(kModernCases), CaseName);

// Runs in one process share nothing: a run that ends inside open braces,
// switches, a wizard block and a condition leaves no trace in the next.
TEST(GoldenTest, RunsDoNotSeeEachOther) {
  const std::string unbalanced = "//{{AFX_X\nvoid f() { switch (a) { case 1: if (x(";
  (void)FormatToString(unbalanced);
  ExpectFormats("int x;\n", "int x; \n");
  const GoldenCase& first = kGoldenCases[0];
  ExpectFormats(first.input, first.expected, first.options);
}

}  // namespace
}  // namespace qfmt::testing
