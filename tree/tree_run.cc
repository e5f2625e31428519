#include "tree/tree_run.h"

#include <string>

#include "generated/version.h"
#include "project/settings.h"
#include "tree/command_line.h"
#include "tree/file_walk.h"
#include "tree/tree_modes.h"

// Reads the command line and hands the run to its mode.
namespace qfmt::tree {
namespace {

int RunPrintSettings(RunContext& run) {
  const std::string& path = run.options.print_settings;
  const project::FileSettings settings =
      project::ResolveSettings(run.editorconfig, path, run.options.style, run.options.given);
  if (!settings.status.ok()) {
    run.console.WriteError(path + ": error: " + settings.status.message() + "\n");
    return kExitFileError;
  }
  std::string text = project::DescribeSettings(path, settings);
  if (!IsSourceName(BaseName(path)) && run.options.assume_filename.empty())
    text += "  (" + std::string(kNotSourceName) + ")\n";
  return run.console.WriteOutput(text) ? kExitOk : kExitFileError;
}

}  // namespace

int RunTree(const std::vector<std::string_view>& arguments, platform::FileSystem& files,
            platform::Console& console) {
  const CommandLine command_line = ParseCommandLine(arguments);
  switch (command_line.action) {
    case CommandLine::Action::kError:
      console.WriteError("qfmt-tree: " + command_line.error + "\n" + std::string(kShortUsage));
      return kExitUsage;
    case CommandLine::Action::kHelp:
      return console.WriteOutput(HelpText()) ? kExitOk : kExitFileError;
    case CommandLine::Action::kVersion:
      return console.WriteOutput("qfmt-tree " + std::string(kVersion) + "\n") ? kExitOk : kExitFileError;
    case CommandLine::Action::kRun:
    case CommandLine::Action::kPrintSettings:
      break;
  }
  TreeOptions options = command_line.options;
  if (!options.files_from.empty()) {
    if (const platform::Status status = ReadPathList(options, files, console, options.paths); !status.ok()) {
      console.WriteError("qfmt-tree: error: --files-from: " + status.message() + "\n");
      return kExitFileError;
    }
  }
  project::EditorConfigFiles editorconfig(files, project::kStyleProperties);
  OutcomePrinter printer(options, console);
  RunContext run{options, files, console, editorconfig, printer};
  if (command_line.action == CommandLine::Action::kPrintSettings) return RunPrintSettings(run);
  if (options.staged) return RunStaged(run);
  if (options.changed) return RunChanged(run);
  return options.reads_standard_input() ? RunStandardInput(run) : RunFiles(run);
}

}  // namespace qfmt::tree
