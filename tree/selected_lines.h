#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/pp_lexer.h"
#include "project/git_repository.h"

namespace qfmt::tree {

using project::LineRange;

// The lines of a text that --lines or --changed ask to format: those given,
// or those that differ from the text's base in git.
struct LineSelection {
  std::vector<LineRange> ranges;
  std::optional<std::string> base;  // --changed: the text it is compared with
};

// Puts in `result` the text `text` with the formatting of `formatted` (the
// whole text formatted, with the same tokens) taken only where it touches the
// `lines` of `text`, grown to whole statements, and every other line kept
// byte for byte; see note [formatting some lines]. Returns where the tokens of
// `result` differ from those of `text`, which cannot happen unless the two
// texts' tokens differ.
[[nodiscard]] std::optional<lexer::TokenDifference> FormatSelectedLines(std::string_view text,
                                                                        std::string_view formatted,
                                                                        const std::vector<LineRange>& lines,
                                                                        std::string& result);

}  // namespace qfmt::tree
