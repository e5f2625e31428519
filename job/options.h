#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "layout/layout.h"

namespace qfmt::job {

struct Options {
  layout::LayoutOptions layout;
  std::string input_name;
  std::string output_name;  // empty: the input is rewritten
};

struct ParsedOptions {
  Options options;
  bool indent_string_malformed = false;  // "-t" without its two double quotes
};

// The command line as one text, rebuilt from an argument vector on a platform
// that keeps no such text: the program's file name without its folder, then
// each argument after one blank; an argument with a blank or a tab and no
// double quote is quoted (after its first two characters when it begins with
// "-i" or "-t"), an empty one is written as two double quotes.
[[nodiscard]] std::string RebuildCommandLine(const std::vector<std::string_view>& arguments);

// True when the command line holds the input marker "-i" anywhere.
[[nodiscard]] bool HasInputMarker(std::string_view command_line);

// Reads the options from the raw command line. Each option is found at the
// first occurrence of its two-character marker anywhere in the text, the
// program's own name included; a second occurrence is never read.
[[nodiscard]] ParsedOptions ParseOptions(std::string_view command_line);

}  // namespace qfmt::job
