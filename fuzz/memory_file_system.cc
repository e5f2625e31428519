#include "fuzz/memory_file_system.h"

#include <cstring>
#include <limits>

namespace qfmt::fuzz {
namespace {

class MemoryReader final : public scanner::ByteSource {
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

class MemoryWriter final : public shell::OutputFile {
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

}  // namespace

void MemoryFileSystem::AddFile(const std::string& name, const std::string& bytes) {
  files_[name] = std::make_shared<std::string>(bytes);
}

std::map<std::string, std::string> MemoryFileSystem::Files() const {
  std::map<std::string, std::string> files;
  for (const auto& [name, bytes] : files_) files[name] = *bytes;
  return files;
}

std::unique_ptr<scanner::ByteSource> MemoryFileSystem::OpenForReading(const std::string& name) {
  const auto file = files_.find(name);
  if (file == files_.end()) return nullptr;
  const std::size_t readable = name == failing_reads ? fail_after : std::numeric_limits<std::size_t>::max();
  return std::make_unique<MemoryReader>(file->second, readable);
}

std::unique_ptr<shell::OutputFile> MemoryFileSystem::OpenForWriting(const std::string& name) {
  if (name.empty() || name == refuse_writing || folders_.count(name) != 0) return nullptr;
  const std::size_t slash = name.rfind('/');
  if (slash != std::string::npos &&
      (slash + 1 == name.size() || folders_.count(name.substr(0, slash)) == 0)) {
    return nullptr;
  }
  auto& file = files_[name];
  if (file == nullptr) {
    file = std::make_shared<std::string>();
  } else {
    file->clear();
  }
  return std::make_unique<MemoryWriter>(file);
}

}  // namespace qfmt::fuzz
