#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "format/text_formatter.h"
#include "platform/check.h"
#include "project/settings.h"
#include "tree/file_walk.h"
#include "tree/tree_modes.h"

namespace qfmt::tree {
namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

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

std::size_t WorkerCount(const TreeOptions& options) {
  if (options.jobs > 0) return static_cast<std::size_t>(options.jobs);
  return std::max(1U, std::thread::hardware_concurrency());
}

// Each file with the settings that apply to it.
FileOutcome FormatSource(RunContext& run, FileFormatter& formatter, const SourceFile& source) {
  FileOutcome outcome;
  outcome.status = source.status;
  outcome.skipped = source.skipped;
  if (!outcome.status.ok() || !outcome.skipped.empty()) return outcome;
  const project::FileSettings settings =
      project::ResolveSettings(run.editorconfig, source.path, run.options.style, run.options.given);
  if (!settings.status.ok()) {
    outcome.status = settings.status;
    return outcome;
  }
  return formatter.FormatFile(source, settings.style, source.lines ? &*source.lines : nullptr);
}

void Work(RunContext& run, OutcomeQueue& queue, const std::vector<SourceFile>& sources) {
  FileFormatter formatter(run.options, run.files);
  std::size_t index = 0;
  while (queue.Claim(index)) {
    queue.Deliver(index, FormatSource(run, formatter, sources[index]));
  }
}

void ShowProgress(RunContext& run, OutcomeQueue& queue, std::size_t total, Clock::time_point start) {
  std::int64_t done = 0, bytes = 0;
  queue.Progress(done, bytes);
  run.console.ShowRunning(ProgressLine(done, static_cast<std::int64_t>(total), bytes, SecondsSince(start)));
}

void PrintInOrder(RunContext& run, OutcomeQueue& queue, const std::vector<SourceFile>& sources,
                  Clock::time_point start) {
  Clock::time_point shown = Clock::now();
  ShowProgress(run, queue, sources.size(), start);
  for (std::size_t index = 0; index < sources.size() && !run.printer.output_failed();) {
    std::optional<FileOutcome> outcome = queue.Take(index, kProgressInterval);
    if (outcome) {
      if (sources[index].left_out) {
        run.console.WriteError(sources[index].path + ": " + sources[index].skipped + "\n");
      } else {
        run.printer.Print(sources[index].path, *outcome);
      }
      ++index;
    }
    if (Clock::now() - shown >= kProgressInterval) {
      ShowProgress(run, queue, sources.size(), start);
      shown = Clock::now();
    }
  }
}

}  // namespace

// The paths that --files-from names: one a line (a carriage return before
// the line feed is no part of it), or each ended by a NUL byte with --null;
// empty ones are no paths. Empty error when they could be read.
platform::Status ReadPathList(const TreeOptions& options, platform::FileSystem& files,
                              platform::Console& console, std::vector<std::string>& paths) {
  const std::string& name = options.files_from;
  std::string list;
  if (name == "-") {
    if (const platform::Status status = console.ReadInput(list, format::kMaxTextSize); !status.ok())
      return "cannot read standard input: " + status.message();
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

int RunFiles(RunContext& run) {
  if (!run.options.lines.empty()) {
    platform::FileInfo info;
    const std::string& path = run.options.paths.front();
    if (run.files.Inspect(path, true, info).ok() && info.kind == platform::FileKind::kFolder) {
      run.console.WriteError("qfmt-tree: --lines goes with one file, and " + path + " is a folder\n" +
                             std::string(kShortUsage));
      return kExitUsage;
    }
  }
  std::vector<SourceFile> sources = CollectSourceFiles(run.files, run.options);
  if (!run.options.lines.empty()) {
    for (SourceFile& source : sources) source.lines = LineSelection{run.options.lines, std::nullopt};
  }
  return RunSources(run, sources);
}

int RunSources(RunContext& run, const std::vector<SourceFile>& sources) {
  const Clock::time_point start = Clock::now();
  const std::size_t workers = std::max<std::size_t>(1, std::min(WorkerCount(run.options), sources.size()));
  // Texts and diffs wait in memory until their turn; names and flags are small.
  const bool holds_text = run.options.prints_text() || run.options.diff;
  OutcomeQueue queue(sources.size(), holds_text ? 16 * workers : sources.size());
  {
    std::vector<std::jthread> threads;
    for (std::size_t w = 0; w < workers; ++w) {
      threads.emplace_back([&run, &queue, &sources] { Work(run, queue, sources); });
    }
    PrintInOrder(run, queue, sources, start);
    queue.Stop();
  }
  run.printer.Finish(start);
  return run.printer.ExitStatus();
}

}  // namespace qfmt::tree
