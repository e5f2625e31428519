#pragma once

#include <string>
#include <string_view>

#include "platform/console.h"
#include "shell/framework.h"

namespace qfmt::shell {

// The console of the window program: the job's message boxes are real ones,
// and its lines for standard error go to the C library's standard error.
// The progress dialog is the running indication.
class ShellConsole final : public platform::Console {
 public:
  explicit ShellConsole(const Application& app) : app_(app) {}

  platform::Status ReadInput(std::string& bytes, std::size_t limit) override {
    return platform::SystemConsole().ReadInput(bytes, limit);
  }
  bool WriteOutput(std::string_view text) override { return platform::SystemConsole().WriteOutput(text); }
  void ShowMessage(std::string_view text) override { app_.DoMessageBox(text); }
  // Style 16: the stop icon and one OK button.
  void ShowStopMessage(std::string_view text, std::string_view caption) override {
    (void)::MessageBoxA(nullptr, std::string(text).c_str(), std::string(caption).c_str(),
                        MB_OK | MB_ICONHAND);
  }
  void WriteError(std::string_view text) override { platform::SystemConsole().WriteError(text); }
  void ShowRunning(std::string_view) override {}
  void HideRunning() override {}

 private:
  const Application& app_;
};

}  // namespace qfmt::shell
