#include "project/settings_file.h"

namespace qfmt::project {
namespace {

std::string Describe(const platform::FsStatus& status) {
  return status.error == platform::kTooLarge ? "larger than 1 MiB, the limit for settings files"
                                             : status.error;
}

}  // namespace

// The file is inspected before it is opened, so that a FIFO or a device is
// never opened at all; the read checks again what it opened.
std::string SettingsFileProblem(platform::FileSystem& files, const platform::Place& place,
                                bool follow_links) {
  platform::FileInfo info;
  if (const platform::FsStatus status = files.Inspect(place, follow_links, info); !status.ok())
    return status.missing ? "" : status.error;
  if (info.kind != platform::FileKind::kRegular) return std::string(platform::kNotRegularFile);
  if (info.size > static_cast<std::int64_t>(kMaxSettingsFileSize))
    return Describe({std::string(platform::kTooLarge)});
  return {};
}

SettingsFile ReadSettingsFile(platform::FileSystem& files, const std::string& path, std::string& bytes,
                              std::string& problem) {
  bytes.clear();
  problem = SettingsFileProblem(files, path, true);
  if (!problem.empty()) return SettingsFile::kUnreadable;
  platform::FileInfo info;
  const platform::FsStatus status = files.ReadRegularFile(path, kMaxSettingsFileSize, bytes, info);
  if (status.ok()) return SettingsFile::kRead;
  if (status.missing) return SettingsFile::kAbsent;
  problem = Describe(status);
  return SettingsFile::kUnreadable;
}

}  // namespace qfmt::project
