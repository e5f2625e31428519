#include "tree/report.h"

#include <charconv>

#include "platform/check.h"

namespace qfmt::tree {
namespace {

std::string Fixed(double value, int decimals) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return std::string(buffer, result.ptr);
}

std::string Counted(std::int64_t count, std::string_view one, std::string_view many) {
  return GroupedNumber(count) + " " + std::string(count == 1 ? one : many);
}

double Megabytes(std::int64_t bytes) { return static_cast<double>(bytes) / 1e6; }

}  // namespace

std::string GroupedNumber(std::int64_t number) {
  QFMT_CHECK(number >= 0);
  const std::string digits = std::to_string(number);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

std::string SummaryLine(const RunTotals& totals) {
  std::string line = "formatted " + Counted(totals.files, "file", "files") + ", " +
                     GroupedNumber(totals.changed) + (totals.written ? " changed, " : " would change, ");
  if (totals.skipped > 0) line += GroupedNumber(totals.skipped) + " skipped, ";
  return line + Counted(totals.errors, "error", "errors") + ", " + Fixed(Megabytes(totals.bytes), 1) +
         " MB in " + Fixed(totals.seconds, 2) + " s";
}

std::string ProgressLine(std::int64_t done, std::int64_t total, std::int64_t bytes, double seconds) {
  const double rate = seconds > 0 ? Megabytes(bytes) / seconds : 0.0;
  return GroupedNumber(done) + " of " + Counted(total, "file", "files") + ", " + Fixed(rate, 1) + " MB/s";
}

}  // namespace qfmt::tree
