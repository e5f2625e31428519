#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "job/messages.h"
#include "job/run_job.h"
#include "platform/console.h"
#include "tests/support/file_support.h"
#include "tests/support/test_support.h"

// Runs with files: the real executable in a temporary folder, and the job
// in-process over a file system that fails where told to. Every failure case
// checks that nothing is lost: which files changed, and that the original
// bytes are still in the input or in its backup.
namespace qfmt::job {
namespace {

using testing::FaultyFileSystem;
using testing::ProgramRun;
using testing::ReadFile;
using testing::RecordingConsole;
using testing::WriteFile;
namespace fs = std::filesystem;

// What a folder holds: each file's bytes, and "<folder>" for each folder,
// under names relative to it.
using Contents = std::map<std::string, std::string>;

Contents ContentsOf(const fs::path& folder) {
  Contents contents;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(entry.path(), folder).string();
    if (entry.is_symlink()) {
      contents[name] = "<link to " + fs::read_symlink(entry.path()).string() + ">";
    } else if (entry.is_directory()) {
      contents[name] = "<folder>";
    } else {
      contents[name] = ReadFile(entry.path());
    }
  }
  return contents;
}

// The names that appeared, vanished or changed, in name order.
std::string Changes(const Contents& before, const Contents& after) {
  std::set<std::string> names;
  for (const auto& [name, bytes] : before) names.insert(name);
  for (const auto& [name, bytes] : after) names.insert(name);
  std::string changed;
  for (const std::string& name : names) {
    const auto old_entry = before.find(name);
    const auto new_entry = after.find(name);
    if (old_entry != before.end() && new_entry != after.end() && old_entry->second == new_entry->second)
      continue;
    changed += (changed.empty() ? "" : " ") + name;
  }
  return changed;
}

class JobTest : public ::testing::Test {
 protected:
  fs::path Path(std::string_view name) const { return folder_ / name; }

  // Runs qfmt in the folder with the arguments, standard error captured.
  ProgramRun Qfmt(const std::vector<std::string>& arguments) const {
    return testing::RunProgram(QFMT_BINARY, arguments, folder_.path());
  }

  Contents Snapshot() const { return ContentsOf(folder_.path()); }

  testing::TempFolder folder_;
};

TEST_F(JobTest, FormatsInPlaceAndKeepsTheOldTextInTheBackup) {
  WriteFile(Path("prog.c"), "int  x;");
  const ProgramRun outcome = Qfmt({"-iprog.c"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.error, "");
  EXPECT_EQ(ReadFile(Path("prog.c")), "int x; \n");
  EXPECT_EQ(ReadFile(Path("prog.c.Backup")), "int  x;");
}

TEST_F(JobTest, OutputOptionLeavesTheInputAlone) {
  WriteFile(Path("prog.c"), "int  x;\n");
  EXPECT_EQ(Qfmt({"-iprog.c", "-onew.c"}).status, 0);
  EXPECT_EQ(ReadFile(Path("prog.c")), "int  x;\n");
  EXPECT_EQ(ReadFile(Path("prog.c.Backup")), "int  x;\n");
  EXPECT_EQ(ReadFile(Path("new.c")), "int x; \n");
}

TEST_F(JobTest, SecondRunBacksUpTheOnceFormattedText) {
  WriteFile(Path("prog.c"), "int  x;\n");
  ASSERT_EQ(Qfmt({"-iprog.c"}).status, 0);
  ASSERT_EQ(Qfmt({"-iprog.c"}).status, 0);
  EXPECT_EQ(ReadFile(Path("prog.c.Backup")), "int x; \n");
  EXPECT_EQ(ReadFile(Path("prog.c")), "int x; \n");
}

TEST_F(JobTest, EmptyAndMissingInputsGiveOneLineBreak) {
  WriteFile(Path("empty.c"), "");
  EXPECT_EQ(Qfmt({"-iempty.c"}).status, 0);
  EXPECT_EQ(ReadFile(Path("empty.c")), "\n");
  EXPECT_EQ(ReadFile(Path("empty.c.Backup")), "");

  const Contents before = Snapshot();
  const ProgramRun outcome = Qfmt({"-imissing.c"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.error, "");
  EXPECT_EQ(Changes(before, Snapshot()), "missing.c missing.c.Backup");
  EXPECT_EQ(ReadFile(Path("missing.c")), "\n");
  EXPECT_EQ(ReadFile(Path("missing.c.Backup")), "");
}

TEST_F(JobTest, CrLfInputIsWrittenWithCrLf) {
  WriteFile(Path("dos.c"), "int x;\r\nint y;\r\n");
  EXPECT_EQ(Qfmt({"-idos.c"}).status, 0);
  EXPECT_EQ(ReadFile(Path("dos.c")), "int x; \r\nint y; \r\n");
  EXPECT_EQ(ReadFile(Path("dos.c.Backup")), "int x;\r\nint y;\r\n");
}

TEST_F(JobTest, LargeInputIsBackedUpWholeAndKeepsItsLineEnds) {
  // Larger than the first block that the copy reads itself.
  std::string input;
  for (int i = 0; i < 40000; ++i) input += "int x" + std::to_string(i) + ";\r\n";
  WriteFile(Path("big.c"), input);
  ASSERT_EQ(Qfmt({"-ibig.c"}).status, 0);
  EXPECT_EQ(ReadFile(Path("big.c.Backup")), input);
  const std::string output = ReadFile(Path("big.c"));
  EXPECT_EQ(output.substr(0, 18), "int x0; \r\nint x1; ");
  EXPECT_EQ(output.size(), input.size() + 40000);  // one blank after each ";"
}

TEST_F(JobTest, NamesWithBlanksQuotesAndOtherBytes) {
  for (const std::string& name :
       std::vector<std::string>{"my prog.c", "it's.c", "na\xc3\xafve.c", std::string(200, 'n') + ".c"}) {
    WriteFile(Path(name), "int  x;\n");
    EXPECT_EQ(Qfmt({"-i" + name}).status, 0) << name;
    EXPECT_EQ(ReadFile(Path(name)), "int x; \n") << name;
    EXPECT_EQ(ReadFile(Path(name + ".Backup")), "int  x;\n") << name;
  }
}

// A double quote inside a value that does not begin with one moves the start
// of the name by one character, as the classic scan does: "-ia\"b.c" names
// the file "\"b.c". That file is made (as a missing input); a"b.c is left
// as it was.
TEST_F(JobTest, NameWithADoubleQuoteInsideIsReadAsTheScanReadsIt) {
  WriteFile(Path("a\"b.c"), "int  x;\n");
  const Contents before = Snapshot();
  const ProgramRun outcome = Qfmt({"-ia\"b.c"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(Changes(before, Snapshot()), "\"b.c \"b.c.Backup");
}

TEST_F(JobTest, UsageWithoutAnInputName) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, {"--help"}, {"-i"}, {"-i", "prog.c"}, {"-oout.c"}}) {
    const ProgramRun outcome = Qfmt(arguments);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.error, kUsageText);
  }
  EXPECT_FALSE(fs::exists(Path("out.c")));
  EXPECT_FALSE(fs::exists(Path("prog.c.Backup")));
}

TEST_F(JobTest, MalformedIndentationStringIsReportedAndTheRunGoesOn) {
  WriteFile(Path("prog.c"), "void f() { x; }\n");
  const ProgramRun outcome = Qfmt({"-iprog.c", "-t4"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.error, "Improperly formed Indent String: Use -t\" (some number of spaces)\"\n");
  EXPECT_EQ(ReadFile(Path("prog.c")), "void f()\n{\n   x; \n}\n");

  const ProgramRun without_input = Qfmt({"-t4", "-i"});
  EXPECT_EQ(without_input.error, "Improperly formed Indent String: Use -t\" (some number of spaces)\"\n" +
                                     std::string(kUsageText));
}

// The usage text has a message box of its own, where the other messages
// have the application's.
TEST_F(JobTest, UsageBoxHasItsOwnCaption) {
  FaultyFileSystem files;
  RecordingConsole console;
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

TEST_F(JobTest, IndentationAndLengthOptions) {
  WriteFile(Path("prog.c"), "void f() { if (a) x = 1; }\n");
  EXPECT_EQ(Qfmt({"-iprog.c", "-t\t", "-sx"}).status, 0);
  EXPECT_EQ(ReadFile(Path("prog.c")), "void f()\n{\n\tif(a)\n\t\tx = 1; \n}\n");
}

TEST_F(JobTest, BraceWarningsFollowACompleteOutput) {
  WriteFile(Path("open.c"), "void f() {\n");
  ProgramRun outcome = Qfmt({"-iopen.c"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.error, "Warning: you have 1 too many open curly braces.\n");
  EXPECT_EQ(ReadFile(Path("open.c")), "void f()\n{\n");

  WriteFile(Path("close.c"), "}}\n");
  outcome = Qfmt({"-iclose.c"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.error, "Warning: you have 2 too many close curly braces.\n");
}

TEST_F(JobTest, ScannerOverflowStopsWithStatus1AndKeepsWhatWasWritten) {
  const std::string input = "a;\n/*" + std::string(1100, 'c') + "*/\n";
  WriteFile(Path("long.c"), input);
  const ProgramRun outcome = Qfmt({"-ilong.c"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.error, "L0029: PCLEX input buffer overflowed\n");
  EXPECT_EQ(ReadFile(Path("long.c")), "a; ");
  EXPECT_EQ(ReadFile(Path("long.c.Backup")), input);
}

// The failure cases below check which files changed; an unchanged file has
// lost nothing.

TEST_F(JobTest, OutputThatCannotBeOpenedLeavesTheInputAlone) {
  WriteFile(Path("a.c"), "int x;\n");
  const Contents before = Snapshot();
  const ProgramRun outcome = Qfmt({"-ia.c", "-onowhere/a.c"});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.error, "qmft: error: could not open nowhere/a.c for write\n");
  EXPECT_EQ(Changes(before, Snapshot()), "a.c.Backup");
  EXPECT_EQ(ReadFile(Path("a.c.Backup")), "int x;\n");
}

TEST_F(JobTest, FolderInTheWayOfTheBackupOrTheInput) {
  WriteFile(Path("a.c"), "int x;\n");
  fs::create_directory(Path("a.c.Backup"));
  fs::create_directory(Path("d.c"));
  const Contents before = Snapshot();
  ProgramRun outcome = Qfmt({"-ia.c"});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.error, "qmft: error: could not open a.c.Backup for write\n");

  outcome = Qfmt({"-id.c"});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.error, "qmft: error: could not open d.c.Backup for write\n");
  EXPECT_EQ(Changes(before, Snapshot()), "");
}

// A full disk: writes to the output fail and, as always, go unreported; the
// backup keeps the text.
TEST_F(JobTest, OutputOnAFullDiskIsNotReportedAndTheBackupKeepsTheText) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string input = "int  x;\n" + std::string(100'000, ';');
  WriteFile(Path("a.c"), input);
  const Contents before = Snapshot();
  const ProgramRun outcome = Qfmt({"-ia.c", "-o/dev/full"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.error, "");
  EXPECT_EQ(Changes(before, Snapshot()), "a.c.Backup");
  EXPECT_EQ(ReadFile(Path("a.c.Backup")), input);
}

// Regression: opening the output emptied the backup that was being read, and
// the output received the formatting of nothing.
TEST_F(JobTest, OutputNamedAsTheBackupIsRefused) {
  WriteFile(Path("a.c"), "int  x;\n");
  for (const std::string output : {"a.c.Backup", "./a.c.Backup"}) {
    fs::remove(Path("a.c.Backup"));
    const Contents before = Snapshot();
    const ProgramRun outcome = Qfmt({"-ia.c", "-o" + output});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.error, "qmft: error: could not open " + output + " for write\n");
    EXPECT_EQ(Changes(before, Snapshot()), "a.c.Backup");
    EXPECT_EQ(ReadFile(Path("a.c.Backup")), "int  x;\n");
  }
}

// Regression: a backup name that reached the input itself (a symbolic or a
// hard link) was emptied by the opening of the backup, and the input with it;
// the run then wrote one line break over the input and ended with status 0.
TEST_F(JobTest, BackupThatIsALinkToTheInputIsNotWritten) {
  WriteFile(Path("s.c"), "int  x;\n");
  fs::create_symlink("s.c", Path("s.c.Backup"));
  WriteFile(Path("h.c"), "int  y;\n");
  fs::create_hard_link(Path("h.c"), Path("h.c.Backup"));
  const Contents before = Snapshot();
  for (const std::string name : {"s.c", "h.c"}) {
    const ProgramRun outcome = Qfmt({"-i" + name});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.error, "qmft: error: could not open " + name + ".Backup for write\n");
  }
  EXPECT_EQ(Changes(before, Snapshot()), "");
}

// A name of 4,000 characters, made of 200-character folders: each component
// stays under the system's 255, the whole path (backup suffix included) under
// its 4,096.
std::string LongRelativeName(char fill) {
  std::string name;
  for (int i = 0; i < 19; ++i) name += std::string(199, fill) + "/";
  return name + std::string(198, 'f') + ".c";
}

TEST_F(JobTest, NamesOf4000Characters) {
  const std::string input = LongRelativeName('n');
  const std::string output = LongRelativeName('m');
  ASSERT_EQ(input.size(), 4000u);
  fs::create_directories(Path(input).parent_path());
  fs::create_directories(Path(output).parent_path());
  WriteFile(Path(input), "int  x;\n");
  EXPECT_EQ(Qfmt({"-i" + input}).status, 0);
  EXPECT_EQ(ReadFile(Path(input)), "int x; \n");
  EXPECT_EQ(ReadFile(Path(input + ".Backup")), "int  x;\n");

  const ProgramRun outcome = Qfmt({"-i" + input, "-o" + output});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.error, "");
  EXPECT_EQ(ReadFile(Path(output)), "int x; \n");
  EXPECT_EQ(ReadFile(Path(input + ".Backup")), "int x; \n");
}

// A component longer than the system's 255 characters cannot be opened: the
// backup is neither written nor readable. The same when only the backup
// suffix makes the name too long: the input stands and stays as it was.
TEST_F(JobTest, NameComponentTooLongForTheSystem) {
  const std::string too_long = std::string(300, 'n') + ".c";
  ProgramRun outcome = Qfmt({"-i" + too_long});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.error, "qmft: error: could not open " + too_long + ".Backup for read\n");
  EXPECT_EQ(Changes({}, Snapshot()), "");

  const std::string at_the_limit = std::string(253, 'n') + ".c";
  WriteFile(Path(at_the_limit), "int  x;\n");
  const Contents before = Snapshot();
  outcome = Qfmt({"-i" + at_the_limit});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.error, "qmft: error: could not open " + at_the_limit + ".Backup for read\n");
  EXPECT_EQ(Changes(before, Snapshot()), "");
}

TEST_F(JobTest, FolderThatRefusesTheBackupStopsBeforeTheOutput) {
  const std::string input = Path("prog.c").string();
  WriteFile(input, "int  x;\n");
  const Contents before = Snapshot();
  FaultyFileSystem files;
  files.refuse_writing = {input + ".Backup"};
  RecordingConsole console;
  EXPECT_EQ(RunJob("qfmt -i" + input, files, console), 2);
  EXPECT_EQ(console.shown, "qmft: error: could not open " + input + ".Backup for read\n");
  EXPECT_EQ(Changes(before, Snapshot()), "");
}

TEST_F(JobTest, StaleBackupThatCannotBeOverwrittenStopsBeforeTheOutput) {
  const std::string input = Path("prog.c").string();
  WriteFile(input, "int  x;\n");
  WriteFile(input + ".Backup", "old text\n");
  const Contents before = Snapshot();
  FaultyFileSystem files;
  files.refuse_writing = {input + ".Backup"};
  RecordingConsole console;
  EXPECT_EQ(RunJob("qfmt -i" + input, files, console), 2);
  EXPECT_EQ(console.shown, "qmft: error: could not open " + input + ".Backup for write\n");
  EXPECT_EQ(Changes(before, Snapshot()), "");
}

TEST_F(JobTest, CopyThatFailsPartWayStopsBeforeTheOutput) {
  const std::string input = Path("prog.c").string();
  const std::string text(1000, ';');
  WriteFile(input, text);
  const Contents before = Snapshot();
  FaultyFileSystem files;
  files.fail_reading = {input};
  RecordingConsole console;
  EXPECT_EQ(RunJob("qfmt -i" + input, files, console), 2);
  EXPECT_EQ(console.shown, "qmft: error: could not open " + input + ".Backup for write\n");
  // The copy went to a temporary file that is gone: nothing changed.
  EXPECT_EQ(Changes(before, Snapshot()), "");
}

TEST_F(JobTest, ReadErrorWhileFormattingStopsWithStatus1) {
  const std::string input = Path("prog.c").string();
  const std::string text(1000, ';');
  WriteFile(input, text);
  FaultyFileSystem files;
  files.fail_reading = {input + ".Backup"};
  RecordingConsole console;
  EXPECT_EQ(RunJob("qfmt -i" + input, files, console), 1);
  EXPECT_EQ(console.shown, "L0048: fread() in PCLEX scanner failed\n");
  EXPECT_EQ(ReadFile(input + ".Backup"), text);
  // The output holds what was written until the error: a prefix of the text
  // formatted in full.
  const std::string output = ReadFile(input);
  EXPECT_TRUE(testing::FormatToString(text).starts_with(output)) << testing::Escaped(output);
}

}  // namespace
}  // namespace qfmt::job
