#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qfmt::layout {

// White space for TrimLeading, SquashSpaces and EndsWithBackslash: blank, tab,
// line feed, vertical tab, form feed and carriage return; never a byte >= 128.
constexpr bool IsSpaceByte(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The line feeds that follow the blanks and tabs at the start of text.
[[nodiscard]] std::int32_t CountLeadingNewlines(std::string_view text);

// text from its first byte that is not white space.
[[nodiscard]] std::string_view TrimLeading(std::string_view text);

// text without the white space that stands outside single quotes (a quote
// toggles "inside"; no escape is recognised). The result lives in `result`.
std::string_view SquashSpaces(std::string_view text, std::string& result);

// text without its line feeds. The result lives in `result`.
std::string_view StripNewlines(std::string_view text, std::string& result);

// True when the last byte that is not white space is a backslash; the first
// byte is never tested for white space, and an empty text gives false.
[[nodiscard]] bool EndsWithBackslash(std::string_view text);

}  // namespace qfmt::layout
