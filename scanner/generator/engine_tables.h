#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "scanner/condition.h"
#include "scanner/generator/automaton.h"

namespace qfmt::scanner::rulegen {

// The automaton laid out for the engine's inner loop. Each state is a row of
// `stride` 32-bit entries: the next state's row offset for every byte class,
// then the identity of the accepting rule (0 for none), then the offset of the state's run set
// in `run_sets` (0: the empty set). Rows are ordered so that one comparison
// finds the states that need attention: plain states first, then run states
// (states that stay the same on some bytes: identifier, blank, comment and
// string bodies), then accepting stop states, and the dead state last.
struct EngineTables {
  int rule_count = 0;
  // The identity of each rule of the set, by position; the accepting column
  // holds identities.
  std::vector<int> rule_ids;
  // The identities of the rules that never win a match: an earlier rule takes
  // every text they match.
  std::vector<int> unreachable;
  int class_count = 0;
  int state_count = 0;
  int stride = 0;
  std::array<std::uint8_t, 256> byte_class{};
  std::vector<std::uint32_t> rows;
  // 256 entries per set, 1 for the bytes on which a run state stays put; set 0
  // is empty.
  std::vector<std::array<std::uint8_t, 256>> run_sets;
  std::array<std::uint32_t, kStartStateCount + 1> start_row{};  // by start state; entry 0 unused
  std::uint32_t first_run_row = 0;
  std::uint32_t first_stop_row = 0;
  std::uint32_t dead_row = 0;
};

// `rule_ids` holds the identity of each rule of the automaton, by position.
[[nodiscard]] EngineTables LayOutForEngine(const Automaton& automaton, const ByteClasses& classes,
                                           std::vector<int> rule_ids);

}  // namespace qfmt::scanner::rulegen
