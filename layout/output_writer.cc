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

void OutputWriter::ReleaseHeld() {
  for (; held_newlines_ > 0; --held_newlines_) WriteSlow("\n");
  WriteBytes(held_blanks_);
  held_blanks_.clear();
}

// Blanks are held until something other than a line end follows them; line
// ends until something other than white space does (none before the first).
void OutputWriter::WriteClean(std::string_view text) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != ' ' && c != '\t' && c != '\n') continue;
    if (i > run) WriteContent(text.substr(run, i - run));
    run = i + 1;
    if (c == '\n') {
      held_blanks_.clear();
      if (started_) ++held_newlines_;
    } else {
      held_blanks_ += c;
    }
  }
  if (run < text.size()) WriteContent(text.substr(run));
}

void OutputWriter::WriteVerbatim(std::string_view text) {
  if (clean_ && !text.empty()) {
    ReleaseHeld();
    started_ = true;
  }
  WriteSlow(text);
}

bool OutputWriter::Finish() {
  if (clean_) {
    held_blanks_.clear();
    held_newlines_ = 0;
    if (started_) WriteSlow("\n");
  }
  return Flush();
}

bool OutputWriter::Flush() {
  if (used_ > 0 && !failed_) failed_ = !sink_.Write(buffer_.data(), used_);
  used_ = 0;
  return !failed_;
}

}  // namespace qfmt::layout
