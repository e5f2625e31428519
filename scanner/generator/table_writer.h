#pragma once

#include <string>
#include <string_view>

#include "scanner/generator/engine_tables.h"

namespace qfmt::scanner::rulegen {

// The C++ header that holds the engine's tables as constants. The text depends
// only on its arguments: no dates, paths or host names.
[[nodiscard]] std::string WriteTables(const EngineTables& tables, std::string_view source_name);

}  // namespace qfmt::scanner::rulegen
