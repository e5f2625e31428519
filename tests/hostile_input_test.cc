#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "job/format.h"
#include "job/messages.h"
#include "tests/support/test_support.h"
#include "tools/invariants.h"

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

constexpr int kNoLimit = std::numeric_limits<std::int32_t>::max();

struct Formatted {
  job::FormatResult result;
  std::string output;
};

Formatted Format(std::string_view input, const GoldenOptions& options = {}) {
  Formatted formatted;
  formatted.result = job::FormatText(input, options.ToLayout(), formatted.output);
  return formatted;
}

// The properties of tools/invariants.h hold as well.
void ExpectInvariants(std::string_view input, const GoldenOptions& options = {}) {
  const tools::CheckReport report = tools::CheckInvariants(input, {options.ToLayout(), 0});
  EXPECT_EQ(report.problem, "");
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

// Closing braces drive the depth far below zero, where no indentation is
// written and the length limit grows; the opening braces bring it back.
TEST(HostileInputTest, BraceDepthFarBelowZeroAndBack) {
  constexpr std::size_t kCount = 100'000;
  const Formatted closing = Format(Repeat("}", kCount));
  EXPECT_EQ(closing.result.brace_depth, -100'000);
  EXPECT_EQ(job::BraceWarning(closing.result.brace_depth),
            "Warning: you have 100000 too many close curly braces.");

  const std::string input = Repeat("}", kCount) + Repeat("{", kCount);
  const Formatted formatted = Format(input);
  EXPECT_EQ(formatted.result.failure, scanner::ScanFailure::kNone);
  EXPECT_EQ(formatted.result.brace_depth, 0);
  EXPECT_TRUE(formatted.output == Repeat("\n}", kCount) + Repeat("\n{", kCount) + "\n");
  ExpectInvariants(input);
}

// Parentheses only space their neighbours; without a length limit the whole
// text stays on one line.
TEST(HostileInputTest, ParenthesisDepthFarFromZeroBothWays) {
  constexpr std::size_t kCount = 100'000;
  const GoldenOptions no_limit{kNoLimit, "   ", 1};
  const std::string deep = Repeat("(", kCount) + "x" + Repeat(")", kCount);
  EXPECT_TRUE(Format(deep, no_limit).output ==
              "(" + Repeat(" (", kCount - 1) + "x)" + Repeat(" )", kCount - 1) + "\n");
  ExpectInvariants(deep, no_limit);

  const std::string negative = Repeat(")", kCount) + "x" + Repeat("(", kCount);
  EXPECT_TRUE(Format(negative, no_limit).output ==
              ")" + Repeat(" )", kCount - 1) + "x(" + Repeat(" (", kCount - 1) + "\n");
  ExpectInvariants(negative);
}

// More switches open at once than the classic 256-entry switch stack held.
// Switch k (from 0) opens at depth 1 + k with k switches open: its line is
// indented 1 + 2k units, its case label one unit less than the statements
// below it (2k + 2), and its closing brace sits at the label level of the
// switch around it (2k units; the outermost one, in no switch, at 1).
TEST(HostileInputTest, ThreeHundredNestedSwitches) {
  constexpr int kSwitches = 300;
  std::string input = "void f() {\n";
  std::string expected = "void f()\n{\n";
  for (int k = 0; k < kSwitches; ++k) {
    input += "switch (x) {\ncase 1:\n";
    expected += Repeat("\t", 1 + 2 * k) + "switch(x) {\n" + Repeat("\t", 2 * k + 2) + "case 1:\n";
  }
  input += "y;\n";
  expected += Repeat("\t", 1 + 2 * kSwitches) + "y; \n";
  for (int k = kSwitches - 1; k >= 0; --k) {
    input += "}\n";
    expected += Repeat("\t", k >= 1 ? 2 * k : 1) + "}\n";
  }
  input += "}\n";
  expected += "}\n";
  const GoldenOptions tabs{kNoLimit, "\t", 1};
  const Formatted formatted = Format(input, tabs);
  EXPECT_EQ(formatted.result.brace_depth, 0);
  ExpectFormats(input, expected, tabs);
  ExpectInvariants(input, tabs);
}

TEST(HostileInputTest, EveryByteValue) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  for (const std::string& input : {all, std::string(all.rbegin(), all.rend()), all.substr(1)}) {
    ExpectInvariants(input);
    ExpectInvariants(input, {0, "\t", 0});
  }
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    ExpectInvariants(one);
    ExpectInvariants(Repeat(one, 600));
  }
  // Bytes that no rule but the default one takes are copied as they are.
  EXPECT_EQ(Format("\x01").output, "\x01\n");
  EXPECT_EQ(Format("\x7f\xff").output, "\x7f\xff\n");
  EXPECT_EQ(Format("@").output, "@\n");
}

// A NUL byte is scanned as byte 1, taken by the default rule alone and copied.
TEST(HostileInputTest, FileOfNulBytes) {
  const std::string input(1 << 20, '\0');
  const Formatted formatted = Format(input);
  EXPECT_EQ(formatted.result.failure, scanner::ScanFailure::kNone);
  EXPECT_TRUE(formatted.output == input + "\n");
  ExpectInvariants(input);
}

TEST(HostileInputTest, TenMegabytesWithoutALineFeed) {
  const std::size_t count = (10u << 20) / 11;
  const std::string input = Repeat("x = y + 1; ", count);
  EXPECT_TRUE(Format(input).output == Repeat("x = y + 1; \n", count));
  ExpectInvariants(input);
  // Words and operators that only the length limit breaks.
  ExpectInvariants(Repeat("a+", 5u << 20));
  // One blank token of 10 MB: the classic limit stops at once, the lifted
  // limit takes it whole.
  ExpectInvariants(std::string(10u << 20, ' '));
}

// Each continuation line is written at the start of its line, without the
// blanks before it; the directive is the first token, so an empty line comes
// first.
TEST(HostileInputTest, DirectiveContinuedOver10000Lines) {
  const std::string input = "#define X \\\n" + Repeat("  a \\\n", 10'000) + "  b\nint y;\n";
  const std::string expected = "\n#define X \\" + Repeat("\na \\", 10'000) + "\nb\nint y; \n";
  ExpectFormats(input, expected);
  ExpectInvariants(input);
}

// A lone carriage return is an ordinary byte: copied where it stands, with
// the line feeds of the layout after it.
TEST(HostileInputTest, CrOnlyLineEnds) {
  const std::string input = "int x;\rint y;\r";
  ExpectFormats(input, "int x; \r\nint y; \r\n");
  ExpectInvariants(input);
  ExpectInvariants(Repeat("if (a) { b; }\r", 1000));
}

TEST(HostileInputTest, FileEndsInsideAStringACommentOrADirective) {
  // The string never closes: its quote is copied, the rest scanned anew.
  ExpectFormats("s = \"abc", "s = \"abc\n");
  // Neither does the comment: "/" and "*" are operators.
  ExpectFormats("x; /* abc", "x; \n /  *abc\n");
  ExpectFormats("x; // note", "x;    // note\n");
  ExpectFormats("#define X 1", "\n#define X 1\n");
  ExpectFormats("#define X \\", "\n#define X \\\n");
  ExpectFormats("#define X \\\n  y \\", "\n#define X \\\ny \\\n");
  for (const std::string_view input :
       {"s = \"abc", "x; /* abc", "x; // note", "#define X \\", "#define X \\\n  y \\", "c = '"}) {
    ExpectInvariants(input);
  }
  // An open comment is looked for up to the end of the input: past 512 bytes
  // the classic limit stops the run, after what came before.
  const std::string long_open = "x;\n/*" + std::string(600, 'c');
  const Formatted formatted = Format(long_open);
  EXPECT_EQ(formatted.result.failure, scanner::ScanFailure::kBufferOverflow);
  EXPECT_EQ(formatted.output, "x; ");
  ExpectInvariants(long_open);
}

}  // namespace
}  // namespace qfmt::testing
