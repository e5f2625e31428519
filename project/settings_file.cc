#include "project/settings_file.h"

namespace qfmt::project {
namespace {

std::string Describe(const platform::Status& status) {
  return status.message() == platform::kTooLarge ? "larger than 1 MiB, the limit for settings files"
                                                 : status.message();
}

}  // namespace

// The file is inspected before it is opened, so that a FIFO or a device is
// never opened at all; the read checks again what it opened.
platform::Status CheckSettingsFile(platform::FileSystem& files, const platform::Place& place,
                                   bool follow_links) {
  platform::FileInfo info;
  if (const platform::Status status = files.Inspect(place, follow_links, info); !status.ok())
    return status.missing() ? platform::Status() : status;
  if (info.kind != platform::FileKind::kRegular) return std::string(platform::kNotRegularFile);
  if (info.size > static_cast<std::int64_t>(kMaxSettingsFileSize))
    return Describe({std::string(platform::kTooLarge)});
  return {};
}

platform::Status ReadSettingsFile(platform::FileSystem& files, const std::string& path, std::string& bytes) {
  bytes.clear();
  if (platform::Status checked = CheckSettingsFile(files, path, true); !checked.ok()) return checked;
  platform::FileInfo info;
  const platform::Status status = files.ReadRegularFile(path, kMaxSettingsFileSize, bytes, info);
  if (status.ok() || status.missing()) return status;
  return Describe(status);
}

}  // namespace qfmt::project
