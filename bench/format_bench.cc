// Where the time goes: the scanner alone, then scanner and layout, on the
// generated input held in memory (no file system involved).

#include <benchmark/benchmark.h>

#include <string>

#include "bench/source_generator.h"
#include "job/format.h"
#include "scanner/engine.h"
#include "scanner/input.h"

namespace {

const std::string& Input() {
  static const std::string text = [] {
    std::string generated;
    qfmt::bench::GenerateSource(16 << 20, 1, [&](std::string_view piece) { generated += piece; });
    return generated;
  }();
  return text;
}

class NullSink final : public qfmt::layout::ByteSink {
 public:
  bool Write(const char*, std::size_t) override { return true; }
};

void BM_ReadOnly(benchmark::State& state) {
  const std::string& input = Input();
  std::string block(512, '\0');
  for (auto _ : state) {
    qfmt::scanner::MemorySource source(input);
    qfmt::scanner::LineEndReader reader(source);
    while (reader.Read(block.data(), block.size()) > 0) benchmark::DoNotOptimize(block.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}
BENCHMARK(BM_ReadOnly)->Unit(benchmark::kMillisecond);

void BM_Scanner(benchmark::State& state) {
  const std::string& input = Input();
  std::int64_t tokens = 0;
  for (auto _ : state) {
    qfmt::scanner::MemorySource source(input);
    qfmt::scanner::LineEndReader reader(source);
    qfmt::scanner::Engine engine(reader);
    while (engine.NextToken() > 0) ++tokens;
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
  state.counters["tokens"] = benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Scanner)->Unit(benchmark::kMillisecond);

void BM_ScannerAndLayout(benchmark::State& state) {
  const std::string& input = Input();
  const qfmt::layout::LayoutOptions options;
  for (auto _ : state) {
    qfmt::scanner::MemorySource source(input);
    NullSink sink;
    const auto result = qfmt::job::Format(source, sink, qfmt::layout::LineEnds::kLf, options);
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}
BENCHMARK(BM_ScannerAndLayout)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
