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

platform::FsStatus Failed(std::string_view what) { return {std::string(what)}; }

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
  Writer(MemoryFileSystem& files, std::shared_ptr<Node> node, std::string name, bool temporary)
      : files_(files), node_(std::move(node)), name_(std::move(name)), temporary_(temporary) {}
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
  platform::FsStatus CopyExtendedAttributesOf(const std::string& original) override {
    if (original == files_.faults.attributes_refused_from)
      return Failed("user.note: Operation not supported");
    return {};
  }
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
  bool failed_ = false;
};

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
  platform::FsStatus Inspect(platform::FileInfo& info) override { return files_.Inspect(name_, true, info); }
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
  const Node* folder = slash == std::string::npos ? nullptr : Find(Follow(name.substr(0, slash)));
  return slash == std::string::npos || (folder != nullptr && folder->kind == FileKind::kFolder);
}

std::unique_ptr<platform::ByteSource> MemoryFileSystem::OpenForReading(const std::string& name) {
  const auto it = nodes_.find(Follow(name));
  if (it == nodes_.end() || it->second->kind != FileKind::kRegular) return nullptr;
  return std::make_unique<Reader>(
      it->second, name == faults.failing_reads ? faults.fail_after : std::numeric_limits<std::size_t>::max());
}

std::unique_ptr<platform::OutputFile> MemoryFileSystem::OpenForWriting(const std::string& name) {
  const std::string target = Follow(name);
  const Node* old = Find(target);
  if (name == faults.refuse_writing || target.empty() || target.back() == '/' || !HasFolderFor(target) ||
      (old != nullptr && old->kind != FileKind::kRegular)) {
    return nullptr;
  }
  std::shared_ptr<Node> node = old != nullptr ? nodes_[target] : Make(target, FileKind::kRegular);
  node->bytes.clear();
  node->modified_ns = clock_ns;
  return std::make_unique<Writer>(*this, std::move(node), target, false);
}

platform::FsStatus MemoryFileSystem::Inspect(const std::string& name, bool follow_links,
                                             platform::FileInfo& info) {
  const Node* node = Find(follow_links ? Follow(name) : name);
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

platform::FsStatus MemoryFileSystem::ListFolder(const std::string& name,
                                                std::vector<platform::FolderEntry>& entries) {
  entries.clear();
  const std::string folder = Follow(name);
  const Node* node = Find(folder);
  if (node == nullptr || node->kind != FileKind::kFolder)
    return Failed(node ? "Not a directory" : kNoSuchFile);
  const std::string prefix = folder + "/";
  for (auto it = nodes_.lower_bound(prefix); it != nodes_.end() && it->first.starts_with(prefix); ++it) {
    const std::string entry = it->first.substr(prefix.size());
    if (entry.find('/') == std::string::npos) entries.push_back({entry, it->second->kind});
  }
  return {};
}

platform::FsStatus MemoryFileSystem::ReadRegularFile(const std::string& name, std::string& bytes,
                                                     platform::FileInfo& info) {
  bytes.clear();
  if (name == faults.exhausts_memory) throw std::bad_alloc();
  if (platform::FsStatus status = Inspect(name, true, info); !status.ok()) return status;
  if (info.kind != FileKind::kRegular) return Failed(platform::kNotRegularFile);
  bytes = Find(Follow(name))->bytes;
  if (faults.after_read) faults.after_read(name);
  return {};
}

platform::FsStatus MemoryFileSystem::ResolveLinks(const std::string& name, std::string& resolved) {
  if (Find(Follow(name)) == nullptr) return Failed(kNoSuchFile);
  resolved = Follow(name);
  return {};
}

platform::FsStatus MemoryFileSystem::CreateTempFile(const std::string& folder, std::string_view stem,
                                                    std::unique_ptr<platform::TempFile>& file) {
  const std::string name =
      (folder == "." ? "" : folder + "/") + std::string(stem) + std::to_string(++temp_files_);
  if (folder == faults.refuse_temp_in) return Failed("Permission denied");
  if (!HasFolderFor(name)) return Failed(kNoSuchFile);
  std::shared_ptr<Node> node = Make(name, FileKind::kRegular);
  node->permissions = 0600;
  file = std::make_unique<Writer>(*this, std::move(node), name, true);
  return {};
}

platform::FsStatus MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  if (to == faults.refuse_rename_to) return Failed("Read-only file system");
  if (to == faults.refuse_writing) return Failed("Permission denied");
  const auto it = nodes_.find(from);
  if (it == nodes_.end() || !HasFolderFor(to)) return Failed(kNoSuchFile);
  std::shared_ptr<Node> node = std::move(it->second);
  nodes_.erase(it);
  nodes_[to] = std::move(node);
  return {};
}

platform::FsStatus MemoryFileSystem::Exchange(const std::string& a, const std::string& b) {
  if (faults.before_exchange) faults.before_exchange();
  if (faults.cannot_exchange) return Failed(platform::kCannotExchange);
  if (a == faults.refuse_rename_to || b == faults.refuse_rename_to) return Failed("Read-only file system");
  if (Find(a) == nullptr || Find(b) == nullptr) return Failed(kNoSuchFile);
  std::swap(nodes_.at(a), nodes_.at(b));
  return {};
}

platform::FsStatus MemoryFileSystem::LockFile(const std::string& name,
                                              std::unique_ptr<platform::FileLock>& lock) {
  const Node* node = Find(Follow(name));
  lock =
      node != nullptr && node->kind == FileKind::kRegular ? std::make_unique<platform::FileLock>() : nullptr;
  return {};
}

platform::FsStatus MemoryFileSystem::CheckMayWrite(const std::string& name) {
  if (name == faults.refuse_writing) return Failed("Permission denied");
  return Find(Follow(name)) != nullptr ? platform::FsStatus{} : Failed(kNoSuchFile);
}

platform::FsStatus MemoryFileSystem::OpenForRewriting(const std::string& name,
                                                      std::unique_ptr<platform::RewrittenFile>& file) {
  const std::string target = Follow(name);
  const auto found = nodes_.find(target);
  if (found == nodes_.end() || found->second->kind != FileKind::kRegular) return Failed(kNoSuchFile);
  const std::size_t fails_after = faults.rewrites_to_fail > 0 ? faults.rewrite_fails_after : SIZE_MAX;
  if (faults.rewrites_to_fail > 0) --faults.rewrites_to_fail;
  file = std::make_unique<Rewriter>(*this, target, found->second, fails_after);
  return {};
}

platform::FsStatus MemoryFileSystem::Remove(const std::string& name) {
  const Node* node = Find(name);
  if (node == nullptr || node->kind == FileKind::kFolder)
    return Failed(node ? "Is a directory" : kNoSuchFile);
  nodes_.erase(name);
  return {};
}

}  // namespace qfmt::testing
