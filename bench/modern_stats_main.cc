// qfmt-modern-stats [-m LIMIT] BEFORE_FOLDER AFTER_FOLDER: the figures of the
// modern style (bench/modern_stats.h) over every file of BEFORE_FOLDER and
// its formatted copy of the same name in AFTER_FOLDER, and the tokens kept
// (trailing comments behind their code). One figure a line.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/modern_stats.h"
#include "lexer/pp_lexer.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

double Percent(std::int64_t part, std::int64_t whole) {
  return whole == 0 ? 100.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

}  // namespace

int main(int argc, char** argv) {
  int limit = 80;
  int first = 1;
  if (argc > 2 && std::string(argv[1]) == "-m") {
    limit = std::atoi(argv[2]);
    first = 3;
  }
  if (argc != first + 2) {
    std::fputs("usage: qfmt-modern-stats [-m LIMIT] BEFORE_FOLDER AFTER_FOLDER\n", stderr);
    return 64;
  }
  const fs::path before = argv[first];
  const fs::path after = argv[first + 1];
  qfmt::bench::ModernStats total;
  std::int64_t files = 0;
  std::int64_t changed_tokens = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(before)) {
    if (!entry.is_regular_file()) continue;
    const fs::path formatted = after / fs::relative(entry.path(), before);
    if (!fs::exists(formatted)) continue;
    const std::string input = Read(entry.path());
    const std::string output = Read(formatted);
    ++files;
    if (const auto difference = qfmt::lexer::CompareTokens(input, output, {.trailing_comments = true})) {
      ++changed_tokens;
      std::fprintf(stderr, "%s: tokens differ (%s)\n", formatted.c_str(), difference->description.c_str());
      continue;
    }
    total += qfmt::bench::MeasureModern(input, output, limit);
  }
  std::printf("files: %lld, tokens kept in %lld (%.1f%%)\n", static_cast<long long>(files),
              static_cast<long long>(files - changed_tokens), Percent(files - changed_tokens, files));
  std::printf("blank-line runs kept: %lld of %lld (%.1f%%)\n", static_cast<long long>(total.blank_runs_kept),
              static_cast<long long>(total.blank_runs), Percent(total.blank_runs_kept, total.blank_runs));
  std::printf("lines holding only ';' added: %lld\n", static_cast<long long>(total.lone_semicolons_added));
  std::printf("breakable lines over %d: %lld\n", limit, static_cast<long long>(total.breakable_over_limit));
  std::printf("if/for/while/switch with a blank before '(': %lld of %lld (%.1f%%)\n",
              static_cast<long long>(total.keywords_spaced), static_cast<long long>(total.keywords),
              Percent(total.keywords_spaced, total.keywords));
  return changed_tokens == 0 ? 0 : 1;
}
