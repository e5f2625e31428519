#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "scanner/generator/engine_tables.h"

namespace qfmt::scanner::rulegen {

// One rule set laid out for the engine, under the name of its struct.
struct NamedTables {
  std::string name;         // "Classic"
  std::string source_name;  // the rules file, without its folder
  EngineTables tables;
};

// The small header that every user of the scanner may include: the rule
// identities (`rule_names[id]` for every identity, 0 being the end of the
// input) and their names. Like WriteTables, the text depends only on its
// arguments: no dates, paths or host names.
[[nodiscard]] std::string WriteRuleIds(const std::vector<std::string>& rule_names,
                                       const std::vector<NamedTables>& sets);

// The header of the action table, which only the rule actions include:
// `actions[id]` is the name of the member of the actions class that runs on
// the tokens of rule `id` (entry 0, the end of the input, has none).
[[nodiscard]] std::string WriteRuleActions(const std::vector<std::string>& rule_names,
                                           const std::vector<std::string>& actions,
                                           const std::vector<NamedTables>& sets);

// The large header that only the engine and the table tests include: each rule
// set's tables as constants (it includes the header of WriteRuleIds).
[[nodiscard]] std::string WriteTables(const std::vector<std::string>& rule_names,
                                      const std::vector<NamedTables>& sets);

}  // namespace qfmt::scanner::rulegen
