#include "scanner/generator/automaton.h"

#include <algorithm>
#include <deque>
#include <map>
#include <unordered_map>

#include "platform/check.h"
#include "scanner/condition.h"

namespace qfmt::scanner::rulegen {
namespace {

constexpr int kStartStates = kStartStateCount;

// Thompson automaton over bytes 1 to 255.
struct Nfa {
  struct State {
    std::vector<int> epsilon;
    std::bitset<256> on;  // bytes of the one byte edge, if any
    int target = -1;
    int accept = 0;  // position + 1 of the rule accepted here
  };
  std::vector<State> states;

  int Add() {
    states.emplace_back();
    return static_cast<int>(states.size()) - 1;
  }

  // Adds the pattern after `from`; returns the state where it ends.
  int Build(const Pattern& p, int from) {
    switch (p.kind) {
      case Pattern::Kind::kByteSet: {
        const int to = Add();
        states[static_cast<size_t>(from)].on = p.bytes;
        states[static_cast<size_t>(from)].target = to;
        // A state holds at most one byte edge: move on through epsilon.
        return to;
      }
      case Pattern::Kind::kConcat: {
        int at = from;
        for (const Pattern& child : p.children) at = Build(child, Hop(at));
        return at;
      }
      case Pattern::Kind::kAlternation: {
        const int end = Add();
        for (const Pattern& child : p.children) {
          const int start = Add();
          Epsilon(from, start);
          Epsilon(Build(child, start), end);
        }
        return end;
      }
      case Pattern::Kind::kRepeat:
        return BuildRepeat(p, from);
    }
    return from;
  }

  int BuildRepeat(const Pattern& p, int from) {
    const Pattern& child = p.children.front();
    int at = from;
    for (int i = 0; i < p.min; ++i) at = Build(child, Hop(at));
    if (p.max < 0) {
      // Zero or more further copies: a loop through one copy.
      const int loop = Hop(at);
      const int body_end = Build(child, Hop(loop));
      Epsilon(body_end, loop);
      return loop;
    }
    const int end = Add();
    for (int i = p.min; i < p.max; ++i) {
      Epsilon(at, end);
      at = Build(child, Hop(at));
    }
    Epsilon(at, end);
    return end;
  }

  // A fresh state reached from `at` by an epsilon edge, so that every state
  // carries at most one byte edge.
  int Hop(int at) {
    const int next = Add();
    Epsilon(at, next);
    return next;
  }

  void Epsilon(int from, int to) { states[static_cast<size_t>(from)].epsilon.push_back(to); }

  // Adds to `set` (sorted on return) every state that epsilon edges reach
  // from it. `seen` is scratch of one entry per state, all false on entry and
  // on return.
  void Close(std::vector<int>& set, std::vector<bool>& seen, std::vector<int>& stack) const {
    stack = set;
    for (int s : set) seen[static_cast<size_t>(s)] = true;
    while (!stack.empty()) {
      const int s = stack.back();
      stack.pop_back();
      for (int t : states[static_cast<size_t>(s)].epsilon) {
        if (!seen[static_cast<size_t>(t)]) {
          seen[static_cast<size_t>(t)] = true;
          set.push_back(t);
          stack.push_back(t);
        }
      }
    }
    for (int s : set) seen[static_cast<size_t>(s)] = false;
    std::sort(set.begin(), set.end());
  }
};

// Bytes that every byte edge of the NFA treats alike, numbered in order of
// their first byte; byte 0 goes with byte 1.
struct NfaClasses {
  std::array<int, 256> class_of{};
  std::vector<int> representative;  // a byte of each class
};

NfaClasses ClassesOf(const Nfa& nfa) {
  std::map<std::vector<int>, int> ids;  // the edges a byte is on -> class
  NfaClasses classes;
  for (int byte = 1; byte < 256; ++byte) {
    std::vector<int> edges;
    for (size_t s = 0; s < nfa.states.size(); ++s) {
      if (nfa.states[s].target >= 0 && nfa.states[s].on.test(static_cast<size_t>(byte))) {
        edges.push_back(static_cast<int>(s));
      }
    }
    const auto [it, added] =
        ids.try_emplace(std::move(edges), static_cast<int>(classes.representative.size()));
    if (added) classes.representative.push_back(byte);
    classes.class_of[static_cast<size_t>(byte)] = it->second;
  }
  classes.class_of[0] = classes.class_of[1];
  return classes;
}

struct VectorHash {
  size_t operator()(const std::vector<int>& v) const {
    size_t h = v.size();
    for (int x : v) h = h * 1000003u ^ static_cast<size_t>(x);
    return h;
  }
};

struct Dfa {
  NfaClasses classes;
  std::vector<std::vector<int>> next;  // by state, then class
  std::vector<int> accept;
};

// Subset construction over byte classes. DFA state 0 is the empty set; 1 to 8
// are the starts. A set of states reached on a class is closed only once.
Dfa BuildSubsets(const Nfa& nfa, const std::array<std::vector<int>, kStartStates>& starts) {
  Dfa dfa;
  dfa.classes = ClassesOf(nfa);
  std::unordered_map<std::vector<int>, int, VectorHash> index;    // closed set -> state
  std::unordered_map<std::vector<int>, int, VectorHash> reached;  // set before closing -> state
  std::vector<std::vector<int>> sets;
  std::vector<bool> seen(nfa.states.size());
  std::vector<int> stack;
  auto intern = [&](std::vector<int> set) {
    nfa.Close(set, seen, stack);
    auto [it, inserted] = index.try_emplace(set, static_cast<int>(sets.size()));
    if (inserted) sets.push_back(std::move(set));
    return it->second;
  };
  sets.emplace_back();
  index.emplace(std::vector<int>{}, 0);
  // Each start state is a state of its own, even where two conditions have
  // the same rules (the modern set's DIRECTIVE_CONT is INITIAL's).
  for (std::vector<int> start : starts) {
    nfa.Close(start, seen, stack);
    index.try_emplace(start, static_cast<int>(sets.size()));
    sets.push_back(std::move(start));
  }

  const size_t class_count = dfa.classes.representative.size();
  std::vector<int> moved;
  for (size_t d = 0; d < sets.size(); ++d) {
    std::vector<int> row(class_count, 0);
    int accept = 0;
    for (int s : sets[d]) {
      const int rule = nfa.states[static_cast<size_t>(s)].accept;
      if (rule != 0 && (accept == 0 || rule < accept)) accept = rule;
    }
    for (size_t c = 0; c < class_count; ++c) {
      const auto byte = static_cast<size_t>(dfa.classes.representative[c]);
      moved.clear();
      for (int s : sets[d]) {
        const auto& state = nfa.states[static_cast<size_t>(s)];
        if (state.target >= 0 && state.on.test(byte)) moved.push_back(state.target);
      }
      if (moved.empty()) continue;
      std::sort(moved.begin(), moved.end());
      const auto known = reached.find(moved);
      if (known != reached.end()) {
        row[c] = known->second;
      } else {
        row[c] = intern(moved);
        reached.emplace(moved, row[c]);
      }
    }
    dfa.next.push_back(std::move(row));
    dfa.accept.push_back(accept);
  }
  return dfa;
}

// Moore partition refinement. Blocks start split by accepted rule, with the
// dead state and each start state in a block of its own.
std::vector<int> MinimalBlocks(const Dfa& dfa) {
  const size_t n = dfa.next.size();
  std::vector<int> block(n);
  for (size_t s = 0; s < n; ++s) {
    block[s] = s <= kStartStates ? static_cast<int>(s) : kStartStates + 1 + dfa.accept[s];
  }
  std::vector<int> key;
  for (;;) {
    std::unordered_map<std::vector<int>, int, VectorHash> ids;
    std::vector<int> refined(n);
    for (size_t s = 0; s < n; ++s) {
      key.assign(1, block[s]);
      for (int t : dfa.next[s]) key.push_back(block[static_cast<size_t>(t)]);
      refined[s] = ids.try_emplace(key, static_cast<int>(ids.size())).first->second;
    }
    std::vector<int> before(block);
    std::sort(before.begin(), before.end());
    const auto blocks_before = std::unique(before.begin(), before.end()) - before.begin();
    block = std::move(refined);
    if (static_cast<size_t>(blocks_before) == ids.size()) return block;
  }
}

}  // namespace

Automaton BuildAutomaton(const std::vector<Rule>& rules) {
  Nfa nfa;
  std::array<std::vector<int>, kStartStates> starts;
  QFMT_CHECK(rules.size() < 0xffff);
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const Rule& rule = rules[i];
    const int begin = nfa.Add();
    const int end = nfa.Build(rule.pattern, begin);
    nfa.states[static_cast<size_t>(end)].accept = static_cast<int>(i) + 1;
    for (int c = 0; c < kConditionCount; ++c) {
      if ((rule.conditions & (1u << c)) == 0) continue;
      const Condition condition = static_cast<Condition>(c);
      if (!rule.anchored) starts[static_cast<size_t>(StartState(condition, false) - 1)].push_back(begin);
      starts[static_cast<size_t>(StartState(condition, true) - 1)].push_back(begin);
    }
  }

  const Dfa dfa = BuildSubsets(nfa, starts);
  const std::vector<int> block = MinimalBlocks(dfa);

  // Number the blocks: the dead state, the starts, then breadth first.
  std::map<int, int> number;
  std::vector<size_t> representative;
  std::deque<size_t> queue;
  auto visit = [&](size_t s) {
    if (number.try_emplace(block[s], static_cast<int>(representative.size())).second) {
      representative.push_back(s);
      queue.push_back(s);
    }
  };
  for (size_t s = 0; s <= kStartStates; ++s) visit(s);
  while (!queue.empty()) {
    const size_t s = queue.front();
    queue.pop_front();
    for (int t : dfa.next[s]) visit(static_cast<size_t>(t));
  }

  // State numbers are stored in 16 bits.
  QFMT_CHECK(representative.size() <= 0x10000);
  Automaton automaton;
  automaton.rule_count = static_cast<int>(rules.size());
  for (size_t s : representative) {
    std::array<std::uint16_t, 256> row{};
    bool leads_on = false;
    for (size_t byte = 0; byte < 256; ++byte) {
      const int target =
          number.at(block[static_cast<size_t>(dfa.next[s][static_cast<size_t>(dfa.classes.class_of[byte])])]);
      row[byte] = static_cast<std::uint16_t>(target);
      leads_on = leads_on || target != 0;
    }
    automaton.transitions.push_back(row);
    automaton.accept_rule.push_back(static_cast<std::uint16_t>(dfa.accept[s]));
    automaton.stop.push_back(!leads_on);
  }
  return automaton;
}

ByteClasses ComputeByteClasses(const Automaton& automaton) {
  ByteClasses classes;
  std::map<std::vector<std::uint16_t>, int> ids;
  for (size_t byte = 0; byte < 256; ++byte) {
    std::vector<std::uint16_t> column;
    for (const auto& row : automaton.transitions) column.push_back(row[byte]);
    const auto [it, inserted] = ids.try_emplace(std::move(column), classes.count);
    if (inserted) ++classes.count;
    classes.class_of[byte] = static_cast<std::uint8_t>(it->second);
  }
  return classes;
}

}  // namespace qfmt::scanner::rulegen
