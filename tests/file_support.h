#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "shell/platform.h"

// Helpers for tests that work with files: temporary folders, running an
// executable, and platform services that fail where told to.
namespace qfmt::testing {

namespace fs = std::filesystem;

[[nodiscard]] std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, std::string_view bytes);

// A new folder under the system's temporary folder, removed with everything
// in it at the end of the test. Its name holds no "-" (the classic command
// line would read one as a marker).
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  [[nodiscard]] const fs::path& path() const { return path_; }
  [[nodiscard]] fs::path operator/(std::string_view name) const { return path_ / name; }

 private:
  fs::path path_;
};

struct ProgramRun {
  int status = -1;    // the exit status; -1 when it did not exit normally
  std::string out;    // standard output
  std::string error;  // standard error
};

// Runs `binary` with `arguments` in `folder`, `input` on standard input.
[[nodiscard]] ProgramRun RunProgram(const std::string& binary, const std::vector<std::string>& arguments,
                                    const fs::path& folder, std::string_view input = {});

// Forwards to the real file system, except where told to fail.
class FaultyFileSystem final : public shell::FileSystem {
 public:
  std::set<std::string> refuse_writing;    // names that cannot be opened for writing
  std::set<std::string> fail_reading;      // names whose reads fail after the first block
  std::set<std::string> refuse_temp_in;    // folders that allow no temporary file
  bool fail_sync = false;                  // temporary files cannot be synced
  bool drop_last_byte = false;             // temporary files lose their last byte
  std::set<std::string> refuse_rename_to;  // names that cannot be renamed over

  std::unique_ptr<scanner::ByteSource> OpenForReading(const std::string& name) override;
  std::unique_ptr<shell::OutputFile> OpenForWriting(const std::string& name) override;
  bool Exists(const std::string& name) override;
  CopyResult CopyRest(scanner::ByteSource& from, shell::OutputFile& to) override;
  shell::FsStatus Inspect(const std::string& name, bool follow_links, shell::FileInfo& info) override;
  shell::FsStatus ListFolder(const std::string& name, std::vector<shell::FolderEntry>& entries) override;
  shell::FsStatus ReadRegularFile(const std::string& name, std::string& bytes,
                                  shell::FileInfo& info) override;
  shell::FsStatus ResolveLinks(const std::string& name, std::string& resolved) override;
  shell::FsStatus CreateTempFile(const std::string& folder, std::string_view stem,
                                 std::unique_ptr<shell::TempFile>& file) override;
  shell::FsStatus Rename(const std::string& from, const std::string& to) override;
  shell::FsStatus Remove(const std::string& name) override;
};

// Keeps what the program shows; message boxes end in "|".
class RecordingConsole final : public shell::Console {
 public:
  std::string input;   // what standard input holds
  std::string shown;   // standard error
  std::string output;  // standard output

  shell::FsStatus ReadInput(std::string& bytes) override {
    bytes = input;
    return {};
  }
  bool WriteOutput(std::string_view text) override {
    output += text;
    return true;
  }
  void ShowMessage(std::string_view text) override { shown += std::string(text) + "|"; }
  void WriteError(std::string_view text) override { shown += text; }
  void ShowRunning(std::string_view) override {}
  void HideRunning() override {}
};

}  // namespace qfmt::testing
