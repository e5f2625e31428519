// qfmt-test-inputs FOLDER: writes every golden input, on which the
// playground's module is compared with the native programs
// (tests/playground/module_test.js). FOLDER/inputs.tsv names each file with
// its settings ("brace=attach&indent=3&length=80").

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "testing/golden_cases.h"
#include "testing/repaired_golden_cases.h"

namespace {

namespace fs = std::filesystem;
using qfmt::testing::GoldenOptions;

// The settings as the module reads them; false for an indentation that the
// page does not offer.
bool SettingsOf(const GoldenOptions& options, std::string& settings) {
  const std::string_view indent = options.indent_string;
  std::string unit;
  if (indent == "\t") {
    unit = "tab";
  } else if (indent.find_first_not_of(' ') == std::string_view::npos) {
    unit = std::to_string(indent.size());
  } else {
    return false;
  }
  settings = std::string("brace=") +
             (options.brace_style == qfmt::lexer::BraceStyle::kAttach ? "attach" : "break") +
             "&indent=" + unit + "&length=" + std::to_string(options.max_line_length);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: qfmt-test-inputs FOLDER\n", stderr);
    return 64;
  }
  const fs::path folder = argv[1];
  fs::create_directories(folder);
  std::ofstream list(folder / "inputs.tsv");
  for (const std::span<const qfmt::testing::GoldenCase> cases :
       {std::span<const qfmt::testing::GoldenCase>(qfmt::testing::kGoldenCases),
        std::span<const qfmt::testing::GoldenCase>(qfmt::testing::kRepairedCases)}) {
    for (const qfmt::testing::GoldenCase& c : cases) {
      std::string settings;
      if (!SettingsOf(c.options, settings)) {
        std::fprintf(stderr, "qfmt-test-inputs: %s: an indentation that the page does not offer\n",
                     std::string(c.name).c_str());
        return 1;
      }
      const std::string name = std::string(c.name) + ".c";
      std::ofstream(folder / name, std::ios::binary) << c.input;
      list << name << '\t' << settings << '\n';
    }
  }
  return list.good() ? 0 : 1;
}
