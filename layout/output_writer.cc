#include "layout/output_writer.h"

#include <cstring>

namespace qfmt::layout {
void LineEndDetector::Feed(std::string_view bytes) {
  if (decided_ || bytes.empty()) return;
  const std::size_t lf = bytes.find('\n');
  if (lf == std::string_view::npos) {
    last_was_cr_ = bytes.back() == '\r';
    return;
  }
  crlf_ = lf > 0 ? bytes[lf - 1] == '\r' : last_was_cr_;
  decided_ = true;
}

OutputWriter::OutputWriter(platform::ByteSink& sink, LineEnds line_ends, std::vector<char>& buffer)
    : sink_(sink),
      line_ends_(sink.text_mode() == platform::TextMode::kTranslated ? LineEnds::kLf : line_ends),
      buffer_(buffer) {
  if (buffer_.size() < platform::kBlockSize) buffer_.resize(platform::kBlockSize);
}

void OutputWriter::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    if (used_ == buffer_.size() && !Flush()) return;
    const std::size_t n = bytes.size() < buffer_.size() - used_ ? bytes.size() : buffer_.size() - used_;
    bytes.copy(buffer_.data() + used_, n);
    used_ += n;
    bytes.remove_prefix(n);
  }
}

void OutputWriter::WriteSlow(std::string_view text) {
  if (line_ends_ == LineEnds::kLf) {
    Append(text);
    return;
  }
  for (;;) {
    const std::size_t lf = text.find('\n');
    if (lf == std::string_view::npos) {
      Append(text);
      return;
    }
    Append(text.substr(0, lf));
    Append("\r\n");
    text.remove_prefix(lf + 1);
  }
}

bool OutputWriter::Flush() {
  if (used_ > 0 && !failed_) failed_ = !sink_.Write(buffer_.data(), used_);
  used_ = 0;
  return !failed_;
}

}  // namespace qfmt::layout
