#include "tests/support/tree_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "bench/cpp_generator.h"
#include "bench/source_generator.h"
#include "tree/file_walk.h"
#include "tree/settle.h"

namespace qfmt::testing {

std::string Settled(std::string_view text, const layout::LayoutOptions& options) {
  tree::ClassicPass pass(options, scanner::TokenLimit::kLifted);
  tree::Settler settler;
  EXPECT_EQ(settler.Settle(text, pass).status, tree::SettleStatus::kSettled);
  return std::string(settler.text());
}

ProgramRun RunTreeProgram(const std::vector<std::string>& arguments, const fs::path& folder,
                          std::string_view input) {
  return RunProgram(QFMT_TREE_BINARY, arguments, folder, input);
}

std::vector<fs::path> SystemHeaders(std::size_t step) {
  std::vector<fs::path> all;
  std::error_code error;
  for (fs::recursive_directory_iterator it("/usr/include", error), end; !error && it != end;
       it.increment(error)) {
    // Links are not followed into folders; links to files are left out too.
    if (!it->is_symlink() && it->is_regular_file() && tree::IsSourceName(it->path().filename().string()))
      all.push_back(it->path());
  }
  std::sort(all.begin(), all.end());
  std::vector<fs::path> chosen;
  for (std::size_t i = 0; i < all.size(); i += step) chosen.push_back(all[i]);
  return chosen;
}

std::string GeneratedSource(std::uint64_t size, std::uint64_t seed, bool cpp20) {
  std::string text;
  const auto append = [&text](std::string_view part) { text += part; };
  if (cpp20) {
    bench::GenerateCppSource(size, seed, append);
  } else {
    bench::GenerateSource(size, seed, append);
  }
  return text;
}

}  // namespace qfmt::testing
