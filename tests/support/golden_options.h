#pragma once

#include <string>
#include <string_view>

#include "layout/layout.h"

namespace qfmt::testing {

// Options by name, for tables of cases.
struct GoldenOptions {
  int max_line_length = 80;
  std::string_view indent_string = "   ";
  int brace_style = 1;
  bool modern = false;  // qfmt-tree's modern rules

  [[nodiscard]] layout::LayoutOptions ToLayout() const {
    return {max_line_length, std::string(indent_string), brace_style, modern};
  }
};

}  // namespace qfmt::testing
