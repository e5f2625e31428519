#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "layout/layout.h"

namespace qfmt::tree {

struct TreeOptions {
  layout::LayoutOptions layout{.modern = true};  // --classic: the classic rules
  bool write = false;                            // -w: rewrite changed files in place
  bool list = false;                             // -l: name the files whose formatting differs
  bool diff = false;                             // -d: a unified diff per changed file
  bool check = false;                            // --check: list, for CI
  bool once = false;                             // one classic pass instead of settling
  bool backup = false;                           // with -w, keep the classic ".Backup" copy
  bool classic_limit = false;                    // keep the scanner's 512-byte token limit
  bool verify = true;                            // compare every file's tokens before and after
  bool quiet = false;                            // no summary
  int jobs = 0;                                  // 0: one per core
  std::vector<std::string> paths;                // empty: standard input

  // Neither -w, -l, -d nor --check: the formatted text goes to standard output.
  [[nodiscard]] bool prints_text() const { return !write && !list && !diff && !check; }
  [[nodiscard]] bool reads_standard_input() const { return paths.empty(); }
};

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kError };
  Action action = Action::kRun;
  TreeOptions options;
  std::string error;  // for kError: what is wrong, in one line
};

// Reads the arguments that follow the program's name, the conventional way:
// short options (bundled, "-m60" or "-m 60"), long options ("--jobs=2" or
// "--jobs 2"), "--" before paths that begin with "-", and "-" alone for
// standard input.
[[nodiscard]] CommandLine ParseCommandLine(const std::vector<std::string_view>& arguments);

// The text of --help, and the short usage shown after a bad command line.
[[nodiscard]] std::string HelpText();
inline constexpr std::string_view kShortUsage =
    "usage: qfmt-tree [OPTIONS] [PATH...]\n"
    "Try 'qfmt-tree --help' for more information.\n";

}  // namespace qfmt::tree
