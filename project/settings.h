#pragma once

#include <string>

#include "format/style.h"
#include "project/editorconfig.h"

namespace qfmt::project {

// The style options that the command line gave; these win over .editorconfig.
struct GivenOptions {
  bool max_line_length = false;
  bool indent = false;
  bool brace_style = false;
  bool style = false;
};

// The style of one file, and where each of its options came from.
struct FileSettings {
  format::StyleOptions style;
  platform::Status status;  // ok, or a .editorconfig that cannot be read or gives a bad value
  std::string style_source;
  std::string max_line_length_source;
  std::string indent_source;
  std::string brace_style_source;
};

// The EditorConfig properties that the settings come from.
inline constexpr std::string_view kStyleProperties[] = {"qfmt_style", "indent_style",    "indent_size",
                                                        "tab_width",  "max_line_length", "qfmt_brace_style"};

// The style of the file `path`: the options given on the command line, then
// what .editorconfig gives (indent_style, indent_size, tab_width,
// max_line_length and our qfmt_style and qfmt_brace_style), then the
// defaults in `options`. Where no indentation unit is given, the modern
// style takes the file's own.
// The sources name the .editorconfig file and section of each value, and so
// does an error.
[[nodiscard]] FileSettings ResolveSettings(EditorConfigFiles& editorconfig, const std::string& path,
                                           const format::StyleOptions& options, const GivenOptions& given);

// A path as it is shown: relative to the current folder when it is below it.
[[nodiscard]] std::string ShownPath(const std::string& full);

// The settings as --print-settings shows them, one line each.
[[nodiscard]] std::string DescribeSettings(const std::string& path, const FileSettings& settings);

}  // namespace qfmt::project
