#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "layout/layout.h"

namespace qfmt::fuzz {

// An input of the format fuzz target: the options, how the second run reads,
// and the text. The first byte chooses the options:
//   bit 0      brace style
//   bits 1-3   indentation unit: three blanks, none, a tab, four blanks, a
//              long mix of 16 blanks and tabs, two tabs, one blank, or bytes
//              of the input (a count byte, then up to 63 bytes of any value)
//   bits 4-6   line length: 80, 0, -1, the least and the greatest 32-bit
//              values, 1, 20, or four bytes of the input (little-endian)
//   bit 7      the second run reads in steps of 1 to 16 bytes (one byte)
// The bytes these choices take follow in that order; the rest is the text.
struct FormatCase {
  layout::LayoutOptions options;
  std::size_t read_step = 0;
  std::string_view text;
};

[[nodiscard]] FormatCase DecodeFormatCase(std::string_view data);

// The input that decodes to the case; a unit or length that no choice names is
// written out in full.
[[nodiscard]] std::string EncodeFormatCase(const layout::LayoutOptions& options, std::size_t read_step,
                                           std::string_view text);

}  // namespace qfmt::fuzz
