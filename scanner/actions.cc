#include "scanner/actions.h"

#include <array>

#include "layout/text_ops.h"

namespace qfmt::scanner {

using layout::EndsWithBackslash;
using layout::SquashSpaces;
using layout::StripNewlines;

std::string_view RuleActions::Squashed() { return SquashSpaces(engine_.text(), scratch_); }

// Asm, AsmUnderscored: an inline-assembly line, which may open an assembly block.
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

// AsmBlockClose: the brace that closes an assembly block.
void RuleActions::AsmClose() {
  layout_.ComputeIndent();
  layout_.CloseBrace();
  layout_.RequestNewline();
  layout_.ComputeIndent();
  engine_.BeginCondition(Condition::kInitial);
}

// AsmBlockNewline, LineWrapMarker, EnumNewlines, EnumTabs, WhiteSpace: dropped.
void RuleActions::Drop() {}

// AsmBlockTab, String, Tilde, Increment, Decrement, Ampersand.
void RuleActions::Punct() { layout_.EmitPunct(engine_.text()); }

// EnumText: enumeration text. A line comment inside it must not swallow what
// follows, so its line ends after it.
void RuleActions::EnumText() {
  const std::string_view text = engine_.text();
  layout_.EmitPunct(text);
  if (text.find("//") != std::string_view::npos) {
    layout_.RequestNewline();
    layout_.ComputeIndent();
  }
}

// AsmBlockLine: one line of an assembly block.
void RuleActions::AsmLine() {
  layout_.ComputeIndent();
  layout_.EmitPunct(engine_.text());
  layout_.EmitNewline();
  layout_.ComputeIndent();
}

// WizardOpen: the comment that opens a class-wizard block.
void RuleActions::WizardOpen() {
  ++layout_.state().wizard_depth;
  layout_.EmitLineItem(engine_.text());
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// WizardClose: the comment that closes a class-wizard block; an empty line follows.
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

// BlockComment, LineComment.
void RuleActions::Comment() { layout_.EmitLineItem(engine_.text()); }

// DirectiveContinues: a directive line that continues once more. The line feed goes back
// before anything is written.
void RuleActions::DirectiveContinues() {
  engine_.GiveBackLastChar();
  layout_.EmitUnindented(engine_.text());
  layout_.ProtectLineEnd();
  layout_.RequestNewline();
}

// DirectiveEnds: the last line of a continued directive.
void RuleActions::DirectiveEnds() {
  layout_.EmitUnindented(engine_.text());
  layout_.ProtectLineEnd();
  layout_.RequestNewline();
  engine_.BeginCondition(Condition::kInitial);
}

// Directive: a preprocessor line, always at the start of a line of its own.
void RuleActions::Directive() {
  const std::string_view text = engine_.text();
  layout_.ClearIndent();
  layout_.RequestNewline();
  layout_.EmitPunct(text);
  layout_.ProtectLineEnd();
  layout_.RequestNewline();
  layout_.ComputeIndent();
  if (EndsWithBackslash(text)) engine_.BeginCondition(Condition::kDirectiveCont);
}

// Break, Continue.
void RuleActions::BreakContinue() {
  layout_.ComputeIndent();
  layout_.RequestNewline();
  layout_.EmitWord(engine_.text());
}

// Do, Goto, Return.
void RuleActions::DoGotoReturn() {
  layout_.RequestNewline();
  layout_.EmitWord(engine_.text());
}

// CastChar to CastVoid, Sizeof, Question, DecimalConstant to IntegerExponent.
void RuleActions::Word() { layout_.EmitWord(engine_.text()); }

// PrivateLabel, PublicLabel, ProtectedLabel: an access label with more on its line, at the line start.
void RuleActions::AccessLabel() {
  layout_.RequestNewline();
  layout_.ClearIndent();
  layout_.EmitUnindented(Squashed());
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// EnumHead: the head of an enumeration without a name.
void RuleActions::EnumHead() {
  layout_.ComputeIndent();
  layout_.EmitWord(StripNewlines(engine_.text(), scratch_));
  layout_.KeepInputSpacing(true);
  engine_.BeginCondition(Condition::kEnumBody);
}

// EnumClose: the brace that closes an enumeration body; brace_depth is untouched.
void RuleActions::EnumClose() {
  layout_.EmitUnindented("}");
  layout_.KeepInputSpacing(false);
  layout_.RequestNewline();
  layout_.ComputeIndent();
  engine_.BeginCondition(Condition::kInitial);
}

// Auto to Volatile.
void RuleActions::Keyword() { layout_.EmitKeyword(engine_.text()); }

// ElseBrace: else and its opening brace.
void RuleActions::ElseBrace() {
  layout_.RequestNewline();
  layout_.EmitWord("else");
  layout_.OpenBrace();
  layout_.ComputeIndent();
  layout_.RequestNewline();
}

void RuleActions::Else() {
  layout_.RequestNewline();
  layout_.EmitWord(engine_.text());
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// While, For, If: the statement continues after its condition.
void RuleActions::LoopOrIf() {
  layout_.SetContinuation();
  layout_.EmitWord(engine_.text());
}

// Not, HashHash, Scope, Dot, Arrow, Colon, OpenBracket, CloseBracket.
void RuleActions::Attached() { layout_.EmitAttached(engine_.text()); }

// Plus to PipeAssign.
void RuleActions::SpacedOperator() { layout_.EmitSpacedOperator(engine_.text()); }

void RuleActions::Switch() {
  layout_.PushSwitchLevel();
  layout_.EmitWord(engine_.text());
}

// EmptyParensSemicolon: "()" and ";".
void RuleActions::EmptyParensSemicolon() {
  layout_.EmitAttached(Squashed());
  layout_.EndContinuation();
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// EmptyParens: "()".
void RuleActions::EmptyParens() {
  layout_.EmitAttached(Squashed());
  const layout::LayoutState& state = layout_.state();
  if (state.wizard_depth >= 1 || state.brace_depth == 0) {
    layout_.RequestNewline();
    layout_.ComputeIndent();
  }
}

void RuleActions::OpenParen() {
  ++layout_.state().paren_depth;
  layout_.EmitPunct(engine_.text());
}

// CloseParenBrace: ")" and "{".
void RuleActions::CloseParenBrace() {
  --layout_.state().paren_depth;
  layout_.EmitPunct(")");
  layout_.EndContinuation();
  layout_.OpenBrace();
  layout_.ComputeIndent();
}

// CloseParenSemicolon: ")" and ";". After a condition (an empty loop body) the ";" goes on
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

// CloseParenColon: ")" and ":".
void RuleActions::CloseParenColon() {
  --layout_.state().paren_depth;
  layout_.EmitAttached("):");
}

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

void RuleActions::OpenBrace() { layout_.OpenBrace(); }

// CloseBraceSemicolon: "}" and ";". At the outermost level an empty line follows.
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

void RuleActions::Semicolon() {
  layout_.EmitWithTrailingSpace(engine_.text());
  layout_.EndContinuation();
  if (layout_.state().paren_depth == 0) {
    layout_.RequestNewline();
    layout_.ComputeIndent();
  }
}

// CaseLabel: a case label, one unit out from the statements under it.
void RuleActions::CaseLabel() {
  layout_.EnterLabel();
  layout_.ComputeIndent();
  layout_.EmitWord(engine_.text());
  layout_.LeaveLabel();
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// DefaultLabel: the default label.
void RuleActions::DefaultLabel() {
  layout_.EnterLabel();
  layout_.ComputeIndent();
  layout_.EmitWord(Squashed());
  layout_.RequestNewline();
  layout_.LeaveLabel();
  layout_.ComputeIndent();
}

// DecimalLabel to EscapeLabel: a constant and a colon.
void RuleActions::ConstantLabel() {
  layout_.EndContinuation();
  layout_.EmitWord(Squashed());
  layout_.RequestNewline();
  layout_.LeaveLabel();
  layout_.ComputeIndent();
}

// LabelLine: a name and its colon alone on a line. The line feed goes back
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

void RuleActions::Stars() { layout_.EmitWithLeadingSpace(engine_.text()); }

void RuleActions::Comma() { layout_.EmitWithTrailingSpace(engine_.text()); }

// EndCatch, EndCatchAll.
void RuleActions::CatchMacro() {
  layout_.EmitWord(engine_.text());
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

void RuleActions::Identifier() {
  layout_.EmitWord(engine_.text());
  if (layout_.IsContinuation() != 0 && layout_.state().paren_depth == 0) layout_.EndContinuation();
}

// AnyByte: any other byte, copied as it is, NUL bytes included.
void RuleActions::Echo() { layout_.WriteRaw(engine_.bytes()); }

namespace {
bool IsNameByte(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '$' ||
         c >= 0x80;
}
}  // namespace

// UnterminatedLiteral: the rest of a line from a quote that it does not
// close. The line feed goes back before anything is written; nothing may
// join the line after it.
void RuleActions::UnterminatedLiteral() {
  engine_.GiveBackLastChar();
  layout_.EmitSpacedAsInInput(engine_.text());
  layout_.ProtectLineEnd();
}

// RawString: the opening of a raw string literal, R"delim( with any prefix.
// The literal runs to the first )delim" whatever lies between, and a suffix
// may follow; it is written as it stands.
void RuleActions::RawString() {
  const std::string_view opening = engine_.bytes();
  const std::size_t quote = opening.find('"');
  scratch_ = ')';
  scratch_.append(opening.substr(quote + 1, opening.size() - quote - 2));
  scratch_ += '"';
  if (!engine_.ExtendTokenThrough(scratch_) || !engine_.ExtendTokenWhile(IsNameByte)) return;
  layout_.EmitRawString(engine_.bytes());
}

// The action table, indexed by rule identity: rows of identities that share
// an action, in identity order, covering every rule of every rule set.
struct ActionTable {
  using Action = void (RuleActions::*)();
  struct Row {
    RuleId first;
    RuleId last;
    Action action;
  };

  static constexpr Row kRows[] = {
      {RuleId::kAsm, RuleId::kAsmUnderscored, &RuleActions::AsmKeyword},
      {RuleId::kAsmBlockClose, RuleId::kAsmBlockClose, &RuleActions::AsmClose},
      {RuleId::kAsmBlockNewline, RuleId::kAsmBlockNewline, &RuleActions::Drop},
      {RuleId::kAsmBlockTab, RuleId::kAsmBlockTab, &RuleActions::Punct},
      {RuleId::kAsmBlockLine, RuleId::kAsmBlockLine, &RuleActions::AsmLine},
      {RuleId::kWizardOpen, RuleId::kWizardOpen, &RuleActions::WizardOpen},
      {RuleId::kWizardClose, RuleId::kWizardClose, &RuleActions::WizardClose},
      {RuleId::kLineWrapMarker, RuleId::kLineWrapMarker, &RuleActions::Drop},
      {RuleId::kBlockComment, RuleId::kLineComment, &RuleActions::Comment},
      {RuleId::kDirectiveContinues, RuleId::kDirectiveContinues, &RuleActions::DirectiveContinues},
      {RuleId::kDirectiveEnds, RuleId::kDirectiveEnds, &RuleActions::DirectiveEnds},
      {RuleId::kString, RuleId::kString, &RuleActions::Punct},
      {RuleId::kDirective, RuleId::kDirective, &RuleActions::Directive},
      {RuleId::kBreak, RuleId::kContinue, &RuleActions::BreakContinue},
      {RuleId::kDo, RuleId::kReturn, &RuleActions::DoGotoReturn},
      {RuleId::kCastChar, RuleId::kCastVoid, &RuleActions::Word},
      {RuleId::kPrivateLabel, RuleId::kProtectedLabel, &RuleActions::AccessLabel},
      {RuleId::kEnumHead, RuleId::kEnumHead, &RuleActions::EnumHead},
      {RuleId::kEnumClose, RuleId::kEnumClose, &RuleActions::EnumClose},
      {RuleId::kEnumNewlines, RuleId::kEnumTabs, &RuleActions::Drop},
      {RuleId::kEnumText, RuleId::kEnumText, &RuleActions::EnumText},
      {RuleId::kAuto, RuleId::kVolatile, &RuleActions::Keyword},
      {RuleId::kElseBrace, RuleId::kElseBrace, &RuleActions::ElseBrace},
      {RuleId::kElse, RuleId::kElse, &RuleActions::Else},
      {RuleId::kWhile, RuleId::kIf, &RuleActions::LoopOrIf},
      {RuleId::kSizeof, RuleId::kSizeof, &RuleActions::Word},
      {RuleId::kNot, RuleId::kScope, &RuleActions::Attached},
      {RuleId::kQuestion, RuleId::kQuestion, &RuleActions::Word},
      {RuleId::kPlus, RuleId::kPipeAssign, &RuleActions::SpacedOperator},
      {RuleId::kSwitch, RuleId::kSwitch, &RuleActions::Switch},
      {RuleId::kEmptyParensSemicolon, RuleId::kEmptyParensSemicolon, &RuleActions::EmptyParensSemicolon},
      {RuleId::kEmptyParens, RuleId::kEmptyParens, &RuleActions::EmptyParens},
      {RuleId::kDot, RuleId::kColon, &RuleActions::Attached},
      {RuleId::kOpenParen, RuleId::kOpenParen, &RuleActions::OpenParen},
      {RuleId::kCloseParenBrace, RuleId::kCloseParenBrace, &RuleActions::CloseParenBrace},
      {RuleId::kCloseParenSemicolon, RuleId::kCloseParenSemicolon, &RuleActions::CloseParenSemicolon},
      {RuleId::kCloseParenColon, RuleId::kCloseParenColon, &RuleActions::CloseParenColon},
      {RuleId::kCloseParen, RuleId::kCloseParen, &RuleActions::CloseParen},
      {RuleId::kOpenBrace, RuleId::kOpenBrace, &RuleActions::OpenBrace},
      {RuleId::kTilde, RuleId::kTilde, &RuleActions::Punct},
      {RuleId::kCloseBraceSemicolon, RuleId::kCloseBraceSemicolon, &RuleActions::CloseBraceSemicolon},
      {RuleId::kCloseBrace, RuleId::kCloseBrace, &RuleActions::CloseBrace},
      {RuleId::kSemicolon, RuleId::kSemicolon, &RuleActions::Semicolon},
      {RuleId::kCaseLabel, RuleId::kCaseLabel, &RuleActions::CaseLabel},
      {RuleId::kDefaultLabel, RuleId::kDefaultLabel, &RuleActions::DefaultLabel},
      {RuleId::kDecimalLabel, RuleId::kEscapeLabel, &RuleActions::ConstantLabel},
      {RuleId::kLabelLine, RuleId::kLabelLine, &RuleActions::LabelLine},
      {RuleId::kStars, RuleId::kStars, &RuleActions::Stars},
      {RuleId::kIncrement, RuleId::kAmpersand, &RuleActions::Punct},
      {RuleId::kComma, RuleId::kComma, &RuleActions::Comma},
      {RuleId::kOpenBracket, RuleId::kCloseBracket, &RuleActions::Attached},
      {RuleId::kDecimalConstant, RuleId::kIntegerExponent, &RuleActions::Word},
      {RuleId::kEndCatch, RuleId::kEndCatchAll, &RuleActions::CatchMacro},
      {RuleId::kIdentifier, RuleId::kIdentifier, &RuleActions::Identifier},
      {RuleId::kWhiteSpace, RuleId::kWhiteSpace, &RuleActions::Drop},
      {RuleId::kAnyByte, RuleId::kAnyByte, &RuleActions::Echo},
      // The rules that only the modern set has.
      {RuleId::kRawString, RuleId::kRawString, &RuleActions::RawString},
      {RuleId::kSpaceship, RuleId::kSpaceship, &RuleActions::SpacedOperator},
      {RuleId::kEllipsis, RuleId::kArrowStar, &RuleActions::Attached},
      {RuleId::kUnterminatedLiteral, RuleId::kUnterminatedLiteral, &RuleActions::UnterminatedLiteral},
  };

  static constexpr bool IsDrop(Action action) { return action == &RuleActions::Drop; }

  // Entry 0 stays empty: the end of the input is not a rule.
  static constexpr std::array<Action, kRuleIdCount> Build() {
    std::array<Action, kRuleIdCount> table{};
    int next = 1;
    for (const Row& row : kRows) {
      const int first = static_cast<int>(row.first);
      const int last = static_cast<int>(row.last);
      if (first != next || last < first) throw "rows must cover the rules in order";
      for (int rule = first; rule <= last; ++rule) table[static_cast<std::size_t>(rule)] = row.action;
      next = last + 1;
    }
    if (next != kRuleIdCount) throw "every rule needs an action";
    return table;
  }
};

constexpr auto kActionTable = ActionTable::Build();

const RuleActions::Action* const RuleActions::kActions = kActionTable.data();

bool RuleActions::Drops(RuleId rule) {
  return ActionTable::IsDrop(kActionTable[static_cast<std::size_t>(rule)]);
}

static_assert(ActionTable::IsDrop(kActionTable[static_cast<std::size_t>(RuleId::kWhiteSpace)]),
              "the scan skips white space");

}  // namespace qfmt::scanner
