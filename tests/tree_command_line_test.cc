#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/test_support.h"
#include "tree/command_line.h"

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
                     " " + (l.brace_style == layout::BraceStyle::kAttach ? "attach" : "break") +
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

// The words of `text` that look like options ("-m", "--max-line-length"): a
// "-" or "--" after neither a letter, a digit nor a "-", then a letter or
// digit, then letters, digits and "-". (Written out: GCC's warnings about
// std::regex break the sanitized build.)
std::set<std::string> OptionWords(std::string_view text) {
  const auto word_char = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
  std::set<std::string> words;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '-' || (i > 0 && (word_char(text[i - 1]) || text[i - 1] == '-'))) continue;
    std::size_t end = i + (i + 1 < text.size() && text[i + 1] == '-' ? 2 : 1);
    if (end >= text.size() || !word_char(text[end])) continue;
    while (end < text.size() && (word_char(text[end]) || text[end] == '-')) ++end;
    words.emplace(text.substr(i, end - i));
    i = end - 1;
  }
  return words;
}

// The completions are written by hand: the zsh one names exactly the options
// of the table, and the bash one (which reads the others from --help) names
// among the options whose value it completes or leaves alone exactly those
// that take one.
TEST(TreeCommandLineTest, CompletionsNameExactlyTheOptions) {
  std::set<std::string> names, with_value, needing_value;
  for (const OptionNames& row : OptionTable()) {
    names.insert(row.names.begin(), row.names.end());
    if (row.takes_value) with_value.insert(row.names.begin(), row.names.end());
    if (row.needs_value) needing_value.insert(row.names.begin(), row.names.end());
  }
  const std::string zsh = testing::ReadFile(QFMT_SOURCE_DIR "/completions/_qfmt-tree");
  EXPECT_EQ(OptionWords(zsh.substr(zsh.find('\n', zsh.find("_arguments")))), names);  // past its own flags
  std::string bash_patterns;  // the lines "    -m | --max-line-length)" of its case, up to the ")"
  std::istringstream bash(testing::ReadFile(QFMT_SOURCE_DIR "/completions/qfmt-tree.bash"));
  for (std::string line; std::getline(bash, line);) {
    const std::size_t start = line.find_first_not_of(' ');
    const std::size_t close = line.find(')');
    if (start != std::string::npos && line[start] == '-' && close != std::string::npos)
      bash_patterns += line.substr(start, close - start) + "\n";
  }
  const std::set<std::string> in_bash = OptionWords(bash_patterns);
  EXPECT_TRUE(std::includes(with_value.begin(), with_value.end(), in_bash.begin(), in_bash.end()))
      << bash_patterns;
  EXPECT_TRUE(std::includes(in_bash.begin(), in_bash.end(), needing_value.begin(), needing_value.end()))
      << bash_patterns;
}

}  // namespace
}  // namespace qfmt::tree
