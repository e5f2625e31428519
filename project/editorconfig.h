#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qfmt::project {

// The properties that the .editorconfig files of a file's folder and the
// folders above it give the file, as the EditorConfig library reads them:
// sections, globs, precedence and "root = true" by its rules.
struct EditorConfig {
  std::vector<std::pair<std::string, std::string>> properties;
  std::string error;  // why the files could not be read; empty when they could

  // The value of a property; empty when no file gives it or a file unsets it.
  [[nodiscard]] std::string_view Find(std::string_view name) const;
};

// The EditorConfig properties of the file `path`, which need not exist.
[[nodiscard]] EditorConfig ReadEditorConfig(const std::string& path);

}  // namespace qfmt::project
