#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/support/file_support.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/safety_support.h"
#include "tests/support/tree_support.h"
#include "tree/tree_run.h"

// What qfmt-tree -w does to people's files in hostile situations: edits saved
// while it writes, extended attributes, files the user may not write, hard
// links, signals, and files whose formatting explodes. Each case checks which
// files there are afterwards and what they hold.
namespace qfmt::tree {
namespace {

using testing::ReadFile;
using testing::WriteFile;
namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

constexpr std::string_view kMessy = "int  x;";
constexpr std::string_view kMessyFormatted = "int x;\n";

int ExitStatus(int wait_status) { return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1; }

// In-process runs over files in memory, in a folder that exists nowhere else.
class TreeMemoryTest : public ::testing::Test {
 protected:
  static constexpr std::string_view kFolder = "/qfmt-memory/t";
  static std::string In(std::string_view name) { return std::string(kFolder) + "/" + std::string(name); }
  // Afresh: the folder with these files, each holding kMessy.
  void Start(std::initializer_list<std::string_view> names) {
    files_ = {};
    console_ = {};
    files_.AddFolder(std::string(kFolder));
    for (const std::string_view name : names) files_.AddFile(In(name), std::string(kMessy));
  }
  int Write() {
    const std::vector<std::string_view> arguments = {"-w", "-q", kFolder};
    return RunTree(arguments, files_, console_);
  }
  testing::MemoryFileSystem files_;
  testing::RecordingConsole console_;
};

// Regression: an edit saved while the temporary file was written and synced
// was overwritten, with status 0. Editors save in place or by a rename; here
// in the middle of the write, and in the instant before the file is replaced.
TEST_F(TreeMemoryTest, EditSavedWhileTheFileIsWrittenIsKept) {
  for (const bool at_sync : {true, false}) {
    for (const bool in_place : {true, false}) {
      Start({"x.c"});
      bool saved = false;
      const auto save = [&] {
        if (std::exchange(saved, true)) return;
        if (!in_place) return files_.AddFile(In("x.c"), "int  edited;\n");
        EXPECT_TRUE(files_.OpenForWriting(In("x.c"))->Write("int  edited;\n", 13));
      };
      (at_sync ? files_.before_sync : files_.before_exchange) = save;
      EXPECT_EQ(Write(), kExitFileError) << at_sync << in_place;
      EXPECT_EQ(console_.shown, In("x.c") + ": error: changed while it was being formatted; left as it is\n");
      EXPECT_EQ(files_.Files(), (Files{{In("x.c"), "int  edited;\n"}})) << at_sync << in_place;
    }
  }
}

// An attribute that cannot be copied leaves the file as it is.
TEST_F(TreeMemoryTest, AttributeThatCannotBeCopiedLeavesTheFileAlone) {
  Start({"x.c"});
  files_.attributes_refused_from = In("x.c");
  EXPECT_EQ(Write(), kExitFileError);
  EXPECT_EQ(console_.shown, In("x.c") +
                                ": error: could not copy the extended attributes "
                                "(user.note: Operation not supported); left as it is\n");
  EXPECT_EQ(files_.Files(), (Files{{In("x.c"), std::string(kMessy)}}));
}

// A write in place that fails puts the old text back; when that fails too,
// the old text stays in the temporary file that the error names.
TEST_F(TreeMemoryTest, FailedWriteInPlaceKeepsTheOldText) {
  for (const int failures : {1, 2}) {
    Start({"x.c"});
    files_.AddLink(In("x.c"), In("y.c"));
    files_.rewrites_to_fail = failures;
    EXPECT_EQ(Write(), kExitFileError);
    Files expected = {{In("x.c"), std::string(kMessy)}, {In("y.c"), std::string(kMessy)}};
    if (failures == 2) expected[In(".x.c.qfmt-100002")] = kMessy;
    EXPECT_EQ(console_.shown,
              In("x.c") + ": error: could not write in place (a write failed); " +
                  (failures == 1 ? "its text is as it was" : "its old text is in " + In(".x.c.qfmt-100002")) +
                  "\n");
    EXPECT_EQ(files_.Files(), expected);
  }
}

// Regression: running out of memory on one file ended the whole run.
TEST_F(TreeMemoryTest, FileThatRunsOutOfMemoryIsAnErrorOfItsOwn) {
  Start({"a.c", "b.c"});
  files_.exhausts_memory = In("a.c");
  EXPECT_EQ(Write(), kExitFileError);
  EXPECT_EQ(console_.shown, In("a.c") + ": error: not enough memory to format it; left as it is\n");
  EXPECT_EQ(files_.Files(),
            (Files{{In("a.c"), std::string(kMessy)}, {In("b.c"), std::string(kMessyFormatted)}}));
}

// The real program on real files.
class TreeSafetyTest : public ::testing::Test {
 protected:
  fs::path Path(std::string_view name) const { return folder_ / name; }
  testing::ProgramRun Tree(const std::vector<std::string>& arguments) const {
    return testing::RunTreeProgram(arguments, folder_.path());
  }
  testing::TempFolder folder_;
};

// Regression: -w dropped extended attributes and access control lists, and
// the group bits widened to the list's mask.
TEST_F(TreeSafetyTest, AccessListsAndExtendedAttributesAreKept) {
  if (!fs::exists("/usr/bin/setfacl") || !fs::exists("/usr/bin/setfattr"))
    GTEST_SKIP() << "no setfacl, setfattr";
  WriteFile(Path("x.c"), kMessy);
  fs::permissions(Path("x.c"), fs::perms(0640));
  const auto attributes = [&] {
    return testing::RunProgram("/usr/bin/getfacl", {"-p", "x.c"}, folder_.path()).out +
           testing::RunProgram("/usr/bin/getfattr", {"-d", "x.c"}, folder_.path()).out;
  };
  if (testing::RunProgram("/usr/bin/setfacl", {"-m", "u:4321:r", "x.c"}, folder_.path()).status != 0 ||
      testing::RunProgram("/usr/bin/setfattr", {"-n", "user.note", "-v", "kept", "x.c"}, folder_.path())
              .status != 0)
    GTEST_SKIP() << "this file system has no access control lists or user attributes";
  const std::string before = attributes();
  ASSERT_NE(before.find("user:4321:r--"), std::string::npos) << before;
  ASSERT_NE(before.find("user.note=\"kept\""), std::string::npos) << before;
  EXPECT_EQ(Tree({"-w", "-q", "x.c"}).status, kExitOk);
  EXPECT_EQ(testing::FilesIn(folder_.path()), (Files{{"x.c", std::string(kMessyFormatted)}}));
  EXPECT_EQ(attributes(), before);
}

// Regression: a user who could write the folder but not the file replaced
// root's file with one of their own. A file the user may write, whose owner
// they cannot give a new file, is written in place and keeps its owner.
TEST_F(TreeSafetyTest, FilesOfOthersAreWrittenOnlyWhereTheUserMayWriteThem) {
  if (::geteuid() != 0 || testing::NobodyUid() == static_cast<uid_t>(-1))
    GTEST_SKIP() << "the program must run as another user: root is needed";
  fs::permissions(folder_.path(), fs::perms::all);
  WriteFile(Path("theirs.c"), kMessy);
  WriteFile(Path("shared.c"), kMessy);
  fs::permissions(Path("shared.c"), fs::perms(0664));
  ASSERT_EQ(::chown(Path("shared.c").c_str(), 0, testing::NobodyUid()), 0);  // nobody's group may write it
  testing::Child run(QFMT_TREE_BINARY, {"-w", "-q", "theirs.c", "shared.c"}, folder_.path(),
                     {.as_nobody = true});
  EXPECT_EQ(ExitStatus(run.Wait()), kExitFileError);
  EXPECT_EQ(run.Error(), "theirs.c: error: not writable, left as it is\n");
  EXPECT_EQ(testing::FilesIn(folder_.path()),
            (Files{{"shared.c", std::string(kMessyFormatted)}, {"theirs.c", std::string(kMessy)}}));
  struct stat theirs {
  }, shared{};
  ASSERT_EQ(::stat(Path("theirs.c").c_str(), &theirs), 0);
  ASSERT_EQ(::stat(Path("shared.c").c_str(), &shared), 0);
  EXPECT_EQ(theirs.st_uid, 0u);
  EXPECT_EQ(shared.st_uid, 0u);
  EXPECT_EQ(shared.st_mode & 07777, 0664u);
}

// Regression: -w gave a file a new inode, so its other names kept the old
// text and --check failed right after -w.
TEST_F(TreeSafetyTest, EveryNameOfAFileSeesTheNewText) {
  WriteFile(Path("x.c"), kMessy);
  fs::create_hard_link(Path("x.c"), Path("y.c"));
  EXPECT_EQ(Tree({"-w", "-q", "x.c"}).status, kExitOk);
  EXPECT_EQ(testing::FilesIn(folder_.path()),
            (Files{{"x.c", std::string(kMessyFormatted)}, {"y.c", std::string(kMessyFormatted)}}));
  EXPECT_TRUE(fs::equivalent(Path("x.c"), Path("y.c")));
  EXPECT_EQ(Tree({"--check", "-q", "x.c", "y.c"}).status, kExitOk);
}

// Regression: these signals left the temporary file behind.
TEST_F(TreeSafetyTest, SignalsDuringWriteRemoveTheTemporaryFile) {
  const std::string text = testing::GeneratedSource(4 << 20, 3);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    WriteFile(Path("b.c"), text);
    testing::Child run(QFMT_TREE_BINARY, {"-w", "-q", "b.c"}, folder_.path());
    bool seen = false;
    while (!seen && !run.Ended()) {
      for (const fs::directory_entry& entry : fs::directory_iterator(folder_.path()))
        seen = seen || entry.path().filename().string().starts_with(".b.c.qfmt-");
      if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ASSERT_TRUE(seen) << "the run ended before its temporary file was seen";
    ::kill(run.pid(), signal);
    EXPECT_EQ(ExitStatus(run.Wait()), 128 + signal) << signal;
    EXPECT_EQ(testing::FilesIn(folder_.path()).size(), 1u) << signal;
    // Old or new, never a mix.
    if (ReadFile(Path("b.c")) != text) {
      EXPECT_EQ(Tree({"--check", "-q", "b.c"}).status, kExitOk) << signal;
    }
  }
}

// Regression: a million "{" and as many "}" made the output grow
// quadratically, and the run died of std::bad_alloc under a memory limit; so
// did standard input from /dev/zero. Under sanitizers, which need the
// address space, without the limit.
TEST_F(TreeSafetyTest, ExplosiveInputsAreErrorsOfTheirOwn) {
#ifdef QFMT_SANITIZED_BUILD
  const testing::ChildOptions limited;
#else
  const testing::ChildOptions limited = {.memory_limit = std::uint64_t{1} << 30};
#endif
  WriteFile(Path("bomb.c"), std::string(1'000'000, '{') + std::string(1'000'000, '}'));
  WriteFile(Path("ok.c"), kMessy);
  testing::Child files(QFMT_TREE_BINARY, {"-w", "-q", "bomb.c", "ok.c"}, folder_.path(), limited);
  EXPECT_EQ(ExitStatus(files.Wait()), kExitFileError);
  EXPECT_EQ(files.Error(),
            "bomb.c: error: its formatted text would pass 17048576 bytes, "
            "the limit of 8 times its size and 1 MiB; left as it is\n");
  EXPECT_EQ(ReadFile(Path("ok.c")), kMessyFormatted);
  EXPECT_EQ(testing::FilesIn(folder_.path()).size(), 2u);

  testing::ChildOptions from_zero = limited;
  from_zero.standard_input = "/dev/zero";
  testing::Child input(QFMT_TREE_BINARY, {}, folder_.path(), from_zero);
  EXPECT_EQ(ExitStatus(input.Wait()), kExitFileError);
  EXPECT_EQ(input.Error(), "<stdin>: error: larger than 256 MiB, the limit for one file\n");
  EXPECT_EQ(input.Output(), "");

  // A file of that size is not even read.
  fs::resize_file(Path("bomb.c"), (std::uintmax_t{256} << 20) + 1);
  const testing::ProgramRun large = Tree({"-w", "-q", "bomb.c"});
  EXPECT_EQ(large.status, kExitFileError);
  EXPECT_EQ(large.error, "bomb.c: error: larger than 256 MiB, the limit for one file; left as it is\n");
}

}  // namespace
}  // namespace qfmt::tree
