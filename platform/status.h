#pragma once

#include <string>
#include <utility>

namespace qfmt::platform {

// The outcome of a fallible call, in every library: ok, or a code and words
// for what went wrong that fit in a message ("Permission denied").
class [[nodiscard]] Status {
 public:
  enum class Code {
    kOk,
    kFailed,
    kMissing,  // nothing stands there (nor, for a path, a folder on its way)
  };

  Status() = default;
  // A failure; a message that is empty is none.
  Status(std::string message,
         Code code = Code::kFailed)  // NOLINT(google-explicit-constructor): `return {"..."}`
      : code_(message.empty() ? Code::kOk : code), message_(std::move(message)) {}

  [[nodiscard]] bool ok() const { return code_ == Code::kOk; }
  [[nodiscard]] bool missing() const { return code_ == Code::kMissing; }
  [[nodiscard]] Code code() const { return code_; }
  [[nodiscard]] const std::string& message() const { return message_; }

 private:
  Code code_ = Code::kOk;
  std::string message_;
};

}  // namespace qfmt::platform
