#include "scanner/actions.h"

#include <array>

#include "generated/rule_actions.h"
#include "layout/text_ops.h"

namespace qfmt::scanner {

using layout::EndsWithBackslash;
using layout::SquashSpaces;
using layout::StripNewlines;

std::string_view RuleActions::Squashed() { return SquashSpaces(engine_.text(), scratch_); }

// An inline-assembly line, which may open an assembly block.
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

// The brace that closes an assembly block.
void RuleActions::AsmClose() {
  layout_.ComputeIndent();
  layout_.CloseBrace();
  layout_.RequestNewline();
  layout_.ComputeIndent();
  engine_.BeginCondition(Condition::kInitial);
}

// A token that is dropped; it only separates its neighbours.
void RuleActions::Drop() {}

// Punctuation, written as it stands.
void RuleActions::Punct() { layout_.EmitPunct(engine_.text()); }

// Enumeration text. A line comment inside it must not swallow what
// follows, so its line ends after it.
void RuleActions::EnumText() {
  const std::string_view text = engine_.text();
  layout_.EmitPunct(text);
  if (text.find("//") != std::string_view::npos) {
    layout_.RequestNewline();
    layout_.ComputeIndent();
  }
}

// One line of an assembly block.
void RuleActions::AsmLine() {
  layout_.ComputeIndent();
  layout_.EmitPunct(engine_.text());
  layout_.EmitNewline();
  layout_.ComputeIndent();
}

// The comment that opens a class-wizard block.
void RuleActions::WizardOpen() {
  ++layout_.state().wizard_depth;
  layout_.EmitLineItem(engine_.text());
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// The comment that closes a class-wizard block; an empty line follows.
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

// A comment, attached to its code line where it fits.
void RuleActions::Comment() { layout_.EmitLineItem(engine_.text()); }

// A directive line that continues once more. The line feed goes back
// before anything is written.
void RuleActions::DirectiveContinues() {
  engine_.GiveBackLastChar();
  layout_.EmitUnindented(engine_.text());
  layout_.ProtectLineEnd();
  layout_.RequestNewline();
}

// The last line of a continued directive.
void RuleActions::DirectiveEnds() {
  layout_.EmitUnindented(engine_.text());
  layout_.ProtectLineEnd();
  layout_.RequestNewline();
  engine_.BeginCondition(Condition::kInitial);
}

// A preprocessor line, always at the start of a line of its own.
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

// break and continue: a statement of their own.
void RuleActions::BreakContinue() {
  layout_.ComputeIndent();
  layout_.RequestNewline();
  layout_.EmitWord(engine_.text());
}

// do, goto and return: a statement begins.
void RuleActions::DoGotoReturn() {
  layout_.RequestNewline();
  layout_.EmitWord(engine_.text());
}

// A word: casts, sizeof, "?" and constants.
void RuleActions::Word() { layout_.EmitWord(engine_.text()); }

// An access label with more on its line, at the line start.
void RuleActions::AccessLabel() {
  layout_.RequestNewline();
  layout_.ClearIndent();
  layout_.EmitUnindented(Squashed());
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// The head of an enumeration without a name.
void RuleActions::EnumHead() {
  layout_.ComputeIndent();
  layout_.EmitWord(StripNewlines(engine_.text(), scratch_));
  layout_.KeepInputSpacing(true);
  engine_.BeginCondition(Condition::kEnumBody);
}

// The brace that closes an enumeration body; brace_depth is untouched.
void RuleActions::EnumClose() {
  layout_.EmitUnindented("}");
  layout_.KeepInputSpacing(false);
  layout_.RequestNewline();
  layout_.ComputeIndent();
  engine_.BeginCondition(Condition::kInitial);
}

// A keyword of a declaration.
void RuleActions::Keyword() { layout_.EmitKeyword(engine_.text()); }

// else and its opening brace.
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

// while, for and if: the statement continues after its condition.
void RuleActions::LoopOrIf() {
  layout_.SetContinuation();
  layout_.EmitWord(engine_.text());
}

// An operator or bracket attached to its neighbours.
void RuleActions::Attached() { layout_.EmitAttached(engine_.text()); }

// A binary or assignment operator, with blanks around it.
void RuleActions::SpacedOperator() { layout_.EmitSpacedOperator(engine_.text()); }

void RuleActions::Switch() {
  layout_.PushSwitchLevel();
  layout_.EmitWord(engine_.text());
}

// "()" and ";".
void RuleActions::EmptyParensSemicolon() {
  layout_.EmitAttached(Squashed());
  layout_.EndContinuation();
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// "()".
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

// ")" and "{".
void RuleActions::CloseParenBrace() {
  --layout_.state().paren_depth;
  layout_.EmitPunct(")");
  layout_.EndContinuation();
  layout_.OpenBrace();
  layout_.ComputeIndent();
}

// ")" and ";". After a condition (an empty loop body) the ";" goes on
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

// ")" and ":".
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

// "}" and ";". At the outermost level an empty line follows.
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

// A case label, one unit out from the statements under it.
void RuleActions::CaseLabel() {
  layout_.EnterLabel();
  layout_.ComputeIndent();
  layout_.EmitWord(engine_.text());
  layout_.LeaveLabel();
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

// The default label.
void RuleActions::DefaultLabel() {
  layout_.EnterLabel();
  layout_.ComputeIndent();
  layout_.EmitWord(Squashed());
  layout_.RequestNewline();
  layout_.LeaveLabel();
  layout_.ComputeIndent();
}

// A constant and a colon.
void RuleActions::ConstantLabel() {
  layout_.EndContinuation();
  layout_.EmitWord(Squashed());
  layout_.RequestNewline();
  layout_.LeaveLabel();
  layout_.ComputeIndent();
}

// A name and its colon alone on a line. The line feed goes back
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

// The macros that end a catch block: a line of their own.
void RuleActions::CatchMacro() {
  layout_.EmitWord(engine_.text());
  layout_.RequestNewline();
  layout_.ComputeIndent();
}

void RuleActions::Identifier() {
  layout_.EmitWord(engine_.text());
  if (layout_.IsContinuation() != 0 && layout_.state().paren_depth == 0) layout_.EndContinuation();
}

// Any other byte, copied as it is, NUL bytes included.
void RuleActions::Echo() { layout_.WriteRaw(engine_.bytes()); }

namespace {
bool IsNameByte(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '$' ||
         c >= 0x80;
}
}  // namespace

// The rest of a line from a quote that it does not
// close. The line feed goes back before anything is written; nothing may
// join the line after it.
void RuleActions::UnterminatedLiteral() {
  engine_.GiveBackLastChar();
  layout_.EmitSpacedAsInInput(engine_.text());
  layout_.ProtectLineEnd();
}

// The opening of a raw string literal, R"delim( with any prefix.
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

namespace {

// Every rule has its action: the generator refuses a rules line without one,
// and an action that RuleActions lacks does not compile.
constexpr bool EveryRuleActs(const std::array<void (RuleActions::*)(), kRuleIdCount>& table) {
  for (std::size_t rule = 1; rule < table.size(); ++rule) {
    if (table[rule] == nullptr) return false;
  }
  return table[0] == nullptr;
}

}  // namespace

constexpr auto kActionTable = RuleActionTable::For<RuleActions>();
static_assert(EveryRuleActs(kActionTable), "every rule needs an action, and the end of the input none");

const RuleActions::Action* const RuleActions::kActions = kActionTable.data();

bool RuleActions::Drops(RuleId rule) {
  // The scan loop skips white space without running its action.
  static_assert(kActionTable[static_cast<std::size_t>(RuleId::kWhiteSpace)] == &RuleActions::Drop,
                "the scan skips white space");
  return kActionTable[static_cast<std::size_t>(rule)] == &RuleActions::Drop;
}

}  // namespace qfmt::scanner
