#include "tree/tree_run.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "generated/version.h"
#include "tree/command_line.h"
#include "tree/file_formatter.h"
#include "tree/file_walk.h"
#include "tree/report.h"

namespace qfmt::tree {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr std::string_view kStandardInputName = "<stdin>";

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
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

class TreeRun {
 public:
  TreeRun(const TreeOptions& options, platform::FileSystem& files, platform::Console& console)
      : options_(options), files_(files), console_(console) {}

  int RunStandardInput() {
    std::string text;
    FileOutcome outcome;
    if (const platform::FsStatus status = console_.ReadInput(text); !status.ok()) {
      outcome.error = "cannot read: " + status.error;
    } else {
      FileFormatter formatter(options_, files_);
      outcome = formatter.FormatText(text, kStandardInputName);
    }
    // An editor that replaces its text with the output keeps it as it was.
    if ((!outcome.error.empty() || !outcome.passed_over.empty()) && options_.prints_text())
      outcome.output = text;
    Print(std::string(kStandardInputName), outcome);
    return ExitStatus();
  }

  int RunFiles() {
    const Clock::time_point start = Clock::now();
    const std::vector<SourceFile> sources = CollectSourceFiles(files_, options_.paths);
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
    console_.HideRunning();
    if (!options_.quiet) {
      totals_.seconds = SecondsSince(start);
      console_.ShowMessage(SummaryLine(totals_));
    }
    return ExitStatus();
  }

 private:
  std::size_t WorkerCount() const {
    if (options_.jobs > 0) return static_cast<std::size_t>(options_.jobs);
    return std::max(1U, std::thread::hardware_concurrency());
  }

  void Work(OutcomeQueue& queue, const std::vector<SourceFile>& sources) {
    FileFormatter formatter(options_, files_);
    std::size_t index = 0;
    while (queue.Claim(index)) {
      const SourceFile& source = sources[index];
      FileOutcome outcome;
      if (source.error.empty()) {
        outcome = formatter.FormatFile(source.path);
      } else {
        outcome.error = source.error;
      }
      queue.Deliver(index, std::move(outcome));
    }
  }

  void PrintInOrder(OutcomeQueue& queue, const std::vector<SourceFile>& sources, Clock::time_point start) {
    Clock::time_point shown = Clock::now();
    ShowProgress(queue, sources.size(), start);
    for (std::size_t index = 0; index < sources.size() && !output_failed_;) {
      std::optional<FileOutcome> outcome = queue.Take(index, kProgressInterval);
      if (outcome) {
        Print(sources[index].path, *outcome);
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
    ++totals_.files;
    totals_.bytes += outcome.bytes;
    if (!outcome.error.empty()) {
      ++totals_.errors;
      const std::string place = outcome.has_place ? ":" + std::to_string(outcome.where.line) + ":" +
                                                        std::to_string(outcome.where.column)
                                                  : "";
      console_.WriteError(path + place + ": error: " + outcome.error + "\n");
    } else if (!outcome.passed_over.empty()) {
      ++totals_.skipped;
      console_.WriteError(path + ": " + outcome.passed_over + "\n");
    } else if (outcome.changed) {
      ++totals_.changed;
      if (options_.list || options_.check) Output(path + "\n");
    }
    if (!outcome.output.empty()) Output(outcome.output);
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
      break;
  }
  TreeRun run(command_line.options, files, console);
  return command_line.options.reads_standard_input() ? run.RunStandardInput() : run.RunFiles();
}

}  // namespace qfmt::tree
