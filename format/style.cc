#include "format/style.h"

#include <array>
#include <utility>

namespace qfmt::format {
namespace {

constexpr std::array<std::pair<Style, std::string_view>, 3> kNames = {
    {{Style::kModern, "modern"}, {Style::kClassic, "classic"}, {Style::kExact, "exact"}}};

}  // namespace

std::string_view StyleName(Style style) {
  for (const auto& [named, name] : kNames) {
    if (named == style) return name;
  }
  return {};
}

std::optional<Style> ParseStyle(std::string_view name) {
  for (const auto& [style, style_name] : kNames) {
    if (style_name == name) return style;
  }
  return std::nullopt;
}

layout::LayoutOptions ClassicLayout(const StyleOptions& options) {
  layout::LayoutOptions layout = options.layout;
  layout.repaired = options.style == Style::kClassic;
  return layout;
}

}  // namespace qfmt::format
