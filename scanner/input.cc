#include "scanner/input.h"

#include <cstring>

#include "platform/check.h"

namespace qfmt::scanner {
LineEndReader::LineEndReader(platform::ByteSource& source, std::vector<char>& block)
    : source_(source), fold_crlf_(source.text_mode() == platform::TextMode::kBytes), block_(block) {
  if (block_.size() < platform::kBlockSize) block_.resize(platform::kBlockSize);
}

// Keeps at least two bytes available when the source has them, so that a CR
// at the end of one source read can see the LF at the start of the next.
bool LineEndReader::FillBlock() {
  if (pos_ > 0) {
    std::memmove(block_.data(), block_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  while (!source_ended_ && end_ < block_.size()) {
    const std::ptrdiff_t n = source_.Read(block_.data() + end_, block_.size() - end_);
    if (n < 0) {
      failed_ = true;
      return false;
    }
    if (n == 0) {
      source_ended_ = true;
      break;
    }
    QFMT_CHECK(static_cast<std::size_t>(n) <= block_.size() - end_);  // a source that read too much
    end_ += static_cast<std::size_t>(n);
    if (end_ - pos_ >= 2) break;
  }
  return true;
}

std::ptrdiff_t LineEndReader::Read(char* destination, std::size_t size) {
  if (failed_) return -1;
  std::size_t count = 0;
  while (count < size) {
    if (end_ - pos_ < 2 && !source_ended_) {
      if (!FillBlock()) return -1;
    }
    if (pos_ == end_) break;
    // Copy up to the next CR in one piece.
    const std::size_t want = size - count;
    const std::size_t have = end_ - pos_;
    const char* from = block_.data() + pos_;
    const void* cr = fold_crlf_ ? std::memchr(from, '\r', want < have ? want : have) : nullptr;
    if (cr == nullptr) {
      const std::size_t n = want < have ? want : have;
      std::memcpy(destination + count, from, n);
      count += n;
      pos_ += n;
      continue;
    }
    const std::size_t n = static_cast<std::size_t>(static_cast<const char*>(cr) - from);
    std::memcpy(destination + count, from, n);
    count += n;
    pos_ += n;
    if (count == size) break;
    if (end_ - pos_ < 2 && !source_ended_ && !FillBlock()) return -1;
    if (end_ - pos_ >= 2 && block_[pos_ + 1] == '\n') {
      destination[count++] = '\n';
      pos_ += 2;
    } else {
      destination[count++] = '\r';
      pos_ += 1;
    }
  }
  return static_cast<std::ptrdiff_t>(count);
}

}  // namespace qfmt::scanner
