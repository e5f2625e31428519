#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qfmt::testing {

// Writes realistic C and C++ source of at least `size` bytes, ending at a
// declaration boundary: functions with nested if/for/while/do, switch
// statements with case and default labels, classes with access labels,
// enumerations, directives with continuation lines, string and character
// constants, short comments and long statements that need breaking. The text
// depends only on `size` and `seed`, and no token (nor the look-ahead of a
// token) comes near the scanner's 512-byte limit, so the whole text formats.
void GenerateSource(std::uint64_t size, std::uint64_t seed,
                    const std::function<void(std::string_view)>& write);

// That text whole; with `cpp20`, the C++20 source of GenerateCppSource.
[[nodiscard]] std::string GeneratedText(std::uint64_t size, std::uint64_t seed, bool cpp20 = false);

}  // namespace qfmt::testing
