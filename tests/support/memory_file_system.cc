#include "tests/support/memory_file_system.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace qfmt::testing {
namespace {

using platform::FileKind;
using Node = MemoryFileSystem::Node;
constexpr std::string_view kNoSuchFile = "No such file or directory";

platform::FsStatus Failed(std::string_view what) { return {std::string(what), what == kNoSuchFile}; }

class Reader final : public platform::ByteSource {
 public:
  Reader(std::shared_ptr<const Node> node, std::size_t fail_after)
      : node_(std::move(node)), fail_after_(fail_after) {}
  std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    if (offset_ >= fail_after_) return -1;
    const std::string& bytes = node_->bytes;  // emptied when the file is opened for writing
    const std::size_t n =
        std::min({size, bytes.size() - std::min(offset_, bytes.size()), fail_after_ - offset_});
    if (n > 0) std::memcpy(buffer, bytes.data() + offset_, n);
    offset_ += n;
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  std::shared_ptr<const Node> node_;
  std::size_t fail_after_;
  std::size_t offset_ = 0;
};

// A file opened for writing, or a temporary file, on which the faults act.
class Writer final : public platform::TempFile {
 public:
  Writer(MemoryFileSystem& files, std::shared_ptr<Node> node, std::string name, bool temporary,
         const platform::Folder* folder = nullptr)
      : files_(files),
        node_(std::move(node)),
        name_(std::move(name)),
        temporary_(temporary),
        folder_(folder) {}
  bool Write(const char* data, std::size_t size) override {
    failed_ = failed_ || (temporary_ && files_.faults.fail_temp_writes);
    if (failed_ || !files_.TakeSpace(size)) return false;
    node_->bytes.append(data, temporary_ && files_.faults.drop_last_byte && size > 0 ? size - 1 : size);
    node_->modified_ns = files_.clock_ns;
    node_->synced = false;
    return true;
  }
  bool Close() override { return !failed_; }
  const std::string& name() const override { return name_; }
  platform::Place place() const override {
    return folder_ != nullptr ? platform::Place(*folder_, name_) : platform::Place(name_);
  }
  platform::FsStatus KeepAttributesOf(const platform::FileInfo& original) override {
    node_->permissions = original.permissions;
    node_->owner = original.owner;
    node_->group = original.group;
    return {};
  }
  platform::FsStatus GiveNewFilePermissions() override {
    node_->permissions = 0644;
    return {};
  }
  platform::FsStatus CopyExtendedAttributesOf(const platform::Place& original) override {
    if (files_.NameOf(original) == files_.faults.attributes_refused_from)
      return Failed("user.note: Operation not supported");
    return {};
  }
  platform::FsStatus CopyFlagsOf(const platform::Place&) override { return {}; }
  platform::FsStatus Sync() override {
    if (files_.faults.before_sync) files_.faults.before_sync();
    if (temporary_ && files_.faults.fail_sync) return Failed("Input/output error");
    node_->synced = true;
    return {};
  }
  void Keep() override {}

 private:
  MemoryFileSystem& files_;
  std::shared_ptr<Node> node_;
  std::string name_;
  bool temporary_;
  const platform::Folder* folder_;  // where name_ is an entry; null when it is a name of its own
  bool failed_ = false;
};

// An open folder: its name, and the node that must still stand there.
struct MemoryFolder final : public platform::Folder {
  MemoryFolder(std::string folder_name, std::shared_ptr<const Node> folder_node)
      : name(std::move(folder_name)), node(std::move(folder_node)) {}
  std::string name;
  std::shared_ptr<const Node> node;
};

std::string JoinName(const std::string& folder, std::string_view entry) {
  if (entry == ".") return folder;
  return folder == "." ? std::string(entry) : folder + "/" + std::string(entry);
}

// Writes over the bytes from the start; ending cuts them there.
class Rewriter final : public platform::RewrittenFile {
 public:
  Rewriter(MemoryFileSystem& files, std::string name, std::shared_ptr<Node> node, std::size_t fail_after)
      : files_(files), name_(std::move(name)), node_(std::move(node)), fail_after_(fail_after) {}
  bool Write(const char* data, std::size_t size) override {
    std::string& bytes = node_->bytes;
    if (size > fail_after_ - offset_) return false;
    if (offset_ + size > bytes.size() && !files_.TakeSpace(offset_ + size - bytes.size())) return false;
    bytes.replace(offset_, size, data, size);
    offset_ += size;
    node_->modified_ns = files_.clock_ns;
    return true;
  }
  bool Close() override { return true; }
  platform::FsStatus Inspect(platform::FileInfo& info) override { return files_.Inspect(name_, false, info); }
  platform::FsStatus EndAndSync() override {
    node_->bytes.resize(offset_);
    node_->synced = true;
    return {};
  }

 private:
  MemoryFileSystem& files_;
  std::string name_;
  std::shared_ptr<Node> node_;
  std::size_t fail_after_;
  std::size_t offset_ = 0;
};

}  // namespace

std::string LinkTarget(std::string_view entry) {
  constexpr std::string_view kLink = "<link to ";
  const bool link = entry.starts_with(kLink) && entry.ends_with('>');
  return link ? std::string(entry.substr(kLink.size(), entry.size() - kLink.size() - 1)) : std::string();
}

std::shared_ptr<Node> MemoryFileSystem::Make(const std::string& name, FileKind kind) {
  return nodes_[name] =
             std::make_shared<Node>(Node{kind, "", "", 0644, 0, 0, clock_ns, next_inode_++, false});
}

bool MemoryFileSystem::TakeSpace(std::size_t size) {
  if (size > faults.space_left) {
    ++failed_writes;
    return false;
  }
  if (faults.space_left != SIZE_MAX) faults.space_left -= size;
  return true;
}

void MemoryFileSystem::AddFile(const std::string& name, std::string_view bytes, std::uint32_t permissions) {
  const Node* old = Find(name);
  Node& node =
      old != nullptr && old->kind == FileKind::kRegular ? *nodes_[name] : *Make(name, FileKind::kRegular);
  node.bytes = bytes;
  node.permissions = permissions;
  node.modified_ns = clock_ns;
}

void MemoryFileSystem::AddFolder(const std::string& name) { Make(name, FileKind::kFolder); }

void MemoryFileSystem::AddContents(const Contents& contents) {
  for (const auto& [name, entry] : contents) {
    if (entry == "<folder>") {
      AddFolder(name);
    } else if (const std::string target = LinkTarget(entry); !target.empty()) {
      Make(name, FileKind::kLink)->target = target;
    } else {
      AddFile(name, entry);
    }
  }
}

const Node* MemoryFileSystem::Find(const std::string& name) const {
  const auto it = nodes_.find(name);
  return it == nodes_.end() ? nullptr : it->second.get();
}

Contents MemoryFileSystem::Files() const {
  Contents files;
  for (const auto& [name, node] : nodes_) {
    files[name] = node->kind == FileKind::kFolder ? "<folder>"
                  : node->kind == FileKind::kLink ? "<link to " + node->target + ">"
                                                  : node->bytes;
  }
  return files;
}

std::string MemoryFileSystem::Follow(const std::string& name) const {
  std::string at = name;
  for (int links = 0; links < 40; ++links) {
    const Node* node = Find(at);
    if (node == nullptr || node->kind != FileKind::kLink) return at;
    at = node->target;
  }
  return {};
}

bool MemoryFileSystem::HasFolderFor(const std::string& name) const {
  const std::size_t slash = name.rfind('/');
  const Node* folder =
      slash == std::string::npos ? nullptr : Find(Follow(slash == 0 ? "/" : name.substr(0, slash)));
  return slash == std::string::npos || (folder != nullptr && folder->kind == FileKind::kFolder);
}

std::string MemoryFileSystem::NameOf(const platform::Place& place) const {
  const auto* folder = static_cast<const MemoryFolder*>(place.folder());
  return folder == nullptr ? std::string(place.name()) : JoinName(folder->name, place.name());
}

std::string MemoryFileSystem::Target(const platform::Place& place, bool follow) const {
  const auto* folder = static_cast<const MemoryFolder*>(place.folder());
  if (folder == nullptr) return follow ? Follow(std::string(place.name())) : std::string(place.name());
  const auto it = nodes_.find(folder->name);
  return it != nodes_.end() && it->second == folder->node ? NameOf(place) : std::string();
}

std::unique_ptr<platform::ByteSource> MemoryFileSystem::OpenForReading(const platform::Place& place) {
  const auto it = nodes_.find(Target(place, true));
  if (it == nodes_.end() || it->second->kind != FileKind::kRegular) return nullptr;
  return std::make_unique<Reader>(it->second, NameOf(place) == faults.failing_reads
                                                  ? faults.fail_after
                                                  : std::numeric_limits<std::size_t>::max());
}

std::unique_ptr<platform::OutputFile> MemoryFileSystem::OpenForWriting(const platform::Place& place) {
  const std::string target = Target(place, true);
  const Node* old = Find(target);
  if (NameOf(place) == faults.refuse_writing || target.empty() || target.back() == '/' ||
      !HasFolderFor(target) || (old != nullptr && old->kind != FileKind::kRegular)) {
    return nullptr;
  }
  std::shared_ptr<Node> node = old != nullptr ? nodes_[target] : Make(target, FileKind::kRegular);
  node->bytes.clear();
  node->modified_ns = clock_ns;
  return std::make_unique<Writer>(*this, std::move(node), target, false);
}

platform::FsStatus MemoryFileSystem::Inspect(const platform::Place& place, bool follow_links,
                                             platform::FileInfo& info) {
  const Node* node = Find(Target(place, follow_links));
  if (node == nullptr) return Failed(kNoSuchFile);
  info = {node->kind,
          node->permissions,
          node->owner,
          node->group,
          static_cast<std::int64_t>(node->bytes.size()),
          node->modified_ns,
          node->modified_ns,
          1,
          node->inode,
          0};
  for (const auto& [other, other_node] : nodes_) info.links += other_node.get() == node ? 1 : 0;
  return {};
}

platform::FsStatus MemoryFileSystem::OpenFolder(const platform::Place& place,
                                                std::unique_ptr<platform::Folder>& folder,
                                                platform::FileInfo& info) {
  const std::string name = Target(place, true);
  const auto it = nodes_.find(name);
  if (it == nodes_.end()) return Failed(kNoSuchFile);
  if (it->second->kind == FileKind::kLink) return Failed("Too many levels of symbolic links");
  if (it->second->kind != FileKind::kFolder) return Failed("Not a directory");
  if (platform::FsStatus status = Inspect(name, false, info); !status.ok()) return status;
  folder = std::make_unique<MemoryFolder>(name, it->second);
  return {};
}

platform::FsStatus MemoryFileSystem::ListFolder(const platform::Folder& folder,
                                                std::vector<platform::FolderEntry>& entries) {
  entries.clear();
  const std::string name = Target(platform::Place(folder), false);
  if (name.empty()) return Failed(kNoSuchFile);
  const std::string prefix = name == "." ? "" : name + "/";
  for (auto it = nodes_.lower_bound(prefix); it != nodes_.end() && it->first.starts_with(prefix); ++it) {
    const std::string entry = it->first.substr(prefix.size());
    if (!entry.empty() && entry.find('/') == std::string::npos) entries.push_back({entry, it->second->kind});
  }
  return {};
}

platform::FsStatus MemoryFileSystem::ReadRegularFile(const platform::Place& place, std::size_t limit,
                                                     std::string& bytes, platform::FileInfo& info) {
  bytes.clear();
  const std::string name = NameOf(place);
  if (name == faults.exhausts_memory) throw std::bad_alloc();
  if (platform::FsStatus status = Inspect(place, true, info); !status.ok()) return status;
  if (info.kind != FileKind::kRegular) return Failed(platform::kNotRegularFile);
  if (static_cast<std::size_t>(info.size) > limit) return Failed(platform::kTooLarge);
  bytes = Find(Target(place, true))->bytes;
  if (faults.after_read) faults.after_read(name);
  return {};
}

platform::FsStatus MemoryFileSystem::ResolveLinks(const std::string& name, std::string& resolved) {
  if (Find(Follow(name)) == nullptr) return Failed(kNoSuchFile);
  resolved = Follow(name);
  return {};
}

platform::FsStatus MemoryFileSystem::CreateTempFile(const platform::Place& folder, std::string_view stem,
                                                    platform::TempName naming,
                                                    std::unique_ptr<platform::TempFile>& file) {
  std::string entry(stem);
  if (naming == platform::TempName::kRandomSuffix) entry += std::to_string(++temp_files_);
  const std::string folder_name = Target(folder, true);
  const std::string name = JoinName(folder_name, entry);
  if (NameOf(folder) == faults.refuse_temp_in) return Failed("Permission denied");
  if (folder_name.empty() || !HasFolderFor(name)) return Failed(kNoSuchFile);
  if (Find(name) != nullptr) return Failed("File exists");
  std::shared_ptr<Node> node = Make(name, FileKind::kRegular);
  node->permissions = 0600;
  const bool in_folder = folder.folder() != nullptr;
  file = std::make_unique<Writer>(*this, std::move(node), in_folder ? entry : name, true, folder.folder());
  return {};
}

platform::FsStatus MemoryFileSystem::CreateTempFolder(const std::string& folder, std::string_view stem,
                                                      platform::TempName naming, std::string& path) {
  std::string name = JoinName(folder, stem);
  if (naming == platform::TempName::kRandomSuffix) name += std::to_string(++temp_files_);
  if (!HasFolderFor(name)) return Failed(kNoSuchFile);
  if (Find(name) != nullptr) return Failed("File exists");
  Make(name, FileKind::kFolder)->permissions = 0700;
  path = name;
  return {};
}

platform::FsStatus MemoryFileSystem::RemoveFolder(const std::string& path) {
  const Node* node = Find(path);
  if (node == nullptr || node->kind != FileKind::kFolder)
    return Failed(node ? "Not a directory" : kNoSuchFile);
  const auto next = nodes_.upper_bound(path);
  if (next != nodes_.end() && next->first.starts_with(path + "/")) return Failed("Directory not empty");
  nodes_.erase(path);
  return {};
}

// A folder takes what it holds along.
platform::FsStatus MemoryFileSystem::Rename(const platform::Place& from, const platform::Place& to) {
  const std::string source = Target(from, false), destination = Target(to, false);
  if (NameOf(to) == faults.refuse_rename_to) return Failed("Read-only file system");
  if (NameOf(to) == faults.refuse_writing) return Failed("Permission denied");
  const auto it = nodes_.find(source);
  if (source.empty() || destination.empty() || it == nodes_.end() || !HasFolderFor(destination))
    return Failed(kNoSuchFile);
  std::shared_ptr<Node> node = std::move(it->second);
  nodes_.erase(it);
  const std::string prefix = source + "/";
  std::vector<std::pair<std::string, std::shared_ptr<Node>>> inside;
  for (auto at = nodes_.lower_bound(prefix); at != nodes_.end() && at->first.starts_with(prefix);) {
    inside.emplace_back(destination + "/" + at->first.substr(prefix.size()), std::move(at->second));
    at = nodes_.erase(at);
  }
  nodes_[destination] = std::move(node);
  for (auto& [name, moved] : inside) nodes_[name] = std::move(moved);
  return {};
}

platform::FsStatus MemoryFileSystem::Exchange(const platform::Place& a, const platform::Place& b) {
  if (faults.before_exchange) faults.before_exchange();
  if (faults.cannot_exchange) return Failed(platform::kCannotExchange);
  const std::string first = Target(a, false), second = Target(b, false);
  if (NameOf(a) == faults.refuse_rename_to || NameOf(b) == faults.refuse_rename_to)
    return Failed("Read-only file system");
  if (Find(first) == nullptr || Find(second) == nullptr) return Failed(kNoSuchFile);
  std::swap(nodes_.at(first), nodes_.at(second));
  return {};
}

platform::FsStatus MemoryFileSystem::LockFile(const platform::Place& place,
                                              std::unique_ptr<platform::FileLock>& lock) {
  const Node* node = Find(Target(place, true));
  lock =
      node != nullptr && node->kind == FileKind::kRegular ? std::make_unique<platform::FileLock>() : nullptr;
  return {};
}

platform::FsStatus MemoryFileSystem::CheckMayWrite(const platform::Place& place) {
  if (NameOf(place) == faults.refuse_writing) return Failed("Permission denied");
  return Find(Target(place, true)) != nullptr ? platform::FsStatus{} : Failed(kNoSuchFile);
}

platform::FsStatus MemoryFileSystem::OpenForRewriting(const platform::Place& place,
                                                      std::unique_ptr<platform::RewrittenFile>& file) {
  const std::string target = Target(place, true);
  const auto found = nodes_.find(target);
  if (found == nodes_.end() || found->second->kind != FileKind::kRegular) return Failed(kNoSuchFile);
  const std::size_t fails_after = faults.rewrites_to_fail > 0 ? faults.rewrite_fails_after : SIZE_MAX;
  if (faults.rewrites_to_fail > 0) --faults.rewrites_to_fail;
  file = std::make_unique<Rewriter>(*this, target, found->second, fails_after);
  return {};
}

platform::FsStatus MemoryFileSystem::Remove(const platform::Place& place) {
  const std::string name = Target(place, false);
  const Node* node = Find(name);
  if (node == nullptr || node->kind == FileKind::kFolder)
    return Failed(node ? "Is a directory" : kNoSuchFile);
  nodes_.erase(name);
  return {};
}

}  // namespace qfmt::testing
