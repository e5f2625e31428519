#pragma once

#include <cstdint>
#include <string>

namespace qfmt::tree {

// 1234567 as "1,234,567"; never negative.
[[nodiscard]] std::string GroupedNumber(std::int64_t number);

struct RunTotals {
  std::int64_t files = 0;
  std::int64_t changed = 0;
  std::int64_t skipped = 0;  // passed over: not formatted, not changed, no error
  std::int64_t errors = 0;
  std::int64_t bytes = 0;
  double seconds = 0;
  bool written = false;  // -w: files were rewritten, not only compared
};

// "formatted 1,234 files, 56 would change, 3 skipped, 2 errors, 48.1 MB in
// 0.41 s" (1 MB is 1,000,000 bytes): "changed" with -w, and the skipped
// files only when there are some.
[[nodiscard]] std::string SummaryLine(const RunTotals& totals);

// "412 of 7,318 files, 35.2 MB/s".
[[nodiscard]] std::string ProgressLine(std::int64_t done, std::int64_t total, std::int64_t bytes,
                                       double seconds);

}  // namespace qfmt::tree
