#include "tree/settle.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "bench/source_generator.h"
#include "tests/support/golden_cases.h"
#include "tests/support/test_support.h"

namespace qfmt::tree {
namespace {

using testing::Escaped;

// A pass given as a table from text to next text; counts its runs.
class TablePass final : public TextPass {
 public:
  explicit TablePass(std::map<std::string, std::string> next) : next_(std::move(next)) {}
  job::FormatResult Run(std::string_view input, std::string& output) override {
    ++runs;
    job::FormatResult result;
    const auto it = next_.find(std::string(input));
    if (it == next_.end()) {
      result.failure = scanner::ScanFailure::kBufferOverflow;
      result.failure_offset = 0;
      return result;
    }
    output = it->second;
    return result;
  }
  int runs = 0;

 private:
  std::map<std::string, std::string> next_;
};

// The definition, kept as simply as possible: every text of the sequence.
std::string SettleByDefinition(const std::string& input, TextPass& pass) {
  std::vector<std::string> texts{input};
  for (;;) {
    std::string next;
    EXPECT_EQ(pass.Run(texts.back(), next).failure, scanner::ScanFailure::kNone);
    for (const std::string& earlier : texts) {
      if (earlier == next) return next;
    }
    texts.push_back(std::move(next));
  }
}

TEST(SettleTest, StopsAtTheFirstRepeatedText) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> next;
    std::string expected;
    int passes;
  };
  const std::vector<Case> cases = {
      {"FixedPointAfterTwoPasses", {{"a", "b"}, {"b", "c"}, {"c", "c"}}, "c", 3},
      {"InputIsAFixedPoint", {{"a", "a"}}, "a", 1},
      // a b c b: the cycle b c is entered at b.
      {"CycleEnteredAfterOnePass", {{"a", "b"}, {"b", "c"}, {"c", "b"}}, "b", 3},
      // a text on a cycle settles to itself
      {"InputOnACycle", {{"a", "b"}, {"b", "a"}}, "a", 2},
      // a b c d e b: text b is no longer held when it comes back.
      {"LongCycleMadeAgainToCompare", {{"a", "b"}, {"b", "c"}, {"c", "d"}, {"d", "e"}, {"e", "b"}}, "b", 5},
      {"LongCycleBackToTheInput", {{"a", "b"}, {"b", "c"}, {"c", "d"}, {"d", "a"}}, "a", 4},
  };
  for (const Case& c : cases) {
    TablePass pass(c.next);
    Settler settler;
    const SettleResult result = settler.Settle("a", pass);
    EXPECT_EQ(result.status, SettleStatus::kSettled) << c.name;
    EXPECT_EQ(settler.text(), c.expected) << c.name;
    EXPECT_EQ(result.passes, c.passes) << c.name;
  }
}

// a, b, ... q, then p again: from "a" the repetition comes with pass 17,
// from "b" with pass 16.
TEST(SettleTest, GivesUpAfterTheAllowedPasses) {
  std::map<std::string, std::string> next;
  for (char c = 'a'; c < 'q'; ++c) next[std::string(1, c)] = std::string(1, static_cast<char>(c + 1));
  next["q"] = "p";
  TablePass pass(next);
  Settler settler;
  const SettleResult result = settler.Settle("a", pass);
  EXPECT_EQ(result.status, SettleStatus::kNoRepetition);
  EXPECT_EQ(result.passes, kMaxPasses);
  EXPECT_EQ(pass.runs, kMaxPasses);

  EXPECT_EQ(settler.Settle("a", pass, kMaxPasses + 1).status, SettleStatus::kSettled);
  EXPECT_EQ(settler.text(), "p");
  const SettleResult at_the_limit = settler.Settle("b", pass);
  EXPECT_EQ(at_the_limit.status, SettleStatus::kSettled);
  EXPECT_EQ(at_the_limit.passes, kMaxPasses);
}

TEST(SettleTest, OnceRunsOnePass) {
  TablePass pass({{"a", "b"}, {"b", "c"}, {"c", "c"}});
  Settler settler;
  const SettleResult result = settler.Once("a", pass);
  EXPECT_EQ(result.status, SettleStatus::kSettled);
  EXPECT_EQ(settler.text(), "b");
  EXPECT_EQ(pass.runs, 1);
}

TEST(SettleTest, FailureOfALaterPassNamesThatPass) {
  TablePass pass(std::map<std::string, std::string>{{"a", "b"}});  // no next text for "b": the pass fails
  Settler settler;
  const SettleResult result = settler.Settle("a", pass);
  EXPECT_EQ(result.status, SettleStatus::kScanFailed);
  EXPECT_EQ(result.failure, scanner::ScanFailure::kBufferOverflow);
  EXPECT_EQ(result.passes, 2);
}

// The attempt that overflows begins with the white space before the comment;
// the position skips it. Lines and columns are counted by hand.
TEST(SettleTest, TokenPositionSkipsTheWhiteSpaceTheAttemptBeganWith) {
  EXPECT_EQ(TokenPosition("a;\n\n  /* x */", 2).line, 3);
  EXPECT_EQ(TokenPosition("a;\n\n  /* x */", 2).column, 3);
  // CR LF counts as one byte of the offset and one line end.
  EXPECT_EQ(TokenPosition("a;\r\n\r\n\t/* x */", 2).line, 3);
  EXPECT_EQ(TokenPosition("a;\r\n\r\n\t/* x */", 2).column, 2);
  EXPECT_EQ(TokenPosition("ab\ncd", 4).line, 2);
  EXPECT_EQ(TokenPosition("ab\ncd", 4).column, 2);
}

TEST(SettleTest, ClassicLimitReportsTheLongCommentWhereItBegins) {
  const std::string input = "a;\n\n   /*" + std::string(1100, 'c') + "*/\nb;\n";
  ClassicPass classic({}, scanner::TokenLimit::kClassic);
  Settler settler;
  const SettleResult result = settler.Settle(input, classic);
  EXPECT_EQ(result.status, SettleStatus::kScanFailed);
  EXPECT_EQ(result.passes, 1);
  EXPECT_EQ(result.position.line, 3);
  EXPECT_EQ(result.position.column, 4);

  ClassicPass lifted({}, scanner::TokenLimit::kLifted);
  ASSERT_EQ(settler.Settle(input, lifted).status, SettleStatus::kSettled);
  EXPECT_NE(settler.text().find("/*" + std::string(1100, 'c') + "*/"), std::string_view::npos);
}

// Inputs of every kind: the golden inputs with their options, and generated
// source with the three option sets of the command line.
std::vector<std::pair<std::string, layout::LayoutOptions>> RealInputs() {
  std::vector<std::pair<std::string, layout::LayoutOptions>> inputs;
  for (const testing::GoldenCase& c : testing::kGoldenCases)
    inputs.emplace_back(c.input, c.options.ToLayout());
  const std::vector<layout::LayoutOptions> styles = {{}, {60, "\t", 0}, {100, "  ", 1}};
  for (std::uint64_t seed = 1; seed <= 6; ++seed) {
    std::string text;
    bench::GenerateSource(20000, seed, [&text](std::string_view part) { text += part; });
    inputs.emplace_back(text, styles[seed % styles.size()]);
  }
  return inputs;
}

TEST(SettleTest, RealPassesSettleAsTheDefinitionSays) {
  for (const auto& [input, options] : RealInputs()) {
    ClassicPass pass(options, scanner::TokenLimit::kLifted);
    Settler settler;
    ASSERT_EQ(settler.Settle(input, pass).status, SettleStatus::kSettled) << Escaped(input);
    const std::string settled(settler.text());
    EXPECT_EQ(settled, SettleByDefinition(input, pass)) << Escaped(input);
    // Idempotent: the settled text settles to itself.
    ASSERT_EQ(settler.Settle(settled, pass).status, SettleStatus::kSettled);
    EXPECT_EQ(settler.text(), settled) << Escaped(input);
  }
}

// A label at the start of its line is written indented, an indented one at
// the start of the line: the two texts alternate for ever.
TEST(SettleTest, AccessLabelCycleSettlesToTheTextFirstOnIt) {
  const std::string input = "class A {\npublic:\nint x;\n};\n";
  ClassicPass pass({}, scanner::TokenLimit::kLifted);
  std::string first, second, third;
  ASSERT_EQ(pass.Run(input, first).failure, scanner::ScanFailure::kNone);
  ASSERT_EQ(pass.Run(first, second).failure, scanner::ScanFailure::kNone);
  ASSERT_EQ(pass.Run(second, third).failure, scanner::ScanFailure::kNone);
  ASSERT_NE(first, second);
  ASSERT_EQ(third, first);  // the cycle: first, second, first, ...
  EXPECT_NE(first.find("   public:"), std::string::npos);
  EXPECT_NE(second.find("\npublic:"), std::string::npos);

  Settler settler;
  EXPECT_EQ(settler.Settle(input, pass).passes, 3);
  EXPECT_EQ(settler.text(), first);
  EXPECT_EQ(settler.Settle(second, pass).passes, 2);
  EXPECT_EQ(settler.text(), second);
}

}  // namespace
}  // namespace qfmt::tree
