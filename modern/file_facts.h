#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "modern/token_stream.h"

// What a file says of its own style where the settings say nothing: its
// indentation unit, and on which side it writes the "*" and "&" of a
// declarator. Read in one cheap pass over its
// tokens, before the layout, so that the layout's output says the same.
namespace qfmt::modern {

struct FileFacts {
  std::int32_t step = 0;       // its most common step between nesting levels; 0 where none shows
  bool tabs = false;           // it indents with tabs
  bool pointers_left = false;  // "int* p" rather than "int *p"
};

// With `record`, its tokens are kept there too, for the layout to replay.
[[nodiscard]] FileFacts ReadFileFacts(std::string_view text, std::int32_t tab_width,
                                      TokenRecord* record = nullptr);

}  // namespace qfmt::modern
