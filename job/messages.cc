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

}  // namespace qfmt::job
