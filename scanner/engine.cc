#include "scanner/engine.h"

#include <algorithm>
#include <cstring>

#include "rule_tables.h"

namespace qfmt::scanner {

// note [buffer shift]
// The buffer holds the bytes read so far from index 0 (at the start a line
// feed that stands for the byte before the input) to data_end. Bytes arrive in
// reads of 512. When the scan needs a byte that is not buffered and data_end is
// 511 or more, the current token attempt (token_start to data_end, with its
// states) moves to the front before the next read. If the attempt itself
// already holds 512 bytes or more, there is no room: L0029. Since every read
// but the last returns 512 bytes, this happens exactly when an attempt that
// began at input offset s needs the byte at an offset 512m with 512m - s >= 512,
// or reaches the end of the input after reading 512 bytes or more.

std::string_view FailureMessage(ScanFailure failure) {
  switch (failure) {
    case ScanFailure::kBufferOverflow:
      return "L0029: PCLEX input buffer overflowed";
    case ScanFailure::kReadFailed:
      return "L0048: fread() in PCLEX scanner failed";
    case ScanFailure::kEofTwice:
      return "L0030: PCLEX scanner saw EOF twice - shouldn't happen";
    case ScanFailure::kInternalError:
      return "L0028: fatal PCLEX scanner internal error";
    case ScanFailure::kNone:
      break;
  }
  return {};
}

static_assert(tables::kStateCount <= 65536, "states must fit the state trail");

Engine::Engine(LineEndReader& input, TokenLimit limit)
    : input_(input), limit_(limit), scan_buffer_(kBufferSize), state_trail_(kBufferSize) {
  scan_buffer_[0] = '\n';
}

std::string_view Engine::text() const {
  const char* start = scan_buffer_.data() + token_text_;
  const void* nul = std::memchr(start, '\0', static_cast<std::size_t>(token_length_));
  const std::size_t length = nul == nullptr ? static_cast<std::size_t>(token_length_)
                                            : static_cast<std::size_t>(static_cast<const char*>(nul) - start);
  return {start, length};
}

Engine::Refill Engine::RefillBuffer() {
  if (data_end_ >= kReadSize - 1) {
    // See note [buffer shift].
    const int kept = data_end_ - token_start_ + 1;
    if (kept > 0 && token_start_ > 0) {
      std::memmove(scan_buffer_.data(), scan_buffer_.data() + token_start_, static_cast<std::size_t>(kept));
      std::memmove(state_trail_.data(), state_trail_.data() + token_start_,
                   static_cast<std::size_t>(kept) * sizeof(state_trail_[0]));
    }
    index0_offset_ += token_start_;
    data_end_ -= token_start_;
    token_start_ = 0;
    scan_pos_ = data_end_;
    if (data_end_ >= kReadSize - 1) {
      if (limit_ == TokenLimit::kClassic) {
        failure_ = ScanFailure::kBufferOverflow;
        return Refill::kFailed;
      }
      // Room for one more read and the terminator after it.
      const std::size_t needed = static_cast<std::size_t>(data_end_) + 2 + kReadSize;
      if (scan_buffer_.size() < needed) {
        scan_buffer_.resize(std::max(needed, 2 * scan_buffer_.size()));
        state_trail_.resize(scan_buffer_.size());
      }
    }
    // With the classic limit data_end is below 511 once the input has ended,
    // so this only matters when the limit is lifted.
    if (input_ended_) return Refill::kAttemptEnded;
  } else if (input_ended_) {
    return Refill::kAttemptEnded;
  }
  const std::ptrdiff_t count = input_.Read(scan_buffer_.data() + data_end_ + 1, kReadSize);
  if (count < 0) {
    failure_ = ScanFailure::kReadFailed;
    return Refill::kFailed;
  }
  if (count == 0) {
    if (input_ended_) {
      failure_ = ScanFailure::kEofTwice;
      return Refill::kFailed;
    }
    input_ended_ = true;
    return Refill::kAttemptEnded;
  }
  data_end_ += static_cast<int>(count);
  return Refill::kMoreBytes;
}

int Engine::NextToken() {
  if (failure_ != ScanFailure::kNone) return -1;
  scan_buffer_[static_cast<std::size_t>(token_text_ + token_length_)] = held_char_;

  int state = start_state_;
  if (scan_pos_ >= 0 && scan_buffer_[static_cast<std::size_t>(scan_pos_)] == '\n') ++state;
  token_start_ = scan_pos_ + 1;

  for (;;) {
    if (scan_pos_ == data_end_) {
      const Refill refill = RefillBuffer();
      if (refill == Refill::kFailed) return -1;
      if (refill == Refill::kAttemptEnded) {
        if (token_start_ > data_end_) return 0;
        break;
      }
    }
    ++scan_pos_;
    const auto byte = static_cast<unsigned char>(scan_buffer_[static_cast<std::size_t>(scan_pos_)]);
    state = tables::kTransition[state][tables::kByteClass[byte]];
    state_trail_[static_cast<std::size_t>(scan_pos_)] = static_cast<std::uint16_t>(state);
    if (tables::kStopState[state]) break;
  }

  // Back up to the last position where a rule accepted.
  int rule = 0;
  for (int i = scan_pos_; i >= token_start_; --i) {
    rule = tables::kAcceptRule[state_trail_[static_cast<std::size_t>(i)]];
    if (rule != 0) {
      scan_pos_ = i;
      break;
    }
  }
  if (rule == 0) return Fail(ScanFailure::kInternalError);

  token_text_ = token_start_;
  token_length_ = scan_pos_ - token_start_ + 1;
  held_char_ = scan_buffer_[static_cast<std::size_t>(scan_pos_ + 1)];
  scan_buffer_[static_cast<std::size_t>(scan_pos_ + 1)] = '\0';
  return rule;
}

void Engine::GiveBackLastChar() {
  scan_buffer_[static_cast<std::size_t>(token_text_ + token_length_)] = held_char_;
  --scan_pos_;
  token_length_ = scan_pos_ - token_start_ + 1;
  held_char_ = scan_buffer_[static_cast<std::size_t>(scan_pos_ + 1)];
  scan_buffer_[static_cast<std::size_t>(scan_pos_ + 1)] = '\0';
}

}  // namespace qfmt::scanner
