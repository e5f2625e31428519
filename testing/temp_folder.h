#pragma once

#include <filesystem>
#include <string_view>

namespace qfmt::testing {

// A new folder under the system's temporary folder, removed with everything in
// it at the end; an empty path when it cannot be made. Its name holds no "-"
// (the classic command line would read one as a marker).
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  [[nodiscard]] std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace qfmt::testing
