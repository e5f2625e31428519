#include <memory>
#include <optional>
#include <string>

#include "format/text_formatter.h"
#include "project/settings.h"
#include "tree/file_walk.h"
#include "tree/safe_write.h"
#include "tree/tree_modes.h"

namespace qfmt::tree {
namespace {

// The working copy follows when it is a regular file that holds the
// staged text (reached inside the work tree without following a link);
// otherwise only the index changes, so that work not yet staged is kept
// and nothing is written through a link.
platform::Status Restage(RunContext& run, project::GitRepository& repository, const project::StagedFile& file,
                         const std::string& shown, std::string_view formatted) {
  const SourceFile source = SourceBelow(run.files, repository.work_tree(), file.path, shown);
  std::unique_ptr<platform::Folder> folder;
  const platform::Status opened =
      source.status.ok() ? OpenWalkedFolder(run.files, *source.folder, folder) : source.status;
  std::optional<FileAt> at;
  if (opened.ok()) at.emplace(FileAt{*folder, source.name, source.folder->shown});
  std::string why = !opened.ok()
                        ? "the working copy cannot be reached inside the work tree (" + opened.message() + ")"
                        : CheckNoCutShortWrite(run.files, *at).message();
  std::string working, scratch;
  platform::FileInfo info;
  if (why.empty()) {
    const platform::Status read = run.files.ReadRegularFile(at->place(), format::kMaxTextSize, working, info);
    if (read.message() == platform::kNotRegularFile) {
      why = "the working copy is not a regular file";
    } else if (!read.ok() || working != file.text) {
      why = "the working copy differs from the staged text";
    }
  }
  if (!why.empty()) {
    run.console.WriteError(shown + ": " + why + "; only the staged text is formatted\n");
    return repository.Restage(file.path, formatted, nullptr);
  }
  if (const platform::Status status = ReplaceFile(run.files, *at, info, working, formatted, false, scratch);
      !status.ok())
    return status;
  if (const platform::Status status = run.files.Inspect(at->place(), false, info); !status.ok())
    return repository.Restage(file.path, formatted, nullptr);
  return repository.Restage(file.path, formatted, &info);
}

}  // namespace

// The staged content of the staged C and C++ files that a walk of the work
// tree would take, from git's index; with --write, formatted and staged
// again.
int RunStaged(RunContext& run) {
  const Clock::time_point start = Clock::now();
  std::vector<std::string> pathspec;
  const std::unique_ptr<project::GitRepository> repository = OpenRepository(run, "--staged", pathspec);
  if (repository == nullptr) return kExitFileError;
  std::vector<project::StagedFile> staged;
  const platform::Status status =
      run.options.changed ? repository->ReadChangedFiles(run.options.changed_against, true, pathspec, staged)
                          : repository->ReadStagedFiles(pathspec, staged);
  if (!status.ok()) {
    run.console.WriteError("qfmt-tree: error: " + status.message() + "\n");
    return kExitFileError;
  }
  Excludes excludes;
  if (const platform::Status excluded = excludes.Compile(run.options.excludes); !excluded.ok()) {
    run.console.WriteError("qfmt-tree: error: --exclude: " + excluded.message() + "\n");
    return kExitFileError;
  }
  // Only C and C++ files: the other staged files were named by no one.
  std::erase_if(staged, [&](const project::StagedFile& file) {
    return !IsSourceName(BaseName(file.path)) ||
           excludes.Match(repository->work_tree() + file.path, file.path) ||
           repository->IsIgnored(file.path, false);
  });
  if (!run.options.lines.empty() && staged.size() > 1) {
    run.console.WriteError("qfmt-tree: --lines goes with one file, and " + std::to_string(staged.size()) +
                           " staged C and C++ files are named\n" + std::string(kShortUsage));
    return kExitUsage;
  }
  FileFormatter formatter(run.options, run.files);
  for (project::StagedFile& file : staged) {
    const std::string full = repository->work_tree() + file.path;
    const std::string shown = project::ShownPath(full);
    const project::FileSettings settings =
        project::ResolveSettings(run.editorconfig, full, run.options.style, run.options.given);
    const LineSelection lines{run.options.lines,
                              run.options.changed ? std::optional(std::move(file.base)) : std::nullopt};
    FileOutcome outcome;
    outcome.status = settings.status;
    if (outcome.status.ok()) {
      outcome = formatter.FormatText(file.text, shown, settings.style,
                                     run.options.changed || !run.options.lines.empty() ? &lines : nullptr);
    }
    if (run.options.write && outcome.status.ok() && outcome.changed) {
      outcome.status = Restage(run, *repository, file, shown, formatter.formatted());
    }
    run.printer.Print(shown, outcome);
  }
  run.printer.Finish(start);
  return run.printer.ExitStatus();
}

}  // namespace qfmt::tree
