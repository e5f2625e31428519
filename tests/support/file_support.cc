#include "tests/support/file_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "bench/cpp_generator.h"
#include "bench/source_generator.h"
#include "tree/file_walk.h"
#include "tree/settle.h"

namespace qfmt::testing {
Contents FilesIn(const fs::path& folder) {
  Contents contents;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().lexically_relative(folder).string();
    if (entry.is_symlink()) {
      contents[name] = "<link to " + fs::read_symlink(entry.path()).string() + ">";
    } else {
      contents[name] = entry.is_directory() ? "<folder>"
                       : entry.is_fifo()    ? "<fifo>"
                                            : ReadFile(entry.path());
    }
  }
  return contents;
}

namespace {

// Hard links last, so that what they name stands.
void MakeContents(const fs::path& folder, const Contents& contents) {
  constexpr std::string_view kHardLink = "<hard link to ";
  for (const auto& [name, value] : contents) {
    const fs::path path = folder / name;
    fs::create_directories(path.parent_path());
    if (value.starts_with(kHardLink)) continue;
    if (value == "<folder>") {
      fs::create_directories(path);
    } else if (!LinkTarget(value).empty()) {
      fs::create_symlink(LinkTarget(value), path);
    } else if (value == "<fifo>") {
      ::mkfifo(path.c_str(), 0644);
    } else {
      WriteFile(path, value);
    }
  }
  for (const auto& [name, value] : contents) {
    if (value.starts_with(kHardLink))
      fs::create_hard_link(folder / value.substr(kHardLink.size(), value.size() - kHardLink.size() - 1),
                           folder / name);
  }
}

}  // namespace

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

Contents Changes(const Contents& before, const Contents& after) {
  Contents changed;
  for (const auto& [name, value] : after) {
    const auto old = before.find(name);
    if (old == before.end() || old->second != value) changed[name] = value;
  }
  for (const auto& [name, value] : before) {
    if (after.count(name) == 0) changed[name] = "<gone>";
  }
  return changed;
}

ProgramCase Case(std::string name, Contents files, std::vector<std::string> arguments, int status,
                 std::string error, Contents changed, std::string input, std::string out) {
  return {std::move(name),  std::move(files),   std::move(arguments), status,
          std::move(error), std::move(changed), std::move(input),     std::move(out)};
}

void PrintTo(const ProgramCase& c, std::ostream* out) { *out << c.name; }

void ExpectRunLeaves(const std::string& binary, const ProgramCase& c) {
  const TempFolder folder;
  MakeContents(folder.path(), c.files);
  const Contents before = FilesIn(folder.path());
  const ProgramRun run = RunProgram(binary, c.arguments, folder.path(), c.input);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.out, c.out);
  // The seconds of a summary line differ from run to run.
  std::string error = run.error;
  const std::size_t seconds = error.rfind(" in ") + 4;
  if (seconds >= 4 && error.ends_with(" s\n")) error.replace(seconds, error.size() - seconds - 3, "#.##");
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(Changes(before, FilesIn(folder.path())), c.changed);
}

ProgramRun RunTreeProgram(const std::vector<std::string>& arguments, const fs::path& folder,
                          std::string_view input) {
  return RunProgram(QFMT_TREE_BINARY, arguments, folder, input);
}

std::string Settled(std::string_view text, const layout::LayoutOptions& options) {
  tree::ClassicPass pass(options, scanner::TokenLimit::kLifted);
  tree::Settler settler;
  EXPECT_EQ(settler.Settle(text, pass).status, tree::SettleStatus::kSettled);
  return std::string(settler.text());
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

std::vector<fs::path> SystemHeaders(std::size_t step) {
  std::vector<fs::path> all;
  std::error_code error;
  for (fs::recursive_directory_iterator it("/usr/include", error), end; !error && it != end;
       it.increment(error)) {
    if (!it->is_symlink() && it->is_regular_file() && tree::IsSourceName(it->path().filename().string()))
      all.push_back(it->path());
  }
  std::sort(all.begin(), all.end());
  std::vector<fs::path> chosen;
  for (std::size_t i = 0; i < all.size(); i += step) chosen.push_back(all[i]);
  return chosen;
}

}  // namespace qfmt::testing
