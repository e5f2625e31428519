#include "job/run_job.h"

#include <string>

#include "job/backup.h"
#include "job/format.h"
#include "job/messages.h"
#include "job/options.h"

namespace qfmt::job {

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
  if (result.failure != scanner::ScanFailure::kNone) {
    console.WriteError(std::string(scanner::FailureMessage(result.failure)) + "\n");
    return kExitScanFailure;
  }
  if (result.brace_depth != 0) console.ShowMessage(BraceWarning(result.brace_depth));
  return kExitOk;
}

}  // namespace qfmt::job
