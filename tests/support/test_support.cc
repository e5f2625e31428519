#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "job/format.h"
#include "tools/token_dump.h"

namespace qfmt::testing {

std::string FormatToString(std::string_view input, const GoldenOptions& options) {
  std::string output;
  const layout::LayoutOptions layout_options = options.ToLayout();
  const job::FormatResult result = job::FormatText(input, layout_options, output);
  EXPECT_EQ(result.failure, scanner::ScanFailure::kNone) << "input: " << Escaped(input);
  return output;
}

std::string Escaped(std::string_view bytes) { return tools::EscapedBytes(bytes); }

std::string Repeat(std::string_view unit, std::size_t count) {
  std::string out;
  out.reserve(unit.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += unit;
  return out;
}

void ExpectFormats(std::string_view input, std::string_view expected, const GoldenOptions& options,
                   std::source_location where) {
  const std::string actual = FormatToString(input, options);
  if (actual == expected) return;
  // The line of the first byte that differs.
  std::size_t start = 0, line = 1;
  for (std::size_t i = 0; i < actual.size() && i < expected.size() && actual[i] == expected[i]; ++i) {
    if (actual[i] == '\n') start = i + 1, ++line;
  }
  const auto at = [start](std::string_view text) {
    return Escaped(text.substr(std::min(start, text.size())).substr(0, text.find('\n', start) - start));
  };
  ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
      << "output differs at line " << line << "\n  expected: " << at(expected)
      << "\n  actual:   " << at(actual) << "\n  whole expected: " << Escaped(expected)
      << "\n  whole actual:   " << Escaped(actual);
}

std::string Tokens(std::string_view input) {
  tools::TokenRecorder recorder;
  std::string output;
  const layout::LayoutOptions options;
  (void)job::FormatText(input, options, output, scanner::TokenLimit::kClassic, &recorder);
  return recorder.tokens();
}

}  // namespace qfmt::testing
