#include "tests/support/memory_file_system.h"

#include <cstring>
#include <limits>

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
  explicit MemoryWriter(std::shared_ptr<std::string> bytes) : bytes_(std::move(bytes)) {}
  bool Write(const char* data, std::size_t size) override {
    bytes_->append(data, size);
    return true;
  }
  bool Close() override { return true; }

 private:
  std::shared_ptr<std::string> bytes_;
};

platform::FsStatus Failed(std::string_view what) { return {std::string(what)}; }

}  // namespace

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
  return std::make_unique<MemoryWriter>(file.bytes);
}

platform::FsStatus MemoryFileSystem::Inspect(const std::string& name, bool, platform::FileInfo& info) {
  info = {};
  info.device = 1;
  if (const auto file = files_.find(name); file != files_.end()) {
    info.kind = platform::FileKind::kRegular;
    info.size = static_cast<std::int64_t>(file->second.bytes->size());
    info.inode = file->second.inode;
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

platform::FsStatus MemoryFileSystem::CreateTempFile(const std::string&, std::string_view,
                                                    std::unique_ptr<platform::TempFile>&) {
  return Failed("no temporary files in memory");
}

platform::FsStatus MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  const auto file = files_.find(from);
  if (file == files_.end()) return Failed(kNoSuchFile);
  File moved = file->second;
  files_.erase(file);
  files_[to] = moved;
  return {};
}

platform::FsStatus MemoryFileSystem::Remove(const std::string& name) {
  return files_.erase(name) != 0 || folders_.erase(name) != 0 ? platform::FsStatus{} : Failed(kNoSuchFile);
}

}  // namespace qfmt::testing
