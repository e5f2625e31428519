#include "testing/temp_folder.h"

#include <stdlib.h>

#include <string>

namespace qfmt::testing {

TempFolder::TempFolder() {
  std::error_code error;
  std::string pattern = (std::filesystem::temp_directory_path(error) / "qfmttmp_XXXXXX").string();
  if (!error && ::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace qfmt::testing
