#include "tree/file_walk.h"

#include <algorithm>
#include <set>
#include <utility>

namespace qfmt::tree {
namespace {

constexpr std::string_view kSourceExtensions[] = {".c",   ".h",   ".cc",  ".cpp", ".cxx", ".c++", ".hh",
                                                  ".hpp", ".hxx", ".h++", ".inl", ".ipp", ".tcc"};

std::string_view BaseName(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string Join(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

class Collector {
 public:
  explicit Collector(platform::FileSystem& files) : files_(files) {}

  void AddPath(const std::string& path) {
    platform::FileInfo info;
    if (const platform::FsStatus status = files_.Inspect(path, true, info); !status.ok()) {
      return Report(path, "cannot read: " + status.error);
    }
    if (info.kind == platform::FileKind::kFolder) return Walk(path);
    // Other names are passed over, so that a hook can hand over every name it has.
    if (IsSourceName(BaseName(path))) found_.push_back({path, ""});
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
      if (file.error.empty() && files_.Inspect(file.path, true, info).ok() &&
          !seen.insert({info.device, info.inode}).second) {
        continue;
      }
      files.push_back(std::move(file));
    }
    return files;
  }

 private:
  void Walk(const std::string& root) {
    std::vector<std::string> folders{root};
    std::vector<platform::FolderEntry> entries;
    while (!folders.empty()) {
      const std::string folder = std::move(folders.back());
      folders.pop_back();
      if (const platform::FsStatus status = files_.ListFolder(folder, entries); !status.ok()) {
        Report(folder, "cannot list the folder: " + status.error);
        continue;
      }
      for (const platform::FolderEntry& entry : entries) {
        if (entry.name.starts_with('.')) continue;
        std::string path = Join(folder, entry.name);
        if (entry.kind == platform::FileKind::kFolder) {
          folders.push_back(std::move(path));
        } else if (IsSourceName(entry.name) && !LeadsToFolder(path, entry.kind)) {
          found_.push_back({std::move(path), ""});
        }
      }
    }
  }

  bool LeadsToFolder(const std::string& path, platform::FileKind kind) {
    platform::FileInfo target;
    return kind == platform::FileKind::kLink && files_.Inspect(path, true, target).ok() &&
           target.kind == platform::FileKind::kFolder;
  }

  void Report(const std::string& path, std::string error) { found_.push_back({path, std::move(error)}); }

  platform::FileSystem& files_;
  std::vector<SourceFile> found_;
};

}  // namespace

// A ".Backup" copy has an extension of its own, so none of them is taken.
bool IsSourceName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  const std::string_view extension = name.substr(dot);
  return std::find(std::begin(kSourceExtensions), std::end(kSourceExtensions), extension) !=
         std::end(kSourceExtensions);
}

std::vector<SourceFile> CollectSourceFiles(platform::FileSystem& files,
                                           const std::vector<std::string>& paths) {
  Collector collector(files);
  for (const std::string& path : paths) collector.AddPath(path);
  return collector.Finish();
}

}  // namespace qfmt::tree
