// Fuzz target: formats arbitrary bytes under corner options and stops on any
// broken invariant (testing/invariants.h): a second run that differs, a
// lifted-limit run that does not continue the classic one, a byte that is not
// blank added, dropped or moved.
//
// The first byte of an input chooses the options: bit 0 the brace style, bits
// 1-3 the indentation unit, bits 4-6 the line length; with bit 7 the second
// run reads in steps of 1 to 16 bytes (the next byte). The rest is the text.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "testing/invariants.h"
#include "testing/token_dump.h"

namespace {

constexpr std::array<std::string_view, 8> kUnits = {"   ",  "",  "\t",    "    ", "\t   \t   \t   \t  ",
                                                    "\t\t", " ", "%s\x01"};
constexpr std::array<std::int32_t, 8> kLengths = {
    80, 0, -1, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), 1, 20, 7};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qfmt;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const unsigned choice = size > 0 ? data[0] : 0;
  const bool steps = (choice & 0x80) != 0 && size > 1;
  testing::CheckOptions options{{kLengths[(choice >> 4) & 7], std::string(kUnits[(choice >> 1) & 7]),
                                 static_cast<lexer::BraceStyle>(choice & 1)},
                                steps ? 1 + data[1] % 16u : 0};
  text.remove_prefix(std::min<std::size_t>(size, steps ? 2 : 1));
  // Nesting under a long unit makes output quadratic in the input.
  options.output_limit = 1 << 20;
  const testing::CheckReport report = testing::CheckInvariants(text, options);
  if (!report.problem.empty()) {
    std::fprintf(stderr, "broken invariant: %s\n  length %d, unit %s, brace style %d, read step %zu\n",
                 report.problem.c_str(), options.layout.max_line_length,
                 testing::EscapedBytes(options.layout.indent_string).c_str(),
                 static_cast<int>(options.layout.brace_style), options.read_step);
    std::abort();
  }
  return 0;
}
