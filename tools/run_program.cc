#include "tools/run_program.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace qfmt::tools {

ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& directory) {
  ProgramOutcome outcome;
  int error_pipe[2];
  if (::pipe(error_pipe) != 0) return outcome;
  // Built before the fork: the child only calls what is safe there.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(error_pipe[0]);
    if (::dup2(error_pipe[1], STDERR_FILENO) < 0 || ::chdir(directory.c_str()) != 0) ::_exit(127);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(error_pipe[1]);
  if (pid < 0) {
    ::close(error_pipe[0]);
    return outcome;
  }
  // Read while it runs, so that a full pipe never blocks it.
  char block[4096];
  for (;;) {
    const ssize_t n = ::read(error_pipe[0], block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    outcome.error.append(block, static_cast<std::size_t>(n));
  }
  ::close(error_pipe[0]);
  int wait_status = 0;
  struct rusage usage {};
  while (::wait4(pid, &wait_status, 0, &usage) < 0) {
    if (errno != EINTR) return outcome;
  }
  if (WIFEXITED(wait_status)) outcome.status = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) outcome.status = 128 + WTERMSIG(wait_status);
  outcome.peak_memory_kib = usage.ru_maxrss;
  return outcome;
}

}  // namespace qfmt::tools
