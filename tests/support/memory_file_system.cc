#include "tests/support/memory_file_system.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace qfmt::testing {
namespace {

constexpr std::string_view kNoSuchFile = "No such file or directory";

class MemoryReader final : public platform::ByteSource {
 public:
  MemoryReader(std::shared_ptr<std::string> bytes, std::size_t fail_after)
      : bytes_(std::move(bytes)), fail_after_(fail_after) {}
  std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    if (offset_ >= fail_after_) return -1;
    std::size_t n = offset_ < bytes_->size() ? bytes_->size() - offset_ : 0;
    if (n > size) n = size;
    if (n > fail_after_ - offset_) n = fail_after_ - offset_;
    std::memcpy(buffer, bytes_->data() + offset_, n);
    offset_ += n;
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  std::shared_ptr<std::string> bytes_;
  std::size_t fail_after_;
  std::size_t offset_ = 0;
};

class MemoryWriter final : public platform::OutputFile {
 public:
  MemoryWriter(MemoryFileSystem& files, std::shared_ptr<std::string> bytes,
               std::shared_ptr<MemoryFileSystem::Node> node)
      : files_(files), bytes_(std::move(bytes)), node_(std::move(node)) {}
  bool Write(const char* data, std::size_t size) override {
    if (!files_.TakeSpace(size)) return false;
    bytes_->append(data, size);
    ++node_->changes;
    return true;
  }
  bool Close() override { return true; }

 private:
  MemoryFileSystem& files_;
  std::shared_ptr<std::string> bytes_;
  std::shared_ptr<MemoryFileSystem::Node> node_;
};

platform::FsStatus Failed(std::string_view what) { return {std::string(what)}; }

class MemoryTempFile final : public platform::TempFile {
 public:
  MemoryTempFile(MemoryFileSystem& files, std::string name, std::shared_ptr<std::string> bytes,
                 std::shared_ptr<MemoryFileSystem::Node> node)
      : files_(files),
        writer_(files, std::move(bytes), node),
        name_(std::move(name)),
        node_(std::move(node)) {}
  bool Write(const char* data, std::size_t size) override { return writer_.Write(data, size); }
  bool Close() override { return writer_.Close(); }
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
    if (original == files_.attributes_refused_from) return Failed("user.note: Operation not supported");
    return {};
  }
  platform::FsStatus Sync() override {
    if (files_.before_sync) files_.before_sync();
    return {};
  }
  void Keep() override {}

 private:
  MemoryFileSystem& files_;
  MemoryWriter writer_;
  std::string name_;
  std::shared_ptr<MemoryFileSystem::Node> node_;
};

// Writes over the bytes from the start; ending cuts them there.
class MemoryRewrittenFile final : public platform::RewrittenFile {
 public:
  MemoryRewrittenFile(MemoryFileSystem& files, std::string name, const std::shared_ptr<std::string>& bytes,
                      const std::shared_ptr<MemoryFileSystem::Node>& node, std::size_t fail_after)
      : files_(files), name_(std::move(name)), bytes_(bytes), node_(node), fail_after_(fail_after) {}
  bool Write(const char* data, std::size_t size) override {
    if (size > fail_after_ - offset_) return false;
    if (offset_ + size > bytes_->size() && !files_.TakeSpace(offset_ + size - bytes_->size())) return false;
    bytes_->replace(offset_, size, data, size);
    offset_ += size;
    ++node_->changes;
    return true;
  }
  bool Close() override { return true; }
  platform::FsStatus Inspect(platform::FileInfo& info) override { return files_.Inspect(name_, true, info); }
  platform::FsStatus EndAndSync() override {
    bytes_->resize(offset_);
    return {};
  }

 private:
  MemoryFileSystem& files_;
  std::string name_;
  std::shared_ptr<std::string> bytes_;
  std::shared_ptr<MemoryFileSystem::Node> node_;
  std::size_t fail_after_;
  std::size_t offset_ = 0;
};

}  // namespace

bool MemoryFileSystem::TakeSpace(std::size_t size) {
  if (size > space_left) {
    ++failed_writes;
    return false;
  }
  if (space_left != SIZE_MAX) space_left -= size;
  return true;
}

void MemoryFileSystem::AddFile(const std::string& name, const std::string& bytes) {
  files_[name] = {std::make_shared<std::string>(bytes), next_inode_++};
}

std::map<std::string, std::string> MemoryFileSystem::Files() const {
  std::map<std::string, std::string> files;
  for (const auto& [name, file] : files_) files[name] = *file.bytes;
  return files;
}

std::unique_ptr<platform::ByteSource> MemoryFileSystem::OpenForReading(const std::string& name) {
  const auto file = files_.find(name);
  if (file == files_.end()) return nullptr;
  const std::size_t readable = name == failing_reads ? fail_after : std::numeric_limits<std::size_t>::max();
  return std::make_unique<MemoryReader>(file->second.bytes, readable);
}

std::unique_ptr<platform::OutputFile> MemoryFileSystem::OpenForWriting(const std::string& name) {
  if (name.empty() || name == refuse_writing || folders_.count(name) != 0) return nullptr;
  const std::size_t slash = name.rfind('/');
  if (slash != std::string::npos &&
      (slash + 1 == name.size() || folders_.count(name.substr(0, slash)) == 0)) {
    return nullptr;
  }
  File& file = files_[name];
  if (file.bytes == nullptr) {
    file = {std::make_shared<std::string>(), next_inode_++};
  } else {
    file.bytes->clear();
  }
  ++file.node->changes;
  return std::make_unique<MemoryWriter>(*this, file.bytes, file.node);
}

platform::FsStatus MemoryFileSystem::Inspect(const std::string& name, bool, platform::FileInfo& info) {
  info = {};
  info.device = 1;
  if (const auto file = files_.find(name); file != files_.end()) {
    info.kind = platform::FileKind::kRegular;
    info.size = static_cast<std::int64_t>(file->second.bytes->size());
    info.inode = file->second.inode;
    const Node& node = *file->second.node;
    info.permissions = node.permissions;
    info.owner = node.owner;
    info.group = node.group;
    info.modified_ns = info.changed_ns = node.changes;
    info.links = 0;
    for (const auto& [other, other_file] : files_) info.links += other_file.inode == info.inode ? 1 : 0;
    return {};
  }
  if (const auto folder = folders_.find(name); folder != folders_.end()) {
    info.kind = platform::FileKind::kFolder;
    info.inode = folder->second;
    return {};
  }
  return Failed(kNoSuchFile);
}

platform::FsStatus MemoryFileSystem::ListFolder(const std::string& name,
                                                std::vector<platform::FolderEntry>& entries) {
  entries.clear();
  if (folders_.count(name) == 0) return Failed(kNoSuchFile);
  const std::string prefix = name + "/";
  const auto add = [&](const std::string& entry, platform::FileKind kind) {
    if (entry.starts_with(prefix) && entry.find('/', prefix.size()) == std::string::npos) {
      entries.push_back({entry.substr(prefix.size()), kind});
    }
  };
  for (const auto& [entry, file] : files_) add(entry, platform::FileKind::kRegular);
  for (const auto& [entry, inode] : folders_) add(entry, platform::FileKind::kFolder);
  return {};
}

platform::FsStatus MemoryFileSystem::ReadRegularFile(const std::string& name, std::string& bytes,
                                                     platform::FileInfo& info) {
  if (name == exhausts_memory) throw std::bad_alloc();
  if (folders_.count(name) != 0) return Failed(platform::kNotRegularFile);
  const platform::FsStatus status = Inspect(name, true, info);
  if (status.ok()) bytes = *files_.at(name).bytes;
  return status;
}

platform::FsStatus MemoryFileSystem::ResolveLinks(const std::string& name, std::string& resolved) {
  if (files_.count(name) == 0 && folders_.count(name) == 0) return Failed(kNoSuchFile);
  resolved = name;
  return {};
}

platform::FsStatus MemoryFileSystem::CreateTempFile(const std::string& folder, std::string_view stem,
                                                    std::unique_ptr<platform::TempFile>& file) {
  if (folder != "." && folders_.count(folder) == 0) return Failed(kNoSuchFile);
  const std::string name = folder + "/" + std::string(stem) + std::to_string(100000 + ++temp_files_made_);
  File& made = files_[name];
  made = {std::make_shared<std::string>(), next_inode_++};
  made.node->permissions = 0600;
  file = std::make_unique<MemoryTempFile>(*this, name, made.bytes, made.node);
  return {};
}

platform::FsStatus MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  const auto file = files_.find(from);
  if (file == files_.end()) return Failed(kNoSuchFile);
  if (to == refuse_writing || folders_.count(to) != 0) return Failed("Permission denied");
  File moved = file->second;
  files_.erase(file);
  files_[to] = moved;
  return {};
}

platform::FsStatus MemoryFileSystem::Remove(const std::string& name) {
  return files_.erase(name) != 0 || folders_.erase(name) != 0 ? platform::FsStatus{} : Failed(kNoSuchFile);
}

platform::FsStatus MemoryFileSystem::Exchange(const std::string& a, const std::string& b) {
  if (before_exchange) before_exchange();
  if (files_.count(a) == 0 || files_.count(b) == 0) return Failed(kNoSuchFile);
  if (a == refuse_writing || b == refuse_writing) return Failed("Permission denied");
  std::swap(files_.at(a), files_.at(b));
  return {};
}

platform::FsStatus MemoryFileSystem::LockFile(const std::string& name,
                                              std::unique_ptr<platform::FileLock>& lock) {
  lock = files_.count(name) != 0 ? std::make_unique<platform::FileLock>() : nullptr;
  return {};
}

platform::FsStatus MemoryFileSystem::CheckMayWrite(const std::string& name) {
  if (name == not_writable) return Failed("Permission denied");
  return files_.count(name) != 0 ? platform::FsStatus{} : Failed(kNoSuchFile);
}

platform::FsStatus MemoryFileSystem::OpenForRewriting(const std::string& name,
                                                      std::unique_ptr<platform::RewrittenFile>& file) {
  const auto found = files_.find(name);
  if (found == files_.end()) return Failed(kNoSuchFile);
  const std::size_t fails_after = rewrites_to_fail > 0 ? rewrite_fails_after : SIZE_MAX;
  if (rewrites_to_fail > 0) --rewrites_to_fail;
  file = std::make_unique<MemoryRewrittenFile>(*this, name, found->second.bytes, found->second.node,
                                               fails_after);
  return {};
}

}  // namespace qfmt::testing
