#include "tree/command_line.h"

#include <charconv>
#include <cstdint>
#include <optional>

#include "scanner/engine.h"
#include "tree/file_walk.h"

namespace qfmt::tree {
namespace {

// kOptional: a value only after "=" ("--changed=main"), so that the next
// argument is never taken for one.
enum class Takes { kNothing, kValue, kOptional };

struct OptionForm {
  char short_name;  // 0: long only
  std::string_view long_name;
  Takes takes;
};

constexpr OptionForm kOptions[] = {
    {0, "style", Takes::kValue},
    {'m', "max-line-length", Takes::kValue},
    {0, "indent", Takes::kValue},
    {0, "brace-style", Takes::kValue},
    {'w', "write", Takes::kNothing},
    {'i', "write", Takes::kNothing},
    {'l', "list", Takes::kNothing},
    {'d', "diff", Takes::kNothing},
    {0, "check", Takes::kNothing},
    {0, "lines", Takes::kValue},
    {0, "changed", Takes::kOptional},
    {0, "once", Takes::kNothing},
    {0, "backup", Takes::kNothing},
    {0, "classic-limit", Takes::kNothing},
    {0, "classic", Takes::kNothing},
    {0, "no-verify", Takes::kNothing},
    {0, "staged", Takes::kNothing},
    {0, "exclude", Takes::kValue},
    {0, "files-from", Takes::kValue},
    {'0', "null", Takes::kNothing},
    {0, "stdin-filename", Takes::kValue},
    {0, "assume-filename", Takes::kValue},
    {0, "print-settings", Takes::kOptional},
    {0, "format", Takes::kValue},
    {0, "color", Takes::kOptional},
    {'j', "jobs", Takes::kValue},
    {'v', "verbose", Takes::kNothing},
    {'q', "quiet", Takes::kNothing},
    {'h', "help", Takes::kNothing},
    {0, "version", Takes::kNothing},
};

const OptionForm* FindShort(char name) {
  for (const OptionForm& option : kOptions) {
    if (option.short_name == name) return &option;
  }
  return nullptr;
}

const OptionForm* FindLong(std::string_view name) {
  for (const OptionForm& option : kOptions) {
    if (option.long_name == name) return &option;
  }
  return nullptr;
}

std::optional<std::int32_t> ParseCount(std::string_view text, std::int32_t low, std::int32_t high) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
      value > high) {
    return std::nullopt;
  }
  return value;
}

// "FIRST:LAST" or "LINE", lines from 1.
std::optional<project::LineRange> ParseLineRange(std::string_view text) {
  const std::size_t colon = text.find(':');
  const auto first = ParseCount(text.substr(0, colon), 1, INT32_MAX);
  const auto last =
      colon == std::string_view::npos ? first : ParseCount(text.substr(colon + 1), 1, INT32_MAX);
  if (!first || !last || *last < *first) return std::nullopt;
  return project::LineRange{*first, *last};
}

// "\t" in an indentation text stands for a tab, so that it can be typed.
std::string IndentText(std::string_view text) {
  std::string indent;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 't') {
      indent += '\t';
      ++i;
    } else {
      indent += text[i];
    }
  }
  return indent;
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string_view>& arguments) : arguments_(arguments) {}

  CommandLine Parse() {
    bool options_ended = false;
    for (next_ = 0; next_ < arguments_.size() && result_.error.empty();) {
      const std::string_view argument = arguments_[next_++];
      if (options_ended || argument == "-" || !argument.starts_with('-')) {
        result_.options.paths.emplace_back(argument);
      } else if (argument == "--") {
        options_ended = true;
      } else if (argument.starts_with("--")) {
        ParseLong(argument.substr(2));
      } else {
        ParseShortGroup(argument.substr(1));
      }
    }
    if (result_.error.empty()) CheckCombination();
    if (!result_.error.empty()) result_.action = CommandLine::Action::kError;
    return result_;
  }

 private:
  void ParseLong(std::string_view body) {
    const std::size_t equals = body.find('=');
    const std::string_view name = body.substr(0, equals);
    const OptionForm* option = FindLong(name);
    if (option == nullptr) return Fail("unknown option '--" + std::string(name) + "'");
    if (option->takes == Takes::kNothing && equals != std::string_view::npos)
      return Fail("option '--" + std::string(name) + "' takes no value");
    if (equals != std::string_view::npos) return Apply(*option, body.substr(equals + 1));
    if (option->takes != Takes::kValue) return Apply(*option, std::nullopt);
    if (next_ == arguments_.size()) return Fail("option '--" + std::string(name) + "' needs a value");
    Apply(*option, arguments_[next_++]);
  }

  // "-wl", "-m60", "-m 60", "-wj2".
  void ParseShortGroup(std::string_view group) {
    for (std::size_t i = 0; i < group.size() && result_.error.empty(); ++i) {
      const OptionForm* option = FindShort(group[i]);
      if (option == nullptr) return Fail("unknown option '-" + std::string(1, group[i]) + "'");
      if (option->takes != Takes::kValue) {
        Apply(*option, std::nullopt);
        continue;
      }
      if (i + 1 < group.size()) return Apply(*option, group.substr(i + 1));
      if (next_ == arguments_.size()) return Fail("option '-" + std::string(1, group[i]) + "' needs a value");
      return Apply(*option, arguments_[next_++]);
    }
  }

  // `given` is the option's value, when it has one.
  void Apply(const OptionForm& option, std::optional<std::string_view> given) {
    TreeOptions& options = result_.options;
    const std::string_view name = option.long_name;
    const std::string_view value = given.value_or("");
    if (name == "style") {
      const std::optional<format::Style> style = format::ParseStyle(value);
      if (!style) return Fail("--style is 'modern', 'classic' or 'exact', not '" + std::string(value) + "'");
      options.style.style = *style;
      options.given.style = true;
    } else if (name == "classic") {
      options.style.style = format::Style::kExact;
      options.given.style = true;
    } else if (name == "max-line-length") {
      const auto length = value == "off" ? INT32_MAX : ParseCount(value, 0, INT32_MAX);
      if (!length)
        return Fail("--max-line-length needs a whole number of 0 or more, or off, not '" +
                    std::string(value) + "'");
      options.style.layout.max_line_length = *length;
      options.given.max_line_length = true;
    } else if (name == "indent") {
      options.style.layout.indent_string = IndentText(value);
      options.given.indent = true;
    } else if (name == "brace-style") {
      if (value != "attach" && value != "break") {
        return Fail("--brace-style is 'attach' or 'break', not '" + std::string(value) + "'");
      }
      options.style.layout.brace_style = value == "attach" ? 1 : 0;
      options.given.brace_style = true;
    } else if (name == "exclude") {
      // A pattern that names the current folder (or none) would leave out
      // everything, and a check would pass having checked nothing.
      std::string_view named = value;
      while (named.starts_with("./")) named.remove_prefix(2);
      while (named.size() > 1 && named.back() == '/') named.remove_suffix(1);
      if (named.empty() || named == "." || named == "/")
        return Fail("--exclude needs a pattern that names files, not '" + std::string(value) +
                    "', which would leave out everything");
      options.excludes.emplace_back(value);
    } else if (name == "stdin-filename") {
      options.stdin_filename = value;
    } else if (name == "assume-filename") {
      if (!IsSourceName(BaseName(value)))
        return Fail("--assume-filename needs a C or C++ file name, not '" + std::string(value) + "'");
      options.assume_filename = value;
    } else if (name == "print-settings") {
      if (given) options.paths.emplace_back(value);
      result_.action = CommandLine::Action::kPrintSettings;
    } else if (name == "staged") {
      options.staged = true;
    } else if (name == "changed") {
      if (given && value.empty()) return Fail("--changed= needs a commit, as in --changed=main");
      options.changed = true;
      options.changed_against = value;
    } else if (name == "lines") {
      const auto range = ParseLineRange(value);
      if (!range)
        return Fail("--lines needs FIRST:LAST, line numbers from 1 with FIRST not past LAST, not '" +
                    std::string(value) + "'");
      options.lines.push_back(*range);
    } else if (name == "files-from") {
      if (value.empty()) return Fail("--files-from needs a file name, or - for standard input");
      options.files_from = value;
    } else if (name == "null") {
      options.null_separated = true;
    } else if (name == "format") {
      if (value != "text" && value != "github")
        return Fail("--format is 'text' or 'github', not '" + std::string(value) + "'");
      options.form = value == "text" ? PlaceForm::kText : PlaceForm::kGithub;
    } else if (name == "color") {
      if (!given || value == "always") {
        options.color = ColorChoice::kAlways;
      } else if (value == "auto" || value == "never") {
        options.color = value == "auto" ? ColorChoice::kAuto : ColorChoice::kNever;
      } else {
        return Fail("--color is 'auto', 'always' or 'never', not '" + std::string(value) + "'");
      }
    } else if (name == "verbose") {
      options.verbose = true;
    } else if (name == "jobs") {
      const auto jobs = ParseCount(value, 1, kMaxJobs);
      if (!jobs)
        return Fail("--jobs needs a number from 1 to " + std::to_string(kMaxJobs) + ", not '" +
                    std::string(value) + "'");
      options.jobs = *jobs;
    } else if (name == "write") {
      options.write = true;
    } else if (name == "list") {
      options.list = true;
    } else if (name == "diff") {
      options.diff = true;
    } else if (name == "check") {
      options.check = true;
    } else if (name == "once") {
      options.once = true;
    } else if (name == "backup") {
      options.backup = true;
    } else if (name == "classic-limit") {
      options.classic_limit = true;
    } else if (name == "no-verify") {
      options.verify = false;
    } else if (name == "quiet") {
      options.quiet = true;
    } else if (name == "help") {
      result_.action = CommandLine::Action::kHelp;
    } else if (name == "version") {
      result_.action = CommandLine::Action::kVersion;
    }
  }

  void CheckCombination() {
    TreeOptions& options = result_.options;
    if (result_.action == CommandLine::Action::kPrintSettings) return CheckPrintSettings();
    if (options.paths.size() == 1 && options.paths.front() == "-" && options.files_from.empty())
      options.paths.clear();
    for (const std::string& path : options.paths) {
      if (path == "-") return Fail("'-' (standard input) cannot stand beside other paths");
    }
    if (options.write && options.reads_standard_input())
      return Fail("--write needs paths of files or folders, or --staged");
    if (options.staged && options.prints_text())
      return Fail("--staged goes with --check, --list, --diff or --write");
    if (options.changed && options.prints_text())
      return Fail("--changed goes with --check, --list, --diff or --write");
    if (!options.lines.empty() && options.changed) return Fail("--lines cannot go with --changed");
    if (!options.lines.empty() && (options.paths.size() > 1 || !options.files_from.empty()))
      return Fail("--lines goes with one file, or standard input");
    if (options.null_separated && options.files_from.empty()) return Fail("--null goes with --files-from");
    if (!options.stdin_filename.empty() && !options.reads_standard_input())
      return Fail("--stdin-filename goes with standard input, not with paths");
    if (options.backup && !options.write) return Fail("--backup goes with --write");
  }

  // --print-settings shows the style of exactly one path, and does nothing else.
  void CheckPrintSettings() {
    TreeOptions& options = result_.options;
    const std::pair<bool, std::string_view> modes[] = {{options.write, "--write"},
                                                       {options.list, "--list"},
                                                       {options.diff, "--diff"},
                                                       {options.check, "--check"},
                                                       {options.staged, "--staged"},
                                                       {options.changed, "--changed"},
                                                       {!options.lines.empty(), "--lines"},
                                                       {!options.files_from.empty(), "--files-from"}};
    for (const auto& [on, mode] : modes) {
      if (on) return Fail(std::string(mode) + " cannot go with --print-settings");
    }
    if (options.paths.size() != 1) {
      return Fail(options.paths.empty()
                      ? "--print-settings needs the path of a file"
                      : "--print-settings takes one path, not " + std::to_string(options.paths.size()));
    }
    options.print_settings = options.paths.front();
    options.paths.clear();
  }

  void Fail(std::string error) { result_.error = std::move(error); }

  static constexpr std::int32_t kMaxJobs = 1024;
  const std::vector<std::string_view>& arguments_;
  std::size_t next_ = 0;
  CommandLine result_;
};

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string_view>& arguments) {
  return Parser(arguments).Parse();
}

std::string HelpText() {
  return "usage: qfmt-tree [OPTIONS] [PATH...]\n"
         "\n"
         "Formats the C and C++ files among the paths and in the folders among them:\n" +
         SourceExtensionList() +
         "\n\n"
         "Walks skip hidden files and folders, links to folders and what git ignores;\n"
         "other names given are passed over with a message. Without a path, or with\n"
         "'-', reads standard input and writes the formatted text to standard output.\n"
         "\n"
         "The modern style, the default, lays code out as it is written today and keeps\n"
         "the author's line breaks, blank lines and comments, in one pass. The classic\n"
         "style is the classic layout with the repairs that keep every token, without\n"
         "trailing blanks; exact is the classic rules as qfmt writes them. The classic\n"
         "styles are settled: formatted again until a text repeats. Every file's tokens\n"
         "are compared before and after: a file whose code would change is an error and\n"
         "is left as it is. Files with a NUL byte are passed over (but by exact). The\n"
         "style of a file comes from the command line, then from .editorconfig\n"
         "(qfmt_style, indent_style, indent_size, tab_width, max_line_length,\n"
         "qfmt_brace_style), then the defaults; where no indentation unit is given, the\n"
         "modern style takes the file's own.\n"
         "\n"
         "Style:\n"
         "      --style STYLE         modern (default), classic or exact\n"
         "  -m, --max-line-length N   break lines longer than N, or off (default 80;\n"
         "                            0 is off too in the modern style)\n"
         "      --indent TEXT         one indentation unit; \\t is a tab (default: the\n"
         "                            file's own, else four blanks, in the modern style;\n"
         "                            three blanks in the classic ones)\n"
         "      --brace-style STYLE   attach (default) or break\n"
         "Modes (by default the formatted text goes to standard output):\n"
         "  -w, -i, --write           rewrite changed files in place, safely\n"
         "  -l, --list                name the files whose formatting differs, and where\n"
         "  -d, --diff                print a unified diff for each changed file\n"
         "      --check               as --list; for CI\n"
         "      --staged              the staged content of the staged files in git's index\n"
         "                            (with --write, formatted and staged again)\n"
         "      --print-settings PATH\n"
         "                            show the style that applies to PATH, and from where\n"
         "Only some lines (the whole text is formatted and checked; other lines stay):\n"
         "      --lines FIRST:LAST    the statements that touch these lines of the one\n"
         "                            file or standard input (repeatable)\n"
         "      --changed             the lines of the staged files that differ from HEAD\n"
         "      --changed=REV         the lines of the work tree's files that differ from\n"
         "                            the commit REV (REV only after '=')\n"
         "Which files:\n"
         "      --exclude GLOB        leave out the files and folders that GLOB matches (repeatable)\n"
         "      --files-from FILE     also the paths in FILE, one a line; - for standard input\n"
         "  -0, --null                the paths in FILE end with a NUL byte instead\n"
         "      --assume-filename NAME\n"
         "                            format named files and standard input as NAME's kind\n"
         "      --stdin-filename PATH\n"
         "                            name standard input's text, for its settings and messages\n"
         "Rules:\n"
         "      --classic             the same as --style exact\n"
         "      --no-verify           do not compare the tokens before and after\n"
         "Output:\n"
         "      --format FORM         text (PATH:LINE:COL: error: ...), or github for\n"
         "                            GitHub's annotations (::error file=PATH,...)\n"
         "      --color[=WHEN]        colour diffs and the lines that name places:\n"
         "                            auto (on a terminal, the default), always or never\n"
         "  -v, --verbose             name every file and what became of it\n"
         "  -q, --quiet               no summary line\n"
         "Other:\n"
         "      --once                one pass instead of settling (the classic styles)\n"
         "      --backup              with --write, also keep the classic NAME.Backup copy\n"
         "      --classic-limit       the classic styles keep the " +
         std::to_string(scanner::kTokenLimit) +
         "-byte token limit: such files are errors\n"
         "  -j, --jobs N              files formatted at once (default: one per core)\n"
         "  -h, --help                this text\n"
         "      --version             the version\n"
         "\n"
         "Exit status: 0 all well; 1 with --list or --check when a file would change;\n"
         "2 when a file had an error; 64 for a bad command line.\n";
}

}  // namespace qfmt::tree
