#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/messages.h"
#include "job/run_job.h"
#include "shell/platform.h"
#include "tests/file_support.h"

// Runs with files: the real executable in a temporary folder, and the job
// in-process over a file system that fails where told to.
namespace qfmt::job {
namespace {

using testing::FaultyFileSystem;
using testing::ReadFile;
using testing::RecordingConsole;
using testing::WriteFile;
namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string error;  // what went to standard error
};

class JobTest : public ::testing::Test {
 protected:
  fs::path Path(std::string_view name) const { return folder_ / name; }

  // Runs qfmt in the folder with the arguments, standard error captured.
  Outcome Qfmt(const std::vector<std::string>& arguments) const {
    const testing::ProgramRun run = testing::RunProgram(QFMT_BINARY, arguments, folder_.path());
    return {run.status, run.error};
  }

  testing::TempFolder folder_;
};

TEST_F(JobTest, FormatsInPlaceAndKeepsTheOldTextInTheBackup) {
  WriteFile(Path("prog.c"), "int  x;");
  const Outcome outcome = Qfmt({"-iprog.c"});
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

  const Outcome outcome = Qfmt({"-imissing.c"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.error, "");
  EXPECT_EQ(ReadFile(Path("missing.c")), "\n");
  EXPECT_TRUE(fs::exists(Path("missing.c.Backup")));
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

TEST_F(JobTest, UsageWithoutAnInputName) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, {"--help"}, {"-i"}, {"-i", "prog.c"}, {"-oout.c"}}) {
    const Outcome outcome = Qfmt(arguments);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.error, kUsageText);
  }
  EXPECT_FALSE(fs::exists(Path("out.c")));
  EXPECT_FALSE(fs::exists(Path("prog.c.Backup")));
}

TEST_F(JobTest, MalformedIndentationStringIsReportedAndTheRunGoesOn) {
  WriteFile(Path("prog.c"), "void f() { x; }\n");
  const Outcome outcome = Qfmt({"-iprog.c", "-t4"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.error, "Improperly formed Indent String: Use -t\" (some number of spaces)\"\n");
  EXPECT_EQ(ReadFile(Path("prog.c")), "void f()\n{\n   x; \n}\n");

  const Outcome without_input = Qfmt({"-t4", "-i"});
  EXPECT_EQ(without_input.error, "Improperly formed Indent String: Use -t\" (some number of spaces)\"\n" +
                                     std::string(kUsageText));
}

TEST_F(JobTest, IndentationAndLengthOptions) {
  WriteFile(Path("prog.c"), "void f() { if (a) x = 1; }\n");
  EXPECT_EQ(Qfmt({"-iprog.c", "-t\t", "-sx"}).status, 0);
  EXPECT_EQ(ReadFile(Path("prog.c")), "void f()\n{\n\tif(a)\n\t\tx = 1; \n}\n");
}

TEST_F(JobTest, BraceWarningsFollowACompleteOutput) {
  WriteFile(Path("open.c"), "void f() {\n");
  Outcome outcome = Qfmt({"-iopen.c"});
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
  const Outcome outcome = Qfmt({"-ilong.c"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.error, "L0029: PCLEX input buffer overflowed\n");
  EXPECT_EQ(ReadFile(Path("long.c")), "a; ");
  EXPECT_EQ(ReadFile(Path("long.c.Backup")), input);
}

TEST_F(JobTest, OutputThatCannotBeOpenedLeavesTheInputAlone) {
  WriteFile(Path("a.c"), "int x;\n");
  const Outcome outcome = Qfmt({"-ia.c", "-onowhere/a.c"});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.error, "qmft: error: could not open nowhere/a.c for write\n");
  EXPECT_EQ(ReadFile(Path("a.c")), "int x;\n");
  EXPECT_EQ(ReadFile(Path("a.c.Backup")), "int x;\n");
}

TEST_F(JobTest, FolderInTheWayOfTheBackupOrTheInput) {
  WriteFile(Path("a.c"), "int x;\n");
  fs::create_directory(Path("a.c.Backup"));
  Outcome outcome = Qfmt({"-ia.c"});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.error, "qmft: error: could not open a.c.Backup for write\n");
  EXPECT_EQ(ReadFile(Path("a.c")), "int x;\n");

  fs::create_directory(Path("d.c"));
  outcome = Qfmt({"-id.c"});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.error, "qmft: error: could not open d.c.Backup for write\n");
  EXPECT_TRUE(fs::is_directory(Path("d.c")));
}

TEST_F(JobTest, FolderThatRefusesTheBackupStopsBeforeTheOutput) {
  const std::string input = Path("prog.c").string();
  WriteFile(input, "int  x;\n");
  FaultyFileSystem files;
  files.refuse_writing = {input + ".Backup"};
  RecordingConsole console;
  EXPECT_EQ(RunJob("qfmt -i" + input, files, console), 2);
  EXPECT_EQ(console.shown, "qmft: error: could not open " + input + ".Backup for read\n");
  EXPECT_EQ(ReadFile(input), "int  x;\n");
}

TEST_F(JobTest, StaleBackupThatCannotBeOverwrittenStopsBeforeTheOutput) {
  const std::string input = Path("prog.c").string();
  WriteFile(input, "int  x;\n");
  WriteFile(input + ".Backup", "old text\n");
  FaultyFileSystem files;
  files.refuse_writing = {input + ".Backup"};
  RecordingConsole console;
  EXPECT_EQ(RunJob("qfmt -i" + input, files, console), 2);
  EXPECT_EQ(console.shown, "qmft: error: could not open " + input + ".Backup for write\n");
  EXPECT_EQ(ReadFile(input), "int  x;\n");
  EXPECT_EQ(ReadFile(input + ".Backup"), "old text\n");
}

TEST_F(JobTest, CopyThatFailsPartWayStopsBeforeTheOutput) {
  const std::string input = Path("prog.c").string();
  const std::string text(1000, ';');
  WriteFile(input, text);
  FaultyFileSystem files;
  files.fail_reading = {input};
  RecordingConsole console;
  EXPECT_EQ(RunJob("qfmt -i" + input, files, console), 2);
  EXPECT_EQ(console.shown, "qmft: error: could not open " + input + ".Backup for write\n");
  EXPECT_EQ(ReadFile(input), text);
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
}

}  // namespace
}  // namespace qfmt::job
