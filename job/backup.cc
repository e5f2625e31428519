#include "job/backup.h"

#include <vector>

namespace qfmt::job {

namespace {

// True when anything (file, folder, link) stands under the name.
bool Exists(platform::FileSystem& files, const platform::Place& place) {
  platform::FileInfo info;
  return files.Inspect(place, false, info).ok();
}

// Copies the rest of `input` into `output`: reads until the line ends are
// known, then lets the kernel copy the rest where it can. False when a read
// or a write failed.
bool CopyBytes(platform::FileSystem& files, platform::ByteSource& input, platform::OutputFile& output,
               layout::LineEnds& line_ends) {
  layout::LineEndDetector detector;
  std::vector<char> block(platform::kBlockSize);
  bool kernel_copy_tried = false;
  bool copied = true;
  for (;;) {
    if (detector.decided() && !kernel_copy_tried) {
      kernel_copy_tried = true;
      const auto result = files.CopyRest(input, output);
      if (result == platform::FileSystem::CopyResult::kCopied) break;
      if (result == platform::FileSystem::CopyResult::kFailed) {
        copied = false;
        break;
      }
    }
    const std::ptrdiff_t n = input.Read(block.data(), block.size());
    if (n <= 0) {
      copied = n == 0;
      break;
    }
    detector.Feed(std::string_view(block.data(), static_cast<std::size_t>(n)));
    if (!output.Write(block.data(), static_cast<std::size_t>(n))) {
      copied = false;
      break;
    }
  }
  line_ends = detector.line_ends();
  return copied;
}

// Gives the copy the input's permission bits, owner, group and extended
// attributes (a private file gets a private backup), or, for the copy of no
// file, those of a new file; then syncs and closes it. The owner may write
// it: a backup of a read-only input that could not be replaced would stop
// every later run.
bool FinishCopy(platform::TempFile& copy, const platform::Place& source,
                const platform::FileInfo* source_info) {
  platform::FileInfo writable;
  if (source_info != nullptr) {
    writable = *source_info;
    writable.permissions |= 0200;
  }
  const bool attributes = source_info != nullptr ? copy.KeepAttributesOf(writable).ok() &&
                                                       copy.CopyExtendedAttributesOf(source).ok()
                                                 : copy.GiveNewFilePermissions().ok();
  const bool synced = attributes && copy.Sync().ok();
  return copy.Close() && synced;
}

}  // namespace

bool SameFile(platform::FileSystem& files, const platform::Place& a, const platform::Place& b) {
  platform::FileInfo first;
  platform::FileInfo second;
  return files.Inspect(a, true, first).ok() && files.Inspect(b, true, second).ok() &&
         first.device == second.device && first.inode == second.inode;
}

// The copy is made under a temporary name beside the backup and renamed over
// it only when complete and synced: a copy that fails leaves the earlier
// backup as it was, and the rename never writes through a link.
Backup MakeBackup(platform::FileSystem& files, const platform::Place& source,
                  const platform::Place& destination) {
  Backup backup;
  auto input = files.OpenForReading(source);
  const bool source_exists = input != nullptr || Exists(files, source);
  platform::FileInfo source_info;
  if (input != nullptr && !files.Inspect(source, true, source_info).ok()) input.reset();
  platform::FileInfo existing;
  const bool destination_exists = files.Inspect(destination, false, existing).ok();
  // Where the backup cannot be written: the run formats an older backup
  // only while there is no input, so nothing can be lost.
  const auto refused = [&] {
    backup.result = source_exists && destination_exists ? BackupResult::kStale : BackupResult::kNotWritten;
    return backup;
  };
  // An input that stands but cannot be read is never copied; a backup name
  // that is a link could lead anywhere (anyone who may make a file in the
  // folder could aim it at a file of their choice), and one that reaches the
  // source itself would lose it: what may stand under the name is left as it is.
  if ((input == nullptr && source_exists) ||
      (destination_exists && existing.kind == platform::FileKind::kLink) ||
      (source_exists && SameFile(files, source, destination))) {
    backup.result = BackupResult::kStale;
    return backup;
  }
  // An older backup that could not be opened for writing is not replaced.
  if (destination_exists &&
      (existing.kind == platform::FileKind::kFolder || !files.CheckMayWrite(destination).ok()))
    return refused();

  std::unique_ptr<platform::TempFile> temp;
  if (!files.CreateTempFileBeside(destination, temp).ok()) return refused();
  platform::TempFileGuard copy(files, std::move(temp));
  const bool copied = input == nullptr || CopyBytes(files, *input, copy.file(), backup.line_ends);
  if (!FinishCopy(copy.file(), source, input != nullptr ? &source_info : nullptr) || !copied) {
    backup.result = BackupResult::kStale;
    return backup;
  }
  if (!files.Rename(copy.place(), destination).ok()) return refused();
  copy.Release();
  return backup;
}

}  // namespace qfmt::job
