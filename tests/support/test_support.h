#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <ostream>
#include <source_location>
#include <string>
#include <string_view>
#include <vector>

#include "layout/layout.h"
#include "tests/support/golden_cases.h"
#include "tests/support/memory_file_system.h"
#include "tools/recording_console.h"
#include "tools/run_program.h"
#include "tools/temp_folder.h"

// Helpers that the tests share: formatting and scanning in process, files
// and the executables in temporary folders, programs started as another user
// or under limits and signalled while they run, and a small disk.
namespace qfmt::testing {

// The output of one run over `input` (the final line break included); the run
// must not fail.
[[nodiscard]] std::string FormatToString(std::string_view input, const GoldenOptions& options = {});

// Fails at the call site, naming the first line where the output differs.
void ExpectFormats(std::string_view input, std::string_view expected, const GoldenOptions& options = {},
                   std::source_location where = std::source_location::current());

// The token stream of a run, as "Int:int WhiteSpace:' ' Identifier:x".
[[nodiscard]] std::string Tokens(std::string_view input);

// Bytes with \n, \t, \r and other control bytes written as escapes.
[[nodiscard]] std::string Escaped(std::string_view bytes);

// `unit` `count` times over.
[[nodiscard]] std::string Repeat(std::string_view unit, std::size_t count);

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
// qfmt-tree's classic style, the repaired rules).
[[nodiscard]] std::string Settled(std::string_view text,
                                  const layout::LayoutOptions& options = {.repaired = true});

// Every `step`-th C or C++ file under /usr/include (regular files, no links),
// in sorted order: real code of every kind, read at test time.
[[nodiscard]] std::vector<fs::path> SystemHeaders(std::size_t step);

struct ChildOptions {
  bool as_nobody = false;          // with the user and group IDs of "nobody"
  std::uint64_t memory_limit = 0;  // RLIMIT_AS in bytes; 0 for none
  std::string standard_input = "/dev/null";
};

// A program started in `folder`, its standard output and error going to
// files of a folder of its own.
class Child {
 public:
  Child(const std::string& binary, const std::vector<std::string>& arguments,
        const std::filesystem::path& folder, const ChildOptions& options = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  [[nodiscard]] pid_t pid() const { return pid_; }
  // False while it runs.
  [[nodiscard]] bool Ended();
  // Waits for the end; the exit status, or -1 when a signal ended it.
  int Wait();
  [[nodiscard]] std::string Output() const;
  [[nodiscard]] std::string Error() const;

 private:
  std::filesystem::path streams_;
  pid_t pid_ = -1;
  int wait_status_ = -1;
};

// The user "nobody", or -1 where there is none.
[[nodiscard]] uid_t NobodyUid();

// A tmpfs of `kib` KiB mounted on a new folder, unmounted and removed at the
// end; path() is empty where it cannot be mounted (not root, no mount rights).
class SmallDisk {
 public:
  explicit SmallDisk(int kib);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace qfmt::testing
