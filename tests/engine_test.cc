#include "scanner/engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/format.h"
#include "scanner/input.h"
#include "testing/invariants.h"
#include "tests/support/test_support.h"

// The scanner engine: the 512-byte limit of a token attempt, and the reads
// that turn CR LF into LF.
namespace qfmt::testing {
namespace {

bool Overflows(std::string_view input) {
  std::string output;
  return job::FormatText(input, {}, output).token_too_long();
}

std::string BlockComment(std::size_t length) { return "/*" + std::string(length - 4, 'c') + "*/"; }

// See note [buffer shift]: an attempt that begins at input offset s overflows
// when it needs the byte at an offset 512m with 512m - s >= 512, or reaches the
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
      EXPECT_EQ(Overflows(std::string(start, ';') + BlockComment(length) + ";"), overflows)
          << "start " << start << " length " << length;
    }
  }
  // 516 bytes, 508 once CR LF is read as LF.
  std::string crlf = "/*";
  for (int i = 0; i < 8; ++i) crlf += std::string(62, 'c') + "\r\n";
  crlf += "*/";
  const std::pair<std::string, bool> cases[] = {
      {BlockComment(513), true},  // at the end of the input
      {"x" + BlockComment(513), false},
      {BlockComment(512), false},
      // An identifier needs one byte more to know where it ends.
      {std::string(511, 'a') + ";", false},
      {std::string(512, 'a') + ";", true},
      {std::string(511, 'a'), false},
      {std::string(512, 'a'), true},
      // Rule 112 reads on to a colon, even where the token is an identifier.
      {"case" + std::string(1024, 'x'), true},
      {"case" + std::string(1024, 'x') + ":", true},
      // A comment that never closes is looked for up to the end of the input.
      {"/*" + std::string(600, ' '), true},
      {crlf.substr(0, 514) + "cccc" + crlf.substr(514), false},
      {crlf.substr(0, 514) + "ccccc" + crlf.substr(514), true},
  };
  for (const auto& [input, overflows] : cases)
    EXPECT_EQ(Overflows(input), overflows) << Escaped(input.substr(0, 12));
}

// Every read is full until the end, and a CR LF split between two reads of
// the source is still one LF.
TEST(EngineTest, LineEndReaderFillsEveryRead) {
  std::string input;
  for (int i = 0; i < 300; ++i) input += i % 2 == 0 ? "line\r\n" : "\r\r\n\r";
  for (const std::size_t step : {1, 2, 3, 7, 64}) {
    platform::MemorySource bytes(input);
    testing::ChunkedSource source(bytes, step);
    scanner::LineEndReader reader(source);
    std::string text;
    std::vector<std::ptrdiff_t> counts;
    char block[512];
    for (std::ptrdiff_t n; (n = reader.Read(block, sizeof block)) > 0;) {
      text.append(block, static_cast<std::size_t>(n));
      counts.push_back(n);
    }
    EXPECT_EQ(text, Repeat("line\n\r\n\r", 150)) << step;
    EXPECT_EQ(counts, (std::vector<std::ptrdiff_t>{512, 512, 176})) << step;
  }
  // A source that the C library's text mode (Windows) has read has made CR CR
  // LF into CR LF already: reading that as LF would do it twice.
  class TranslatedSource final : public platform::ByteSource {
   public:
    explicit TranslatedSource(std::string_view bytes) : bytes_(bytes) {}
    std::ptrdiff_t Read(char* buffer, std::size_t size) override { return bytes_.Read(buffer, size); }
    platform::TextMode text_mode() const override { return platform::TextMode::kTranslated; }

   private:
    platform::MemorySource bytes_;
  } translated("a\r\nb\rc\n");
  scanner::LineEndReader reader(translated);
  char block[16];
  EXPECT_EQ(std::string(block, static_cast<std::size_t>(reader.Read(block, sizeof block))), "a\r\nb\rc\n");
}

}  // namespace
}  // namespace qfmt::testing
