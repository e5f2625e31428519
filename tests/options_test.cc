#include "job/options.h"

#include <gtest/gtest.h>

#include <string>

// The classic command line: each option at the first occurrence of its marker
// anywhere in the text, the program's name included.
namespace qfmt::job {
namespace {

// "i[NAME] o[NAME] l80 s1 t[UNIT]", with "t?" for a malformed unit.
std::string Describe(std::string_view command_line) {
  const ParsedOptions parsed = ParseOptions(command_line);
  const Options& o = parsed.options;
  return "i[" + o.input_name + "] o[" + o.output_name + "] l" + std::to_string(o.layout.max_line_length) +
         " s" + std::to_string(static_cast<int>(o.layout.brace_style)) +
         (parsed.indent_string_malformed ? " t?[" : " t[") + o.layout.indent_string + "]";
}

TEST(OptionsTest, EachOptionAtTheFirstOccurrenceOfItsMarker) {
  const struct {
    std::string_view command_line;
    std::string_view options;
  } cases[] = {
      {"qfmt -iprog.cpp", "i[prog.cpp] o[] l80 s1 t[   ]"},
      // The input name: up to a blank, or within double quotes.
      {"qfmt -i\"my prog.cpp\" -omy.out", "i[my prog.cpp] o[my.out] l80 s1 t[   ]"},
      {"qfmt -i\"my prog.cpp -oout", "i[my prog.cpp -oout] o[out] l80 s1 t[   ]"},
      {"qfmt -i prog.cpp", "i[] o[] l80 s1 t[   ]"},
      {"qfmt \"-imy prog.cpp\"", "i[my] o[] l80 s1 t[   ]"},
      {"qfmt -imy\"x y\"", "i[y\"x y] o[] l80 s1 t[   ]"},  // a quote inside moves the start by one
      {"qfmt -ia\tb c", "i[a\tb] o[] l80 s1 t[   ]"},
      // The output name: up to a blank.
      {"qfmt -iprog.cpp -o new.cpp", "i[prog.cpp] o[] l80 s1 t[   ]"},
      {"qfmt -onew.cpp -iprog.cpp", "i[prog.cpp] o[new.cpp] l80 s1 t[   ]"},
      {"qfmt -ia.c -o\"x y\"", "i[a.c] o[\"x] l80 s1 t[   ]"},
      // The length: white space, a sign and digits; 0 without digits; saturated.
      {"qfmt -ia.c -l60", "i[a.c] o[] l60 s1 t[   ]"},
      {"qfmt -ia.c -l 70", "i[a.c] o[] l0 s1 t[   ]"},
      {"qfmt -ia.c -lx", "i[a.c] o[] l0 s1 t[   ]"},
      {"qfmt -ia.c -l-5", "i[a.c] o[] l-5 s1 t[   ]"},
      {"qfmt -ia.c -l+7x", "i[a.c] o[] l7 s1 t[   ]"},
      {"qfmt -ia.c \"-l\t12\"", "i[a.c] o[] l12 s1 t[   ]"},
      {"qfmt -ia.c -l99999999999", "i[a.c] o[] l2147483647 s1 t[   ]"},
      {"qfmt -ia.c -l-99999999999", "i[a.c] o[] l-2147483648 s1 t[   ]"},
      {"qfmt -ia.c -l2147483648", "i[a.c] o[] l2147483647 s1 t[   ]"},
      {"qfmt -ia.c -l-2147483648", "i[a.c] o[] l-2147483648 s1 t[   ]"},
      // The brace style: "k" or "K" right after the marker, else 0.
      {"qfmt -ia.c -sk", "i[a.c] o[] l80 s1 t[   ]"},
      {"qfmt -ia.c -sK", "i[a.c] o[] l80 s1 t[   ]"},
      {"qfmt -ia.c -s", "i[a.c] o[] l80 s0 t[   ]"},
      {"qfmt -ia.c -s k", "i[a.c] o[] l80 s0 t[   ]"},
      // The unit: between a double quote right after the marker and the next.
      {"qfmt -ia.c -t\"\"", "i[a.c] o[] l80 s1 t[]"},
      {"qfmt -ia.c -t\"\t\"", "i[a.c] o[] l80 s1 t[\t]"},
      {"qfmt -ia.c -t\"    \"", "i[a.c] o[] l80 s1 t[    ]"},
      {"qfmt -ia.c -t\"%d\"x", "i[a.c] o[] l80 s1 t[%d]"},
      {"qfmt -ia.c -t4", "i[a.c] o[] l80 s1 t?[   ]"},
      {"qfmt -ia.c -t\"abc", "i[a.c] o[] l80 s1 t?[   ]"},
      {"qfmt -ia.c -t", "i[a.c] o[] l80 s1 t?[   ]"},
      // Markers inside words, and only the first one counts.
      {"qfmt -imy-list.c -l60", "i[my-list.c] o[] l0 s1 t[   ]"},
      {"qfmt -iold-out.c", "i[old-out.c] o[ut.c] l80 s1 t[   ]"},
      {"qfmt -ix-sort.c", "i[x-sort.c] o[] l80 s0 t[   ]"},
      {"qfmt -idata-types.c", "i[data-types.c] o[] l80 s1 t?[   ]"},
      {"my-tools -ia.c -t\"\"", "i[a.c] o[] l80 s1 t?[   ]"},
      {"fmt-in.c", "i[n.c] o[] l80 s1 t[   ]"},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(c.command_line), c.options) << c.command_line;
  EXPECT_TRUE(HasInputMarker("qfmt x-i"));
  EXPECT_FALSE(HasInputMarker("qfmt --help -o x"));
}

// Quoted where a blank or a tab would end the value, as a command line that
// holds its quotes would have it.
TEST(OptionsTest, CommandLineRebuiltFromArguments) {
  EXPECT_EQ(RebuildCommandLine({"/usr/local/bin/qfmt", "-ia b.c", "-t\t", "", "plain", "x y", "-o\"q r\""}),
            "qfmt -i\"a b.c\" -t\"\t\" \"\" plain \"x y\" -o\"q r\"");
  EXPECT_EQ(RebuildCommandLine({"./bin/my-tools", "-l\t12"}), "my-tools \"-l\t12\"");
  EXPECT_EQ(RebuildCommandLine({"qfmt"}), "qfmt");
}

}  // namespace
}  // namespace qfmt::job
