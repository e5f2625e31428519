#pragma once

#include <source_location>
#include <string>
#include <string_view>

#include "tests/support/golden_cases.h"

// Helpers for the tests of formatting and scanning.
namespace qfmt::testing {

// The output of one run over `input` (the final line break included); the run
// must not fail.
[[nodiscard]] std::string FormatToString(std::string_view input, const GoldenOptions& options = {});

// Fails at the call site, naming the first line where the output differs.
void ExpectFormats(std::string_view input, std::string_view expected, const GoldenOptions& options = {},
                   std::source_location where = std::source_location::current());

// The token stream of a run, as "43:int 154:' ' 153:x".
[[nodiscard]] std::string Tokens(std::string_view input);

// Bytes with \n, \t, \r and other control bytes written as escapes.
[[nodiscard]] std::string Escaped(std::string_view bytes);

// `unit` `count` times over.
[[nodiscard]] std::string Repeat(std::string_view unit, std::size_t count);

}  // namespace qfmt::testing
