#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "layout/layout.h"
#include "layout/output_writer.h"
#include "scanner/engine.h"
#include "scanner/input.h"

namespace qfmt::job {

struct FormatResult {
  scanner::ScanFailure failure = scanner::ScanFailure::kNone;
  // After an overflow: the offset in the input (CR LF counted as one byte)
  // where the token that was too long began.
  std::int64_t failure_offset = -1;
  std::int32_t brace_depth = 0;  // at the end of the run
  bool write_failed = false;
  bool output_limit_reached = false;  // past FormatText's max_output; failure is then kStopped
};

// The large buffers of a run, kept by a caller that makes many runs, so that a
// run allocates (and the allocator returns) nothing big.
struct RunBuffers {
  std::vector<char> read_block;
  std::vector<char> write_buffer;
};

// One formatting run: scans the whole input, letting the rule actions write the
// laid-out text, then writes the final line break. options.repaired selects
// the repaired rules and clean white space. After a fatal scanner
// failure the output holds what was written up to then. Each call has state of
// its own; runs never see each other.
[[nodiscard]] FormatResult Format(platform::ByteSource& input, platform::ByteSink& output,
                                  layout::LineEnds line_ends, const layout::LayoutOptions& options,
                                  scanner::TokenLimit limit = scanner::TokenLimit::kClassic,
                                  scanner::TokenObserver* observer = nullptr, RunBuffers* buffers = nullptr);

// Formats bytes held in memory; line ends follow the input's first line feed.
// An output that would grow past `max_output` bytes stops the run soon after
// (output_limit_reached), so that a text whose output grows quadratically
// (a million "{") costs neither the memory nor the time.
[[nodiscard]] FormatResult FormatText(std::string_view input, const layout::LayoutOptions& options,
                                      std::string& output,
                                      scanner::TokenLimit limit = scanner::TokenLimit::kClassic,
                                      scanner::TokenObserver* observer = nullptr,
                                      RunBuffers* buffers = nullptr, std::size_t max_output = SIZE_MAX);

// Line and column (both from 1, columns in bytes) of an offset that counts
// each CR LF of `input` as one byte, such as FormatResult::failure_offset; with
// skip_blanks, of the first byte from there on that is not a space, tab or
// line feed (a token attempt may begin with the blanks before a comment).
struct TextPosition {
  std::int64_t line = 1;
  std::int64_t column = 1;
};
[[nodiscard]] TextPosition PositionOf(std::string_view input, std::int64_t offset, bool skip_blanks = false);

}  // namespace qfmt::job
