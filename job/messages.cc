#include "job/messages.h"

namespace qfmt::job {

std::string BraceWarning(std::int32_t count) {
  // The magnitude of -2^31 does not fit an int32; print it from 64 bits.
  const std::int64_t magnitude = count < 0 ? -static_cast<std::int64_t>(count) : count;
  return "Warning: you have " + std::to_string(magnitude) + " too many " + (count > 0 ? "open" : "close") +
         " curly braces.";
}

std::string OpenErrorLine(std::string_view name, std::string_view purpose) {
  std::string line = "qmft: error: could not open ";
  line += name;
  line += " for ";
  line += purpose;
  line += '\n';
  return line;
}

std::string UsageDialogText() {
  // Lines of the box's width: blanks up to 103 characters, where the message
  // box has line feeds, push what follows onto a line of its own.
  constexpr std::size_t kLineWidth = 103;
  const auto line = [](std::string_view text) {
    std::string padded(text);
    padded.resize(kLineWidth, ' ');
    return padded;
  };
  return "You should not run the Quillon directly, it is best to invoke it from the C compiler.  "
         "The configuration program permits you to change any settings you like.  " +
         line("If you really want to run this program stand alone then use the following information:") +
         line("") + line("") + line("") + line("The Quillon call sequence is:") +
         "qfmt -iInFile [-oOutFile] [-lMaxLineLength] [-t\"IndentationString\"]";
}

}  // namespace qfmt::job
