#include "format/settle.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

// Settling, by the sequence of texts it sees: each pass is given by the
// sequence of its texts, or is the classic pass on real inputs. Every case
// runs twice: with the real fingerprint, and with one under which all texts
// collide, so that every text is compared byte for byte, made again from the
// input when it is no longer held.
namespace qfmt::format {
namespace {

// A pass over one-letter texts: "abcb" takes a to b, b to c and c to b. A
// text that it does not take anywhere stops the pass with an overflow.
struct LetterPass final : TextPass {
  explicit LetterPass(std::string_view sequence) {
    for (std::size_t i = 0; i + 1 < sequence.size(); ++i) next[sequence[i]] = sequence[i + 1];
  }
  job::FormatResult Run(std::string_view input, std::string& output) override {
    if (input.size() != 1 || next.count(input[0]) == 0)
      return {std::string(scanner::FailureMessage(scanner::ScanFailure::kBufferOverflow)), 0};
    output.assign(1, next[input[0]]);
    return {};
  }
  std::map<char, char> next;
};

Settler::Fingerprint AllCollide(std::string_view) { return {}; }

// The definition, kept as simple as possible: every text of the sequence.
std::string SettleByDefinition(const std::string& input, TextPass& pass) {
  std::vector<std::string> texts{input};
  for (;;) {
    std::string next;
    EXPECT_EQ(pass.Run(texts.back(), next).status.message(), "");
    for (const std::string& earlier : texts) {
      if (earlier == next) return next;
    }
    texts.push_back(std::move(next));
  }
}

// "b 3": settled to b after 3 passes; "none 16": no repetition within 16;
// "failed 2": the second pass failed.
std::string Settle(Settler& settler, std::string_view sequence, std::string_view input,
                   int passes = kMaxPasses) {
  LetterPass pass(sequence);
  const SettleResult result = settler.Settle(input, pass, passes);
  const std::string count = std::to_string(result.passes);
  return result.status.ok()  ? std::string(settler.text()) + " " + count
         : result.long_token ? "failed " + count
                             : "none " + count;
}

TEST(SettleTest, StopsAtTheFirstRepeatedText) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"abcc", "c 3"},    // a fixed point after two passes
      {"aa", "a 1"},      // the input is a fixed point
      {"abcb", "b 3"},    // a cycle entered after one pass
      {"aba", "a 2"},     // the input is on a cycle
      {"abcdeb", "b 5"},  // b is no longer held when it comes back
      {"abcda", "a 4"},  {"abcdefghijklmnopqp", "none 16"}, {"ab", "failed 2"},
  };
  for (const Settler::FingerprintFunction fingerprint : {&Settler::SizeAndHash, &AllCollide}) {
    Settler settler(fingerprint);
    for (const auto& [sequence, result] : cases)
      EXPECT_EQ(Settle(settler, sequence, "a"), result) << sequence;
    // From b the repetition comes with the last pass allowed, from a with one more.
    EXPECT_EQ(Settle(settler, "abcdefghijklmnopqp", "b"), "p 16");
    EXPECT_EQ(Settle(settler, "abcdefghijklmnopqp", "a", kMaxPasses + 1), "p 17");
  }
}

TEST(SettleTest, RealPassesSettleAsTheDefinitionSays) {
  std::vector<std::pair<std::string, layout::LayoutOptions>> inputs;
  for (const testing::GoldenCase& c : testing::kGoldenCases)
    inputs.emplace_back(c.input, c.options.ToLayout());
  for (const Settler::FingerprintFunction fingerprint : {&Settler::SizeAndHash, &AllCollide}) {
    for (const auto& [input, options] : inputs) {
      ClassicPass pass(options, scanner::TokenLimit::kLifted);
      Settler settler(fingerprint);
      ASSERT_EQ(settler.Settle(input, pass).status.message(), "") << testing::Escaped(input);
      const std::string settled(settler.text());
      EXPECT_EQ(settled, SettleByDefinition(input, pass)) << testing::Escaped(input);
      // The settled text settles to itself.
      ASSERT_EQ(settler.Settle(settled, pass).status.message(), "");
      EXPECT_EQ(settler.text(), settled) << testing::Escaped(input);
    }
  }
}

// The attempt that overflows begins with the white space before the token;
// the position skips it. Lines and columns are counted by hand.
TEST(SettleTest, TokenPositionSkipsTheWhiteSpaceTheAttemptBeganWith) {
  const auto position = [](std::string_view text, std::int64_t offset) {
    const platform::TextPosition at = TokenPosition(text, offset);
    return std::to_string(at.line) + ":" + std::to_string(at.column);
  };
  EXPECT_EQ(position("a;\n\n  /* x */", 2), "3:3");
  EXPECT_EQ(position("a;\r\n\r\n\t/* x */", 2), "3:2");  // CR LF is one byte of the offset
  EXPECT_EQ(position("ab\ncd", 4), "2:2");
}

}  // namespace
}  // namespace qfmt::format
