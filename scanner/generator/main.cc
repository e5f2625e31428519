// qfmt-rulegen: compiles the rules file into the scanner's constant tables.
//
//   qfmt-rulegen RULES_FILE OUTPUT_HEADER

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "scanner/generator/automaton.h"
#include "scanner/generator/engine_tables.h"
#include "scanner/generator/rule_file.h"
#include "scanner/generator/table_writer.h"

int main(int argc, char** argv) {
  using namespace qfmt::scanner::rulegen;
  if (argc != 3) {
    std::cerr << "usage: qfmt-rulegen RULES_FILE OUTPUT_HEADER\n";
    return 64;
  }
  const std::string rules_path = argv[1];
  std::ifstream in(rules_path, std::ios::binary);
  if (!in) {
    std::cerr << rules_path << ": error: cannot read the rules file\n";
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();

  const RuleSet rule_set = ParseRuleFile(text.str());
  if (!rule_set.error.empty()) {
    std::cerr << rules_path << ": error: " << rule_set.error << '\n';
    return 1;
  }
  const Automaton automaton = BuildAutomaton(rule_set.rules);
  const std::string source_name = rules_path.substr(rules_path.find_last_of('/') + 1);
  const std::string header =
      WriteTables(LayOutForEngine(automaton, ComputeByteClasses(automaton)), source_name);

  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << header;
  out.close();
  if (!out) {
    std::cerr << argv[2] << ": error: cannot write the tables\n";
    return 1;
  }
  return 0;
}
