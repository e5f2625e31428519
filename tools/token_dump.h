#pragma once

#include <string>
#include <string_view>

#include "scanner/actions.h"

namespace qfmt::tools {

// "43:int", or "154:' '" when the text holds bytes that need escaping
// (\n, \t, \r, \\, \', and \xNN for other bytes outside printable ASCII).
[[nodiscard]] std::string DescribeToken(int rule, std::string_view bytes);

// Collects the tokens of a run as one line of descriptions, blank-separated.
class TokenRecorder final : public scanner::TokenObserver {
 public:
  void OnToken(int rule, std::string_view bytes) override;
  [[nodiscard]] const std::string& tokens() const { return tokens_; }

 private:
  std::string tokens_;
};

}  // namespace qfmt::tools
