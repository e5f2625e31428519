// Where the time goes, on the generated input held in memory (no file system
// involved): the bare transition loop, the scanner alone, scanner and layout,
// and a replay of the token stream without either.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "generated/rule_tables.h"
#include "job/format.h"
#include "scanner/engine.h"
#include "scanner/input.h"
#include "testing/source_generator.h"

namespace {

const std::string& Input() {
  static const std::string text = [] {
    std::string generated;
    qfmt::testing::GenerateSource(16 << 20, 1, [&](std::string_view piece) { generated += piece; });
    return generated;
  }();
  return text;
}

class NullSink final : public qfmt::platform::ByteSink {
 public:
  bool Write(const char*, std::size_t) override { return true; }
};

void BM_ReadOnly(benchmark::State& state) {
  const std::string& input = Input();
  std::string block(512, '\0');
  for (auto _ : state) {
    qfmt::platform::MemorySource source(input);
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
    qfmt::platform::MemorySource source(input);
    qfmt::scanner::LineEndReader reader(source);
    qfmt::scanner::Engine engine(reader);
    while (engine.NextToken() > 0) ++tokens;
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
  state.counters["tokens"] = benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Scanner)->Unit(benchmark::kMillisecond);

// The least that a scanner following one automaton transition per byte costs:
// every byte through the transition table, a token's end going back to the
// start state by a conditional move; no back-up, no run skipping, no actions.
// Each transition waits for the one before it.
void BM_TransitionsOnly(benchmark::State& state) {
  using Tables = qfmt::scanner::tables::Classic;
  const std::string& input = Input();
  const std::size_t start = Tables::kStartRow[0];
  for (auto _ : state) {
    std::size_t row = start;
    for (const char c : input) {
      row = Tables::kRows[row + Tables::kByteClass[static_cast<unsigned char>(c)]];
      row = row >= Tables::kFirstStopRow ? start : row;
    }
    benchmark::DoNotOptimize(row);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}
BENCHMARK(BM_TransitionsOnly)->Unit(benchmark::kMillisecond);

void BM_ScannerAndLayout(benchmark::State& state) {
  const std::string& input = Input();
  const qfmt::layout::LayoutOptions options;
  for (auto _ : state) {
    qfmt::platform::MemorySource source(input);
    NullSink sink;
    const auto result = qfmt::job::Format(source, sink, qfmt::layout::LineEnds::kLf, options);
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}
BENCHMARK(BM_ScannerAndLayout)->Unit(benchmark::kMillisecond);

// The input's token stream, found once: rule and length of every token.
struct TokenStream {
  std::vector<std::uint16_t> rules;
  std::vector<std::uint32_t> lengths;
};

const TokenStream& Tokens() {
  static const TokenStream stream = [] {
    TokenStream tokens;
    qfmt::platform::MemorySource source(Input());
    qfmt::scanner::LineEndReader reader(source);
    qfmt::scanner::Engine engine(reader);
    for (int rule = engine.NextToken(); rule > 0; rule = engine.NextToken()) {
      tokens.rules.push_back(static_cast<std::uint16_t>(rule));
      tokens.lengths.push_back(static_cast<std::uint32_t>(engine.bytes().size()));
    }
    return tokens;
  }();
  return stream;
}

// Copies a token: sixteen bytes at once for short ones (the output has room
// for the excess, which the next token overwrites).
inline void CopyToken(char* to, const char* from, std::uint32_t length) {
  if (length <= 16) {
    std::memcpy(to, from, 16);
  } else {
    std::memcpy(to, from, length);
  }
}

// What a formatter that decides once per token costs here at the least,
// without scanning: the token stream replayed through a switch on the rule
// that skips white space and copies every other token, with a blank between
// two words. The difference to the runs above is the scanner's and the
// layout's own work.
void BM_TokenReplay(benchmark::State& state) {
  using qfmt::scanner::RuleId;
  const std::string& input = Input();
  const TokenStream& tokens = Tokens();
  const std::string padded = input + std::string(16, '\0');
  std::string out(2 * input.size() + 64, '\0');
  for (auto _ : state) {
    const char* from = padded.data();
    char* to = out.data();
    bool last_was_word = false;
    for (std::size_t i = 0; i < tokens.rules.size(); ++i) {
      const std::uint32_t length = tokens.lengths[i];
      switch (tokens.rules[i]) {
        case static_cast<int>(RuleId::kWhiteSpace):
          break;
        case static_cast<int>(RuleId::kIdentifier):
        case static_cast<int>(RuleId::kDecimalConstant):
          if (last_was_word) *to++ = ' ';
          CopyToken(to, from, length);
          to += length;
          last_was_word = true;
          break;
        default:
          CopyToken(to, from, length);
          to += length;
          last_was_word = false;
          break;
      }
      from += length;
    }
    benchmark::DoNotOptimize(to);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
  state.counters["tokens"] =
      benchmark::Counter(static_cast<double>(tokens.rules.size()) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TokenReplay)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
