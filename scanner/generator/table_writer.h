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

// The C++ header that holds the rule identities (`rule_names[id]` for every
// identity, 0 being the end of the input) and each rule set's tables as
// constants. The text depends only on its arguments: no dates, paths or host
// names.
[[nodiscard]] std::string WriteTables(const std::vector<std::string>& rule_names,
                                      const std::vector<NamedTables>& sets);

}  // namespace qfmt::scanner::rulegen
