#include "tree/unified_diff.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/test_support.h"

namespace qfmt::tree {
namespace {

using testing::ProgramRun;
using testing::RunProgram;
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

// Worked out by hand from the format of diff -u; each has one shortest edit
// script, and diff itself agrees.
TEST(UnifiedDiffTest, HandWorkedCasesAgreeWithDiffU) {
  const std::string head = "--- a/x.c\n+++ b/x.c\n";
  const struct {
    std::string before, after, expected;
  } cases[] = {
      {"a\nb", "a\nb", ""},
      {Numbered(1, 10), Numbered(1, 4) + "five\n" + Numbered(6, 10),
       head + "@@ -2,7 +2,7 @@\n 2\n 3\n 4\n-5\n+five\n 6\n 7\n 8\n"},
      {"a\nb\n", "new\na\nb\n", head + "@@ -1,2 +1,3 @@\n+new\n a\n b\n"},
      {"a\n", "", head + "@@ -1 +0,0 @@\n-a\n"},
      {"", "a\nb\n", head + "@@ -0,0 +1,2 @@\n+a\n+b\n"},
      {"a\nb", "a\nb\n", head + "@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+b\n"},
      {"a\nb\nc", "A\nb\nc", head + "@@ -1,3 +1,3 @@\n-a\n+A\n b\n c\n\\ No newline at end of file\n"},
      {"a\r\nb\r\n", "a\r\nc\r\n", head + "@@ -1,2 +1,2 @@\n a\r\n-b\r\n+c\r\n"},
      // Six common lines between two changes: one hunk; seven: two.
      {Numbered(1, 9), "one\n" + Numbered(2, 7) + "eight\n9\n",
       head + "@@ -1,9 +1,9 @@\n-1\n+one\n 2\n 3\n 4\n 5\n 6\n 7\n-8\n+eight\n 9\n"},
      {Numbered(1, 10), "one\n" + Numbered(2, 8) + "nine\n10\n",
       head + "@@ -1,4 +1,4 @@\n-1\n+one\n 2\n 3\n 4\n@@ -6,5 +6,5 @@\n 6\n 7\n 8\n-9\n+nine\n 10\n"},
  };
  const testing::TempFolder folder;
  for (const auto& c : cases) {
    EXPECT_EQ(Diff(c.before, c.after), c.expected) << c.expected;
    WriteFile(folder / "before", c.before);
    WriteFile(folder / "after", c.after);
    const ProgramRun diff = RunProgram(
        "/usr/bin/diff", {"-u", "--label", "a/x.c", "--label", "b/x.c", "before", "after"}, folder.path());
    EXPECT_EQ(diff.out, c.expected);
  }
}

// The place that --check names: a line and a byte column of the old text.
TEST(UnifiedDiffTest, FirstDifferenceIsALineAndColumnOfTheOldText) {
  const struct {
    std::string_view before, after;
    std::int64_t line, column;
  } cases[] = {
      {"int  x;", "int x; \n", 1, 5},
      {"a\nb\nc  d\n", "a\nb\nc d\n", 3, 3},
      {"a\n\tb\n", "a\n   b\n", 2, 1},
      {"a\r\nb;\r\n", "a\r\nb; \r\n", 2, 3},  // a carriage return is a byte of its line
      {"a\nb", "a\nb\n", 2, 2},               // the line end missing at the end
      {"a\n\n", "a\n", 2, 1},
      {"", "x", 1, 1},
      {"same\n", "same\n", 2, 1},
  };
  for (const auto& c : cases) {
    const platform::TextPosition at = FirstDifference(c.before, c.after);
    EXPECT_EQ(at.line, c.line) << testing::Escaped(c.before);
    EXPECT_EQ(at.column, c.column) << testing::Escaped(c.before);
  }
}

}  // namespace
}  // namespace qfmt::tree
