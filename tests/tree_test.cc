#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "generated/version.h"
#include "tests/support/file_support.h"
#include "tests/support/test_support.h"
#include "tree/command_line.h"
#include "tree/tree_run.h"

// qfmt-tree through the real executable in a temporary folder, and in-process
// over files in memory with forced faults.
namespace qfmt::tree {
namespace {

using testing::Case;
using testing::Contents;
using testing::ProgramRun;
using testing::ReadFile;
namespace fs = std::filesystem;

// Formatting changes these; "int  x;" becomes "int x; " and a line feed.
const std::string kMessy = "int  x;", kFormatted = "int x; \n";
// An access label alternates between the indented position (a label line at
// the start of its line) and the start of the line (after the blanks of an
// indented one): the first text on that cycle is the settled one.
const std::string kLabel = "class A {\npublic:\nint x;\n};\n";
const std::string kLabelIndented = "class A\n{\n   public:\n   int x; \n};\n\n";
const std::string kLabelNot = "class A\n{\npublic:\n   int x; \n};\n\n";
// A comment too long for the line: broken before, and its leading line feed
// kept; the next pass keeps two and breaks again, and then nothing changes.
const std::string kComment = "/*" + std::string(1100, 'c') + "*/";
const std::string kLongComment = "int  a;\n" + kComment + "\nint  b;\n";
const std::string kLongCommentSettled = "int a; \n\n\n" + kComment + "\nint b; \n";
std::vector<testing::ProgramCase> ExecutableCases() {
  Contents walk;
  for (const char* name :
       {"a.c",   "b.h",         "c.cc",     "d.cpp", "e.cxx",   "f.c++",     "g.hh",         "h.hpp",
        "i.hxx", "j.h++",       "k.inl",    "l.ipp", "m.tcc",   "notes.txt", "Makefile",     "x.c.Backup",
        "a.C",   ".hidden/n.c", ".git/o.c", ".p.c",  "sub/q.c", "sub/r.txt", "elsewhere/s.c"}) {
    walk["src/" + std::string(name)] = kMessy;
  }
  walk["src/linked"] = "<link to ../other>";    // a link to a folder: not walked
  walk["src/alias.c"] = "<link to sub/q.c>";    // a link to a file: taken, as the first name of sub/q.c
  walk["src/t.c"] = "<link to elsewhere/s.c>";  // a second name of elsewhere/s.c
  walk["other/w.c"] = walk["other/.hidden/u.c"] = walk["notes.txt"] = walk["v.c.Backup"] = kMessy;
  std::string walked = "other/.hidden/u.c\n";
  for (const char* name : {"a.c", "alias.c", "b.h", "c.cc", "d.cpp", "e.cxx", "elsewhere/s.c", "f.c++",
                           "g.hh", "h.hpp", "i.hxx", "j.h++", "k.inl", "l.ipp", "m.tcc"}) {
    walked += "src/" + std::string(name) + "\n";
  }
  const Contents two = {{"t/messy.c", kLabel}, {"t/settled.c", kFormatted}};
  const Contents long_token = {{"t/long.c", kLongComment}, {"t/other.c", kMessy}};
  const std::string diff =
      "--- a/t/messy.c\n+++ b/t/messy.c\n@@ -1,4 +1,6 @@\n-class A {\n-public:\n-int x;\n"
      "+class A\n+{\n+   public:\n+   int x; \n };\n+\n";
  const std::string too_long = ": error: token longer than 512 bytes at line 2, column 1\n";
  return {
      // Paths are taken by name, a hidden folder too; other names are passed over.
      Case("WalksFoldersForCAndCppFiles", walk,
           {"-l", "src", "notes.txt", "v.c.Backup", "missing.c", "other/.hidden"}, kExitFileError,
           "missing.c: error: cannot read: No such file or directory\n"
           "formatted 17 files, 16 changed, 1 error, 0.0 MB in #.## s\n",
           {}, "", walked),
      Case(
          "FilesThatCannotBeRead",
          {{"t/a.c", kMessy}, {"t/fifo.c", "<fifo>"}, {"t/gone.c", "<link to nowhere.c>"}, {"t/z.c", kMessy}},
          {"-l", "-q", "t"}, kExitFileError,
          "t/fifo.c: error: not a regular file\nt/gone.c: error: cannot read: No such file or directory\n",
          {}, "", "t/a.c\nt/z.c\n"),
      Case("StandardInput", {}, {"-"}, kExitOk, "", {}, "int x;\r\nint  y;\r\n", "int x; \r\nint y; \r\n"),
      Case("StandardInputWithStyleOptions", {}, {"-m", "30", "--indent", "\\t", "--brace-style", "break"},
           kExitOk, "", {}, kLabel, "class A\n{\n\tpublic:\n\tint x; \n};\n\n"),
      Case("StandardInputChecked", {}, {"--check"}, kExitWouldChange, "", {}, kMessy, "<stdin>\n"),
      Case("StandardInputDiff", {}, {"-d"}, kExitOk, "", {}, kMessy,
           "--- a/<stdin>\n+++ b/<stdin>\n@@ -1 +1 @@\n-int  x;\n\\ No newline at end of file\n+int x; \n"),
      // An editor that replaces its text with the output keeps it as it was.
      Case("StandardInputThatCannotBeFormattedComesBack", {}, {"--classic-limit"}, kExitFileError,
           "<stdin>" + too_long, {}, kLongComment, kLongComment),
      Case("SettledTexts", two, {"t"}, kExitOk, "formatted 2 files, 1 changed, 0 errors, 0.0 MB in #.## s\n",
           {}, "", kLabelIndented + kFormatted),
      Case("OnePassWithOnce", {{"t/label.c", kLabelIndented}}, {"--once", "-q", "t"}, kExitOk, "", {}, "",
           kLabelNot),
      Case("List", two, {"--list", "-q", "t"}, kExitWouldChange, "", {}, "", "t/messy.c\n"),
      Case("Check", two, {"--check", "-q", "t"}, kExitWouldChange, "", {}, "", "t/messy.c\n"),
      Case("Diff", two, {"-d", "-q", "t"}, kExitOk, "", {}, "", diff),
      Case("DiffNamesWithoutADotSlash", two, {"-d", "-q", "./t/messy.c"}, kExitOk, "", {}, "", diff),
      Case("WriteListAndKeepTheClassicBackup", two, {"-w", "-l", "--backup", "-q", "t"}, kExitWouldChange, "",
           {{"t/messy.c", kLabelIndented}, {"t/messy.c.Backup", kLabel}}, "", "t/messy.c\n"),
      Case("WritesThroughASymbolicLinkWhichStaysALink",
           {{"real/target.c", kMessy}, {"src/link.c", "<link to ../real/target.c>"}},
           {"-w", "-q", "src/link.c"}, kExitOk, "", {{"real/target.c", kFormatted}}),
      Case("LongTokenFormatsByDefault", long_token, {"-w", "-q", "t"}, kExitOk, "",
           {{"t/long.c", kLongCommentSettled}, {"t/other.c", kFormatted}}),
      Case("LongTokenIsAnErrorWithTheClassicLimit", long_token, {"-w", "--classic-limit", "t"},
           kExitFileError,
           "t/long.c" + too_long + "formatted 2 files, 1 changed, 1 error, 0.0 MB in #.## s\n",
           {{"t/other.c", kFormatted}}),
      Case("UnknownOption", {}, {"--nope", "t"}, kExitUsage,
           "qfmt-tree: unknown option '--nope'\n" + std::string(kShortUsage), {}),
      Case("Help", {}, {"--help"}, kExitOk, "", {}, "", HelpText()),
      Case("Version", {}, {"--version"}, kExitOk, "", {}, "", "qfmt-tree " + std::string(kVersion) + "\n"),
  };
}

class TreeProgramTest : public ::testing::TestWithParam<testing::ProgramCase> {};

TEST_P(TreeProgramTest, LeavesWhatTheCaseSays) { testing::ExpectRunLeaves(QFMT_TREE_BINARY, GetParam()); }

INSTANTIATE_TEST_SUITE_P(Cases, TreeProgramTest, ::testing::ValuesIn(ExecutableCases()),
                         [](const auto& param_info) { return param_info.param.name; });

// A settled file keeps its modification time; a rewritten one its permission bits.
TEST(TreeTest, WriteTouchesOnlyChangedFilesAndKeepsTheirPermissionBits) {
  const testing::TempFolder folder;
  for (const auto& [name, bytes] :
       {std::pair{"messy.c", kMessy}, {"private.c", kMessy}, {"settled.c", kFormatted}}) {
    testing::WriteFile(folder / name, bytes);
  }
  const auto old_time = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365);
  for (const char* name : {"settled.c", "messy.c"}) fs::last_write_time(folder / name, old_time);
  fs::permissions(folder / "messy.c", fs::perms(0751));
  fs::permissions(folder / "private.c", fs::perms(0600));
  ASSERT_EQ(testing::RunTreeProgram({"-w", "-q", "."}, folder.path()).status, kExitOk);
  EXPECT_EQ(fs::last_write_time(folder / "settled.c"), old_time);
  EXPECT_NE(fs::last_write_time(folder / "messy.c"), old_time);
  EXPECT_EQ(fs::status(folder / "messy.c").permissions(), fs::perms(0751));
  EXPECT_EQ(fs::status(folder / "private.c").permissions(), fs::perms(0600));
}

// On a terminal, standard error shows the progress line and erases it before
// the summary; elsewhere it holds the summary alone (the tests above).
TEST(TreeTest, ProgressIsShownOnATerminal) {
  const testing::TempFolder folder;
  testing::WriteFile(folder / "t/a.c", kMessy);
  testing::WriteFile(folder / "t/b.c", kMessy);
  int master = -1, slave = -1;
  ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(master);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0 && ::dup2(null, STDOUT_FILENO) >= 0 && ::dup2(slave, STDERR_FILENO) >= 0 &&
        ::chdir(folder.path().c_str()) == 0) {
      ::execl(QFMT_TREE_BINARY, QFMT_TREE_BINARY, "-l", "t", static_cast<char*>(nullptr));
    }
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
  const std::size_t summary = terminal.rfind(" \rformatted 2 files, 2 changed, 0 errors, ");
  EXPECT_TRUE(terminal.find(" of 2 files, ") == 1 && terminal.find(" MB/s\r ") < summary &&
              terminal.ends_with(" s\r\n"))
      << testing::Escaped(terminal);
}

// Every second header of this machine: the diffs do not depend on the number
// of jobs; --check passes right after -w, which leaves no temporary file; and
// patch takes the diffs back, to the headers as they were.
TEST(TreeCorpusTest, SystemHeaders) {
  const testing::TempFolder folder;
  // A sanitized executable is slow: that build takes every eighth.
#ifdef QFMT_SANITIZED_BUILD
  const std::vector<fs::path> headers = testing::SystemHeaders(8);
#else
  const std::vector<fs::path> headers = testing::SystemHeaders(2);
#endif
  ASSERT_GT(headers.size(), 100u);
  for (const fs::path& header : headers) {
    testing::WriteFile(folder / "include" / header.lexically_relative("/usr/include"), ReadFile(header));
  }
  const ProgramRun one = testing::RunTreeProgram({"-j", "1", "-q", "-d", "include"}, folder.path());
  const ProgramRun eight = testing::RunTreeProgram({"-j", "8", "-q", "-d", "include"}, folder.path());
  EXPECT_TRUE(one.status == eight.status && one.out == eight.out && one.error == eight.error);
  // Eight jobs: the syncs of the rewritten files wait on the disk, not on a core.
  const ProgramRun write = testing::RunTreeProgram({"-w", "-q", "-j", "8", "include"}, folder.path());
  ASSERT_EQ(write.status, kExitOk) << write.error;
  const ProgramRun check = testing::RunTreeProgram({"--check", "-q", "include"}, folder.path());
  EXPECT_EQ(check.status, kExitOk);
  EXPECT_EQ(check.out.substr(0, 2000) + check.error, "");
  EXPECT_EQ(testing::RunProgram("/usr/bin/patch", {"-R", "-p1", "--quiet"}, folder.path(), one.out).status,
            0);
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder / "include"))
    files += entry.is_regular_file();
  EXPECT_EQ(files, headers.size()) << "a temporary file was left behind";
  for (const fs::path& header : headers) {
    EXPECT_TRUE(ReadFile(folder / "include" / header.lexically_relative("/usr/include")) == ReadFile(header))
        << header;
  }
}

// The safe write in process, over files in memory: each failure is reported
// and leaves the file as it was (or as another program left it), and no other
// file.
TEST(TreeWriteTest, FailuresLeaveTheFileAsItWasAndNoTemporaryFile) {
  using testing::MemoryFileSystem;
  const std::string changed = " changed while it was being formatted; left as it is";
  const struct {
    const char* name;
    std::function<void(MemoryFileSystem&)> fault;
    std::string error;  // after "t/x.c: error:"
    std::string left;
  } cases[] = {
      {"Written", [](MemoryFileSystem&) {}, "", kFormatted},
      {"NoTemporaryFileAllowed", [](MemoryFileSystem& f) { f.faults.refuse_temp_in = "t"; },
       " cannot create a temporary file in t: Permission denied", kMessy},
      {"WriteFails", [](MemoryFileSystem& f) { f.faults.fail_temp_writes = true; },
       " could not write t/.x.c.qfmt-1", kMessy},
      {"SyncFails", [](MemoryFileSystem& f) { f.faults.fail_sync = true; },
       " could not sync t/.x.c.qfmt-1: Input/output error", kMessy},
      {"ShortWrite", [](MemoryFileSystem& f) { f.faults.drop_last_byte = true; },
       " t/.x.c.qfmt-1 did not read back as written", kMessy},
      {"RenameRefused", [](MemoryFileSystem& f) { f.faults.refuse_rename_to = "t/x.c"; },
       " could not rename t/.x.c.qfmt-1 to t/x.c: Read-only file system", kMessy},
      {"BackupRefused", [](MemoryFileSystem& f) { f.faults.refuse_writing = "t/x.c.Backup"; },
       " could not write the backup t/x.c.Backup; left as it is", kMessy},
      // Changed behind the program's back after it was read: only in size,
      // only in inode (replaced), only in modification time.
      {"Grown",
       [](MemoryFileSystem& f) { f.faults.after_read = [&f](auto&) { f.AddFile("t/x.c", "int  xy;"); }; },
       changed, "int  xy;"},
      {"Replaced",
       [](MemoryFileSystem& f) {
         f.faults.after_read = [&f](auto&) { (void)f.Remove("t/x.c"), f.AddFile("t/x.c", kMessy); };
       },
       changed, kMessy},
      {"Rewritten",
       [](MemoryFileSystem& f) {
         f.faults.after_read = [&f](auto&) { ++f.clock_ns, f.AddFile("t/x.c", "int  y;"); };
       },
       changed, "int  y;"},
  };
  for (const auto& c : cases) {
    MemoryFileSystem files;
    files.AddFolder("t");
    files.AddFile("t/x.c", kMessy, 0751);
    c.fault(files);
    std::vector<std::string_view> arguments = {"-j", "1", "-w", "-q", "t"};
    if (std::string_view(c.name) == "BackupRefused") arguments.push_back("--backup");
    testing::RecordingConsole console;
    EXPECT_EQ(RunTree(arguments, files, console), c.error.empty() ? kExitOk : kExitFileError) << c.name;
    EXPECT_EQ(console.shown, c.error.empty() ? "" : "t/x.c: error:" + c.error + "\n") << c.name;
    EXPECT_EQ(files.Files(), (Contents{{"t", "<folder>"}, {"t/x.c", c.left}})) << c.name;
    if (c.error.empty()) {  // synced, with the permission bits of the file it replaced
      EXPECT_TRUE(files.Find("t/x.c")->synced);
      EXPECT_EQ(files.Find("t/x.c")->permissions, 0751u);
    }
  }
}

}  // namespace
}  // namespace qfmt::tree
