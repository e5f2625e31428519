#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace qfmt::platform {

// The standard streams: standard error, where message boxes become lines of
// text, and standard input and output for filters.
class Console {
 public:
  enum class Stream { kInput, kOutput };
  virtual ~Console() = default;
  // True when the stream is a terminal, not a file or a pipe.
  [[nodiscard]] virtual bool IsTerminal(Stream /*stream*/) const { return false; }
  // All of standard input, or, when it holds more than `limit` bytes, its
  // first `limit` + 1: enough to see that it is too long.
  virtual Status ReadInput(std::string& bytes, std::size_t limit) = 0;
  // Text for standard output exactly as given; false when it could not be written.
  [[nodiscard]] virtual bool WriteOutput(std::string_view text) = 0;
  // A message box: the text, and a line feed unless the text ends in one.
  // Where there are message boxes, the application's own: its name as
  // caption, one OK button, owned by its main window.
  virtual void ShowMessage(std::string_view text) = 0;
  // A message box with a caption of its own and a stop icon, owned by no
  // window; where there are no message boxes, as ShowMessage.
  virtual void ShowStopMessage(std::string_view text, std::string_view /*caption*/) { ShowMessage(text); }
  // Text for standard error exactly as given.
  virtual void WriteError(std::string_view text) = 0;
  // The "running" indication, shown only on a terminal; a new text replaces
  // the one shown.
  virtual void ShowRunning(std::string_view text) = 0;
  virtual void HideRunning() = 0;
};

[[nodiscard]] Console& SystemConsole();

}  // namespace qfmt::platform
