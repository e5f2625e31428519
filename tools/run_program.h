#pragma once

#include <string>
#include <vector>

namespace qfmt::tools {

struct ProgramOutcome {
  int status = -1;           // the exit status, or 128 + the signal that ended it
  std::string error;         // what it wrote to standard error
  long peak_memory_kib = 0;  // its peak resident memory
};

// Runs `program` with `arguments` in the folder `directory` and waits for it.
[[nodiscard]] ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                                        const std::string& directory);

}  // namespace qfmt::tools
