#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "job/run_job.h"
#include "tests/support/file_support.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/safety_support.h"

// What qfmt does to people's files in hostile situations: links, private
// files, full disks, runs at once, failing writes. Each case checks which
// files there are afterwards and what they hold.
namespace qfmt::job {
namespace {

using testing::ReadFile;
using testing::WriteFile;
namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

class SafetyTest : public ::testing::Test {
 protected:
  fs::path Path(std::string_view name) const { return folder_ / name; }
  testing::ProgramRun Qfmt(const std::vector<std::string>& arguments, const fs::path& folder) const {
    return testing::RunProgram(QFMT_BINARY, arguments, folder);
  }
  testing::TempFolder folder_;
};

// Regression: a backup name that was a link led the input's text over the
// file of someone's choice (or made it), with status 0.
TEST_F(SafetyTest, BackupNameThatIsASymbolicLinkIsRefused) {
  struct Case {
    const char* input;
    const char* link_to;
  };
  for (const Case c : {Case{"a.c", "victim.txt"}, Case{"a.c", "nowhere.txt"}, Case{"gone.c", "victim.txt"}}) {
    const testing::TempFolder folder;
    WriteFile(folder / "a.c", "int  x;\n");
    WriteFile(folder / "victim.txt", "precious\n");
    const std::string backup = std::string(c.input) + ".Backup";
    fs::create_symlink(c.link_to, folder / backup);
    const Files before = testing::FilesIn(folder.path());
    const testing::ProgramRun run = Qfmt({"-i" + std::string(c.input)}, folder.path());
    EXPECT_EQ(run.status, 2) << c.input << " " << c.link_to;
    EXPECT_EQ(run.error, "qmft: error: could not open " + backup + " for write\n");
    EXPECT_EQ(testing::FilesIn(folder.path()), before) << c.input << " " << c.link_to;
  }
}

// The backup takes the name's place: another name of the file that stood
// there keeps its text.
TEST_F(SafetyTest, BackupNameThatIsAHardLinkIsReplacedNotWrittenThrough) {
  WriteFile(Path("a.c"), "int  x;\n");
  WriteFile(Path("victim.txt"), "precious\n");
  fs::create_hard_link(Path("victim.txt"), Path("a.c.Backup"));
  EXPECT_EQ(Qfmt({"-ia.c"}, folder_.path()).status, 0);
  EXPECT_EQ(testing::FilesIn(folder_.path()),
            (Files{{"a.c", "int x; \n"}, {"a.c.Backup", "int  x;\n"}, {"victim.txt", "precious\n"}}));
}

// Regression: the backup of a private file was readable by everyone.
TEST_F(SafetyTest, BackupHasThePermissionsOwnerAndGroupOfTheInput) {
  const bool root = ::geteuid() == 0 && testing::NobodyUid() != static_cast<uid_t>(-1);
  for (const fs::perms mode : {fs::perms(0600), fs::perms(0640), fs::perms(0604)}) {
    WriteFile(Path("a.c"), "int  x;\n");
    fs::permissions(Path("a.c"), mode);
    if (root) {
      ASSERT_EQ(::chown(Path("a.c").c_str(), testing::NobodyUid(), testing::NobodyUid()), 0);
    }
    ASSERT_EQ(Qfmt({"-ia.c"}, folder_.path()).status, 0);
    struct stat input {
    }, backup{};
    ASSERT_EQ(::stat(Path("a.c").c_str(), &input), 0);
    ASSERT_EQ(::stat(Path("a.c.Backup").c_str(), &backup), 0);
    EXPECT_EQ(backup.st_mode & 07777, static_cast<unsigned>(mode));
    EXPECT_EQ(backup.st_uid, input.st_uid);
    EXPECT_EQ(backup.st_gid, input.st_gid);
  }
}

// Regression: a copy cut short by a full disk replaced the earlier backup.
TEST_F(SafetyTest, CopyOnAFullDiskLeavesTheEarlierBackup) {
  const testing::SmallDisk disk(1024);
  if (disk.path().empty()) GTEST_SKIP() << "cannot mount a tmpfs here (root is needed)";
  std::string input;
  while (input.size() < 600'000) input += "int  x;\n";
  WriteFile(disk.path() / "a.c", input);
  WriteFile(disk.path() / "a.c.Backup", "earlier\n");
  const testing::ProgramRun run = Qfmt({"-ia.c"}, disk.path());
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.error, "qmft: error: could not open a.c.Backup for write\n");
  Files files = testing::FilesIn(disk.path());
  EXPECT_TRUE(files["a.c"] == input);  // not EXPECT_EQ: a diff of such texts takes gigabytes
  files["a.c"] = "the input";
  EXPECT_EQ(files, (Files{{"a.c", "the input"}, {"a.c.Backup", "earlier\n"}}));
}

// Regression: two runs at once cut a file and its backup to neither text.
// Here the test is the first run: it holds the lock while it changes the
// file, and the second run starts from what the first left.
TEST_F(SafetyTest, SecondRunOnAFileWaitsForTheFirst) {
  WriteFile(Path("a.c"), "int  x;\n");
  const int first = ::open(Path("a.c").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(first, LOCK_EX), 0);
  testing::Child second(QFMT_BINARY, {"-ia.c"}, folder_.path());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(second.Ended());
  EXPECT_EQ(testing::FilesIn(folder_.path()), (Files{{"a.c", "int  x;\n"}}));
  WriteFile(Path("a.c"), "int  y;\n");
  ::close(first);
  const int status = second.Wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(testing::FilesIn(folder_.path()), (Files{{"a.c", "int y; \n"}, {"a.c.Backup", "int  y;\n"}}));
}

// Writes to an output that has failed once stay unreported, as they always
// were, but no more are issued.
TEST(SafetyFaultTest, OutputWritesStopAfterTheFirstFailure) {
  std::string input;
  while (input.size() < 300'000) input += "x;\n";
  testing::MemoryFileSystem files;
  files.AddFile("a.c", input);
  files.space_left = input.size() + 1000;  // the backup fits, the output does not
  testing::RecordingConsole console;
  EXPECT_EQ(RunJob("qfmt -ia.c -oout.c", files, console), kExitOk);
  EXPECT_EQ(console.shown, "");
  EXPECT_EQ(files.failed_writes, 1u);
  EXPECT_EQ(files.Files().at("a.c.Backup"), input);
}

}  // namespace
}  // namespace qfmt::job
