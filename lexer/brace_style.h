#pragma once

#include <cstdint>

namespace qfmt::lexer {

// Where an opening brace goes, in the classic layouts and the modern one
// alike. Here, below both, so that the one option reaches each unchanged.
enum class BraceStyle : std::int32_t {
  kBreak = 0,   // every "{" on a line of its own
  kAttach = 1,  // "{" on the line of its statement (the classic "-sk"); the modern
                // style still puts a function's on a line of its own
};

}  // namespace qfmt::lexer
