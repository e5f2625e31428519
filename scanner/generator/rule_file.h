#pragma once

#include <bitset>
#include <functional>
#include <map>
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
  std::string name;         // the rule's identity, shared by the rule sets that keep it
  std::string action;       // the RuleActions member that runs on its tokens
  unsigned conditions = 0;  // bit c set: active in condition c
  bool anchored = false;    // matches only at the beginning of a line
  Pattern pattern;
  std::string source;  // the pattern as written, for messages
};

// Rules in priority order: when two match the same longest text, the one that
// comes first wins.
struct RuleSet {
  std::vector<Rule> rules;
  std::map<std::string, Pattern, std::less<>> definitions;  // named sub-patterns
  std::string error;                                        // empty on success: "line N: what is wrong"

  // The position of the rule with that name, or -1.
  [[nodiscard]] int Find(std::string_view name) const;
};

// The file that a rules file extends: the text after "extends" on its first
// line that is neither blank nor a comment; empty for a file of its own.
[[nodiscard]] std::string_view BaseFileOf(std::string_view text);

// Parses a rules file. A file of its own numbers its rules 1, 2, 3, ... in
// order, each with its action. A file that extends `base` states its changes to
// it: new definitions, and rules replaced (same place, identity and action),
// added before or after another rule (with an action), or removed.
[[nodiscard]] RuleSet ParseRuleFile(std::string_view text, const RuleSet* base = nullptr);

// Reads and parses the rules file at `path`, and first the file it extends
// (named relative to its folder); errors name the file.
[[nodiscard]] RuleSet LoadRuleFile(const std::string& path);

}  // namespace qfmt::scanner::rulegen
