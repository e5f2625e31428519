#pragma once

#include <filesystem>
#include <source_location>
#include <string>
#include <string_view>

#include "layout/layout.h"
#include "tests/golden_options.h"

namespace qfmt::testing {

// The output of one run over `input` (the final line break included).
[[nodiscard]] std::string FormatToString(std::string_view input, const GoldenOptions& options = {});

// Fails at the call site, naming the first line where the output differs.
void ExpectFormats(std::string_view input, std::string_view expected, const GoldenOptions& options = {},
                   std::source_location where = std::source_location::current());

// The token stream of a run, as "43:int 154:' ' 153:x".
[[nodiscard]] std::string Tokens(std::string_view input);

// Bytes with \n, \t, \r and other control bytes written as escapes.
[[nodiscard]] std::string Escaped(std::string_view bytes);

// A new folder under the system's temporary folder, removed with all it holds
// at the end. Its path holds no "-", so that it can stand on a command line
// where "-o" or "-t" would be read as markers.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  [[nodiscard]] std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// A whole file's bytes; empty when it cannot be read.
[[nodiscard]] std::string ReadFile(const std::filesystem::path& path);
// Creates or truncates the file and writes the bytes.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace qfmt::testing
