// qfmt-fuzz-seeds: writes the seed corpora of the fuzz targets.
//
//   qfmt-fuzz-seeds FOLDER [SAMPLE...]
//
// FOLDER/format: every golden input with its options, again under corner
// options, the samples, generated sources and unterminated or odd texts.
// FOLDER/command_line: command lines over the target's starting files, raw
// and as argument vectors, with each forced fault.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "bench/source_generator.h"
#include "fuzz/command_line_case.h"
#include "fuzz/format_case.h"
#include "tests/support/golden_cases.h"

namespace {

namespace fs = std::filesystem;
using namespace qfmt;

class SeedWriter {
 public:
  explicit SeedWriter(fs::path folder) : folder_(std::move(folder)) { fs::create_directories(folder_); }
  void Write(const std::string& bytes) {
    char name[16];
    std::snprintf(name, sizeof name, "seed%04d", count_++);
    std::ofstream(folder_ / name, std::ios::binary | std::ios::trunc) << bytes;
  }
  [[nodiscard]] int count() const { return count_; }

 private:
  fs::path folder_;
  int count_ = 0;
};

void WriteFormatSeeds(const fs::path& folder, const std::vector<std::string>& samples) {
  SeedWriter seeds(folder);
  constexpr int kMax = std::numeric_limits<std::int32_t>::max();
  const layout::LayoutOptions corners[] = {{0, "", 0}, {-1, "\t", 1}, {kMax, "    ", 1}, {20, "%s\x01", 0}};
  for (const testing::GoldenCase& c : testing::kGoldenCases) {
    seeds.Write(fuzz::EncodeFormatCase(c.options.ToLayout(), 0, c.input));
  }
  for (std::size_t i = 0; i < std::size(testing::kGoldenCases); i += 4) {
    const testing::GoldenCase& c = testing::kGoldenCases[i];
    seeds.Write(fuzz::EncodeFormatCase(corners[i / 4 % std::size(corners)], 1 + i % 16, c.input));
  }
  for (const std::string& sample : samples) {
    std::ifstream in(sample, std::ios::binary);
    seeds.Write(fuzz::EncodeFormatCase({}, 0, std::string(std::istreambuf_iterator<char>(in), {})));
  }
  for (std::uint64_t seed = 1; seed <= 8; ++seed) {
    std::string text;
    bench::GenerateSource(1500, seed, [&text](std::string_view part) { text += part; });
    seeds.Write(fuzz::EncodeFormatCase({}, 0, text));
  }
  // Longer than the 64 KiB reads, with CR LF and with lone CR line ends, so
  // that a CR and its LF fall on both sides of a read.
  std::string large;
  bench::GenerateSource(70'000, 9, [&large](std::string_view part) { large += part; });
  std::string crlf;
  std::string cr;
  for (const char c : large) {
    crlf += c == '\n' ? std::string_view("\r\n") : std::string_view(&c, 1);
    cr += c == '\n' ? '\r' : c;
  }
  seeds.Write(fuzz::EncodeFormatCase({}, 5, crlf));
  seeds.Write(fuzz::EncodeFormatCase({}, 0, cr));
  const std::string odd[] = {
      "s = \"abc",
      "x; /* abc",
      "#define X \\\n  a \\\n  b\nint y;\n",
      "#define X \\",
      "{{{{(((x)))}}}}}}}}",
      "int x;\rint y;\r",
      "a\r\nb\r\r\n",
      std::string("a\0b;\0", 5),
      "case x",
      "x;\n/*" + std::string(600, 'c') + "*/\n",
      std::string(520, 'a') + ";",
      "/*Line Wrapped*/x/*Line Wrapped*/",
  };
  for (const std::string& text : odd) seeds.Write(fuzz::EncodeFormatCase({}, 0, text));
  std::printf("%d format seeds\n", seeds.count());
}

void WriteCommandLineSeeds(const fs::path& folder) {
  SeedWriter seeds(folder);
  const std::string lines[] = {
      "qfmt -ia.c",
      "qfmt -ia.c -ob.c",
      "qfmt -ilong.c",
      "qfmt -ia.c -oa.c.Backup",
      "qfmt -id.c",
      "qfmt -idir/e.c -odir/f.c",
      "qfmt -igone.c",
      "qfmt -ib.c -l20 -t\"\t\" -sx",
      "qfmt -ia.c -t4",
      "qfmt -i\"a.c\" -o\"x y.c\"",
      "qfmt -onew.c",
      "my-list -ia.c",
      "qfmt -ia.c -onowhere/a.c",
      "qfmt -ia.c -odir",
  };
  for (const std::string& line : lines) {
    seeds.Write(fuzz::EncodeRawCommandLine(line));
    for (const fuzz::Fault fault :
         {fuzz::Fault::kInputReadFails, fuzz::Fault::kBackupReadFails, fuzz::Fault::kBackupRefused}) {
      seeds.Write(fuzz::EncodeRawCommandLine(line, fault, 32));
    }
  }
  const std::vector<std::vector<std::string>> vectors = {{"-ia.c"},           {"-ia b.c", "-t\t"},
                                                         {"-t    ", "-ib.c"}, {"-onew.c", "-ia.c"},
                                                         {"-l-5", "-ia.c"},   {"-i", "a.c"}};
  for (const std::vector<std::string>& arguments : vectors) seeds.Write(fuzz::EncodeArguments(arguments));
  std::printf("%d command-line seeds\n", seeds.count());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: qfmt-fuzz-seeds FOLDER [SAMPLE...]\n", stderr);
    return 64;
  }
  const fs::path folder = argv[1];
  WriteFormatSeeds(folder / "format", std::vector<std::string>(argv + 2, argv + argc));
  WriteCommandLineSeeds(folder / "command_line");
  return 0;
}
