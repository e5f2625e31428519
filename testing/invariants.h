#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "job/format.h"
#include "layout/layout.h"
#include "layout/output_writer.h"
#include "scanner/input.h"

// The properties that every formatting run must have, checked on any input:
// the formatter never adds, drops or reorders a byte that is not blank; two
// runs over the same bytes agree; the lifted token limit changes nothing but
// where the scan stops, so a run stopped by an overflow leaves a prefix of the
// full output. Shared by the tests, the fuzz targets and qfmt-check.
namespace qfmt::testing {

// Compares the bytes that are not blank (blank, tab, line feed) of a run's
// input and output as they stream by. The input is taken as the scanner reads
// it, each CR LF as LF; the output's line ends are undone as the writer made
// them (with CR LF line ends, the CR of each CR LF is the writer's). The input
// must be fed ahead of the output, as a run reads before it writes.
class NonBlankComparison {
 public:
  explicit NonBlankComparison(layout::LineEnds output_line_ends);

  void FeedInput(std::string_view bytes);
  void FeedOutput(std::string_view bytes);
  // Ends both streams: true when the output's bytes that are not blank were
  // exactly the input's, in order.
  [[nodiscard]] bool Finish();
  // After a difference: where it was and what stood there.
  [[nodiscard]] const std::string& problem() const { return problem_; }

 private:
  void Expect(std::string_view run);
  void Match(std::string_view run);

  bool crlf_output_;
  bool input_cr_ = false;   // a CR that may begin a CR LF
  bool output_cr_ = false;  // the writer's CR before its LF, or a CR of the text
  std::string pending_;     // input bytes not matched yet, from pending_head_ on
  std::size_t pending_head_ = 0;
  std::uint64_t matched_ = 0;
  std::string problem_;
};

// Hands out a source's bytes at most `step` at a time, to move every block
// boundary of the reads.
class ChunkedSource final : public platform::ByteSource {
 public:
  ChunkedSource(platform::ByteSource& source, std::size_t step) : source_(source), step_(step) {}
  [[nodiscard]] std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    return source_.Read(buffer, size < step_ ? size : step_);
  }

 private:
  platform::ByteSource& source_;
  std::size_t step_;
};

// Opens the input afresh for each run of a check.
using SourceOpener = std::function<std::unique_ptr<platform::ByteSource>()>;

struct CheckOptions {
  layout::LayoutOptions layout;
  // When not 0, the second run reads the input this many bytes at a time.
  std::size_t read_step = 0;
  // When not 0, each run's output is refused after this many bytes (the
  // formatter goes on, dropping the rest); the checks then cover the bytes
  // taken, and the non-blank check is left out.
  std::uint64_t output_limit = 0;
};

struct CheckReport {
  std::string problem;  // empty when every property holds
  // Of the run with the classic limit:
  job::FormatResult result;
  layout::LineEnds line_ends = layout::LineEnds::kLf;
  std::uint64_t input_size = 0;
  std::uint64_t input_digest = 0;
  std::uint64_t output_size = 0;
  std::uint64_t output_digest = 0;
  // False for input with a NUL byte or a line-wrap marker, for an indentation
  // unit that is not all blanks, and for output cut at the limit.
  bool non_blank_checked = false;
};

// 64-bit FNV-1a, the digest that CheckReport and CheckJobRun compare.
class Digest {
 public:
  void Feed(std::string_view bytes);
  [[nodiscard]] std::uint64_t value() const { return value_; }

 private:
  std::uint64_t value_ = 14695981039346656037ULL;
};

// Formats the input three times, holding no output: with the classic limit,
// again (reading in steps when asked), and with the lifted limit. Checks that
// the first two agree in every byte and figure; that the lifted run succeeds
// and equals the classic one, or, after an overflow, continues it; that a
// complete output ends in a line break; and that the bytes that are not blank
// survive, unless the input has a NUL byte (the actions see a token cut short
// at it) or a line-wrap marker (dropped), or the indentation unit has a byte
// that is not blank.
[[nodiscard]] CheckReport CheckInvariants(const SourceOpener& open, const CheckOptions& options);
[[nodiscard]] CheckReport CheckInvariants(std::string_view input, const CheckOptions& options);

// Runs the classic job that `run` starts on the file `name` (in place, default
// options) and checks what it leaves against `reference`, the report made from
// the file's bytes before the run: the backup holds the input; the output
// holds the classic output (after a fatal error, the prefix written until
// then); the status and standard error are the ones the outcome calls for.
// `run` returns the exit status and what went to standard error.
struct JobOutcome {
  int status = -1;
  std::string error;
};
using JobRunner = std::function<JobOutcome(const std::string& name)>;
[[nodiscard]] std::string CheckJobRun(const std::string& name, const CheckReport& reference,
                                      const JobRunner& run);

// The size and digest of a file's bytes, read through the system's file
// system; false when it cannot be read.
[[nodiscard]] bool DigestFile(const std::string& name, std::uint64_t& size, std::uint64_t& digest);

}  // namespace qfmt::testing
