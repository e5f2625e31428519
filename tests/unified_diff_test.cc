#include "tree/unified_diff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/file_support.h"
#include "tests/support/test_support.h"
#include "tree/settle.h"

namespace qfmt::tree {
namespace {

using testing::Escaped;
using testing::ReadFile;
using testing::RunProgram;
using testing::TempFolder;
using testing::WriteFile;

std::string Diff(std::string_view before, std::string_view after) {
  std::string out;
  AppendUnifiedDiff(before, after, "a/x.c", "b/x.c", out);
  return out;
}

std::string Numbered(int first, int last) {
  std::string text;
  for (int i = first; i <= last; ++i) text += std::to_string(i) + "\n";
  return text;
}

// Expected texts worked out by hand from the format of diff -u.
struct Case {
  const char* name;
  std::string before;
  std::string after;
  std::string expected;
};

std::vector<Case> HandCases() {
  return {
      {"OneLineInTheMiddle", Numbered(1, 10), Numbered(1, 4) + "five\n" + Numbered(6, 10),
       "--- a/x.c\n+++ b/x.c\n@@ -2,7 +2,7 @@\n 2\n 3\n 4\n-5\n+five\n 6\n 7\n 8\n"},
      {"InsertedAtTheStart", "a\nb\n", "new\na\nb\n",
       "--- a/x.c\n+++ b/x.c\n@@ -1,2 +1,3 @@\n+new\n a\n b\n"},
      {"AllDeleted", "a\n", "", "--- a/x.c\n+++ b/x.c\n@@ -1 +0,0 @@\n-a\n"},
      {"AllInserted", "", "a\nb\n", "--- a/x.c\n+++ b/x.c\n@@ -0,0 +1,2 @@\n+a\n+b\n"},
      {"LineEndAddedAtTheEnd", "a\nb", "a\nb\n",
       "--- a/x.c\n+++ b/x.c\n@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+b\n"},
      {"CommonLastLineWithoutLineEnd", "a\nb\nc", "A\nb\nc",
       "--- a/x.c\n+++ b/x.c\n@@ -1,3 +1,3 @@\n-a\n+A\n b\n c\n\\ No newline at end of file\n"},
      {"CrLfLinesKeepTheirCarriageReturns", "a\r\nb\r\n", "a\r\nc\r\n",
       "--- a/x.c\n+++ b/x.c\n@@ -1,2 +1,2 @@\n a\r\n-b\r\n+c\r\n"},
      // Six common lines between two changes: one hunk; seven: two.
      {"ChangesSixApartShareAHunk", Numbered(1, 9), "one\n" + Numbered(2, 7) + "eight\n9\n",
       "--- a/x.c\n+++ b/x.c\n@@ -1,9 +1,9 @@\n-1\n+one\n 2\n 3\n 4\n 5\n 6\n 7\n-8\n+eight\n 9\n"},
      {"ChangesSevenApartGetTwoHunks", Numbered(1, 10), "one\n" + Numbered(2, 8) + "nine\n10\n",
       "--- a/x.c\n+++ b/x.c\n@@ -1,4 +1,4 @@\n-1\n+one\n 2\n 3\n 4\n@@ -6,5 +6,5 @@\n 6\n 7\n "
       "8\n-9\n+nine\n 10\n"},
  };
}

// The place that --check names: a line and a byte column of the old text.
TEST(UnifiedDiffTest, FirstDifferenceIsALineAndColumnOfTheOldText) {
  struct Place {
    std::string_view before, after;
    std::int64_t line, column;
  };
  for (const Place& c : std::vector<Place>{
           {"int  x;", "int x; \n", 1, 5},
           {"a\nb\nc  d\n", "a\nb\nc d\n", 3, 3},
           {"a\n\tb\n", "a\n   b\n", 2, 1},
           {"a\r\nb;\r\n", "a\r\nb; \r\n", 2, 3},  // a carriage return is a byte of its line
           {"a\nb", "a\nb\n", 2, 2},               // the line end missing at the end
           {"a\n\n", "a\n", 2, 1},
           {"", "x", 1, 1},
           {"same\n", "same\n", 2, 1},
       }) {
    const job::TextPosition at = FirstDifference(c.before, c.after);
    EXPECT_EQ(at.line, c.line) << Escaped(c.before);
    EXPECT_EQ(at.column, c.column) << Escaped(c.before);
  }
}

TEST(UnifiedDiffTest, EqualTextsGiveNothing) {
  EXPECT_EQ(Diff("", ""), "");
  EXPECT_EQ(Diff("a\nb", "a\nb"), "");
}

TEST(UnifiedDiffTest, HandWorkedCases) {
  for (const Case& c : HandCases()) EXPECT_EQ(Diff(c.before, c.after), c.expected) << c.name;
}

// diff itself agrees on the cases above, which have one shortest edit script each.
TEST(UnifiedDiffTest, DiffUAgreesOnTheHandWorkedCases) {
  const TempFolder folder;
  for (const Case& c : HandCases()) {
    WriteFile(folder / "before", c.before);
    WriteFile(folder / "after", c.after);
    const testing::ProgramRun diff = RunProgram(
        "/usr/bin/diff", {"-u", "--label", "a/x.c", "--label", "b/x.c", "before", "after"}, folder.path());
    EXPECT_EQ(diff.status, 1) << c.name;
    EXPECT_EQ(diff.out, c.expected) << c.name;
  }
}

// Lines marked "-" or "+" in the hunks (the two header lines excluded).
int CountChangedLines(std::string_view diff) {
  int count = 0;
  int line_number = 0;
  std::size_t start = 0;
  while (start < diff.size()) {
    const std::size_t end = std::min(diff.find('\n', start), diff.size());
    if (++line_number > 2 && (diff[start] == '-' || diff[start] == '+')) ++count;
    start = end + 1;
  }
  return count;
}

// Real headers against their formatted text: patch turns each into the
// other with our diff, which changes no more lines than diff --minimal.
TEST(UnifiedDiffTest, PatchAppliesRealDiffsAndTheyAreMinimal) {
  const std::vector<std::string> headers = {"/usr/include/stdio.h", "/usr/include/string.h",
                                            "/usr/include/zlib.h", "/usr/include/c++/12/bits/stl_vector.h",
                                            "/usr/include/gtest/gtest.h"};
  const TempFolder folder;
  ClassicPass pass({}, scanner::TokenLimit::kLifted);
  Settler settler;
  int compared = 0;
  for (const std::string& header : headers) {
    const std::string before = ReadFile(header);
    if (before.empty()) continue;
    ASSERT_EQ(settler.Settle(before, pass).status, SettleStatus::kSettled) << header;
    const std::string after(settler.text());
    const std::string ours = Diff(before, after);
    WriteFile(folder / "before", before);
    WriteFile(folder / "after", after);
    WriteFile(folder / "ours.diff", ours);
    const testing::ProgramRun patch =
        RunProgram("/usr/bin/patch", {"--quiet", "-o", "patched", "before", "ours.diff"}, folder.path());
    EXPECT_EQ(patch.status, 0) << header << patch.error;
    EXPECT_TRUE(ReadFile(folder / "patched") == after) << header;
    const testing::ProgramRun minimal =
        RunProgram("/usr/bin/diff", {"--minimal", "-u", "before", "after"}, folder.path());
    EXPECT_LE(CountChangedLines(ours), CountChangedLines(minimal.out)) << header;
    ++compared;
  }
  EXPECT_GE(compared, 3) << "too few of the headers are on this machine";
}

}  // namespace
}  // namespace qfmt::tree
