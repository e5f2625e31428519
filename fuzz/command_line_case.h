#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qfmt::fuzz {

// An input of the command-line fuzz target. The first byte:
//   bit 0      0: the rest is the raw command line; 1: the rest is an argument
//              vector, arguments separated by NUL bytes, that the command
//              line is rebuilt from (after the program name "qfmt")
//   bits 1-2   a fault of the file system: none, reads of the input fail,
//              reads of the backup fail, the backup cannot be opened for
//              writing
//   bits 3-7   where a read fails: after 32 times this many bytes
enum class Fault { kNone, kInputReadFails, kBackupReadFails, kBackupRefused };

struct CommandLineCase {
  std::string command_line;
  std::vector<std::string> arguments;  // in the second form, without the program name
  bool from_arguments = false;
  Fault fault = Fault::kNone;
  std::size_t fail_after = 0;
};

[[nodiscard]] CommandLineCase DecodeCommandLineCase(std::string_view data);

[[nodiscard]] std::string EncodeRawCommandLine(std::string_view command_line, Fault fault = Fault::kNone,
                                               std::size_t fail_after = 0);
[[nodiscard]] std::string EncodeArguments(const std::vector<std::string>& arguments);

// The files that the target's runs start from: sources, a long comment that
// stops the scan, a stale backup, folders.
struct SeedFile {
  std::string name;
  std::string bytes;  // empty for a folder
  bool folder = false;
};
[[nodiscard]] const std::vector<SeedFile>& StartingFiles();

}  // namespace qfmt::fuzz
