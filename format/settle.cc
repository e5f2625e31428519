#include "format/settle.h"

#include <functional>
#include <string>

#include "platform/check.h"
#include "platform/text_position.h"

namespace qfmt::format {

// note [settling]
// The classic pass is not idempotent: blank lines before comments and
// directives grow for a pass or two, and an access label alternates between
// the start of its line and the indented position for ever. Settling runs the
// pass on its own output until a text repeats; the repeated text is a fixed
// point or the first text of the cycle as it was entered, so a text on a cycle
// settles to itself and settling a settled text changes nothing.
//
// Only the input and the last three texts are held. Every text leaves a
// fingerprint (size and hash); when a new text matches the fingerprint of one
// that is no longer held, that one is made again from the input (the pass is
// deterministic) and compared byte for byte. On real code the repeated text is
// the previous one or the one before it, so this almost never runs.

namespace {
constexpr int kHeld = 3;

SettleResult Settled(int passes) {
  SettleResult result;
  result.passes = passes;
  return result;
}
}  // namespace

platform::TextPosition TokenPosition(std::string_view text, std::int64_t attempt_offset) {
  std::size_t at = platform::ByteOfScannedOffset(text, attempt_offset);
  const auto blank = [&](std::size_t i) {
    const char c = text[i];
    return c == ' ' || c == '\t' || c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
  };
  while (at < text.size() && blank(at)) ++at;
  return platform::PositionOfByte(text, at);
}

Settler::Fingerprint Settler::SizeAndHash(std::string_view text) {
  return {text.size(), std::hash<std::string_view>{}(text)};
}

std::string_view Settler::Held(int k) const {
  return k == 0 ? input_ : std::string_view(recent_[static_cast<std::size_t>(k % kHeld)]);
}

SettleResult Settler::Failure(const job::FormatResult& result, int pass_number,
                              std::string_view pass_input) const {
  SettleResult failed;
  failed.status = result.status;
  failed.passes = pass_number;
  failed.output_limit_reached = result.output_limit_reached;
  if (result.token_too_long()) failed.long_token = TokenPosition(pass_input, result.failure_offset);
  return failed;
}

SettleResult Settler::Once(std::string_view input, TextPass& pass) {
  std::string& output = recent_[1];
  const job::FormatResult result = pass.Run(input, output);
  if (!result.status.ok()) return Failure(result, 1, input);
  result_ = output;
  return Settled(1);
}

SettleResult Settler::Settle(std::string_view input, TextPass& pass, int max_passes) {
  input_ = input;
  fingerprints_.assign(1, fingerprint_(input));
  for (int k = 1; k <= max_passes; ++k) {
    std::string& text = recent_[static_cast<std::size_t>(k % kHeld)];
    const job::FormatResult result = pass.Run(Held(k - 1), text);
    if (!result.status.ok()) return Failure(result, k, Held(k - 1));
    const Fingerprint fingerprint = fingerprint_(text);
    for (int j = 0; j < k; ++j) {
      if (fingerprints_[static_cast<std::size_t>(j)] == fingerprint && EqualsEarlier(j, k, text, pass)) {
        result_ = text;
        return Settled(k);
      }
    }
    fingerprints_.push_back(fingerprint);
  }
  SettleResult unsettled = Settled(max_passes);
  unsettled.status = "no settled text after " + std::to_string(max_passes) + " passes";
  return unsettled;
}

// Text j of the sequence, compared with text k (j < k).
bool Settler::EqualsEarlier(int j, int k, std::string_view text, TextPass& pass) {
  QFMT_CHECK(j >= 0 && j < k);
  if (j == 0 || j > k - kHeld) return Held(j) == text;
  std::string_view made = input_;
  for (int i = 1; i <= j; ++i) {
    std::string& into = scratch_[static_cast<std::size_t>(i % 2)];
    // A pass that worked once works again: it is deterministic.
    QFMT_CHECK(pass.Run(made, into).status.ok());
    made = into;
  }
  return made == text;
}

}  // namespace qfmt::format
