#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"
#include "tree/command_line.h"
#include "tree/completions.h"

namespace qfmt::tree {
namespace {

// "m80 i[UNIT] attach j0", then the switches that are on (those that the
// command line gave with a "!"), the paths and the other names; or "help",
// "version", "error: WHAT". --print-settings gives "settings" before the rest.
std::string Describe(const std::vector<std::string_view>& arguments) {
  const CommandLine parsed = ParseCommandLine(arguments);
  const bool settings = parsed.action == CommandLine::Action::kPrintSettings;
  if (parsed.action != CommandLine::Action::kRun && !settings) {
    return parsed.action == CommandLine::Action::kHelp      ? "help"
           : parsed.action == CommandLine::Action::kVersion ? "version"
                                                            : "error: " + parsed.error;
  }
  const TreeOptions& o = parsed.options;
  const auto given = [](bool was) { return was ? "!" : ""; };
  const layout::LayoutOptions& l = o.style.layout;
  std::string text = (settings ? "settings " : "") + std::string("m") +
                     (l.max_line_length == INT32_MAX ? "off" : std::to_string(l.max_line_length)) +
                     given(o.given.max_line_length) + " i[" + l.indent_string + "]" + given(o.given.indent) +
                     " " + (l.brace_style == lexer::BraceStyle::kAttach ? "attach" : "break") +
                     given(o.given.brace_style) + " j" + std::to_string(o.jobs);
  if (o.given.style) text += " " + std::string(format::StyleName(o.style.style)) + "!";
  const std::pair<bool, const char*> switches[] = {{o.write, "write"},
                                                   {o.list, "list"},
                                                   {o.diff, "diff"},
                                                   {o.check, "check"},
                                                   {o.once, "once"},
                                                   {o.backup, "backup"},
                                                   {o.quiet, "quiet"},
                                                   {o.prints_text(), "prints"},
                                                   {o.classic_limit, "classic-limit"},
                                                   {!o.verify, "no-verify"},
                                                   {o.staged, "staged"},
                                                   {o.changed, "changed"},
                                                   {o.verbose, "verbose"},
                                                   {o.null_separated, "null"},
                                                   {o.form == PlaceForm::kGithub, "github"},
                                                   {o.color == ColorChoice::kAlways, "color"},
                                                   {o.color == ColorChoice::kNever, "no-color"}};
  for (const auto& [on, name] : switches) text += on ? std::string(" ") + name : "";
  text += " paths[";
  for (const std::string& path : o.paths) text += (text.back() == '[' ? "" : ",") + path;
  text += "]";
  for (const std::string& glob : o.excludes) text += " exclude[" + glob + "]";
  for (const project::LineRange& range : o.lines)
    text += " lines[" + std::to_string(range.first) + ":" + std::to_string(range.last) + "]";
  const std::pair<const std::string&, const char*> names[] = {{o.stdin_filename, "stdin-filename"},
                                                              {o.assume_filename, "assume-filename"},
                                                              {o.print_settings, "of"},
                                                              {o.changed_against, "against"},
                                                              {o.files_from, "from"}};
  for (const auto& [name, what] : names)
    text += name.empty() ? "" : " " + std::string(what) + "[" + name + "]";
  return text;
}

TEST(TreeCommandLineTest, ConventionalOptions) {
  const struct {
    std::vector<std::string_view> arguments;
    std::string options;
  } cases[] = {
      {{}, "m80 i[   ] attach j0 prints paths[]"},
      {{"-"}, "m80 i[   ] attach j0 prints paths[]"},
      // Short, long, bundled and attached forms.
      {{"-m", "60", "-j", "3", "-wl", "src"}, "m60! i[   ] attach j3 write list paths[src]"},
      {{"-m60", "-wlj3", "src"}, "m60! i[   ] attach j3 write list paths[src]"},
      {{"--max-line-length=60", "--jobs", "3", "--write", "--list", "src"},
       "m60! i[   ] attach j3 write list paths[src]"},
      {{"src", "--list", "--max-line-length", "60", "-j3", "-w"},
       "m60! i[   ] attach j3 write list paths[src]"},
      {{"--indent", "\\t\\t", "--brace-style", "break", "-d", "--check", "--once", "--classic-limit", "-q",
        "a.c"},
       "m80 i[\t\t]! break! j0 diff check once quiet classic-limit paths[a.c]"},
      {{"--indent=", "--brace-style=attach", "a.c"}, "m80 i[]! attach! j0 prints paths[a.c]"},
      {{"--indent", "a\\b", "a.c", "b.c"}, "m80 i[a\\b]! attach j0 prints paths[a.c,b.c]"},
      {{"-w", "--backup", "a.c"}, "m80 i[   ] attach j0 write backup paths[a.c]"},
      {{"-l", "--", "-w", "--check"}, "m80 i[   ] attach j0 list paths[-w,--check]"},
      {{"--classic", "--no-verify", "-"}, "m80 i[   ] attach j0 exact! prints no-verify paths[]"},
      {{"--style", "classic", "--style=exact", "a.c"}, "m80 i[   ] attach j0 exact! prints paths[a.c]"},
      {{"--style=modern", "-m0"}, "m0! i[   ] attach j0 modern! prints paths[]"},
      // What the command line gives wins over .editorconfig, so it is marked as given.
      {{"--exclude", "build", "--exclude=*.pb.cc", "--staged", "-l", "-m", "off", "src"},
       "moff! i[   ] attach j0 list staged paths[src] exclude[build] exclude[*.pb.cc]"},
      {{"--print-settings", "a.c", "--indent", "\\t", "--brace-style=break"},
       "settings m80 i[\t]! break! j0 prints paths[] of[a.c]"},
      // --print-settings takes its one path from among the paths; its options are options.
      {{"--print-settings", "-m", "72", "x.c"}, "settings m72! i[   ] attach j0 prints paths[] of[x.c]"},
      {{"--print-settings=x.c"}, "settings m80 i[   ] attach j0 prints paths[] of[x.c]"},
      {{"-i", "a.c"}, "m80 i[   ] attach j0 write paths[a.c]"},
      {{"--lines", "3:5", "--lines=7", "-"}, "m80 i[   ] attach j0 prints paths[] lines[3:5] lines[7:7]"},
      // An optional value only after "=": "--changed main" names the path main.
      {{"--changed", "main", "-l"}, "m80 i[   ] attach j0 list changed paths[main]"},
      {{"--changed=v1.0", "-w"}, "m80 i[   ] attach j0 write changed paths[] against[v1.0]"},
      {{"--files-from", "-", "-0", "--check", "src"}, "m80 i[   ] attach j0 check null paths[src] from[-]"},
      {{"--format=github", "--color", "-v", "-l", "."},
       "m80 i[   ] attach j0 list verbose github color paths[.]"},
      {{"--format", "text", "--color=never", "a.c"}, "m80 i[   ] attach j0 prints no-color paths[a.c]"},
      {{"--stdin-filename", "src/x.txt", "--assume-filename", "y.cu"},
       "m80 i[   ] attach j0 prints paths[] stdin-filename[src/x.txt] assume-filename[y.cu]"},
      {{"--help"}, "help"},
      {{"-h", "a.c"}, "help"},
      {{"--version"}, "version"},
      // Bad command lines say what is wrong.
      {{"-x"}, "error: unknown option '-x'"},
      {{"--colour"}, "error: unknown option '--colour'"},
      {{"-wx"}, "error: unknown option '-x'"},
      {{"-m"}, "error: option '-m' needs a value"},
      {{"--jobs"}, "error: option '--jobs' needs a value"},
      {{"--write=yes", "a.c"}, "error: option '--write' takes no value"},
      {{"-m", "wide"}, "error: --max-line-length needs a whole number of 0 or more, or off, not 'wide'"},
      {{"-m", "-5"}, "error: --max-line-length needs a whole number of 0 or more, or off, not '-5'"},
      {{"-m", "99999999999"},
       "error: --max-line-length needs a whole number of 0 or more, or off, not '99999999999'"},
      {{"-j0"}, "error: --jobs needs a number from 1 to 1024, not '0'"},
      {{"--brace-style", "kr"}, "error: --brace-style is 'attach' or 'break', not 'kr'"},
      {{"--style", "gnu"}, "error: --style is 'modern', 'classic' or 'exact', not 'gnu'"},
      {{"-", "a.c"}, "error: '-' (standard input) cannot stand beside other paths"},
      {{"-w"}, "error: --write needs paths of files or folders, or --staged"},
      {{"-w", "-"}, "error: --write needs paths of files or folders, or --staged"},
      {{"--staged"}, "error: --staged goes with --check, --list, --diff or --write"},
      {{"--stdin-filename", "a.c", "b.c"},
       "error: --stdin-filename goes with standard input, not with paths"},
      {{"--assume-filename", "notes.txt"},
       "error: --assume-filename needs a C or C++ file name, not 'notes.txt'"},
      {{"--backup", "a.c"}, "error: --backup goes with --write"},
      // Regression: an empty pattern left out everything, and --check passed.
      {{"--check", "--exclude", "", "src"},
       "error: --exclude needs a pattern that names files, not '', which would leave out everything"},
      {{"--check", "--exclude=./", "src"},
       "error: --exclude needs a pattern that names files, not './', which would leave out everything"},
      {{"--print-settings"}, "error: --print-settings needs the path of a file"},
      {{"--print-settings", "a.c", "b.c"}, "error: --print-settings takes one path, not 2"},
      {{"-w", "--print-settings", "a.c"}, "error: --write cannot go with --print-settings"},
      {{"--print-settings=a.c", "--staged"}, "error: --staged cannot go with --print-settings"},
      {{"--lines", "5:3", "a.c"},
       "error: --lines needs FIRST:LAST, line numbers from 1 with FIRST not past LAST, not '5:3'"},
      {{"--lines", "0", "a.c"},
       "error: --lines needs FIRST:LAST, line numbers from 1 with FIRST not past LAST, not '0'"},
      {{"--lines", "1:2", "a.c", "b.c"}, "error: --lines goes with one file, or standard input"},
      {{"--lines", "1", "--changed", "-l"}, "error: --lines cannot go with --changed"},
      {{"--changed"}, "error: --changed goes with --check, --list, --diff or --write"},
      {{"--changed=", "-l"}, "error: --changed= needs a commit, as in --changed=main"},
      {{"-0", "a.c"}, "error: --null goes with --files-from"},
      {{"--color=sometimes"}, "error: --color is 'auto', 'always' or 'never', not 'sometimes'"},
      {{"--format", "json"}, "error: --format is 'text' or 'github', not 'json'"},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(c.arguments), c.options) << c.options;
}

// The generator's rules, on rows made for the purpose: a switch with a
// short name, words, a value only after "=", a repeated option, files, an
// option that stands alone; and what zsh needs escaped.
TEST(CompletionsTest, ZshSpecsFollowTheRows) {
  const OptionDescription rows[] = {
      {{"-w", "--write"}, "--write", "", "rewrite files"},
      {{"--brace-style"},
       "--brace-style",
       "STYLE",
       "attach (default) or break",
       true,
       true,
       false,
       false,
       ValueCompletion::kWords,
       {"attach", "break"}},
      {{"--color"},
       "--color",
       "WHEN",
       "places: it's auto",
       true,
       false,
       false,
       false,
       ValueCompletion::kWords,
       {"auto", "never"}},
      {{"--lines"}, "--lines", "FIRST:LAST", "lines [n] \\t", true, true, true},
      {{"-o", "--out"}, "--out", "FILE", "to FILE", true, true, false, false, ValueCompletion::kFiles},
      {{"-h", "--help"}, "--help", "", "this text", false, false, false, true},
  };
  EXPECT_EQ(ZshCompletion(rows),
            "#compdef qfmt-tree\n"
            "# zsh completion for qfmt-tree, made from its options by qfmt-completions; do not edit.\n"
            "_arguments -s -S \\\n"
            "  '(-w --write)'{-w,--write}'[rewrite files]' \\\n"
            "  '--brace-style=[attach (default) or break]:style:(attach break)' \\\n"
            "  '--color=-[places\\: it'\\''s auto]::when:(auto never)' \\\n"
            "  '*--lines=[lines \\[n\\] \\\\t]:first\\:last:' \\\n"
            "  '(-o --out)'{-o+,--out=}'[to FILE]:file:_files' \\\n"
            "  '(- *)'{-h,--help}'[show this text]' \\\n"
            "  '*:file or folder:_files'\n");
}

// bash completes the real rows as a user sees it, in an empty folder but
// for x.c: each case is the words after "qfmt-tree", the last one being
// completed, and the completions offered.
TEST(CompletionsTest, BashCompletesTheOptionsAndTheirValues) {
  const char* const kBashCompletion = "/usr/share/bash-completion/bash_completion";
  if (!std::filesystem::exists(kBashCompletion))
    GTEST_SKIP() << "no bash-completion (apt-get install bash-completion)";
  const testing::TempFolder folder;
  testing::WriteFile(folder.path() / "qfmt-tree.bash", BashCompletion(OptionTable()));
  testing::WriteFile(folder.path() / "x.c", "");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--sta"}, "--staged"},
      {{"--col"}, "--color --color="},  // a value only after "="
      {{"--style", ""}, "modern classic exact"},
      {{"--brace-style", "a"}, "attach"},
      {{"-m", "o"}, "off"},  // a short name
      {{"--color=a"}, "auto always"},
      {{"--color", "x"}, "x.c"},  // after "--color " comes a path
      {{"--jobs", ""}, ""},       // a number: nothing to offer
      {{"--stdin-filename", "x"}, "x.c"},
      {{"--changed=HE"}, "HEAD"},  // outside a repository only HEAD
      {{"-w", "x"}, "x.c"},
  };
  for (const auto& [words, offered] : cases) {
    std::vector<std::string> arguments = {
        "bash",
        "-c",
        "source \"$1\" && source \"$2\" && shift 2 && COMP_WORDS=(qfmt-tree \"$@\") && COMP_CWORD=$# && "
        "COMP_LINE=\"${COMP_WORDS[*]}\" && COMP_POINT=${#COMP_LINE} && "
        "_qfmt_tree qfmt-tree \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD-1]}\"; "
        "echo \"${COMPREPLY[*]}\"",
        "_",
        kBashCompletion,
        "./qfmt-tree.bash"};
    arguments.insert(arguments.end(), words.begin(), words.end());
    const testing::ProgramRun run = testing::RunProgram("/usr/bin/env", arguments, folder.path());
    EXPECT_EQ(run.out, offered + "\n") << words.back() << ": " << run.error;
  }
}

}  // namespace
}  // namespace qfmt::tree
