#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_io.h"

namespace qfmt::layout {

// How line feeds are written: as they are, or each as CR LF.
enum class LineEnds { kLf, kCrLf };

// Line ends of an input: CR LF when its first line feed follows a carriage
// return. Feed it the input's bytes in order until decided() holds.
class LineEndDetector {
 public:
  void Feed(std::string_view bytes);
  [[nodiscard]] bool decided() const { return decided_; }
  [[nodiscard]] LineEnds line_ends() const { return crlf_ ? LineEnds::kCrLf : LineEnds::kLf; }

 private:
  bool decided_ = false;
  bool crlf_ = false;
  bool last_was_cr_ = false;
};

// Whether the writer cleans the white space of what passes through it.
enum class WhiteSpace {
  kAsWritten,
  // No line ends with a blank or tab, no line ends open the text, and a text
  // that holds anything but white space ends with exactly one line end (an
  // empty text stays empty). Verbatim writes (raw string literals) are kept.
  kClean,
};

// The one writer through which every output byte passes. Buffers the output
// and turns each line feed into CR LF when asked to, unless the sink's text
// mode does that itself (no line end is doubled). A write error is sticky:
// later output is dropped and failed() reports it.
class OutputWriter {
 public:
  OutputWriter(platform::ByteSink& sink, LineEnds line_ends) : OutputWriter(sink, line_ends, own_buffer_) {}
  // Writes through a buffer that the caller keeps from one run to the next.
  OutputWriter(platform::ByteSink& sink, LineEnds line_ends, std::vector<char>& buffer,
               WhiteSpace white_space = WhiteSpace::kAsWritten);
  OutputWriter(const OutputWriter&) = delete;
  OutputWriter& operator=(const OutputWriter&) = delete;

  void Write(std::string_view text) {
    if (clean_) {
      WriteClean(text);
      return;
    }
    WriteBytes(text);
  }
  void Write(char c) {
    if (c == '\n' && clean_) {
      EndLine();
      return;
    }
    if (used_ == buffer_.size() || (c == '\n' && line_ends_ == LineEnds::kCrLf)) {
      WriteSlow(std::string_view(&c, 1));
      return;
    }
    buffer_[used_++] = c;
  }

  // Writes text as it is, even when cleaning (a raw string literal's lines
  // are the program's).
  void WriteVerbatim(std::string_view text);

  // Hands the buffered bytes to the sink; false if any write has failed.
  bool Flush();
  // Ends the text (in clean mode: its last line end) and flushes.
  bool Finish();
  [[nodiscard]] bool failed() const { return failed_; }

 private:
  // Copies n <= 16 bytes with overlapping fixed-size moves.
  static void CopyShort(char* to, const char* from, std::size_t n) {
    if (n >= 8) {
      std::uint64_t head;
      std::uint64_t tail;
      std::memcpy(&head, from, 8);
      std::memcpy(&tail, from + n - 8, 8);
      std::memcpy(to, &head, 8);
      std::memcpy(to + n - 8, &tail, 8);
    } else if (n >= 4) {
      std::uint32_t head;
      std::uint32_t tail;
      std::memcpy(&head, from, 4);
      std::memcpy(&tail, from + n - 4, 4);
      std::memcpy(to, &head, 4);
      std::memcpy(to + n - 4, &tail, 4);
    } else if (n > 0) {
      to[0] = from[0];
      to[n / 2] = from[n / 2];
      to[n - 1] = from[n - 1];
    }
  }
  void WriteBytes(std::string_view text) {
    // Tokens are short: copy them inline rather than through memcpy.
    if (text.size() <= 16 && buffer_.size() - used_ >= 16 &&
        (line_ends_ == LineEnds::kLf || text.find('\n') == std::string_view::npos)) {
      CopyShort(buffer_.data() + used_, text.data(), text.size());
      used_ += text.size();
      return;
    }
    WriteSlow(text);
  }
  void WriteSlow(std::string_view text);
  void Append(std::string_view bytes);
  // In clean mode (see note [clean white space]).
  void WriteClean(std::string_view text);
  void EndLine();
  void TrimBlanks();
  // Frees the buffer for more bytes; in clean mode the white space at its end
  // stays, as a line end that comes may still drop it.
  bool MakeRoom();

  platform::ByteSink& sink_;
  LineEnds line_ends_;
  std::vector<char> own_buffer_;  // unused when the buffer is lent
  std::vector<char>& buffer_;
  std::size_t used_ = 0;
  bool failed_ = false;

  bool clean_;
  bool flushed_text_ = false;  // bytes other than white space went to the sink
};

}  // namespace qfmt::layout
