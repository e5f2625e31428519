#pragma once

#include <string>
#include <string_view>

#include "scanner/generator/automaton.h"

namespace qfmt::scanner::rulegen {

// The C++ header that holds the automaton as constant tables. The text depends
// only on its arguments: no dates, paths or host names.
[[nodiscard]] std::string WriteTables(const Automaton& automaton, const ByteClasses& classes,
                                      std::string_view source_name);

}  // namespace qfmt::scanner::rulegen
