#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tree/command_line.h"

namespace qfmt::tree {
namespace {

CommandLine Parse(const std::vector<std::string_view>& arguments) { return ParseCommandLine(arguments); }

TEST(TreeCommandLineTest, DefaultsPrintStandardInputWithTheClassicStyle) {
  const CommandLine parsed = Parse({});
  ASSERT_EQ(parsed.action, CommandLine::Action::kRun);
  const TreeOptions& options = parsed.options;
  EXPECT_TRUE(options.reads_standard_input());
  EXPECT_TRUE(options.prints_text());
  EXPECT_EQ(options.layout.max_line_length, 80);
  EXPECT_EQ(options.layout.indent_string, "   ");
  EXPECT_EQ(options.layout.brace_style, 1);
  EXPECT_EQ(options.jobs, 0);
  EXPECT_FALSE(options.once || options.backup || options.classic_limit || options.quiet);
  EXPECT_TRUE(Parse({"-"}).options.reads_standard_input());
}

TEST(TreeCommandLineTest, ShortLongBundledAndAttachedForms) {
  for (const std::vector<std::string_view>& arguments : std::vector<std::vector<std::string_view>>{
           {"-m", "60", "-j", "3", "-wl", "src"},
           {"-m60", "-wlj3", "src"},
           {"--max-line-length=60", "--jobs", "3", "--write", "--list", "src"},
           {"src", "--list", "--max-line-length", "60", "-j3", "-w"}}) {
    const CommandLine parsed = Parse(arguments);
    ASSERT_EQ(parsed.action, CommandLine::Action::kRun) << parsed.error;
    EXPECT_EQ(parsed.options.layout.max_line_length, 60);
    EXPECT_EQ(parsed.options.jobs, 3);
    EXPECT_TRUE(parsed.options.write && parsed.options.list && !parsed.options.diff);
    EXPECT_EQ(parsed.options.paths, std::vector<std::string>{"src"});
  }
}

TEST(TreeCommandLineTest, StyleModesAndSwitches) {
  const CommandLine parsed = Parse({"--indent", "\\t\\t", "--brace-style", "break", "-d", "--check", "--once",
                                    "--classic-limit", "-q", "a.c"});
  ASSERT_EQ(parsed.action, CommandLine::Action::kRun) << parsed.error;
  const TreeOptions& options = parsed.options;
  EXPECT_EQ(options.layout.indent_string, "\t\t");
  EXPECT_EQ(options.layout.brace_style, 0);
  EXPECT_TRUE(options.diff && options.check && options.once && options.classic_limit && options.quiet);
  EXPECT_FALSE(options.prints_text());
  EXPECT_EQ(Parse({"--indent=", "a.c"}).options.layout.indent_string, "");
  EXPECT_EQ(Parse({"--indent", "a\\b", "a.c"}).options.layout.indent_string, "a\\b");
  EXPECT_EQ(Parse({"--brace-style=attach", "a.c"}).options.layout.brace_style, 1);
  EXPECT_TRUE(Parse({"-w", "--backup", "a.c"}).options.backup);
}

// What the command line gives wins over .editorconfig, so it is marked as given.
TEST(TreeCommandLineTest, ProjectOptionsAndWhatWasGiven) {
  CommandLine parsed =
      Parse({"--exclude", "build", "--exclude=*.pb.cc", "--staged", "-l", "-m", "off", "src"});
  ASSERT_EQ(parsed.action, CommandLine::Action::kRun) << parsed.error;
  EXPECT_EQ(parsed.options.excludes, (std::vector<std::string>{"build", "*.pb.cc"}));
  EXPECT_TRUE(parsed.options.staged && !parsed.options.reads_standard_input());
  EXPECT_EQ(parsed.options.layout.max_line_length, INT32_MAX);
  EXPECT_TRUE(parsed.options.given.max_line_length && !parsed.options.given.indent &&
              !parsed.options.given.brace_style);
  parsed = Parse({"--print-settings", "a.c", "--indent", "\\t", "--brace-style=break"});
  ASSERT_EQ(parsed.action, CommandLine::Action::kPrintSettings) << parsed.error;
  EXPECT_EQ(parsed.options.print_settings, "a.c");
  EXPECT_TRUE(!parsed.options.given.max_line_length && parsed.options.given.indent &&
              parsed.options.given.brace_style);
  parsed = Parse({"--stdin-filename", "src/x.txt", "--assume-filename", "y.cu"});
  ASSERT_EQ(parsed.action, CommandLine::Action::kRun) << parsed.error;
  EXPECT_EQ(parsed.options.stdin_filename, "src/x.txt");
  EXPECT_EQ(parsed.options.assume_filename, "y.cu");
}

TEST(TreeCommandLineTest, DoubleDashEndsTheOptions) {
  const CommandLine parsed = Parse({"-l", "--", "-w", "--check"});
  ASSERT_EQ(parsed.action, CommandLine::Action::kRun) << parsed.error;
  EXPECT_FALSE(parsed.options.write || parsed.options.check);
  EXPECT_EQ(parsed.options.paths, (std::vector<std::string>{"-w", "--check"}));
}

TEST(TreeCommandLineTest, HelpAndVersion) {
  EXPECT_EQ(Parse({"--help"}).action, CommandLine::Action::kHelp);
  EXPECT_EQ(Parse({"-h", "a.c"}).action, CommandLine::Action::kHelp);
  EXPECT_EQ(Parse({"--version"}).action, CommandLine::Action::kVersion);
}

TEST(TreeCommandLineTest, BadCommandLinesSayWhatIsWrong) {
  struct Case {
    std::vector<std::string_view> arguments;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{"-x"}, "unknown option '-x'"},
      {{"--color"}, "unknown option '--color'"},
      {{"-wx"}, "unknown option '-x'"},
      {{"-m"}, "option '-m' needs a value"},
      {{"--jobs"}, "option '--jobs' needs a value"},
      {{"--write=yes", "a.c"}, "option '--write' takes no value"},
      {{"-m", "wide"}, "--max-line-length needs a whole number of 0 or more, or off, not 'wide'"},
      {{"-m", "-5"}, "--max-line-length needs a whole number of 0 or more, or off, not '-5'"},
      {{"-m", "80x"}, "--max-line-length needs a whole number of 0 or more, or off, not '80x'"},
      {{"-m", "99999999999"},
       "--max-line-length needs a whole number of 0 or more, or off, not '99999999999'"},
      {{"-j0"}, "--jobs needs a number from 1 to 1024, not '0'"},
      {{"--brace-style", "kr"}, "--brace-style is 'attach' or 'break', not 'kr'"},
      {{"-", "a.c"}, "'-' (standard input) cannot stand beside other paths"},
      {{"-w"}, "--write needs paths of files or folders, or --staged"},
      {{"-w", "-"}, "--write needs paths of files or folders, or --staged"},
      {{"--staged"}, "--staged goes with --check, --list, --diff or --write"},
      {{"--stdin-filename", "a.c", "b.c"}, "--stdin-filename goes with standard input, not with paths"},
      {{"--assume-filename", "notes.txt"}, "--assume-filename needs a C or C++ file name, not 'notes.txt'"},
      {{"--backup", "a.c"}, "--backup goes with --write"},
  };
  for (const Case& c : cases) {
    const CommandLine parsed = Parse(c.arguments);
    EXPECT_EQ(parsed.action, CommandLine::Action::kError) << c.error;
    EXPECT_EQ(parsed.error, c.error);
  }
}

}  // namespace
}  // namespace qfmt::tree
