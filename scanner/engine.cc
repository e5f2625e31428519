#include "scanner/engine.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "generated/rule_tables.h"
#include "scanner/actions.h"

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
    case ScanFailure::kStopped:
      return "scan stopped";
    case ScanFailure::kNone:
      break;
  }
  return {};
}

Engine::Engine(LineEndReader& input, TokenLimit limit, RuleSet rule_set)
    : input_(input), limit_(limit), rule_set_(rule_set), scan_buffer_(kBufferSize) {
  scan_buffer_[0] = '\n';
}

std::string_view Engine::CutAtNul(std::string_view token) { return token.substr(0, token.find('\0')); }

Engine::Refill Engine::RefillBuffer(int& accept_pos) {
  if (data_end_ >= kReadSize - 1) {
    // See note [buffer shift].
    const int kept = data_end_ - token_start_ + 1;
    if (kept > 0 && token_start_ > 0) {
      std::memmove(scan_buffer_.data(), scan_buffer_.data() + token_start_, static_cast<std::size_t>(kept));
    }
    if (accept_pos >= 0) accept_pos -= token_start_;
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
  const char* read = scan_buffer_.data() + data_end_ + 1;
  saw_nul_ = saw_nul_ || std::memchr(read, '\0', static_cast<std::size_t>(count)) != nullptr;
  data_end_ += static_cast<int>(count);
  return Refill::kMoreBytes;
}

// note [back-up]
// The scan goes on while a longer match is possible and then backs up to the
// last position at which a rule accepted; that position and its rule are
// remembered as the scan passes them, which is the same as walking a trail of
// states back from the end. A run state stays the same on the bytes of its run
// set, so a run is skipped without following the transitions byte by byte.
int Engine::NextToken() {
  if (failure_ != ScanFailure::kNone) return -1;
  return rule_set_ == RuleSet::kModern ? ScanToken<tables::Modern>() : ScanToken<tables::Classic>();
}

// The scan runs on locals: the buffer is written through char pointers, which
// would otherwise make the compiler reload every member per byte. Inlined into
// the scan loop below, so that a token costs no call.
template <typename Tables>
[[gnu::always_inline]] inline int Engine::ScanToken() {
  const auto* bytes = reinterpret_cast<const unsigned char*>(scan_buffer_.data());
  int pos = scan_pos_;
  std::size_t row =
      Tables::kStartRow[static_cast<std::size_t>(start_state_ + (pos >= 0 && bytes[pos] == '\n' ? 1 : 0))];
  token_start_ = pos + 1;
  int end = data_end_;
  int accept_pos = -1;
  std::uint32_t accept_rule = 0;
  for (;;) {
    while (pos < end) {
      ++pos;
      row = Tables::kRows[row + Tables::kByteClass[bytes[pos]]];
      if (row >= Tables::kFirstRunRow) {
        if (row >= Tables::kFirstStopRow) {
          if (row != Tables::kDeadRow) {
            accept_pos = pos;
            accept_rule = Tables::kRows[row + Tables::kAcceptColumn];
          }
          goto matched;
        }
        const std::uint8_t* run = Tables::kRunSets.data() + Tables::kRows[row + Tables::kRunSetColumn];
        while (pos < end && run[bytes[pos + 1]] != 0) ++pos;
      }
      const std::uint32_t rule = Tables::kRows[row + Tables::kAcceptColumn];
      if (rule != 0) {
        accept_pos = pos;
        accept_rule = rule;
      }
    }
    scan_pos_ = pos;
    switch (RefillBuffer(accept_pos)) {
      case Refill::kFailed:
        return -1;
      case Refill::kAttemptEnded:
        if (token_start_ > data_end_) return 0;
        goto matched;
      case Refill::kMoreBytes:
        break;
    }
    bytes = reinterpret_cast<const unsigned char*>(scan_buffer_.data());
    pos = scan_pos_;
    end = data_end_;
  }

matched:
  // See note [back-up].
  if (accept_rule == 0) return Fail(ScanFailure::kInternalError);
  scan_pos_ = accept_pos;
  token_length_ = accept_pos - token_start_ + 1;
  return static_cast<int>(accept_rule);
}

bool Engine::ReadOn() {
  if (scan_pos_ < data_end_) return true;
  int no_accept = -1;
  return RefillBuffer(no_accept) == Refill::kMoreBytes;
}

bool Engine::ExtendTokenThrough(std::string_view terminator) {
  // Matching resumes where a terminator could still begin.
  std::size_t matched = 0;
  while (matched < terminator.size()) {
    if (!ReadOn()) return failure_ == ScanFailure::kNone;
    const char c = scan_buffer_[static_cast<std::size_t>(++scan_pos_)];
    ++token_length_;
    if (c == terminator[matched]) {
      ++matched;
    } else {
      // Fall back to the longest prefix of the terminator that ends here.
      const std::string_view seen(scan_buffer_.data() + scan_pos_ - matched, matched + 1);
      matched = 0;
      for (std::size_t k = std::min(seen.size(), terminator.size() - 1); k > 0; --k) {
        if (seen.substr(seen.size() - k) == terminator.substr(0, k)) {
          matched = k;
          break;
        }
      }
    }
  }
  return true;
}

bool Engine::ExtendTokenWhile(bool (*take)(unsigned char)) {
  for (;;) {
    if (!ReadOn()) return failure_ == ScanFailure::kNone;
    if (!take(static_cast<unsigned char>(scan_buffer_[static_cast<std::size_t>(scan_pos_) + 1]))) return true;
    ++scan_pos_;
    ++token_length_;
  }
}

// The scan for one rule set. With the modern rules the actions learn whether
// each token stood apart from the one before it in the input (see note
// [touching tokens] in layout/emitters.cc).
template <typename Tables>
ScanFailure ScanAll(Engine& engine, RuleActions& actions, TokenObserver* observer) {
  constexpr bool kModern = std::is_same_v<Tables, tables::Modern>;
  bool separated = true;
  for (;;) {
    const int rule = engine.ScanToken<Tables>();
    if (rule == 0) return ScanFailure::kNone;
    if (rule < 0) return engine.failure();
    if (rule >= kRuleIdCount) return ScanFailure::kInternalError;
    if (observer != nullptr) observer->OnToken(rule, engine.bytes());
    const auto id = static_cast<RuleId>(rule);
    if (id == RuleId::kWhiteSpace) {
      separated = true;
      continue;
    }
    if constexpr (kModern) actions.SetSeparated(separated);
    actions.Run(id);
    if constexpr (kModern) {
      // Only the modern rules' actions read on (a raw string literal).
      if (engine.failure() != ScanFailure::kNone) return engine.failure();
      separated = RuleActions::Drops(id);
    }
  }
}

ScanFailure ScanInput(Engine& engine, RuleActions& actions, TokenObserver* observer) {
  if (engine.failure() != ScanFailure::kNone) return engine.failure();
  return engine.rule_set() == RuleSet::kModern ? ScanAll<tables::Modern>(engine, actions, observer)
                                               : ScanAll<tables::Classic>(engine, actions, observer);
}

}  // namespace qfmt::scanner
