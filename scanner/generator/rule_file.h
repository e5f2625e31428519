#pragma once

#include <bitset>
#include <string>
#include <string_view>
#include <vector>

namespace qfmt::scanner::rulegen {

// A pattern as a tree. Literal texts become concatenations of one-byte sets.
struct Pattern {
  enum class Kind { kByteSet, kConcat, kAlternation, kRepeat };

  Kind kind = Kind::kConcat;
  std::bitset<256> bytes;         // kByteSet
  std::vector<Pattern> children;  // kConcat, kAlternation; kRepeat has one
  int min = 0;                    // kRepeat
  int max = -1;                   // kRepeat; -1 means unbounded
};

struct Rule {
  int number = 0;
  unsigned conditions = 0;  // bit c set: active in condition c
  bool anchored = false;    // matches only at the beginning of a line
  Pattern pattern;
  std::string source;  // the pattern as written, for messages
};

struct RuleSet {
  std::vector<Rule> rules;  // rules[i].number == i + 1
  std::string error;        // empty on success: "line N: what is wrong"
};

// Parses the rules file. Rules must be numbered 1, 2, 3, ... in order.
[[nodiscard]] RuleSet ParseRuleFile(std::string_view text);

}  // namespace qfmt::scanner::rulegen
