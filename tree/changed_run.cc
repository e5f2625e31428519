#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "project/settings.h"
#include "tree/file_walk.h"
#include "tree/tree_modes.h"

namespace qfmt::tree {
namespace {

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

// The pathspec of --staged's paths: empty for the whole work tree; an error
// for a path outside it.
platform::Status StagedPathspec(const std::vector<std::string>& paths, const std::string& work_tree,
                                std::vector<std::string>& pathspec) {
  for (const std::string& path : paths) {
    std::string in_tree;
    if (!PathInWorkTree(path, work_tree, in_tree))
      return path + ": error: not in the git work tree " + work_tree;
    if (in_tree.empty()) {
      pathspec.clear();
      return {};
    }
    pathspec.push_back(in_tree);
  }
  return {};
}

}  // namespace

// The repository of the current folder (as git's hooks set it up) and the
// pathspec of the paths; null, with the error shown, when there is none.
std::unique_ptr<project::GitRepository> OpenRepository(RunContext& run, std::string_view option,
                                                       std::vector<std::string>& pathspec) {
  std::unique_ptr<project::GitRepository> repository;
  const platform::Status opened =
      project::GitRepository::Find(run.files, ".", project::Discovery::kFromEnvironment, repository);
  if (repository == nullptr) {
    run.console.WriteError(
        "qfmt-tree: error: " +
        (opened.ok() ? std::string(option) + " needs a git work tree here" : opened.message()) + "\n");
  } else if (const platform::Status inside =
                 StagedPathspec(run.options.paths, repository->work_tree(), pathspec);
             !inside.ok()) {
    run.console.WriteError(inside.message() + "\n");
    repository.reset();
  }
  return repository;
}

// The files of the work tree that git shows as changed (--changed), each
// with the text that its changed lines are found against.
int RunChanged(RunContext& run) {
  std::vector<std::string> pathspec;
  const std::unique_ptr<project::GitRepository> repository = OpenRepository(run, "--changed", pathspec);
  if (repository == nullptr) return kExitFileError;
  std::vector<project::StagedFile> changed;
  Excludes excludes;
  platform::Status status = repository->ReadChangedFiles(
      run.options.changed_against, run.options.changed_against.empty(), pathspec, changed);
  if (status.ok()) status = excludes.Compile(run.options.excludes);
  if (!status.ok()) {
    run.console.WriteError("qfmt-tree: error: " + status.message() + "\n");
    return kExitFileError;
  }
  std::vector<SourceFile> sources;
  for (project::StagedFile& file : changed) {
    if (!IsSourceName(BaseName(file.path))) continue;
    std::string shown = project::ShownPath(repository->work_tree() + file.path);
    if (excludes.Match(repository->work_tree() + file.path, file.path)) {
      if (run.options.verbose)
        sources.push_back({std::move(shown), {}, "excluded (--exclude)", nullptr, "", true});
      continue;
    }
    // Reached inside the work tree without following a link, as a walk would.
    SourceFile source = SourceBelow(run.files, repository->work_tree(), file.path, std::move(shown));
    source.lines = LineSelection{{}, std::move(file.base)};
    sources.push_back(std::move(source));
  }
  std::sort(sources.begin(), sources.end(),
            [](const SourceFile& a, const SourceFile& b) { return a.path < b.path; });
  return RunSources(run, sources);
}

}  // namespace qfmt::tree
