#pragma once

#include <string>
#include <string_view>

#include "generated/rule_ids.h"
#include "layout/layout.h"
#include "scanner/engine.h"

namespace qfmt::scanner {

// The rule actions of one run: each rule's fixed sequence of layout
// operations, counter changes and start-condition switches.
class RuleActions {
 public:
  RuleActions(Engine& engine, layout::Layout& layout) : engine_(engine), layout_(layout) {}
  RuleActions(const RuleActions&) = delete;
  RuleActions& operator=(const RuleActions&) = delete;

  // Runs the action of `rule` on the engine's current token.
  void Run(RuleId rule) { (this->*kActions[static_cast<std::size_t>(rule)])(); }
  // Whether blanks (or dropped tokens) stood before the coming token.
  void SetSeparated(bool separated) { layout_.SetSeparatedInInput(separated); }
  // True for the rules whose tokens are dropped: they separate their neighbours.
  [[nodiscard]] static bool Drops(RuleId rule);

 private:
  using Action = void (RuleActions::*)();
  // The action table by rule identity, as the rules files' action column
  // states it (generated/rule_actions.h); entry 0, the end of the input, is empty.
  static const Action* const kActions;

  friend struct RuleActionTable;

  // The actions that the rules files name.
  void AsmKeyword();
  void AsmClose();
  void Drop();
  void Punct();
  void EnumText();
  void AsmLine();
  void WizardOpen();
  void WizardClose();
  void Comment();
  void DirectiveContinues();
  void DirectiveEnds();
  void Directive();
  void BreakContinue();
  void DoGotoReturn();
  void Word();
  void AccessLabel();
  void EnumHead();
  void EnumClose();
  void Keyword();
  void ElseBrace();
  void Else();
  void LoopOrIf();
  void Attached();
  void SpacedOperator();
  void Switch();
  void EmptyParensSemicolon();
  void EmptyParens();
  void OpenParen();
  void CloseParenBrace();
  void CloseParenSemicolon();
  void CloseParenColon();
  void CloseParen();
  void OpenBrace();
  void CloseBraceSemicolon();
  void CloseBrace();
  void Semicolon();
  void CaseLabel();
  void DefaultLabel();
  void ConstantLabel();
  void LabelLine();
  void Stars();
  void Comma();
  void CatchMacro();
  void Identifier();
  void Echo();
  void RawString();
  void UnterminatedLiteral();

  std::string_view Squashed();

  Engine& engine_;
  layout::Layout& layout_;
  std::string scratch_;  // result of SquashSpaces and StripNewlines
};

}  // namespace qfmt::scanner
