#include "job/run_job.h"

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "job/backup.h"
#include "job/format.h"
#include "job/messages.h"
#include "job/options.h"

namespace qfmt::job {

namespace {

// Locks the input and the output where they are regular files, so that a
// second run on them waits for the first and the result is that of one run
// after the other. They are locked in the order of their identities, so that
// two runs naming them the other way round do not wait for each other. A
// file that cannot be locked is used all the same, as it always was.
std::vector<std::unique_ptr<platform::FileLock>> LockRunFiles(platform::FileSystem& files,
                                                              const std::string& input,
                                                              const std::string& output) {
  std::vector<std::pair<platform::FileInfo, const std::string*>> regular;
  for (const std::string* name : {&input, &output}) {
    platform::FileInfo info;
    if (!files.Inspect(*name, true, info).ok() || info.kind != platform::FileKind::kRegular) continue;
    if (std::none_of(regular.begin(), regular.end(), [&](const auto& other) {
          return other.first.device == info.device && other.first.inode == info.inode;
        })) {
      regular.emplace_back(info, name);
    }
  }
  std::sort(regular.begin(), regular.end(), [](const auto& a, const auto& b) {
    return std::tie(a.first.device, a.first.inode) < std::tie(b.first.device, b.first.inode);
  });
  std::vector<std::unique_ptr<platform::FileLock>> locks;
  for (const auto& [info, name] : regular) {
    std::unique_ptr<platform::FileLock> lock;
    if (files.LockFile(*name, lock).ok() && lock != nullptr) locks.push_back(std::move(lock));
  }
  return locks;
}

}  // namespace

int ShowUsage(platform::Console& console) {
  console.ShowStopMessage(kUsageText, kUsageCaption);
  return kExitOk;
}

// The output file (by default the input itself) is opened, and so truncated,
// only after the backup holds the input and has been opened for reading, and
// never when it is the backup itself.
int RunJob(std::string_view command_line, platform::FileSystem& files, platform::Console& console) {
  const ParsedOptions parsed = ParseOptions(command_line);
  // The indentation message comes before the test for an input name.
  if (parsed.indent_string_malformed) console.ShowMessage(kIndentStringMessage);
  const Options& options = parsed.options;
  if (options.input_name.empty()) return ShowUsage(console);

  const std::string& output_name = options.output_name.empty() ? options.input_name : options.output_name;
  const std::string backup_name = options.input_name + std::string(kBackupSuffix);

  const auto locks = LockRunFiles(files, options.input_name, output_name);
  const Backup backup = MakeBackup(files, options.input_name, backup_name);
  if (backup.result == BackupResult::kStale) {
    console.WriteError(OpenErrorLine(backup_name, "write"));
    return kExitOpenError;
  }
  // The backup is read, and the output written, in the C library's text
  // mode; where that mode translates line ends (Windows), the reader and the
  // writer leave them to it.
  auto input = files.OpenTextForReading(backup_name);
  if (input == nullptr) {
    console.WriteError(OpenErrorLine(backup_name, "read"));
    return kExitOpenError;
  }
  // An output that is the backup would empty the text being read.
  auto output = SameFile(files, output_name, backup_name) ? nullptr : files.OpenTextForWriting(output_name);
  if (output == nullptr) {
    console.WriteError(OpenErrorLine(output_name, "write"));
    return kExitOpenError;
  }

  const FormatResult result = Format(*input, *output, backup.line_ends, options.layout);
  // Failed writes and closes of the output go unnoticed, as they always have:
  // the backup keeps the text as it was.
  input.reset();
  (void)output->Close();
  if (!result.status.ok()) {
    console.WriteError(result.status.message() + "\n");
    return kExitScanFailure;
  }
  if (result.brace_depth != 0) console.ShowMessage(BraceWarning(result.brace_depth));
  return kExitOk;
}

}  // namespace qfmt::job
