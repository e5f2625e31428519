#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "bench/source_generator.h"
#include "job/format.h"
#include "job/run_job.h"
#include "platform/console.h"
#include "tests/support/file_support.h"
#include "tests/support/golden_cases.h"
#include "tests/support/test_support.h"
#include "tools/invariants.h"

// The properties of every run (tools/invariants.h): first that the checks can
// fail, then over the golden inputs under many options, a sample of the
// system's headers and a large generated input. scripts/invariants.sh runs
// them over every header and a 1 GiB input.
namespace qfmt::testing {
namespace {

namespace fs = std::filesystem;
using layout::LineEnds;
using tools::CheckInvariants;
using tools::CheckOptions;
using tools::CheckReport;
using tools::NonBlankComparison;

bool SameNonBlank(std::string_view input, std::string_view output, LineEnds line_ends = LineEnds::kLf) {
  NonBlankComparison comparison(line_ends);
  comparison.FeedInput(input);
  comparison.FeedOutput(output);
  return comparison.Finish();
}

TEST(NonBlankComparisonTest, BlanksMayMoveAndOtherBytesMayNot) {
  EXPECT_TRUE(SameNonBlank("int  x;", "int x; \n"));
  EXPECT_TRUE(SameNonBlank("a\tb\n\n c", "a b\n   c\n"));
  EXPECT_TRUE(SameNonBlank("", "\n"));
  EXPECT_FALSE(SameNonBlank("int x;", "int x\n"));    // dropped
  EXPECT_FALSE(SameNonBlank("int x;", "int x;;\n"));  // added
  EXPECT_FALSE(SameNonBlank("a = b;", "b = a;\n"));   // reordered
  EXPECT_FALSE(SameNonBlank("a\vb", "ab\n"));         // a vertical tab is not blank
  EXPECT_FALSE(SameNonBlank("x", ""));                // nothing written
  EXPECT_FALSE(SameNonBlank("", "x"));
}

TEST(NonBlankComparisonTest, NamesWhereTheTextsPartAndWhatStandsThere) {
  NonBlankComparison comparison(LineEnds::kLf);
  comparison.FeedInput("ab cd");
  comparison.FeedOutput("a b\nce\n");
  EXPECT_FALSE(comparison.Finish());
  EXPECT_EQ(comparison.problem(), "byte 3 that is not blank: the input has d, the output e");
}

TEST(NonBlankComparisonTest, InputIsReadWithEachCrLfAsALineFeed) {
  EXPECT_TRUE(SameNonBlank("a\r\nb\r\n", "a\nb\n"));
  EXPECT_TRUE(SameNonBlank("a\rb", "a\rb\n"));
  EXPECT_FALSE(SameNonBlank("a\rb", "ab\n"));  // a lone CR is a byte of the text
  EXPECT_TRUE(SameNonBlank("a\r\r\nb", "a\r\nb\n"));
  // A CR at the end of one piece of input and its LF in the next.
  NonBlankComparison comparison(LineEnds::kLf);
  comparison.FeedInput("a\r");
  comparison.FeedInput("\nb");
  comparison.FeedOutput("a\nb\n");
  EXPECT_TRUE(comparison.Finish());
}

TEST(NonBlankComparisonTest, WithCrLfLineEndsTheCrBeforeEachLfIsTheWriters) {
  EXPECT_TRUE(SameNonBlank("a\r\nb\r\n", "a\r\nb\r\n", LineEnds::kCrLf));
  // A lone CR of the text, then a line break of the writer.
  EXPECT_TRUE(SameNonBlank("a\rb\r\n", "a\r\r\nb\r\n", LineEnds::kCrLf));
  EXPECT_FALSE(SameNonBlank("a\rb\r\n", "a\r\nb\r\n", LineEnds::kCrLf));
  // With LF line ends every CR of the output is the text's.
  EXPECT_TRUE(SameNonBlank("a\r", "a\r\n", LineEnds::kLf));
  EXPECT_FALSE(SameNonBlank("a", "a\r\n", LineEnds::kLf));
}

// Option sets that reach the corners: no limit, limits at and below zero and
// at the ends of 32 bits, empty, tab and long units, both brace styles.
std::vector<GoldenOptions> OptionSets() {
  constexpr int kMin = std::numeric_limits<std::int32_t>::min();
  constexpr int kMax = std::numeric_limits<std::int32_t>::max();
  return {{80, "   ", 1}, {0, "   ", 1},     {-1, "\t", 0},
          {kMin, "", 1},  {kMax, "    ", 0}, {20, "\t \t                                      ", 1},
          {1, "\t", 1},   {80, "", 0}};
}

TEST(CheckInvariantsTest, GoldenInputsUnderManyOptions) {
  for (const GoldenCase& c : kGoldenCases) {
    std::vector<GoldenOptions> option_sets = OptionSets();
    option_sets.push_back(c.options);
    for (const GoldenOptions& options : option_sets) {
      const CheckReport report = CheckInvariants(c.input, {options.ToLayout(), 3});
      EXPECT_EQ(report.problem, "") << c.name << " limit " << options.max_line_length << " unit \""
                                    << options.indent_string << "\"";
    }
  }
}

TEST(CheckInvariantsTest, ReportsTheClassicRun) {
  const std::string input = "void f() {\r\n  x;\r\n";
  const CheckReport report = CheckInvariants(input, {});
  EXPECT_EQ(report.problem, "");
  EXPECT_TRUE(report.non_blank_checked);
  EXPECT_EQ(report.line_ends, LineEnds::kCrLf);
  EXPECT_EQ(report.result.brace_depth, 1);
  EXPECT_EQ(report.input_size, input.size());
  const std::string expected = "void f()\r\n{\r\n   x; \r\n";
  EXPECT_EQ(report.output_size, expected.size());
  tools::Digest digest;
  digest.Feed(expected);
  EXPECT_EQ(report.output_digest, digest.value());
}

// The run stops at the comment; the lifted run goes on from the same prefix.
TEST(CheckInvariantsTest, OverflowLeavesAPrefixOfTheFullOutput) {
  const CheckReport report = CheckInvariants("a;\nb = 1;\n/*" + std::string(1100, 'c') + "*/\nc;\n", {});
  EXPECT_EQ(report.problem, "");
  EXPECT_EQ(report.result.failure, scanner::ScanFailure::kBufferOverflow);
  EXPECT_EQ(report.output_size, std::string("a; \nb = 1; ").size());
  EXPECT_TRUE(report.non_blank_checked);
}

TEST(CheckInvariantsTest, WhatExemptsARunFromTheNonBlankCheck) {
  EXPECT_FALSE(CheckInvariants(std::string("a\0b;", 4), {}).non_blank_checked);
  const CheckReport percent_unit = CheckInvariants("f() {\nx;\n}\n", {{80, "%s", 1}});
  EXPECT_EQ(percent_unit.problem, "");
  EXPECT_FALSE(percent_unit.non_blank_checked);
  EXPECT_FALSE(CheckInvariants("a /*Line Wrapped*/ b;", {}).non_blank_checked);
  EXPECT_TRUE(CheckInvariants("a /*Line Wrapped */ b;", {}).non_blank_checked);
  // A marker that straddles the 64 KiB reads of the run.
  std::string input(65536 - 7, ';');
  input += "/*Line Wrapped*/";
  const CheckReport report = CheckInvariants(input, {});
  EXPECT_EQ(report.problem, "");
  EXPECT_FALSE(report.non_blank_checked);
}

// Deep nesting with a long unit gives output quadratic in the input; a limit
// keeps the check to its first bytes.
TEST(CheckInvariantsTest, OutputLimitChecksThePrefixTaken) {
  const std::string input = std::string(5000, '{') + "x;" + std::string(5000, '}');
  CheckOptions options{{80, "                ", 1}};
  options.output_limit = 1 << 16;
  const CheckReport report = CheckInvariants(input, options);
  EXPECT_EQ(report.problem, "");
  EXPECT_EQ(report.output_size, 1u << 16);
  EXPECT_TRUE(report.result.write_failed);
  EXPECT_FALSE(report.non_blank_checked);
  // Under the limit nothing changes.
  options.output_limit = 1 << 20;
  EXPECT_TRUE(CheckInvariants("int  x;", options).non_blank_checked);
}

// Every header under /usr/include, in name order; none when it is missing.
std::vector<fs::path> SystemHeaders() {
  std::vector<fs::path> headers;
  std::error_code error;
  for (fs::recursive_directory_iterator it("/usr/include", error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error) && it->path().extension() == ".h") headers.push_back(it->path());
  }
  std::sort(headers.begin(), headers.end());
  return headers;
}

// Every k-th header, about `count` of them.
std::vector<fs::path> HeaderSample(std::size_t count) {
  const std::vector<fs::path> all = SystemHeaders();
  std::vector<fs::path> sample;
  const std::size_t step = std::max<std::size_t>(1, all.size() / count);
  for (std::size_t i = 0; i < all.size(); i += step) sample.push_back(all[i]);
  return sample;
}

TEST(SystemHeadersTest, SampleKeepsEveryProperty) {
  const std::vector<fs::path> sample = HeaderSample(300);
  if (sample.empty()) GTEST_SKIP() << "no headers under /usr/include";
  int checked = 0;
  for (const fs::path& header : sample) {
    const std::string input = ReadFile(header);
    const CheckReport report = CheckInvariants(input, {{}, 7});
    EXPECT_EQ(report.problem, "") << header;
    checked += report.non_blank_checked ? 1 : 0;
  }
  EXPECT_GT(checked, 0);
}

// The job in process over the system's file system, in a folder of its own.
tools::JobOutcome RunJobInProcess(const std::string& name) {
  RecordingConsole console;
  const int status = job::RunJob("qfmt -i" + name, platform::SystemFileSystem(), console);
  return {status, console.standard_error};
}

TEST(SystemHeadersTest, JobLeavesTheFormattedTextAndTheInputInTheBackup) {
  const std::vector<fs::path> sample = HeaderSample(40);
  if (sample.empty()) GTEST_SKIP() << "no headers under /usr/include";
  const TempFolder folder;
  const std::string name = (folder / "input.h").string();
  for (const fs::path& header : sample) {
    const std::string input = ReadFile(header);
    WriteFile(name, input);
    const CheckReport reference = CheckInvariants(input, {});
    EXPECT_EQ(tools::CheckJobRun(name, reference, RunJobInProcess), "") << header;
  }
}

TEST(JobRunCheckTest, OverflowAndUnbalancedBracesThroughTheJob) {
  const TempFolder folder;
  const std::string name = (folder / "input.c").string();
  for (const std::string& input : {"a;\n/*" + std::string(1100, 'c') + "*/\n", std::string("void f() {\n")}) {
    WriteFile(name, input);
    const CheckReport reference = CheckInvariants(input, {});
    EXPECT_EQ(tools::CheckJobRun(name, reference, RunJobInProcess), "") << input.substr(0, 20);
  }
  // Regression: the reference took the input's size from the classic run,
  // which stops reading at an overflow, so a large input that overflowed
  // seemed missing from its backup.
  const std::string large = "/*" + std::string(1100, 'c') + "*/\n" + std::string(100'000, ';');
  WriteFile(name, large);
  const CheckReport large_reference = CheckInvariants(large, {});
  EXPECT_EQ(large_reference.input_size, large.size());
  EXPECT_EQ(tools::CheckJobRun(name, large_reference, RunJobInProcess), "");

  // The check fails when the job's files are not what the reference says.
  WriteFile(name, "int x;\n");
  const CheckReport other = CheckInvariants("int y;\n", {});
  EXPECT_NE(tools::CheckJobRun(name, other, RunJobInProcess), "");
}

// A large generated input, streamed from a file: the three runs hold no
// output. Under the sanitizers, which slow the runs several times over, a
// quarter of the size.
#ifdef QFMT_SANITIZED_BUILD
constexpr std::uint64_t kGeneratedSize = 16 << 20;
#else
constexpr std::uint64_t kGeneratedSize = 64 << 20;
#endif

TEST(GeneratedSourceTest, LargeInputKeepsEveryProperty) {
  const TempFolder folder;
  const fs::path path = folder / "generated.c";
  {
    std::ofstream out(path, std::ios::binary);
    bench::GenerateSource(kGeneratedSize, 7, [&out](std::string_view text) {
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
    });
  }
  const CheckReport report =
      CheckInvariants([&path] { return platform::SystemFileSystem().OpenForReading(path.string()); }, {});
  EXPECT_EQ(report.problem, "");
  EXPECT_EQ(report.result.failure, scanner::ScanFailure::kNone);
  EXPECT_EQ(report.result.brace_depth, 0);
  EXPECT_TRUE(report.non_blank_checked);
  EXPECT_GE(report.input_size, kGeneratedSize);
}

}  // namespace
}  // namespace qfmt::testing
