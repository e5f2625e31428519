#include "job/backup.h"

#include <vector>

namespace qfmt::job {

namespace {
// True when anything (file, folder, link) stands under the name.
bool Exists(platform::FileSystem& files, const std::string& name) {
  platform::FileInfo info;
  return files.Inspect(name, false, info).ok();
}
}  // namespace

bool SameFile(platform::FileSystem& files, const std::string& a, const std::string& b) {
  platform::FileInfo first;
  platform::FileInfo second;
  return files.Inspect(a, true, first).ok() && files.Inspect(b, true, second).ok() &&
         first.device == second.device && first.inode == second.inode;
}

Backup MakeBackup(platform::FileSystem& files, const std::string& source, const std::string& destination) {
  Backup backup;
  auto input = files.OpenForReading(source);
  const bool source_exists = input != nullptr || Exists(files, source);
  // An input that stands but cannot be read is never copied; the backup
  // that may stand under the name is left as it is.
  if (input == nullptr && source_exists) {
    backup.result = BackupResult::kStale;
    return backup;
  }

  // A destination that is the source under another name (a link) would be
  // emptied by its opening, and the source with it.
  if (source_exists && SameFile(files, source, destination)) {
    backup.result = BackupResult::kStale;
    return backup;
  }

  auto output = files.OpenForWriting(destination);
  if (output == nullptr) {
    backup.result =
        source_exists && Exists(files, destination) ? BackupResult::kStale : BackupResult::kNotWritten;
    return backup;
  }

  bool copied = true;
  if (input != nullptr) {
    // Read until the line ends are known, then let the kernel copy the rest
    // where it can.
    layout::LineEndDetector detector;
    std::vector<char> block(platform::kBlockSize);
    bool kernel_copy_tried = false;
    for (;;) {
      if (detector.decided() && !kernel_copy_tried) {
        kernel_copy_tried = true;
        const auto result = files.CopyRest(*input, *output);
        if (result == platform::FileSystem::CopyResult::kCopied) break;
        if (result == platform::FileSystem::CopyResult::kFailed) {
          copied = false;
          break;
        }
      }
      const std::ptrdiff_t n = input->Read(block.data(), block.size());
      if (n <= 0) {
        copied = n == 0;
        break;
      }
      detector.Feed(std::string_view(block.data(), static_cast<std::size_t>(n)));
      if (!output->Write(block.data(), static_cast<std::size_t>(n))) {
        copied = false;
        break;
      }
    }
    backup.line_ends = detector.line_ends();
  }
  if (!output->Close()) copied = false;
  if (!copied) backup.result = BackupResult::kStale;
  return backup;
}

}  // namespace qfmt::job
