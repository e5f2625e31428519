#pragma once

#include <span>
#include <string>
#include <string_view>

#include "format/style.h"
#include "format/text_formatter.h"
#include "platform/status.h"

// The styles in which qfmt formats a text, each named once here with the
// settings it takes, for the front ends that offer a choice of style (the
// browser's page builds its controls from StylesJson).
namespace qfmt::format {

// A setting that a style may take.
enum class StyleSetting { kBraceStyle, kIndent, kMaxLineLength, kTokenCheck };

struct StyleDescription {
  Style style;                             // its name (StyleName) is its key in settings: "style=exact"
  std::string_view label;                  // as a list of styles shows it
  std::string_view summary;                // one sentence on what it does
  std::span<const StyleSetting> settings;  // those it takes, in the order to show them
  // Its text options; `verify` is the default where it takes kTokenCheck.
  TextOptions text;
};

// The styles, the default first.
[[nodiscard]] std::span<const StyleDescription> Styles();

// A style and its settings, read from text. The page chooses the
// indentation unit: the modern style does not take the file's own.
struct StyleChoice {
  const StyleDescription* style = nullptr;
  StyleOptions options;
  TextOptions text;
  platform::Status status;  // ok, or why the text could not be read
};

// Reads settings written as "style=exact&brace=break&indent=tab&length=100&check=on"
// (the form the page keeps in its address): the style (the default when none
// is named), then each setting, which must be one that the style takes; a
// setting not given keeps its default.
[[nodiscard]] StyleChoice ReadStyleChoice(std::string_view settings);

// The styles and every setting (key, label, values and default) as JSON.
[[nodiscard]] std::string StylesJson();

}  // namespace qfmt::format
