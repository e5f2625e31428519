#pragma once

#include <array>
#include <string_view>

namespace qfmt::scanner {

// Start conditions. The numbers are fixed: condition c has the automaton's
// start states 1 + 2c (mid-line) and 2 + 2c (beginning of a line).
enum class Condition : int {
  kInitial = 0,
  kAsmBlock = 1,
  kEnumBody = 2,
  kDirectiveCont = 3,
};

inline constexpr int kConditionCount = 4;
// Two start states a condition: in mid-line and at the beginning of a line.
inline constexpr int kStartStateCount = 2 * kConditionCount;

// The names the rules file uses, indexed by condition number.
inline constexpr std::array<std::string_view, kConditionCount> kConditionNames = {
    "INITIAL", "ASM_BLOCK", "ENUM_BODY", "DIRECTIVE_CONT"};

// State 0 is the dead state; the start states are 1 to 2 * kConditionCount.
constexpr int StartState(Condition condition, bool at_line_start) {
  return 1 + 2 * static_cast<int>(condition) + (at_line_start ? 1 : 0);
}

}  // namespace qfmt::scanner
