#include "tests/support/test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "format/settle.h"
#include "job/format.h"
#include "testing/token_dump.h"
#include "tree/file_walk.h"

namespace qfmt::testing {

std::string FormatToString(std::string_view input, const GoldenOptions& options) {
  std::string output;
  const layout::LayoutOptions layout_options = options.ToLayout();
  const job::FormatResult result = job::FormatText(input, layout_options, output);
  EXPECT_EQ(result.status.message(), "") << "input: " << Escaped(input);
  return output;
}

std::string Escaped(std::string_view bytes) { return testing::EscapedBytes(bytes); }

std::string Repeat(std::string_view unit, std::size_t count) {
  std::string out;
  out.reserve(unit.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += unit;
  return out;
}

void ExpectFormats(std::string_view input, std::string_view expected, const GoldenOptions& options,
                   std::source_location where) {
  const std::string actual = FormatToString(input, options);
  if (actual == expected) return;
  // The line of the first byte that differs.
  std::size_t start = 0, line = 1;
  for (std::size_t i = 0; i < actual.size() && i < expected.size() && actual[i] == expected[i]; ++i) {
    if (actual[i] == '\n') start = i + 1, ++line;
  }
  const auto at = [start](std::string_view text) {
    return Escaped(text.substr(std::min(start, text.size())).substr(0, text.find('\n', start) - start));
  };
  ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
      << "output differs at line " << line << "\n  expected: " << at(expected)
      << "\n  actual:   " << at(actual) << "\n  whole expected: " << Escaped(expected)
      << "\n  whole actual:   " << Escaped(actual);
}

std::string Tokens(std::string_view input) {
  testing::TokenRecorder recorder;
  std::string output;
  const layout::LayoutOptions options;
  (void)job::FormatText(input, options, output, scanner::TokenLimit::kClassic, &recorder);
  return recorder.tokens();
}
Contents FilesIn(const fs::path& folder) {
  Contents contents;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().lexically_relative(folder).string();
    if (entry.is_symlink()) {
      contents[name] = "<link to " + fs::read_symlink(entry.path()).string() + ">";
    } else {
      contents[name] = entry.is_directory() ? "<folder>"
                       : entry.is_fifo()    ? "<fifo>"
                                            : ReadFile(entry.path());
    }
  }
  return contents;
}

namespace {

// Hard links last, so that what they name stands.
void MakeContents(const fs::path& folder, const Contents& contents) {
  constexpr std::string_view kHardLink = "<hard link to ";
  for (const auto& [name, value] : contents) {
    const fs::path path = folder / name;
    fs::create_directories(path.parent_path());
    if (value.starts_with(kHardLink)) continue;
    if (value == "<folder>") {
      fs::create_directories(path);
    } else if (!LinkTarget(value).empty()) {
      fs::create_symlink(LinkTarget(value), path);
    } else if (value == "<fifo>") {
      ::mkfifo(path.c_str(), 0644);
    } else {
      WriteFile(path, value);
    }
  }
  for (const auto& [name, value] : contents) {
    if (value.starts_with(kHardLink))
      fs::create_hard_link(folder / value.substr(kHardLink.size(), value.size() - kHardLink.size() - 1),
                           folder / name);
  }
}

}  // namespace

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

Contents Changes(const Contents& before, const Contents& after) {
  Contents changed;
  for (const auto& [name, value] : after) {
    const auto old = before.find(name);
    if (old == before.end() || old->second != value) changed[name] = value;
  }
  for (const auto& [name, value] : before) {
    if (after.count(name) == 0) changed[name] = "<gone>";
  }
  return changed;
}

ProgramCase Case(std::string name, Contents files, std::vector<std::string> arguments, int status,
                 std::string error, Contents changed, std::string input, std::string out) {
  return {std::move(name),  std::move(files),   std::move(arguments), status,
          std::move(error), std::move(changed), std::move(input),     std::move(out)};
}

void PrintTo(const ProgramCase& c, std::ostream* out) { *out << c.name; }

void ExpectRunLeaves(const std::string& binary, const ProgramCase& c) {
  const TempFolder folder;
  MakeContents(folder.path(), c.files);
  const Contents before = FilesIn(folder.path());
  const ProgramRun run = RunProgram(binary, c.arguments, folder.path(), c.input);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.out, c.out);
  // The seconds of a summary line differ from run to run.
  std::string error = run.error;
  const std::size_t seconds = error.rfind(" in ") + 4;
  if (seconds >= 4 && error.ends_with(" s\n")) error.replace(seconds, error.size() - seconds - 3, "#.##");
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(Changes(before, FilesIn(folder.path())), c.changed);
}

ProgramRun RunTreeProgram(const std::vector<std::string>& arguments, const fs::path& folder,
                          std::string_view input) {
  return RunProgram(QFMT_TREE_BINARY, arguments, folder, input);
}

std::string Settled(std::string_view text, const layout::LayoutOptions& options) {
  format::ClassicPass pass(options, scanner::TokenLimit::kLifted);
  format::Settler settler;
  EXPECT_EQ(settler.Settle(text, pass).status.message(), "");
  return std::string(settler.text());
}

std::vector<fs::path> SystemHeaders(std::size_t step) {
  std::vector<fs::path> all;
  std::error_code error;
  for (fs::recursive_directory_iterator it("/usr/include", error), end; !error && it != end;
       it.increment(error)) {
    if (!it->is_symlink() && it->is_regular_file() && tree::IsSourceName(it->path().filename().string()))
      all.push_back(it->path());
  }
  std::sort(all.begin(), all.end());
  std::vector<fs::path> chosen;
  for (std::size_t i = 0; i < all.size(); i += step) chosen.push_back(all[i]);
  return chosen;
}

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

bool Child::WaitsForALock() {
  // /proc/locks shows a waiting lock as "N: -> FLOCK ADVISORY WRITE PID ...".
  const std::string waiting = " " + std::to_string(pid_) + " ";
  const auto waits = [&] {
    const std::string locks = ReadFile("/proc/locks");
    for (std::size_t at = locks.find("->"); at != std::string::npos; at = locks.find("->", at + 2))
      if (locks.substr(at, locks.find('\n', at) - at).find(waiting) != std::string::npos) return true;
    return false;
  };
  while (!Ended()) {
    if (waits()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
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
