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

OutputWriter::OutputWriter(platform::ByteSink& sink, LineEnds line_ends, std::vector<char>& buffer,
                           WhiteSpace white_space)
    : sink_(sink),
      line_ends_(sink.text_mode() == platform::TextMode::kTranslated ? LineEnds::kLf : line_ends),
      buffer_(buffer),
      clean_(white_space == WhiteSpace::kClean) {
  if (buffer_.size() < platform::kBlockSize) buffer_.resize(platform::kBlockSize);
}

void OutputWriter::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    if (used_ == buffer_.size() && !MakeRoom()) return;
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

// note [clean white space]
// In clean mode the text is written as it comes and cleaned where lines end:
// the blanks and tabs at the end of the buffer go before each line end, a
// line end goes only after something (so none opens the text), and Finish
// leaves exactly one line end after the last line. So that a line end can
// still drop what stands before it, the buffer is never flushed past its
// last byte that is not white space. Raw string literals are written
// verbatim, their line ends with them; they end with a quote or a suffix, so
// no trimming reaches into them.
void OutputWriter::WriteClean(std::string_view text) {
  for (;;) {
    const void* lf = std::memchr(text.data(), '\n', text.size());
    if (lf == nullptr) {
      WriteBytes(text);
      return;
    }
    const auto at = static_cast<std::size_t>(static_cast<const char*>(lf) - text.data());
    WriteBytes(text.substr(0, at));
    EndLine();
    text.remove_prefix(at + 1);
  }
}

void OutputWriter::TrimBlanks() {
  while (used_ > 0 && (buffer_[used_ - 1] == ' ' || buffer_[used_ - 1] == '\t')) --used_;
}

void OutputWriter::EndLine() {
  TrimBlanks();
  if (used_ == 0 && !flushed_text_) return;
  Append(line_ends_ == LineEnds::kCrLf ? "\r\n" : "\n");
}

void OutputWriter::WriteVerbatim(std::string_view text) { WriteSlow(text); }

bool OutputWriter::MakeRoom() {
  if (!clean_) return Flush();
  // The white space at the end: blanks, tabs and line ends.
  std::size_t keep = used_;
  while (keep > 0 && std::string_view(" \t\n\r").find(buffer_[keep - 1]) != std::string_view::npos) --keep;
  // A buffer of white space alone goes out whole: the layout writes long
  // runs of blanks only as indentation, which a token follows.
  if (keep == 0) keep = used_;
  const std::size_t tail = used_ - keep;
  used_ = keep;
  const bool flushed = Flush();
  std::memmove(buffer_.data(), buffer_.data() + keep, tail);
  used_ = tail;
  return flushed;
}

bool OutputWriter::Finish() {
  if (clean_) {
    for (bool trimmed = true; trimmed;) {
      TrimBlanks();
      trimmed = used_ > 0 && buffer_[used_ - 1] == '\n';
      if (trimmed) --used_;
      if (trimmed && line_ends_ == LineEnds::kCrLf && used_ > 0 && buffer_[used_ - 1] == '\r') --used_;
    }
    if (used_ > 0 || flushed_text_) Append(line_ends_ == LineEnds::kCrLf ? "\r\n" : "\n");
  }
  return Flush();
}

bool OutputWriter::Flush() {
  if (used_ > 0 && !failed_) failed_ = !sink_.Write(buffer_.data(), used_);
  flushed_text_ = flushed_text_ || used_ > 0;
  used_ = 0;
  return !failed_;
}

}  // namespace qfmt::layout
