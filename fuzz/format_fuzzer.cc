// Fuzz target: formats arbitrary bytes under arbitrary options (fuzz/format_case.h)
// and stops on any broken invariant (tools/invariants.h): a second run that
// differs, a lifted-limit run that does not continue the classic one, a
// byte that is not blank added, dropped or moved.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/format_case.h"
#include "tools/invariants.h"
#include "tools/token_dump.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qfmt;
  const fuzz::FormatCase c =
      fuzz::DecodeFormatCase(std::string_view(reinterpret_cast<const char*>(data), size));
  tools::CheckOptions options{c.options, c.read_step};
  // Nesting under a long unit makes output quadratic in the input.
  options.output_limit = 1 << 20;
  const tools::CheckReport report = tools::CheckInvariants(c.text, options);
  if (!report.problem.empty()) {
    std::fprintf(stderr, "broken invariant: %s\n  length %d, unit %s, brace style %d, read step %zu\n",
                 report.problem.c_str(), c.options.max_line_length,
                 tools::EscapedBytes(c.options.indent_string).c_str(), c.options.brace_style, c.read_step);
    std::abort();
  }
  return 0;
}
