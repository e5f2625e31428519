#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qfmt::testing {

struct ProgramRun {
  int status = -1;           // the exit status; -1 when it did not exit normally
  std::string out;           // standard output
  std::string error;         // standard error
  long peak_memory_kib = 0;  // its peak resident memory
};

// Runs `binary` with `arguments` in `folder`, `input` on standard input, and
// waits for it. When it cannot start, the status is -1 and `error` says why.
[[nodiscard]] ProgramRun RunProgram(const std::string& binary, const std::vector<std::string>& arguments,
                                    const std::filesystem::path& folder, std::string_view input = {});

}  // namespace qfmt::testing
