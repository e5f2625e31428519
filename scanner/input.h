#pragma once

#include <cstddef>
#include <vector>

#include "platform/byte_io.h"

namespace qfmt::scanner {

// Delivers a source's bytes with every carriage return that directly precedes
// a line feed removed (CR LF is read as LF; a lone CR is an ordinary byte),
// unless the source's text mode has done that already: then as they come.
// Each read is filled completely unless the input ends, so the scanner's
// 512-byte reads see the same block boundaries whatever the source.
class LineEndReader {
 public:
  explicit LineEndReader(platform::ByteSource& source) : LineEndReader(source, own_block_) {}
  // Reads through a block that the caller keeps from one run to the next.
  LineEndReader(platform::ByteSource& source, std::vector<char>& block);
  LineEndReader(const LineEndReader&) = delete;
  LineEndReader& operator=(const LineEndReader&) = delete;

  // Returns the count read, 0 at the end of the input, -1 on a read error.
  [[nodiscard]] std::ptrdiff_t Read(char* destination, std::size_t size);

 private:
  bool FillBlock();

  platform::ByteSource& source_;
  const bool fold_crlf_;
  std::vector<char> own_block_;  // unused when the block is lent
  std::vector<char>& block_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool source_ended_ = false;
  bool failed_ = false;
};

}  // namespace qfmt::scanner
