#pragma once

#include <cstdint>
#include <string_view>

// What the modern style promises, counted over a text and its formatted
// text (whose preprocessing tokens are the same): the figures of
// bench/modern.sh, and the properties that the tests check.
namespace qfmt::bench {

struct ModernStats {
  // Runs of blank lines between two tokens, where the style keeps them (not
  // after "{", not before "}"), and how many of them the output keeps.
  std::int64_t blank_runs = 0;
  std::int64_t blank_runs_kept = 0;
  // ";" tokens alone on a line in the output that were not so in the input.
  std::int64_t lone_semicolons_added = 0;
  // Output lines over the limit (a trailing comment aside) that hold two
  // tokens or more besides , ; ) ] }: lines that could have been broken.
  std::int64_t breakable_over_limit = 0;
  // if, for, while and switch before "(" in the output, and of those, how
  // many with one blank between.
  std::int64_t keywords = 0;
  std::int64_t keywords_spaced = 0;

  ModernStats& operator+=(const ModernStats& other);
};

// `limit` 0: no limit. The texts' tokens must be the same.
[[nodiscard]] ModernStats MeasureModern(std::string_view input, std::string_view output, std::int32_t limit,
                                        std::int32_t tab_width = 8);

}  // namespace qfmt::bench
