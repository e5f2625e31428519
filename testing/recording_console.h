#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"

namespace qfmt::testing {

// Keeps what the program shows: standard error both with each message box
// ended by "|" (`shown`) and as the system's console writes it (a message with
// a line feed unless it ends in one); the caption of each message box;
// standard output; standard input from `input`. The running indication is
// never shown.
class RecordingConsole final : public platform::Console {
 public:
  std::string input;                  // what standard input holds
  std::string shown;                  // standard error, message boxes ended by "|"
  std::string standard_error;         // standard error as written
  std::string output;                 // standard output
  std::vector<std::string> captions;  // of the message boxes in turn; "" for the application's own

  platform::Status ReadInput(std::string& bytes, std::size_t limit) override {
    bytes = input.substr(0, limit == SIZE_MAX ? limit : limit + 1);
    return {};
  }
  bool WriteOutput(std::string_view text) override {
    output += text;
    return true;
  }
  void ShowMessage(std::string_view text) override { ShowBox(text, ""); }
  void ShowStopMessage(std::string_view text, std::string_view caption) override { ShowBox(text, caption); }
  void WriteError(std::string_view text) override {
    shown += text;
    standard_error += text;
  }
  void ShowRunning(std::string_view) override {}
  void HideRunning() override {}

 private:
  void ShowBox(std::string_view text, std::string_view caption) {
    shown += std::string(text) + "|";
    standard_error += text;
    if (text.empty() || text.back() != '\n') standard_error += '\n';
    captions.emplace_back(caption);
  }
};

}  // namespace qfmt::testing
