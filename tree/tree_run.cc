#include "tree/tree_run.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "format/text_formatter.h"
#include "generated/version.h"
#include "platform/check.h"
#include "project/git_repository.h"
#include "project/settings.h"
#include "tree/command_line.h"
#include "tree/file_formatter.h"
#include "tree/file_walk.h"
#include "tree/report.h"
#include "tree/safe_write.h"
#include "tree/unified_diff.h"

namespace qfmt::tree {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr std::string_view kStandardInputName = "<stdin>";

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

namespace fs = std::filesystem;

// The path of `path` in the work tree ("" for all of it); false when it lies outside.
bool PathInWorkTree(const std::string& path, const std::string& work_tree, std::string& in_tree) {
  std::error_code error;
  fs::path full = fs::absolute(path, error).lexically_normal();
  if (!full.has_filename()) full = full.parent_path();  // "src/" as "src"
  // The work tree's path ends in '/': its parent path is the folder itself.
  const std::string relative = full.lexically_relative(fs::path(work_tree).parent_path()).generic_string();
  if (error || relative.empty() || relative == ".." || relative.starts_with("../")) return false;
  in_tree = relative == "." ? "" : relative;
  return true;
}

// The pathspec of --staged's paths: empty for the whole work tree; false
// (with `error` set) for a path outside it.
bool StagedPathspec(const std::vector<std::string>& paths, const std::string& work_tree,
                    std::vector<std::string>& pathspec, std::string& error) {
  for (const std::string& path : paths) {
    std::string in_tree;
    if (!PathInWorkTree(path, work_tree, in_tree)) {
      error = path + ": error: not in the git work tree " + work_tree;
      return false;
    }
    if (in_tree.empty()) {
      pathspec.clear();
      return true;
    }
    pathspec.push_back(in_tree);
  }
  return true;
}

// Hands files to the workers and their outcomes, in file order, to the
// printer. When outcomes hold whole texts, workers stay at most `window`
// files ahead of the printer, so that memory does not grow with the tree.
class OutcomeQueue {
 public:
  OutcomeQueue(std::size_t count, std::size_t window) : outcomes_(count), window_(window) {}

  // The next file to format; false when there is none left or the run stops.
  bool Claim(std::size_t& index) {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [this] {
      return stopped_ || next_claim_ == outcomes_.size() || next_claim_ < taken_ + window_;
    });
    if (stopped_ || next_claim_ == outcomes_.size()) return false;
    index = next_claim_++;
    return true;
  }

  void Deliver(std::size_t index, FileOutcome outcome) {
    bool awaited = false;
    {
      const std::lock_guard lock(mutex_);
      // The printer takes only delivered outcomes, so it never passes this one.
      QFMT_CHECK(taken_ <= index && index < outcomes_.size());
      done_bytes_ += outcome.bytes;
      ++done_;
      outcomes_[index] = std::move(outcome);
      // The printer only ever waits for the next file in order, and waking it
      // costs a context switch: wake it once a batch is ready for it (or
      // everything is done), not for every file.
      const std::size_t batch = std::max<std::size_t>(1, std::min<std::size_t>(64, window_ / 2));
      const auto delivered = static_cast<std::size_t>(done_);
      awaited =
          outcomes_[taken_].has_value() && (delivered >= taken_ + batch || delivered == outcomes_.size());
    }
    if (awaited) ready_.notify_one();
  }

  // Waits at most `timeout` for the outcome of file `index` and takes it.
  std::optional<FileOutcome> Take(std::size_t index, Clock::duration timeout) {
    std::unique_lock lock(mutex_);
    if (!ready_.wait_for(lock, timeout, [&] { return outcomes_[index].has_value(); })) return std::nullopt;
    std::optional<FileOutcome> outcome = std::move(outcomes_[index]);
    outcomes_[index].reset();
    taken_ = index + 1;
    lock.unlock();
    if (window_ < outcomes_.size()) room_.notify_all();  // workers wait for room only then
    return outcome;
  }

  void Stop() {
    {
      const std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    room_.notify_all();
  }

  void Progress(std::int64_t& done, std::int64_t& bytes) {
    const std::lock_guard lock(mutex_);
    done = done_;
    bytes = done_bytes_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::condition_variable room_;
  std::vector<std::optional<FileOutcome>> outcomes_;
  std::size_t window_;
  std::size_t next_claim_ = 0;
  std::size_t taken_ = 0;
  std::int64_t done_ = 0;
  std::int64_t done_bytes_ = 0;
  bool stopped_ = false;
};

// Colours where asked for, or on a terminal unless NO_COLOR is set or the
// terminal says it is dumb (https://no-color.org).
bool UsesColor(ColorChoice choice, const platform::Console& console) {
  if (choice != ColorChoice::kAuto) return choice == ColorChoice::kAlways;
  const char* no_color = std::getenv("NO_COLOR");
  const char* term = std::getenv("TERM");
  return console.IsTerminal(platform::Console::Stream::kOutput) &&
         (no_color == nullptr || *no_color == '\0') && (term == nullptr || std::string_view(term) != "dumb");
}

// The paths that --files-from names: one a line (a carriage return before
// the line feed is no part of it), or each ended by a NUL byte with --null;
// empty ones are no paths. Empty error when they could be read.
std::string ReadPathList(const TreeOptions& options, platform::FileSystem& files, platform::Console& console,
                         std::vector<std::string>& paths) {
  const std::string& name = options.files_from;
  std::string list;
  if (name == "-") {
    if (const platform::FsStatus status = console.ReadInput(list, format::kMaxTextSize); !status.ok())
      return "cannot read standard input: " + status.error;
  } else if (const std::unique_ptr<platform::ByteSource> source = files.OpenForReading(name);
             source == nullptr) {
    return "cannot read " + name;
  } else {
    char block[platform::kBlockSize];
    for (std::ptrdiff_t n;
         list.size() <= format::kMaxTextSize && (n = source->Read(block, sizeof block)) != 0;) {
      if (n < 0) return "cannot read " + name;
      list.append(block, static_cast<std::size_t>(n));
    }
  }
  if (list.size() > format::kMaxTextSize) return name + " is larger than the limit for one file";
  const char end = options.null_separated ? '\0' : '\n';
  for (std::string_view rest = list; !rest.empty();) {
    const std::size_t at = std::min(rest.find(end), rest.size());
    std::string_view path = rest.substr(0, at);
    rest.remove_prefix(std::min(at + 1, rest.size()));
    if (end == '\n' && path.ends_with('\r')) path.remove_suffix(1);
    if (!path.empty()) paths.emplace_back(path);
  }
  return {};
}

class TreeRun {
 public:
  TreeRun(const TreeOptions& options, platform::FileSystem& files, platform::Console& console)
      : options_(options),
        files_(files),
        console_(console),
        places_(options.form, UsesColor(options.color, console)),
        errors_(options.form, false),
        editorconfig_(files, project::kStyleProperties) {}

  // The text is named by --stdin-filename, and its settings come from that
  // name, or from --assume-filename's.
  int RunStandardInput() {
    const std::string& name = options_.stdin_filename;
    const std::string label = name.empty() ? std::string(kStandardInputName) : name;
    std::string text;
    FileOutcome outcome;
    if (console_.IsTerminal(platform::Console::Stream::kInput)) {
      console_.WriteError(
          "qfmt-tree: reading the text to format from standard input; Ctrl-D ends it "
          "(qfmt-tree --help for more)\n");
    }
    if (const platform::FsStatus status = console_.ReadInput(text, format::kMaxTextSize); !status.ok()) {
      outcome.error = "cannot read: " + status.error;
      text.clear();  // only a part of it: nothing goes back
    } else if (text.size() > format::kMaxTextSize) {
      outcome.error = format::TooLargeError();
      text.clear();  // only a part of it: nothing goes back
    } else if (!name.empty() && options_.assume_filename.empty() && !IsSourceName(BaseName(name))) {
      outcome.skipped = kNotSourceName;
    } else {
      const std::string& settings_path = name.empty() ? options_.assume_filename : name;
      project::FileSettings settings;
      settings.style = options_.style;
      settings.style.indent_from_file = !options_.given.indent;
      if (!settings_path.empty())
        settings = project::ResolveSettings(editorconfig_, settings_path, options_.style, options_.given);
      FileFormatter formatter(options_, files_);
      outcome.error = settings.error;
      const LineSelection lines{options_.lines, std::nullopt};
      if (outcome.error.empty())
        outcome =
            formatter.FormatText(text, label, settings.style, options_.lines.empty() ? nullptr : &lines);
    }
    // An editor that replaces its text with the output keeps it as it was.
    if ((!outcome.error.empty() || !outcome.skipped.empty()) && options_.prints_text()) outcome.output = text;
    Print(label, outcome);
    return ExitStatus();
  }

  int RunPrintSettings() {
    const std::string& path = options_.print_settings;
    const project::FileSettings settings =
        project::ResolveSettings(editorconfig_, path, options_.style, options_.given);
    if (!settings.error.empty()) {
      console_.WriteError(path + ": error: " + settings.error + "\n");
      return kExitFileError;
    }
    std::string text = project::DescribeSettings(path, settings);
    if (!IsSourceName(BaseName(path)) && options_.assume_filename.empty())
      text += "  (" + std::string(kNotSourceName) + ")\n";
    return console_.WriteOutput(text) ? kExitOk : kExitFileError;
  }

  // The staged content of the staged C and C++ files that a walk of the work
  // tree would take, from git's index; with --write, formatted and staged
  // again.
  int RunStaged() {
    const Clock::time_point start = Clock::now();
    std::vector<std::string> pathspec;
    const std::unique_ptr<project::GitRepository> repository = OpenRepository("--staged", pathspec);
    if (repository == nullptr) return kExitFileError;
    std::vector<project::StagedFile> staged;
    const std::string error =
        options_.changed ? repository->ReadChangedFiles(options_.changed_against, true, pathspec, staged)
                         : repository->ReadStagedFiles(pathspec, staged);
    if (!error.empty()) {
      console_.WriteError("qfmt-tree: error: " + error + "\n");
      return kExitFileError;
    }
    Excludes excludes;
    if (const std::string exclude_error = excludes.Compile(options_.excludes); !exclude_error.empty()) {
      console_.WriteError("qfmt-tree: error: --exclude: " + exclude_error + "\n");
      return kExitFileError;
    }
    // Only C and C++ files: the other staged files were named by no one.
    std::erase_if(staged, [&](const project::StagedFile& file) {
      return !IsSourceName(BaseName(file.path)) ||
             excludes.Match(repository->work_tree() + file.path, file.path) ||
             repository->IsIgnored(file.path, false);
    });
    if (!options_.lines.empty() && staged.size() > 1) {
      console_.WriteError("qfmt-tree: --lines goes with one file, and " + std::to_string(staged.size()) +
                          " staged C and C++ files are named\n" + std::string(kShortUsage));
      return kExitUsage;
    }
    FileFormatter formatter(options_, files_);
    for (project::StagedFile& file : staged) {
      const std::string full = repository->work_tree() + file.path;
      const std::string shown = project::ShownPath(full);
      const project::FileSettings settings =
          project::ResolveSettings(editorconfig_, full, options_.style, options_.given);
      const LineSelection lines{options_.lines,
                                options_.changed ? std::optional(std::move(file.base)) : std::nullopt};
      FileOutcome outcome;
      outcome.error = settings.error;
      if (outcome.error.empty()) {
        outcome = formatter.FormatText(file.text, shown, settings.style,
                                       options_.changed || !options_.lines.empty() ? &lines : nullptr);
      }
      if (options_.write && outcome.error.empty() && outcome.changed) {
        outcome.error = Restage(*repository, file, shown, formatter.formatted());
      }
      Print(shown, outcome);
    }
    Finish(start);
    return ExitStatus();
  }

  // The files of the work tree that git shows as changed (--changed), each
  // with the text that its changed lines are found against.
  int RunChanged() {
    std::vector<std::string> pathspec;
    const std::unique_ptr<project::GitRepository> repository = OpenRepository("--changed", pathspec);
    if (repository == nullptr) return kExitFileError;
    std::vector<project::StagedFile> changed;
    Excludes excludes;
    std::string error = repository->ReadChangedFiles(options_.changed_against,
                                                     options_.changed_against.empty(), pathspec, changed);
    if (error.empty()) error = excludes.Compile(options_.excludes);
    if (!error.empty()) {
      console_.WriteError("qfmt-tree: error: " + error + "\n");
      return kExitFileError;
    }
    std::vector<SourceFile> sources;
    for (project::StagedFile& file : changed) {
      if (!IsSourceName(BaseName(file.path))) continue;
      std::string shown = project::ShownPath(repository->work_tree() + file.path);
      if (excludes.Match(repository->work_tree() + file.path, file.path)) {
        if (options_.verbose)
          sources.push_back({std::move(shown), "", "excluded (--exclude)", nullptr, "", true});
        continue;
      }
      // Reached inside the work tree without following a link, as a walk would.
      SourceFile source = SourceBelow(files_, repository->work_tree(), file.path, std::move(shown));
      source.lines = LineSelection{{}, std::move(file.base)};
      sources.push_back(std::move(source));
    }
    std::sort(sources.begin(), sources.end(),
              [](const SourceFile& a, const SourceFile& b) { return a.path < b.path; });
    return RunSources(sources);
  }

  int RunFiles() {
    if (!options_.lines.empty()) {
      platform::FileInfo info;
      const std::string& path = options_.paths.front();
      if (files_.Inspect(path, true, info).ok() && info.kind == platform::FileKind::kFolder) {
        console_.WriteError("qfmt-tree: --lines goes with one file, and " + path + " is a folder\n" +
                            std::string(kShortUsage));
        return kExitUsage;
      }
    }
    std::vector<SourceFile> sources = CollectSourceFiles(files_, options_);
    if (!options_.lines.empty()) {
      for (SourceFile& source : sources) source.lines = LineSelection{options_.lines, std::nullopt};
    }
    return RunSources(sources);
  }

 private:
  int RunSources(const std::vector<SourceFile>& sources) {
    const Clock::time_point start = Clock::now();
    const std::size_t workers = std::max<std::size_t>(1, std::min(WorkerCount(), sources.size()));
    // Texts and diffs wait in memory until their turn; names and flags are small.
    const bool holds_text = options_.prints_text() || options_.diff;
    OutcomeQueue queue(sources.size(), holds_text ? 16 * workers : sources.size());
    {
      std::vector<std::jthread> threads;
      for (std::size_t w = 0; w < workers; ++w) {
        threads.emplace_back([this, &queue, &sources] { Work(queue, sources); });
      }
      PrintInOrder(queue, sources, start);
      queue.Stop();
    }
    Finish(start);
    return ExitStatus();
  }

  // The repository of the current folder (as git's hooks set it up) and the
  // pathspec of the paths; null, with the error shown, when there is none.
  std::unique_ptr<project::GitRepository> OpenRepository(std::string_view option,
                                                         std::vector<std::string>& pathspec) {
    std::string error;
    std::unique_ptr<project::GitRepository> repository =
        project::GitRepository::Find(files_, ".", project::Discovery::kFromEnvironment, error);
    if (repository == nullptr) {
      console_.WriteError("qfmt-tree: error: " +
                          (error.empty() ? std::string(option) + " needs a git work tree here" : error) +
                          "\n");
    } else if (!StagedPathspec(options_.paths, repository->work_tree(), pathspec, error)) {
      console_.WriteError(error + "\n");
      repository.reset();
    }
    return repository;
  }

  void Finish(Clock::time_point start) {
    console_.HideRunning();
    if (options_.quiet) return;
    totals_.seconds = SecondsSince(start);
    totals_.written = options_.write;
    totals_.checked = options_.only_checks();
    console_.ShowMessage(SummaryLine(totals_));
  }

  // The working copy follows when it is a regular file that holds the
  // staged text (reached inside the work tree without following a link);
  // otherwise only the index changes, so that work not yet staged is kept
  // and nothing is written through a link.
  std::string Restage(project::GitRepository& repository, const project::StagedFile& file,
                      const std::string& shown, std::string_view formatted) {
    const SourceFile source = SourceBelow(files_, repository.work_tree(), file.path, shown);
    std::unique_ptr<platform::Folder> folder;
    const platform::FsStatus opened = source.error.empty() ? OpenWalkedFolder(files_, *source.folder, folder)
                                                           : platform::FsStatus{source.error};
    std::optional<FileAt> at;
    if (opened.ok()) at.emplace(FileAt{*folder, source.name, source.folder->shown});
    std::string why = !opened.ok()
                          ? "the working copy cannot be reached inside the work tree (" + opened.error + ")"
                          : CutShortWriteError(files_, *at);
    std::string working, scratch;
    platform::FileInfo info;
    if (why.empty()) {
      const platform::FsStatus read =
          files_.ReadRegularFile(at->place(), format::kMaxTextSize, working, info);
      if (read.error == platform::kNotRegularFile) {
        why = "the working copy is not a regular file";
      } else if (!read.ok() || working != file.text) {
        why = "the working copy differs from the staged text";
      }
    }
    if (!why.empty()) {
      console_.WriteError(shown + ": " + why + "; only the staged text is formatted\n");
      return repository.Restage(file.path, formatted, nullptr);
    }
    if (const platform::FsStatus status = ReplaceFile(files_, *at, info, working, formatted, false, scratch);
        !status.ok())
      return status.error;
    if (const platform::FsStatus status = files_.Inspect(at->place(), false, info); !status.ok())
      return repository.Restage(file.path, formatted, nullptr);
    return repository.Restage(file.path, formatted, &info);
  }

  std::size_t WorkerCount() const {
    if (options_.jobs > 0) return static_cast<std::size_t>(options_.jobs);
    return std::max(1U, std::thread::hardware_concurrency());
  }

  void Work(OutcomeQueue& queue, const std::vector<SourceFile>& sources) {
    FileFormatter formatter(options_, files_);
    std::size_t index = 0;
    while (queue.Claim(index)) {
      queue.Deliver(index, FormatSource(formatter, sources[index]));
    }
  }

  // Each file with the settings that apply to it.
  FileOutcome FormatSource(FileFormatter& formatter, const SourceFile& source) {
    FileOutcome outcome;
    outcome.error = source.error;
    outcome.skipped = source.skipped;
    if (!outcome.error.empty() || !outcome.skipped.empty()) return outcome;
    const project::FileSettings settings =
        project::ResolveSettings(editorconfig_, source.path, options_.style, options_.given);
    if (!settings.error.empty()) {
      outcome.error = settings.error;
      return outcome;
    }
    return formatter.FormatFile(source, settings.style, source.lines ? &*source.lines : nullptr);
  }

  void PrintInOrder(OutcomeQueue& queue, const std::vector<SourceFile>& sources, Clock::time_point start) {
    Clock::time_point shown = Clock::now();
    ShowProgress(queue, sources.size(), start);
    for (std::size_t index = 0; index < sources.size() && !output_failed_;) {
      std::optional<FileOutcome> outcome = queue.Take(index, kProgressInterval);
      if (outcome) {
        if (sources[index].left_out) {
          console_.WriteError(sources[index].path + ": " + sources[index].skipped + "\n");
        } else {
          Print(sources[index].path, *outcome);
        }
        ++index;
      }
      if (Clock::now() - shown >= kProgressInterval) {
        ShowProgress(queue, sources.size(), start);
        shown = Clock::now();
      }
    }
  }

  void ShowProgress(OutcomeQueue& queue, std::size_t total, Clock::time_point start) {
    std::int64_t done = 0, bytes = 0;
    queue.Progress(done, bytes);
    console_.ShowRunning(ProgressLine(done, static_cast<std::int64_t>(total), bytes, SecondsSince(start)));
  }

  void Print(const std::string& path, const FileOutcome& outcome) {
    if (!outcome.skipped.empty()) {
      ++totals_.skipped;
      console_.WriteError(path + ": " + outcome.skipped + "\n");
      if (!outcome.output.empty()) Output(outcome.output);
      return;
    }
    totals_.bytes += outcome.bytes;
    if (!outcome.error.empty()) {
      ++totals_.errors;
      const std::optional<job::TextPosition> place =
          outcome.has_error_place ? std::optional(outcome.error_place) : std::nullopt;
      console_.WriteError(errors_.Line(path, place, PlaceWriter::Severity::kError, outcome.error));
    } else {
      ++totals_.files;
      if (outcome.changed) ++totals_.changed;
      if (outcome.changed && (options_.list || options_.check))
        Output(ChangeLine(path, outcome.first_change));
      if (options_.verbose) {
        console_.WriteError(path + ": " +
                            (!outcome.changed ? "unchanged"
                             : options_.write ? "formatted"
                                              : "would change") +
                            "\n");
      }
    }
    if (outcome.output.empty()) return;
    Output(options_.diff ? places_.Diff(outcome.output) : outcome.output);
  }

  // "PATH:LINE:COL: error: not formatted (qfmt-tree -w PATH)", the form
  // that compilers use, so that editors and CI services find the place; the
  // command that formats what was checked.
  std::string ChangeLine(const std::string& path, const job::TextPosition& at) const {
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

  void Output(std::string_view text) {
    if (output_failed_ || console_.WriteOutput(text)) return;
    output_failed_ = true;
    ++totals_.errors;
    console_.WriteError("qfmt-tree: error: cannot write to standard output\n");
  }

  int ExitStatus() const {
    if (totals_.errors > 0) return kExitFileError;
    if ((options_.list || options_.check) && totals_.changed > 0) return kExitWouldChange;
    return kExitOk;
  }

  const TreeOptions& options_;
  platform::FileSystem& files_;
  platform::Console& console_;
  const PlaceWriter places_;  // standard output's
  const PlaceWriter errors_;  // standard error's
  project::EditorConfigFiles editorconfig_;
  RunTotals totals_;
  bool output_failed_ = false;
};

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
    if (const std::string error = ReadPathList(options, files, console, options.paths); !error.empty()) {
      console.WriteError("qfmt-tree: error: --files-from: " + error + "\n");
      return kExitFileError;
    }
  }
  TreeRun run(options, files, console);
  if (command_line.action == CommandLine::Action::kPrintSettings) return run.RunPrintSettings();
  if (options.staged) return run.RunStaged();
  if (options.changed) return run.RunChanged();
  return options.reads_standard_input() ? run.RunStandardInput() : run.RunFiles();
}

}  // namespace qfmt::tree
