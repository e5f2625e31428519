#pragma once

#include <string>
#include <string_view>

#include "scanner/engine.h"

namespace qfmt::testing {

// "Int:int", the rule's name and the token's text, or "WhiteSpace:' '" when
// the text holds blanks, a backslash or bytes outside printable ASCII, written
// as \n, \t, \r, \\ and \xNN.
[[nodiscard]] std::string DescribeToken(int rule, std::string_view bytes);

// Bytes as DescribeToken shows them, without the rule: as they are
// when printable, otherwise in single quotes with escapes.
[[nodiscard]] std::string EscapedBytes(std::string_view bytes);

// Collects the tokens of a run as one line of descriptions, blank-separated.
class TokenRecorder final : public scanner::TokenObserver {
 public:
  void OnToken(int rule, std::string_view bytes) override;
  [[nodiscard]] const std::string& tokens() const { return tokens_; }

 private:
  std::string tokens_;
};

}  // namespace qfmt::testing
