#include "tests/support/file_support.h"

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

class FailingAfterFirstRead final : public platform::ByteSource {
 public:
  explicit FailingAfterFirstRead(std::unique_ptr<platform::ByteSource> file) : file_(std::move(file)) {}
  std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    if (reads_++ > 0) return -1;
    return file_->Read(buffer, std::min<std::size_t>(size, 100));
  }

 private:
  std::unique_ptr<platform::ByteSource> file_;
  int reads_ = 0;
};

class FaultyTempFile final : public platform::TempFile {
 public:
  FaultyTempFile(std::unique_ptr<platform::TempFile> file, bool fail_sync, bool drop_last_byte)
      : file_(std::move(file)), fail_sync_(fail_sync), drop_last_byte_(drop_last_byte) {}
  bool Write(const char* data, std::size_t size) override {
    return file_->Write(data, drop_last_byte_ && size > 0 ? size - 1 : size);
  }
  bool Close() override { return file_->Close(); }
  const std::string& name() const override { return file_->name(); }
  platform::FsStatus KeepAttributesOf(const platform::FileInfo& original) override {
    return file_->KeepAttributesOf(original);
  }
  platform::FsStatus GiveNewFilePermissions() override { return file_->GiveNewFilePermissions(); }
  platform::FsStatus CopyExtendedAttributesOf(const std::string& original) override {
    return file_->CopyExtendedAttributesOf(original);
  }
  platform::FsStatus Sync() override {
    return fail_sync_ ? platform::FsStatus{"Input/output error"} : file_->Sync();
  }
  void Keep() override { file_->Keep(); }

 private:
  std::unique_ptr<platform::TempFile> file_;
  bool fail_sync_;
  bool drop_last_byte_;
};

platform::FileSystem& Real() { return platform::SystemFileSystem(); }

}  // namespace

std::unique_ptr<platform::ByteSource> FaultyFileSystem::OpenForReading(const std::string& name) {
  auto file = Real().OpenForReading(name);
  if (file == nullptr || fail_reading.count(name) == 0) return file;
  return std::make_unique<FailingAfterFirstRead>(std::move(file));
}

std::unique_ptr<platform::OutputFile> FaultyFileSystem::OpenForWriting(const std::string& name) {
  if (refuse_writing.count(name) != 0) return nullptr;
  return Real().OpenForWriting(name);
}

platform::FsStatus FaultyFileSystem::Inspect(const std::string& name, bool follow_links,
                                             platform::FileInfo& info) {
  return Real().Inspect(name, follow_links, info);
}

platform::FileSystem::CopyResult FaultyFileSystem::CopyRest(platform::ByteSource& from,
                                                            platform::OutputFile& to) {
  // A source wrapped to fail is not the platform's own, so this copies only
  // what no fault was asked for.
  return platform::SystemFileSystem().CopyRest(from, to);
}

platform::FsStatus FaultyFileSystem::ListFolder(const std::string& name,
                                                std::vector<platform::FolderEntry>& entries) {
  return Real().ListFolder(name, entries);
}

platform::FsStatus FaultyFileSystem::ReadRegularFile(const std::string& name, std::string& bytes,
                                                     platform::FileInfo& info) {
  return Real().ReadRegularFile(name, bytes, info);
}

platform::FsStatus FaultyFileSystem::ResolveLinks(const std::string& name, std::string& resolved) {
  return Real().ResolveLinks(name, resolved);
}

platform::FsStatus FaultyFileSystem::CreateTempFile(const std::string& folder, std::string_view stem,
                                                    std::unique_ptr<platform::TempFile>& file) {
  if (refuse_temp_in.count(folder) != 0) return {"Permission denied"};
  std::unique_ptr<platform::TempFile> real;
  if (platform::FsStatus status = Real().CreateTempFile(folder, stem, real); !status.ok()) return status;
  file = std::make_unique<FaultyTempFile>(std::move(real), fail_sync, drop_last_byte);
  return {};
}

platform::FsStatus FaultyFileSystem::Rename(const std::string& from, const std::string& to) {
  if (refuse_rename_to.count(to) != 0) return {"Read-only file system"};
  if (refuse_writing.count(to) != 0) return {"Permission denied"};
  return Real().Rename(from, to);
}

platform::FsStatus FaultyFileSystem::Exchange(const std::string& a, const std::string& b) {
  if (refuse_rename_to.count(a) != 0 || refuse_rename_to.count(b) != 0) return {"Read-only file system"};
  return Real().Exchange(a, b);
}

platform::FsStatus FaultyFileSystem::Remove(const std::string& name) { return Real().Remove(name); }

platform::FsStatus FaultyFileSystem::LockFile(const std::string& name,
                                              std::unique_ptr<platform::FileLock>& lock) {
  return Real().LockFile(name, lock);
}

platform::FsStatus FaultyFileSystem::CheckMayWrite(const std::string& name) {
  return Real().CheckMayWrite(name);
}

platform::FsStatus FaultyFileSystem::OpenForRewriting(const std::string& name,
                                                      std::unique_ptr<platform::RewrittenFile>& file) {
  return Real().OpenForRewriting(name, file);
}

}  // namespace qfmt::testing
