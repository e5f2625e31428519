#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "layout/layout.h"
#include "layout/output_writer.h"
#include "platform/status.h"
#include "scanner/engine.h"
#include "scanner/input.h"

namespace qfmt::job {

struct FormatResult {
  // Ok, or the scanner's failure in its words (scanner::FailureMessage).
  platform::Status status;
  // After an overflow: the offset in the input (CR LF counted as one byte)
  // where the token that was too long began.
  std::int64_t failure_offset = -1;
  std::int32_t brace_depth = 0;  // at the end of the run
  bool write_failed = false;
  bool output_limit_reached = false;  // past FormatText's max_output; the scan then stopped

  // The scan failed on a token longer than the buffer (failure_offset says where).
  [[nodiscard]] bool token_too_long() const { return failure_offset >= 0; }
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

}  // namespace qfmt::job
