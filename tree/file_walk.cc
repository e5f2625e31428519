#include "tree/file_walk.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "project/settings.h"
#include "project/settings_file.h"

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

// Where git's ignore rules for a folder come from.
struct IgnoreRules {
  project::GitRepository* repository = nullptr;  // null outside a work tree
  std::string prefix;                            // the folder's path in the work tree: "" or "src/"
};

constexpr std::string_view kIgnoreFileRefused =
    "; ignore rules are read only from a regular file of at most 1 MiB, so the files it governs are left as "
    "they are";

class Collector {
 public:
  Collector(platform::FileSystem& files, const TreeOptions& options) : files_(files), options_(options) {}

  void AddPath(const std::string& path) {
    platform::FileInfo info;
    if (const platform::Status status = files_.Inspect(path, true, info); !status.ok()) {
      return Report(path, "cannot read: " + status.message());
    }
    if (excludes_.Match(path, {})) return PassOver(path, "excluded (--exclude)");
    if (info.kind == platform::FileKind::kFolder) return Walk(path);
    // A hook may hand over every name it has: other kinds are named as passed over.
    if (IsSourceName(BaseName(path)) || !options_.assume_filename.empty()) return TakeNamedFile(path, info);
    found_.push_back({{path, {}, std::string(kNotSourceName)}, 0, 0});
  }

  [[nodiscard]] bool CompileExcludes() {
    const platform::Status status = excludes_.Compile(options_.excludes);
    if (!status.ok()) Report("--exclude", status.message());
    return status.ok();
  }

  // Sorted, and each file once: the first name of two with the same identity.
  std::vector<SourceFile> Finish() {
    std::sort(found_.begin(), found_.end(),
              [](const Found& a, const Found& b) { return a.file.path < b.file.path; });
    found_.erase(std::unique(found_.begin(), found_.end(),
                             [](const Found& a, const Found& b) { return a.file.path == b.file.path; }),
                 found_.end());
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    std::vector<SourceFile> files;
    for (Found& found : found_) {
      if (found.file.folder != nullptr && !seen.insert({found.device, found.inode}).second) continue;
      files.push_back(std::move(found.file));
    }
    return files;
  }

 private:
  // A file or a report, with the identity of a file.
  struct Found {
    SourceFile file;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
  };
  // A folder met and not yet walked, with its open parent.
  struct Pending {
    std::shared_ptr<const platform::Folder> parent;
    std::shared_ptr<const WalkedFolder> walked_parent;
    std::string name;
    std::string in_walk;  // its path from the walk's folder
    IgnoreRules rules;
  };

  void Walk(const std::string& root_path) {
    taken_ = ignored_ = excluded_ = 0;
    std::unique_ptr<platform::Folder> root;
    platform::FileInfo info;
    if (const platform::Status status = files_.OpenFolder(root_path, root, info); !status.ok()) {
      return Report(root_path, "cannot list the folder: " + status.message());
    }
    IgnoreRules rules;
    if (!RootRules(root_path, rules)) return;
    std::vector<Pending> pending;
    WalkFolder(std::make_shared<const WalkedFolder>(
                   WalkedFolder{nullptr, root_path, root_path, info.device, info.inode}),
               std::move(root), "", rules, pending);
    while (!pending.empty()) {
      Pending next = std::move(pending.back());
      pending.pop_back();
      const std::string shown = next.walked_parent->Shown(next.name);
      std::unique_ptr<platform::Folder> folder;
      if (const platform::Status status = files_.OpenFolder({*next.parent, next.name}, folder, info);
          !status.ok()) {
        Report(shown, "cannot list the folder: " + status.message());
        continue;
      }
      next.parent.reset();
      WalkFolder(std::make_shared<const WalkedFolder>(
                     WalkedFolder{std::move(next.walked_parent), next.name, shown, info.device, info.inode}),
                 std::move(folder), next.in_walk, next.rules, pending);
    }
    if (taken_ > 0 || ignored_ + excluded_ == 0) return;
    // The folder was named, and gave nothing: say why, lest a check pass having checked nothing.
    const std::string why = excluded_ == 0  ? "git ignores"
                            : ignored_ == 0 ? "--exclude leaves out"
                                            : "git ignores or --exclude leaves out";
    found_.push_back(
        {{root_path, {}, "nothing taken from this folder: " + why + " all that it holds"}, 0, 0});
  }

  // With --verbose, a walk names what it passes over, and why.
  void PassOver(const std::string& path, std::string_view why) {
    if (options_.verbose) found_.push_back({{path, {}, std::string(why), nullptr, "", true}, 0, 0});
  }

  // Lists one open folder: its files are taken, its folders wait in `pending`.
  void WalkFolder(const std::shared_ptr<const WalkedFolder>& walked,
                  std::shared_ptr<const platform::Folder> folder, const std::string& in_walk,
                  IgnoreRules rules, std::vector<Pending>& pending) {
    std::vector<platform::FolderEntry> entries;
    if (const platform::Status status = files_.ListFolder(*folder, entries); !status.ok()) {
      return Report(walked->shown, "cannot list the folder: " + status.message());
    }
    const auto holds = [&](std::string_view name) {
      return std::any_of(entries.begin(), entries.end(), [&](const platform::FolderEntry& entry) {
        return entry.name == name &&
               (entry.kind == platform::FileKind::kFolder || entry.kind == platform::FileKind::kRegular);
      });
    };
    // The top of a work tree of its own brings its own ignore rules, as git
    // shows them from there.
    if (!in_walk.empty() && holds(".git")) {
      bool refused = false;
      project::GitRepository* nested =
          Repository(walked->shown, project::Discovery::kHere, walked->shown, refused);
      if (refused) return;
      if (nested != nullptr) rules = {nested, ""};
    }
    if (rules.repository != nullptr) {
      const platform::Status checked = project::CheckSettingsFile(files_, {*folder, ".gitignore"}, false);
      if (!checked.ok())
        return Report(walked->Shown(".gitignore"), checked.message() + std::string(kIgnoreFileRefused));
    }
    for (const platform::FolderEntry& entry : entries) {
      const bool is_folder = entry.kind == platform::FileKind::kFolder;
      std::string shown = walked->Shown(entry.name);
      if (entry.name.starts_with('.')) {
        if (entry.name != ".git" && (is_folder || IsSourceName(entry.name))) PassOver(shown, "hidden");
        continue;
      }
      // A symbolic link is passed over: what it leads to, when it lies inside
      // the walk, is met under its own name.
      if (entry.kind == platform::FileKind::kLink) {
        PassOverLink(shown);
        continue;
      }
      if (!is_folder && !IsSourceName(entry.name)) continue;
      std::string entry_in_walk = in_walk.empty() ? entry.name : in_walk + "/" + entry.name;
      if (excludes_.Match(shown, entry_in_walk)) {
        ++excluded_;
        PassOver(shown, "excluded (--exclude)");
        continue;
      }
      if (rules.repository != nullptr && rules.repository->IsIgnored(rules.prefix + entry.name, is_folder)) {
        ++ignored_;
        PassOver(shown, "ignored by git");
        continue;
      }
      if (is_folder) {
        pending.push_back({folder,
                           walked,
                           entry.name,
                           std::move(entry_in_walk),
                           {rules.repository, rules.prefix + entry.name + "/"}});
        continue;
      }
      platform::FileInfo info;
      if (!files_.Inspect({*folder, entry.name}, false, info).ok()) continue;  // gone meanwhile
      ++taken_;
      found_.push_back({{std::move(shown), {}, "", walked, entry.name}, info.device, info.inode});
    }
  }

  // With --verbose, links to folders and links with the names of C and C++
  // files are named (what a link leads to is looked at for the message only).
  void PassOverLink(const std::string& path) {
    if (!options_.verbose) return;
    platform::FileInfo target;
    if (files_.Inspect(path, true, target).ok() && target.kind == platform::FileKind::kFolder) {
      PassOver(path, "a link to a folder, not followed");
    } else if (IsSourceName(BaseName(path))) {
      PassOver(path, "a symbolic link, not followed");
    }
  }

  // The rules of the repository that holds the walk's folder; false when
  // its files are to be left alone (reported).
  bool RootRules(const std::string& root_path, IgnoreRules& rules) {
    std::string resolved;
    if (!files_.ResolveLinks(root_path, resolved).ok()) return true;
    bool refused = false;
    project::GitRepository* repository =
        Repository(resolved, project::Discovery::kUpward, root_path, refused);
    if (repository == nullptr) return !refused;
    // The work tree's path ends in '/'; the folder is inside it, or in its ".git".
    const std::string& work_tree = repository->work_tree();
    if (resolved.back() != '/') resolved += '/';
    if (!resolved.starts_with(work_tree)) return true;
    rules = {repository, resolved.substr(work_tree.size())};
    // The ignore files of the folders above the walk's, which git reads too.
    for (std::size_t at = 0; at < rules.prefix.size(); at = rules.prefix.find('/', at) + 1) {
      const std::string ignore_file = work_tree + rules.prefix.substr(0, at) + ".gitignore";
      if (const platform::Status checked = project::CheckSettingsFile(files_, ignore_file, false);
          !checked.ok()) {
        Report(project::ShownPath(ignore_file), checked.message() + std::string(kIgnoreFileRefused));
        return false;
      }
    }
    return true;
  }

  // The repository of a folder, opened once for the run, or null: none, or
  // one that cannot be used (`refused`, reported in the place of its files).
  project::GitRepository* Repository(const std::string& folder, project::Discovery discovery,
                                     const std::string& shown, bool& refused) {
    std::unique_ptr<project::GitRepository> repository;
    const platform::Status opened = project::GitRepository::Find(files_, folder, discovery, repository);
    refused = !opened.ok();
    if (refused) Report(shown, opened);
    if (repository == nullptr) return nullptr;
    std::unique_ptr<project::GitRepository>& known = repositories_[repository->work_tree()];
    if (known != nullptr) return known.get();
    const std::string exclude = repository->git_folder() + "info/exclude";
    if (const platform::Status checked = project::CheckSettingsFile(files_, exclude, false); !checked.ok()) {
      refused = true;
      Report(project::ShownPath(exclude), checked.message() + std::string(kIgnoreFileRefused));
      return nullptr;
    }
    known = std::move(repository);
    return known.get();
  }

  // A link named is followed: the file is written beside its target.
  void TakeNamedFile(const std::string& path, const platform::FileInfo& info) {
    std::string target = path;
    platform::FileInfo own;
    if (files_.Inspect(path, false, own).ok() && own.kind == platform::FileKind::kLink) {
      if (const platform::Status status = files_.ResolveLinks(path, target); !status.ok())
        return Report(path, "cannot resolve the link: " + status.message());
    }
    const platform::PathParts parts = platform::SplitPath(target);
    // "a.c" names no folder: its temporary files are named without one.
    const std::string shown = target.find('/') == std::string::npos ? "" : parts.folder;
    std::shared_ptr<const WalkedFolder>& walked = named_folders_[parts.folder + '\0' + shown];
    if (walked == nullptr) {
      std::unique_ptr<platform::Folder> folder;
      platform::FileInfo folder_info;
      if (const platform::Status status = files_.OpenFolder(parts.folder, folder, folder_info); !status.ok())
        return Report(path, "cannot read: " + status.message());
      walked = std::make_shared<const WalkedFolder>(
          WalkedFolder{nullptr, parts.folder, shown, folder_info.device, folder_info.inode});
    }
    found_.push_back({{path, {}, "", walked, parts.name}, info.device, info.inode});
  }

  void Report(const std::string& path, platform::Status status) {
    found_.push_back({{path, std::move(status)}, 0, 0});
  }

  platform::FileSystem& files_;
  const TreeOptions& options_;
  Excludes excludes_;
  std::vector<Found> found_;
  std::map<std::string, std::unique_ptr<project::GitRepository>> repositories_;  // by work tree
  std::map<std::string, std::shared_ptr<const WalkedFolder>> named_folders_;
  std::size_t taken_ = 0, ignored_ = 0, excluded_ = 0;  // in the current walk
};

// A path without "./" before it and '/' after it.
std::string Trimmed(std::string path) {
  while (path.starts_with("./")) path.erase(0, 2);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

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

std::string ShownEntry(std::string_view folder, std::string_view entry) {
  return folder.empty() ? std::string(entry) : Join(folder, entry);
}

std::string WalkedFolder::Shown(std::string_view entry) const { return ShownEntry(shown, entry); }

platform::Status OpenWalkedFolder(platform::FileSystem& files, const WalkedFolder& walked,
                                  std::unique_ptr<platform::Folder>& folder) {
  platform::Status status;
  platform::FileInfo info;
  if (walked.parent == nullptr) {
    status = files.OpenFolder(walked.name, folder, info);
  } else {
    std::unique_ptr<platform::Folder> parent;
    if (status = OpenWalkedFolder(files, *walked.parent, parent); !status.ok()) return status;
    status = files.OpenFolder({*parent, walked.name}, folder, info);
  }
  if (status.ok() && info.device == walked.device && info.inode == walked.inode) return {};
  return {"the folder " + (walked.shown.empty() ? std::string(".") : walked.shown) +
          " was removed, moved or replaced during the run"};
}

SourceFile SourceBelow(platform::FileSystem& files, const std::string& root, std::string_view relative,
                       std::string shown) {
  platform::FileInfo info;
  std::unique_ptr<platform::Folder> folder;
  auto walked = std::make_shared<WalkedFolder>();
  if (platform::Status status = files.OpenFolder(root, folder, info); !status.ok())
    return {std::move(shown), "cannot read: " + status.message()};
  // Messages name its entries from the current folder.
  std::string root_shown = project::ShownPath(root);
  if (root_shown == "." || root_shown == "./") root_shown.clear();
  *walked = {nullptr, root, std::move(root_shown), info.device, info.inode};
  for (std::size_t slash; (slash = relative.find('/')) != std::string_view::npos;
       relative.remove_prefix(slash + 1)) {
    const std::string name(relative.substr(0, slash));
    std::unique_ptr<platform::Folder> below;
    if (platform::Status status = files.OpenFolder({*folder, name}, below, info); !status.ok())
      return {std::move(shown), "cannot read: " + status.message()};
    walked = std::make_shared<WalkedFolder>(
        WalkedFolder{walked, name, walked->Shown(name), info.device, info.inode});
    folder = std::move(below);
  }
  return {std::move(shown), {}, "", std::move(walked), std::string(relative)};
}

platform::Status Excludes::Compile(const std::vector<std::string>& globs) {
  std::error_code error;
  current_folder_ = std::filesystem::current_path(error).string();
  std::vector<std::string> spelled;
  for (const std::string& glob : globs) {
    // A full path is matched as the path from the current folder that it names.
    const bool full = glob.starts_with('/');
    spelled.push_back(Trimmed(full ? std::filesystem::path(glob)
                                         .lexically_normal()
                                         .lexically_relative(current_folder_)
                                         .generic_string()
                                   : glob));
  }
  any_ = !spelled.empty();
  return patterns_.Compile(spelled);
}

bool Excludes::Match(const std::string& path, std::string_view in_walk) const {
  if (!any_) return false;
  std::filesystem::path from_here(path);
  from_here = from_here.is_absolute() ? from_here.lexically_normal().lexically_relative(current_folder_)
                                      : from_here.lexically_normal();
  return patterns_.Matches(std::string(BaseName(path))) ||
         patterns_.Matches(Trimmed(from_here.generic_string())) ||
         (!in_walk.empty() && patterns_.Matches(std::string(in_walk)));
}

std::vector<SourceFile> CollectSourceFiles(platform::FileSystem& files, const TreeOptions& options) {
  Collector collector(files, options);
  if (collector.CompileExcludes()) {
    for (const std::string& path : options.paths) collector.AddPath(path);
  }
  return collector.Finish();
}

}  // namespace qfmt::tree
