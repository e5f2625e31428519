#include "project/git_repository.h"

#include <git2.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>

namespace qfmt::project {
namespace {

std::string LastError() {
  const git_error* error = git_error_last();
  return error != nullptr && error->message != nullptr ? error->message : "unknown error";
}

// Frees a libgit2 object when it goes out of scope.
template <typename T, void (*Free)(T*)>
class Owned {
 public:
  Owned() = default;
  ~Owned() {
    if (object_ != nullptr) Free(object_);
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  T** out() { return &object_; }
  T* get() const { return object_; }

 private:
  T* object_ = nullptr;
};

using OwnedIndex = Owned<git_index, git_index_free>;
using OwnedObject = Owned<git_object, git_object_free>;
using OwnedDiff = Owned<git_diff, git_diff_free>;
using OwnedBlob = Owned<git_blob, git_blob_free>;

bool IsRegularFile(std::uint16_t mode) {
  return mode == GIT_FILEMODE_BLOB || mode == GIT_FILEMODE_BLOB_EXECUTABLE;
}

std::string WithoutSlash(std::string path) {
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The user whom git compares owners with: the one who called sudo, for root
// under sudo.
uid_t GitUser() {
  const uid_t user = ::geteuid();
  const char* sudo = user == 0 ? std::getenv("SUDO_UID") : nullptr;
  uid_t caller = 0;
  if (sudo != nullptr &&
      std::from_chars(sudo, sudo + std::char_traits<char>::length(sudo), caller).ec == std::errc())
    return caller;
  return user;
}

// True when safe.directory in the system's or the user's git configuration
// names `path` or is "*"; an empty value takes back the ones before it.
bool IsSafeDirectory(const std::string& path) {
  git_config* config = nullptr;
  if (git_config_open_default(&config) != 0) return false;
  struct Search {
    std::string path;
    bool safe = false;
  } search{path};
  git_config_get_multivar_foreach(
      config, "safe.directory", nullptr,
      [](const git_config_entry* entry, void* payload) {
        auto& found = *static_cast<Search*>(payload);
        const std::string_view value = entry->value;
        git_buf expanded = GIT_BUF_INIT;
        if (value.empty()) {
          found.safe = false;
        } else if (value == "*") {
          found.safe = true;
        } else if (git_config_parse_path(&expanded, entry->value) == 0) {
          found.safe = found.safe || WithoutSlash(expanded.ptr) == found.path;
        }
        git_buf_dispose(&expanded);
        return 0;
      },
      &search);
  git_config_free(config);
  return search.safe;
}

int AddHunk(const git_diff_delta*, const git_diff_hunk* hunk, void* payload) {
  if (hunk->new_lines > 0) {
    static_cast<std::vector<LineRange>*>(payload)->push_back(
        {hunk->new_start, std::int64_t{hunk->new_start} + hunk->new_lines - 1});
  }
  return 0;
}

}  // namespace

platform::Status ChangedLines(std::string_view base, std::string_view text, std::vector<LineRange>& lines) {
  lines.clear();
  if (git_libgit2_init() < 0) return "cannot start libgit2: " + LastError();
  git_diff_options options = GIT_DIFF_OPTIONS_INIT;
  options.context_lines = 0;
  options.interhunk_lines = 0;
  options.flags = GIT_DIFF_FORCE_TEXT;
  std::string error;
  if (git_diff_buffers(base.data(), base.size(), nullptr, text.data(), text.size(), nullptr, &options,
                       nullptr, nullptr, AddHunk, nullptr, &lines) != 0) {
    error = "cannot compare it with its text in git: " + LastError();
  }
  git_libgit2_shutdown();
  return error;
}

// Whether git could find a repository from `folder`: a ".git", or a folder
// that may be a repository's own folder (it holds a HEAD), there or, searching
// upward, above. Where there is none, libgit2 (whose start reads every
// certificate of the system, some 15 ms) is not started at all.
namespace {
bool MayFindRepository(platform::FileSystem& files, const std::string& folder, Discovery discovery) {
  if (discovery == Discovery::kFromEnvironment || folder.empty()) return true;
  if (discovery == Discovery::kUpward && !folder.starts_with('/')) return true;
  std::string path = WithoutSlash(folder);
  for (;;) {
    if (path == "/") path.clear();
    for (const std::string_view name : {"/.git", "/HEAD"}) {
      platform::FileInfo info;
      if (!files.Inspect(path + std::string(name), false, info).missing()) return true;
    }
    const std::size_t slash = path.rfind('/');
    if (discovery == Discovery::kHere || path.empty() || slash == std::string::npos) return false;
    path.resize(slash);
  }
}
}  // namespace

platform::Status GitRepository::Find(platform::FileSystem& files, const std::string& folder,
                                     Discovery discovery, std::unique_ptr<GitRepository>& found) {
  found.reset();
  if (!MayFindRepository(files, folder, discovery)) return {};
  // The library counts its users; each repository object is one.
  if (git_libgit2_init() < 0) return "cannot start libgit2: " + LastError();
  // Ownership is checked below by git's own rule, which libgit2 1.5 follows
  // only in part (it reports a refusal as no repository, and knows no "*").
  git_libgit2_opts(GIT_OPT_SET_OWNER_VALIDATION, 0);
  git_repository* repository = nullptr;
  const unsigned flags = discovery == Discovery::kHere              ? GIT_REPOSITORY_OPEN_NO_SEARCH
                         : discovery == Discovery::kFromEnvironment ? GIT_REPOSITORY_OPEN_FROM_ENV
                                                                    : 0;
  const int status = git_repository_open_ext(&repository, folder.c_str(), flags, nullptr);
  if (status == 0 && git_repository_workdir(repository) != nullptr) {
    std::unique_ptr<GitRepository> opened(new GitRepository(repository));
    platform::Status trusted = opened->CheckOwnership(files);
    if (trusted.ok()) found = std::move(opened);
    return trusted;
  }
  platform::Status opened;
  if (status != 0 && status != GIT_ENOTFOUND) opened = "cannot open the git repository: " + LastError();
  git_repository_free(repository);  // a bare repository has no work tree to format
  git_libgit2_shutdown();
  return opened;
}

GitRepository::GitRepository(git_repository* repository)
    : repository_(repository), work_tree_(git_repository_workdir(repository)) {}

std::string GitRepository::git_folder() const { return git_repository_path(repository_); }

// As git: the work tree and the repository's folder must be the user's.
platform::Status GitRepository::CheckOwnership(platform::FileSystem& files) const {
  const std::string work_tree = WithoutSlash(work_tree_);
  const uid_t user = GitUser();
  bool owned = true;
  for (const std::string& path : {work_tree, WithoutSlash(git_folder())}) {
    platform::FileInfo info;
    owned = owned && files.Inspect(path, false, info).ok() && info.owner == user;
  }
  if (owned || IsSafeDirectory(work_tree)) return {};
  return "git does not trust the repository " + work_tree +
         " (dubious ownership: it belongs to another user), so its ignore rules cannot be read and its files "
         "are left as they are; to trust it: git config --global --add safe.directory " +
         work_tree;
}

GitRepository::~GitRepository() {
  git_repository_free(repository_);
  git_libgit2_shutdown();
}

bool GitRepository::IsIgnored(const std::string& path, bool folder) {
  int ignored = 0;
  // A trailing '/' lets rules that name only folders ("build/") apply.
  const std::string name = folder ? path + "/" : path;
  if (git_ignore_path_is_ignored(&ignored, repository_, name.c_str()) != 0 || ignored == 0) return false;
  OwnedIndex index;
  if (git_repository_index(index.out(), repository_) != 0) return true;
  std::size_t position = 0;
  const bool tracked = folder ? git_index_find_prefix(&position, index.get(), name.c_str()) == 0
                              : git_index_get_bypath(index.get(), path.c_str(), 0) != nullptr;
  return !tracked;
}

platform::Status GitRepository::ReadStagedFiles(const std::vector<std::string>& pathspec,
                                                std::vector<StagedFile>& files) {
  return ReadChangedFiles("", true, pathspec, files);
}

platform::Status GitRepository::ReadChangedFiles(const std::string& revision, bool from_index,
                                                 const std::vector<std::string>& pathspec,
                                                 std::vector<StagedFile>& files) {
  files.clear();
  OwnedIndex index;
  if (git_repository_index(index.out(), repository_) != 0 || git_index_read(index.get(), 0) != 0)
    return "cannot read git's index: " + LastError();
  OwnedObject tree;
  if (!revision.empty()) {
    if (git_revparse_single(tree.out(), repository_, (revision + "^{tree}").c_str()) != 0)
      return "cannot find the commit '" + revision + "' in git: " + LastError();
  } else if (git_repository_head_unborn(repository_) != 1 &&
             git_revparse_single(tree.out(), repository_, "HEAD^{tree}") != 0) {
    // Before the first commit everything staged is new.
    return "cannot read HEAD: " + LastError();
  }
  std::vector<char*> strings;
  for (const std::string& path : pathspec) strings.push_back(const_cast<char*>(path.c_str()));
  git_diff_options options = GIT_DIFF_OPTIONS_INIT;
  options.flags = GIT_DIFF_DISABLE_PATHSPEC_MATCH;  // paths, not patterns
  options.pathspec.strings = strings.data();
  options.pathspec.count = strings.size();
  OwnedDiff diff;
  auto* commit_tree = reinterpret_cast<git_tree*>(tree.get());
  const int status =
      from_index ? git_diff_tree_to_index(diff.out(), repository_, commit_tree, index.get(), &options)
                 : git_diff_tree_to_workdir_with_index(diff.out(), repository_, commit_tree, &options);
  if (status != 0) {
    return "cannot compare " + std::string(from_index ? "git's index" : "the work tree") + " with " +
           (revision.empty() ? "HEAD" : revision) + ": " + LastError();
  }
  const auto read_blob = [this](const git_oid& id, std::string& text) {
    OwnedBlob blob;
    if (git_blob_lookup(blob.out(), repository_, &id) != 0) return false;
    const auto* bytes = static_cast<const char*>(git_blob_rawcontent(blob.get()));
    text.assign(bytes, static_cast<std::size_t>(git_blob_rawsize(blob.get())));
    return true;
  };
  const std::size_t count = git_diff_num_deltas(diff.get());
  for (std::size_t i = 0; i < count; ++i) {
    const git_diff_delta* delta = git_diff_get_delta(diff.get(), i);
    const bool wanted = delta->status == GIT_DELTA_ADDED || delta->status == GIT_DELTA_MODIFIED ||
                        delta->status == GIT_DELTA_RENAMED || delta->status == GIT_DELTA_COPIED;
    if (!wanted || !IsRegularFile(delta->new_file.mode)) continue;
    StagedFile file{delta->new_file.path, "", ""};
    if (from_index && !read_blob(delta->new_file.id, file.text))
      return "cannot read the staged " + file.path + ": " + LastError();
    if (delta->status != GIT_DELTA_ADDED && IsRegularFile(delta->old_file.mode) &&
        !read_blob(delta->old_file.id, file.base)) {
      return "cannot read " + std::string(delta->old_file.path) + " in the commit: " + LastError();
    }
    files.push_back(std::move(file));
  }
  return {};
}

platform::Status GitRepository::Restage(const std::string& path, std::string_view text,
                                        const platform::FileInfo* working) {
  OwnedIndex index;
  if (git_repository_index(index.out(), repository_) != 0 || git_index_read(index.get(), 0) != 0)
    return "cannot read git's index: " + LastError();
  const git_index_entry* staged = git_index_get_bypath(index.get(), path.c_str(), 0);
  if (staged == nullptr) return {"no longer staged"};
  git_index_entry entry = *staged;
  if (git_blob_create_from_buffer(&entry.id, repository_, text.data(), text.size()) != 0)
    return "cannot store the formatted text in git: " + LastError();
  const auto time_of = [](std::int64_t ns) {
    return git_index_time{static_cast<std::int32_t>(ns / 1'000'000'000),
                          static_cast<std::uint32_t>(ns % 1'000'000'000)};
  };
  const platform::FileInfo none;  // times, device and inode that no file has
  const platform::FileInfo& file = working != nullptr ? *working : none;
  entry.ctime = time_of(file.changed_ns);
  entry.mtime = time_of(file.modified_ns);
  entry.dev = static_cast<std::uint32_t>(file.device);
  entry.ino = static_cast<std::uint32_t>(file.inode);
  if (working != nullptr) {
    entry.uid = working->owner;
    entry.gid = working->group;
  }
  entry.file_size = static_cast<std::uint32_t>(text.size());
  if (git_index_add(index.get(), &entry) != 0) return "cannot stage it: " + LastError();
  if (git_index_write(index.get()) != 0) return "cannot write git's index: " + LastError();
  return {};
}

platform::Status PathPatterns::Compile(const std::vector<std::string>& globs) {
  if (globs.empty()) return {};
  if (git_libgit2_init() < 0) return "cannot start libgit2: " + LastError();
  std::vector<char*> strings;
  for (const std::string& glob : globs) strings.push_back(const_cast<char*>(glob.c_str()));
  git_strarray array{strings.data(), strings.size()};
  if (git_pathspec_new(&pathspec_, &array) != 0) {
    git_libgit2_shutdown();
    return "cannot read the globs: " + LastError();
  }
  return {};
}

PathPatterns::~PathPatterns() {
  if (pathspec_ == nullptr) return;
  git_pathspec_free(pathspec_);
  git_libgit2_shutdown();
}

bool PathPatterns::Matches(const std::string& path) const {
  return pathspec_ != nullptr &&
         git_pathspec_matches_path(pathspec_, GIT_PATHSPEC_DEFAULT, path.c_str()) == 1;
}

}  // namespace qfmt::project
