#include "tree/completions.h"

#include <cctype>

namespace qfmt::tree {
namespace {

std::string Joined(const std::vector<std::string>& words, std::string_view between) {
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "" : std::string(between)) + word;
  return joined;
}

// `text` inside single quotes of either shell.
std::string SingleQuoted(std::string_view text) {
  std::string quoted;
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted;
}

// What bash does for the value of an option that has one.
std::string BashValueAction(const OptionDescription& option) {
  switch (option.completes) {
    case ValueCompletion::kWords:
      return "COMPREPLY=($(compgen -W '" + Joined(option.words, " ") + "' -- \"$cur\"))";
    case ValueCompletion::kFiles:
      return "_filedir";
    case ValueCompletion::kCommit:
      return "COMPREPLY=($(compgen -W \"HEAD $(git for-each-ref --format='%(refname:short)' 2>/dev/null)\" "
             "-- \"$cur\"))";
    case ValueCompletion::kNothing:
      break;
  }
  return {};
}

// The arm of the case on the word before the cursor: a value that may only
// follow "=" is completed only there, after "--color " comes a path.
std::string BashCaseArm(const OptionDescription& option) {
  const std::string arm = "    " + Joined(option.names, " | ") + ")\n";
  const std::string action = BashValueAction(option);
  if (option.needs_value) return arm + (action.empty() ? "" : "      " + action + "\n") + "      return ;;\n";
  return arm + "      if $split; then\n" + (action.empty() ? "" : "        " + action + "\n") +
         "        return\n      fi ;;\n";
}

// The word of zsh's _arguments that stands for one name of the option.
std::string ZshName(const OptionDescription& option, const std::string& name) {
  if (!option.takes_value) return name;
  if (!name.starts_with("--")) return name + "+";   // "-m60" or "-m 60"
  return name + (option.needs_value ? "=" : "=-");  // "--jobs=2" or "--jobs 2"; "--color=always" only
}

// An explanation in brackets, inside single quotes.
std::string ZshExplanation(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '[' || c == ']' || c == ':' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return "[" + SingleQuoted(escaped) + "]";
}

// ":style:(attach break)", "::commit:", or nothing for a switch.
std::string ZshValue(const OptionDescription& option) {
  if (!option.takes_value) return {};
  std::string message;
  for (const char c : option.value_name) {
    if (c == ':') message += '\\';
    message += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  std::string action;
  if (option.completes == ValueCompletion::kWords) action = "(" + Joined(option.words, " ") + ")";
  if (option.completes == ValueCompletion::kFiles) action = "_files";
  return (option.needs_value ? ":" : "::") + message + ":" + action;
}

// '(-m --max-line-length)'{-m+,--max-line-length=}'[...]:n:(off 80 100 120)'
std::string ZshArgument(const OptionDescription& option) {
  const std::string prefix = option.alone              ? "(- *)"
                             : option.repeatable       ? "*"
                             : option.names.size() > 1 ? "(" + Joined(option.names, " ") + ")"
                                                       : "";
  // "--help[show this text]"
  const std::string rest = ZshExplanation(option.alone ? "show " + option.summary : option.summary) +
                           SingleQuoted(ZshValue(option));
  if (option.names.size() == 1) return "'" + prefix + ZshName(option, option.names.front()) + rest + "'";
  std::vector<std::string> names;
  for (const std::string& name : option.names) names.push_back(ZshName(option, name));
  return "'" + prefix + "'{" + Joined(names, ",") + "}'" + rest + "'";
}

}  // namespace

std::string BashCompletion(std::span<const OptionDescription> options) {
  std::string script =
      "# bash completion for qfmt-tree, made from its options by qfmt-completions; do not edit.\n"
      "_qfmt_tree() {\n"
      "  local cur prev words cword split\n"
      "  _init_completion -s || return\n"
      "  case $prev in\n";
  std::vector<std::string> words;
  for (const OptionDescription& option : options) {
    if (option.takes_value) script += BashCaseArm(option);
    words.insert(words.end(), option.names.begin(), option.names.end());
    if (option.takes_value && !option.needs_value) words.push_back(option.long_name + "=");
  }
  return script +
         "  esac\n"
         "  $split && return\n"
         "  if [[ $cur == -* ]]; then\n"
         "    COMPREPLY=($(compgen -W '" +
         Joined(words, " ") +
         "' -- \"$cur\"))\n"
         "    [[ ${COMPREPLY-} == *= ]] && compopt -o nospace\n"
         "    return\n"
         "  fi\n"
         "  _filedir\n"
         "}\n"
         "complete -F _qfmt_tree qfmt-tree\n";
}

std::string ZshCompletion(std::span<const OptionDescription> options) {
  std::string script =
      "#compdef qfmt-tree\n"
      "# zsh completion for qfmt-tree, made from its options by qfmt-completions; do not edit.\n"
      "_arguments -s -S \\\n";
  for (const OptionDescription& option : options) script += "  " + ZshArgument(option) + " \\\n";
  return script + "  '*:file or folder:_files'\n";
}

}  // namespace qfmt::tree
