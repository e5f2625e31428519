#include "job/format.h"

#include <memory>

#include "scanner/actions.h"

namespace qfmt::job {
namespace {

// Everything one run needs, allocated once per run.
struct Run {
  Run(platform::ByteSource& input, platform::ByteSink& output, layout::LineEnds line_ends,
      const layout::LayoutOptions& options, scanner::TokenLimit limit, RunBuffers& buffers)
      : reader(input, buffers.read_block),
        engine(reader, limit, options.repaired ? scanner::RuleSet::kModern : scanner::RuleSet::kClassic),
        writer(output, line_ends, buffers.write_buffer,
               options.repaired ? layout::WhiteSpace::kClean : layout::WhiteSpace::kAsWritten),
        layout(options, writer),
        actions(engine, layout) {}

  scanner::LineEndReader reader;
  scanner::Engine engine;
  layout::OutputWriter writer;
  layout::Layout layout;
  scanner::RuleActions actions;
};

// Appends what it is given to a string until it would grow past a limit;
// then refuses it and stops the scan.
class BoundedSink final : public platform::ByteSink {
 public:
  BoundedSink(std::string& out, std::size_t limit) : out_(out), room_(limit) {}
  void StopsOnOverflow(scanner::Engine& engine) { engine_ = &engine; }
  [[nodiscard]] bool Write(const char* data, std::size_t size) override {
    if (size > room_) {
      overflowed_ = true;
      if (engine_ != nullptr) engine_->Stop();
      return false;
    }
    out_.append(data, size);
    room_ -= size;
    return true;
  }
  [[nodiscard]] bool overflowed() const { return overflowed_; }

 private:
  std::string& out_;
  std::size_t room_;
  scanner::Engine* engine_ = nullptr;
  bool overflowed_ = false;
};

FormatResult RunFormat(Run& run, scanner::TokenObserver* observer) {
  FormatResult result;
  const scanner::ScanFailure failure = scanner::ScanInput(run.engine, run.actions, observer);
  if (failure == scanner::ScanFailure::kNone) {
    run.layout.EmitNewline();
  } else {
    result.status = std::string(scanner::FailureMessage(failure));
  }
  if (failure == scanner::ScanFailure::kBufferOverflow) result.failure_offset = run.engine.attempt_offset();
  result.write_failed = !run.writer.Finish();
  result.brace_depth = run.layout.state().brace_depth;
  return result;
}

}  // namespace

FormatResult Format(platform::ByteSource& input, platform::ByteSink& output, layout::LineEnds line_ends,
                    const layout::LayoutOptions& options, scanner::TokenLimit limit,
                    scanner::TokenObserver* observer, RunBuffers* buffers) {
  RunBuffers own_buffers;
  const auto run = std::make_unique<Run>(input, output, line_ends, options, limit,
                                         buffers != nullptr ? *buffers : own_buffers);
  return RunFormat(*run, observer);
}

FormatResult FormatText(std::string_view input, const layout::LayoutOptions& options, std::string& output,
                        scanner::TokenLimit limit, scanner::TokenObserver* observer, RunBuffers* buffers,
                        std::size_t max_output) {
  layout::LineEndDetector detector;
  detector.Feed(input);
  platform::MemorySource source(input);
  BoundedSink sink(output, max_output);
  RunBuffers own_buffers;
  const auto run = std::make_unique<Run>(source, sink, detector.line_ends(), options, limit,
                                         buffers != nullptr ? *buffers : own_buffers);
  sink.StopsOnOverflow(run->engine);
  FormatResult result = RunFormat(*run, observer);
  // The last bytes may overflow after the scan has ended.
  if (sink.overflowed()) {
    result.output_limit_reached = true;
    result.failure_offset = -1;
    result.status = std::string(scanner::FailureMessage(scanner::ScanFailure::kStopped));
  }
  return result;
}

}  // namespace qfmt::job
