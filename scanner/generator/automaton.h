#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "scanner/generator/rule_file.h"

namespace qfmt::scanner::rulegen {

// The deterministic automaton of a rule set, in the shape the engine needs:
// state 0 is the dead state; states 1 to 8 are the start states (1 + 2c for
// condition c in mid-line, 2 + 2c at the beginning of a line, where the anchored
// rules are active too); every state has a transition for every byte (a NUL
// byte behaves as byte 1); accept_rule holds the lowest-numbered rule whose
// pattern matches the bytes read so far (0 for none); a stop state is the dead
// state or an accepting state from which every byte leads to the dead state.
// Rules are known by their position in the set plus one, which is also their
// priority (the lower wins).
struct Automaton {
  int rule_count = 0;
  std::vector<std::array<std::uint16_t, 256>> transitions;  // by state, then byte
  std::vector<std::uint16_t> accept_rule;
  std::vector<bool> stop;

  int state_count() const { return static_cast<int>(transitions.size()); }
};

// Builds the minimal automaton for the rules (subset construction, then
// partition refinement that keeps the eight start states apart). The result
// depends only on the rules: state numbers follow a breadth-first walk from
// the start states in byte order.
[[nodiscard]] Automaton BuildAutomaton(const std::vector<Rule>& rules);

// Byte equivalence classes: bytes with identical transitions in every state
// share a class. Classes are numbered in order of their first byte; byte 0
// shares the class of byte 1.
struct ByteClasses {
  std::array<std::uint8_t, 256> class_of{};
  int count = 0;
};

[[nodiscard]] ByteClasses ComputeByteClasses(const Automaton& automaton);

}  // namespace qfmt::scanner::rulegen
