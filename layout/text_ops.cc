#include "layout/text_ops.h"

namespace qfmt::layout {

std::int32_t CountLeadingNewlines(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::int32_t count = 0;
  while (i < text.size() && text[i] == '\n') {
    ++count;
    ++i;
  }
  return count;
}

std::string_view TrimLeading(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpaceByte(text[i])) ++i;
  return text.substr(i);
}

std::string_view SquashSpaces(std::string_view text, std::string& result) {
  result.clear();
  bool inside = false;
  for (const char c : text) {
    if (c == '\'') inside = !inside;
    if (!IsSpaceByte(c) || inside) result += c;
  }
  return result;
}

std::string_view StripNewlines(std::string_view text, std::string& result) {
  result.clear();
  for (const char c : text) {
    if (c != '\n') result += c;
  }
  return result;
}

bool EndsWithBackslash(std::string_view text) {
  if (text.empty()) return false;
  std::size_t i = text.size() - 1;
  while (i > 0 && IsSpaceByte(text[i])) --i;
  return text[i] == '\\';
}

}  // namespace qfmt::layout
