#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "layout/layout.h"
#include "tests/support/memory_file_system.h"
#include "tools/recording_console.h"
#include "tools/run_program.h"
#include "tools/temp_folder.h"

// Helpers for the tests that work with files, real code and the executables.
namespace qfmt::testing {

namespace fs = std::filesystem;

// A temporary folder, running an executable, and a console that keeps what
// the program shows: shared with the tools.
using tools::ProgramRun;
using tools::RecordingConsole;
using tools::RunProgram;
using tools::TempFolder;

[[nodiscard]] std::string ReadFile(const fs::path& path);
// Creates the file's folders too.
void WriteFile(const fs::path& path, std::string_view bytes);

// What a folder holds, hidden files and subfolders included, as in Contents
// ("<fifo>" for a FIFO).
[[nodiscard]] Contents FilesIn(const fs::path& folder);

// The entries of `after` that are new or differ from `before`, and "<gone>"
// for those of `before` that are gone.
[[nodiscard]] Contents Changes(const Contents& before, const Contents& after);

// A run of an executable in a temporary folder, and all that it leaves. The
// folder's entries are written as in Contents, and "<hard link to NAME>"
// makes a second name of NAME, "<fifo>" a FIFO.
struct ProgramCase {
  std::string name;
  Contents files;  // before the run
  std::vector<std::string> arguments;
  int status;
  std::string error;  // standard error, with "#.##" for the seconds of a summary line
  Contents changed;   // what appeared or changed, as it stands after the run
  std::string input;  // standard input
  std::string out;    // standard output
};
// A case in the order that a table of them reads best.
[[nodiscard]] ProgramCase Case(std::string name, Contents files, std::vector<std::string> arguments,
                               int status, std::string error, Contents changed, std::string input = {},
                               std::string out = {});
void PrintTo(const ProgramCase& c, std::ostream* out);
// Runs `binary` in a new temporary folder that holds the case's files, and
// checks what the run leaves against the case.
void ExpectRunLeaves(const std::string& binary, const ProgramCase& c);

// Runs qfmt-tree in `folder`.
[[nodiscard]] ProgramRun RunTreeProgram(const std::vector<std::string>& arguments, const fs::path& folder,
                                        std::string_view input = {});

// The settled text of `text`, made in-process by the library (by default with
// qfmt-tree's default, the modern rules).
[[nodiscard]] std::string Settled(std::string_view text,
                                  const layout::LayoutOptions& options = {.modern = true});

// Generated C and C++ source of about `size` bytes; with `cpp20`, C++20
// source full of what the classic rules cannot keep.
[[nodiscard]] std::string GeneratedSource(std::uint64_t size, std::uint64_t seed, bool cpp20 = false);

// Every `step`-th C or C++ file under /usr/include (regular files, no links),
// in sorted order: real code of every kind, read at test time.
[[nodiscard]] std::vector<fs::path> SystemHeaders(std::size_t step);

}  // namespace qfmt::testing
