#include <gtest/gtest.h>

#include <string>

#include "tests/support/modern_golden_cases.h"
#include "tests/support/test_support.h"

namespace qfmt::testing {
namespace {

class ModernGoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(ModernGoldenTest, FormatsAsExpected) {
  const GoldenCase& c = GetParam();
  ExpectFormats(c.input, c.expected, c.options);
}

INSTANTIATE_TEST_SUITE_P(Cases, ModernGoldenTest, ::testing::ValuesIn(kModernCases),
                         [](const ::testing::TestParamInfo<GoldenCase>& param_info) {
                           return std::string(param_info.param.name);
                         });

}  // namespace
}  // namespace qfmt::testing
