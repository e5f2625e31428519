#include "tree/safe_write.h"

#include <memory>
#include <utility>

#include "job/backup.h"
#include "job/messages.h"

namespace qfmt::tree {
namespace {

// Removes the temporary file unless it has been renamed into place. It is
// closed first, as some platforms cannot remove an open file.
class TempFileGuard {
 public:
  TempFileGuard(platform::FileSystem& files, std::unique_ptr<platform::TempFile> file)
      : files_(files), file_(std::move(file)), name_(file_->name()) {}
  ~TempFileGuard() {
    file_.reset();
    if (armed_) (void)files_.Remove(name_);
  }
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;

  platform::TempFile& file() { return *file_; }
  const std::string& name() const { return name_; }
  void Release() { armed_ = false; }

 private:
  platform::FileSystem& files_;
  std::unique_ptr<platform::TempFile> file_;
  std::string name_;
  bool armed_ = true;
};

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

platform::FsStatus Error(std::string text) { return {std::move(text)}; }

bool SameFileUnchanged(const platform::FileInfo& a, const platform::FileInfo& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size && a.modified_ns == b.modified_ns;
}

// Fills the temporary file and makes sure that it holds exactly `text`.
platform::FsStatus FillTempFile(platform::FileSystem& files, TempFileGuard& temp,
                                const platform::FileInfo& as_read, std::string_view text,
                                std::string& scratch) {
  platform::TempFile& file = temp.file();
  if (!file.Write(text.data(), text.size())) return Error("could not write " + temp.name());
  if (platform::FsStatus status = file.KeepAttributesOf(as_read); !status.ok()) {
    return Error("could not give " + temp.name() + " the permission bits: " + status.error);
  }
  if (platform::FsStatus status = file.Sync(); !status.ok()) {
    return Error("could not sync " + temp.name() + ": " + status.error);
  }
  if (!file.Close()) return Error("could not write " + temp.name());
  platform::FileInfo written;
  if (platform::FsStatus status = files.ReadRegularFile(temp.name(), scratch, written); !status.ok()) {
    return Error("could not read back " + temp.name() + ": " + status.error);
  }
  if (scratch != text) return Error(temp.name() + " did not read back as written");
  return {};
}

}  // namespace

platform::FsStatus ReplaceFile(platform::FileSystem& files, const std::string& path,
                               const platform::FileInfo& as_read, std::string_view text, bool keep_backup,
                               std::string& scratch) {
  platform::FileInfo info;
  if (platform::FsStatus status = files.Inspect(path, false, info); !status.ok()) {
    return Error("cannot inspect: " + status.error);
  }
  std::string target = path;
  if (info.kind == platform::FileKind::kLink) {
    if (platform::FsStatus status = files.ResolveLinks(path, target); !status.ok()) {
      return Error("cannot resolve the link: " + status.error);
    }
  }
  platform::FileInfo now;
  if (!files.Inspect(target, true, now).ok() || !SameFileUnchanged(now, as_read)) {
    return Error("changed while it was being formatted; left as it is");
  }
  if (keep_backup) {
    const std::string backup_name = path + std::string(job::kBackupSuffix);
    if (job::MakeBackup(files, path, backup_name).result != job::BackupResult::kCopied) {
      return Error("could not write the backup " + backup_name + "; left as it is");
    }
  }

  const std::string folder = FolderOf(target);
  // ".NAME.qfmt-" and six random characters: hidden, and no C or C++ name.
  // NAME is cut short so that the whole stays within a file name's 255 bytes.
  std::string stem = ".";
  stem += target.substr(target.rfind('/') + 1, 200);  // npos + 1 is 0: from the start
  stem += ".qfmt-";
  std::unique_ptr<platform::TempFile> file;
  if (platform::FsStatus status = files.CreateTempFile(folder, stem, file); !status.ok()) {
    return Error("cannot create a temporary file in " + folder + ": " + status.error);
  }
  TempFileGuard temp(files, std::move(file));
  if (platform::FsStatus status = FillTempFile(files, temp, as_read, text, scratch); !status.ok())
    return status;
  if (platform::FsStatus status = files.Rename(temp.name(), target); !status.ok()) {
    return Error("could not rename " + temp.name() + " to " + target + ": " + status.error);
  }
  temp.Release();
  return {};
}

}  // namespace qfmt::tree
