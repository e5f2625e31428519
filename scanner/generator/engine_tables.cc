#include "scanner/generator/engine_tables.h"

#include <map>

#include "platform/check.h"
#include "scanner/condition.h"

namespace qfmt::scanner::rulegen {
namespace {

enum class Kind { kPlain, kRun, kStop, kDead };

// The bytes on which a state goes back to itself.
std::array<std::uint8_t, 256> SelfLoop(const Automaton& automaton, int state) {
  std::array<std::uint8_t, 256> set{};
  for (std::size_t byte = 0; byte < 256; ++byte) {
    set[byte] = automaton.transitions[static_cast<std::size_t>(state)][byte] == state ? 1 : 0;
  }
  return set;
}

}  // namespace

EngineTables LayOutForEngine(const Automaton& automaton, const ByteClasses& classes,
                             std::vector<int> rule_ids) {
  QFMT_CHECK(rule_ids.size() == static_cast<std::size_t>(automaton.rule_count));
  EngineTables tables;
  tables.rule_count = automaton.rule_count;
  tables.rule_ids = std::move(rule_ids);
  std::vector<bool> wins(tables.rule_ids.size());
  for (const std::uint16_t rule : automaton.accept_rule) {
    if (rule != 0) wins[rule - 1U] = true;
  }
  for (std::size_t i = 0; i < wins.size(); ++i) {
    if (!wins[i]) tables.unreachable.push_back(tables.rule_ids[i]);
  }
  tables.class_count = classes.count;
  tables.state_count = automaton.state_count();
  tables.stride = classes.count + 2;
  tables.byte_class = classes.class_of;
  tables.run_sets.push_back({});

  // Kind of every state, and the run set of each run state (shared sets once).
  std::vector<Kind> kind(static_cast<std::size_t>(tables.state_count));
  std::vector<std::uint32_t> run_set(static_cast<std::size_t>(tables.state_count), 0);
  std::map<std::array<std::uint8_t, 256>, std::uint32_t> set_index;
  for (int s = 0; s < tables.state_count; ++s) {
    const auto i = static_cast<std::size_t>(s);
    if (s == 0) {
      kind[i] = Kind::kDead;
    } else if (automaton.stop[i]) {
      kind[i] = Kind::kStop;
    } else {
      const auto loop = SelfLoop(automaton, s);
      bool any = false;
      for (const auto b : loop) any = any || b != 0;
      kind[i] = any ? Kind::kRun : Kind::kPlain;
      if (any) {
        const auto [it, inserted] =
            set_index.try_emplace(loop, static_cast<std::uint32_t>(tables.run_sets.size()));
        if (inserted) tables.run_sets.push_back(loop);
        run_set[i] = it->second * 256;
      }
    }
  }

  // Physical order: plain, run, stop, dead; logical order within each kind.
  std::vector<int> physical(static_cast<std::size_t>(tables.state_count));
  int next = 0;
  for (const Kind k : {Kind::kPlain, Kind::kRun, Kind::kStop, Kind::kDead}) {
    if (k == Kind::kRun) tables.first_run_row = static_cast<std::uint32_t>(next * tables.stride);
    if (k == Kind::kStop) tables.first_stop_row = static_cast<std::uint32_t>(next * tables.stride);
    if (k == Kind::kDead) tables.dead_row = static_cast<std::uint32_t>(next * tables.stride);
    for (int s = 0; s < tables.state_count; ++s) {
      if (kind[static_cast<std::size_t>(s)] == k) physical[static_cast<std::size_t>(s)] = next++;
    }
  }
  const auto row_of = [&](int state) {
    return static_cast<std::uint32_t>(physical[static_cast<std::size_t>(state)] * tables.stride);
  };

  // One representative byte per class.
  std::vector<std::size_t> representative(static_cast<std::size_t>(classes.count));
  for (std::size_t byte = 256; byte-- > 0;) representative[classes.class_of[byte]] = byte;

  tables.rows.assign(static_cast<std::size_t>(tables.state_count * tables.stride), 0);
  for (int s = 0; s < tables.state_count; ++s) {
    const std::size_t row = row_of(s);
    for (int c = 0; c < classes.count; ++c) {
      const int target =
          automaton.transitions[static_cast<std::size_t>(s)][representative[static_cast<std::size_t>(c)]];
      tables.rows[row + static_cast<std::size_t>(c)] = row_of(target);
    }
    const std::uint16_t accepted = automaton.accept_rule[static_cast<std::size_t>(s)];
    tables.rows[row + static_cast<std::size_t>(classes.count)] =
        accepted == 0 ? 0 : static_cast<std::uint32_t>(tables.rule_ids[accepted - 1U]);
    tables.rows[row + static_cast<std::size_t>(classes.count) + 1] = run_set[static_cast<std::size_t>(s)];
  }
  for (int start = 1; start <= kStartStateCount; ++start) {
    tables.start_row[static_cast<std::size_t>(start)] = row_of(start);
  }
  return tables;
}

}  // namespace qfmt::scanner::rulegen
