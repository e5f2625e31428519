#include "testing/invariants.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "job/messages.h"
#include "platform/file_system.h"
#include "scanner/engine.h"
#include "testing/token_dump.h"

namespace qfmt::testing {
namespace {

constexpr std::string_view kLineWrapMarker = "/*Line Wrapped*/";
constexpr std::uint64_t kWholeOutput = std::numeric_limits<std::uint64_t>::max();

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// The end of the run of bytes from `from` on that are neither blank nor, when
// `cr_ends` holds, a carriage return.
std::size_t EndOfRun(std::string_view bytes, std::size_t from, bool cr_ends) {
  std::size_t end = from;
  while (end < bytes.size() && !IsBlank(bytes[end]) && !(cr_ends && bytes[end] == '\r')) ++end;
  return end;
}

// Finds what makes an input exempt from the non-blank check, across the
// boundaries of the reads.
class ExemptionScan {
 public:
  void Feed(std::string_view bytes) {
    if (bytes.find('\0') != std::string_view::npos) exempt_ = true;
    if (exempt_ || bytes.empty()) return;
    const std::size_t keep = kLineWrapMarker.size() - 1;
    std::string joined = tail_;
    joined.append(bytes.substr(0, bytes.size() < keep ? bytes.size() : keep));
    if (joined.find(kLineWrapMarker) != std::string::npos ||
        bytes.find(kLineWrapMarker) != std::string::npos) {
      exempt_ = true;
    }
    tail_ += bytes.substr(bytes.size() > keep ? bytes.size() - keep : 0);
    if (tail_.size() > keep) tail_.erase(0, tail_.size() - keep);
  }
  [[nodiscard]] bool exempt() const { return exempt_; }

 private:
  std::string tail_;
  bool exempt_ = false;
};

// Passes a source's bytes on and shows them to the comparison on the way.
class WatchedSource final : public platform::ByteSource {
 public:
  WatchedSource(platform::ByteSource& source, NonBlankComparison* comparison)
      : source_(source), comparison_(comparison) {}
  std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    const std::ptrdiff_t n = source_.Read(buffer, size);
    if (n > 0 && comparison_ != nullptr)
      comparison_->FeedInput(std::string_view(buffer, static_cast<std::size_t>(n)));
    return n;
  }

 private:
  platform::ByteSource& source_;
  NonBlankComparison* comparison_;
};

// Keeps no bytes: their count, their digest, the digest of the first
// `prefix_size` of them, and the last one.
class DigestSink final : public platform::ByteSink {
 public:
  DigestSink(std::uint64_t prefix_size, std::uint64_t limit, NonBlankComparison* comparison)
      : prefix_size_(prefix_size), limit_(limit), comparison_(comparison) {
    if (prefix_size_ == 0) prefix_digest_ = digest_.value();
  }
  bool Write(const char* data, std::size_t size) override {
    std::string_view bytes(data, size);
    if (limit_ != 0 && size_ + bytes.size() > limit_) {
      bytes = bytes.substr(0, static_cast<std::size_t>(limit_ - size_));
      refused_ = true;
    }
    if (comparison_ != nullptr) comparison_->FeedOutput(bytes);
    if (size_ < prefix_size_ && size_ + bytes.size() >= prefix_size_) {
      const auto head = static_cast<std::size_t>(prefix_size_ - size_);
      digest_.Feed(bytes.substr(0, head));
      prefix_digest_ = digest_.value();
      digest_.Feed(bytes.substr(head));
    } else {
      digest_.Feed(bytes);
    }
    size_ += bytes.size();
    if (!bytes.empty()) last_ = bytes.back();
    return !refused_;
  }
  [[nodiscard]] bool refused() const { return refused_; }
  [[nodiscard]] std::uint64_t size() const { return size_; }
  [[nodiscard]] std::uint64_t digest() const { return digest_.value(); }
  // Set only once the output has reached prefix_size bytes.
  [[nodiscard]] const std::uint64_t* prefix_digest() const {
    return size_ >= prefix_size_ ? &prefix_digest_ : nullptr;
  }
  [[nodiscard]] char last() const { return last_; }

 private:
  std::uint64_t prefix_size_;
  std::uint64_t limit_;
  bool refused_ = false;
  NonBlankComparison* comparison_;
  Digest digest_;
  std::uint64_t size_ = 0;
  std::uint64_t prefix_digest_ = 0;
  char last_ = '\0';
};

struct Run {
  job::FormatResult result;
  std::uint64_t size = 0;
  std::uint64_t digest = 0;
  bool prefix_matches = false;  // the first `prefix_size` bytes had `prefix_digest`
  char last = '\0';
  bool truncated = false;  // output refused at the limit
};

Run RunOnce(platform::ByteSource& input, layout::LineEnds line_ends, const CheckOptions& options,
            scanner::TokenLimit limit, std::size_t read_step, NonBlankComparison* comparison,
            std::uint64_t prefix_size = kWholeOutput, std::uint64_t prefix_digest = 0) {
  WatchedSource watched(input, comparison);
  ChunkedSource chunked(watched, read_step);
  platform::ByteSource& source = read_step > 0 ? static_cast<platform::ByteSource&>(chunked) : watched;
  DigestSink sink(prefix_size, options.output_limit, comparison);
  Run run;
  run.result = job::Format(source, sink, line_ends, options.layout, limit);
  run.truncated = sink.refused();
  run.size = sink.size();
  run.digest = sink.digest();
  run.prefix_matches = sink.prefix_digest() != nullptr && *sink.prefix_digest() == prefix_digest;
  run.last = sink.last();
  return run;
}

bool SameResult(const job::FormatResult& a, const job::FormatResult& b) {
  return a.status.message() == b.status.message() && a.failure_offset == b.failure_offset &&
         a.brace_depth == b.brace_depth && a.write_failed == b.write_failed;
}

std::string Figures(const Run& run) {
  return "failure '" + run.result.status.message() + "' at " + std::to_string(run.result.failure_offset) +
         ", brace depth " + std::to_string(run.result.brace_depth) + ", " + std::to_string(run.size) +
         " output bytes";
}

}  // namespace

NonBlankComparison::NonBlankComparison(layout::LineEnds output_line_ends)
    : crlf_output_(output_line_ends == layout::LineEnds::kCrLf) {}

void NonBlankComparison::FeedInput(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const char c = bytes[i];
    if (input_cr_) {
      input_cr_ = false;
      if (c != '\n') Expect("\r");
    }
    if (c == '\r') {
      input_cr_ = true;
      ++i;
    } else if (IsBlank(c)) {
      ++i;
    } else {
      const std::size_t end = EndOfRun(bytes, i, true);
      Expect(bytes.substr(i, end - i));
      i = end;
    }
  }
}

void NonBlankComparison::FeedOutput(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size() && problem_.empty()) {
    const char c = bytes[i];
    if (output_cr_) {
      output_cr_ = false;
      if (c != '\n') Match("\r");
    }
    if (c == '\r' && crlf_output_) {
      output_cr_ = true;
      ++i;
    } else if (IsBlank(c)) {
      ++i;
    } else {
      const std::size_t end = EndOfRun(bytes, i, crlf_output_);
      Match(bytes.substr(i, end - i));
      i = end;
    }
  }
}

bool NonBlankComparison::Finish() {
  if (input_cr_) Expect("\r");
  if (output_cr_) Match("\r");
  input_cr_ = output_cr_ = false;
  if (problem_.empty() && pending_head_ < pending_.size()) {
    problem_ = "the output ends after " + std::to_string(matched_) +
               " bytes that are not blank; the input goes on with " +
               EscapedBytes(std::string_view(pending_).substr(pending_head_, 40));
  }
  return problem_.empty();
}

void NonBlankComparison::Expect(std::string_view run) {
  if (!problem_.empty()) return;
  // Drop what has been matched once it is most of the text held.
  if (pending_head_ > 4096 && pending_head_ * 2 > pending_.size()) {
    pending_.erase(0, pending_head_);
    pending_head_ = 0;
  }
  pending_ += run;
}

void NonBlankComparison::Match(std::string_view run) {
  if (!problem_.empty()) return;
  // The scanner knows whether a CR begins a CR LF before the CR can reach the
  // output, so a CR still held here ended the input.
  if (input_cr_ && pending_.size() - pending_head_ < run.size()) {
    input_cr_ = false;
    Expect("\r");
  }
  const std::string_view held = std::string_view(pending_).substr(pending_head_);
  std::size_t same = 0;
  while (same < run.size() && same < held.size() && run[same] == held[same]) ++same;
  if (same < run.size()) {
    problem_ =
        same < held.size()
            ? "byte " + std::to_string(matched_ + same) + " that is not blank: the input has " +
                  EscapedBytes(held.substr(same, 40)) + ", the output " + EscapedBytes(run.substr(same, 40))
            : "the output has " + EscapedBytes(run.substr(same, 40)) + " after " +
                  std::to_string(matched_ + same) + " bytes that are not blank, where the input has no more";
    return;
  }
  pending_head_ += same;
  matched_ += same;
}

void Digest::Feed(std::string_view bytes) {
  for (const char c : bytes) {
    value_ ^= static_cast<unsigned char>(c);
    value_ *= 1099511628211ULL;
  }
}

CheckReport CheckInvariants(const SourceOpener& open, const CheckOptions& options) {
  CheckReport report;
  // A first pass over the whole input. The line ends follow its first line
  // feed, as the job takes them from the backup copy.
  ExemptionScan exemption;
  {
    const auto source = open();
    layout::LineEndDetector detector;
    Digest digest;
    std::vector<char> block(platform::kBlockSize);
    for (;;) {
      const std::ptrdiff_t n = source->Read(block.data(), block.size());
      if (n < 0) {
        report.problem = "the input cannot be read";
        return report;
      }
      if (n == 0) break;
      const std::string_view bytes(block.data(), static_cast<std::size_t>(n));
      detector.Feed(bytes);
      digest.Feed(bytes);
      exemption.Feed(bytes);
      report.input_size += bytes.size();
    }
    report.line_ends = detector.line_ends();
    report.input_digest = digest.value();
  }
  const Run classic = RunOnce(*open(), report.line_ends, options, scanner::TokenLimit::kClassic, 0, nullptr);
  report.result = classic.result;
  report.output_size = classic.size;
  report.output_digest = classic.digest;

  const Run again =
      RunOnce(*open(), report.line_ends, options, scanner::TokenLimit::kClassic, options.read_step, nullptr);
  if (!SameResult(again.result, classic.result) || again.size != classic.size ||
      again.digest != classic.digest) {
    report.problem = "a second run differs: " + Figures(classic) + ", then " + Figures(again);
    return report;
  }
  if (!classic.result.status.ok() && !classic.result.token_too_long()) {
    report.problem = "the scan failed: " + classic.result.status.message();
    return report;
  }
  if (classic.result.status.ok() && !classic.truncated && classic.last != '\n') {
    report.problem = "a complete output does not end in a line break";
    return report;
  }

  NonBlankComparison comparison(report.line_ends);
  const Run lifted = RunOnce(*open(), report.line_ends, options, scanner::TokenLimit::kLifted, 0, &comparison,
                             classic.size, classic.digest);
  if (!lifted.result.status.ok()) {
    report.problem = "the run with the lifted limit failed: " + Figures(lifted);
    return report;
  }
  if (classic.result.status.ok()) {
    if (lifted.size != classic.size || lifted.digest != classic.digest ||
        lifted.result.brace_depth != classic.result.brace_depth) {
      report.problem =
          "the lifted limit changed a complete run: " + Figures(classic) + ", then " + Figures(lifted);
      return report;
    }
  } else if (!lifted.prefix_matches) {
    report.problem =
        "the output stopped by the overflow is not a prefix of the full output: " + Figures(classic) +
        ", full " + Figures(lifted);
    return report;
  }
  // Indentation is written in units of the option's bytes, which are only
  // sure to be blank when the unit is made of blanks.
  const std::string& unit = options.layout.indent_string;
  report.non_blank_checked = !exemption.exempt() && !lifted.truncated &&
                             std::all_of(unit.begin(), unit.end(), [](char c) { return IsBlank(c); });
  if (report.non_blank_checked && !comparison.Finish()) report.problem = comparison.problem();
  return report;
}

CheckReport CheckInvariants(std::string_view input, const CheckOptions& options) {
  return CheckInvariants([input] { return std::make_unique<platform::MemorySource>(input); }, options);
}

bool DigestFile(const std::string& name, std::uint64_t& size, std::uint64_t& digest) {
  const auto file = platform::SystemFileSystem().OpenForReading(name);
  if (file == nullptr) return false;
  Digest bytes;
  size = 0;
  std::vector<char> block(platform::kBlockSize);
  for (;;) {
    const std::ptrdiff_t n = file->Read(block.data(), block.size());
    if (n < 0) return false;
    if (n == 0) break;
    bytes.Feed(std::string_view(block.data(), static_cast<std::size_t>(n)));
    size += static_cast<std::uint64_t>(n);
  }
  digest = bytes.value();
  return true;
}

std::string CheckJobRun(const std::string& name, const CheckReport& reference, const JobRunner& run) {
  const JobOutcome outcome = run(name);
  std::string expected_error;
  int expected_status = 0;
  if (reference.result.status.ok()) {
    if (reference.result.brace_depth != 0)
      expected_error = job::BraceWarning(reference.result.brace_depth) + "\n";
  } else {
    expected_status = 1;
    expected_error = reference.result.status.message() + "\n";
  }
  if (outcome.status != expected_status || outcome.error != expected_error) {
    return "the job ended with status " + std::to_string(outcome.status) + " and " +
           EscapedBytes(outcome.error) + " instead of " + std::to_string(expected_status) + " and " +
           EscapedBytes(expected_error);
  }
  std::uint64_t size = 0;
  std::uint64_t digest = 0;
  const std::string backup = name + std::string(job::kBackupSuffix);
  if (!DigestFile(backup, size, digest) || size != reference.input_size || digest != reference.input_digest) {
    return "the backup does not hold the input";
  }
  if (!DigestFile(name, size, digest) || size != reference.output_size || digest != reference.output_digest) {
    return "the output file holds " + std::to_string(size) + " bytes other than the " +
           std::to_string(reference.output_size) + " of the formatted text";
  }
  return {};
}

}  // namespace qfmt::testing
