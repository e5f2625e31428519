#include "tree/selected_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace qfmt::tree {
namespace {

// A text, its whole formatted text (same tokens), the lines asked for, and
// what is taken, worked out by hand from note [formatting some lines].
TEST(SelectedLinesTest, OnlyThePiecesThatTouchTheLinesAndTheirStatements) {
  const struct {
    std::string text, formatted;
    std::vector<LineRange> lines;
    std::string expected;
  } cases[] = {
      // Each re-indented line is a piece of its own.
      {"a;\n"
       "  b;\n"
       "  c;\n",
       "a;\n"
       "b;\n"
       "c;\n",
       {{2, 2}},
       "a;\n"
       "b;\n"
       "  c;\n"},
      // The statement of line 1 runs on to line 2; line 3 is another.
      {"x = f(1,\n"
       "  2);\n"
       "  y;\n",
       "x = f(1,\n"
       "      2);\n"
       "y;\n",
       {{1, 1}},
       "x = f(1,\n"
       "      2);\n"
       "  y;\n"},
      // Lines joined are one piece; the next statement's line stays.
      {"if (x)\n"
       "{\n"
       "  y;\n"
       "}\n",
       "if (x) {\n"
       "   y;\n"
       "}\n",
       {{1, 1}},
       "if (x) {\n"
       "  y;\n"
       "}\n"},
      // "else" joins the line of line 1's "}", so its statement comes whole.
      {"}\n"
       "else\n"
       "  x = f(1,\n"
       "      2);\n",
       "} else\n"
       "   x = f(1,\n"
       "         2);\n",
       {{1, 1}},
       "} else\n"
       "   x = f(1,\n"
       "         2);\n"},
      // A comment over two lines is never cut: its unchanged line brings the other.
      {"a;\n"
       "  /* x\n"
       "     y */\n"
       "b;\n",
       "a;\n"
       "/* x\n"
       "     y */\n"
       "b;\n",
       {{3, 3}},
       "a;\n"
       "/* x\n"
       "     y */\n"
       "b;\n"},
      // Lines only deleted touch the lines they were; lines past the end touch nothing.
      {"\n"
       "\n"
       "a;\n",
       "a;\n",
       {{2, 2}, {9, 12}},
       "a;\n"},
      {"\n"
       "a;\n",
       "a;\n",
       {{2, 5}},
       "\n"
       "a;\n"},
      // Lines only inserted touch the lines just before and after them.
      {"x;\n", "x;\n\n", {{1, 1}}, "x;\n\n"},
      // Two ranges; a directive ends its statement.
      {"#define  A 1\n"
       "  int  a;\n"
       "  b;\n"
       "  c;\n",
       "#define  A 1\n"
       "int a;\n"
       "b;\n"
       "c;\n",
       {{2, 2}, {4, 4}},
       "#define  A 1\n"
       "int a;\n"
       "  b;\n"
       "c;\n"},
  };
  for (const auto& c : cases) {
    std::string result;
    EXPECT_FALSE(FormatSelectedLines(c.text, c.formatted, c.lines, result)) << testing::Escaped(c.text);
    EXPECT_EQ(result, c.expected) << testing::Escaped(c.text);
  }
}

// The real formatter's text of headers of this machine: whatever lines are
// asked for, the tokens stay, and asking for every line gives the whole
// formatted text.
TEST(SelectedLinesTest, SystemHeadersKeepTheirTokens) {
  for (const std::filesystem::path& header : testing::SystemHeaders(60)) {
    const std::string text = testing::ReadFile(header);
    const std::string formatted = testing::Settled(text);
    const auto lines = static_cast<std::int64_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    std::string result;
    EXPECT_FALSE(FormatSelectedLines(text, formatted, {{1, lines}}, result)) << header;
    EXPECT_EQ(result, formatted) << header;
    for (std::int64_t first = 1; first <= lines; first += lines / 5 + 1) {
      EXPECT_FALSE(FormatSelectedLines(text, formatted, {{first, first + 2}}, result))
          << header << ":" << first;
    }
  }
}

}  // namespace
}  // namespace qfmt::tree
