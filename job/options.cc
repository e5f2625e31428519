#include "job/options.h"

#include <cstdint>
#include <limits>
#include <optional>

namespace qfmt::job {
namespace {

constexpr char kBlank = ' ';

// The value that follows the first occurrence of `marker`, if the marker occurs.
std::optional<std::string_view> AfterMarker(std::string_view command_line, std::string_view marker) {
  const std::size_t at = command_line.find(marker);
  if (at == std::string_view::npos) return std::nullopt;
  return command_line.substr(at + marker.size());
}

std::string_view UpToBlank(std::string_view text) { return text.substr(0, text.find(kBlank)); }

// "-i": up to the next blank, or, from a double quote on, up to the next double
// quote. A quote that is not the value's first character moves the start of the
// value by one character all the same.
std::string InputName(std::string_view rest) {
  std::size_t start = 0;
  bool quoted = false;
  std::size_t i = 0;
  for (; i < rest.size(); ++i) {
    const char c = rest[i];
    if (c == '"') {
      if (quoted) break;
      ++start;
      quoted = true;
    } else if (c == kBlank && !quoted) {
      break;
    }
  }
  return std::string(rest.substr(start, i - start));
}

bool IsConversionSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Decimal conversion: leading white space, a sign, digits up to the first
// non-digit; no digits give 0; values beyond 32 bits saturate.
std::int32_t DecimalValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsConversionSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > kMax + 1) magnitude = kMax + 1;
  }
  if (negative) return static_cast<std::int32_t>(-magnitude);
  return static_cast<std::int32_t>(magnitude > kMax ? kMax : magnitude);
}

bool NeedsQuotes(std::string_view argument) {
  return argument.find_first_of(" \t") != std::string_view::npos &&
         argument.find('"') == std::string_view::npos;
}

}  // namespace

std::string RebuildCommandLine(const std::vector<std::string_view>& arguments) {
  std::string line;
  if (arguments.empty()) return line;
  const std::string_view program = arguments.front();
  const std::size_t slash = program.find_last_of('/');
  line = program.substr(slash == std::string_view::npos ? 0 : slash + 1);
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    line += ' ';
    if (argument.empty()) {
      line += "\"\"";
    } else if (!NeedsQuotes(argument)) {
      line += argument;
    } else if (argument.starts_with("-i") || argument.starts_with("-t")) {
      line += argument.substr(0, 2);
      line += '"';
      line += argument.substr(2);
      line += '"';
    } else {
      line += '"';
      line += argument;
      line += '"';
    }
  }
  return line;
}

bool HasInputMarker(std::string_view command_line) {
  return command_line.find("-i") != std::string_view::npos;
}

ParsedOptions ParseOptions(std::string_view command_line) {
  ParsedOptions parsed;
  Options& options = parsed.options;

  if (const auto rest = AfterMarker(command_line, "-i")) options.input_name = InputName(*rest);
  if (const auto rest = AfterMarker(command_line, "-o")) options.output_name = std::string(UpToBlank(*rest));
  if (const auto rest = AfterMarker(command_line, "-l")) {
    options.layout.max_line_length = DecimalValue(UpToBlank(*rest));
  }
  if (const auto rest = AfterMarker(command_line, "-s")) {
    options.layout.brace_style = !rest->empty() && (rest->front() == 'k' || rest->front() == 'K')
                                     ? lexer::BraceStyle::kAttach
                                     : lexer::BraceStyle::kBreak;
  }
  if (const auto rest = AfterMarker(command_line, "-t")) {
    // A double quote right after the marker, and a second one later on.
    const std::size_t close =
        rest->empty() || rest->front() != '"' ? std::string_view::npos : rest->find('"', 1);
    if (close != std::string_view::npos) {
      options.layout.indent_string = std::string(rest->substr(1, close - 1));
    } else {
      parsed.indent_string_malformed = true;
    }
  }
  return parsed;
}

}  // namespace qfmt::job
