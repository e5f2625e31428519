#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"
#include "tools/recording_console.h"
#include "tools/run_program.h"
#include "tools/temp_folder.h"

// Helpers for tests that work with files: temporary folders, running an
// executable, and platform services that fail where told to.
namespace qfmt::testing {

namespace fs = std::filesystem;

[[nodiscard]] std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, std::string_view bytes);

// A temporary folder, running an executable, and a console that keeps what
// the program shows: shared with the tools.
using tools::ProgramRun;
using tools::RecordingConsole;
using tools::RunProgram;
using tools::TempFolder;

// Forwards to the real file system, except where told to fail.
class FaultyFileSystem final : public platform::FileSystem {
 public:
  std::set<std::string> refuse_writing;    // names that cannot be opened for writing, nor renamed over
  std::set<std::string> fail_reading;      // names whose reads fail after the first block
  std::set<std::string> refuse_temp_in;    // folders that allow no temporary file
  bool fail_sync = false;                  // temporary files cannot be synced
  bool drop_last_byte = false;             // temporary files lose their last byte
  std::set<std::string> refuse_rename_to;  // names that cannot be renamed over, nor exchanged

  std::unique_ptr<platform::ByteSource> OpenForReading(const std::string& name) override;
  std::unique_ptr<platform::OutputFile> OpenForWriting(const std::string& name) override;
  CopyResult CopyRest(platform::ByteSource& from, platform::OutputFile& to) override;
  platform::FsStatus Inspect(const std::string& name, bool follow_links, platform::FileInfo& info) override;
  platform::FsStatus ListFolder(const std::string& name,
                                std::vector<platform::FolderEntry>& entries) override;
  platform::FsStatus ReadRegularFile(const std::string& name, std::string& bytes,
                                     platform::FileInfo& info) override;
  platform::FsStatus ResolveLinks(const std::string& name, std::string& resolved) override;
  platform::FsStatus CreateTempFile(const std::string& folder, std::string_view stem,
                                    std::unique_ptr<platform::TempFile>& file) override;
  platform::FsStatus Rename(const std::string& from, const std::string& to) override;
  platform::FsStatus Exchange(const std::string& a, const std::string& b) override;
  platform::FsStatus Remove(const std::string& name) override;
  platform::FsStatus LockFile(const std::string& name, std::unique_ptr<platform::FileLock>& lock) override;
  platform::FsStatus CheckMayWrite(const std::string& name) override;
  platform::FsStatus OpenForRewriting(const std::string& name,
                                      std::unique_ptr<platform::RewrittenFile>& file) override;
};

}  // namespace qfmt::testing
