#include "tree/command_line.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "scanner/engine.h"
#include "tree/file_walk.h"

namespace qfmt::tree {
namespace {

// kOptional: a value only after "=" ("--changed=main"), so that the next
// argument is never taken for one.
enum class Takes { kNothing, kValue, kOptional };

// The value an option was given, when it takes one and has it.
using Value = std::optional<std::string_view>;
// Does what the option says to the command line read so far; returns why the
// value cannot be used, or nothing.
using Setter = std::string (*)(const Value& given, CommandLine& line);

// What the shells' completions offer for a value: `words` for kWords.
struct Completion {
  ValueCompletion what = ValueCompletion::kNothing;
  std::string_view words = {};  // separated by blanks
};

consteval Completion Words(std::string_view words) { return {ValueCompletion::kWords, words}; }
constexpr Completion kFileName{ValueCompletion::kFiles};
constexpr Completion kCommit{ValueCompletion::kCommit};

// One option of qfmt-tree, stated once: its names, its entry in --help (and
// so in the man page, which help2man makes from it), what the completions
// offer for its value, and what it does. The
// constructor needs the setter, so a row without one does not compile, nor
// does one whose setter is nullptr. (The setter is not compared with nullptr
// in the constructor: under the sanitizers GCC cannot evaluate that
// comparison at compile time.)
class Option {
 public:
  Option(std::string_view, std::string_view, std::string_view, Takes, std::string_view, std::string_view,
         std::nullptr_t, Completion = {}, std::string_view = {}) = delete;
  consteval Option(std::string_view opens, std::string_view letters, std::string_view name, Takes value_kind,
                   std::string_view value, std::string_view text, Setter setter, Completion completion = {},
                   std::string_view left_column = {})
      : section(opens),
        shorts(letters),
        long_name(name),
        takes(value_kind),
        value_name(value),
        help(text),
        set(setter),
        completes(completion),
        usage(left_column) {
    if (long_name.empty() || help.empty() || (takes == Takes::kNothing) != value_name.empty())
      throw "an option needs a long name, a help line, and a value's name when it takes one";
    if ((completes.what == ValueCompletion::kWords) == completes.words.empty() ||
        (takes == Takes::kNothing && completes.what != ValueCompletion::kNothing))
      throw "words to complete are an option's value, and only a value of kWords has them";
  }

  std::string_view section;    // the heading of --help that it opens, when it opens one
  std::string_view shorts;     // its one-letter names, if any
  std::string_view long_name;  // without the "--"
  Takes takes;
  std::string_view value_name;  // in --help: "N", "STYLE"
  // Its lines in --help, the first beside the usage. A line "USAGE\tTEXT" is
  // a second entry of the option's own ("--changed=REV").
  std::string_view help;
  Setter set;
  Completion completes;
  std::string_view usage;  // the left column of --help, where it is not made from the names
};

std::optional<std::int32_t> ParseCount(std::string_view text, std::int32_t low, std::int32_t high);
std::optional<project::LineRange> ParseLineRange(std::string_view text);
std::string IndentText(std::string_view text);

std::string Quoted(const Value& given) { return "'" + std::string(given.value_or("")) + "'"; }

// A switch that sets one member of the options.
template <auto kMember, auto kValue = true>
std::string Switch(const Value&, CommandLine& line) {
  line.options.*kMember = kValue;
  return {};
}

// An option that is an action of its own (--help).
template <CommandLine::Action kAction>
std::string ActionSwitch(const Value&, CommandLine& line) {
  line.action = kAction;
  return {};
}

constexpr std::int32_t kMaxJobs = 1024;
static_assert(scanner::kTokenLimit == 512, "the help of --classic-limit names the limit");

constexpr Option kOptions[] = {
    {"Style:", "", "style", Takes::kValue, "STYLE", "modern (default), classic or exact",
     [](const Value& given, CommandLine& line) -> std::string {
       const std::optional<format::Style> style = format::ParseStyle(*given);
       if (!style) return "--style is 'modern', 'classic' or 'exact', not " + Quoted(given);
       line.options.style.style = *style;
       line.options.given.style = true;
       return {};
     },
     Words("modern classic exact")},
    {"", "m", "max-line-length", Takes::kValue, "N",
     "break lines longer than N, or off (default 80;\n0 is off too in the modern style)",
     [](const Value& given, CommandLine& line) -> std::string {
       const auto length = *given == "off" ? INT32_MAX : ParseCount(*given, 0, INT32_MAX);
       if (!length)
         return "--max-line-length needs a whole number of 0 or more, or off, not " + Quoted(given);
       line.options.style.layout.max_line_length = *length;
       line.options.given.max_line_length = true;
       return {};
     },
     Words("off 80 100 120")},
    {"", "", "indent", Takes::kValue, "TEXT",
     "one indentation unit; \\t is a tab (default: the\nfile's own, else four blanks, in the modern style;\n"
     "three blanks in the classic ones)",
     [](const Value& given, CommandLine& line) -> std::string {
       line.options.style.layout.indent_string = IndentText(*given);
       line.options.given.indent = true;
       return {};
     }},
    {"", "", "brace-style", Takes::kValue, "STYLE", "attach (default) or break",
     [](const Value& given, CommandLine& line) -> std::string {
       if (*given != "attach" && *given != "break")
         return "--brace-style is 'attach' or 'break', not " + Quoted(given);
       line.options.style.layout.brace_style =
           *given == "attach" ? lexer::BraceStyle::kAttach : lexer::BraceStyle::kBreak;
       line.options.given.brace_style = true;
       return {};
     },
     Words("attach break")},
    {"Modes (by default the formatted text goes to standard output):", "wi", "write", Takes::kNothing, "",
     "rewrite changed files in place, safely", Switch<&TreeOptions::write>},
    {"", "l", "list", Takes::kNothing, "", "name the files whose formatting differs, and where",
     Switch<&TreeOptions::list>},
    {"", "d", "diff", Takes::kNothing, "", "print a unified diff for each changed file",
     Switch<&TreeOptions::diff>},
    {"", "", "check", Takes::kNothing, "", "as --list; for CI", Switch<&TreeOptions::check>},
    {"", "", "staged", Takes::kNothing, "",
     "the staged content of the staged files in git's index\n(with --write, formatted and staged again)",
     Switch<&TreeOptions::staged>},
    {"", "", "print-settings", Takes::kOptional, "PATH",
     "show the style that applies to PATH, and from where",
     [](const Value& given, CommandLine& line) -> std::string {
       if (given) line.options.paths.emplace_back(*given);
       line.action = CommandLine::Action::kPrintSettings;
       return {};
     },
     kFileName, "--print-settings PATH"},
    {"Only some lines (the whole text is formatted and checked; other lines stay):", "", "lines",
     Takes::kValue, "FIRST:LAST",
     "the statements that touch these lines of the one\nfile or standard input (repeatable)",
     [](const Value& given, CommandLine& line) -> std::string {
       const auto range = ParseLineRange(*given);
       if (!range)
         return "--lines needs FIRST:LAST, line numbers from 1 with FIRST not past LAST, not " +
                Quoted(given);
       line.options.lines.push_back(*range);
       return {};
     }},
    {"", "", "changed", Takes::kOptional, "REV",
     "the lines of the staged files that differ from HEAD\n"
     "--changed=REV\tthe lines of the work tree's files that differ from\n"
     "the commit REV (REV only after '=')",
     [](const Value& given, CommandLine& line) -> std::string {
       if (given && given->empty()) return "--changed= needs a commit, as in --changed=main";
       line.options.changed = true;
       line.options.changed_against = given.value_or("");
       return {};
     },
     kCommit, "--changed"},
    {"Which files:", "", "exclude", Takes::kValue, "GLOB",
     "leave out the files and folders that GLOB matches (repeatable)",
     [](const Value& given, CommandLine& line) -> std::string {
       // A pattern that names the current folder (or none) would leave out
       // everything, and a check would pass having checked nothing.
       std::string_view named = *given;
       while (named.starts_with("./")) named.remove_prefix(2);
       while (named.size() > 1 && named.back() == '/') named.remove_suffix(1);
       if (named.empty() || named == "." || named == "/")
         return "--exclude needs a pattern that names files, not " + Quoted(given) +
                ", which would leave out everything";
       line.options.excludes.emplace_back(*given);
       return {};
     }},
    {"", "", "files-from", Takes::kValue, "FILE", "also the paths in FILE, one a line; - for standard input",
     [](const Value& given, CommandLine& line) -> std::string {
       if (given->empty()) return "--files-from needs a file name, or - for standard input";
       line.options.files_from = *given;
       return {};
     },
     kFileName},
    {"", "0", "null", Takes::kNothing, "", "the paths in FILE end with a NUL byte instead",
     Switch<&TreeOptions::null_separated>},
    {"", "", "assume-filename", Takes::kValue, "NAME", "format named files and standard input as NAME's kind",
     [](const Value& given, CommandLine& line) -> std::string {
       if (!IsSourceName(BaseName(*given)))
         return "--assume-filename needs a C or C++ file name, not " + Quoted(given);
       line.options.assume_filename = *given;
       return {};
     },
     kFileName},
    {"", "", "stdin-filename", Takes::kValue, "PATH",
     "name standard input's text, for its settings and messages",
     [](const Value& given, CommandLine& line) -> std::string {
       line.options.stdin_filename = *given;
       return {};
     },
     kFileName},
    {"Rules:", "", "classic", Takes::kNothing, "", "the same as --style exact",
     [](const Value&, CommandLine& line) -> std::string {
       line.options.style.style = format::Style::kExact;
       line.options.given.style = true;
       return {};
     }},
    {"", "", "no-verify", Takes::kNothing, "", "do not compare the tokens before and after",
     Switch<&TreeOptions::verify, false>},
    {"Output:", "", "format", Takes::kValue, "FORM",
     "text (PATH:LINE:COL: error: ...), or github for\nGitHub's annotations (::error file=PATH,...)",
     [](const Value& given, CommandLine& line) -> std::string {
       if (*given != "text" && *given != "github")
         return "--format is 'text' or 'github', not " + Quoted(given);
       line.options.form = *given == "text" ? PlaceForm::kText : PlaceForm::kGithub;
       return {};
     },
     Words("text github")},
    {"", "", "color", Takes::kOptional, "WHEN",
     "colour diffs and the lines that name places:\nauto (on a terminal, the default), always or never",
     [](const Value& given, CommandLine& line) -> std::string {
       if (!given || *given == "always") {
         line.options.color = ColorChoice::kAlways;
       } else if (*given == "auto" || *given == "never") {
         line.options.color = *given == "auto" ? ColorChoice::kAuto : ColorChoice::kNever;
       } else {
         return "--color is 'auto', 'always' or 'never', not " + Quoted(given);
       }
       return {};
     },
     Words("auto always never")},
    {"", "v", "verbose", Takes::kNothing, "", "name every file and what became of it",
     Switch<&TreeOptions::verbose>},
    {"", "q", "quiet", Takes::kNothing, "", "no summary line", Switch<&TreeOptions::quiet>},
    {"Other:", "", "once", Takes::kNothing, "", "one pass instead of settling (the classic styles)",
     Switch<&TreeOptions::once>},
    {"", "", "backup", Takes::kNothing, "", "with --write, also keep the classic NAME.Backup copy",
     Switch<&TreeOptions::backup>},
    {"", "", "classic-limit", Takes::kNothing, "",
     "the classic styles keep the 512-byte token limit: such files are errors",
     Switch<&TreeOptions::classic_limit>},
    {"", "j", "jobs", Takes::kValue, "N", "files formatted at once (default: one per core)",
     [](const Value& given, CommandLine& line) -> std::string {
       const auto jobs = ParseCount(*given, 1, kMaxJobs);
       if (!jobs)
         return "--jobs needs a number from 1 to " + std::to_string(kMaxJobs) + ", not " + Quoted(given);
       line.options.jobs = *jobs;
       return {};
     }},
    {"", "h", "help", Takes::kNothing, "", "this text", ActionSwitch<CommandLine::Action::kHelp>},
    {"", "", "version", Takes::kNothing, "", "the version", ActionSwitch<CommandLine::Action::kVersion>},
};

const Option* FindShort(char name) {
  for (const Option& option : kOptions) {
    if (option.shorts.find(name) != std::string_view::npos) return &option;
  }
  return nullptr;
}

const Option* FindLong(std::string_view name) {
  for (const Option& option : kOptions) {
    if (option.long_name == name) return &option;
  }
  return nullptr;
}

// The left column of an option's entry in --help.
std::string Usage(const Option& option) {
  std::string usage;
  for (const char name : option.shorts) usage += std::string("-") + name + ", ";
  if (!option.usage.empty()) return usage + std::string(option.usage);
  usage += "--" + std::string(option.long_name);
  if (option.takes == Takes::kValue) usage += " " + std::string(option.value_name);
  if (option.takes == Takes::kOptional) usage += "[=" + std::string(option.value_name) + "]";
  return usage;
}

// One entry of --help: the usage indented by 2 (6 without a short name), the
// text from column 29; a usage too long for that stands on a line of its own.
void AppendEntry(std::string usage, bool has_short, std::string_view text, std::string& out) {
  constexpr std::size_t kTextColumn = 28;
  usage.insert(0, has_short ? "  " : "      ");
  if (usage.size() + 2 > kTextColumn) {
    out += usage + "\n";
    usage.clear();
  }
  usage.resize(kTextColumn, ' ');
  out += usage;
  for (std::size_t at = 0, end = 0; at <= text.size(); at = end + 1) {
    end = std::min(text.find('\n', at), text.size());
    const std::string_view line = text.substr(at, end - at);
    if (at > 0) {
      if (const std::size_t tab = line.find('\t'); tab != std::string_view::npos) {
        AppendEntry(std::string(line.substr(0, tab)), false, line.substr(tab + 1), out);
        continue;
      }
      out += std::string(kTextColumn, ' ');
    }
    out += std::string(line) + "\n";
  }
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

// The entries of the options, under their headings.
std::string OptionsHelp() {
  std::string help;
  for (const Option& option : kOptions) {
    if (!option.section.empty()) help += std::string(option.section) + "\n";
    AppendEntry(Usage(option), !option.shorts.empty(), option.help, help);
  }
  return help;
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
    const Option* option = FindLong(name);
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
      const Option* option = FindShort(group[i]);
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

  void Apply(const Option& option, const Value& given) {
    if (std::string error = option.set(given, result_); !error.empty()) Fail(std::move(error));
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

  const std::vector<std::string_view>& arguments_;
  std::size_t next_ = 0;
  CommandLine result_;
};

}  // namespace

std::vector<OptionDescription> OptionTable() {
  std::vector<OptionDescription> table;
  for (const Option& option : kOptions) {
    OptionDescription& row = table.emplace_back();
    for (const char name : option.shorts) row.names.push_back(std::string("-") + name);
    row.long_name = "--" + std::string(option.long_name);
    row.names.push_back(row.long_name);
    row.value_name = option.value_name;
    // The lines of its own entry, up to a second entry ("USAGE\tTEXT").
    std::string_view help = option.help;
    if (const std::size_t tab = help.find('\t'); tab != std::string_view::npos)
      help = help.substr(0, help.rfind('\n', tab));
    for (const char c : help) row.summary += c == '\n' ? ' ' : c;
    row.takes_value = option.takes != Takes::kNothing;
    row.needs_value = option.takes == Takes::kValue;
    row.repeatable = option.help.find("(repeatable)") != std::string_view::npos;
    row.alone = option.set == &ActionSwitch<CommandLine::Action::kHelp> ||
                option.set == &ActionSwitch<CommandLine::Action::kVersion>;
    row.completes = option.completes.what;
    for (std::string_view words = option.completes.words; !words.empty();) {
      const std::size_t blank = std::min(words.find(' '), words.size());
      row.words.emplace_back(words.substr(0, blank));
      words.remove_prefix(std::min(blank + 1, words.size()));
    }
  }
  return table;
}

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
         "\n" +
         OptionsHelp() +
         "\n"
         "Exit status: 0 all well; 1 with --list or --check when a file would change;\n"
         "2 when a file had an error; 64 for a bad command line.\n";
}

}  // namespace qfmt::tree
