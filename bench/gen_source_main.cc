// qfmt-gen-source: writes realistic C and C++ source to standard output;
// with --cpp20, C++20 source full of what the classic rules cannot keep.
//
//   qfmt-gen-source [--cpp20] [SIZE_IN_MB [SEED]]     (default 64 MB, seed 1)

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "testing/cpp_generator.h"
#include "testing/source_generator.h"

int main(int argc, char** argv) {
  const bool cpp20 = argc > 1 && std::string_view(argv[1]) == "--cpp20";
  argv += cpp20 ? 1 : 0;
  argc -= cpp20 ? 1 : 0;
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 64.0;
  const unsigned long long seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  if (megabytes <= 0 || argc > 3) {
    std::fputs("usage: qfmt-gen-source [--cpp20] [SIZE_IN_MB [SEED]]\n", stderr);
    return 64;
  }
  const auto write = [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); };
  const auto size = static_cast<std::uint64_t>(megabytes * 1024 * 1024);
  if (cpp20) {
    qfmt::testing::GenerateCppSource(size, seed, write);
  } else {
    qfmt::testing::GenerateSource(size, seed, write);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
