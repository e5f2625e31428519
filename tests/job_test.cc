#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "job/messages.h"
#include "job/run_job.h"
#include "tests/support/file_support.h"
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
      {Case("CopyThatFailsPartWay", {{"a.c", text}}, {}, 2, OpenErrorLine("a.c.Backup", "write"),
            {{"a.c.Backup", text.substr(0, 600)}}),
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

}  // namespace
}  // namespace qfmt::job
