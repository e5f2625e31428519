#include "project/settings_file.h"

#include <filesystem>

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

std::string ShownPath(const std::string& full) {
  std::error_code error;
  const std::string relative =
      std::filesystem::path(full).lexically_relative(std::filesystem::current_path(error)).generic_string();
  return error || relative.empty() || relative.starts_with("../") ? full : relative;
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
