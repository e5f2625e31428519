#include "scanner/actions.h"

#include <array>

#include "layout/text_ops.h"
#include "rule_tables.h"

namespace qfmt::scanner {

using layout::EndsWithBackslash;
using layout::SquashSpaces;
using layout::StripNewlines;

std::string_view RuleActions::Squashed() { return SquashSpaces(engine_.text(), scratch_); }

// Rules 1, 2: an inline-assembly line, which may open an assembly block.
void RuleActions::AsmKeyword() {
  const std::string_view text = engine_.text();
  layout_.EmitNewline();
  layout_.ComputeIndent();
  layout_.EmitWord(text);
  layout_.EmitNewline();
  layout_.ComputeIndent();
  if (text.find('{') != std::string_view::npos) {
    layout_.IncreaseBraceDepth();
    engine_.BeginCondition(Condition::kAsmBlock);
  }
}

// Rule 3: the brace that closes an assembly block.
void RuleActions::AsmClose() {
  layout_.ComputeIndent();
  layout_.CloseBrace();
  layout_.RequestNewline();
  layout_.ComputeIndent();
  engine_.BeginCondition(Condition::kInitial);
}

// Rules 4, 9, 33, 34, 154: dropped.
void RuleActions::Drop() {}

// Rules 5, 14, 108, 124, 125, 126.
void RuleActions::Punct() { layout_.EmitPunct(engine_.text()); }

// Rule 35: enumeration text. A line comment inside it must not swallow what
// follows, so its line ends after it.
void RuleActions::EnumText() {
  const std::string_view text = engine_.text();
  layout_.EmitPunct(text);
  if (text.find("//") != std::string_view::npos) {
    layout_.RequestNewline();
    layout_.ComputeIndent();
  }
}

// Rule 6: one line of an assembly block.
void RuleActions::AsmLine() {
  layout_.ComputeIndent();
  layout_.EmitPunct(engine_.text());
  layout_.EmitNewline();
  layout_.ComputeIndent();
}

// Rule 7: the comment that opens a class-wizard block.
void RuleActions::WizardOpen() {
  ++layout_.state().wizard_depth;
  layout_.EmitLineItem(engine_.text());
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// Rule 8: the comment that closes a class-wizard block; an empty line follows.
void RuleActions::WizardClose() {
  --layout_.state().wizard_depth;
  layout_.RequestNewline();
  layout_.ComputeIndent();
  layout_.EmitLineItem(engine_.text());
  layout_.RequestNewline();
  layout_.EmitNewline();
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// Rules 10, 11.
void RuleActions::Comment() { layout_.EmitLineItem(engine_.text()); }

// Rule 12: a directive line that continues once more. The line feed goes back
// before anything is written.
void RuleActions::DirectiveContinues() {
  engine_.GiveBackLastChar();
  layout_.EmitUnindented(engine_.text());
  layout_.RequestNewline();
}

// Rule 13: the last line of a continued directive.
void RuleActions::DirectiveEnds() {
  layout_.EmitUnindented(engine_.text());
  layout_.RequestNewline();
  engine_.BeginCondition(Condition::kInitial);
}

// Rule 15: a preprocessor line, always at the start of a line of its own.
void RuleActions::Directive() {
  const std::string_view text = engine_.text();
  layout_.ClearIndent();
  layout_.RequestNewline();
  layout_.EmitPunct(text);
  layout_.RequestNewline();
  layout_.ComputeIndent();
  if (EndsWithBackslash(text)) engine_.BeginCondition(Condition::kDirectiveCont);
}

// Rules 16, 17.
void RuleActions::BreakContinue() {
  layout_.ComputeIndent();
  layout_.RequestNewline();
  layout_.EmitWord(engine_.text());
}

// Rules 18, 19, 20.
void RuleActions::DoGotoReturn() {
  layout_.RequestNewline();
  layout_.EmitWord(engine_.text());
}

// Rules 21 to 27, 64, 68, 130 to 150.
void RuleActions::Word() { layout_.EmitWord(engine_.text()); }

// Rules 28, 29, 30: an access label with more on its line, at the line start.
void RuleActions::AccessLabel() {
  layout_.RequestNewline();
  layout_.ClearIndent();
  layout_.EmitUnindented(Squashed());
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// Rule 31: the head of an enumeration without a name.
void RuleActions::EnumHead() {
  layout_.ComputeIndent();
  layout_.EmitWord(StripNewlines(engine_.text(), scratch_));
  engine_.BeginCondition(Condition::kEnumBody);
}

// Rule 32: the brace that closes an enumeration body; brace_depth is untouched.
void RuleActions::EnumClose() {
  layout_.EmitUnindented("}");
  layout_.RequestNewline();
  layout_.ComputeIndent();
  engine_.BeginCondition(Condition::kInitial);
}

// Rules 36 to 58.
void RuleActions::Keyword() { layout_.EmitKeyword(engine_.text()); }

// Rule 59: else and its opening brace.
void RuleActions::ElseBrace() {
  layout_.RequestNewline();
  layout_.EmitWord("else");
  layout_.OpenBrace();
  layout_.ComputeIndent();
  layout_.RequestNewline();
}

// Rule 60.
void RuleActions::Else() {
  layout_.RequestNewline();
  layout_.EmitWord(engine_.text());
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// Rules 61, 62, 63: the statement continues after its condition.
void RuleActions::LoopOrIf() {
  layout_.SetContinuation();
  layout_.EmitWord(engine_.text());
}

// Rules 65, 66, 67, 99, 100, 101, 128, 129.
void RuleActions::Attached() { layout_.EmitAttached(engine_.text()); }

// Rules 69 to 95.
void RuleActions::SpacedOperator() { layout_.EmitSpacedOperator(engine_.text()); }

// Rule 96.
void RuleActions::Switch() {
  layout_.PushSwitchLevel();
  layout_.EmitWord(engine_.text());
}

// Rule 97: "()" and ";".
void RuleActions::EmptyParensSemicolon() {
  layout_.EmitAttached(Squashed());
  layout_.EndContinuation();
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// Rule 98: "()".
void RuleActions::EmptyParens() {
  layout_.EmitAttached(Squashed());
  const layout::LayoutState& state = layout_.state();
  if (state.wizard_depth >= 1 || state.brace_depth == 0) {
    layout_.RequestNewline();
    layout_.ComputeIndent();
  }
}

// Rule 102.
void RuleActions::OpenParen() {
  ++layout_.state().paren_depth;
  layout_.EmitPunct(engine_.text());
}

// Rule 103: ")" and "{".
void RuleActions::CloseParenBrace() {
  --layout_.state().paren_depth;
  layout_.EmitPunct(")");
  layout_.EndContinuation();
  layout_.OpenBrace();
  layout_.ComputeIndent();
}

// Rule 104: ")" and ";". After a condition (an empty loop body) the ";" goes on
// a line of its own, one unit deeper.
void RuleActions::CloseParenSemicolon() {
  --layout_.state().paren_depth;
  if (layout_.IsContinuation() != 0 && layout_.state().paren_depth == 0) {
    layout_.EmitPunct(")");
    layout_.RequestNewline();
    layout_.ComputeIndent();
    layout_.EmitPunct(";");
  } else {
    layout_.EmitPunct(");");
  }
  layout_.EndContinuation();
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// Rule 105: ")" and ":".
void RuleActions::CloseParenColon() {
  --layout_.state().paren_depth;
  layout_.EmitAttached("):");
}

// Rule 106.
void RuleActions::CloseParen() {
  --layout_.state().paren_depth;
  layout_.EmitPunct(engine_.text());
  const layout::LayoutState& state = layout_.state();
  if (state.paren_depth != 0) return;
  if (state.brace_depth == 0) {
    layout_.RequestNewline();
  } else if (state.wizard_depth >= 1 || layout_.IsContinuation() != 0) {
    layout_.RequestNewline();
    layout_.ComputeIndent();
  }
}

// Rule 107.
void RuleActions::OpenBrace() { layout_.OpenBrace(); }

// Rule 109: "}" and ";". At the outermost level an empty line follows.
void RuleActions::CloseBraceSemicolon() {
  layout_.CloseBrace();
  layout_.EmitAttached(";");
  layout_.RequestNewline();
  if (layout_.state().brace_depth >= 1) {
    layout_.ComputeIndent();
    layout_.EndContinuation();
  } else {
    layout_.EmitNewline();
    layout_.RequestNewline();
    layout_.EndContinuation();
  }
}

// Rule 110.
void RuleActions::CloseBrace() {
  layout_.RequestNewline();
  layout_.CloseBrace();
  layout_.RequestNewline();
  if (layout_.state().brace_depth >= 1) {
    layout_.ComputeIndent();
  } else {
    layout_.RequestNewline();
  }
}

// Rule 111.
void RuleActions::Semicolon() {
  layout_.EmitWithTrailingSpace(engine_.text());
  layout_.EndContinuation();
  if (layout_.state().paren_depth == 0) {
    layout_.RequestNewline();
    layout_.ComputeIndent();
  }
}

// Rule 112: a case label, one unit out from the statements under it.
void RuleActions::CaseLabel() {
  layout_.EnterLabel();
  layout_.ComputeIndent();
  layout_.EmitWord(engine_.text());
  layout_.LeaveLabel();
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// Rule 113: the default label.
void RuleActions::DefaultLabel() {
  layout_.EnterLabel();
  layout_.ComputeIndent();
  layout_.EmitWord(Squashed());
  layout_.RequestNewline();
  layout_.LeaveLabel();
  layout_.ComputeIndent();
}

// Rules 114 to 121: a constant and a colon.
void RuleActions::ConstantLabel() {
  layout_.EndContinuation();
  layout_.EmitWord(Squashed());
  layout_.RequestNewline();
  layout_.LeaveLabel();
  layout_.ComputeIndent();
}

// Rule 122: a name and its colon alone on a line. The line feed goes back
// before anything is written; the comparison is made on the squashed text.
void RuleActions::LabelLine() {
  engine_.GiveBackLastChar();
  const std::string_view label = Squashed();
  if (label == "default:") {
    layout_.EnterLabel();
    layout_.ComputeIndent();
  }
  layout_.EndContinuation();
  layout_.RequestNewline();
  layout_.EmitWord(label);
  layout_.RequestNewline();
  layout_.LeaveLabel();
  layout_.ComputeIndent();
}

// Rule 123.
void RuleActions::Stars() { layout_.EmitWithLeadingSpace(engine_.text()); }

// Rule 127.
void RuleActions::Comma() { layout_.EmitWithTrailingSpace(engine_.text()); }

// Rules 151, 152.
void RuleActions::CatchMacro() {
  layout_.EmitWord(engine_.text());
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// Rule 153.
void RuleActions::Identifier() {
  layout_.EmitWord(engine_.text());
  if (layout_.IsContinuation() != 0 && layout_.state().paren_depth == 0) layout_.EndContinuation();
}

// Rule 155: any other byte, copied as it is, NUL bytes included.
void RuleActions::Echo() { layout_.WriteRaw(engine_.bytes()); }

// The action table, indexed by rule number.
struct ActionTable {
  using Action = void (RuleActions::*)();
  struct Row {
    int first;
    int last;
    Action action;
  };

  static constexpr Row kRows[] = {
      {1, 2, &RuleActions::AsmKeyword},
      {3, 3, &RuleActions::AsmClose},
      {4, 4, &RuleActions::Drop},
      {5, 5, &RuleActions::Punct},
      {6, 6, &RuleActions::AsmLine},
      {7, 7, &RuleActions::WizardOpen},
      {8, 8, &RuleActions::WizardClose},
      {9, 9, &RuleActions::Drop},
      {10, 11, &RuleActions::Comment},
      {12, 12, &RuleActions::DirectiveContinues},
      {13, 13, &RuleActions::DirectiveEnds},
      {14, 14, &RuleActions::Punct},
      {15, 15, &RuleActions::Directive},
      {16, 17, &RuleActions::BreakContinue},
      {18, 20, &RuleActions::DoGotoReturn},
      {21, 27, &RuleActions::Word},
      {28, 30, &RuleActions::AccessLabel},
      {31, 31, &RuleActions::EnumHead},
      {32, 32, &RuleActions::EnumClose},
      {33, 34, &RuleActions::Drop},
      {35, 35, &RuleActions::EnumText},
      {36, 58, &RuleActions::Keyword},
      {59, 59, &RuleActions::ElseBrace},
      {60, 60, &RuleActions::Else},
      {61, 63, &RuleActions::LoopOrIf},
      {64, 64, &RuleActions::Word},
      {65, 67, &RuleActions::Attached},
      {68, 68, &RuleActions::Word},
      {69, 95, &RuleActions::SpacedOperator},
      {96, 96, &RuleActions::Switch},
      {97, 97, &RuleActions::EmptyParensSemicolon},
      {98, 98, &RuleActions::EmptyParens},
      {99, 101, &RuleActions::Attached},
      {102, 102, &RuleActions::OpenParen},
      {103, 103, &RuleActions::CloseParenBrace},
      {104, 104, &RuleActions::CloseParenSemicolon},
      {105, 105, &RuleActions::CloseParenColon},
      {106, 106, &RuleActions::CloseParen},
      {107, 107, &RuleActions::OpenBrace},
      {108, 108, &RuleActions::Punct},
      {109, 109, &RuleActions::CloseBraceSemicolon},
      {110, 110, &RuleActions::CloseBrace},
      {111, 111, &RuleActions::Semicolon},
      {112, 112, &RuleActions::CaseLabel},
      {113, 113, &RuleActions::DefaultLabel},
      {114, 121, &RuleActions::ConstantLabel},
      {122, 122, &RuleActions::LabelLine},
      {123, 123, &RuleActions::Stars},
      {124, 126, &RuleActions::Punct},
      {127, 127, &RuleActions::Comma},
      {128, 129, &RuleActions::Attached},
      {130, 150, &RuleActions::Word},
      {151, 152, &RuleActions::CatchMacro},
      {153, 153, &RuleActions::Identifier},
      {154, 154, &RuleActions::Drop},
      {155, 155, &RuleActions::Echo},
  };

  static constexpr bool IsDrop(Action action) { return action == &RuleActions::Drop; }

  // Entry 0 stays empty: the end of the input is not a rule.
  static constexpr std::array<Action, tables::kRuleCount + 1> Build() {
    std::array<Action, tables::kRuleCount + 1> table{};
    int next = 1;
    for (const Row& row : kRows) {
      if (row.first != next || row.last < row.first) throw "rows must cover the rules in order";
      for (int rule = row.first; rule <= row.last; ++rule) table[static_cast<std::size_t>(rule)] = row.action;
      next = row.last + 1;
    }
    if (next != tables::kRuleCount + 1) throw "every rule needs an action";
    return table;
  }
};

constexpr auto kActionTable = ActionTable::Build();
static_assert(kActionTable.size() == tables::kRuleCount + 1);

const RuleActions::Action* const RuleActions::kActions = kActionTable.data();

static_assert(ActionTable::IsDrop(kActionTable[kWhiteSpaceRule]), "the scan skips white space");

}  // namespace qfmt::scanner
