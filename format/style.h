#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "layout/layout.h"

// The styles in which qfmt-tree lays a text out, and their options.
namespace qfmt::format {

enum class Style : std::uint8_t {
  kModern,   // the layout of today (modern/): qfmt-tree's default
  kClassic,  // the classic layout with its token repairs and clean white space
  kExact,    // the classic rules exactly, as qfmt writes them
};

// "modern", "classic" or "exact", as the command line and .editorconfig write them.
[[nodiscard]] std::string_view StyleName(Style style);
[[nodiscard]] std::optional<Style> ParseStyle(std::string_view name);

struct StyleOptions {
  Style style = Style::kModern;
  // The line limit, the indentation unit and the brace style. The classic
  // styles read them as qfmt does (the style sets layout.repaired); the
  // modern style reads a limit of 0 as none.
  layout::LayoutOptions layout;
  // The modern style: the file's own indentation unit (tabs, or its most
  // common step), where neither the command line nor .editorconfig gives one.
  bool indent_from_file = true;
  std::int32_t tab_width = 8;  // the modern style: the columns of a tab, where lines are measured

  bool operator==(const StyleOptions&) const = default;
};

// The options of a classic style's layout.
[[nodiscard]] layout::LayoutOptions ClassicLayout(const StyleOptions& options);

}  // namespace qfmt::format
