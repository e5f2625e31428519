#pragma once

#include <span>
#include <string>

#include "tree/command_line.h"

// The bash and zsh completions of qfmt-tree, made from its option rows at
// build time (programs/qfmt_completions.cc writes them).
namespace qfmt::tree {

// A script for bash-completion: the options by name, and for an option's
// value its words, file names or (after "--changed=") git's commits.
[[nodiscard]] std::string BashCompletion(std::span<const OptionDescription> options);

// A function for zsh's completion system, one _arguments word per option.
[[nodiscard]] std::string ZshCompletion(std::span<const OptionDescription> options);

}  // namespace qfmt::tree
