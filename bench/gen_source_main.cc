// qfmt-gen-source: writes realistic C and C++ source to standard output.
//
//   qfmt-gen-source [SIZE_IN_MB [SEED]]     (default 64 MB, seed 1)

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "bench/source_generator.h"

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 64.0;
  const unsigned long long seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  if (megabytes <= 0 || argc > 3) {
    std::fputs("usage: qfmt-gen-source [SIZE_IN_MB [SEED]]\n", stderr);
    return 64;
  }
  qfmt::bench::GenerateSource(
      static_cast<std::uint64_t>(megabytes * 1024 * 1024), seed,
      [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); });
  return std::fflush(stdout) == 0 ? 0 : 1;
}
