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

// The .editorconfig file and the section in it ("[*.c]") that give the
// property `name` to the file `path`: the last such section of the nearest
// such file, by the rules of the files' globs; empty when none does. For
// messages: the values themselves come from ReadEditorConfig.
struct PropertyOrigin {
  std::string file;
  std::string section;
};
[[nodiscard]] PropertyOrigin FindOrigin(const std::string& path, std::string_view name);

// True when the EditorConfig glob `glob` (a section's name as written in the
// .editorconfig of the folder `folder`) matches the full path `path`.
[[nodiscard]] bool GlobMatches(std::string_view glob, std::string_view folder, std::string_view path);

}  // namespace qfmt::project
