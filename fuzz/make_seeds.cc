// qfmt-fuzz-seeds: writes the seed corpora of the fuzz targets.
//
//   qfmt-fuzz-seeds FOLDER [SAMPLE...]
//
// FOLDER/format: every golden input, the samples, generated sources and
// unterminated or odd texts, under options that vary from seed to seed.
// FOLDER/command_line: command lines over the target's starting files, with
// each forced fault.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testing/golden_cases.h"
#include "testing/source_generator.h"

namespace {

namespace fs = std::filesystem;
using namespace qfmt;

void WriteSeeds(const fs::path& folder, const std::vector<std::string>& seeds) {
  fs::create_directories(folder);
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    std::ofstream(folder / ("seed" + std::to_string(i)), std::ios::binary) << seeds[i];
  }
  std::printf("%zu seeds in %s\n", seeds.size(), folder.c_str());
}

// Each text after a choice byte (see format_fuzzer.cc) that varies the options
// from seed to seed; every fourth seed's second run reads in steps.
void WriteFormatSeeds(const fs::path& folder, const std::vector<std::string>& samples) {
  std::vector<std::string> texts;
  for (const testing::GoldenCase& c : testing::kGoldenCases) texts.emplace_back(c.input);
  for (const std::string& sample : samples) {
    std::ifstream in(sample, std::ios::binary);
    texts.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  for (std::uint64_t seed = 1; seed <= 8; ++seed) texts.push_back(testing::GeneratedText(1500, seed));
  // Longer than the 64 KiB reads, with CR LF and with lone CR line ends, so
  // that a CR and its LF fall on both sides of a read.
  std::string crlf, cr;
  for (const char c : testing::GeneratedText(70'000, 9)) {
    crlf += c == '\n' ? std::string_view("\r\n") : std::string_view(&c, 1);
    cr += c == '\n' ? '\r' : c;
  }
  texts.insert(texts.end(), {crlf, cr, "s = \"abc", "x; /* abc", "#define X \\\n  a \\\n  b\nint y;\n",
                             "#define X \\", "{{{{(((x)))}}}}}}}}", "a\r\nb\r\r\n", std::string("a\0b;\0", 5),
                             "case x", "x;\n/*" + std::string(600, 'c') + "*/\n", std::string(520, 'a') + ";",
                             "/*Line Wrapped*/x/*Line Wrapped*/"});
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const bool steps = i % 4 == 3;
    texts[i].insert(0, steps ? std::string{static_cast<char>((i * 37) % 0x80 | 0x80), static_cast<char>(i)}
                             : std::string(1, static_cast<char>((i * 37) % 0x80)));
  }
  WriteSeeds(folder, texts);
}

// Each command line with no fault and with each fault after 32 bytes.
void WriteCommandLineSeeds(const fs::path& folder) {
  std::vector<std::string> seeds;
  for (const char* line : {"qfmt -ia.c", "qfmt -ia.c -ob.c", "qfmt -ilong.c", "qfmt -ia.c -oa.c.Backup",
                           "qfmt -id.c", "qfmt -idir/e.c -odir/f.c", "qfmt -igone.c", "qfmt -is.c",
                           "qfmt -ib.c -l20 -t\"\t\" -sx", "qfmt -ia.c -t4", "qfmt -i\"a.c\" -o\"x y.c\"",
                           "qfmt -onew.c", "my-list -ia.c", "qfmt -ia.c -onowhere/a.c", "qfmt -ia.c -odir"}) {
    for (const int choice : {0, 1 | 1 << 2, 2 | 1 << 2, 3 | 1 << 2})
      seeds.push_back(static_cast<char>(choice) + std::string(line));
  }
  WriteSeeds(folder, seeds);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: qfmt-fuzz-seeds FOLDER [SAMPLE...]\n", stderr);
    return 64;
  }
  WriteFormatSeeds(fs::path(argv[1]) / "format", std::vector<std::string>(argv + 2, argv + argc));
  WriteCommandLineSeeds(fs::path(argv[1]) / "command_line");
  return 0;
}
