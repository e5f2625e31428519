#pragma once

#include <cstddef>
#include <string>

#include "platform/file_system.h"
#include "platform/status.h"

// The files that qfmt-tree reads for settings and ignore rules are data that
// anyone who may write a folder above a tree can plant there (/tmp/.editorconfig):
// only a regular file of at most 1 MiB is read, without ever waiting on a
// FIFO or a device.
namespace qfmt::project {

inline constexpr std::size_t kMaxSettingsFileSize = std::size_t{1} << 20;

// Ok when nothing stands at the place, or a regular file of at most
// kMaxSettingsFileSize; otherwise why such a file cannot be read.
[[nodiscard]] platform::Status CheckSettingsFile(platform::FileSystem& files, const platform::Place& place,
                                                 bool follow_links);

// Reads the file at `path` (through links) into `bytes`: missing() when
// there is none, otherwise why it cannot be read.
[[nodiscard]] platform::Status ReadSettingsFile(platform::FileSystem& files, const std::string& path,
                                                std::string& bytes);

}  // namespace qfmt::project
