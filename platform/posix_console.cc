#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/console.h"
#include "platform/posix.h"

// The console of POSIX systems: standard streams, and the running line on a
// terminal.
namespace qfmt::platform {
namespace {

using posix::Failed;
using posix::Ok;
using posix::ReadToEnd;

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

class PosixConsole final : public Console {
 public:
  bool IsTerminal(Stream stream) const override {
    return ::isatty(stream == Stream::kInput ? STDIN_FILENO : STDOUT_FILENO) != 0;
  }

  Status ReadInput(std::string& bytes, std::size_t limit) override {
    bytes.clear();
    return ReadToEnd(STDIN_FILENO, bytes, 0, limit == SIZE_MAX ? limit : limit + 1) ? Ok() : Failed(errno);
  }

  // When standard output is a terminal too, the running indication is erased
  // around the text, as for standard error.
  bool WriteOutput(std::string_view text) override {
    const bool was_shown = shown_ && output_is_terminal_;
    if (was_shown) Erase();
    const bool written = WriteAll(STDOUT_FILENO, text);
    if (was_shown) Show();
    return written;
  }

  void ShowMessage(std::string_view text) override {
    std::string line(text);
    if (line.empty() || line.back() != '\n') line += '\n';
    WriteError(line);
  }

  // A message must not share its line with the running indication: erase the
  // indication first and show it again afterwards.
  void WriteError(std::string_view text) override {
    const bool was_shown = shown_;
    Erase();
    WriteAll(STDERR_FILENO, text);
    if (was_shown) Show();
  }

  // A new text replaces the one shown.
  void ShowRunning(std::string_view text) override {
    if (::isatty(STDERR_FILENO) == 0) return;
    Erase();
    running_text_ = std::string(text);
    Show();
  }

  void HideRunning() override {
    Erase();
    running_text_.clear();
  }

 private:
  void Show() {
    WriteAll(STDERR_FILENO, running_text_);
    shown_ = true;
  }
  void Erase() {
    if (!shown_) return;
    std::string blank_line(running_text_.size() + 2, ' ');
    blank_line.front() = '\r';
    blank_line.back() = '\r';
    WriteAll(STDERR_FILENO, blank_line);
    shown_ = false;
  }

  std::string running_text_;
  bool shown_ = false;
  bool output_is_terminal_ = ::isatty(STDOUT_FILENO) != 0;
};

}  // namespace

Console& SystemConsole() {
  static PosixConsole console;
  return console;
}

}  // namespace qfmt::platform
