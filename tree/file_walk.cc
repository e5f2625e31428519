#include "tree/file_walk.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "project/git_repository.h"

namespace qfmt::tree {
namespace {

// Case matters: ".C" and ".H" are C++, as the compilers read them.
constexpr std::string_view kSourceExtensions[] = {".c",    ".h",   ".C",   ".H",   ".cc",   ".cpp", ".cxx",
                                                  ".c++",  ".cp",  ".hh",  ".hpp", ".hxx",  ".h++", ".inl",
                                                  ".ipp",  ".tcc", ".tpp", ".txx", ".cppm", ".ccm", ".cxxm",
                                                  ".c++m", ".ixx", ".mpp", ".cu",  ".cuh",  ".ino"};

std::string Join(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

// "./src/a.c" as "src/a.c", for matching globs.
std::string_view WithoutDotSlash(std::string_view path) {
  while (path.starts_with("./")) path.remove_prefix(2);
  return path;
}

// A folder being walked, and where git's rules for it come from.
struct WalkRoot {
  std::unique_ptr<project::GitRepository> repository;  // null outside a work tree
  std::string prefix;                                  // the folder's path in the work tree: "" or "src/"
};

class Collector {
 public:
  Collector(platform::FileSystem& files, const TreeOptions& options) : files_(files), options_(options) {}

  void AddPath(const std::string& path) {
    platform::FileInfo info;
    if (const platform::FsStatus status = files_.Inspect(path, true, info); !status.ok()) {
      return Report(path, "cannot read: " + status.error);
    }
    if (info.kind == platform::FileKind::kFolder) return Walk(path);
    // A hook may hand over every name it has: other kinds are named as passed over.
    if (IsSourceName(BaseName(path)) || !options_.assume_filename.empty()) {
      found_.push_back({path, "", ""});
    } else {
      found_.push_back({path, "", std::string(kNotSourceName)});
    }
  }

  [[nodiscard]] bool CompileExcludes() {
    const std::string error = excludes_.Compile(options_.excludes);
    if (!error.empty()) Report("--exclude", error);
    return error.empty();
  }

  // Sorted, and each file once: the first name of two with the same identity.
  std::vector<SourceFile> Finish() {
    std::sort(found_.begin(), found_.end(),
              [](const SourceFile& a, const SourceFile& b) { return a.path < b.path; });
    found_.erase(std::unique(found_.begin(), found_.end(),
                             [](const SourceFile& a, const SourceFile& b) { return a.path == b.path; }),
                 found_.end());
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    std::vector<SourceFile> files;
    for (SourceFile& file : found_) {
      platform::FileInfo info;
      // A file that cannot be inspected now is reported when it is read.
      if (file.error.empty() && file.skipped.empty() && files_.Inspect(file.path, true, info).ok() &&
          !seen.insert({info.device, info.inode}).second) {
        continue;
      }
      files.push_back(std::move(file));
    }
    return files;
  }

 private:
  void Walk(const std::string& root_path) {
    const WalkRoot root = OpenRoot(root_path);
    // Each folder with its path in the work tree.
    std::vector<std::pair<std::string, std::string>> folders{{root_path, root.prefix}};
    std::vector<platform::FolderEntry> entries;
    std::size_t taken = 0, ignored = 0, excluded = 0;
    while (!folders.empty()) {
      const auto [folder, in_tree] = std::move(folders.back());
      folders.pop_back();
      if (const platform::FsStatus status = files_.ListFolder(folder, entries); !status.ok()) {
        Report(folder, "cannot list the folder: " + status.error);
        continue;
      }
      for (const platform::FolderEntry& entry : entries) {
        std::string path = Join(folder, entry.name);
        const bool is_folder = entry.kind == platform::FileKind::kFolder;
        if (entry.name.starts_with('.')) {
          if (entry.name != ".git" && (is_folder || IsSourceName(entry.name))) PassOver(path, "hidden");
          continue;
        }
        // Links to folders with any name are looked at only to be named.
        const bool source = IsSourceName(entry.name);
        if (!is_folder && !source && !(options_.verbose && entry.kind == platform::FileKind::kLink)) continue;
        if (!is_folder && LeadsToFolder(path, entry.kind)) {
          PassOver(path, "a link to a folder, not followed");
          continue;
        }
        if (!is_folder && !source) continue;
        const std::string tree_path = in_tree + entry.name;
        if (excludes_.Matches(entry.name) || excludes_.Matches(std::string(WithoutDotSlash(path)))) {
          ++excluded;
          PassOver(path, "excluded (--exclude)");
        } else if (root.repository != nullptr && root.repository->IsIgnored(tree_path, is_folder)) {
          ++ignored;
          PassOver(path, "ignored by git");
        } else if (is_folder) {
          folders.emplace_back(std::move(path), tree_path + "/");
        } else {
          ++taken;
          found_.push_back({std::move(path), "", ""});
        }
      }
    }
    if (taken > 0 || ignored + excluded == 0) return;
    // The folder was named, and gave nothing: say why, lest a check pass having checked nothing.
    const std::string why = excluded == 0  ? "git ignores"
                            : ignored == 0 ? "--exclude leaves out"
                                           : "git ignores or --exclude leaves out";
    found_.push_back({root_path, "", "nothing taken from this folder: " + why + " all that it holds"});
  }

  // With --verbose, a walk names what it passes over, and why.
  void PassOver(const std::string& path, std::string_view why) {
    if (options_.verbose) found_.push_back({path, "", std::string(why), true});
  }

  // The repository of the folder, if any; an error in finding one is
  // reported and the walk goes on without git's rules.
  WalkRoot OpenRoot(const std::string& folder) {
    WalkRoot root;
    std::string resolved, error;
    if (!files_.ResolveLinks(folder, resolved).ok()) return root;
    root.repository = project::GitRepository::Find(resolved, false, error);
    if (!error.empty()) Report(folder, error);
    if (root.repository == nullptr) return root;
    // The work tree's path ends in '/'; the folder is inside it.
    const std::string& work_tree = root.repository->work_tree();
    resolved += '/';
    if (resolved.starts_with(work_tree)) {
      root.prefix = resolved.substr(work_tree.size());
    } else {
      root.repository.reset();
    }
    return root;
  }

  bool LeadsToFolder(const std::string& path, platform::FileKind kind) {
    platform::FileInfo target;
    return kind == platform::FileKind::kLink && files_.Inspect(path, true, target).ok() &&
           target.kind == platform::FileKind::kFolder;
  }

  void Report(const std::string& path, std::string error) { found_.push_back({path, std::move(error), ""}); }

  platform::FileSystem& files_;
  const TreeOptions& options_;
  project::PathPatterns excludes_;
  std::vector<SourceFile> found_;
};

}  // namespace

std::string_view BaseName(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// A ".Backup" copy has an extension of its own, so none of them is taken.
bool IsSourceName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  const std::string_view extension = name.substr(dot);
  return std::find(std::begin(kSourceExtensions), std::end(kSourceExtensions), extension) !=
         std::end(kSourceExtensions);
}

std::string SourceExtensionList() {
  std::string list;
  for (const std::string_view extension : kSourceExtensions) {
    if (!list.empty()) list += ' ';
    list += extension;
  }
  return list;
}

std::vector<SourceFile> CollectSourceFiles(platform::FileSystem& files, const TreeOptions& options) {
  Collector collector(files, options);
  if (collector.CompileExcludes()) {
    for (const std::string& path : options.paths) collector.AddPath(path);
  }
  return collector.Finish();
}

}  // namespace qfmt::tree
