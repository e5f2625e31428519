#include "job/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"

namespace qfmt::job {
namespace {

// Options as parsed from the command line rebuilt from an argument vector.
ParsedOptions FromArguments(std::vector<std::string_view> arguments) {
  arguments.insert(arguments.begin(), "/usr/local/bin/qfmt");
  return ParseOptions(job::RebuildCommandLine(arguments));
}

TEST(RawCommandLineTest, RebuildsTheTextFromTheArguments) {
  EXPECT_EQ(
      job::RebuildCommandLine({"/usr/local/bin/qfmt", "-ia b.c", "-t\t", "", "plain", "x y", "-o\"q r\""}),
      "qfmt -i\"a b.c\" -t\"\t\" \"\" plain \"x y\" -o\"q r\"");
  EXPECT_EQ(job::RebuildCommandLine({"qfmt"}), "qfmt");
  EXPECT_EQ(job::RebuildCommandLine({"./bin/my-tools", "-ix.c"}), "my-tools -ix.c");
}

TEST(OptionsTest, Defaults) {
  const ParsedOptions parsed = FromArguments({"-iprog.cpp"});
  EXPECT_EQ(parsed.options.input_name, "prog.cpp");
  EXPECT_EQ(parsed.options.output_name, "");
  EXPECT_EQ(parsed.options.layout.max_line_length, 80);
  EXPECT_EQ(parsed.options.layout.indent_string, "   ");
  EXPECT_EQ(parsed.options.layout.brace_style, 1);
  EXPECT_FALSE(parsed.indent_string_malformed);
}

TEST(OptionsTest, InputName) {
  EXPECT_EQ(FromArguments({"-imy prog.cpp", "-omy.out"}).options.input_name, "my prog.cpp");
  EXPECT_EQ(FromArguments({"-imy prog.cpp", "-omy.out"}).options.output_name, "my.out");
  // An opening quote that is never closed takes the rest of the line.
  EXPECT_EQ(FromArguments({"-i\"my", "prog.cpp", "-oout"}).options.input_name, "my prog.cpp -oout");
  EXPECT_EQ(FromArguments({"-i", "prog.cpp"}).options.input_name, "");
  EXPECT_EQ(FromArguments({"-i"}).options.input_name, "");
  // A whole word in double quotes: the value does not begin with the quote.
  EXPECT_EQ(FromArguments({"\"-imy prog.cpp\""}).options.input_name, "my");
  // A quote inside the value moves its start by one character.
  EXPECT_EQ(FromArguments({"-imy\"x y\""}).options.input_name, "y\"x y");
  // Tabs do not end the name.
  EXPECT_EQ(ParseOptions("qfmt -ia\tb c").options.input_name, "a\tb");
}

TEST(OptionsTest, OutputNameEndsAtABlank) {
  EXPECT_EQ(FromArguments({"-iprog.cpp", "-o", "new.cpp"}).options.output_name, "");
  EXPECT_EQ(FromArguments({"-onew.cpp", "-iprog.cpp"}).options.output_name, "new.cpp");
  EXPECT_EQ(ParseOptions("qfmt -ia.c -o\"x y\"").options.output_name, "\"x");
}

TEST(OptionsTest, MaxLineLength) {
  const auto length = [](std::vector<std::string_view> arguments) {
    return FromArguments(std::move(arguments)).options.layout.max_line_length;
  };
  EXPECT_EQ(length({"-ia.c", "-l60"}), 60);
  EXPECT_EQ(length({"-ia.c", "-l", "70"}), 0);
  EXPECT_EQ(length({"-ia.c", "-l"}), 0);
  EXPECT_EQ(length({"-ia.c", "-lx"}), 0);
  EXPECT_EQ(length({"-ia.c", "-l-5"}), -5);
  EXPECT_EQ(length({"-ia.c", "-l+7x"}), 7);
  EXPECT_EQ(length({"-ia.c", "-l\t12"}), 12);  // quoted as "-l<tab>12": white space, then digits
  EXPECT_EQ(length({"-ia.c", "-l99999999999"}), 2147483647);
  EXPECT_EQ(length({"-ia.c", "-l-99999999999"}), -2147483647 - 1);
  EXPECT_EQ(length({"-ia.c", "-l2147483648"}), 2147483647);
  EXPECT_EQ(length({"-ia.c", "-l-2147483648"}), -2147483647 - 1);
}

TEST(OptionsTest, BraceStyle) {
  const auto style = [](std::vector<std::string_view> arguments) {
    return FromArguments(std::move(arguments)).options.layout.brace_style;
  };
  EXPECT_EQ(style({"-ia.c", "-sk"}), 1);
  EXPECT_EQ(style({"-ia.c", "-sK"}), 1);
  EXPECT_EQ(style({"-ia.c", "-s"}), 0);
  EXPECT_EQ(style({"-ia.c", "-s1"}), 0);
  EXPECT_EQ(style({"-ia.c", "-sx"}), 0);
  EXPECT_EQ(style({"-ia.c", "-s", "k"}), 0);
}

TEST(OptionsTest, IndentationString) {
  const auto indent = [](std::vector<std::string_view> arguments) {
    const ParsedOptions parsed = FromArguments(std::move(arguments));
    return parsed.indent_string_malformed ? std::string("<malformed>") : parsed.options.layout.indent_string;
  };
  EXPECT_EQ(indent({"-ia.c", "-t\"\""}), "");
  EXPECT_EQ(indent({"-ia.c", "-t\t"}), "\t");
  EXPECT_EQ(indent({"-ia.c", "-t    "}), "    ");
  EXPECT_EQ(indent({"-ia.c", "-t\"%d\"x"}), "%d");
  EXPECT_EQ(indent({"-ia.c", "-t4"}), "<malformed>");
  EXPECT_EQ(indent({"-ia.c", "-t\"abc"}), "<malformed>");
  EXPECT_EQ(indent({"-ia.c", "-t\""}), "<malformed>");
  EXPECT_EQ(indent({"-ia.c", "-t"}), "<malformed>");
  // The malformed string leaves the default in place.
  EXPECT_EQ(FromArguments({"-ia.c", "-t4"}).options.layout.indent_string, "   ");
}

TEST(OptionsTest, MarkersAreFoundInsideWords) {
  EXPECT_EQ(FromArguments({"-imy-list.c"}).options.layout.max_line_length, 0);
  EXPECT_EQ(FromArguments({"-iold-out.c"}).options.output_name, "ut.c");
  EXPECT_EQ(FromArguments({"-ix-sort.c"}).options.layout.brace_style, 0);
  EXPECT_TRUE(FromArguments({"-idata-types.c"}).indent_string_malformed);
  // The first occurrence counts: a later real option is never read.
  EXPECT_EQ(FromArguments({"-imy-list.c", "-l60"}).options.layout.max_line_length, 0);
  const ParsedOptions named = ParseOptions(job::RebuildCommandLine({"/usr/bin/my-tools", "-ia.c", "-t\"\""}));
  EXPECT_TRUE(named.indent_string_malformed);
  EXPECT_EQ(ParseOptions(job::RebuildCommandLine({"/x/fmt-in.c"})).options.input_name, "n.c");
}

TEST(OptionsTest, InputMarkerAnywhere) {
  EXPECT_FALSE(HasInputMarker("qfmt"));
  EXPECT_FALSE(HasInputMarker("qfmt --help -o x"));
  EXPECT_TRUE(HasInputMarker("qfmt x-i"));
  EXPECT_TRUE(HasInputMarker("qfmt -i"));
}

}  // namespace
}  // namespace qfmt::job
