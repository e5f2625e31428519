#include "tests/support/safety_support.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tests/support/file_support.h"

namespace qfmt::testing {

namespace {

std::filesystem::path NewFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qfmtsafety_XXXXXX").string();
  return ::mkdtemp(pattern.data()) != nullptr ? std::filesystem::path(pattern) : std::filesystem::path();
}

// What the child needs, made before it is forked: after the fork it makes
// only async-signal-safe calls.
struct ChildPlan {
  std::string binary, folder, out, err;
  std::vector<std::string> words;
  std::vector<char*> argv;
};

[[noreturn]] void ExecChild(ChildPlan& plan, const ChildOptions& options, uid_t nobody) {
  const int in = ::open(options.standard_input.c_str(), O_RDONLY);
  const int out = ::open(plan.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  const int err = ::open(plan.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
    ::_exit(120);
  if (options.memory_limit != 0) {
    const struct rlimit limit = {options.memory_limit, options.memory_limit};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(121);
  }
  if (options.as_nobody && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
    ::_exit(122);
  if (::chdir(plan.folder.c_str()) != 0) ::_exit(123);
  // The signals the test process blocks or ignores are not the program's.
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execv(plan.binary.c_str(), plan.argv.data());
  ::_exit(124);
}

}  // namespace

uid_t NobodyUid() {
  const struct passwd* nobody = ::getpwnam("nobody");
  return nobody == nullptr ? static_cast<uid_t>(-1) : nobody->pw_uid;
}

Child::Child(const std::string& binary, const std::vector<std::string>& arguments,
             const std::filesystem::path& folder, const ChildOptions& options)
    : streams_(NewFolder()) {
  ChildPlan plan{binary, folder.string(), (streams_ / "out").string(), (streams_ / "err").string(), {binary},
                 {}};
  plan.words.insert(plan.words.end(), arguments.begin(), arguments.end());
  for (std::string& word : plan.words) plan.argv.push_back(word.data());
  plan.argv.push_back(nullptr);
  // The streams' folder must be open to the child when it is nobody.
  std::filesystem::permissions(streams_, std::filesystem::perms::all);
  const uid_t nobody = NobodyUid();
  pid_ = ::fork();
  if (pid_ == 0) ExecChild(plan, options, nobody);
}

Child::~Child() {
  if (pid_ > 0 && !Ended()) {
    ::kill(pid_, SIGKILL);
    (void)Wait();
  }
  std::error_code ignored;
  std::filesystem::remove_all(streams_, ignored);
}

bool Child::Ended() {
  if (wait_status_ != -1) return true;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
  wait_status_ = status;
  return true;
}

int Child::Wait() {
  while (wait_status_ == -1) {
    int status = 0;
    if (::waitpid(pid_, &status, 0) == pid_) wait_status_ = status;
  }
  return WIFEXITED(wait_status_) ? WEXITSTATUS(wait_status_) : -1;
}

std::string Child::Output() const { return ReadFile(streams_ / "out"); }
std::string Child::Error() const { return ReadFile(streams_ / "err"); }

SmallDisk::SmallDisk(int kib) : path_(NewFolder()) {
  const std::string size = "size=" + std::to_string(kib) + "k";
  if (!path_.empty() && ::mount("tmpfs", path_.c_str(), "tmpfs", 0, size.c_str()) != 0) {
    std::filesystem::remove(path_);
    path_.clear();
  }
}

SmallDisk::~SmallDisk() {
  if (path_.empty()) return;
  ::umount2(path_.c_str(), MNT_DETACH);
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace qfmt::testing
