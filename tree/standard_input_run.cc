#include <string>

#include "format/text_formatter.h"
#include "project/settings.h"
#include "tree/file_walk.h"
#include "tree/tree_modes.h"

namespace qfmt::tree {
namespace {
constexpr std::string_view kStandardInputName = "<stdin>";
}  // namespace

// The text is named by --stdin-filename, and its settings come from that
// name, or from --assume-filename's.
int RunStandardInput(RunContext& run) {
  const std::string& name = run.options.stdin_filename;
  const std::string label = name.empty() ? std::string(kStandardInputName) : name;
  std::string text;
  FileOutcome outcome;
  if (run.console.IsTerminal(platform::Console::Stream::kInput)) {
    run.console.WriteError(
        "qfmt-tree: reading the text to format from standard input; Ctrl-D ends it "
        "(qfmt-tree --help for more)\n");
  }
  if (const platform::Status status = run.console.ReadInput(text, format::kMaxTextSize); !status.ok()) {
    outcome.status = "cannot read: " + status.message();
    text.clear();  // only a part of it: nothing goes back
  } else if (text.size() > format::kMaxTextSize) {
    outcome.status = format::TooLargeError();
    text.clear();  // only a part of it: nothing goes back
  } else if (!name.empty() && run.options.assume_filename.empty() && !IsSourceName(BaseName(name))) {
    outcome.skipped = kNotSourceName;
  } else {
    const std::string& settings_path = name.empty() ? run.options.assume_filename : name;
    project::FileSettings settings;
    settings.style = run.options.style;
    settings.style.indent_from_file = !run.options.given.indent;
    if (!settings_path.empty())
      settings =
          project::ResolveSettings(run.editorconfig, settings_path, run.options.style, run.options.given);
    FileFormatter formatter(run.options, run.files);
    outcome.status = settings.status;
    const LineSelection lines{run.options.lines, std::nullopt};
    if (outcome.status.ok())
      outcome =
          formatter.FormatText(text, label, settings.style, run.options.lines.empty() ? nullptr : &lines);
  }
  // An editor that replaces its text with the output keeps it as it was.
  if ((!outcome.status.ok() || !outcome.skipped.empty()) && run.options.prints_text()) outcome.output = text;
  run.printer.Print(label, outcome);
  return run.printer.ExitStatus();
}

}  // namespace qfmt::tree
