#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/file_support.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_support.h"
#include "tree/command_line.h"
#include "tree/file_walk.h"
#include "tree/tree_run.h"
#include "tree/unified_diff.h"

// qfmt-tree through the real executable in a temporary folder, and in-process
// over a file system that fails where told to.
namespace qfmt::tree {
namespace {

using testing::ProgramRun;
using testing::ReadFile;
using testing::Settled;
using testing::WriteFile;
namespace fs = std::filesystem;

// Formatting changes these; "int  x;" becomes "int x;" and a line feed.
constexpr std::string_view kMessy = "int  x;";
constexpr std::string_view kMessyFormatted = "int x;\n";
// A label at the start of its line: settling differs from one pass.
constexpr std::string_view kLabel = "class A {\npublic:\nint x;\n};\n";
const std::string kLongComment = "int  a;\n/*" + std::string(1100, 'c') + "*/\nint  b;\n";

class TreeTest : public ::testing::Test {
 protected:
  fs::path Path(std::string_view name) const { return folder_ / name; }
  void Write(std::string_view name, std::string_view bytes) const {
    fs::create_directories(Path(name).parent_path());
    WriteFile(Path(name), bytes);
  }
  ProgramRun Tree(const std::vector<std::string>& arguments, std::string_view input = {}) const {
    return testing::RunTreeProgram(arguments, folder_.path(), input);
  }
  // The folder's entries, for checking that nothing was left behind.
  std::vector<std::string> Entries(std::string_view folder) const {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(Path(folder))) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::TempFolder folder_;
};

// The text with each run of digits written as "#", for texts with times in them.
std::string Digitless(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (!digit) {
      out += text[i];
    } else if (i == 0 || text[i - 1] < '0' || text[i - 1] > '9') {
      out += '#';
    }
  }
  return out;
}

// What --list and --check say of a file that would change.
std::string NotFormatted(const std::string& path, int line, int column) {
  return path + ":" + std::to_string(line) + ":" + std::to_string(column) +
         ": error: not formatted (qfmt-tree -w " + path + ")\n";
}

// A summary line for a few files: "formatted 2 files, 1 changed, 0 errors, 0.0 MB in 0.01 s".
bool IsSummary(std::string_view line) {
  const std::string shape = Digitless(line);
  return shape.starts_with("formatted # file") &&
         (shape.find(", # changed, # error") != std::string::npos ||
          shape.find(", # would change, # error") != std::string::npos) &&
         shape.ends_with(", #.# MB in #.# s\n");
}

TEST_F(TreeTest, WalksFoldersAndTakesOnlyCAndCppFiles) {
  const std::vector<std::string> taken = {"a.c",   "b.h",   "c.cc",  "d.cpp",  "e.cxx", "f.c++", "g.hh",
                                          "h.hpp", "i.hxx", "j.h++", "k.inl",  "l.ipp", "m.tcc", "n.C",
                                          "o.H",   "p.cu",  "q.cuh", "r.cppm", "s.ixx", "u.ino"};
  for (const std::string& name : taken) Write("src/" + name, kMessy);
  for (const char* name : {"notes.txt", "Makefile", "x.c.Backup", "a.cs", ".hidden/n.c", ".git/o.c", ".p.c",
                           "sub/q.c", "sub/r.txt", "elsewhere/s.c"}) {
    Write("src/" + std::string(name), kMessy);
  }
  fs::create_directory_symlink("sub", Path("src/linked"));  // a link to a folder: skipped
  fs::create_symlink("sub/q.c", Path("src/alias.c"));       // a link to a file: taken
  fs::create_symlink("elsewhere/s.c", Path("src/t.c"));     // a second name of elsewhere/s.c

  const ProgramRun run = Tree({"-l", "src"});
  std::string expected;
  for (const char* name : {"a.c",  "alias.c", "b.h",   "c.cc",   "d.cpp", "e.cxx", "elsewhere/s.c", "f.c++",
                           "g.hh", "h.hpp",   "i.hxx", "j.h++",  "k.inl", "l.ipp", "m.tcc",         "n.C",
                           "o.H",  "p.cu",    "q.cuh", "r.cppm", "s.ixx", "u.ino"}) {
    expected += NotFormatted("src/" + std::string(name), 1, 5);
  }
  // Two names of one file give it once, under the name that sorts first.
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.status, kExitWouldChange);
  EXPECT_TRUE(IsSummary(run.error)) << run.error;
}

// Other names are passed over, each with a message, so that a hook can hand
// over every name it has; --assume-filename takes them.
TEST_F(TreeTest, PathsGivenDirectlyAreTakenByName) {
  Write("a.c", kMessy);
  Write("notes.txt", kMessy);
  Write("a.c.Backup", kMessy);
  Write(".hidden/b.c", kMessy);
  ProgramRun run = Tree({"-l", "-q", "notes.txt", "a.c.Backup", "a.c", "missing.c", ".hidden"});
  EXPECT_EQ(run.out, NotFormatted(".hidden/b.c", 1, 5) + NotFormatted("a.c", 1, 5));
  EXPECT_EQ(run.error, "a.c.Backup: " + std::string(kNotSourceName) +
                           "\nmissing.c: error: cannot read: No such file or directory\nnotes.txt: " +
                           std::string(kNotSourceName) + "\n");
  EXPECT_EQ(run.status, kExitFileError);
  run = Tree({"-l", "notes.txt"});
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(run.error.starts_with("notes.txt: " + std::string(kNotSourceName) +
                                    "\nformatted 0 files, 0 would change, 1 skipped, 0 errors, 0.0 MB in "))
      << run.error;
  EXPECT_EQ(run.status, kExitOk);
  run = Tree({"-l", "-q", "--assume-filename", "x.c", "notes.txt"});
  EXPECT_EQ(run.out, NotFormatted("notes.txt", 1, 5));
  EXPECT_EQ(run.error, "");
}

TEST_F(TreeTest, StandardInputIsFilteredToStandardOutput) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, {"-"}}) {
    const ProgramRun run = Tree(arguments, kMessy);
    EXPECT_EQ(run.out, kMessyFormatted);
    EXPECT_EQ(run.error, "");  // no summary for standard input
    EXPECT_EQ(run.status, kExitOk);
  }
  EXPECT_EQ(Tree({}, "int x;\r\nint  y;\r\n").out, "int x;\r\nint y;\r\n");
  EXPECT_EQ(Tree({}, kLabel).out, Settled(kLabel));
  EXPECT_EQ(Tree({"-m", "30", "--indent", "\\t", "--brace-style", "break"}, kLabel).out,
            Settled(kLabel, {30, "\t", 0, true}));

  ProgramRun run = Tree({"--check"}, kMessy);
  EXPECT_EQ(run.out, "<stdin>:1:5: error: not formatted\n");
  EXPECT_EQ(run.status, kExitWouldChange);
  run = Tree({"--check"}, kMessyFormatted);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.status, kExitOk);
  run = Tree({"-d"}, kMessy);
  EXPECT_EQ(run.out,
            "--- a/<stdin>\n+++ b/<stdin>\n@@ -1 +1 @@\n-int  x;\n\\ No newline at end of file\n+int x;\n");
}

// An editor that replaces its text with the output keeps the text as it was.
TEST_F(TreeTest, StandardInputThatCannotBeFormattedComesBackUnchanged) {
  const ProgramRun run = Tree({"--classic-limit"}, kLongComment);
  EXPECT_EQ(run.out, kLongComment);
  EXPECT_EQ(run.error, "<stdin>: error: token longer than 512 bytes at line 2, column 1\n");
  EXPECT_EQ(run.status, kExitFileError);
}

TEST_F(TreeTest, EachModeAndItsExitStatus) {
  Write("t/messy.c", kLabel);
  Write("t/settled.c", kMessyFormatted);
  const std::string label_settled = Settled(kLabel);

  ProgramRun run = Tree({"t"});
  EXPECT_EQ(run.out, label_settled + std::string(kMessyFormatted));
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_TRUE(run.error.starts_with("formatted 2 files, 1 would change, 0 errors, 0.0 MB in ")) << run.error;
  EXPECT_TRUE(IsSummary(run.error)) << run.error;

  for (const char* mode : {"-l", "--list", "--check"}) {
    run = Tree({mode, "-q", "t"});
    EXPECT_EQ(run.out, NotFormatted("t/messy.c", 1, 8)) << mode;  // "class A" ends its line
    EXPECT_EQ(run.error, "") << mode;
    EXPECT_EQ(run.status, kExitWouldChange) << mode;
  }
  run = Tree({"-d", "-q", "t"});
  std::string diff;
  AppendUnifiedDiff(kLabel, label_settled, "a/t/messy.c", "b/t/messy.c", diff);
  EXPECT_EQ(run.out, diff);
  EXPECT_EQ(run.status, kExitOk);

  run = Tree({"-w", "-l", "-q", "t"});
  EXPECT_EQ(run.out, "t/messy.c:1:8: note: formatted\n");
  EXPECT_EQ(run.status, kExitWouldChange);
  EXPECT_EQ(ReadFile(Path("t/messy.c")), label_settled);
  EXPECT_EQ(ReadFile(Path("t/settled.c")), kMessyFormatted);
  run = Tree({"--check", "t"});
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(Entries("t"), (std::vector<std::string>{"messy.c", "settled.c"}));
}

TEST_F(TreeTest, CommandLineErrorsHelpAndVersion) {
  ProgramRun run = Tree({"--nope", "t"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.error, "qfmt-tree: unknown option '--nope'\n" + std::string(kShortUsage));
  run = Tree({"--help"});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_TRUE(run.out.starts_with("usage: qfmt-tree [OPTIONS] [PATH...]\n")) << run.out;
  run = Tree({"--version"});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(Digitless(run.out), "qfmt-tree #.#.#\n");
}

TEST_F(TreeTest, WriteLeavesSettledFilesUntouchedAndKeepsPermissionBits) {
  Write("t/settled.c", kMessyFormatted);
  Write("t/messy.c", kMessy);
  Write("t/private.c", kMessy);
  const auto old_time = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365);
  for (const char* name : {"t/settled.c", "t/messy.c"}) fs::last_write_time(Path(name), old_time);
  fs::permissions(Path("t/messy.c"), fs::perms(0751));
  fs::permissions(Path("t/private.c"), fs::perms(0600));

  const ProgramRun run = Tree({"-w", "t"});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(fs::last_write_time(Path("t/settled.c")), old_time);
  EXPECT_NE(fs::last_write_time(Path("t/messy.c")), old_time);
  EXPECT_EQ(ReadFile(Path("t/messy.c")), kMessyFormatted);
  EXPECT_EQ(fs::status(Path("t/messy.c")).permissions(), fs::perms(0751));
  EXPECT_EQ(fs::status(Path("t/private.c")).permissions(), fs::perms(0600));
  EXPECT_EQ(Entries("t"), (std::vector<std::string>{"messy.c", "private.c", "settled.c"}));
}

TEST_F(TreeTest, WritesThroughASymbolicLinkWhichStaysALink) {
  Write("real/target.c", kMessy);
  fs::create_directory(Path("src"));
  fs::create_symlink("../real/target.c", Path("src/link.c"));
  const ProgramRun run = Tree({"-w", "src/link.c"});
  EXPECT_EQ(run.status, kExitOk) << run.error;
  EXPECT_TRUE(fs::is_symlink(Path("src/link.c")));
  EXPECT_EQ(ReadFile(Path("real/target.c")), kMessyFormatted);
  EXPECT_EQ(Entries("real"), std::vector<std::string>{"target.c"});
  EXPECT_EQ(Entries("src"), std::vector<std::string>{"link.c"});
}

TEST_F(TreeTest, BackupKeepsTheClassicCopy) {
  Write("t/a.c", kMessy);
  const ProgramRun run = Tree({"-w", "--backup", "t"});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(ReadFile(Path("t/a.c")), kMessyFormatted);
  EXPECT_EQ(ReadFile(Path("t/a.c.Backup")), kMessy);
}

TEST_F(TreeTest, LongCommentFormatsByDefaultAndIsAnErrorWithTheClassicLimit) {
  Write("t/long.c", kLongComment);
  Write("t/other.c", kMessy);
  ProgramRun run = Tree({"-w", "t"});
  EXPECT_EQ(run.status, kExitOk) << run.error;
  EXPECT_EQ(ReadFile(Path("t/long.c")), Settled(kLongComment));
  EXPECT_NE(ReadFile(Path("t/long.c")).find("/*" + std::string(1100, 'c') + "*/"), std::string::npos);

  Write("t/long.c", kLongComment);
  Write("t/other.c", kMessy);
  const auto old_time = fs::file_time_type::clock::now() - std::chrono::hours(1);
  fs::last_write_time(Path("t/long.c"), old_time);
  run = Tree({"-w", "--classic-limit", "t"});
  EXPECT_EQ(run.status, kExitFileError);
  EXPECT_EQ(run.error.substr(0, run.error.find('\n') + 1),
            "t/long.c: error: token longer than 512 bytes at line 2, column 1\n");
  EXPECT_TRUE(IsSummary(run.error.substr(run.error.find('\n') + 1))) << run.error;
  EXPECT_EQ(ReadFile(Path("t/long.c")), kLongComment);
  EXPECT_EQ(fs::last_write_time(Path("t/long.c")), old_time);
  EXPECT_EQ(ReadFile(Path("t/other.c")), kMessyFormatted);
}

TEST_F(TreeTest, FilesThatCannotBeReadAreReportedAndTheOthersGoOn) {
  Write("t/a.c", kMessy);
  Write("t/z.c", kMessy);
  ASSERT_EQ(::mkfifo(Path("t/fifo.c").c_str(), 0644), 0);
  fs::create_symlink("nowhere.c", Path("t/gone.c"));
  const ProgramRun run = Tree({"-l", "-q", "t"});
  EXPECT_EQ(run.out, NotFormatted("t/a.c", 1, 5) + NotFormatted("t/z.c", 1, 5));
  EXPECT_EQ(run.error,
            "t/fifo.c: error: not a regular file\n"
            "t/gone.c: error: cannot read: No such file or directory\n");
  EXPECT_EQ(run.status, kExitFileError);
}

TEST_F(TreeTest, ResultsDoNotDependOnTheNumberOfJobs) {
  for (int i = 0; i < 60; ++i) {
    const std::string folder = "t/" + std::to_string(i % 7) + "/";
    Write(folder + "gen" + std::to_string(i) + ".c", testing::GeneratedSource(500 + 300 * (i % 11), i));
    Write(folder + "label" + std::to_string(i) + ".h", kLabel);
    Write(folder + "ok" + std::to_string(i) + ".cc", kMessyFormatted);
  }
  Write("t/3/long.c", kLongComment);
  for (const std::vector<std::string>& mode :
       {std::vector<std::string>{}, {"-l"}, {"-d"}, {"--once", "-d"}, {"-l", "--classic-limit"}}) {
    std::vector<std::string> one = mode, eight = mode;
    for (const char* extra : {"-q", "t"}) {
      one.push_back(extra);
      eight.push_back(extra);
    }
    one.insert(one.begin(), {"-j", "1"});
    eight.insert(eight.begin(), {"-j", "8"});
    const ProgramRun single = Tree(one);
    const ProgramRun parallel = Tree(eight);
    EXPECT_EQ(single.status, parallel.status);
    EXPECT_TRUE(single.out == parallel.out);
    EXPECT_EQ(single.error, parallel.error);
    EXPECT_FALSE(single.out.empty());
  }
}

// Standard error on a terminal: the progress line is shown and erased, then
// comes the summary. Elsewhere only the summary.
TEST_F(TreeTest, ProgressIsShownOnATerminalOnly) {
  Write("t/a.c", kMessy);
  Write("t/b.c", kMessy);
  int master = -1, slave = -1;
  ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(master);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0 || ::dup2(slave, STDERR_FILENO) < 0 ||
        ::chdir(folder_.path().c_str()) != 0) {
      ::_exit(127);
    }
    ::execl(QFMT_TREE_BINARY, QFMT_TREE_BINARY, "-l", "t", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(slave);
  std::string terminal;
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
    terminal.append(buffer, static_cast<std::size_t>(n));
  ::close(master);
  int wait_status = 0;
  ::waitpid(pid, &wait_status, 0);
  EXPECT_EQ(WEXITSTATUS(wait_status), kExitWouldChange);
  // The terminal turns each line feed into CR LF.
  const std::string shape = Digitless(terminal);
  EXPECT_TRUE(shape.starts_with("# of # files, #.# MB/s\r ")) << testing::Escaped(terminal);
  EXPECT_TRUE(shape.ends_with(" \rformatted # files, # would change, # errors, #.# MB in #.# s\r\n"))
      << testing::Escaped(terminal);
  EXPECT_NE(terminal.find("formatted 2 files, 2 would change, 0 errors"), std::string::npos);

  const ProgramRun run = Tree({"-l", "t"});
  EXPECT_TRUE(IsSummary(run.error)) << testing::Escaped(run.error);
  EXPECT_EQ(run.error.find('\r'), std::string::npos);
}

// In-process runs over a file system that fails where told to.
class TreeFaultTest : public TreeTest {
 protected:
  int RunInProcess(const std::vector<std::string>& arguments) {
    std::vector<std::string_view> views(arguments.begin(), arguments.end());
    return RunTree(views, files_, console_);
  }
  testing::FaultyFileSystem files_;
  testing::RecordingConsole console_;
};

TEST_F(TreeFaultTest, FolderThatAllowsNoTemporaryFileIsAnErrorForItsFilesOnly) {
  Write("a/x.c", kMessy);
  Write("b/x.c", kMessy);
  files_.refuse_temp_in = {Path("a").string()};
  EXPECT_EQ(RunInProcess({"-w", "-q", Path("a").string(), Path("b").string()}), kExitFileError);
  EXPECT_EQ(console_.shown, Path("a/x.c").string() + ": error: cannot create a temporary file in " +
                                Path("a").string() + ": Permission denied\n");
  EXPECT_EQ(ReadFile(Path("a/x.c")), kMessy);
  EXPECT_EQ(ReadFile(Path("b/x.c")), kMessyFormatted);
}

TEST_F(TreeFaultTest, NoTemporaryFileIsLeftBehindAfterAFailure) {
  struct Case {
    const char* name;
    void (*fault)(testing::FaultyFileSystem&, const std::string& file);
    std::string error_ending;
  };
  const std::vector<Case> cases = {
      {"SyncFails", [](testing::FaultyFileSystem& files, const std::string&) { files.fail_sync = true; },
       ": Input/output error\n"},
      {"ShortWrite",
       [](testing::FaultyFileSystem& files, const std::string&) { files.drop_last_byte = true; },
       " did not read back as written\n"},
      {"RenameFails",
       [](testing::FaultyFileSystem& files, const std::string& file) { files.refuse_rename_to = {file}; },
       ": Read-only file system\n"},
  };
  for (const Case& c : cases) {
    Write("t/x.c", kMessy);
    files_ = {};
    console_ = {};
    c.fault(files_, Path("t/x.c").string());
    EXPECT_EQ(RunInProcess({"-w", "-q", Path("t").string()}), kExitFileError) << c.name;
    EXPECT_TRUE(console_.shown.ends_with(c.error_ending)) << c.name << ": " << console_.shown;
    EXPECT_EQ(ReadFile(Path("t/x.c")), kMessy) << c.name;
    EXPECT_EQ(Entries("t"), std::vector<std::string>{"x.c"}) << c.name;
  }
}

TEST_F(TreeFaultTest, BackupThatCannotBeWrittenLeavesTheFileAlone) {
  Write("t/x.c", kMessy);
  files_.refuse_writing = {Path("t/x.c.Backup").string()};
  EXPECT_EQ(RunInProcess({"-w", "--backup", "-q", Path("t").string()}), kExitFileError);
  EXPECT_EQ(console_.shown, Path("t/x.c").string() + ": error: could not write the backup " +
                                Path("t/x.c.Backup").string() + "; left as it is\n");
  EXPECT_EQ(ReadFile(Path("t/x.c")), kMessy);
  EXPECT_EQ(Entries("t"), std::vector<std::string>{"x.c"});
}

}  // namespace
}  // namespace qfmt::tree
