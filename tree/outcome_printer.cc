#include <cstdlib>
#include <string>

#include "tree/tree_modes.h"

namespace qfmt::tree {
namespace {

// Colours where asked for, or on a terminal unless NO_COLOR is set or the
// terminal says it is dumb (https://no-color.org).
bool UsesColor(ColorChoice choice, const platform::Console& console) {
  if (choice != ColorChoice::kAuto) return choice == ColorChoice::kAlways;
  const char* no_color = std::getenv("NO_COLOR");
  const char* term = std::getenv("TERM");
  return console.IsTerminal(platform::Console::Stream::kOutput) &&
         (no_color == nullptr || *no_color == '\0') && (term == nullptr || std::string_view(term) != "dumb");
}

}  // namespace

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

OutcomePrinter::OutcomePrinter(const TreeOptions& options, platform::Console& console)
    : options_(options),
      console_(console),
      places_(options.form, UsesColor(options.color, console)),
      errors_(options.form, false) {}

void OutcomePrinter::Finish(Clock::time_point start) {
  console_.HideRunning();
  if (options_.quiet) return;
  totals_.seconds = SecondsSince(start);
  totals_.written = options_.write;
  totals_.checked = options_.only_checks();
  console_.ShowMessage(SummaryLine(totals_));
}

void OutcomePrinter::Print(const std::string& path, const FileOutcome& outcome) {
  if (!outcome.skipped.empty()) {
    ++totals_.skipped;
    console_.WriteError(path + ": " + outcome.skipped + "\n");
    if (!outcome.output.empty()) Output(outcome.output);
    return;
  }
  totals_.bytes += outcome.bytes;
  if (!outcome.status.ok()) {
    ++totals_.errors;
    const std::optional<platform::TextPosition> place =
        outcome.has_error_place ? std::optional(outcome.error_place) : std::nullopt;
    console_.WriteError(errors_.Line(path, place, PlaceWriter::Severity::kError, outcome.status.message()));
  } else {
    ++totals_.files;
    if (outcome.changed) ++totals_.changed;
    if (outcome.changed && (options_.list || options_.check)) Output(ChangeLine(path, outcome.first_change));
    if (options_.verbose) {
      console_.WriteError(path + ": " +
                          (!outcome.changed ? "unchanged"
                           : options_.write ? "formatted"
                                            : "would change") +
                          "\n");
    }
  }
  if (outcome.output.empty()) return;
  // Not one conditional expression: its std::string would copy the text.
  if (options_.diff) {
    Output(places_.Diff(outcome.output));
  } else {
    Output(outcome.output);
  }
}

// "PATH:LINE:COL: error: not formatted (qfmt-tree -w PATH)", the form
// that compilers use, so that editors and CI services find the place; the
// command that formats what was checked.
std::string OutcomePrinter::ChangeLine(const std::string& path, const platform::TextPosition& at) const {
  if (options_.write) return places_.Line(path, at, PlaceWriter::Severity::kNote, "formatted");
  std::string message = "not formatted";
  if (!options_.reads_standard_input()) {
    message += " (qfmt-tree ";
    if (options_.staged) message += "--staged ";
    if (options_.changed)
      message +=
          options_.changed_against.empty() ? "--changed " : "--changed=" + options_.changed_against + " ";
    for (const project::LineRange& range : options_.lines)
      message += "--lines " + std::to_string(range.first) + ":" + std::to_string(range.last) + " ";
    message += "-w " + path + ")";
  }
  return places_.Line(path, at, PlaceWriter::Severity::kError, message);
}

void OutcomePrinter::Output(std::string_view text) {
  if (output_failed_ || console_.WriteOutput(text)) return;
  output_failed_ = true;
  ++totals_.errors;
  console_.WriteError("qfmt-tree: error: cannot write to standard output\n");
}

int OutcomePrinter::ExitStatus() const {
  if (totals_.errors > 0) return kExitFileError;
  if ((options_.list || options_.check) && totals_.changed > 0) return kExitWouldChange;
  return kExitOk;
}

}  // namespace qfmt::tree
