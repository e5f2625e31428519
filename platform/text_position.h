#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Where a byte stands in a text, as messages name it. Every line and column
// that the programs print is computed here.
namespace qfmt::platform {

// A line and a column, both from 1; the column counts bytes (a tab is one).
struct TextPosition {
  std::int64_t line = 1;
  std::int64_t column = 1;
};

// The line and column of the byte at `offset` (the end of the text at most).
// Lines end at a line feed; the carriage return of a CR LF is the last byte
// of its line.
[[nodiscard]] inline TextPosition PositionOfByte(std::string_view text, std::size_t offset) {
  const std::string_view head = text.substr(0, offset);
  const std::size_t line_start = head.rfind('\n') + 1;  // npos + 1 is 0: the first line
  return {static_cast<std::int64_t>(std::count(head.begin(), head.end(), '\n')) + 1,
          static_cast<std::int64_t>(head.size() - line_start) + 1};
}

// The byte of `text` that an offset counting each CR LF as one byte (as the
// classic scanner reads a text) falls on; a CR LF's offset falls on its CR.
[[nodiscard]] inline std::size_t ByteOfScannedOffset(std::string_view text, std::int64_t offset) {
  std::size_t byte = static_cast<std::size_t>(std::max<std::int64_t>(offset, 0));
  for (std::size_t at = text.find("\r\n"); at != std::string_view::npos && at < byte;
       at = text.find("\r\n", at + 2)) {
    ++byte;
  }
  return std::min(byte, text.size());
}

}  // namespace qfmt::platform
