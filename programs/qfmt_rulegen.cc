// qfmt-rulegen: compiles rules files into the scanner's constant tables.
//
//   qfmt-rulegen OUTPUT_FOLDER NAME=RULES_FILE...
//
// It writes three headers into OUTPUT_FOLDER: rule_ids.h, the rule identities
// and names that every user of the scanner may include; rule_actions.h, the
// action of every rule, for the rule actions; and rule_tables.h, the large
// tables that only the engine needs, where each NAME=RULES_FILE becomes the
// struct tables::NAME. A rule keeps one identity, and one action, in every
// set: the rules of the first file are numbered as that file numbers them, and
// a rule that a later file adds takes the next free number.

#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "scanner/generator/automaton.h"
#include "scanner/generator/engine_tables.h"
#include "scanner/generator/rule_file.h"
#include "scanner/generator/table_writer.h"

namespace {

// Writes one generated header; false, after a message, when it cannot.
bool WriteHeader(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (out) return true;
  std::cerr << path << ": error: cannot write the generated header\n";
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qfmt::scanner::rulegen;
  if (argc < 3) {
    std::cerr << "usage: qfmt-rulegen OUTPUT_FOLDER NAME=RULES_FILE...\n";
    return 64;
  }
  std::vector<std::string> rule_names = {"EndOfInput"};
  std::vector<std::string> actions = {""};
  std::map<std::string, int> ids;
  std::vector<NamedTables> sets;
  for (int i = 2; i < argc; ++i) {
    const std::string argument = argv[i];
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) {
      std::cerr << "qfmt-rulegen: expected NAME=RULES_FILE, not '" << argument << "'\n";
      return 64;
    }
    const std::string path = argument.substr(equals + 1);
    const RuleSet rule_set = LoadRuleFile(path);
    if (!rule_set.error.empty()) {
      std::cerr << rule_set.error << '\n';
      return 1;
    }
    std::vector<int> rule_ids;
    for (const Rule& rule : rule_set.rules) {
      const auto [it, added] = ids.try_emplace(rule.name, static_cast<int>(rule_names.size()));
      if (added) {
        rule_names.push_back(rule.name);
        actions.push_back(rule.action);
      } else if (actions[static_cast<std::size_t>(it->second)] != rule.action) {
        std::cerr << path << ": error: rule " << rule.name << " has the action " << rule.action
                  << " here and " << actions[static_cast<std::size_t>(it->second)] << " in an earlier set\n";
        return 1;
      }
      rule_ids.push_back(it->second);
    }
    const Automaton automaton = BuildAutomaton(rule_set.rules);
    sets.push_back({argument.substr(0, equals), path.substr(path.find_last_of('/') + 1),
                    LayOutForEngine(automaton, ComputeByteClasses(automaton), std::move(rule_ids))});
  }

  const std::string folder = std::string(argv[1]) + "/";
  const bool written = WriteHeader(folder + "rule_ids.h", WriteRuleIds(rule_names, sets)) &&
                       WriteHeader(folder + "rule_actions.h", WriteRuleActions(rule_names, actions, sets)) &&
                       WriteHeader(folder + "rule_tables.h", WriteTables(rule_names, sets));
  return written ? 0 : 1;
}
