#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "testing/invariants.h"
#include "tests/support/test_support.h"

// The properties of every run (testing/invariants.h): first that the checks can
// fail, then over the golden inputs under many options and a sample of the
// system's headers. scripts/invariants.sh runs them over every header and a
// 1 GiB input.
namespace qfmt::testing {
namespace {

using layout::LineEnds;
using testing::CheckInvariants;
using testing::CheckReport;

TEST(NonBlankComparisonTest, BlanksMayMoveAndOtherBytesMayNot) {
  const struct {
    std::string_view input, output;
    LineEnds line_ends;
    bool same;
  } cases[] = {
      {"int  x;", "int x; \n", LineEnds::kLf, true},
      {"int x;", "int x\n", LineEnds::kLf, false},   // dropped
      {"a = b;", "b = a;\n", LineEnds::kLf, false},  // reordered
      {"a\vb", "ab\n", LineEnds::kLf, false},        // a vertical tab is not blank
      // The input is read with each CR LF as LF; a lone CR is a byte of the
      // text. With CR LF line ends the CR before each LF is the writer's.
      {"a\r\nb\r\n", "a\nb\n", LineEnds::kLf, true},
      {"a\rb", "ab\n", LineEnds::kLf, false},
      {"a\rb\r\n", "a\r\r\nb\r\n", LineEnds::kCrLf, true},
      {"a\rb\r\n", "a\r\nb\r\n", LineEnds::kCrLf, false},
      {"a", "a\r\n", LineEnds::kLf, false},
  };
  for (const auto& c : cases) {
    testing::NonBlankComparison comparison(c.line_ends);
    comparison.FeedInput(c.input);
    comparison.FeedOutput(c.output);
    EXPECT_EQ(comparison.Finish(), c.same) << Escaped(c.input) << " " << Escaped(c.output);
  }
  // A CR at the end of one piece of input and its LF in the next.
  testing::NonBlankComparison split(LineEnds::kLf);
  split.FeedInput("a\r");
  split.FeedInput("\nb");
  split.FeedOutput("a\nb\n");
  EXPECT_TRUE(split.Finish());
  testing::NonBlankComparison parted(LineEnds::kLf);
  parted.FeedInput("ab cd");
  parted.FeedOutput("a b\nce\n");
  EXPECT_FALSE(parted.Finish());
  EXPECT_EQ(parted.problem(), "byte 3 that is not blank: the input has d, the output e");
}

// Option sets that reach the corners: no limit, limits at and below zero and
// at the ends of 32 bits, empty, tab and long units, both brace styles.
TEST(CheckInvariantsTest, GoldenInputsUnderManyOptions) {
  for (const GoldenCase& c : kGoldenCases) {
    EXPECT_EQ(CheckInvariants(c.input, {c.options.ToLayout(), 3}).problem, "") << c.name;
    for (const int length : {80, 0, -1, 1, 20, INT32_MIN, INT32_MAX}) {
      for (const std::string_view unit : {"   ", "", "\t", "\t \t                                      "}) {
        const GoldenOptions options{length, unit,
                                    length % 2 == 0 ? lexer::BraceStyle::kAttach : lexer::BraceStyle::kBreak};
        EXPECT_EQ(CheckInvariants(c.input, {options.ToLayout(), 3}).problem, "")
            << c.name << " limit " << length << " unit " << Escaped(unit);
      }
    }
  }
}

// A NUL byte, a unit that is not blank or a line-wrap marker (which the
// runs drop, even across the 64 KiB reads) exempt a run from the check.
TEST(CheckInvariantsTest, WhatExemptsARunFromTheNonBlankCheck) {
  EXPECT_FALSE(CheckInvariants(std::string("a\0b;", 4), {}).non_blank_checked);
  EXPECT_FALSE(CheckInvariants("f() {\nx;\n}\n", {{80, "%s"}}).non_blank_checked);
  EXPECT_FALSE(CheckInvariants(std::string(65536 - 7, ';') + "/*Line Wrapped*/", {}).non_blank_checked);
  EXPECT_TRUE(CheckInvariants("a /*Line Wrapped */ b;", {}).non_blank_checked);
}

TEST(SystemHeadersTest, SampleKeepsEveryProperty) {
  int checked = 0;
  for (const fs::path& header : SystemHeaders(25)) {
    const CheckReport report = CheckInvariants(ReadFile(header), {{}, 7});
    EXPECT_EQ(report.problem, "") << header;
    checked += report.non_blank_checked ? 1 : 0;
  }
  EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace qfmt::testing
