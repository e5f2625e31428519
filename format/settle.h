#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "job/format.h"
#include "layout/layout.h"
#include "platform/status.h"
#include "platform/text_position.h"
#include "scanner/engine.h"

namespace qfmt::format {

// One formatting pass over a text held in memory.
class TextPass {
 public:
  virtual ~TextPass() = default;
  // Replaces `output` with the text that the pass makes of `input`.
  [[nodiscard]] virtual job::FormatResult Run(std::string_view input, std::string& output) = 0;
};

// The classic pass, with its options and token limit.
class ClassicPass final : public TextPass {
 public:
  ClassicPass(layout::LayoutOptions options, scanner::TokenLimit limit)
      : options_(std::move(options)), limit_(limit) {}
  [[nodiscard]] job::FormatResult Run(std::string_view input, std::string& output) override {
    output.clear();
    return job::FormatText(input, options_, output, limit_, nullptr, &buffers_, max_output_);
  }
  // From now on, a pass whose output would grow past `bytes` stops (output_limit_reached).
  void LimitOutput(std::size_t bytes) { max_output_ = bytes; }

 private:
  layout::LayoutOptions options_;
  scanner::TokenLimit limit_;
  job::RunBuffers buffers_;
  std::size_t max_output_ = SIZE_MAX;
};

inline constexpr int kMaxPasses = 16;

struct SettleResult {
  // Ok when text() holds the result; else the failing pass's status, or no
  // text repeated within the allowed passes.
  platform::Status status;
  int passes = 0;                     // passes run, the failing one included
  bool output_limit_reached = false;  // the failing pass stopped at its output's bound
  // After a token too long: where it begins, in the text that the failing
  // pass read (the file's own text when passes is 1).
  std::optional<platform::TextPosition> long_token;
};

// Line and column of the token that an attempt beginning at `attempt_offset`
// (CR LF counted as one byte) was reading: the blanks, tabs and line feeds
// the attempt began with are skipped, because a comment token carries them.
[[nodiscard]] platform::TextPosition TokenPosition(std::string_view text, std::int64_t attempt_offset);

// Formats texts to their settled form; see note [settling]. Buffers are kept
// from one call to the next, so one settler per thread serves many files.
class Settler {
 public:
  // What is kept of a text that is no longer held: texts whose fingerprints
  // differ are different texts.
  struct Fingerprint {
    std::size_t size = 0;
    std::size_t hash = 0;
    bool operator==(const Fingerprint&) const = default;
  };
  using FingerprintFunction = Fingerprint (*)(std::string_view text);
  // The size and hash of the text.
  [[nodiscard]] static Fingerprint SizeAndHash(std::string_view text);

  // Tests pass a fingerprint that collides, to reach the comparisons that
  // only a collision of SizeAndHash would otherwise call for.
  explicit Settler(FingerprintFunction fingerprint = SizeAndHash) : fingerprint_(fingerprint) {}

  // Applies `pass` to `input` again and again, and stops at the first text
  // that equals an earlier text of that sequence, `input` included; that text
  // is the result. After `max_passes` passes without a repetition: kNoRepetition.
  [[nodiscard]] SettleResult Settle(std::string_view input, TextPass& pass, int max_passes = kMaxPasses);
  // Applies `pass` exactly once.
  [[nodiscard]] SettleResult Once(std::string_view input, TextPass& pass);
  // The result of the last successful call; valid until the next call.
  [[nodiscard]] std::string_view text() const { return result_; }

 private:
  // Text k of the sequence while it is held: the input, or one of the last three.
  [[nodiscard]] std::string_view Held(int k) const;
  [[nodiscard]] bool EqualsEarlier(int j, int k, std::string_view text, TextPass& pass);
  [[nodiscard]] SettleResult Failure(const job::FormatResult& result, int pass_number,
                                     std::string_view pass_input) const;

  FingerprintFunction fingerprint_;
  std::string_view input_;
  std::array<std::string, 3> recent_;   // text k in recent_[k % 3]
  std::array<std::string, 2> scratch_;  // texts made again, rarely needed
  std::vector<Fingerprint> fingerprints_;
  std::string_view result_;
};

}  // namespace qfmt::format
