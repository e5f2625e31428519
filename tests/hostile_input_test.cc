#include <gtest/gtest.h>

#include <string>

#include "job/format.h"
#include "tests/test_support.h"

// Hostile inputs: huge, deeply nested, unterminated or odd bytes. Each expected
// text is worked out from the rules; large ones are built by the loops that
// state the pattern.
namespace qfmt::testing {
namespace {

std::string Repeat(std::string_view unit, std::size_t count) {
  std::string out;
  out.reserve(unit.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += unit;
  return out;
}

// Regression: with an empty indentation unit every line still looped over its
// depth writing nothing, so a million nested braces (4 MB of output) took hours.
// Each "{" opens a line of its own; at depth 0 the first one requests it too.
TEST(HostileInputTest, DeepBracesWithAnEmptyUnitAreNotQuadratic) {
  constexpr std::size_t kDepth = 1'000'000;
  const std::string input = Repeat("{", kDepth) + Repeat("}", kDepth);
  std::string output;
  const job::FormatResult result = job::FormatText(input, GoldenOptions{80, "", 1}.ToLayout(), output);
  EXPECT_EQ(result.failure, scanner::ScanFailure::kNone);
  EXPECT_EQ(result.brace_depth, 0);
  EXPECT_TRUE(output == Repeat("\n{", kDepth) + Repeat("\n}", kDepth) + "\n");
}

}  // namespace
}  // namespace qfmt::testing
