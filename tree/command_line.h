#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "format/style.h"
#include "project/git_repository.h"
#include "project/settings.h"

namespace qfmt::tree {

// How places are named in lists, checks and errors: as compilers write them
// (PATH:LINE:COL: error: ...), or as GitHub's workflow commands.
enum class PlaceForm { kText, kGithub };
enum class ColorChoice { kAuto, kAlways, kNever };

struct TreeOptions {
  format::StyleOptions style;             // the command line's style, else the defaults
  project::GivenOptions given;            // which of them the command line gave
  bool write = false;                     // -w: rewrite changed files in place
  bool list = false;                      // -l: name the files whose formatting differs
  bool diff = false;                      // -d: a unified diff per changed file
  bool check = false;                     // --check: list, for CI
  bool once = false;                      // one classic pass instead of settling
  bool backup = false;                    // with -w, keep the classic ".Backup" copy
  bool classic_limit = false;             // keep the scanner's 512-byte token limit
  bool verify = true;                     // compare every file's tokens before and after
  bool quiet = false;                     // no summary
  bool staged = false;                    // the staged content of git's index
  bool changed = false;                   // only the lines that differ in git
  std::string changed_against;            // --changed=REV; empty: the index against HEAD
  std::vector<project::LineRange> lines;  // --lines: only these lines of the one text
  bool verbose = false;                   // name every file and what became of it
  PlaceForm form = PlaceForm::kText;
  ColorChoice color = ColorChoice::kAuto;
  std::string files_from;             // a file of paths, one a line ("-": standard input)
  bool null_separated = false;        // its paths end with NUL bytes instead
  int jobs = 0;                       // 0: one per core
  std::vector<std::string> paths;     // empty: standard input
  std::vector<std::string> excludes;  // globs that walks leave out
  std::string stdin_filename;         // names standard input's text
  std::string assume_filename;        // every text taken is formatted as this kind of file
  std::string print_settings;         // the file whose settings to show

  // Neither -w, -l, -d nor --check: the formatted text goes to standard output.
  [[nodiscard]] bool prints_text() const { return !write && !list && !diff && !check; }
  // --check, --list or --diff without --write: the files are only compared.
  [[nodiscard]] bool only_checks() const { return !write && (list || diff || check); }
  [[nodiscard]] bool reads_standard_input() const {
    return paths.empty() && !staged && !changed && files_from.empty();
  }
};

struct CommandLine {
  enum class Action { kRun, kPrintSettings, kHelp, kVersion, kError };
  Action action = Action::kRun;
  TreeOptions options;
  std::string error;  // for kError: what is wrong, in one line
};

// Reads the arguments that follow the program's name, the conventional way:
// short options (bundled, "-m60" or "-m 60"), long options ("--jobs=2" or
// "--jobs 2"; an optional value only after "=", as "--changed=REV"), "--"
// before paths that begin with "-", and "-" alone for standard input.
[[nodiscard]] CommandLine ParseCommandLine(const std::vector<std::string_view>& arguments);

// What a shell offers for an option's value.
enum class ValueCompletion {
  kNothing,  // the user types it
  kWords,    // one of the option's words
  kFiles,    // a file name
  kCommit,   // a git commit (only after "=")
};

// One option as the shells' completions describe it.
struct OptionDescription {
  std::vector<std::string> names = {};  // "-w", "-i", "--write"
  std::string long_name = {};           // "--write"
  std::string value_name = {};          // "STYLE"; empty for a switch
  std::string summary = {};             // its help on one line
  bool takes_value = false;             // a value, or one after "=" only
  bool needs_value = false;             // always a value
  bool repeatable = false;              // given more than once, each counts
  bool alone = false;                   // --help, --version: the rest of the line does not count
  ValueCompletion completes = ValueCompletion::kNothing;
  std::vector<std::string> words = {};  // for kWords
};
// The options, in the order of --help.
[[nodiscard]] std::vector<OptionDescription> OptionTable();

// The text of --help, and the short usage shown after a bad command line.
[[nodiscard]] std::string HelpText();
inline constexpr std::string_view kShortUsage =
    "usage: qfmt-tree [OPTIONS] [PATH...]\n"
    "Try 'qfmt-tree --help' for more information.\n";

}  // namespace qfmt::tree
