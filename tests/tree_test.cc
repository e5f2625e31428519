#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/source_generator.h"
#include "generated/version.h"
#include "project/settings_file.h"
#include "tests/support/test_support.h"
#include "tree/command_line.h"
#include "tree/file_walk.h"
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

// Formatting changes these; "int  x;" becomes "int x;" and a line feed.
const std::string kMessy = "int  x;", kFormatted = "int x;\n";
// The modern style puts an access label at the class's level and a member one
// unit in (four blanks where the file shows no unit of its own).
const std::string kLabel = "class A {\npublic:\nint x;\n};\n";
const std::string kLabelModern = "class A {\npublic:\n    int x;\n};\n";
// In the classic style a label alternates between the indented position (a
// label line at the start of its line) and the start of the line (after the
// blanks of an indented one): the first text on that cycle is the settled one.
const std::string kLabelIndented = "class A\n{\n   public:\n   int x;\n};\n";
const std::string kLabelNot = "class A\n{\npublic:\n   int x;\n};\n";
// A comment too long for the line: broken before, and its leading line feed
// kept; the next pass keeps two and breaks again, and then nothing changes.
const std::string kComment = "/*" + std::string(1100, 'c') + "*/";
const std::string kLongComment = "int  a;\n" + kComment + "\nint  b;\n";
const std::string kLongCommentSettled = "int a;\n\n\n" + kComment + "\nint b;\n";

// What --list and --check say of a file that would change.
std::string NotFormatted(const std::string& path, int line, int column) {
  return path + ":" + std::to_string(line) + ":" + std::to_string(column) +
         ": error: not formatted (qfmt-tree -w " + path + ")\n";
}

// The classic rules split "10U" into "10 U"; the modern ones keep it, and the
// token check refuses what the classic ones make of it.
const std::string kSuffix = "long  x = 10U;\n", kSuffixModern = "long x = 10U;\n",
                  kSuffixClassic = "long x = 10 U; \n";
const std::string kRefused = ":1:11: error: formatting would change the code here (10U \u2192 10 U)\n";
const std::string kBinary("int x;\0\x01", 8);
const std::string kBinaryPassedOver = ": binary file (NUL byte at offset 6), left as it is\n";

std::vector<testing::ProgramCase> ExecutableCases() {
  Contents walk;
  for (const char* name :
       {"a.c",   "b.h",         "c.cc",     "d.cpp", "e.cxx",   "f.c++",     "g.hh",          "h.hpp",
        "i.hxx", "j.h++",       "k.inl",    "l.ipp", "m.tcc",   "notes.txt", "Makefile",      "x.c.Backup",
        "a.C",   ".hidden/n.c", ".git/o.c", ".p.c",  "sub/q.c", "sub/r.txt", "elsewhere/s.c", "a.cs"}) {
    walk["src/" + std::string(name)] = kMessy;
  }
  // Links are passed over; what they lead to is met under its own name.
  walk["src/linked"] = "<link to ../other>";
  walk["src/alias.c"] = "<link to sub/q.c>";
  walk["src/t.c"] = "<link to elsewhere/s.c>";
  walk["other/w.c"] = walk["other/.hidden/u.c"] = walk["notes.txt"] = walk["v.c.Backup"] = kMessy;
  std::string walked = NotFormatted("other/.hidden/u.c", 1, 5);
  for (const char* name : {"a.C", "a.c", "b.h", "c.cc", "d.cpp", "e.cxx", "elsewhere/s.c", "f.c++", "g.hh",
                           "h.hpp", "i.hxx", "j.h++", "k.inl", "l.ipp", "m.tcc", "sub/q.c"}) {
    walked += NotFormatted("src/" + std::string(name), 1, 5);
  }
  const std::string passed_over = ": " + std::string(kNotSourceName) + "\n";
  const std::string kTabsForC = "root = true\n[*.c]\nindent_style = tab\n";
  const std::string kLabelInTabs = "class A {\npublic:\n\tint x;\n};\n";
  const Contents two = {{"t/messy.c", kLabel}, {"t/settled.c", kFormatted}};
  const Contents long_token = {{"t/long.c", kLongComment}, {"t/other.c", kMessy}};
  const std::string diff =
      "--- a/t/messy.c\n+++ b/t/messy.c\n@@ -1,4 +1,4 @@\n class A {\n public:\n-int x;\n+    int x;\n };\n";
  const std::string too_long = ": error: token longer than 512 bytes at line 2, column 1\n";
  return {
      // Paths are taken by name, a hidden folder too; other names are passed
      // over, each with a message, so that a hook can hand over every name.
      Case("WalksFoldersForCAndCppFiles", walk,
           {"-l", "src", "notes.txt", "v.c.Backup", "missing.c", "other/.hidden"}, kExitFileError,
           "missing.c: error: cannot read: No such file or directory\nnotes.txt" + passed_over +
               "v.c.Backup" + passed_over +
               "checked 17 files: 17 would change, 2 skipped, 1 error, 0.0 MB in #.## s\n",
           {}, "", walked),
      Case("AssumeFilenameTakesAnyName", {{"notes.txt", kMessy}},
           {"-l", "-q", "--assume-filename", "x.c", "notes.txt"}, kExitWouldChange, "", {}, "",
           NotFormatted("notes.txt", 1, 5)),
      Case(
          "FilesThatCannotBeRead",
          {{"t/a.c", kMessy}, {"t/fifo.c", "<fifo>"}, {"t/gone.c", "<link to nowhere.c>"}, {"t/z.c", kMessy}},
          {"-l", "-q", "t", "t/gone.c"}, kExitFileError,
          "t/fifo.c: error: not a regular file\nt/gone.c: error: cannot read: No such file or directory\n",
          {}, "", NotFormatted("t/a.c", 1, 5) + NotFormatted("t/z.c", 1, 5)),
      Case("StandardInput", {}, {"-"}, kExitOk, "", {}, "int x;\r\nint  y;\r\n", "int x;\r\nint y;\r\n"),
      Case("StandardInputWithStyleOptions", {}, {"-m", "30", "--indent", "\\t", "--brace-style", "break"},
           kExitOk, "", {}, kLabel, "class A\n{\npublic:\n\tint x;\n};\n"),
      // The style from .editorconfig, and from the command line, which wins.
      Case("StyleFromEditorConfig", {{".editorconfig", "root = true\n[*.c]\nqfmt_style = classic\n"}},
           {"--stdin-filename", "x.c"}, kExitOk, "", {}, kLabel, kLabelIndented),
      Case("StyleFromTheCommandLine", {{".editorconfig", "root = true\n[*.c]\nqfmt_style = classic\n"}},
           {"--stdin-filename", "x.c", "--style", "modern"}, kExitOk, "", {}, kLabel, kLabelModern),
      Case("StyleExactIsTheClassicRules", {}, {"--style", "exact", "--no-verify", "--once"}, kExitOk, "", {},
           kSuffix, kSuffixClassic),
      Case("ABadStyleInEditorConfig", {{".editorconfig", "root = true\n[*.c]\nqfmt_style = gnu\n"}},
           {"--stdin-filename", "x.c"}, kExitFileError,
           "x.c: error: .editorconfig [*.c]: qfmt_style = gnu: modern, classic or exact is needed\n", {},
           kLabel, kLabel),
      // Standard input takes its settings and its name in messages from --stdin-filename.
      Case("StandardInputNamedForItsSettings", {{".editorconfig", kTabsForC}},
           {"--stdin-filename", "src/x.c"}, kExitOk, "", {}, kLabel, kLabelInTabs),
      Case("StandardInputOfAnAssumedKind", {{".editorconfig", kTabsForC}}, {"--assume-filename", "y.c"},
           kExitOk, "", {}, kLabel, kLabelInTabs),
      Case("StandardInputNamedAsNoSourceComesBack", {}, {"--stdin-filename", "notes.txt"}, kExitOk,
           "notes.txt" + passed_over, {}, kLabel, kLabel),
      Case("StandardInputNamedInCheck", {}, {"--check", "--stdin-filename", "src/x.c"}, kExitWouldChange, "",
           {}, kMessy, "src/x.c:1:5: error: not formatted\n"),
      Case("StandardInputWithABadSetting", {{".editorconfig", "root = true\n[*.c]\nindent_size = many\n"}},
           {"--stdin-filename", "x.c"}, kExitFileError,
           "x.c: error: .editorconfig [*.c]: indent_size = many: a whole number from 1 to 64 is needed\n", {},
           kLabel, kLabel),
      Case("StandardInputChecked", {}, {"--check"}, kExitWouldChange, "", {}, kMessy,
           "<stdin>:1:5: error: not formatted\n"),
      Case("StandardInputDiff", {}, {"-d"}, kExitOk, "", {}, kMessy,
           "--- a/<stdin>\n+++ b/<stdin>\n@@ -1 +1 @@\n-int  x;\n\\ No newline at end of file\n+int x;\n"),
      // An editor that replaces its text with the output keeps it as it was.
      Case("StandardInputThatCannotBeFormattedComesBack", {}, {"--style", "classic", "--classic-limit"},
           kExitFileError, "<stdin>" + too_long, {}, kLongComment, kLongComment),
      Case("SettledTexts", two, {"--style", "classic", "t"}, kExitOk,
           "formatted 2 files: 1 would change, 0 errors, 0.0 MB in #.## s\n", {}, "",
           kLabelIndented + kFormatted),
      Case("OnePassWithOnce", {{"t/label.c", kLabelIndented}}, {"--style", "classic", "--once", "-q", "t"},
           kExitOk, "", {}, "", kLabelNot),
      Case("ModernIsOnePassAlways", {{"t/label.c", kLabel}}, {"--once", "-q", "t"}, kExitOk, "", {}, "",
           kLabelModern),
      // The member's line is the first that differs.
      Case("List", two, {"--list", "-q", "t"}, kExitWouldChange, "", {}, "", NotFormatted("t/messy.c", 3, 1)),
      Case("Check", two, {"--check", "-q", "t"}, kExitWouldChange, "", {}, "",
           NotFormatted("t/messy.c", 3, 1)),
      Case("Diff", two, {"-d", "-q", "t"}, kExitOk, "", {}, "", diff),
      Case("DiffNamesWithoutADotSlash", two, {"-d", "-q", "./t/messy.c"}, kExitOk, "", {}, "", diff),
      Case("WriteListAndKeepTheClassicBackup", two, {"-w", "-l", "--backup", "-q", "t"}, kExitWouldChange, "",
           {{"t/messy.c", kLabelModern}, {"t/messy.c.Backup", kLabel}}, "",
           "t/messy.c:3:1: note: formatted\n"),
      Case("WritesThroughASymbolicLinkWhichStaysALink",
           {{"real/target.c", kMessy}, {"src/link.c", "<link to ../real/target.c>"}},
           {"-w", "-q", "src/link.c"}, kExitOk, "", {{"real/target.c", kFormatted}}),
      // Regression: -w gave a file a new inode, so its other names kept the old text.
      Case("EveryNameOfAFileSeesTheNewText", {{"x.c", kMessy}, {"y.c", "<hard link to x.c>"}},
           {"-w", "-q", "x.c"}, kExitOk, "", {{"x.c", kFormatted}, {"y.c", kFormatted}}),
      Case("LongTokenFormatsByDefault", long_token, {"-w", "-q", "--style", "classic", "t"}, kExitOk, "",
           {{"t/long.c", kLongCommentSettled}, {"t/other.c", kFormatted}}),
      Case("LongTokenIsAnErrorWithTheClassicLimit", long_token,
           {"-w", "--style", "classic", "--classic-limit", "t"}, kExitFileError,
           "t/long.c" + too_long + "formatted 1 file: 1 changed, 1 error, 0.0 MB in #.## s\n",
           {{"t/other.c", kFormatted}}),
      // The token check, in every mode; --no-verify gives the classic text.
      Case("ModernRulesKeepTheTokens", {{"a.c", kSuffix}}, {"-w", "-q", "a.c"}, kExitOk, "",
           {{"a.c", kSuffixModern}}),
      Case("ClassicTextThatChangesTheTokensIsNotWritten", {{"a.c", kSuffix}},
           {"--classic", "-w", "-q", "a.c"}, kExitFileError, "a.c" + kRefused, {}),
      Case("ClassicTextThatChangesTheTokensIsNotChecked", {{"a.c", kSuffix}},
           {"--classic", "--check", "-q", "a.c"}, kExitFileError, "a.c" + kRefused, {}),
      Case("ClassicTextThatChangesTheTokensIsNotPrinted", {{"a.c", kSuffix}}, {"--classic", "-q", "a.c"},
           kExitFileError, "a.c" + kRefused, {}),
      Case("NoVerifyPrintsTheClassicText", {{"a.c", kSuffix}},
           {"--classic", "--no-verify", "--once", "-q", "a.c"}, kExitOk, "", {}, "", kSuffixClassic),
      Case("NoVerifyWritesTheClassicText", {{"a.c", kSuffix}},
           {"--classic", "--no-verify", "-w", "-q", "a.c"}, kExitOk, "", {{"a.c", kSuffixClassic}}),
      // An editor that filters its buffer keeps it when the check refuses it.
      Case("StandardInputThatWouldChangeItsTokensComesBack", {}, {"--classic"}, kExitFileError,
           "<stdin>" + kRefused, {}, kSuffix, kSuffix),
      // The first token that differs, in the input's lines and columns (CR LF as it stands).
      Case("RefusalNamesThePlaceInTheFile", {{"b.cc", "int a;\r\n// x\r\nauto c = a <=> b;\r\n"}},
           {"--classic", "--check", "-q", "b.cc"}, kExitFileError,
           "b.cc:3:12: error: formatting would change the code here (<=> \u2192 <= >)\n", {}),
      Case("BinaryFileIsPassedOver", {{"bin.c", kBinary}, {"ok.c", kSuffixModern}},
           {"--check", "bin.c", "ok.c"}, kExitOk,
           "bin.c" + kBinaryPassedOver +
               "checked 1 file: 0 would change, 1 skipped, 0 errors, 0.0 MB in #.## s\n",
           {}),
      Case("BinaryFileIsNotWritten", {{"bin.c", kBinary}}, {"-w", "-q", "bin.c"}, kExitOk,
           "bin.c" + kBinaryPassedOver, {}),
      Case("BinaryStandardInputComesBack", {}, {}, kExitOk, "<stdin>" + kBinaryPassedOver, {}, kBinary,
           kBinary),
      // The classic rules format whatever they are given, as qfmt does.
      Case("ClassicRulesFormatABinaryFile", {{"bin.c", kBinary}},
           {"--classic", "--no-verify", "--once", "-q", "bin.c"}, kExitOk, "", {}, "",
           std::string("int x; \0\x01\n", 10)),
      // Only the statements of the lines asked for; the other lines as they were.
      Case("LinesOfStandardInput", {}, {"--lines", "2:2"}, kExitOk, "", {},
           kMessy + "\n" + kMessy + "\n" + kMessy, kMessy + "\n" + kFormatted + kMessy),
      Case("LinesOfAFileWritten", {{"a.c", kMessy + "\n" + kMessy}}, {"-w", "-q", "--lines", "1", "a.c"},
           kExitOk, "", {{"a.c", kFormatted + kMessy}}),
      Case("LinesChecked", {{"a.c", kFormatted + kMessy + "\n"}}, {"--check", "-q", "--lines", "2:9", "a.c"},
           kExitWouldChange, "", {}, "", "a.c:2:5: error: not formatted (qfmt-tree --lines 2:9 -w a.c)\n"),
      Case("LinesThatAreFormatted", {{"a.c", kFormatted + kMessy + "\n"}},
           {"--check", "-q", "--lines", "1", "a.c"}, kExitOk, "", {}),
      Case("LinesOfAFolder", {{"t/a.c", kMessy}}, {"--lines", "1", "-l", "t"}, kExitUsage,
           "qfmt-tree: --lines goes with one file, and t is a folder\n" + std::string(kShortUsage), {}),
      // GitHub's workflow commands, with ',' and ':' escaped in the file's name.
      Case("GithubAnnotations", {{"x,y.c", kMessy}, {"b.c", kSuffix}},
           {"--format=github", "--classic", "--check", "-q", "x,y.c", "b.c", "missing.c"}, kExitFileError,
           "::error file=b.c,line=1,col=11::formatting would change the code here (10U \u2192 10 U)\n"
           "::error file=missing.c::cannot read: No such file or directory\n",
           {}, "", "::error file=x%2Cy.c,line=1,col=5::not formatted (qfmt-tree -w x,y.c)\n"),
      Case("GithubNoticeOfAFileWritten", {{"a.c", kMessy}}, {"--format", "github", "-w", "-l", "-q", "a.c"},
           kExitWouldChange, "", {{"a.c", kFormatted}}, "", "::notice file=a.c,line=1,col=5::formatted\n"),
      Case("ColoredCheckLines", {{"a.c", kMessy}}, {"--color", "-l", "-q", "a.c"}, kExitWouldChange, "", {},
           "", "\x1b[1ma.c:1:5:\x1b[m \x1b[1;31merror:\x1b[m not formatted (qfmt-tree -w a.c)\n"),
      Case("ColoredDiff", {{"a.c", kMessy}}, {"--color=always", "-d", "-q", "a.c"}, kExitOk, "", {}, "",
           "\x1b[1m--- a/a.c\x1b[m\n\x1b[1m+++ b/a.c\x1b[m\n\x1b[36m@@ -1 +1 @@\x1b[m\n\x1b[31m-int  "
           "x;\x1b[m\n"
           "\\ No newline at end of file\n\x1b[32m+int x;\x1b[m\n"),
      // The paths of a file: lines with or without CR, or NUL-ended ones from standard input.
      Case("FilesFrom",
           {{"list", "a.c\r\n\nsub/b.c\n"}, {"a.c", kMessy}, {"sub/b.c", kMessy}, {"c.c", kMessy}},
           {"--files-from", "list", "-l", "-q"}, kExitWouldChange, "", {}, "",
           NotFormatted("a.c", 1, 5) + NotFormatted("sub/b.c", 1, 5)),
      Case("FilesFromStandardInput", {{"a b.c", kMessy}, {"sub/b.c", kMessy}},
           {"--files-from=-", "-0", "-l", "-q"}, kExitWouldChange, "", {},
           std::string("a b.c\0sub/b.c\0", 14), NotFormatted("a b.c", 1, 5) + NotFormatted("sub/b.c", 1, 5)),
      Case("FilesFromAMissingFile", {}, {"--files-from", "nope", "-l"}, kExitFileError,
           "qfmt-tree: error: --files-from: cannot read nope\n", {}),
      // What became of every file, and what the walk passed over.
      Case("Verbose",
           {{"t/a.c", kMessy},
            {"t/b.c", kFormatted},
            {"t/gen/c.c", kMessy},
            {"t/.hidden/d.c", kMessy},
            {"t/lnk", "<link to gen>"},
            {"t/notes.txt", kMessy}},
           {"-v", "--check", "-q", "--exclude", "gen", "t"}, kExitWouldChange,
           "t/.hidden: hidden\nt/a.c: would change\nt/b.c: unchanged\nt/gen: excluded (--exclude)\n"
           "t/lnk: a link to a folder, not followed\n",
           {}, "", NotFormatted("t/a.c", 1, 5)),
      Case("VerboseWrite", {{"a.c", kMessy}}, {"-v", "-w", "-q", "a.c"}, kExitOk, "a.c: formatted\n",
           {{"a.c", kFormatted}}),
      // A folder named that gives nothing says why.
      Case("NothingTakenFromAFolder", {{"gen/a.c", kMessy}}, {"--check", "--exclude", "*.c", "gen"}, kExitOk,
           "gen: nothing taken from this folder: --exclude leaves out all that it holds\n"
           "checked 0 files: 0 would change, 1 skipped, 0 errors, 0.0 MB in #.## s\n",
           {}),
      // Regression: -w rewrote ../keys through proj/util.c, and an excluded
      // file through a link that led into it.
      Case("WalksPassOverLinksToFiles",
           {{"proj/a.c", kMessy},
            {"keys", kMessy},
            {"proj/util.c", "<link to ../keys>"},
            {"proj/third/x.c", kMessy},
            {"proj/x.c", "<link to third/x.c>"}},
           {"-w", "-q", "--exclude", "third", "proj"}, kExitOk, "", {{"proj/a.c", kFormatted}}),
      // Regression: a write in place cut short by SIGKILL left a file that
      // the next run formatted as if it were whole.
      Case("CopyOfAnEarlierTextStopsTheFile",
           {{"t/x.c", "int  x;\nin"}, {"t/.x.c.qfmt-earlier-text", kMessy + "\nint  y;"}, {"t/y.c", kMessy}},
           {"-w", "-q", "t"}, kExitFileError,
           "t/x.c: error: an earlier run was cut short while it wrote this file in place, and kept its "
           "earlier "
           "text in t/.x.c.qfmt-earlier-text; compare the two, keep the right text under t/x.c and remove "
           "t/.x.c.qfmt-earlier-text; left as it is until then\n",
           {{"t/y.c", kFormatted}}),
      // Regression: these hung (the FIFO also from an editor's save hook), and
      // an unreadable file was skipped; a file below "root = true" is not
      // governed by one above it.
      Case("EditorConfigThatIsAFifo",
           {{"p/.editorconfig", "<fifo>"},
            {"p/a.c", kMessy},
            {"p/q/.editorconfig", "root = true\n"},
            {"p/q/b.c", kMessy}},
           {"-w", "-q", "p"}, kExitFileError,
           "p/a.c: error: cannot read p/.editorconfig: not a regular file\n", {{"p/q/b.c", kFormatted}}),
      Case("EditorConfigThatIsAFifoAboveStandardInput", {{".editorconfig", "<fifo>"}},
           {"--stdin-filename", "x.c"}, kExitFileError,
           "x.c: error: cannot read .editorconfig: not a regular file\n", {}, kMessy, kMessy),
      Case("EditorConfigThatLeadsToADevice", {{".editorconfig", "<link to /dev/zero>"}, {"a.c", kMessy}},
           {"-w", "-q", "a.c"}, kExitFileError, "a.c: error: cannot read .editorconfig: not a regular file\n",
           {}),
      Case("EditorConfigOfMoreThanOneMiB",
           {{".editorconfig", "#" + std::string(project::kMaxSettingsFileSize, ' ')}, {"a.c", kMessy}},
           {"-w", "-q", "a.c"}, kExitFileError,
           "a.c: error: cannot read .editorconfig: larger than 1 MiB, the limit for settings files\n", {}),
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

// Runs qfmt-tree in `folder` with its standard streams on a terminal, where
// `typed` is typed (Ctrl-D, "\x04", ends standard input), and NO_COLOR set
// when `no_color`; its status and what the terminal shows, where every line
// feed becomes CR LF.
std::pair<int, std::string> OnTerminal(const std::vector<const char*>& arguments, const fs::path& folder,
                                       std::string_view typed = {}, bool no_color = false) {
  int master = -1, slave = -1;
  EXPECT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  std::vector<const char*> argv = {QFMT_TREE_BINARY};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(master);
    if (no_color) ::setenv("NO_COLOR", "1", 1);
    if (::dup2(slave, STDIN_FILENO) >= 0 && ::dup2(slave, STDOUT_FILENO) >= 0 &&
        ::dup2(slave, STDERR_FILENO) >= 0 && ::chdir(folder.c_str()) == 0) {
      ::execv(QFMT_TREE_BINARY, const_cast<char* const*>(argv.data()));
    }
    ::_exit(127);
  }
  ::close(slave);
  if (!typed.empty()) {
    EXPECT_EQ(::write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  }
  std::string terminal;
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
    terminal.append(buffer, static_cast<std::size_t>(n));
  ::close(master);
  int wait_status = 0;
  ::waitpid(pid, &wait_status, 0);
  return {WEXITSTATUS(wait_status), terminal};
}

// On a terminal, standard error shows the progress line and erases it before
// the summary, and the check lines are coloured (unless NO_COLOR says not
// to); elsewhere they are plain and standard error holds the summary alone
// (the tests above). Standard input read from a terminal says so first.
TEST(TreeTest, OnATerminal) {
  const testing::TempFolder folder;
  testing::WriteFile(folder / "t/a.c", kMessy);
  testing::WriteFile(folder / "t/b.c", kMessy);
  const auto [status, terminal] = OnTerminal({"-l", "t"}, folder.path());
  EXPECT_EQ(status, kExitWouldChange);
  const std::size_t summary = terminal.rfind(" \rchecked 2 files: 2 would change, 0 errors, ");
  EXPECT_EQ(terminal.find(" of 2 files, "), 1u) << testing::Escaped(terminal);
  EXPECT_LT(terminal.find(" MB/s\r "), summary) << testing::Escaped(terminal);
  EXPECT_TRUE(terminal.ends_with(" s\r\n")) << testing::Escaped(terminal);
  EXPECT_NE(terminal.find("\x1b[1mt/b.c:1:5:\x1b[m \x1b[1;31merror:\x1b[m not formatted"), std::string::npos)
      << testing::Escaped(terminal);
  EXPECT_EQ(OnTerminal({"-l", "t"}, folder.path(), {}, true).second.find('\x1b'), std::string::npos);

  const auto [input_status, input] = OnTerminal({}, folder.path(), "int  x;\n\x04");
  EXPECT_EQ(input_status, kExitOk);
  // The terminal echoes what is typed, too.
  EXPECT_NE(input.find("qfmt-tree: reading the text to format from standard input; Ctrl-D ends it"),
            std::string::npos)
      << testing::Escaped(input);
  EXPECT_TRUE(input.ends_with("int x;\r\n")) << testing::Escaped(input);
}

// Every second header of this machine and generated C++20: no file's tokens
// change (no error of any kind), where the classic rules' check refuses many;
// the diffs do not depend on the number of jobs; the written text ends no line
// with a blank, and --check passes right after -w, which leaves no temporary
// file; and patch takes the diffs back, to the files as they were.
TEST(TreeCorpusTest, SystemHeadersAndGeneratedCpp20) {
  const testing::TempFolder folder;
  // A sanitized executable is slow: that build takes every eighth header.
#ifdef QFMT_SANITIZED_BUILD
  const std::vector<fs::path> headers = testing::SystemHeaders(8);
#else
  const std::vector<fs::path> headers = testing::SystemHeaders(2);
#endif
  ASSERT_GT(headers.size(), 100u);
  Contents originals;
  for (const fs::path& header : headers)
    originals["include/" + header.lexically_relative("/usr/include").string()] = ReadFile(header);
  for (std::uint64_t seed = 1; seed <= 20; ++seed)
    originals["include/generated" + std::to_string(seed) + ".cc"] =
        bench::GeneratedText(20000, seed, /*cpp20=*/true);
  for (const auto& [name, text] : originals) testing::WriteFile(folder / name, text);
  const ProgramRun one = testing::RunTreeProgram({"-j", "1", "-q", "-d", "include"}, folder.path());
  const ProgramRun eight = testing::RunTreeProgram({"-j", "8", "-q", "-d", "include"}, folder.path());
  EXPECT_EQ(one.error, "");
  EXPECT_TRUE(one.status == eight.status && one.out == eight.out && one.error == eight.error);
  const ProgramRun classic =
      testing::RunTreeProgram({"--classic", "--check", "-q", "include"}, folder.path());
  std::size_t refused = 0;
  for (std::size_t at = 0; at < classic.error.size(); at = classic.error.find('\n', at) + 1, ++refused)
    EXPECT_NE(classic.error.find(": error: formatting would change the code here (", at), std::string::npos);
  EXPECT_GT(refused, originals.size() / 50) << "the classic rules' check refused too few files";
  // Eight jobs: the syncs of the rewritten files wait on the disk, not on a core.
  const ProgramRun write = testing::RunTreeProgram({"-w", "-q", "-j", "8", "include"}, folder.path());
  ASSERT_EQ(write.status, kExitOk) << write.error;
  const ProgramRun check = testing::RunTreeProgram({"--check", "-q", "include"}, folder.path());
  EXPECT_EQ(check.status, kExitOk);
  EXPECT_EQ(check.out.substr(0, 2000) + check.error, "");
  const Contents written = testing::FilesIn(folder / "include");
  for (const auto& [name, text] : written)
    EXPECT_TRUE(text.find(" \n") == std::string::npos && text.find("\t\n") == std::string::npos) << name;
  EXPECT_EQ(testing::RunProgram("/usr/bin/patch", {"-R", "-p1", "--quiet"}, folder.path(), one.out).status,
            0);
  Contents restored;
  for (const auto& [name, text] : testing::FilesIn(folder / "include"))
    if (text != "<folder>") restored["include/" + name] = text;
  EXPECT_TRUE(restored == originals) << "a file was not restored, or a temporary file was left behind";
}

// The safe write in process, over files in memory: each failure is reported
// and leaves the file as it was (or as another program left it), and no other
// file.
TEST(TreeWriteTest, FailuresLeaveTheFileAsItWasAndNoTemporaryFile) {
  using testing::MemoryFileSystem;
  using Fault = std::function<void(MemoryFileSystem&)>;
  const std::string changed = " changed while it was being formatted; left as it is";
  const std::string edited = "int  edited;\n";
  // An editor saves once, in place or by a rename.
  const auto save_in_place = [&](MemoryFileSystem& f) {
    return [&f, &edited, saved = false]() mutable {
      if (!std::exchange(saved, true)) {
        EXPECT_TRUE(f.OpenForWriting("t/x.c")->Write(edited.data(), edited.size()));
      }
    };
  };
  const auto save_by_rename = [&](MemoryFileSystem& f) {
    return [&f, &edited, saved = false]() mutable {
      if (!std::exchange(saved, true)) (void)f.Remove("t/x.c"), f.AddFile("t/x.c", edited);
    };
  };
  const auto hard_link = [](MemoryFileSystem& f, int failures) {
    f.AddLink("t/x.c", "t/y.c");
    f.faults.rewrites_to_fail = failures;
  };
  const struct {
    const char* name;
    Fault fault;
    std::string error;  // after "t/x.c: error:"
    Contents left;      // what stands in t afterwards
  } cases[] = {
      {"Written", [](MemoryFileSystem&) {}, "", {{"t/x.c", kFormatted}}},
      {"NoTemporaryFileAllowed",
       [](MemoryFileSystem& f) { f.faults.refuse_temp_in = "t"; },
       " cannot create a temporary file in t: Permission denied",
       {{"t/x.c", kMessy}}},
      {"WriteFails",
       [](MemoryFileSystem& f) { f.faults.fail_temp_writes = true; },
       " could not write t/.x.c.qfmt-1",
       {{"t/x.c", kMessy}}},
      {"SyncFails",
       [](MemoryFileSystem& f) { f.faults.fail_sync = true; },
       " could not sync t/.x.c.qfmt-1: Input/output error",
       {{"t/x.c", kMessy}}},
      {"ShortWrite",
       [](MemoryFileSystem& f) { f.faults.drop_last_byte = true; },
       " t/.x.c.qfmt-1 did not read back as written",
       {{"t/x.c", kMessy}}},
      {"RenameRefused",
       [](MemoryFileSystem& f) { f.faults.refuse_rename_to = "t/x.c"; },
       " could not rename t/.x.c.qfmt-1 to t/x.c: Read-only file system",
       {{"t/x.c", kMessy}}},
      // Regression: a user who could write the folder but not the file replaced it.
      {"NotWritable",
       [](MemoryFileSystem& f) { f.faults.refuse_writing = "t/x.c"; },
       " not writable, left as it is",
       {{"t/x.c", kMessy}}},
      {"BackupRefused",
       [](MemoryFileSystem& f) { f.faults.refuse_writing = "t/x.c.Backup"; },
       " could not write the backup t/x.c.Backup; left as it is",
       {{"t/x.c", kMessy}}},
      {"AttributesThatCannotBeCopied",
       [](MemoryFileSystem& f) { f.faults.attributes_refused_from = "t/x.c"; },
       " could not copy the extended attributes (user.note: Operation not supported); left as it is",
       {{"t/x.c", kMessy}}},
      // Changed behind the program's back after it was read: only in size,
      // only in inode (replaced), only in modification time; where names
      // cannot be exchanged, so that the check before the rename is all.
      {"Grown",
       [](MemoryFileSystem& f) {
         f.faults.cannot_exchange = true;
         f.faults.after_read = [&f](auto&) { f.AddFile("t/x.c", "int  xy;"); };
       },
       changed,
       {{"t/x.c", "int  xy;"}}},
      {"Replaced",
       [](MemoryFileSystem& f) {
         f.faults.cannot_exchange = true;
         f.faults.after_read = [&f](auto&) { (void)f.Remove("t/x.c"), f.AddFile("t/x.c", kMessy); };
       },
       changed,
       {{"t/x.c", kMessy}}},
      {"Rewritten",
       [](MemoryFileSystem& f) {
         f.faults.cannot_exchange = true;
         f.faults.after_read = [&f](auto&) { ++f.clock_ns, f.AddFile("t/x.c", "int  y;"); };
       },
       changed,
       {{"t/x.c", "int  y;"}}},
      // Regression: an edit saved while the temporary file was written and
      // synced, or in the instant before it took the file's place, was lost.
      {"SavedInPlaceDuringTheSync",
       [&](MemoryFileSystem& f) { f.faults.before_sync = save_in_place(f); },
       changed,
       {{"t/x.c", edited}}},
      {"SavedByARenameDuringTheSync",
       [&](MemoryFileSystem& f) { f.faults.before_sync = save_by_rename(f); },
       changed,
       {{"t/x.c", edited}}},
      {"SavedInPlaceAsNamesAreExchanged",
       [&](MemoryFileSystem& f) { f.faults.before_exchange = save_in_place(f); },
       changed,
       {{"t/x.c", edited}}},
      {"SavedByARenameAsNamesAreExchanged",
       [&](MemoryFileSystem& f) { f.faults.before_exchange = save_by_rename(f); },
       changed,
       {{"t/x.c", edited}}},
      // A file of two names is written in place: a write that fails puts the
      // old text back; when that fails too, the temporary file that the
      // error names keeps it.
      {"HardLinkedWritten",
       [&](MemoryFileSystem& f) { hard_link(f, 0); },
       "",
       {{"t/x.c", kFormatted}, {"t/y.c", kFormatted}}},
      {"WriteInPlaceFails",
       [&](MemoryFileSystem& f) { hard_link(f, 1); },
       " could not write in place (a write failed); its text is as it was",
       {{"t/x.c", kMessy}, {"t/y.c", kMessy}}},
      {"WriteInPlaceAndPutBackFail",
       [&](MemoryFileSystem& f) { hard_link(f, 2); },
       " could not write in place (a write failed); its old text is in t/.x.c.qfmt-earlier-text",
       {{"t/x.c", kMessy}, {"t/y.c", kMessy}, {"t/.x.c.qfmt-earlier-text", kMessy}}},
      // Regression: running out of memory on one file ended the whole run.
      {"OutOfMemory",
       [](MemoryFileSystem& f) {
         f.faults.exhausts_memory = "t/x.c";
         f.AddFile("t/y.c", kMessy);
       },
       " not enough memory to format it; left as it is",
       {{"t/x.c", kMessy}, {"t/y.c", kFormatted}}},
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
    Contents left = files.Files();
    left.erase("t");
    EXPECT_EQ(left, c.left) << c.name;
    if (c.error.empty()) {  // synced, with the permission bits of the file it replaced
      EXPECT_TRUE(files.Find("t/x.c")->synced) << c.name;
      EXPECT_EQ(files.Find("t/x.c")->permissions, 0751u) << c.name;
    }
  }
}

// What qfmt-tree -w does to people's files in hostile situations, on real
// files: extended attributes, files the user may not write, hard links,
// signals, and files whose formatting explodes. Each case checks which files
// there are afterwards and what they hold.
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
  testing::WriteFile(Path("x.c"), kMessy);
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
  EXPECT_EQ(testing::FilesIn(folder_.path()), (Contents{{"x.c", kFormatted}}));
  EXPECT_EQ(attributes(), before);
}

// Regression: a user who could write the folder but not the file replaced
// root's file with one of their own. A file the user may write, whose owner
// they cannot give a new file, is written in place and keeps its owner.
TEST_F(TreeSafetyTest, FilesOfOthersAreWrittenOnlyWhereTheUserMayWriteThem) {
  if (::geteuid() != 0 || testing::NobodyUid() == static_cast<uid_t>(-1))
    GTEST_SKIP() << "the program must run as another user: root is needed";
  fs::permissions(folder_.path(), fs::perms::all);
  testing::WriteFile(Path("theirs.c"), kMessy);
  testing::WriteFile(Path("shared.c"), kMessy);
  fs::permissions(Path("shared.c"), fs::perms(0664));
  ASSERT_EQ(::chown(Path("shared.c").c_str(), 0, testing::NobodyUid()), 0);  // nobody's group may write it
  testing::Child run(QFMT_TREE_BINARY, {"-w", "-q", "theirs.c", "shared.c"}, folder_.path(),
                     {.as_nobody = true});
  EXPECT_EQ(run.Wait(), kExitFileError);
  EXPECT_EQ(run.Error(), "theirs.c: error: not writable, left as it is\n");
  EXPECT_EQ(testing::FilesIn(folder_.path()), (Contents{{"shared.c", kFormatted}, {"theirs.c", kMessy}}));
  struct stat theirs {
  }, shared{};
  ASSERT_EQ(::stat(Path("theirs.c").c_str(), &theirs), 0);
  ASSERT_EQ(::stat(Path("shared.c").c_str(), &shared), 0);
  EXPECT_EQ(theirs.st_uid, 0u);
  EXPECT_EQ(shared.st_uid, 0u);
  EXPECT_EQ(shared.st_mode & 07777, 0664u);
}

// Regression: a folder replaced by a link during a run (z/ -> ../victim) had
// victim/x.c rewritten, with status 0. Here the run is held between its
// walk and z/x.c by a lock on the file before it, while z is replaced.
TEST_F(TreeSafetyTest, FolderReplacedDuringTheRunIsLeftAlone) {
  for (const char* name : {"proj/a.c", "proj/z/x.c", "victim/x.c"}) testing::WriteFile(Path(name), kMessy);
  const int held = ::open(Path("proj/a.c").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  testing::Child run(QFMT_TREE_BINARY, {"-w", "-q", "-j", "1", "proj"}, folder_.path());
  // /proc/locks shows a waiting lock as "N: -> FLOCK ADVISORY WRITE PID ...".
  const std::string waiting = " " + std::to_string(run.pid()) + " ";
  const auto waits = [&] {
    const std::string locks = ReadFile("/proc/locks");
    for (std::size_t at = locks.find("->"); at != std::string::npos; at = locks.find("->", at + 2))
      if (locks.substr(at, locks.find('\n', at) - at).find(waiting) != std::string::npos) return true;
    return false;
  };
  while (!waits() && !run.Ended()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  fs::rename(Path("proj/z"), Path("z.old"));
  fs::create_directory_symlink("../victim", Path("proj/z"));
  ::close(held);
  EXPECT_EQ(run.Wait(), kExitFileError);
  EXPECT_EQ(
      run.Error(),
      "proj/z/x.c: error: the folder proj/z was removed, moved or replaced during the run; left as it is\n");
  EXPECT_EQ(ReadFile(Path("victim/x.c")) + ReadFile(Path("z.old/x.c")) + ReadFile(Path("proj/a.c")),
            kMessy + kMessy + kFormatted);
}

// Regression: -w dropped chattr's flags, nodump (d) and noatime (A) among them.
TEST_F(TreeSafetyTest, FileFlagsAreKept) {
  testing::WriteFile(Path("x.c"), kMessy);
  const auto flags = [&] {
    const std::string out = testing::RunProgram("/usr/bin/lsattr", {"x.c"}, folder_.path()).out;
    return out.substr(0, out.find(' '));
  };
  if (testing::RunProgram("/usr/bin/chattr", {"+dA", "x.c"}, folder_.path()).status != 0)
    GTEST_SKIP() << "no chattr, or this file system keeps no such flags";
  const std::string before = flags();
  ASSERT_NE(before.find('d'), std::string::npos) << before;
  EXPECT_EQ(Tree({"-w", "-q", "x.c"}).status, kExitOk);
  EXPECT_EQ(ReadFile(Path("x.c")), kFormatted);
  EXPECT_EQ(flags(), before);
}

// Regression: an .editorconfig that the user could not read was skipped, and
// the file it governs re-indented in the default style.
TEST_F(TreeSafetyTest, UnreadableEditorConfigIsAnError) {
  if (::geteuid() != 0 || testing::NobodyUid() == static_cast<uid_t>(-1))
    GTEST_SKIP() << "the program must run as another user: root is needed";
  fs::permissions(folder_.path(), fs::perms::all);
  testing::WriteFile(Path(".editorconfig"), "root = true\n[*]\nindent_style = tab\n");
  fs::permissions(Path(".editorconfig"), fs::perms::none);
  testing::WriteFile(Path("a.c"), kLabel);
  fs::permissions(Path("a.c"), fs::perms(0666));
  testing::Child run(QFMT_TREE_BINARY, {"-w", "-q", "a.c"}, folder_.path(), {.as_nobody = true});
  EXPECT_EQ(run.Wait(), kExitFileError);
  EXPECT_EQ(run.Error(), "a.c: error: cannot read .editorconfig: Permission denied\n");
  EXPECT_EQ(ReadFile(Path("a.c")), kLabel);
}

// Regression: these signals left the temporary file behind.
TEST_F(TreeSafetyTest, SignalsDuringWriteRemoveTheTemporaryFile) {
  const std::string text = bench::GeneratedText(4 << 20, 3);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    testing::WriteFile(Path("b.c"), text);
    testing::Child run(QFMT_TREE_BINARY, {"-w", "-q", "b.c"}, folder_.path());
    bool seen = false;
    while (!seen && !run.Ended()) {
      for (const fs::directory_entry& entry : fs::directory_iterator(folder_.path()))
        seen = seen || entry.path().filename().string().starts_with(".b.c.qfmt-");
      if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ASSERT_TRUE(seen) << "the run ended before its temporary file was seen";
    ::kill(run.pid(), signal);
    EXPECT_EQ(run.Wait(), 128 + signal) << signal;
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
  testing::WriteFile(Path("bomb.c"), std::string(1'000'000, '{') + std::string(1'000'000, '}'));
  testing::WriteFile(Path("ok.c"), kMessy);
  testing::Child files(QFMT_TREE_BINARY, {"-w", "-q", "bomb.c", "ok.c"}, folder_.path(), limited);
  EXPECT_EQ(files.Wait(), kExitFileError);
  EXPECT_EQ(files.Error(),
            "bomb.c: error: its formatted text would pass 17048576 bytes, "
            "the limit of 8 times its size and 1 MiB; left as it is\n");
  EXPECT_EQ(ReadFile(Path("ok.c")), kFormatted);
  EXPECT_EQ(testing::FilesIn(folder_.path()).size(), 2u);

  testing::ChildOptions from_zero = limited;
  from_zero.standard_input = "/dev/zero";
  testing::Child input(QFMT_TREE_BINARY, {}, folder_.path(), from_zero);
  EXPECT_EQ(input.Wait(), kExitFileError);
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
