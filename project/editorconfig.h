#pragma once

#include <map>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/status.h"

namespace qfmt::project {

// The .editorconfig file and the section in it ("[*.c]") that give a
// property to a file; empty when none does.
struct PropertyOrigin {
  std::string file;
  std::string section;
};

// The properties that the .editorconfig files of a file's folder and the
// folders above it give the file, as the EditorConfig library reads them:
// sections, globs, precedence and "root = true" by its rules.
struct EditorConfig {
  std::vector<std::pair<std::string, std::string>> properties;
  std::vector<std::pair<std::string, PropertyOrigin>> origins;  // of the properties that qfmt-tree uses
  platform::Status status;                                      // ok, or why the files could not be read

  // The value of a property; empty when no file gives it or a file unsets it.
  [[nodiscard]] std::string_view Find(std::string_view name) const;
  // Where a property that qfmt-tree uses comes from; empty when from nowhere.
  [[nodiscard]] PropertyOrigin OriginOf(std::string_view name) const;
};

// Why settings are not resolved in memory: the EditorConfig library takes a
// file's name and opens the .editorconfig files with its own calls, and has
// no interface through which to give it their text. So they are read through
// the platform's FileSystem and copied into real files that the library
// parses; settings resolution is tested over real files in temporary folders.
// (libgit2, in git_repository.h, likewise opens a repository's files itself.)
//
// The .editorconfig files of one run, each read once and only as a settings
// file may be (see settings_file.h). The EditorConfig library reads private
// copies of them (see note [private copies]), which give only `properties`.
// Safe for threads.
class EditorConfigFiles {
 public:
  EditorConfigFiles(platform::FileSystem& files, std::span<const std::string_view> properties)
      : files_(files), properties_(properties) {}
  // Removes the copies.
  ~EditorConfigFiles();
  EditorConfigFiles(const EditorConfigFiles&) = delete;
  EditorConfigFiles& operator=(const EditorConfigFiles&) = delete;

  // The properties of the file `path`, which need not exist, and where they
  // come from. A file that governs it and cannot be read or parsed is its
  // error.
  [[nodiscard]] EditorConfig Read(const std::string& path);

 private:
  // What a folder holds: whether it has an .editorconfig (copied, or standing
  // as a marker when it cannot be read).
  struct Source {
    bool present = false;
  };
  // The copy of an .editorconfig, and for each of its lines the file's line.
  struct Copy {
    std::string text;
    std::vector<std::size_t> lines;
  };
  // Whether `folder` holds an .editorconfig, read and copied the first time;
  // an error when no copy can be made.
  [[nodiscard]] platform::Status Ensure(const std::string& folder, bool& present);
  [[nodiscard]] platform::Status WriteCopy(const std::string& folder, std::string_view bytes);
  // The lines of the .editorconfig `file` that bear on `properties_`, with
  // their origins; see notes [what the copies hold] and [origins].
  [[nodiscard]] Copy Reduced(std::string_view text, const std::string& file);
  // Moves the companions of `config`'s properties to its origins.
  void SeparateOrigins(EditorConfig& config) const;
  [[nodiscard]] platform::Status MakeCopyFolders(const std::string& folder);
  // The private folder of `folder`, and the name of the copies and markers.
  std::string CopyOf(const std::string& folder) const;
  std::string CopyName() const { return ".qfmt-" + token_; }
  std::string MarkerName() const { return "qfmt_unreadable_" + token_; }
  std::string OriginPrefix() const { return "qfmt_from_" + token_ + "_"; }
  // The library's reading of the copies for a file (a full path); its status.
  int Parse(const std::string& full, EditorConfig& config) const;
  // Stands a marker for the folder's file in place of its copy.
  [[nodiscard]] platform::Status Fail(const std::string& folder, std::string problem);

  platform::FileSystem& files_;
  std::span<const std::string_view> properties_;
  std::mutex mutex_;
  std::string token_;                      // random, so that nobody can plant a file under the copies' name
  std::string root_;                       // the private folder; empty until the first copy
  std::map<std::string, Source> sources_;  // by the folder's full path
  std::vector<std::string> problems_;      // of the sources that cannot be read, by the marker's value
  std::vector<PropertyOrigin> origins_;    // by the companions' values
  std::vector<std::string> made_files_, made_folders_;
};

}  // namespace qfmt::project
