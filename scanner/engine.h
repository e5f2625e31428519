#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/check.h"
#include "scanner/condition.h"
#include "scanner/input.h"

namespace qfmt::scanner {

class RuleActions;

// The four fatal conditions of the engine.
enum class ScanFailure {
  kNone,
  kBufferOverflow,  // L0029
  kReadFailed,      // L0048
  kEofTwice,        // L0030
  kInternalError,   // L0028
  kStopped,         // stopped from outside (Engine::Stop); never in the classic job
};

// The message written to standard error for a failure (without line feed).
[[nodiscard]] std::string_view FailureMessage(ScanFailure failure);

// The classic limit: a token attempt that has read this many bytes or more
// cannot be held, and the scan stops with L0029. It equals the size of a read.
inline constexpr int kTokenLimit = 512;

// How long a token attempt may grow.
enum class TokenLimit {
  kClassic,  // kTokenLimit bytes and more stop the scan with L0029
  kLifted,   // the buffer grows instead; every other decision stays the same
};

// Which rules the scanner applies: the classic ones, or the modern set that
// keeps every preprocessing token whole (modern.lex).
enum class RuleSet { kClassic, kModern };

// Sees every token before its action runs (for tools and tests).
class TokenObserver {
 public:
  virtual ~TokenObserver() = default;
  virtual void OnToken(int rule, std::string_view bytes) = 0;
};

// The longest-match scanner engine: reads of 512 bytes into a 1024-byte buffer,
// the back-up to the last accepting position, the give-back, and the overflow
// of a token attempt that has read 512 bytes or more. See note [buffer shift]
// and note [back-up] in engine.cc.
class Engine {
 public:
  static constexpr int kReadSize = kTokenLimit;
  static constexpr int kBufferSize = 2 * kReadSize;

  explicit Engine(LineEndReader& input, TokenLimit limit = TokenLimit::kClassic,
                  RuleSet rule_set = RuleSet::kClassic);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Finds the next token: returns its rule's identity (a RuleId), 0 at the end
  // of the input (again on every later call), or -1 on a fatal failure.
  [[nodiscard]] int NextToken();
  [[nodiscard]] ScanFailure failure() const { return failure_; }
  // Input offset (after CR LF translation) of the current token attempt; after
  // an overflow, where the token that was too long began.
  [[nodiscard]] std::int64_t attempt_offset() const { return index0_offset_ + token_start_; }

  // All bytes of the current token, NUL bytes included.
  [[nodiscard]] std::string_view bytes() const {
    return {scan_buffer_.data() + token_start_, static_cast<std::size_t>(token_length_)};
  }
  // The token as the actions see it: cut short at its first NUL byte.
  [[nodiscard]] std::string_view text() const { return saw_nul_ ? CutAtNul(bytes()) : bytes(); }

  [[nodiscard]] RuleSet rule_set() const { return rule_set_; }

  // Makes the current token reach up to and including the first `terminator`
  // after it (reading on as needed), or to the end of the input when none
  // comes; false when reading on failed (failure() says why).
  [[nodiscard]] bool ExtendTokenThrough(std::string_view terminator);
  // Makes the current token take the bytes after it for which `take` holds.
  [[nodiscard]] bool ExtendTokenWhile(bool (*take)(unsigned char));

  // Ends the scan after the current token's action, with kStopped.
  void Stop() { failure_ = ScanFailure::kStopped; }

  // Takes effect from the next token.
  void BeginCondition(Condition condition) { start_state_ = StartState(condition, false); }
  // Returns the token's last byte to the input: the next token starts with it.
  void GiveBackLastChar() {
    QFMT_CHECK(token_length_ > 0);
    --scan_pos_;
    --token_length_;
  }

 private:
  template <typename Tables>
  friend ScanFailure ScanAll(Engine& engine, RuleActions& actions, TokenObserver* observer);

  enum class Refill { kMoreBytes, kAttemptEnded, kFailed };
  // Makes more bytes available; a shift moves accept_pos with the buffer.
  Refill RefillBuffer(int& accept_pos);
  // Inlined into the scan loop, so that a token costs no call.
  template <typename Tables>
  [[gnu::always_inline]] int ScanToken();
  // Makes the byte after the current token available; false at the end of
  // the input or on a failure.
  bool ReadOn();
  int Fail(ScanFailure failure) {
    failure_ = failure;
    return -1;
  }
  static std::string_view CutAtNul(std::string_view token);

  LineEndReader& input_;
  TokenLimit limit_;
  RuleSet rule_set_;
  std::vector<char> scan_buffer_;
  std::int64_t index0_offset_ = -1;  // input offset of scan_buffer_[0]
  int data_end_ = 0;
  int scan_pos_ = 0;
  int token_start_ = 0;
  int token_length_ = 0;
  int start_state_ = StartState(Condition::kInitial, false);
  bool input_ended_ = false;
  bool saw_nul_ = false;  // a NUL byte has been read: token texts end at it
  ScanFailure failure_ = ScanFailure::kNone;
};

// Scans the whole input, running each token's action. Returns kNone at the end
// of the input, or the fatal failure that stopped the scan.
[[nodiscard]] ScanFailure ScanInput(Engine& engine, RuleActions& actions, TokenObserver* observer = nullptr);

}  // namespace qfmt::scanner
