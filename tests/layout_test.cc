#include "layout/layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "layout/text_ops.h"

namespace qfmt::layout {
namespace {

// A layout writing into a string.
struct LayoutInString {
  const std::string& Flushed() {
    (void)writer.Flush();
    return text;
  }
  std::string text;
  platform::StringSink sink{text};
  OutputWriter writer{sink, LineEnds::kLf};
  LayoutOptions options;  // read as the layout goes
  Layout layout{options, writer};
};

// The count includes the token, the test comes before the pending line break,
// and a break drops the pending indentation.
TEST(LayoutTest, LineBreaksWhenTheCountReachesTheLimit) {
  LayoutInString l;
  LayoutState& state = l.layout.state();
  state.brace_depth = 2;  // limit 80 - 3 * 2 = 74
  state.column = 70;
  l.layout.WrapIfTooLong("abc");
  EXPECT_EQ(state.column, 73);
  EXPECT_EQ(l.Flushed(), "");
  state.column = 70;
  state.newline_pending = 1;
  state.pending_indent = 5;
  l.layout.WrapIfTooLong("abcd");
  EXPECT_EQ(state.column + state.newline_pending + state.pending_indent, 0);
  EXPECT_EQ(l.Flushed(), "\n      ");
}

TEST(LayoutTest, LimitIsComputedIn32Bits) {
  LayoutInString l;
  l.options.max_line_length = INT32_MIN;
  // -2^31 - 3 wraps around to a large limit at brace_depth 1...
  l.layout.state().brace_depth = 1;
  l.layout.WrapIfTooLong("abc");
  EXPECT_EQ(l.Flushed(), "");
  // ...while at brace_depth 0 every token breaks.
  l.layout.state().brace_depth = 0;
  l.layout.WrapIfTooLong("abc");
  EXPECT_EQ(l.Flushed(), "\n");
}

TEST(TextOpsTest, WhiteSpaceQuotesAndLineEnds) {
  std::string result;
  EXPECT_EQ(SquashSpaces(" ( \n\t\v\f\r)", result), "()");
  EXPECT_EQ(SquashSpaces("' ' :", result), "' ':");
  EXPECT_EQ(SquashSpaces("'\\'' :", result), "'\\'' :");  // no escapes: the quotes just toggle
  EXPECT_EQ(SquashSpaces("\xa0x", result), "\xa0x");      // bytes >= 128 are never white space
  EXPECT_EQ(StripNewlines("a\r\n{", result), "a\r{");
  EXPECT_TRUE(EndsWithBackslash("#define A \\  "));
  EXPECT_TRUE(EndsWithBackslash("#if a \\\t\r"));
  EXPECT_FALSE(EndsWithBackslash(" "));
  EXPECT_EQ(CountLeadingNewlines(" \t\n\n // c"), 2);
  EXPECT_EQ(CountLeadingNewlines("\n  \n//"), 1);
  EXPECT_EQ(CountLeadingNewlines("\r\n//"), 0);
  EXPECT_EQ(TrimLeading("\n\v\f\r\t /* c */ "), "/* c */ ");
}

// A sink in the C library's text mode on Windows, which writes each LF as
// CR LF itself: the writer must not do it as well.
TEST(OutputWriterTest, SinkThatTranslatesLineFeedsGetsThemAsTheyAre) {
  class TranslatingSink final : public platform::ByteSink {
   public:
    explicit TranslatingSink(std::string& out) : out_(out) {}
    bool Write(const char* data, std::size_t size) override {
      out_.append(data, size);
      return true;
    }
    platform::TextMode text_mode() const override { return platform::TextMode::kTranslated; }

   private:
    std::string& out_;
  };
  std::string text;
  TranslatingSink sink(text);
  OutputWriter writer(sink, LineEnds::kCrLf);
  writer.Write("a\nb");
  writer.Write('\n');
  writer.Write("c\r\n");
  ASSERT_TRUE(writer.Flush());
  EXPECT_EQ(text, "a\nb\nc\r\n");
}

TEST(OutputWriterTest, LineEndsFollowTheFirstLineFeed) {
  const auto detect = [](std::initializer_list<std::string_view> chunks) {
    LineEndDetector detector;
    for (const std::string_view chunk : chunks) detector.Feed(chunk);
    return detector.line_ends();
  };
  EXPECT_EQ(detect({"a\r\nb\n"}), LineEnds::kCrLf);
  EXPECT_EQ(detect({"a\nb\r\n"}), LineEnds::kLf);
  EXPECT_EQ(detect({"a\r", "\nb"}), LineEnds::kCrLf);
  EXPECT_EQ(detect({"a\r", "", "x\n"}), LineEnds::kLf);
  EXPECT_EQ(detect({"no line feed\r"}), LineEnds::kLf);
}

}  // namespace
}  // namespace qfmt::layout
