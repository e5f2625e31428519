#include "scanner/engine.h"

#include <gtest/gtest.h>

#include <string>

#include "job/format.h"
#include "scanner/input.h"
#include "tests/support/golden_cases.h"
#include "tests/support/test_support.h"
#include "tools/invariants.h"

namespace qfmt::testing {
namespace {

using scanner::ScanFailure;

struct Outcome {
  ScanFailure failure;
  std::string output;
};

Outcome Scan(std::string_view input) {
  Outcome outcome;
  outcome.failure = job::FormatText(input, layout::LayoutOptions{}, outcome.output).failure;
  return outcome;
}

std::string BlockComment(std::size_t length) { return "/*" + std::string(length - 4, 'c') + "*/"; }

TEST(EngineTest, FailureMessages) {
  EXPECT_EQ(scanner::FailureMessage(ScanFailure::kBufferOverflow), "L0029: PCLEX input buffer overflowed");
  EXPECT_EQ(scanner::FailureMessage(ScanFailure::kReadFailed), "L0048: fread() in PCLEX scanner failed");
  EXPECT_EQ(scanner::FailureMessage(ScanFailure::kEofTwice),
            "L0030: PCLEX scanner saw EOF twice - shouldn't happen");
  EXPECT_EQ(scanner::FailureMessage(ScanFailure::kInternalError),
            "L0028: fatal PCLEX scanner internal error");
}

TEST(EngineTest, CommentOf513BytesOverflowsOnlyAtOffset0) {
  EXPECT_EQ(Scan(BlockComment(513)).failure, ScanFailure::kBufferOverflow);
  EXPECT_EQ(Scan("x" + BlockComment(513)).failure, ScanFailure::kNone);
  EXPECT_EQ(Scan(BlockComment(512)).failure, ScanFailure::kNone);
  for (const std::size_t offset : {0, 1, 100, 511, 512, 513, 900}) {
    EXPECT_EQ(Scan(std::string(offset, ';') + BlockComment(1024)).failure, ScanFailure::kBufferOverflow)
        << offset;
  }
}

// An attempt that begins at input offset s overflows when it needs the byte at
// an offset 512m (where a new read starts) with 512m - s >= 512, or reaches the
// end of the input after reading 512 bytes or more.
TEST(EngineTest, OverflowDependsOnWhereTheAttemptLies) {
  for (const std::size_t start : {0, 1, 2, 255, 510, 511, 512, 513, 1000, 1023, 1024, 1025}) {
    for (const std::size_t length : {510, 511, 512, 513, 514, 700, 1000, 1023}) {
      // The comment ends in an accepting state with no way on, so its attempt
      // reads exactly its own bytes.
      bool overflows = false;
      for (std::size_t offset = start + 1; offset < start + length; ++offset) {
        overflows = overflows || (offset % 512 == 0 && offset - start >= 512);
      }
      const Outcome outcome = Scan(std::string(start, ';') + BlockComment(length) + ";");
      EXPECT_EQ(outcome.failure == ScanFailure::kBufferOverflow, overflows)
          << "start " << start << " length " << length;
    }
  }
}

TEST(EngineTest, LookAheadCountsAgainstTheBuffer) {
  // An identifier needs one byte more to know where it ends.
  EXPECT_EQ(Scan(std::string(511, 'a') + ";").failure, ScanFailure::kNone);
  EXPECT_EQ(Scan(std::string(512, 'a') + ";").failure, ScanFailure::kBufferOverflow);
  EXPECT_EQ(Scan(std::string(511, 'a')).failure, ScanFailure::kNone);
  EXPECT_EQ(Scan(std::string(512, 'a')).failure, ScanFailure::kBufferOverflow);
  // Rule 112 keeps reading up to a colon, even where the token is an identifier.
  EXPECT_EQ(Scan("case" + std::string(1024, 'x')).failure, ScanFailure::kBufferOverflow);
  EXPECT_EQ(Scan("case" + std::string(1024, 'x') + ":").failure, ScanFailure::kBufferOverflow);
  // A comment that never closes is looked for up to the end of the input.
  EXPECT_EQ(Scan("/*" + std::string(600, ' ')).failure, ScanFailure::kBufferOverflow);
}

TEST(EngineTest, FourHundredSemicolonsAndA600ByteComment) {
  const std::string comment = BlockComment(600);
  const Outcome outcome = Scan(std::string(400, ';') + comment);
  ASSERT_EQ(outcome.failure, ScanFailure::kNone);
  std::string expected = "; ";
  for (int i = 1; i < 400; ++i) expected += "\n; ";
  expected += "\n" + comment + "\n";
  EXPECT_EQ(outcome.output, expected);
}

TEST(EngineTest, OutputBeforeAnOverflowIsKept) {
  const Outcome outcome = Scan("a;\nb = 1;\n" + BlockComment(1100));
  EXPECT_EQ(outcome.failure, ScanFailure::kBufferOverflow);
  EXPECT_EQ(outcome.output, "a; \nb = 1; ");
}

TEST(EngineTest, CrLfIsTranslatedBeforeItCountsAgainstTheBuffer) {
  // 516 bytes on disk, 508 after translation.
  std::string comment = "/*";
  for (int i = 0; i < 8; ++i) comment += std::string(62, 'c') + "\r\n";
  comment += "*/";
  ASSERT_EQ(comment.size(), 516u);
  EXPECT_EQ(Scan(comment.substr(0, 514) + "cccc" + comment.substr(514)).failure, ScanFailure::kNone);
  EXPECT_EQ(Scan(comment.substr(0, 514) + "ccccc" + comment.substr(514)).failure,
            ScanFailure::kBufferOverflow);
}

TEST(EngineTest, EndOfInputIsReturnedAgainAndAgain) {
  for (const std::string_view input : {"", "x;", ";;;;"}) {
    platform::MemorySource source(input);
    scanner::LineEndReader reader(source);
    scanner::Engine engine(reader);
    while (engine.NextToken() > 0) {
    }
    EXPECT_EQ(engine.NextToken(), 0) << input;
    EXPECT_EQ(engine.NextToken(), 0) << input;
  }
  // The shift that moves nothing at the end of the 400 semicolons case.
  const std::string input = std::string(400, ';') + BlockComment(600);
  platform::MemorySource source(input);
  scanner::LineEndReader reader(source);
  scanner::Engine engine(reader);
  int tokens = 0;
  while (engine.NextToken() > 0) ++tokens;
  EXPECT_EQ(tokens, 401);
  EXPECT_EQ(engine.NextToken(), 0);
}

TEST(EngineTest, GiveBackStartsTheNextTokenWithTheLastByte) {
  platform::MemorySource source("lbl:\n x");
  scanner::LineEndReader reader(source);
  scanner::Engine engine(reader);
  ASSERT_EQ(engine.NextToken(), 122);
  engine.GiveBackLastChar();
  EXPECT_EQ(engine.text(), "lbl:");
  ASSERT_EQ(engine.NextToken(), 154);
  EXPECT_EQ(engine.text(), "\n ");
  ASSERT_EQ(engine.NextToken(), 153);
}

class FailingSource final : public platform::ByteSource {
 public:
  explicit FailingSource(std::string_view first) : first_(first) {}
  std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    if (first_.empty()) return -1;
    const std::size_t n = std::min(size, first_.size());
    first_.copy(buffer, n);
    first_.remove_prefix(n);
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  std::string_view first_;
};

TEST(EngineTest, ReadErrorStopsTheScan) {
  // Three full reads of 512 bytes, then an error while the line feed at
  // offset 1535 looks for more blanks.
  std::string text;
  for (int i = 0; i < 700; ++i) text += "x;\n";
  text.resize(1536);
  FailingSource source(text);
  std::string output;
  platform::StringSink sink(output);
  const job::FormatResult result = job::Format(source, sink, layout::LineEnds::kLf, layout::LayoutOptions{});
  EXPECT_EQ(result.failure, ScanFailure::kReadFailed);
  std::string expected = "x; ";
  for (int i = 1; i < 512; ++i) expected += "\nx; ";
  EXPECT_EQ(output, expected);
}

std::string ReadAll(platform::ByteSource& source, std::vector<std::ptrdiff_t>* counts = nullptr) {
  scanner::LineEndReader reader(source);
  std::string out;
  char block[512];
  for (std::ptrdiff_t n; (n = reader.Read(block, sizeof block)) > 0;) {
    out.append(block, static_cast<std::size_t>(n));
    if (counts != nullptr) counts->push_back(n);
  }
  return out;
}

TEST(LineEndReaderTest, CrLfBecomesLfWhereverTheReadsSplitIt) {
  const std::string input = "a\r\nb\r\r\nc\rd\r";
  for (const std::size_t step : {1, 2, 3, 64}) {
    platform::MemorySource bytes(input);
    tools::ChunkedSource source(bytes, step);
    EXPECT_EQ(ReadAll(source), "a\nb\r\nc\rd\r") << step;
  }
}

// A source that the C library's text mode on Windows has read: it has made
// CR CR LF into CR LF already, and reading that as LF would do it twice.
TEST(LineEndReaderTest, SourceTranslatedByItsTextModeIsReadAsItComes) {
  class TranslatedSource final : public platform::ByteSource {
   public:
    explicit TranslatedSource(std::string_view bytes) : bytes_(bytes) {}
    std::ptrdiff_t Read(char* buffer, std::size_t size) override { return bytes_.Read(buffer, size); }
    platform::TextMode text_mode() const override { return platform::TextMode::kTranslated; }

   private:
    platform::MemorySource bytes_;
  };
  TranslatedSource source("a\r\nb\rc\n");
  EXPECT_EQ(ReadAll(source), "a\r\nb\rc\n");
}

TEST(LineEndReaderTest, ReadsAreFullUntilTheEnd) {
  std::string input;
  for (int i = 0; i < 300; ++i) input += "line\r\n";
  platform::MemorySource bytes(input);
  tools::ChunkedSource source(bytes, 7);
  std::vector<std::ptrdiff_t> counts;
  const std::string text = ReadAll(source, &counts);
  EXPECT_EQ(text.size(), 1500u);
  ASSERT_EQ(counts.size(), 3u);
  EXPECT_EQ(counts[0], 512);
  EXPECT_EQ(counts[1], 512);
  EXPECT_EQ(counts[2], 476);
}

}  // namespace
}  // namespace qfmt::testing

namespace qfmt::testing {
namespace {

TEST(TokenLimitTest, LiftedLimitGrowsTheBufferAndChangesNothingElse) {
  const std::string comment = "/*" + std::string(600, 'c') + "*/";
  std::string output;
  const auto lifted = scanner::TokenLimit::kLifted;
  ASSERT_EQ(job::FormatText("x;\n" + comment + "\ny;", layout::LayoutOptions{}, output, lifted).failure,
            ScanFailure::kNone);
  // Longer than the line limit: the length test breaks before it.
  EXPECT_EQ(output, "x; \n\n" + comment + "\ny; \n");
  output.clear();
  ASSERT_EQ(job::FormatText(std::string(3000, 'a'), layout::LayoutOptions{}, output, lifted).failure,
            ScanFailure::kNone);
  EXPECT_EQ(output, "\n" + std::string(3000, 'a') + "\n");
  for (const GoldenCase& c : kGoldenCases) {
    std::string classic_output;
    std::string lifted_output;
    (void)job::FormatText(c.input, c.options.ToLayout(), classic_output);
    (void)job::FormatText(c.input, c.options.ToLayout(), lifted_output, lifted);
    EXPECT_EQ(classic_output, lifted_output) << c.name;
  }
}

TEST(TokenLimitTest, OverflowNamesWhereTheAttemptBegan) {
  const std::string input = "a;\r\nb = 1;\r\n  /*" + std::string(1100, 'c') + "*/\r\n";
  std::string output;
  const job::FormatResult result = job::FormatText(input, layout::LayoutOptions{}, output);
  ASSERT_EQ(result.failure, ScanFailure::kBufferOverflow);
  // The attempt begins with the line feed that ends line 2, CR LF read as one byte.
  EXPECT_EQ(result.failure_offset, 9);
  const job::TextPosition position = job::PositionOf(input, result.failure_offset);
  EXPECT_EQ(position.line, 2);
  EXPECT_EQ(position.column, 7);
  EXPECT_EQ(job::PositionOf(input, 10).line, 3);
  EXPECT_EQ(job::PositionOf(input, 10).column, 1);
}

}  // namespace
}  // namespace qfmt::testing
