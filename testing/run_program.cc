#include "testing/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "testing/temp_folder.h"

namespace qfmt::testing {
namespace {

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace

// posix_spawn rather than fork: no copy of a large calling process for each
// run.
ProgramRun RunProgram(const std::string& binary, const std::vector<std::string>& arguments,
                      const std::filesystem::path& folder, std::string_view input) {
  ProgramRun run;
  // The streams go through files of a folder of their own, outside `folder`.
  const TempFolder streams;
  if (streams.path().empty()) {
    run.error = "no temporary folder for the streams";
    return run;
  }
  const std::filesystem::path in = streams / "in", out = streams / "out", err = streams / "err";
  std::ofstream(in, std::ios::binary) << input;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(binary.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    run.error = "cannot start " + binary + ": " + std::strerror(spawned);
    return run;
  }
  int wait_status = 0;
  struct rusage usage {};
  while (::wait4(pid, &wait_status, 0, &usage) < 0) {
    if (errno != EINTR) return run;
  }
  run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  run.peak_memory_kib = usage.ru_maxrss;
  run.out = ReadWhole(out);
  run.error = ReadWhole(err);
  return run;
}

}  // namespace qfmt::testing
