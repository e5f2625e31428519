#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "modern/structure.h"
#include "modern/token_stream.h"

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
  lexer::BraceStyle braces = lexer::BraceStyle::kAttach;
  std::int32_t tab_width = 8;
};

// Formats texts one after the other, keeping its buffers from one text to the
// next; one per thread.
class Formatter {
 public:
  // Formats `text` into `output`, which it replaces. False when the output
  // would grow past `max_output` bytes (it is then cut short).
  [[nodiscard]] bool Format(std::string_view text, const Options& options, std::string& output,
                            std::size_t max_output = SIZE_MAX);

 private:
  // The tokens that the first look at a text read, replayed by the layout,
  // for texts up to kMaxRecorded bytes (sixteen bytes a token, kept from
  // text to text): larger ones are read twice, so that the memory a text
  // takes stays a few times its size.
  static constexpr std::size_t kMaxRecorded = std::size_t{16} << 20;
  TokenRecord tokens_;
};

// Formats one text with a formatter of its own.
[[nodiscard]] bool Format(std::string_view text, const Options& options, std::string& output,
                          std::size_t max_output = SIZE_MAX);

}  // namespace qfmt::modern
