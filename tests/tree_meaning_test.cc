#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "tests/support/clang_tokens.h"
#include "tests/support/file_support.h"
#include "tests/support/tree_support.h"
#include "tree/tree_run.h"

// qfmt-tree never changes what the code means: the token check on files and
// standard input, --classic and --no-verify, and binary files, through the
// real executable in a temporary folder.
namespace qfmt::tree {
namespace {

using testing::ProgramRun;
using testing::ReadFile;
using testing::WriteFile;

// The classic rules split "10U" into "10 U"; the modern ones keep it.
constexpr std::string_view kSuffix = "long  x = 10U;\n";
constexpr std::string_view kSuffixModern = "long x = 10U;\n";
constexpr std::string_view kSuffixClassic = "long x = 10 U; \n";
constexpr std::string_view kRefused =
    ":1:11: error: formatting would change the code here (10U \u2192 10 U)\n";

struct TreeRun {
  std::vector<std::string> arguments;
  std::string_view out;    // what standard output must be
  std::string_view error;  // what standard error must be (after the path, if it begins with ":")
  int status;
  std::string_view file;  // what a.c must hold afterwards
};

class TreeMeaningTest : public ::testing::Test {
 protected:
  ProgramRun Tree(const std::vector<std::string>& arguments, std::string_view input = {}) const {
    return testing::RunTreeProgram(arguments, folder_.path(), input);
  }
  testing::TempFolder folder_;
};

TEST_F(TreeMeaningTest, FilesWhoseTokensWouldChangeAreLeftAlone) {
  const TreeRun runs[] = {
      {{"-w", "-q", "a.c"}, "", "", kExitOk, kSuffixModern},
      {{"--classic", "-w", "-q", "a.c"}, "", kRefused, kExitFileError, kSuffix},
      {{"--classic", "--check", "-q", "a.c"}, "", kRefused, kExitFileError, kSuffix},
      {{"--classic", "-q", "a.c"}, "", kRefused, kExitFileError, kSuffix},
      {{"--classic", "--no-verify", "--once", "-q", "a.c"}, kSuffixClassic, "", kExitOk, kSuffix},
      {{"--classic", "--no-verify", "-w", "-q", "a.c"}, "", "", kExitOk, kSuffixClassic},
  };
  for (const TreeRun& run : runs) {
    WriteFile(folder_ / "a.c", kSuffix);
    const ProgramRun result = Tree(run.arguments);
    const std::string error =
        run.error.starts_with(':') ? "a.c" + std::string(run.error) : std::string(run.error);
    EXPECT_EQ(result.out, run.out) << run.arguments.front();
    EXPECT_EQ(result.error, error) << run.arguments.front();
    EXPECT_EQ(result.status, run.status) << run.arguments.front();
    EXPECT_EQ(ReadFile(folder_ / "a.c"), run.file) << run.arguments.front();
  }
}

// An editor that filters its buffer through qfmt-tree keeps the buffer when
// the check refuses it.
TEST_F(TreeMeaningTest, StandardInputThatWouldChangeComesBackUnchanged) {
  ProgramRun run = Tree({"--classic"}, kSuffix);
  EXPECT_EQ(run.out, kSuffix);
  EXPECT_EQ(run.error, "<stdin>" + std::string(kRefused));
  EXPECT_EQ(run.status, kExitFileError);
  run = Tree({}, kSuffix);
  EXPECT_EQ(run.out, kSuffixModern);
  EXPECT_EQ(run.status, kExitOk);
}

// The message names the first token that differs, in the input's lines and
// columns (CR LF counted as it stands).
TEST_F(TreeMeaningTest, RefusalNamesThePlaceInTheFile) {
  WriteFile(folder_ / "b.cc", "int a;\r\n// x\r\nauto c = a <=> b;\r\n");
  const ProgramRun run = Tree({"--classic", "--check", "-q", "b.cc"});
  EXPECT_EQ(run.error, "b.cc:3:12: error: formatting would change the code here (<=> \u2192 <= >)\n");
  EXPECT_EQ(run.status, kExitFileError);
}

TEST_F(TreeMeaningTest, BinaryFilesArePassedOver) {
  const std::string binary("int x;\0\x01", 8);
  WriteFile(folder_ / "bin.c", binary);
  WriteFile(folder_ / "ok.c", kSuffixModern);
  ProgramRun run = Tree({"--check", "bin.c", "ok.c"});
  EXPECT_TRUE(
      run.error.starts_with("bin.c: binary file (NUL byte at offset 6), left as it is\n"
                            "formatted 1 file, 0 would change, 1 skipped, 0 errors"))
      << run.error;
  EXPECT_EQ(run.status, kExitOk);
  run = Tree({"-w", "-q", "bin.c"});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(ReadFile(folder_ / "bin.c"), binary);
  // The classic rules format whatever they are given, as qfmt does.
  run = Tree({"--classic", "--no-verify", "--once", "-q", "bin.c"});
  EXPECT_EQ(run.out, std::string("int x; \0\x01\n", 10));
  run = Tree({}, binary);
  EXPECT_EQ(run.out, binary);
  EXPECT_EQ(run.error, "<stdin>: binary file (NUL byte at offset 6), left as it is\n");
}

// What the texts of files are to clang's raw lexer, one string a file, from
// one run of clang over them all (each clang start costs more than lexing a
// header): each token's spelling (splices removed, a comment by its words, a
// raw string with its CR LF read as LF), whether it stands on a directive's
// line, and where each directive begins.
std::vector<std::string> ClangReadings(const testing::fs::path& joined_path,
                                       const std::vector<testing::fs::path>& files) {
  // Each file ends on a line of its own that closes a comment left open, so
  // that no file's tokens run into the next one's.
  constexpr std::string_view kFileEnd = "\n*/\n";
  std::string joined;
  std::vector<std::size_t> ends;
  for (const testing::fs::path& file : files) {
    joined += ReadFile(file);
    joined += kFileEnd;
    ends.push_back(joined.size());
  }
  WriteFile(joined_path, joined);
  std::vector<std::string> readings(files.size());
  std::size_t file = 0;
  bool directive = false;
  for (const testing::ClangToken& token : testing::ClangRawTokens(joined_path.string(), joined)) {
    while (file < ends.size() && token.begin >= ends[file]) {
      ++file;
      directive = false;
    }
    if (file == ends.size()) break;
    std::string& reading = readings[file];
    if (token.starts_line) {
      directive = token.kind == "hash";
      if (directive) reading += "\x1e";
    }
    const std::string_view text = std::string_view(joined).substr(token.begin, token.end - token.begin);
    std::string spelling;
    for (std::size_t at = 0; at < text.size();) {
      if (const std::size_t after = testing::SkipSpliceAt(text, at); after != at) {
        at = after;
      } else if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
        ++at;
      } else {
        spelling += text[at++];
      }
    }
    if (token.kind == "comment") {
      if (spelling == "/*Line Wrapped*/") continue;
      std::string words;
      for (const char c : spelling) {
        const bool blank = std::isspace(static_cast<unsigned char>(c)) != 0;
        if (!blank) words += c;
        if (blank && !words.empty() && words.back() != ' ') words += ' ';
      }
      spelling = words;
    }
    reading += (directive ? "#" : "") + spelling + "\x1f";
  }
  return readings;
}

// On every system header and on generated C++20: the modern rules keep every
// file's tokens (by our lexer, and by clang's for a sample); each file that
// the classic rules' check refuses has tokens that the classic rules really
// change, as clang reads them.
TEST(TreeMeaningCorpusTest, SystemHeadersKeepTheirTokensAndEachClassicRefusalIsARealChange) {
  if (!testing::ClangAvailable())
    GTEST_SKIP() << "clang is not installed: the system-header check is skipped";
#ifdef QFMT_SANITIZED_BUILD
  constexpr std::size_t kStep = 8;
#else
  constexpr std::size_t kStep = 1;
#endif
  const testing::TempFolder folder;
  std::vector<std::string> names;
  for (const testing::fs::path& header : testing::SystemHeaders(kStep)) {
    names.push_back(std::to_string(names.size()) + header.extension().string());
    testing::fs::create_directories(folder / "in");
    testing::fs::copy_file(header, folder / "in" / names.back());
  }
  for (std::uint64_t seed = 1; seed <= 20; ++seed) {
    names.push_back("generated" + std::to_string(seed) + ".cc");
    WriteFile(folder / "in" / names.back(), testing::GeneratedSource(20000, seed, /*cpp20=*/true));
  }
  // No file's tokens change (by our lexer): no error of any kind.
  const ProgramRun modern = testing::RunTreeProgram({"--check", "-q", "in"}, folder.path());
  EXPECT_NE(modern.status, kExitFileError);
  EXPECT_EQ(modern.error, "");

  const ProgramRun classic = testing::RunTreeProgram({"--classic", "--check", "-q", "in"}, folder.path());
  std::vector<std::string> refused;
  for (std::size_t start = 0; start < classic.error.size();) {
    const std::size_t end = classic.error.find('\n', start);
    const std::string line = classic.error.substr(start, end - start);
    EXPECT_NE(line.find(": error: formatting would change the code here ("), std::string::npos) << line;
    refused.push_back(line.substr(3, line.find(':') - 3));  // after "in/"
    start = end + 1;
  }
  EXPECT_GT(refused.size(), names.size() / 50) << "the classic rules refused too few files";
  std::cout << "classic rules: " << refused.size() << " of " << names.size() << " files refused\n";

  testing::fs::create_directories(folder / "classic");
  for (const std::string& name : refused)
    testing::fs::copy_file(folder / "in" / name, folder / "classic" / name);
  // Eight jobs: the syncs of the rewritten files wait on the disk, not on a core.
  ASSERT_EQ(
      testing::RunTreeProgram({"--classic", "--no-verify", "-w", "-q", "-j", "8", "classic"}, folder.path())
          .status,
      kExitOk);
  // Each clang run prints every token by a write of its own: a spread of the
  // refusals is read by clang here; QFMT_EVERY_REFUSAL=1 reads them all.
  const std::size_t stride =
      std::getenv("QFMT_EVERY_REFUSAL") != nullptr ? 1 : std::max<std::size_t>(1, refused.size() / 100);
  std::vector<testing::fs::path> before;
  std::vector<testing::fs::path> after;
  std::vector<std::string> checked;
  for (std::size_t i = 0; i < refused.size(); i += stride) {
    checked.push_back(refused[i]);
    before.push_back(folder / "in" / refused[i]);
    after.push_back(folder / "classic" / refused[i]);
  }
  std::vector<std::string> readings_before = ClangReadings(folder / "before.cc", before);
  std::vector<std::string> readings_after = ClangReadings(folder / "after.cc", after);
  for (std::size_t i = 0; i < refused.size() && i < readings_before.size() && i < readings_after.size();
       ++i) {
    EXPECT_NE(readings_before[i], readings_after[i]) << refused[i] << " is no real change";
  }

  // And by clang's lexer, for a sample of the headers and every generated file.
  before.clear();
  after.clear();
  testing::fs::create_directories(folder / "modern");
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!names[i].starts_with("generated") && i % (160 / kStep) != 0) continue;
    testing::fs::copy_file(folder / "in" / names[i], folder / "modern" / names[i]);
    before.push_back(folder / "in" / names[i]);
    after.push_back(folder / "modern" / names[i]);
  }
  ASSERT_EQ(testing::RunTreeProgram({"-w", "-q", "-j", "8", "modern"}, folder.path()).status, kExitOk);
  readings_before = ClangReadings(folder / "before.cc", before);
  readings_after = ClangReadings(folder / "after.cc", after);
  for (std::size_t i = 0; i < before.size() && i < readings_before.size() && i < readings_after.size(); ++i) {
    EXPECT_TRUE(readings_before[i] == readings_after[i]) << before[i] << " changed its tokens";
  }
}

}  // namespace
}  // namespace qfmt::tree
