#include "format/styles.h"

#include <gtest/gtest.h>

#include <string>

// The styles read from settings text (the page's address), and the place of
// a token that the classic limit refuses, which the page shows at its line.
namespace qfmt::format {
namespace {

// "exact attach '\t' 80 once unchecked limit": the style, the brace style,
// the indentation unit, the line length and the text options; or the error.
std::string Describe(const StyleChoice& choice) {
  if (!choice.status.ok()) return "error: " + choice.status.message();
  const layout::LayoutOptions& layout = choice.options.layout;
  std::string indent;
  for (const char c : layout.indent_string) indent += c == '\t' ? "\\t" : std::string(1, c);
  return std::string(StyleName(choice.options.style)) + " " +
         (layout.brace_style == lexer::BraceStyle::kAttach ? "attach" : "break") + " '" + indent + "' " +
         std::to_string(layout.max_line_length) + (choice.text.once ? " once" : " settled") +
         (choice.text.verify ? " checked" : " unchecked") +
         (choice.text.classic_limit ? " limit" : " lifted");
}

struct ReadCase {
  std::string_view settings;
  std::string_view expected;
};

TEST(StylesTest, ReadsSettingsAsTheAddressKeepsThem) {
  const ReadCase cases[] = {
      // Defaults: the first style, qfmt-tree's (four blanks a level); the
      // classic layout settled; the classic program's rules as qfmt applies them.
      {"", "modern attach '    ' 80 once checked lifted"},
      {"style=classic", "classic attach '   ' 80 settled checked lifted"},
      {"style=exact", "exact attach '   ' 80 once unchecked limit"},
      // Every setting, in any order; the style is read first wherever it stands.
      {"brace=break&indent=tab&length=off&check=on&style=exact",
       "exact break '\\t' 2147483647 once checked limit"},
      {"indent=0&length=0&&brace=attach&style=classic", "classic attach '' 0 settled checked lifted"},
      {"indent=8&length=120&indent=2", "modern attach '  ' 120 once checked lifted"},
      // What cannot be read names the setting and the values it takes.
      {"style=gnu", "error: style is one of modern, classic, exact, not 'gnu'"},
      {"check=on", "error: the modern style takes no setting 'check'"},
      {"style=exact&check=yes", "error: check is on or off, not 'yes'"},
      {"brace=left", "error: brace is attach or break, not 'left'"},
      {"indent=5", "error: indent is 2, 3, 4, 8, tab or 0, not '5'"},
      {"length=-1", "error: length is a whole number of 0 or more, or off, not '-1'"},
      {"length=8x", "error: length is a whole number of 0 or more, or off, not '8x'"},
      {"length=", "error: length is a whole number of 0 or more, or off, not ''"},
      {"length=2147483648", "error: length is a whole number of 0 or more, or off, not '2147483648'"},
      {"length", "error: 'length' is not of the form key=value"},
      {"colour=red", "error: the modern style takes no setting 'colour'"},
  };
  for (const ReadCase& c : cases) EXPECT_EQ(Describe(ReadStyleChoice(c.settings)), c.expected) << c.settings;
}

struct LongTokenCase {
  std::string_view settings;
  std::string text;
  std::string_view expected;  // "line:column error", or "no place: error"
};

// The classic limit's error has a place where the long token stands in the
// text itself (the first pass). An attempt that begins at offset s fails when
// it needs the byte at an offset 512m with 512m - s >= 512 (see note [buffer
// shift]): a name from offset 6 or 4 that reaches offset 1024.
TEST(StylesTest, LongTokenHasItsPlaceInTheText) {
  const std::string name(1100, 'a');
  const LongTokenCase cases[] = {
      {"style=exact", "x;\n   " + name + ";\n", "2:4 token longer than 512 bytes at line 2, column 4"},
      {"style=exact", "x;\r\n\t" + name, "2:2 token longer than 512 bytes at line 2, column 2"},
      {"style=exact", "x;\n" + std::string(100, 'b') + ";", "formatted"},
      {"", "x;\n   " + name + ";\n", "formatted"},
  };
  for (const LongTokenCase& c : cases) {
    const StyleChoice choice = ReadStyleChoice(c.settings);
    TextFormatter formatter(choice.text);
    const TextOutcome outcome = formatter.Format(c.text, choice.options);
    const std::string& error = outcome.status.message();
    const std::string got = outcome.status.ok() ? "formatted"
                            : outcome.long_token_place
                                ? std::to_string(outcome.long_token_place->line) + ":" +
                                      std::to_string(outcome.long_token_place->column) + " " + error
                                : "no place: " + error;
    EXPECT_EQ(got, c.expected) << c.settings;
  }
}

}  // namespace
}  // namespace qfmt::format
