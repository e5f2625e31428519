#include "tests/file_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace qfmt::testing {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

namespace {

class FailingAfterFirstRead final : public scanner::ByteSource {
 public:
  explicit FailingAfterFirstRead(std::unique_ptr<scanner::ByteSource> file) : file_(std::move(file)) {}
  std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    if (reads_++ > 0) return -1;
    return file_->Read(buffer, std::min<std::size_t>(size, 100));
  }

 private:
  std::unique_ptr<scanner::ByteSource> file_;
  int reads_ = 0;
};

class FaultyTempFile final : public shell::TempFile {
 public:
  FaultyTempFile(std::unique_ptr<shell::TempFile> file, bool fail_sync, bool drop_last_byte)
      : file_(std::move(file)), fail_sync_(fail_sync), drop_last_byte_(drop_last_byte) {}
  bool Write(const char* data, std::size_t size) override {
    return file_->Write(data, drop_last_byte_ && size > 0 ? size - 1 : size);
  }
  bool Close() override { return file_->Close(); }
  const std::string& name() const override { return file_->name(); }
  shell::FsStatus KeepAttributesOf(const shell::FileInfo& original) override {
    return file_->KeepAttributesOf(original);
  }
  shell::FsStatus Sync() override {
    return fail_sync_ ? shell::FsStatus{"Input/output error"} : file_->Sync();
  }

 private:
  std::unique_ptr<shell::TempFile> file_;
  bool fail_sync_;
  bool drop_last_byte_;
};

shell::FileSystem& Real() { return shell::SystemFileSystem(); }

}  // namespace

std::unique_ptr<scanner::ByteSource> FaultyFileSystem::OpenForReading(const std::string& name) {
  auto file = Real().OpenForReading(name);
  if (file == nullptr || fail_reading.count(name) == 0) return file;
  return std::make_unique<FailingAfterFirstRead>(std::move(file));
}

std::unique_ptr<shell::OutputFile> FaultyFileSystem::OpenForWriting(const std::string& name) {
  if (refuse_writing.count(name) != 0) return nullptr;
  return Real().OpenForWriting(name);
}

shell::FsStatus FaultyFileSystem::Inspect(const std::string& name, bool follow_links, shell::FileInfo& info) {
  return Real().Inspect(name, follow_links, info);
}

shell::FileSystem::CopyResult FaultyFileSystem::CopyRest(scanner::ByteSource& from, shell::OutputFile& to) {
  // A source wrapped to fail is not the platform's own, so this copies only
  // what no fault was asked for.
  return shell::SystemFileSystem().CopyRest(from, to);
}

shell::FsStatus FaultyFileSystem::ListFolder(const std::string& name,
                                             std::vector<shell::FolderEntry>& entries) {
  return Real().ListFolder(name, entries);
}

shell::FsStatus FaultyFileSystem::ReadRegularFile(const std::string& name, std::string& bytes,
                                                  shell::FileInfo& info) {
  return Real().ReadRegularFile(name, bytes, info);
}

shell::FsStatus FaultyFileSystem::ResolveLinks(const std::string& name, std::string& resolved) {
  return Real().ResolveLinks(name, resolved);
}

shell::FsStatus FaultyFileSystem::CreateTempFile(const std::string& folder, std::string_view stem,
                                                 std::unique_ptr<shell::TempFile>& file) {
  if (refuse_temp_in.count(folder) != 0) return {"Permission denied"};
  std::unique_ptr<shell::TempFile> real;
  if (shell::FsStatus status = Real().CreateTempFile(folder, stem, real); !status.ok()) return status;
  file = std::make_unique<FaultyTempFile>(std::move(real), fail_sync, drop_last_byte);
  return {};
}

shell::FsStatus FaultyFileSystem::Rename(const std::string& from, const std::string& to) {
  if (refuse_rename_to.count(to) != 0) return {"Read-only file system"};
  return Real().Rename(from, to);
}

shell::FsStatus FaultyFileSystem::Remove(const std::string& name) { return Real().Remove(name); }

}  // namespace qfmt::testing
