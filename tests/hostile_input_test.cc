#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "job/format.h"
#include "testing/invariants.h"
#include "tests/support/test_support.h"

// Hostile inputs: huge, deeply nested, unterminated or odd bytes. Each expected
// text is worked out from the rules (large ones built by the loops that state
// the pattern), and every input keeps the properties of testing/invariants.h.
namespace qfmt::testing {
namespace {

struct HostileCase {
  std::string name;
  std::string input;
  std::string expected;  // empty: only the properties are checked
  GoldenOptions options = {};
};

constexpr GoldenOptions kNoLimit{std::numeric_limits<std::int32_t>::max()};
constexpr GoldenOptions kEmptyUnit{80, ""};

// More switches open at once than the classic 256-entry switch stack held.
// Switch k (from 0) opens at depth 1 + k with k switches open: its line is
// indented 1 + 2k units, its case label one unit less than the statements
// below it (2k + 2), and its closing brace sits at the label level of the
// switch around it (2k units; the outermost one, in no switch, at 1).
HostileCase NestedSwitches(int count) {
  HostileCase c{
      "ThreeHundredNestedSwitches", "void f() {\n", "void f()\n{\n", {kNoLimit.max_line_length, "\t"}};
  for (int k = 0; k < count; ++k) {
    c.input += "switch (x) {\ncase 1:\n";
    c.expected += Repeat("\t", 1 + 2 * k) + "switch(x) {\n" + Repeat("\t", 2 * k + 2) + "case 1:\n";
  }
  c.input += "y;\n";
  c.expected += Repeat("\t", 1 + 2 * count) + "y; \n";
  for (int k = count - 1; k >= 0; --k) {
    c.input += "}\n";
    c.expected += Repeat("\t", k >= 1 ? 2 * k : 1) + "}\n";
  }
  c.input += "}\n";
  c.expected += "}\n";
  return c;
}

std::vector<HostileCase> HostileCases() {
  constexpr std::size_t kMillion = 1'000'000, kCount = 100'000, kLines = (10u << 20) / 11;
  std::vector<HostileCase> cases = {
      // Regression: with an empty unit every line still looped over its depth,
      // so a million nested braces took hours. Each "{" opens a line of its
      // own; at depth 0 the first one requests it too.
      {"MillionBracesWithAnEmptyUnit", Repeat("{", kMillion) + Repeat("}", kMillion),
       Repeat("\n{", kMillion) + Repeat("\n}", kMillion) + "\n", kEmptyUnit},
      // Closing braces drive the depth far below zero, where no indentation is
      // written and the length limit grows; the opening braces bring it back.
      {"BraceDepthFarBelowZeroAndBack", Repeat("}", kCount) + Repeat("{", kCount),
       Repeat("\n}", kCount) + Repeat("\n{", kCount) + "\n"},
      // Parentheses only space their neighbours; without a length limit the
      // whole text stays on one line.
      {"DeepParentheses", Repeat("(", kCount) + "x" + Repeat(")", kCount),
       "(" + Repeat(" (", kCount - 1) + "x)" + Repeat(" )", kCount - 1) + "\n", kNoLimit},
      {"ParenthesisDepthBelowZero", Repeat(")", kCount) + "x" + Repeat("(", kCount),
       ")" + Repeat(" )", kCount - 1) + "x(" + Repeat(" (", kCount - 1) + "\n", kNoLimit},
      NestedSwitches(300),
      // A NUL byte is scanned as byte 1, taken by the default rule alone and copied.
      {"MegabyteOfNulBytes", std::string(1 << 20, '\0'), std::string(1 << 20, '\0') + "\n"},
      {"TenMegabytesWithoutALineFeed", Repeat("x = y + 1; ", kLines), Repeat("x = y + 1; \n", kLines)},
      // The classic limit stops at once, the lifted limit takes it whole.
      {"TenMegabytesOfBlanks", std::string(10u << 20, ' '), ""},
      // Each continuation line is written at the start of its line, without
      // the blanks before it; the directive is the first token, so an empty
      // line comes first.
      {"DirectiveContinuedOver10000Lines", "#define X \\\n" + Repeat("  a \\\n", 10'000) + "  b\nint y;\n",
       "\n#define X \\" + Repeat("\na \\", 10'000) + "\nb\nint y; \n"},
      // A lone CR is an ordinary byte, copied with the layout's line feeds after it.
      {"CrOnlyLineEnds", "int x;\rint y;\r", "int x; \r\nint y; \r\n"},
      // Files that end inside a string (its quote is copied, the rest scanned
      // anew), a comment ("/" and "*" are operators) or a directive.
      {"EndInsideAString", "s = \"abc", "s = \"abc\n"},
      {"EndInsideABlockComment", "x; /* abc", "x; \n /  *abc\n"},
      {"EndInsideALineComment", "x; // note", "x;    // note\n"},
      {"EndInsideADirective", "#define X 1", "\n#define X 1\n"},
      {"EndAfterABackslash", "#define X \\", "\n#define X \\\n"},
      {"EndAfterAContinuedBackslash", "#define X \\\n  y \\", "\n#define X \\\ny \\\n"},
      {"EndInsideACharacter", "c = '", ""},
      {"EndInsideALongComment", "x;\n/*" + std::string(600, 'c'), ""},
      // Bytes that no rule but the default one takes are copied as they are.
      {"BytesOfTheDefaultRule", "\x01\x7f\xff@", "\x01\x7f\xff@\n"},
  };
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  for (const std::string& input : {all, std::string(all.rbegin(), all.rend()), all.substr(1)}) {
    cases.push_back({"EveryByteValue", input, ""});
    cases.push_back({"EveryByteValue", input, "", {0, "\t", lexer::BraceStyle::kBreak}});
  }
  for (int b = 0; b < 256; ++b) {
    cases.push_back({"Byte" + std::to_string(b), std::string(1, static_cast<char>(b)), ""});
    cases.push_back({"Byte" + std::to_string(b), std::string(600, static_cast<char>(b)), ""});
  }
  return cases;
}

TEST(HostileInputTest, FormatsAsWorkedOutAndKeepsEveryProperty) {
  for (const HostileCase& c : HostileCases()) {
    if (!c.expected.empty()) {
      std::string output;
      EXPECT_EQ(job::FormatText(c.input, c.options.ToLayout(), output).status.message(), "") << c.name;
      EXPECT_TRUE(output == c.expected) << c.name << ": " << Escaped(output.substr(0, 200));
    }
    EXPECT_EQ(testing::CheckInvariants(c.input, {c.options.ToLayout(), 0}).problem, "") << c.name;
  }
}

}  // namespace
}  // namespace qfmt::testing
