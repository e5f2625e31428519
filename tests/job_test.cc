#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "job/messages.h"
#include "job/run_job.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/test_support.h"

// The classic command: the real executable in a temporary folder, and the job
// in-process over files in memory with forced faults. Each case states all
// that the run leaves: its status, standard error, and every entry that
// appeared or changed, so that nothing else was touched or lost.
namespace qfmt::job {
namespace {

using testing::Contents;
using testing::Repeat;

using testing::Case;
namespace fs = std::filesystem;

// A name of 4,000 characters, made of 200-character folders: each part stays
// under the system's 255, the whole (backup suffix included) under its 4,096.
std::string LongName(char fill) {
  return Repeat(std::string(199, fill) + "/", 19) + std::string(198, 'f') + ".c";
}

std::vector<testing::ProgramCase> ExecutableCases() {
  const std::string usage(kUsageText);
  const std::string bad_unit = std::string(kIndentStringMessage) + "\n";
  const std::string overflowing = "a;\n/*" + std::string(1100, 'c') + "*/\n";
  // More than the first block, which the copy reads itself before the kernel copies the rest.
  std::string large, large_formatted;
  for (int i = 0; i < 40000; ++i) {
    large += "int x" + std::to_string(i) + ";\r\n";
    large_formatted += "int x" + std::to_string(i) + "; \r\n";
  }
  const std::string full_disk = "int  x;\n" + std::string(100'000, ';');
  const std::string n300 = std::string(300, 'n') + ".c", n253 = std::string(253, 'n') + ".c";
  const std::string long_input = LongName('n'), long_output = LongName('m');
  const std::string messy = "int  x;\n", formatted = "int x; \n",
                    braced = "void f() {\nif (a) {\nx();\n}\n}\n";
  return {
      Case("InPlaceWithTheOldTextInTheBackup", {{"a.c", "int  x;"}}, {"-ia.c"}, 0, "",
           {{"a.c", formatted}, {"a.c.Backup", "int  x;"}}),
      Case("OutputOptionLeavesTheInputAlone", {{"a.c", messy}}, {"-ia.c", "-onew.c"}, 0, "",
           {{"a.c.Backup", messy}, {"new.c", formatted}}),
      Case("SecondRunBacksUpTheOnceFormattedText", {{"a.c", formatted}, {"a.c.Backup", messy}}, {"-ia.c"}, 0,
           "", {{"a.c.Backup", formatted}}),
      Case("EmptyInputGivesOneLineBreak", {{"a.c", ""}}, {"-ia.c"}, 0, "",
           {{"a.c", "\n"}, {"a.c.Backup", ""}}),
      Case("MissingInputIsFormattedAsEmpty", {}, {"-ia.c"}, 0, "", {{"a.c", "\n"}, {"a.c.Backup", ""}}),
      Case("CrLfInputIsWrittenWithCrLf", {{"a.c", "int x;\r\nint y;\r\n"}}, {"-ia.c"}, 0, "",
           {{"a.c", "int x; \r\nint y; \r\n"}, {"a.c.Backup", "int x;\r\nint y;\r\n"}}),
      Case("LargeInputIsBackedUpWhole", {{"a.c", large}}, {"-ia.c"}, 0, "",
           {{"a.c", large_formatted}, {"a.c.Backup", large}}),
      Case("NameWithABlank", {{"my prog.c", messy}}, {"-imy prog.c"}, 0, "",
           {{"my prog.c", formatted}, {"my prog.c.Backup", messy}}),
      Case("NamesOf4000Characters",
           {{long_input, messy}, {long_output.substr(0, long_output.rfind('/')), "<folder>"}},
           {"-i" + long_input, "-o" + long_output}, 0, "",
           {{long_input + ".Backup", messy}, {long_output, formatted}}),
      // As the classic scan reads it, a quote inside a name moves its start by one.
      Case("QuoteInsideAName", {{"a\"b.c", messy}}, {"-ia\"b.c"}, 0, "",
           {{"\"b.c", "\n"}, {"\"b.c.Backup", ""}}),
      Case("UsageWithoutArguments", {}, {}, 0, usage, {}),
      Case("UsageForAMarkerWithoutAName", {}, {"-i", "a.c"}, 0, usage, {}),
      Case("UsageForAnOutputAlone", {}, {"-oout.c"}, 0, usage, {}),
      Case("MalformedIndentationStringIsReportedAndTheRunGoesOn", {{"a.c", "void f() { x; }\n"}},
           {"-ia.c", "-t4"}, 0, bad_unit,
           {{"a.c", "void f()\n{\n   x; \n}\n"}, {"a.c.Backup", "void f() { x; }\n"}}),
      Case("MalformedIndentationStringComesBeforeTheUsage", {}, {"-t4", "-i"}, 0, bad_unit + usage, {}),
      Case("TabUnitAndBracesOnTheirOwnLines", {{"a.c", braced}}, {"-ia.c", "-t\t", "-sx"}, 0, "",
           {{"a.c", "void f()\n{\n\tif(a)\n\t{\n\t\tx();\n\t}\n}\n"}, {"a.c.Backup", braced}}),
      Case("OpenBracesWarning", {{"a.c", "void f() {\n"}}, {"-ia.c"}, 0,
           "Warning: you have 1 too many open curly braces.\n",
           {{"a.c", "void f()\n{\n"}, {"a.c.Backup", "void f() {\n"}}),
      Case("CloseBracesWarning", {{"a.c", "}}\n"}}, {"-ia.c"}, 0,
           "Warning: you have 2 too many close curly braces.\n",
           {{"a.c", "\n}\n}\n"}, {"a.c.Backup", "}}\n"}}),
      Case("ScannerOverflowKeepsWhatWasWritten", {{"a.c", overflowing}}, {"-ia.c"}, 1,
           "L0029: PCLEX input buffer overflowed\n", {{"a.c", "a; "}, {"a.c.Backup", overflowing}}),
      Case("OutputThatCannotBeOpened", {{"a.c", messy}}, {"-ia.c", "-onowhere/a.c"}, 2,
           OpenErrorLine("nowhere/a.c", "write"), {{"a.c.Backup", messy}}),
      Case("FolderInTheWayOfTheBackup", {{"a.c", messy}, {"a.c.Backup", "<folder>"}}, {"-ia.c"}, 2,
           OpenErrorLine("a.c.Backup", "write"), {}),
      Case("InputThatIsAFolder", {{"d.c", "<folder>"}}, {"-id.c"}, 2, OpenErrorLine("d.c.Backup", "write"),
           {}),
      // Failed writes of the output go unreported, as they always have.
      Case("OutputOnAFullDisk", {{"a.c", full_disk}}, {"-ia.c", "-o/dev/full"}, 0, "",
           {{"a.c.Backup", full_disk}}),
      // Regression: opening the output emptied the backup that was being read.
      Case("OutputNamedAsTheBackup", {{"a.c", messy}}, {"-ia.c", "-oa.c.Backup"}, 2,
           OpenErrorLine("a.c.Backup", "write"), {{"a.c.Backup", messy}}),
      Case("OutputNamedAsTheBackupAnotherWay", {{"a.c", messy}}, {"-ia.c", "-o./a.c.Backup"}, 2,
           OpenErrorLine("./a.c.Backup", "write"), {{"a.c.Backup", messy}}),
      // Regression: a backup that reached the input was emptied by its
      // opening, and the input with it.
      Case("BackupThatIsASymbolicLinkToTheInput", {{"a.c", messy}, {"a.c.Backup", "<link to a.c>"}},
           {"-ia.c"}, 2, OpenErrorLine("a.c.Backup", "write"), {}),
      // Regression: a backup name that was a link led the input's text over
      // the file of someone's choice, with status 0. A hard link's other
      // name keeps its text: the backup takes the name's place.
      Case("BackupThatIsASymbolicLinkElsewhere",
           {{"a.c", messy}, {"victim.txt", "precious\n"}, {"a.c.Backup", "<link to victim.txt>"}}, {"-ia.c"},
           2, OpenErrorLine("a.c.Backup", "write"), {}),
      Case("BackupThatIsADanglingLink", {{"a.c", messy}, {"a.c.Backup", "<link to nowhere.txt>"}}, {"-ia.c"},
           2, OpenErrorLine("a.c.Backup", "write"), {}),
      Case("BackupOfNoInputThatIsALink",
           {{"victim.txt", "precious\n"}, {"gone.c.Backup", "<link to victim.txt>"}}, {"-igone.c"}, 2,
           OpenErrorLine("gone.c.Backup", "write"), {}),
      Case("BackupThatIsAHardLinkElsewhere",
           {{"a.c", messy}, {"victim.txt", "precious\n"}, {"a.c.Backup", "<hard link to victim.txt>"}},
           {"-ia.c"}, 0, "", {{"a.c", formatted}, {"a.c.Backup", messy}}),
      Case("BackupThatIsAHardLinkToTheInput", {{"a.c", messy}, {"a.c.Backup", "<hard link to a.c>"}},
           {"-ia.c"}, 2, OpenErrorLine("a.c.Backup", "write"), {}),
      Case("NamePartTooLongForTheSystem", {}, {"-i" + n300}, 2, OpenErrorLine(n300 + ".Backup", "read"), {}),
      Case("BackupSuffixMakesTheNameTooLong", {{n253, messy}}, {"-i" + n253}, 2,
           OpenErrorLine(n253 + ".Backup", "read"), {}),
  };
}

class QfmtTest : public ::testing::TestWithParam<testing::ProgramCase> {};

TEST_P(QfmtTest, LeavesWhatTheCaseSays) { testing::ExpectRunLeaves(QFMT_BINARY, GetParam()); }

INSTANTIATE_TEST_SUITE_P(Cases, QfmtTest, ::testing::ValuesIn(ExecutableCases()),
                         [](const auto& param_info) { return param_info.param.name; });

// The job in process over files in memory, with faults no real file system
// shows on demand.
TEST(JobFaultTest, NothingIsLost) {
  const std::string messy = "int  x;\n", text(1000, ';');
  const std::pair<testing::ProgramCase, std::function<void(testing::MemoryFileSystem::Faults&)>> cases[] = {
      {Case("BackupThatCannotBeMade", {{"a.c", messy}}, {}, 2, OpenErrorLine("a.c.Backup", "read"), {}),
       [](auto& f) { f.refuse_writing = "a.c.Backup"; }},
      {Case("StaleBackupThatCannotBeOverwritten", {{"a.c", messy}, {"a.c.Backup", "old\n"}}, {}, 2,
            OpenErrorLine("a.c.Backup", "write"), {}),
       [](auto& f) { f.refuse_writing = "a.c.Backup"; }},
      // The copy goes to a temporary file, which is removed: nothing changes.
      {Case("CopyThatFailsPartWay", {{"a.c", text}}, {}, 2, OpenErrorLine("a.c.Backup", "write"), {}),
       [](auto& f) { f.failing_reads = "a.c", f.fail_after = 600; }},
      // The scanner's second read of 512 bytes fails: the output holds the
      // formatting of the first 512 semicolons, without the final line break.
      {Case("ReadErrorWhileFormatting", {{"a.c", text}}, {}, 1, "L0048: fread() in PCLEX scanner failed\n",
            {{"a.c", "; " + Repeat("\n; ", 511)}, {"a.c.Backup", text}}),
       [](auto& f) { f.failing_reads = "a.c.Backup", f.fail_after = 600; }},
  };
  for (const auto& [c, fault] : cases) {
    testing::MemoryFileSystem files;
    files.AddContents(c.files);
    fault(files.faults);
    const Contents before = files.Files();
    testing::RecordingConsole console;
    EXPECT_EQ(RunJob("qfmt -ia.c", files, console), c.status) << c.name;
    EXPECT_EQ(console.standard_error, c.error) << c.name;
    EXPECT_EQ(testing::Changes(before, files.Files()), c.changed) << c.name;
  }
}

// The usage text has a message box of its own, where the other messages
// have the application's.
TEST(JobTest, UsageBoxHasItsOwnCaption) {
  testing::MemoryFileSystem files;
  testing::RecordingConsole console;
  EXPECT_EQ(RunJob("qfmt -t4 -i", files, console), 0);
  EXPECT_EQ(console.shown, std::string(kIndentStringMessage) + "|" + std::string(kUsageText) + "|");
  EXPECT_EQ(console.captions, (std::vector<std::string>{"", "Quillon"}));
}

// The sentences of the usage text, one line of the text box (103 characters)
// for each line of the message box from the third on.
TEST(MessagesTest, UsageDialogTextHasNoLineFeeds) {
  const std::string expected =
      "You should not run the Quillon directly, it is best to invoke it from the C compiler.  "
      "The configuration program permits you to change any settings you like.  "
      "If you really want to run this program stand alone then use the following information:" +
      std::string(103 - 86, ' ') + std::string(3 * 103, ' ') +
      "The Quillon call sequence is:" + std::string(103 - 29, ' ') +
      "qfmt -iInFile [-oOutFile] [-lMaxLineLength] [-t\"IndentationString\"]";
  EXPECT_EQ(UsageDialogText(), expected);
}

// What qfmt does to people's files in hostile situations, on real files:
// private files, full disks, runs at once; and failing writes.

class SafetyTest : public ::testing::Test {
 protected:
  fs::path Path(std::string_view name) const { return folder_ / name; }
  testing::ProgramRun Qfmt(const std::vector<std::string>& arguments, const fs::path& folder) const {
    return testing::RunProgram(QFMT_BINARY, arguments, folder);
  }
  testing::TempFolder folder_;
};

// Regression: the backup of a private file was readable by everyone.
TEST_F(SafetyTest, BackupHasThePermissionsOwnerAndGroupOfTheInput) {
  const bool root = ::geteuid() == 0 && testing::NobodyUid() != static_cast<uid_t>(-1);
  for (const fs::perms mode : {fs::perms(0600), fs::perms(0640), fs::perms(0604)}) {
    testing::WriteFile(Path("a.c"), "int  x;\n");
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

// Regression: the backup of a read-only input was read-only too, and every
// later run stopped at it ("could not open a.c.Backup for write"). Its
// owner may now write it, and another user when the test runs as root.
TEST_F(SafetyTest, BackupOfAReadOnlyInputCanBeReplaced) {
  const bool root = ::geteuid() == 0 && testing::NobodyUid() != static_cast<uid_t>(-1);
  if (root) fs::permissions(folder_.path(), fs::perms::all);
  testing::WriteFile(Path("a.c"), "int  x;\n");
  fs::permissions(Path("a.c"), fs::perms(0444));
  if (root) {
    ASSERT_EQ(::chown(Path("a.c").c_str(), testing::NobodyUid(), testing::NobodyUid()), 0);
  }
  for (int run = 1; run <= 2; ++run) {
    testing::Child qfmt(QFMT_BINARY, {"-ia.c", "-oout.c"}, folder_.path(), {.as_nobody = root});
    EXPECT_EQ(qfmt.Wait(), 0) << "run " << run << ": " << qfmt.Error();
  }
  struct stat backup {};
  ASSERT_EQ(::stat(Path("a.c.Backup").c_str(), &backup), 0);
  EXPECT_EQ(backup.st_mode & 07777, 0644u);
}

// Regression: a copy cut short by a full disk replaced the earlier backup.
TEST_F(SafetyTest, CopyOnAFullDiskLeavesTheEarlierBackup) {
  const testing::SmallDisk disk(1024);
  if (disk.path().empty()) GTEST_SKIP() << "cannot mount a tmpfs here (root is needed)";
  std::string input;
  while (input.size() < 600'000) input += "int  x;\n";
  testing::WriteFile(disk.path() / "a.c", input);
  testing::WriteFile(disk.path() / "a.c.Backup", "earlier\n");
  const testing::ProgramRun run = Qfmt({"-ia.c"}, disk.path());
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.error, "qmft: error: could not open a.c.Backup for write\n");
  Contents files = testing::FilesIn(disk.path());
  EXPECT_TRUE(files["a.c"] == input);  // not EXPECT_EQ: a diff of such texts takes gigabytes
  files["a.c"] = "the input";
  EXPECT_EQ(files, (Contents{{"a.c", "the input"}, {"a.c.Backup", "earlier\n"}}));
}

// Regression: two runs at once cut a file and its backup to neither text.
// Here the test is the first run: it holds the lock while it changes the
// file, and the second run starts from what the first left.
TEST_F(SafetyTest, SecondRunOnAFileWaitsForTheFirst) {
  testing::WriteFile(Path("a.c"), "int  x;\n");
  const int first = ::open(Path("a.c").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(first, LOCK_EX), 0);
  testing::Child second(QFMT_BINARY, {"-ia.c"}, folder_.path());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(second.Ended());
  EXPECT_EQ(testing::FilesIn(folder_.path()), (Contents{{"a.c", "int  x;\n"}}));
  testing::WriteFile(Path("a.c"), "int  y;\n");
  ::close(first);
  EXPECT_EQ(second.Wait(), 0);
  EXPECT_EQ(testing::FilesIn(folder_.path()), (Contents{{"a.c", "int y; \n"}, {"a.c.Backup", "int  y;\n"}}));
}

// Writes to an output that has failed once stay unreported, as they always
// were, but no more are issued.
TEST(SafetyFaultTest, OutputWritesStopAfterTheFirstFailure) {
  std::string input;
  while (input.size() < 300'000) input += "x;\n";
  testing::MemoryFileSystem files;
  files.AddFile("a.c", input);
  files.faults.space_left = input.size() + 1000;  // the backup fits, the output does not
  testing::RecordingConsole console;
  EXPECT_EQ(RunJob("qfmt -ia.c -oout.c", files, console), kExitOk);
  EXPECT_EQ(console.shown, "");
  EXPECT_EQ(files.failed_writes, 1u);
  EXPECT_EQ(files.Files().at("a.c.Backup"), input);
}

}  // namespace
}  // namespace qfmt::job
