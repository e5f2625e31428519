// qfmt: formats one C or C++ file, keeping a ".Backup" copy of it.

#include <string_view>
#include <vector>

#include "job/messages.h"
#include "job/options.h"
#include "job/run_job.h"
#include "platform/console.h"
#include "platform/file_system.h"

int main(int argc, char** argv) {
  using namespace qfmt;
  const std::vector<std::string_view> arguments(argv, argv + argc);
  const std::string command_line = job::RebuildCommandLine(arguments);
  platform::Console& console = platform::SystemConsole();
  if (!job::HasInputMarker(command_line)) return job::ShowUsage(console);

  // The backup is copied under a temporary name; a signal that ends the run
  // removes it and then ends the run as it always did.
  platform::RemoveTempFilesOnSignals(platform::SignalEnd::kAsIfUncaught);
  console.ShowRunning(job::kRunningText);
  const int status = job::RunJob(command_line, platform::SystemFileSystem(), console);
  console.HideRunning();
  return status;
}
