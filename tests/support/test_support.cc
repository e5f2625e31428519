#include "tests/support/test_support.h"

#include <gtest/gtest.h>

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

void ExpectFormats(std::string_view input, std::string_view expected, const GoldenOptions& options,
                   std::source_location where) {
  const std::string actual = FormatToString(input, options);
  if (actual == expected) return;
  // Find the first line that differs.
  std::size_t line_start = 0;
  int line = 1;
  for (std::size_t i = 0; i < actual.size() && i < expected.size() && actual[i] == expected[i]; ++i) {
    if (actual[i] == '\n') {
      line_start = i + 1;
      ++line;
    }
  }
  auto line_at = [line_start](std::string_view text) {
    if (line_start > text.size()) return std::string("<no line>");
    const std::string_view rest = text.substr(line_start);
    return Escaped(rest.substr(0, rest.find('\n')));
  };
  ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
      << "output differs at line " << line << "\n  expected: " << line_at(expected)
      << "\n  actual:   " << line_at(actual) << "\n  whole expected: " << Escaped(expected)
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
