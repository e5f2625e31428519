#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/text_position.h"
#include "project/editorconfig.h"
#include "project/git_repository.h"
#include "tree/command_line.h"
#include "tree/file_formatter.h"
#include "tree/file_walk.h"
#include "tree/report.h"
#include "tree/tree_run.h"

// The modes of a qfmt-tree run, a file each (tree_run.cc chooses one), and
// what they share: the printer of outcomes and the context of the run.
namespace qfmt::tree {

using Clock = std::chrono::steady_clock;
[[nodiscard]] double SecondsSince(Clock::time_point start);

// Prints what became of each file as it is given them (in sorted path order),
// counts the files, and tells the run's exit status.
class OutcomePrinter {
 public:
  OutcomePrinter(const TreeOptions& options, platform::Console& console);
  void Print(const std::string& path, const FileOutcome& outcome);
  // Ends the progress line and shows the summary, unless --quiet.
  void Finish(Clock::time_point start);
  [[nodiscard]] int ExitStatus() const;
  [[nodiscard]] bool output_failed() const { return output_failed_; }

 private:
  [[nodiscard]] std::string ChangeLine(const std::string& path, const platform::TextPosition& at) const;
  void Output(std::string_view text);

  const TreeOptions& options_;
  platform::Console& console_;
  const PlaceWriter places_;  // standard output's
  const PlaceWriter errors_;  // standard error's
  RunTotals totals_;
  bool output_failed_ = false;
};

// What every mode works with.
struct RunContext {
  const TreeOptions& options;
  platform::FileSystem& files;
  platform::Console& console;
  project::EditorConfigFiles& editorconfig;
  OutcomePrinter& printer;
};

// Standard input's text, named by --stdin-filename, with the settings of that
// name or of --assume-filename's (standard_input_run.cc).
[[nodiscard]] int RunStandardInput(RunContext& run);
// The files and folders named, walked (files_run.cc).
[[nodiscard]] int RunFiles(RunContext& run);
// Formats the sources on worker threads and prints their outcomes in order
// (files_run.cc).
[[nodiscard]] int RunSources(RunContext& run, const std::vector<SourceFile>& sources);
// The paths that --files-from names (files_run.cc).
[[nodiscard]] platform::Status ReadPathList(const TreeOptions& options, platform::FileSystem& files,
                                            platform::Console& console, std::vector<std::string>& paths);
// --staged: the staged texts in git's index (staged_run.cc).
[[nodiscard]] int RunStaged(RunContext& run);
// --changed: the files of the work tree that git shows as changed
// (changed_run.cc).
[[nodiscard]] int RunChanged(RunContext& run);
// The repository of the current folder (as git's hooks set it up) and the
// pathspec of the paths; null, with the error shown, when there is none
// (changed_run.cc).
[[nodiscard]] std::unique_ptr<project::GitRepository> OpenRepository(RunContext& run, std::string_view option,
                                                                     std::vector<std::string>& pathspec);

}  // namespace qfmt::tree
