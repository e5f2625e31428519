#pragma once

#include <string>
#include <string_view>

#include "shell/platform.h"

namespace qfmt::tools {

// Keeps the text that the system's console would write to standard error: a
// message with a line feed unless it ends in one, other text as it is. The
// running indication is never shown.
class RecordingConsole final : public shell::Console {
 public:
  void ShowMessage(std::string_view text) override {
    shown_ += text;
    if (text.empty() || text.back() != '\n') shown_ += '\n';
  }
  void WriteError(std::string_view text) override { shown_ += text; }
  void ShowRunning(std::string_view) override {}
  void HideRunning() override {}

  [[nodiscard]] const std::string& shown() const { return shown_; }

 private:
  std::string shown_;
};

}  // namespace qfmt::tools
