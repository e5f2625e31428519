#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/file_support.h"
#include "tests/support/tree_support.h"
#include "tree/tree_run.h"

// qfmt-tree on real code: the headers of this machine, read at test time, and
// generated source. The expected texts come from the classic qfmt executable.
namespace qfmt::tree {
namespace {

using testing::ProgramRun;
using testing::ReadFile;
using testing::RunProgram;
using testing::TempFolder;
using testing::WriteFile;
namespace fs = std::filesystem;

// Every start of a sanitized executable is slow: that build takes a smaller
// sample (the plain build takes the full one).
#ifdef QFMT_SANITIZED_BUILD
constexpr std::size_t kSampleScale = 8;
#else
constexpr std::size_t kSampleScale = 1;
#endif

TEST(TreeCorpusTest, CheckPassesOnSystemHeadersRightAfterWrite) {
  const TempFolder folder;
  std::size_t copied = 0;
  for (const fs::path& header : testing::SystemHeaders(kSampleScale == 1 ? 1 : 4)) {
    const fs::path copy = folder / "include" / header.lexically_relative("/usr/include");
    fs::create_directories(copy.parent_path());
    fs::copy_file(header, copy);
    ++copied;
  }
  ASSERT_GT(copied, 100u);
  // Eight jobs: the syncs of the rewritten files wait on the disk, not on a core.
  const ProgramRun write = testing::RunTreeProgram({"-w", "-q", "-j", "8", "include"}, folder.path());
  ASSERT_EQ(write.status, kExitOk) << write.error;
  const ProgramRun check = testing::RunTreeProgram({"--check", "-q", "include"}, folder.path());
  EXPECT_EQ(check.status, kExitOk);
  EXPECT_EQ(check.out.substr(0, 2000), "");
  EXPECT_EQ(check.error, "");
  std::size_t files = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder / "include")) {
    if (entry.is_regular_file()) ++files;
  }
  EXPECT_EQ(files, copied) << "a temporary file was left behind";
}

// The classic option texts that match the style options of qfmt-tree.
struct Style {
  std::vector<std::string> tree;
  std::vector<std::string> classic;
};
const Style kStyles[] = {
    {{}, {}},
    {{"-m", "60", "--indent", "\\t", "--brace-style", "break"}, {"-l60", "-t\t", "-sx"}},
    {{"--max-line-length=100", "--indent= "}, {"-l100", "-t "}},
};

// Inputs in `folder`: a sample of the system headers and generated source.
// They are named inputN.EXT, as qfmt would read options out of names such as
// x86_64-linux-gnu ("-l").
std::vector<std::string> MakeInputs(const fs::path& folder) {
  fs::create_directories(folder);
  std::vector<std::string> names;
  for (const fs::path& header : testing::SystemHeaders(40 * kSampleScale)) {
    names.push_back("input" + std::to_string(names.size()) + header.extension().string());
    fs::copy_file(header, folder / names.back());
  }
  for (int seed = 1; seed <= 5; ++seed) {
    names.push_back("input" + std::to_string(names.size()) + ".c");
    WriteFile(folder / names.back(), testing::GeneratedSource(30000, static_cast<std::uint64_t>(seed)));
  }
  return names;
}

// qfmt on `input` with the style, into `output`; its exit status.
int Qfmt(const fs::path& input, const fs::path& output, const Style& style, const fs::path& folder) {
  std::vector<std::string> arguments = {"-i" + input.string(), "-o" + output.string()};
  arguments.insert(arguments.end(), style.classic.begin(), style.classic.end());
  const int status = RunProgram(QFMT_BINARY, arguments, folder).status;
  fs::remove(input.string() + ".Backup");
  return status;
}

TEST(TreeCorpusTest, OnceIsByteIdenticalToQfmt) {
  const TempFolder folder;
  const std::vector<std::string> names = MakeInputs(folder / "in");
  std::set<std::string> classic_failures;
  std::size_t compared = 0;
  for (std::size_t s = 0; s < std::size(kStyles); ++s) {
    const Style& style = kStyles[s];
    const std::string once = "once" + std::to_string(s);
    fs::copy(folder / "in", folder / once);
    std::vector<std::string> arguments = style.tree;
    arguments.insert(arguments.end(), {"--classic", "--no-verify", "--once", "-w", "-q", once});
    ASSERT_EQ(testing::RunTreeProgram(arguments, folder.path()).status, kExitOk);
    for (const std::string& name : names) {
      // qfmt stops on a token of 512 bytes or more; the lifted limit formats on.
      if (Qfmt(folder / "in" / name, folder / "classic.out", style, folder.path()) != 0) {
        classic_failures.insert("in/" + name);
        continue;
      }
      EXPECT_TRUE(ReadFile(folder / once / name) == ReadFile(folder / "classic.out"))
          << name << " style " << s;
      ++compared;
    }
  }
  EXPECT_GT(compared, names.size());
  EXPECT_FALSE(classic_failures.empty()) << "no input had a long token";

  // With the classic limit, the errors are exactly the files that qfmt stops on.
  const ProgramRun classic = testing::RunTreeProgram(
      {"--classic", "--no-verify", "--once", "--classic-limit", "-l", "-q", "in"}, folder.path());
  EXPECT_EQ(classic.status, kExitFileError);
  std::set<std::string> reported;
  for (std::size_t start = 0; start < classic.error.size();) {
    const std::size_t end = classic.error.find('\n', start);
    const std::string line = classic.error.substr(start, end - start);
    EXPECT_NE(line.find(": error: token longer than 512 bytes at line "), std::string::npos) << line;
    reported.insert(line.substr(0, line.find(": error: ")));
    start = end + 1;
  }
  EXPECT_EQ(reported, classic_failures);
}

// qfmt run again and again on its own output until a text comes back;
// nothing when qfmt stops on one of the texts.
std::optional<std::string> RepeatQfmtUntilATextRepeats(const fs::path& input, const fs::path& folder) {
  std::vector<std::string> texts = {ReadFile(input)};
  const fs::path from = folder / "from.c", to = folder / "to.c";
  for (int pass = 0; pass < 20; ++pass) {
    WriteFile(from, texts.back());
    if (Qfmt(from, to, kStyles[0], folder) != 0) return std::nullopt;
    std::string next = ReadFile(to);
    for (const std::string& earlier : texts) {
      if (earlier == next) return next;
    }
    texts.push_back(std::move(next));
  }
  ADD_FAILURE() << input << " did not settle";
  return std::nullopt;
}

TEST(TreeCorpusTest, SettlingEqualsRunningQfmtUntilATextRepeats) {
  const TempFolder folder;
  std::vector<std::string> names = MakeInputs(folder / "in");
  names.push_back("label.h");
  WriteFile(folder / "in" / names.back(), "class A {\npublic:\nint x;\n};\n");
  fs::copy(folder / "in", folder / "settled");
  ASSERT_EQ(
      testing::RunTreeProgram({"--classic", "--no-verify", "-w", "-q", "settled"}, folder.path()).status,
      kExitOk);
  std::size_t compared = 0;
  for (const std::string& name : names) {
    const std::optional<std::string> expected =
        RepeatQfmtUntilATextRepeats(folder / "in" / name, folder.path());
    if (!expected) continue;
    EXPECT_TRUE(ReadFile(folder / "settled" / name) == *expected) << name;
    ++compared;
  }
  EXPECT_GT(compared, names.size() / 2);
}

}  // namespace
}  // namespace qfmt::tree
