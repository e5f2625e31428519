#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// clang's raw lexer (clang -cc1 -dump-raw-tokens, C++20) as an independent
// reference for the tests of our own lexer and of qfmt-tree's token check.
namespace qfmt::testing {

struct ClangToken {
  std::string kind;  // clang's name: "raw_identifier", "unknown", ...
  std::size_t begin = 0;
  std::size_t end = 0;  // without the white space and splices after it
  bool starts_line = false;
};

// True when clang can be run.
[[nodiscard]] bool ClangAvailable();

// The tokens of the file at `path`, whose bytes are `text`; white space is
// left out.
[[nodiscard]] std::vector<ClangToken> ClangRawTokens(const std::string& path, std::string_view text);

// The position after the line splices (backslash, blanks, line end) at `at`.
[[nodiscard]] std::size_t SkipSpliceAt(std::string_view text, std::size_t at);

// A token's extent without the splices before it and the white space and
// splices after it; empty for white space.
[[nodiscard]] std::pair<std::size_t, std::size_t> Trimmed(std::string_view text, std::size_t begin,
                                                          std::size_t end);

}  // namespace qfmt::testing
