// qfmt-tokens: prints the rule name and text of every token of a file, one a
// line, with the start conditions switched as the rule actions switch them.
//
//   qfmt-tokens FILE

#include <cstdio>
#include <string>

#include "job/format.h"
#include "platform/file_system.h"
#include "testing/token_dump.h"

namespace {

class PrintingObserver final : public qfmt::scanner::TokenObserver {
 public:
  void OnToken(int rule, std::string_view bytes) override {
    const std::string line = qfmt::testing::DescribeToken(rule, bytes) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
};

class NullSink final : public qfmt::platform::ByteSink {
 public:
  bool Write(const char*, std::size_t) override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace qfmt;
  if (argc != 2) {
    std::fputs("usage: qfmt-tokens FILE\n", stderr);
    return 64;
  }
  auto input = platform::SystemFileSystem().OpenForReading(argv[1]);
  if (input == nullptr) {
    std::fprintf(stderr, "%s: error: cannot open for reading\n", argv[1]);
    return 2;
  }
  PrintingObserver observer;
  NullSink sink;
  const job::FormatResult result = job::Format(*input, sink, layout::LineEnds::kLf, layout::LayoutOptions{},
                                               scanner::TokenLimit::kClassic, &observer);
  if (!result.status.ok()) {
    std::fprintf(stderr, "%s: error: %s\n", argv[1], result.status.message().c_str());
    return 1;
  }
  return 0;
}
