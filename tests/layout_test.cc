#include "layout/layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "layout/text_ops.h"

namespace qfmt::layout {
namespace {

// A layout writing into a string; output() flushes first.
class LayoutTest : public ::testing::Test {
 protected:
  void Configure(std::int32_t max_line_length, std::string indent) {
    options_.max_line_length = max_line_length;
    options_.indent_string = std::move(indent);
    layout_ = std::make_unique<Layout>(options_, writer_);
  }
  Layout& layout() { return *layout_; }
  LayoutState& state() { return layout_->state(); }
  const std::string& output() {
    (void)writer_.Flush();
    return text_;
  }

 private:
  std::string text_;
  platform::StringSink sink_{text_};
  OutputWriter writer_{sink_, LineEnds::kLf};
  LayoutOptions options_;
  std::unique_ptr<Layout> layout_ = std::make_unique<Layout>(options_, writer_);
};

TEST_F(LayoutTest, ComputeIndentTakesOneUnitOffLabelsInsideASwitch) {
  state().brace_depth = 2;
  state().switch_level = 1;
  state().at_label = 1;
  layout().ComputeIndent();
  EXPECT_EQ(state().pending_indent, 2);
  state().at_label = 0;
  layout().ComputeIndent();
  EXPECT_EQ(state().pending_indent, 3);
  state().switch_level = 0;
  state().at_label = 1;
  layout().ComputeIndent();
  EXPECT_EQ(state().pending_indent, 2);
  state() = LayoutState{};
  state().continuation = 1;
  state().wizard_depth = 1;
  layout().ComputeIndent();
  EXPECT_EQ(state().pending_indent, 2);
}

TEST_F(LayoutTest, ContinuationEndsOnlyOutsideParentheses) {
  for (const int depth : {1, 0, -1}) {
    state().continuation = 1;
    state().paren_depth = depth;
    layout().EndContinuation();
    EXPECT_EQ(state().continuation, depth > 0 ? 1 : 0) << depth;
  }
}

TEST_F(LayoutTest, LineBreaksWhenTheCountReachesTheLimit) {
  state().brace_depth = 2;  // limit 80 - 3 * 2 = 74
  state().column = 70;
  layout().WrapIfTooLong("abc");
  EXPECT_EQ(state().column, 73);
  EXPECT_EQ(output(), "");
  state().column = 70;
  state().newline_pending = 1;
  state().pending_indent = 5;
  layout().WrapIfTooLong("abcd");
  EXPECT_EQ(state().column, 0);
  EXPECT_EQ(state().newline_pending, 0);
  EXPECT_EQ(state().pending_indent, 0);
  EXPECT_EQ(output(), "\n      ");
}

TEST_F(LayoutTest, EmptyTextIsNeitherCountedNorBroken) {
  Configure(0, "   ");
  layout().WrapIfTooLong("");
  EXPECT_EQ(state().column, 0);
  EXPECT_EQ(output(), "");
  layout().WrapIfTooLong("x");
  EXPECT_EQ(output(), "\n");
}

TEST_F(LayoutTest, LimitIsComputedIn32Bits) {
  // -2^31 - 3 wraps around to a large limit at brace_depth 1...
  Configure(INT32_MIN, "   ");
  state().brace_depth = 1;
  layout().WrapIfTooLong("abc");
  EXPECT_EQ(output(), "");
  // ...while at brace_depth 0 every token breaks.
  state().brace_depth = 0;
  layout().WrapIfTooLong("abc");
  EXPECT_EQ(output(), "\n");
}

TEST_F(LayoutTest, EmptyIndentationLeavesTheLimitAlone) {
  Configure(10, "");
  state().brace_depth = 5;
  state().column = 5;
  layout().WrapIfTooLong("abcd");
  EXPECT_EQ(output(), "");
  layout().WrapIfTooLong("x");
  EXPECT_EQ(output(), "\n");
}

TEST_F(LayoutTest, PendingIndentationIsWrittenMidLine) {
  state().pending_indent = 2;
  layout().EmitWord("x");
  EXPECT_EQ(output(), "      x");
}

TEST_F(LayoutTest, TokenAfterEmitNewlineIsIndentedAndCounted) {
  state().pending_indent = 1;
  layout().EmitNewline();
  layout().EmitWord("abc");
  EXPECT_EQ(output(), "\n   abc");
  EXPECT_EQ(state().column, 3);
}

TEST_F(LayoutTest, IndentationIsWrittenByteForByte) {
  Configure(80, "%s\t");
  state().pending_indent = 2;
  layout().EmitWord("x");
  EXPECT_EQ(output(), "%s\t%s\tx");
}

TEST_F(LayoutTest, SpacingDiscipline) {
  auto sequence = [this](auto&&... steps) {
    layout().EmitNewline();
    const std::size_t start = output().size();
    (steps(), ...);
    return output().substr(start);
  };
  Layout& l = layout();
  EXPECT_EQ(sequence([&] { l.EmitKeyword("int"); }, [&] { l.EmitWord("x"); }), "int x");
  EXPECT_EQ(sequence([&] { l.EmitKeyword("unsigned"); }, [&] { l.EmitKeyword("int"); }), "unsigned int");
  EXPECT_EQ(sequence([&] { l.EmitWord("if"); }, [&] { l.EmitPunct("("); }, [&] { l.EmitWord("a"); },
                     [&] { l.EmitPunct(")"); }, [&] { l.EmitPunct("{"); }),
            "if(a) {");
  EXPECT_EQ(sequence([&] { l.EmitPunct("("); }, [&] { l.EmitPunct("("); }, [&] { l.EmitWord("a"); },
                     [&] { l.EmitPunct(")"); }, [&] { l.EmitPunct(")"); }),
            "( (a) )");
  EXPECT_EQ(sequence([&] { l.EmitWord("a"); }, [&] { l.EmitSpacedOperator("="); }, [&] { l.EmitWord("b"); }),
            "a = b");
  EXPECT_EQ(
      sequence([&] { l.EmitWord("a"); }, [&] { l.EmitWithLeadingSpace("*"); }, [&] { l.EmitWord("b"); }),
      "a *b");
  EXPECT_EQ(
      sequence([&] { l.EmitWord("f"); }, [&] { l.EmitPunct("("); }, [&] { l.EmitWord("a"); },
               [&] { l.EmitWithTrailingSpace(","); }, [&] { l.EmitWord("b"); }, [&] { l.EmitPunct(")"); }),
      "f(a, b)");
  EXPECT_EQ(sequence([&] { l.EmitWord("a"); }, [&] { l.EmitAttached("["); }, [&] { l.EmitWord("i"); },
                     [&] { l.EmitAttached("]"); }),
            "a[i]");
  EXPECT_EQ(sequence([&] { l.EmitKeyword("int"); }, [&] { l.EmitPunct("("); }), "int (");
  EXPECT_EQ(sequence([&] { l.EmitUnindented("x"); }, [&] { l.EmitWord("y"); }), "xy");
}

TEST_F(LayoutTest, AttachedDropsPendingLayoutAndUnindentedWritesOnlyTheBreak) {
  layout().EmitWord("x");
  layout().RequestNewline();
  state().pending_indent = 3;
  layout().EmitAttached(";");
  EXPECT_EQ(output(), "x;");
  EXPECT_EQ(state().column, 1);  // ";" is not counted
  layout().RequestNewline();
  state().pending_indent = 3;
  layout().EmitUnindented("y");
  EXPECT_EQ(output(), "x;\ny");
  EXPECT_EQ(state().column, 0);  // the break reset it; "y" is not counted
}

TEST_F(LayoutTest, CommentAttachesWhenItFitsBeforeTheLimit) {
  state().column = 40;
  layout().RequestNewline();
  layout().EmitLineItem(" // 7byt");
  EXPECT_EQ(state().column, 50);
  EXPECT_EQ(output(), "   // 7byt");
  EXPECT_EQ(state().newline_pending, 1);

  state().column = 70;  // 70 + 7 + 3 is not below 80
  layout().EmitLineItem(" // 7byt");
  EXPECT_EQ(output(), "   // 7byt\n// 7byt");
}

TEST_F(LayoutTest, CommentAtColumn0GoesThroughTheIndentation) {
  state().pending_indent = 1;
  layout().EmitLineItem("// c");
  EXPECT_EQ(output(), "   // c");
}

TEST_F(LayoutTest, CommentGapIsThreeBlanksWhateverTheIndentation) {
  Configure(80, "\t");
  state().column = 5;
  layout().EmitLineItem("\t// c");
  EXPECT_EQ(output(), "   // c");
}

TEST_F(LayoutTest, AtMostTwoLineBreaksBeforeAComment) {
  state().pending_indent = 1;
  layout().EmitLineItem("\n\n\n  // c");
  EXPECT_EQ(output(), "\n\n   // c");
  layout().EmitLineItem("\n  \n// d");  // the blanks end the count: one break
  EXPECT_EQ(output(), "\n\n   // c\n// d");
}

TEST_F(LayoutTest, SwitchLevelsGrowWithoutLimitAndCloseInnermostFirst) {
  for (int i = 0; i < 300; ++i) {
    layout().PushSwitchLevel();
    layout().IncreaseBraceDepth();
  }
  EXPECT_EQ(state().switch_level, 300);
  layout().DecreaseBraceDepth();
  EXPECT_EQ(state().switch_level, 299);
  EXPECT_EQ(state().brace_depth, 299);
  // A closing brace that does not return to the recorded depth leaves no level.
  layout().IncreaseBraceDepth();
  layout().IncreaseBraceDepth();
  layout().DecreaseBraceDepth();
  EXPECT_EQ(state().switch_level, 299);
}

TEST_F(LayoutTest, ClosingBraceAtDepth0GoesNegative) {
  layout().CloseBrace();
  EXPECT_EQ(state().brace_depth, -1);
  EXPECT_EQ(state().switch_level, 0);
  EXPECT_EQ(output(), "\n}");
}

TEST(TextOpsTest, SquashSpacesKeepsBlanksBetweenSingleQuotes) {
  std::string result;
  EXPECT_EQ(SquashSpaces("private :", result), "private:");
  EXPECT_EQ(SquashSpaces("( \n)", result), "()");
  EXPECT_EQ(SquashSpaces("' ' :", result), "' ':");
  EXPECT_EQ(SquashSpaces("'\\'' :", result), "'\\'' :");  // no escapes: the quotes just toggle
  EXPECT_EQ(SquashSpaces("   ", result), "");
  EXPECT_EQ(SquashSpaces(" a\t\v\f\rb", result), "ab");
  EXPECT_EQ(SquashSpaces("\xa0x", result), "\xa0x");  // bytes >= 128 are never white space
}

TEST(TextOpsTest, StripNewlinesKeepsCarriageReturns) {
  std::string result;
  EXPECT_EQ(StripNewlines("enum\n{", result), "enum{");
  EXPECT_EQ(StripNewlines("a\r\nb", result), "a\rb");
}

TEST(TextOpsTest, EndsWithBackslash) {
  EXPECT_TRUE(EndsWithBackslash("#define A \\  "));
  EXPECT_TRUE(EndsWithBackslash("\\"));
  EXPECT_TRUE(EndsWithBackslash("#if a \\\t\r"));
  EXPECT_FALSE(EndsWithBackslash("#define A"));
  EXPECT_FALSE(EndsWithBackslash(""));
  EXPECT_FALSE(EndsWithBackslash(" "));
}

TEST(TextOpsTest, LeadingNewlinesAndTrim) {
  EXPECT_EQ(CountLeadingNewlines(" \t\n\n // c"), 2);
  EXPECT_EQ(CountLeadingNewlines("\n  \n//"), 1);
  EXPECT_EQ(CountLeadingNewlines("\r\n//"), 0);
  EXPECT_EQ(TrimLeading("\n\v\f\r\t /* c */ "), "/* c */ ");
  EXPECT_EQ(TrimLeading(" \t"), "");
}

TEST(OutputWriterTest, LineFeedsBecomeCrLfEverywhere) {
  std::string text;
  platform::StringSink sink(text);
  OutputWriter writer(sink, LineEnds::kCrLf);
  writer.Write("a\nb");
  writer.Write('\n');
  writer.Write("/* x\n y */");
  ASSERT_TRUE(writer.Flush());
  EXPECT_EQ(text, "a\r\nb\r\n/* x\r\n y */");
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
