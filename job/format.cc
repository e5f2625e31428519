#include "job/format.h"

#include <memory>

namespace qfmt::job {
namespace {

// Everything one run needs, allocated once per run.
struct Run {
  Run(scanner::ByteSource& input, layout::ByteSink& output, layout::LineEnds line_ends,
      const layout::LayoutOptions& options)
      : reader(input),
        engine(reader),
        writer(output, line_ends),
        layout(options, writer),
        actions(engine, layout) {}

  scanner::LineEndReader reader;
  scanner::Engine engine;
  layout::OutputWriter writer;
  layout::Layout layout;
  scanner::RuleActions actions;
};

}  // namespace

FormatResult Format(scanner::ByteSource& input, layout::ByteSink& output, layout::LineEnds line_ends,
                    const layout::LayoutOptions& options, scanner::TokenObserver* observer) {
  const auto run = std::make_unique<Run>(input, output, line_ends, options);
  FormatResult result;
  result.failure = scanner::ScanInput(run->engine, run->actions, observer);
  if (result.failure == scanner::ScanFailure::kNone) run->layout.EmitNewline();
  result.write_failed = !run->writer.Flush();
  result.brace_depth = run->layout.state().brace_depth;
  return result;
}

FormatResult FormatText(std::string_view input, const layout::LayoutOptions& options, std::string& output,
                        scanner::TokenObserver* observer) {
  layout::LineEndDetector detector;
  detector.Feed(input);
  scanner::MemorySource source(input);
  layout::StringSink sink(output);
  return Format(source, sink, detector.line_ends(), options, observer);
}

}  // namespace qfmt::job
