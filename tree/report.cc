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

// The terminal's colours.
constexpr std::string_view kBold = "\x1b[1m", kRed = "\x1b[31m", kGreen = "\x1b[32m", kCyan = "\x1b[36m",
                           kBoldRed = "\x1b[1;31m", kBoldCyan = "\x1b[1;36m", kReset = "\x1b[m";

// A workflow command's text: '%' and line ends escaped, and in a property
// (`in_property`) ':' and ',' too.
std::string GithubEscaped(std::string_view text, bool in_property) {
  std::string escaped;
  for (const char c : text) {
    if (c == '%') {
      escaped += "%25";
    } else if (c == '\r') {
      escaped += "%0D";
    } else if (c == '\n') {
      escaped += "%0A";
    } else if (in_property && c == ':') {
      escaped += "%3A";
    } else if (in_property && c == ',') {
      escaped += "%2C";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string_view DiffLineColor(std::string_view line) {
  if (line.starts_with("--- ") || line.starts_with("+++ ")) return kBold;
  if (line.starts_with("@@")) return kCyan;
  if (line.starts_with('-')) return kRed;
  if (line.starts_with('+')) return kGreen;
  return {};
}

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
  std::string line = (totals.checked ? "checked " : "formatted ") + Counted(totals.files, "file", "files") +
                     ": " + GroupedNumber(totals.changed) +
                     (totals.written ? " changed, " : " would change, ");
  if (totals.skipped > 0) line += GroupedNumber(totals.skipped) + " skipped, ";
  return line + Counted(totals.errors, "error", "errors") + ", " + Fixed(Megabytes(totals.bytes), 1) +
         " MB in " + Fixed(totals.seconds, 2) + " s";
}

std::string ProgressLine(std::int64_t done, std::int64_t total, std::int64_t bytes, double seconds) {
  const double rate = seconds > 0 ? Megabytes(bytes) / seconds : 0.0;
  return GroupedNumber(done) + " of " + Counted(total, "file", "files") + ", " + Fixed(rate, 1) + " MB/s";
}

std::string PlaceWriter::Line(std::string_view path, const std::optional<platform::TextPosition>& at,
                              Severity severity, std::string_view message) const {
  const bool error = severity == Severity::kError;
  std::string place(path);
  if (at) place += ":" + std::to_string(at->line) + ":" + std::to_string(at->column);
  if (form_ == PlaceForm::kGithub) {
    std::string line = error ? "::error file=" : "::notice file=";
    line += GithubEscaped(path, true);
    if (at) line += ",line=" + std::to_string(at->line) + ",col=" + std::to_string(at->column);
    return line + "::" + GithubEscaped(message, false) + "\n";
  }
  const std::string_view label = error ? "error:" : "note:";
  if (!color_) return place + ": " + std::string(label) + " " + std::string(message) + "\n";
  return std::string(kBold) + place + ":" + std::string(kReset) + " " +
         std::string(error ? kBoldRed : kBoldCyan) + std::string(label) + std::string(kReset) + " " +
         std::string(message) + "\n";
}

std::string PlaceWriter::Diff(std::string_view diff) const {
  if (!color_) return std::string(diff);
  std::string colored;
  while (!diff.empty()) {
    const std::size_t end = diff.find('\n');
    const std::string_view line = diff.substr(0, end);
    const std::string_view color = DiffLineColor(line);
    if (color.empty()) {
      colored += line;
    } else {
      colored += color;
      colored += line;
      colored += kReset;
    }
    if (end == std::string_view::npos) break;
    colored += '\n';
    diff.remove_prefix(end + 1);
  }
  return colored;
}

}  // namespace qfmt::tree
