#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// Helpers for the tests of what the programs do to people's files: programs
// started as another user, under a memory limit or with a standard input of
// their own, and signalled while they run; a small file system of its own.
namespace qfmt::testing {

struct ChildOptions {
  bool as_nobody = false;          // with the user and group IDs of "nobody"
  std::uint64_t memory_limit = 0;  // RLIMIT_AS in bytes; 0 for none
  std::string standard_input = "/dev/null";
};

// A program started in `folder`, its standard output and error going to
// files of a folder of its own.
class Child {
 public:
  Child(const std::string& binary, const std::vector<std::string>& arguments,
        const std::filesystem::path& folder, const ChildOptions& options = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  [[nodiscard]] pid_t pid() const { return pid_; }
  // False while it runs.
  [[nodiscard]] bool Ended();
  // Waits for the end; the exit status, or -1 when a signal ended it.
  int Wait();
  [[nodiscard]] std::string Output() const;
  [[nodiscard]] std::string Error() const;

 private:
  std::filesystem::path streams_;
  pid_t pid_ = -1;
  int wait_status_ = -1;
};

// The user "nobody", or -1 where there is none.
[[nodiscard]] uid_t NobodyUid();

// A tmpfs of `kib` KiB mounted on a new folder, unmounted and removed at the
// end; path() is empty where it cannot be mounted (not root, no mount rights).
class SmallDisk {
 public:
  explicit SmallDisk(int kib);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace qfmt::testing
