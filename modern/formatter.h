#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "modern/structure.h"

// The modern style: qfmt-tree's layout of today, fed by the lexer's tokens.
// One pass, settled by construction: formatting its output again gives the
// output (the tests and bench/modern.sh check it).
namespace qfmt::modern {

// The indentation unit where the file shows none of its own.
inline constexpr std::string_view kDefaultIndent = "    ";

struct Options {
  std::int32_t max_line_length = 80;   // 0: no limit
  std::string indent{kDefaultIndent};  // one indentation unit
  // The file's own unit instead (tabs, or its most common step between
  // nesting levels), or kDefaultIndent where it shows none.
  bool indent_from_file = false;
  Braces braces = Braces::kAttach;
  std::int32_t tab_width = 8;
};

// Formats `text` into `output`, which it replaces. False when the output
// would grow past `max_output` bytes (it is then cut short).
[[nodiscard]] bool Format(std::string_view text, const Options& options, std::string& output,
                          std::size_t max_output = SIZE_MAX);

}  // namespace qfmt::modern
