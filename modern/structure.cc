#include "modern/structure.h"

namespace qfmt::modern {
namespace {

// Token::hint bits, set on tokens ahead of the one being read.
constexpr std::uint8_t kHintTemplateLevels = 3;  // a ">" or ">>" that closes that many template levels
constexpr std::uint8_t kHintLambdaBody = 4;      // the "{" of a lambda's body
constexpr std::uint8_t kHintLabelColon = 8;      // the ":" of a label, case or access specifier
constexpr std::uint8_t kHintOperatorName = 16;   // "(" or ")" of "operator()"

// How far ahead the structural pass looks for a bracket's partner.
constexpr std::size_t kReach = 160;

bool IsDeclarationWord(Word word) {
  switch (word) {
    case Word::kExtern:
    case Word::kClass:
    case Word::kStruct:
    case Word::kUnion:
    case Word::kEnum:
    case Word::kTypedef:
    case Word::kTemplate:
    case Word::kTypename:
    case Word::kConstexpr:
      return true;
    default:
      return IsTypeWord(word);
  }
}

bool IsClassKey(Word word) {
  return word == Word::kClass || word == Word::kStruct || word == Word::kUnion || word == Word::kEnum;
}

// Words after a function's parameters and before its body.
bool EndsFunctionHead(Word word) {
  switch (word) {
    case Word::kConst:
    case Word::kVolatile:
    case Word::kNoexcept:
    case Word::kTry:
    case Word::kMutable:
    case Word::kAmp:
    case Word::kAmpAmp:
    case Word::kRParen:
    case Word::kRBracket:
      return true;
    default:
      return false;
  }
}

bool IsIdentifier(const Token& token) { return token.kind == Kind::kWord && token.word == Word::kNone; }
bool IsLiteral(const Token& token) {
  return token.kind == Kind::kNumber || token.kind == Kind::kChar || token.kind == Kind::kString ||
         token.kind == Kind::kRawString;
}
// A token that may begin an operand.
bool BeginsOperand(const Token& token) {
  if (IsLiteral(token) || IsIdentifier(token)) return true;
  switch (token.word) {
    case Word::kLParen:
    case Word::kMinus:
    case Word::kPlus:
    case Word::kNot:
    case Word::kTilde:
    case Word::kStar:
    case Word::kAmp:
    case Word::kIncrement:
    case Word::kDecrement:
    case Word::kScope:
    case Word::kSizeof:
    case Word::kAlignof:
    case Word::kNew:
    case Word::kDelete:
      return true;
    default:
      return false;
  }
}

// A statement word that begins a statement even where the one before has
// no ";" (after a macro that stands for a statement).
bool ForcesStatement(const Token& token, Word last) {
  switch (token.word) {
    case Word::kIf:
    case Word::kFor:
    case Word::kWhile:
    case Word::kDo:
    case Word::kSwitch:
    case Word::kReturn:
    case Word::kBreak:
    case Word::kContinue:
    case Word::kGoto:
    case Word::kCase:
    case Word::kElse:
    case Word::kTry:
    case Word::kCoReturn:
      return true;
    case Word::kDefault:
      return last != Word::kAssign;
    default:
      return false;
  }
}

// A word at the start of a line that begins a declaration even where the
// one before has no ";" (after a macro that stands for a declaration).
bool ForcesDeclaration(const Token& token, const Token& last, const Token& next) {
  if (!token.starts_line()) return false;
  switch (token.word) {
    case Word::kNamespace:
    case Word::kTemplate:
    case Word::kTypedef:
    case Word::kUsing:
    case Word::kStaticAssert:
      return true;
    case Word::kPublic:
    case Word::kPrivate:
    case Word::kProtected:
      return next.word == Word::kColon;  // not in a base clause
    case Word::kClass:
    case Word::kStruct:
    case Word::kUnion:
    case Word::kEnum:
      return last.word == Word::kRParen || (last.kind == Kind::kWord && last.word == Word::kNone);
    default:
      return false;
  }
}

bool IsAccessWord(const Token& token) {
  return token.word == Word::kPublic || token.word == Word::kPrivate || token.word == Word::kProtected;
}

}  // namespace

void Structure::Run() {
  state_.frames.assign(1, Frame{});
  state_.controls.clear();
  for (;;) {
    Token& token = stream_.Peek();
    Mark mark;
    if (off_ && token.starts_line()) {
      // The line that holds "qfmt on" is formatted again.
      verbatim_line_ = true;
      for (std::size_t k = 0; k < kReach; ++k) {
        const Token& ahead = stream_.Peek(k);
        if (ahead.kind == Kind::kEnd || (k > 0 && ahead.starts_line())) break;
        if (ahead.word == Word::kOnMarker) {
          off_ = false;
          verbatim_line_ = false;
          break;
        }
      }
    }
    if (token.kind == Kind::kEnd) {
      mark.role = Role::kOther;
      Emit(token, mark);
      return;
    }
    if (token.kind == Kind::kComment) {
      Comment(token, mark);
    } else if (token.kind == Kind::kDirective) {
      Directive(token, mark);
    } else {
      Code(token, mark);
    }
    if (off_ && verbatim_line_) mark.verbatim = Verbatim::kExact;
    Emit(token, mark);
    const bool dead = mark.branch == Branch::kSaveDead;
    stream_.Advance();
    if (dead) SkipDeadBranch();
  }
}

void Structure::Emit(const Token& token, const Mark& mark) { sink_.Take(token, mark); }

void Structure::Comment(const Token& token, Mark& mark) {
  mark.role = Role::kComment;
  mark.space = Space::kAsInput;
  mark.ends_line = stream_.Peek(1).kind == Kind::kEnd || stream_.Peek(1).starts_line();
  state_.after_comment = true;
  if (token.starts_line()) {
    std::size_t k = 1;
    while (k < kReach && stream_.Peek(k).kind == Kind::kComment && !stream_.Peek(k).starts_line()) ++k;
    const Token& after = stream_.Peek(k);
    mark.comment_line = after.kind == Kind::kEnd || after.starts_line();
  }
  if (token.word == Word::kOffMarker && !off_) {
    off_ = true;
    verbatim_line_ = false;
  }
}

// note [branches]: the nesting is saved at #if, #ifdef and #ifndef, and
// restored at each #elif and #else, so that every branch begins where the
// first began; after #endif the nesting goes on as the first branch left it
// (its branches may open or close brackets differently, as a function's
// head written twice). A branch under "#if 0" is dead: it is kept as it is
// written and leaves the nesting alone. The lines keep their own nesting in
// step by the same marks.
void Structure::Directive(const Token& token, Mark& mark) {
  mark.role = Role::kDirective;
  mark.line = Break::kForce;
  mark.place = Place::kFlushLeft;
  mark.space = Space::kNone;
  switch (token.word) {
    case Word::kDirIf:
    case Word::kDirIfZero: {
      if (branch_depth_ == branches_.size()) branches_.emplace_back();
      BranchSave& save = branches_[branch_depth_++];
      save.at_if = state_;
      save.has_first = false;
      save.dead = token.word == Word::kDirIfZero;
      mark.branch = save.dead ? Branch::kSaveDead : Branch::kSave;
      break;
    }
    case Word::kDirElse:
      if (branch_depth_ > 0) {
        BranchSave& save = branches_[branch_depth_ - 1];
        if (!save.has_first && !save.dead) {
          save.first = state_;
          save.has_first = true;
        }
        save.dead = false;
        state_ = save.at_if;
        mark.branch = Branch::kRestore;
      }
      break;
    case Word::kDirEndif:
      if (branch_depth_ > 0) {
        BranchSave& save = branches_[--branch_depth_];
        if (save.has_first) state_ = save.first;
        mark.branch = Branch::kEnd;
      }
      break;
    default:
      break;
  }
}

void Structure::SkipDeadBranch() {
  int nested = 0;
  for (;; stream_.Advance()) {
    const Token& token = stream_.Peek();
    if (token.kind == Kind::kEnd) return;
    if (token.kind == Kind::kDirective) {
      if (nested == 0 && (token.word == Word::kDirElse || token.word == Word::kDirEndif)) return;
      if (token.word == Word::kDirIf || token.word == Word::kDirIfZero) ++nested;
      if (token.word == Word::kDirEndif) --nested;
    }
    Mark mark;
    mark.role = token.kind == Kind::kComment ? Role::kComment : Role::kOther;
    mark.space = Space::kAsInput;
    mark.verbatim = Verbatim::kTrimmed;
    Emit(token, mark);
  }
}

bool Structure::HoldsStatements(const Frame& frame) { return frame.kind <= FrameKind::kLambda; }

bool Structure::HoldsDeclarations(const Frame& frame) {
  return frame.kind == FrameKind::kFile || frame.kind == FrameKind::kNamespace ||
         frame.kind == FrameKind::kExtern || frame.kind == FrameKind::kClass;
}

void Structure::ResetStatement(Frame& frame) {
  frame.statement = Statement{};
  frame.statement.levels = static_cast<std::uint8_t>(state_.controls.size() - frame.controls);
  frame.questions = 0;
}

const Token* Structure::NextCode(std::size_t from) {
  for (std::size_t k = from; k < kReach; ++k) {
    const Token& token = stream_.Peek(k);
    if (token.kind == Kind::kEnd) return nullptr;
    if (token.kind != Kind::kComment && token.kind != Kind::kDirective) return &token;
  }
  return nullptr;
}

bool Structure::NextCodeIs(Word word, std::size_t from) {
  const Token* next = NextCode(from);
  return next != nullptr && next->word == word;
}

// A statement (or a block, or a control's body) ended in the top frame: the
// controls whose body it was end with it, unless an else, a catch or the
// while of a do follows.
void Structure::Complete(std::size_t next) {
  Frame& frame = Top();
  while (state_.controls.size() > frame.controls) {
    Control& control = state_.controls.back();
    const bool body_ended =
        control.state == Control::State::kBody || control.state == Control::State::kBraced;
    if (body_ended && control.word == Word::kIf && NextCodeIs(Word::kElse, next)) {
      control.state = Control::State::kAwaitElse;
      break;
    }
    if (body_ended && control.word == Word::kDo) {
      control.state = Control::State::kAwaitWhile;
      break;
    }
    if (body_ended && (control.word == Word::kTry || control.word == Word::kCatch) &&
        NextCodeIs(Word::kCatch, next)) {
      control.state = Control::State::kAwaitCatch;
      break;
    }
    state_.controls.pop_back();
  }
  ResetStatement(frame);
}

void Structure::StartStatement(const Token& token, Mark& mark) {
  Frame& frame = Top();
  if (token.word == Word::kRBrace) return;
  // A control that waits for else, catch or while and finds something else ends.
  while (state_.controls.size() > frame.controls) {
    Control& waiting = state_.controls.back();
    const bool matches = (waiting.state == Control::State::kAwaitElse && token.word == Word::kElse) ||
                         (waiting.state == Control::State::kAwaitCatch && token.word == Word::kCatch) ||
                         (waiting.state == Control::State::kAwaitWhile && token.word == Word::kWhile);
    const bool awaits = waiting.state == Control::State::kAwaitElse ||
                        waiting.state == Control::State::kAwaitCatch ||
                        waiting.state == Control::State::kAwaitWhile;
    if (!awaits || matches) break;
    waiting.state = Control::State::kBody;
    Complete(0);
  }
  ResetStatement(frame);
  Statement& statement = frame.statement;
  statement.column = state_.line_column;
  mark.starts_statement = true;
  mark.place = Place::kStatement;
  mark.levels = static_cast<std::int8_t>(statement.levels);
  const bool after_block = state_.last.word == Word::kRBrace;
  if (frame.inline_body || token.word == Word::kSemicolon ||
      (state_.after_label && token.word == Word::kLBrace)) {
    mark.line = Break::kAsInput;
  } else {
    mark.line = state_.after_attribute;
  }
  state_.after_attribute = Break::kForce;
  Control* waiting = state_.controls.size() > frame.controls ? &state_.controls.back() : nullptr;
  // An attribute before a statement ("[[likely]]", "[[maybe_unused]] int x"):
  // the statement begins after it. A control's body's attribute stays on the
  // control's line, and its statement goes on the next; an attribute on a
  // line of its own keeps the statement after it where it stands.
  if (token.word == Word::kLBracket && stream_.Peek(1).word == Word::kLBracket) {
    const bool body = waiting != nullptr && waiting->state == Control::State::kBody;
    if (body) mark.line = Break::kAsInput;
    state_.after_attribute = body ? Break::kForce : Break::kAsInput;
    state_.attribute_frames = state_.frames.size();
    mark.starts_statement = !body;
    return;
  }
  if (token.word == Word::kLBrace && waiting != nullptr && waiting->state == Control::State::kBody) {
    // A control's braced body: the brace goes as the brace style says.
    mark.starts_statement = false;
    mark.place = Place::kBlockOpen;
    mark.line = options_.braces == lexer::BraceStyle::kAttach ? Break::kJoin : Break::kForce;
    return;
  }
  switch (token.word) {
    case Word::kElse:
    case Word::kCatch:
    case Word::kWhile:
      if (waiting != nullptr &&
          (waiting->state == Control::State::kAwaitElse || waiting->state == Control::State::kAwaitCatch ||
           waiting->state == Control::State::kAwaitWhile)) {
        mark.levels = static_cast<std::int8_t>(waiting->levels);
        if (after_block) {
          const bool join = token.word == Word::kWhile || options_.braces == lexer::BraceStyle::kAttach;
          mark.line = join ? Break::kJoin : Break::kForce;
        }
        if (token.word == Word::kElse) {
          waiting->word = Word::kElse;
          waiting->state = Control::State::kBody;
          reset_after_ = true;
        } else {
          waiting->word = token.word == Word::kWhile ? Word::kDo : Word::kCatch;
          waiting->state = token.word == Word::kWhile ? Control::State::kTail : Control::State::kHeader;
        }
        return;
      }
      if (token.word != Word::kWhile) break;
      [[fallthrough]];
    case Word::kIf:
    case Word::kFor:
    case Word::kSwitch:
      // "else if" on one line: the if is the else's body, at the else's level.
      if (token.word == Word::kIf && waiting != nullptr && waiting->word == Word::kElse &&
          waiting->state == Control::State::kBody && state_.last.word == Word::kElse &&
          !token.starts_line()) {
        waiting->word = Word::kIf;
        waiting->state = Control::State::kHeader;
        mark.levels = static_cast<std::int8_t>(waiting->levels);
        mark.line = Break::kAsInput;
        return;
      }
      state_.controls.push_back({token.word, statement.levels, Control::State::kHeader});
      break;
    case Word::kDo:
    case Word::kTry:
      state_.controls.push_back({token.word, statement.levels, Control::State::kBody});
      reset_after_ = true;
      break;
    case Word::kCase:
    case Word::kDefault:
      Label(mark, token.word);
      break;
    default:
      if (IsAccessWord(token) && frame.kind == FrameKind::kClass) {
        Label(mark, token.word);
      } else if (IsIdentifier(token) && stream_.Peek(1).word == Word::kColon &&
                 (frame.kind == FrameKind::kClass || !HoldsDeclarations(frame))) {
        Label(mark, token.word);
      }
      break;
  }
}

// Case labels, goto labels and access specifiers stand one level out; their
// colon ends them.
void Structure::Label(Mark& mark, Word word) {
  int depth = 0;
  int questions = 0;
  for (std::size_t k = 1; k < kReach; ++k) {
    Token& token = stream_.Peek(k);
    if (token.kind == Kind::kEnd || token.kind == Kind::kDirective) return;
    switch (token.word) {
      case Word::kLParen:
      case Word::kLBracket:
        ++depth;
        break;
      case Word::kRParen:
      case Word::kRBracket:
        --depth;
        break;
      case Word::kQuestion:
        ++questions;
        break;
      case Word::kSemicolon:
      case Word::kLBrace:
      case Word::kRBrace:
        return;
      case Word::kColon:
        if (depth == 0 && questions == 0) {
          token.hint |= kHintLabelColon;
          mark.levels = static_cast<std::int8_t>(mark.levels - 1);
          return;
        }
        if (depth == 0) --questions;
        break;
      default:
        break;
    }
    if (word != Word::kCase && k > 3) return;
  }
}

void Structure::Code(Token& token, Mark& mark) {
  ended_ = false;
  reset_after_ = false;
  header_closed_ = false;
  if (token.starts_line()) state_.line_column = token.column;
  {
    Frame& frame = Top();
    if (HoldsStatements(frame)) {
      if (frame.statement.count == 0) {
        state_.operand = false;
        StartStatement(token, mark);
      } else if (HoldsDeclarations(frame) ? ForcesDeclaration(token, state_.last, stream_.Peek(1))
                                          : ForcesStatement(token, state_.last.word)) {
        Complete(0);
        state_.operand = false;
        StartStatement(token, mark);
      }
    }
  }
  const bool operand_before = state_.operand;
  if (state_.operator_name) {
    OperatorName(token, mark);
    if (state_.operator_name) return Finish(token, mark, true);
  }
  switch (token.word) {
    case Word::kLBrace:
      OpenBrace(token, mark);
      break;
    case Word::kRBrace:
      CloseBrace(mark);
      break;
    case Word::kLParen:
    case Word::kLBracket:
      OpenParen(token, mark);
      break;
    case Word::kRParen:
      CloseParen(mark, FrameKind::kParen);
      break;
    case Word::kRBracket:
      CloseParen(mark, FrameKind::kBracket);
      break;
    case Word::kSemicolon:
      Semicolon(mark);
      break;
    case Word::kComma:
      mark.role = Role::kComma;
      if (Top().kind >= FrameKind::kParen) Top().typeish = true;
      break;
    case Word::kColon:
      Colon(token, mark);
      break;
    case Word::kLess:
      if (!MarkTemplate(mark)) mark.role = Role::kBinary;
      break;
    case Word::kGreater:
    case Word::kShiftRight:
      if ((token.hint & kHintTemplateLevels) != 0) {
        CloseTemplate(token, mark);
      } else {
        mark.role = Role::kBinary;
      }
      break;
    default:
      if (token.kind == Kind::kPunct) {
        Operator(token, mark, operand_before);
      } else if (token.kind == Kind::kOther) {
        mark.role = Role::kOther;
      } else if (IsLiteral(token)) {
        mark.role = Role::kLiteral;
      } else {
        mark.role = Role::kWord;
        if (token.word == Word::kOperator) state_.operator_name = true;
      }
      break;
  }
  Finish(token, mark, false);
}

void Structure::Finish(const Token& token, Mark& mark, bool operator_part) {
  mark.space = SpaceBefore(token, mark.role);
  Frame* level = &Top();
  if (mark.opens != Open::kNothing && state_.frames.size() > 1)
    level = &state_.frames[state_.frames.size() - 2];
  if (HoldsStatements(*level)) {
    if (!ended_) {
      Statement& statement = level->statement;
      if (statement.count == 0) statement.first = token.word;
      ++statement.count;
      if (!operator_part) NoteStatement(*level, token, mark);
    }
  } else if (level->kind >= FrameKind::kParen && token.word != Word::kComma) {
    if (!KeepsTypeish(token, mark.role)) level->typeish = false;
    if (IsTypeWord(token.word) || mark.role == Role::kPointer) level->strong_type = true;
  }
  // A declaration's own line, after its template header or where its class
  // key stands, is its statement's first for the lines that follow.
  if (HoldsStatements(*level) && !ended_) {
    const Statement& statement = level->statement;
    mark.anchors = state_.after_header ||
                   (IsClassKey(token.word) && !statement.assign && !statement.parens && statement.count > 1);
  }
  state_.after_header = header_closed_;
  state_.after_label = mark.role == Role::kLabelColon;
  state_.after_comment = false;
  state_.arrow_as_input = token.word == Word::kArrow && state_.last.word == Word::kRParen;
  state_.pack_after_pointer = mark.role == Role::kEllipsis && state_.last_role == Role::kPointer;
  state_.last = token;
  state_.last_role = mark.role;
  state_.operand = EndsOperand(token, mark.role);
  if (mark.role == Role::kLabelColon || reset_after_) ResetStatement(Top());
}

bool Structure::KeepsTypeish(const Token& token, Role role) {
  if (IsIdentifier(token) || IsDeclarationWord(token.word)) return true;
  switch (role) {
    case Role::kPointer:
    case Role::kScope:
    case Role::kTemplateOpen:
    case Role::kTemplateClose:
    case Role::kEllipsis:
    case Role::kOperatorName:
      return true;
    default:
      return token.word == Word::kOperator || token.word == Word::kTilde;
  }
}

void Structure::NoteStatement(Frame& frame, const Token& token, const Mark& mark) {
  Statement& statement = frame.statement;
  if (!KeepsTypeish(token, mark.role)) statement.typeish = false;
  if (IsClassKey(token.word) && statement.key == Word::kNone) statement.key = token.word;
  if (token.word == Word::kNamespace) statement.names_namespace = true;
  if (mark.role == Role::kAssign) statement.assign = true;
  if (token.word == Word::kLParen && mark.opens == Open::kParen && Top().paren != ParenKind::kSpecial) {
    statement.parens = true;
    if (statement.key != Word::kNone) statement.key_parens = true;
  }
  if (token.word == Word::kArrow && state_.last.word == Word::kRParen) statement.arrow = true;
  if (token.word == Word::kRParen) {
    statement.words_after_parens = true;
  } else if (token.kind != Kind::kWord) {
    statement.words_after_parens = false;
  }
}

bool Structure::EndsOperand(const Token& token, Role role) {
  switch (role) {
    case Role::kLiteral:
    case Role::kPostfix:
    case Role::kTemplateClose:
    case Role::kListClose:
    case Role::kClose:
      return true;
    case Role::kWord:
      return token.word == Word::kNone;
    default:
      return false;
  }
}

void Structure::Semicolon(Mark& mark) {
  mark.role = Role::kSemicolon;
  Frame& frame = Top();
  if (frame.kind == FrameKind::kParen && frame.paren == ParenKind::kFor) {
    mark.role = Role::kForSemicolon;
    frame.typeish = true;
    return;
  }
  // Brackets the input left open end with the statement.
  std::uint8_t closed = 0;
  while (Top().kind >= FrameKind::kEnum && state_.frames.size() > 1) {
    state_.frames.pop_back();
    ++closed;
  }
  mark.closes = closed;
  if (!HoldsStatements(Top())) return;
  if (Top().statement.count > 0) mark.line = Break::kJoin;
  Complete(1);
  ended_ = true;
}

void Structure::Colon(const Token& token, Mark& mark) {
  Frame& frame = Top();
  if ((token.hint & kHintLabelColon) != 0) {
    mark.role = Role::kLabelColon;
    return;
  }
  mark.role = Role::kBinary;
  if (frame.questions > 0) {
    --frame.questions;
    return;
  }
  if (HoldsStatements(frame) && state_.last.word == Word::kRParen) frame.statement.ctor = true;
}

void Structure::Operator(const Token& token, Mark& mark, bool operand_before) {
  switch (token.word) {
    case Word::kStar:
    case Word::kAmp:
    case Word::kAmpAmp:
      mark.role = StarOrAmp(token, operand_before);
      break;
    case Word::kMinus:
    case Word::kPlus:
      mark.role = operand_before && !CastLike(token) ? Role::kBinary : Role::kUnary;
      break;
    case Word::kNot:
    case Word::kTilde:
      mark.role = Role::kUnary;
      break;
    case Word::kIncrement:
    case Word::kDecrement:
      mark.role = operand_before ? Role::kPostfix : Role::kUnary;
      break;
    case Word::kDot:
    case Word::kArrow:
    case Word::kMemberPointer:
      mark.role = Role::kMember;
      break;
    case Word::kScope:
      mark.role = Role::kScope;
      break;
    case Word::kEllipsis:
      mark.role = Role::kEllipsis;
      break;
    case Word::kAssign:
    case Word::kAssignOp:
      mark.role = Role::kAssign;
      break;
    case Word::kQuestion:
      mark.role = Role::kBinary;
      ++Top().questions;
      break;
    case Word::kHash:
      mark.role = Role::kOther;
      break;
    default:
      mark.role = Role::kBinary;
      break;
  }
  // In a lambda's captures, "=" and "&" stand for themselves.
  if (Top().lambda_intro && (token.word == Word::kAssign || token.word == Word::kAmp))
    mark.role = Role::kUnary;
}

// After the ")" of what may be a cast, an operator with a blank before it
// and none after it is taken as unary: the author's "(T) *p" and "(a) * b"
// both stay, and the output says the same again.
bool Structure::CastLike(const Token& token) {
  if (state_.last.word != Word::kRParen || !closed_typeish_) return false;
  const Token& next = stream_.Peek(1);
  return token.blank_before() && !token.starts_line() && !next.blank_before() && BeginsOperand(next);
}

Role Structure::StarOrAmp(const Token& token, bool operand_before) {
  const Token& last = state_.last;
  const bool type_before = last.kind == Kind::kWord && IsTypeWord(last.word) && last.word != Word::kStatic &&
                           last.word != Word::kInline;
  if (!operand_before && !type_before) return Role::kUnary;
  if (type_before) return Role::kPointer;
  if (state_.last_role == Role::kClose) {
    return token.word != Word::kAmpAmp && CastLike(token) ? Role::kUnary : Role::kBinary;
  }
  if (!IsIdentifier(last) && state_.last_role != Role::kTemplateClose) return Role::kBinary;
  const Token* next = NextCode(1);
  if (next == nullptr) return Role::kBinary;
  const Frame& frame = Top();
  // No operand after it: a declarator without a name ("T *)", "T&;").
  switch (next->word) {
    case Word::kRParen:
    case Word::kRBracket:
    case Word::kComma:
    case Word::kSemicolon:
    case Word::kGreater:
    case Word::kShiftRight:
    case Word::kEllipsis:
      return Role::kPointer;
    default:
      break;
  }
  const bool declares = next->kind == Kind::kWord || next->word == Word::kStar || next->word == Word::kAmp ||
                        next->word == Word::kLParen;
  if (!declares) return Role::kBinary;
  // A blank (or a line end) on one side only: a declarator, as the file writes them.
  if (token.blank_before() != next->blank_before()) return Role::kPointer;
  if (frame.kind == FrameKind::kAngle) return Role::kPointer;
  if (HoldsStatements(frame)) {
    const Statement& statement = frame.statement;
    return statement.typeish && !statement.assign && token.word != Word::kAmpAmp ? Role::kPointer
                                                                                 : Role::kBinary;
  }
  if (frame.kind == FrameKind::kParen && frame.declarator && frame.typeish) return Role::kPointer;
  return Role::kBinary;
}

// The words after "operator" up to its parameters' "(" name it.
void Structure::OperatorName(Token& token, Mark& mark) {
  // "operator()" is named by its first "()"; any other "(" begins the
  // parameters, and ";" or "{" ends what the name could be.
  const bool call = state_.last.word == Word::kOperator && token.word == Word::kLParen &&
                    stream_.Peek(1).word == Word::kRParen;
  const bool ends =
      token.word == Word::kLParen || token.word == Word::kSemicolon || token.word == Word::kLBrace;
  if ((token.hint & kHintOperatorName) != 0 || call || !ends) {
    if (call) stream_.Peek(1).hint |= kHintOperatorName;
    mark.role = Role::kOperatorName;
    return;
  }
  state_.operator_name = false;
}

void Structure::OpenBrace(const Token& token, Mark& mark) {
  const FrameKind kind = (token.hint & kHintLambdaBody) != 0 ? FrameKind::kLambda : BraceKind();
  const Token& next = stream_.Peek(1);
  const bool empty = next.word == Word::kRBrace && !next.starts_line();
  const Break attached = options_.braces == lexer::BraceStyle::kAttach ? Break::kJoin : Break::kForce;
  Frame frame;
  frame.kind = kind;
  frame.controls = static_cast<std::uint32_t>(state_.controls.size());
  mark.role = Role::kBlockOpen;
  mark.opens = Open::kBlock;
  switch (kind) {
    case FrameKind::kNamespace: {
      // Its body stands in where the author's first line of it does.
      const Token* first = NextCode(1);
      mark.body_indented = first != nullptr && first->starts_line() && first->word != Word::kRBrace &&
                           first->column > Top().statement.column;
      [[fallthrough]];
    }
    case FrameKind::kExtern:
      if (kind == FrameKind::kExtern) mark.body_indented = false;
      [[fallthrough]];
    case FrameKind::kClass:
      mark.line = attached;
      mark.place = Place::kBlockOpen;
      break;
    case FrameKind::kEnum:
      mark.line = attached;
      mark.place = Place::kBlockOpen;
      mark.opens = Open::kList;
      break;
    case FrameKind::kFunction:
      mark.line = empty ? Break::kAsInput : Break::kForce;
      mark.place = Place::kBlockOpen;
      break;
    case FrameKind::kBlock:
    case FrameKind::kSwitch:
      if (!mark.starts_statement) {
        mark.line = attached;
        mark.place = Place::kBlockOpen;
      }
      break;
    case FrameKind::kLambda: {
      const Token* first = NextCode(1);
      frame.inline_body = first != nullptr && !first->starts_line();
      mark.opens = Open::kLambda;
      break;
    }
    default:
      mark.role = Role::kListOpen;
      mark.opens = Open::kList;
      break;
  }
  // An empty body "{}" stays whole where it stands.
  if (empty && mark.line == Break::kForce && !mark.starts_statement) mark.line = Break::kAsInput;
  state_.frames.push_back(frame);
  ResetStatement(state_.frames.back());
}

Structure::FrameKind Structure::BraceKind() {
  Frame& frame = Top();
  if (!HoldsStatements(frame)) return FrameKind::kList;
  const Statement& statement = frame.statement;
  const Token& last = state_.last;
  if (statement.count == 0) {
    if (state_.controls.size() > frame.controls) {
      const Control& control = state_.controls.back();
      if (control.state == Control::State::kBody) {
        state_.controls.back().state = Control::State::kBraced;
        return control.word == Word::kSwitch ? FrameKind::kSwitch : FrameKind::kBlock;
      }
    }
    if (frame.kind == FrameKind::kFile || frame.kind == FrameKind::kNamespace ||
        frame.kind == FrameKind::kExtern)
      return FrameKind::kFunction;
    return FrameKind::kBlock;
  }
  switch (last.word) {
    case Word::kAssign:
    case Word::kReturn:
    case Word::kCoReturn:
    case Word::kCoYield:
    case Word::kThrow:
    case Word::kComma:
    case Word::kAssignOp:
      return FrameKind::kList;
    default:
      break;
  }
  if (state_.last_role == Role::kBinary || state_.last_role == Role::kUnary) return FrameKind::kList;
  if (statement.names_namespace) return FrameKind::kNamespace;
  if (statement.first == Word::kExtern && last.kind == Kind::kString) return FrameKind::kExtern;
  if (statement.key != Word::kNone && !statement.key_parens && !statement.assign)
    return statement.key == Word::kEnum ? FrameKind::kEnum : FrameKind::kClass;
  if (HoldsDeclarations(frame)) {
    if (statement.ctor) {
      return last.word == Word::kRParen || last.word == Word::kRBrace || EndsFunctionHead(last.word)
                 ? FrameKind::kFunction
                 : FrameKind::kList;
    }
    // "int f() const {", "A() NOEXCEPT_MACRO {"; but "T x(1), y{2};".
    if (statement.parens && !statement.assign &&
        (EndsFunctionHead(last.word) || statement.arrow || statement.words_after_parens)) {
      return FrameKind::kFunction;
    }
    return FrameKind::kList;
  }
  // In a function: "FOREACH(x) {" and "__try {" are blocks, "T{...}" and
  // "x{1}" lists.
  if (last.word == Word::kRParen || (statement.count == 1 && IsIdentifier(last))) return FrameKind::kBlock;
  return FrameKind::kList;
}

void Structure::CloseBrace(Mark& mark) {
  std::uint8_t closed = 0;
  while (state_.frames.size() > 1 && Top().kind >= FrameKind::kParen) {
    state_.frames.pop_back();
    ++closed;
  }
  mark.closes = closed;
  if (state_.frames.size() == 1) {
    mark.role = Role::kOther;
    return;
  }
  const Frame frame = Top();
  const bool list = frame.kind == FrameKind::kList || frame.kind == FrameKind::kEnum;
  const bool empty = state_.last.word == Word::kLBrace;
  mark.role = list ? Role::kListClose : Role::kBlockClose;
  mark.place = Place::kClose;
  mark.closes = static_cast<std::uint8_t>(closed + 1);
  mark.line = list || empty || frame.inline_body ? Break::kAsInput : Break::kForce;
  state_.controls.resize(frame.controls);
  state_.frames.pop_back();
  switch (frame.kind) {
    case FrameKind::kFunction:
    case FrameKind::kNamespace:
    case FrameKind::kExtern:
    case FrameKind::kBlock:
    case FrameKind::kSwitch:
      if (HoldsStatements(Top())) {
        Complete(1);
        ended_ = true;
      }
      break;
    default:
      break;
  }
}

void Structure::OpenParen(const Token& token, Mark& mark) {
  Frame& outer = Top();
  Frame frame;
  frame.kind = token.word == Word::kLParen ? FrameKind::kParen : FrameKind::kBracket;
  frame.controls = static_cast<std::uint32_t>(state_.controls.size());
  mark.role = Role::kOpen;
  mark.opens = Open::kParen;
  const Token& last = state_.last;
  if (frame.kind == FrameKind::kBracket) {
    frame.lambda_intro = IsLambda();
    mark.lambda_intro = frame.lambda_intro;
  } else if (HoldsStatements(outer) && state_.controls.size() > outer.controls &&
             state_.controls.back().state != Control::State::kBody && outer.statement.count > 0 &&
             (state_.controls.back().state == Control::State::kHeader ||
              state_.controls.back().state == Control::State::kTail) &&
             !outer.statement.parens) {
    frame.paren = state_.controls.back().word == Word::kFor ? ParenKind::kFor : ParenKind::kControl;
    frame.declarator = frame.paren == ParenKind::kFor;
  } else if (IsFunctionLikeWord(last.word)) {
    frame.paren = ParenKind::kSpecial;
  } else if (IsIdentifier(last) || state_.last_role == Role::kTemplateClose ||
             state_.last_role == Role::kOperatorName || last.word == Word::kRBracket ||
             (last.word == Word::kRParen && !closed_typeish_)) {
    frame.paren = ParenKind::kCall;
    // Parameters: of a declaration's function, or of a lambda.
    frame.declarator = (HoldsDeclarations(outer) && outer.statement.typeish) || last.word == Word::kRBracket;
  }
  state_.frames.push_back(frame);
}

void Structure::CloseParen(Mark& mark, FrameKind kind) {
  mark.role = Role::kClose;
  closed_typeish_ = false;
  std::size_t at = state_.frames.size();
  while (at > 1 && state_.frames[at - 1].kind != kind && state_.frames[at - 1].kind >= FrameKind::kEnum) {
    --at;
  }
  if (at <= 1 || state_.frames[at - 1].kind != kind) return;  // nothing of its kind is open
  const Frame frame = state_.frames[at - 1];
  mark.closes = static_cast<std::uint8_t>(state_.frames.size() - at + 1);
  state_.frames.resize(at - 1);
  if (state_.frames.size() == state_.attribute_frames && kind == FrameKind::kBracket) {
    // The attribute before a statement ends: the statement begins.
    state_.attribute_frames = 0;
    ended_ = true;
    reset_after_ = true;
    return;
  }
  closed_typeish_ = frame.kind == FrameKind::kParen && frame.paren == ParenKind::kGroup && frame.typeish &&
                    state_.last.word != Word::kLParen;
  if (frame.paren == ParenKind::kControl || frame.paren == ParenKind::kFor) {
    Frame& outer = Top();
    if (state_.controls.size() > outer.controls) {
      Control& control = state_.controls.back();
      if (control.state == Control::State::kHeader) control.state = Control::State::kBody;
      ended_ = true;
      reset_after_ = true;
    }
    return;
  }
  if (closed_typeish_ && IsCast(frame)) mark.role = Role::kCastClose;
}

bool Structure::IsCast(const Frame& paren) {
  const Token& next = stream_.Peek(1);
  if (next.starts_line()) return false;
  if (paren.strong_type) return BeginsOperand(next);
  return IsIdentifier(next) || IsLiteral(next);
}

bool Structure::IsLambda() {
  const Token& last = state_.last;
  if (stream_.Peek(1).word == Word::kLBracket) return false;  // [[attribute]]
  if (state_.operand || last.word == Word::kDelete || last.word == Word::kNew || last.word == Word::kOperator)
    return false;
  // The "]" that closes the introducer, and what follows it.
  int depth = 1;
  std::size_t k = 1;
  for (; k < kReach && depth > 0; ++k) {
    const Token& token = stream_.Peek(k);
    if (token.kind == Kind::kEnd || token.kind == Kind::kDirective || token.word == Word::kSemicolon ||
        token.word == Word::kLBrace || token.word == Word::kRBrace)
      return false;
    if (token.word == Word::kLBracket) ++depth;
    if (token.word == Word::kRBracket) --depth;
  }
  if (depth != 0) return false;
  const Token& after = stream_.Peek(k);
  if (after.word != Word::kLParen && after.word != Word::kLBrace && after.word != Word::kLess &&
      after.word != Word::kMutable && after.word != Word::kConstexpr && after.word != Word::kArrow &&
      after.word != Word::kNoexcept)
    return false;
  // The body's "{": past parameters, specifiers and a trailing return type.
  depth = 0;
  for (; k < kReach; ++k) {
    Token& token = stream_.Peek(k);
    if (token.kind == Kind::kEnd || token.kind == Kind::kDirective) return true;
    switch (token.word) {
      case Word::kLParen:
      case Word::kLBracket:
        ++depth;
        break;
      case Word::kRParen:
      case Word::kRBracket:
        if (--depth < 0) return true;
        break;
      case Word::kLBrace:
        if (depth == 0) {
          token.hint |= kHintLambdaBody;
          return true;
        }
        break;
      case Word::kSemicolon:
      case Word::kRBrace:
      case Word::kComma:
      case Word::kAssign:
        if (depth == 0) return true;
        break;
      default:
        break;
    }
  }
  return true;
}

// A "<" after a name opens template arguments when a ">" closes it before
// anything that template arguments cannot hold; the closer is marked.
bool Structure::MarkTemplate(Mark& mark) {
  const Token& last = state_.last;
  const bool after_template = last.word == Word::kTemplate;
  if (!after_template && !IsIdentifier(last)) return false;
  int depth = 1;
  int parens = 0;
  bool after_name = false;
  bool expression = false;  // an operator of expressions stands among the arguments
  for (std::size_t k = 1; k < kReach; ++k) {
    Token& token = stream_.Peek(k);
    if (token.kind == Kind::kEnd || token.kind == Kind::kDirective) return false;
    if (token.kind == Kind::kComment) continue;
    switch (token.word) {
      case Word::kLess:
        if (after_name && parens == 0) ++depth;
        break;
      case Word::kGreater:
      case Word::kShiftRight:
        if (parens > 0) break;
        if (token.word == Word::kShiftRight && depth == 1 && (token.hint & kHintTemplateLevels) < 2)
          return false;
        depth -= token.word == Word::kShiftRight && depth >= 2 ? 2 : 1;
        if (depth <= 0) {
          // "a < b && c > d" is no template: after such arguments, only what
          // cannot follow a comparison.
          if (!after_template && !FollowsTemplate(stream_.Peek(k + 1), expression)) return false;
          const std::uint8_t levels = token.word == Word::kShiftRight && depth == 0 && k > 1 ? 2 : 1;
          const std::uint8_t kept = token.hint & kHintTemplateLevels;
          token.hint = static_cast<std::uint8_t>((token.hint & ~kHintTemplateLevels) |
                                                 (kept > levels ? kept : levels));
          mark.role = Role::kTemplateOpen;
          mark.opens = Open::kParen;
          Frame frame;
          frame.kind = FrameKind::kAngle;
          frame.template_header = after_template && HoldsStatements(Top());
          frame.controls = static_cast<std::uint32_t>(state_.controls.size());
          state_.frames.push_back(frame);
          return true;
        }
        break;
      case Word::kLParen:
      case Word::kLBracket:
        ++parens;
        break;
      case Word::kRParen:
      case Word::kRBracket:
        if (--parens < 0) return false;
        break;
      case Word::kSemicolon:
      case Word::kLBrace:
      case Word::kRBrace:
        return false;
      case Word::kAmpAmp:
      case Word::kQuestion:
      case Word::kAssign:
        if (parens == 0 && !(token.word == Word::kAmpAmp && (stream_.Peek(k + 1).word == Word::kGreater ||
                                                             stream_.Peek(k + 1).word == Word::kComma))) {
          if (token.word == Word::kAssign && !after_template) return false;
          expression = true;
        }
        break;
      case Word::kBinaryOp:
        if (parens == 0 && token.TextIn(stream_.text()) == "||") expression = true;
        break;
      default:
        break;
    }
    after_name = token.kind == Kind::kWord;
  }
  return false;
}

// What may follow template arguments.
bool Structure::FollowsTemplate(const Token& token, bool strictly) const {
  if (token.kind == Kind::kWord) return !strictly;
  switch (token.word) {
    case Word::kScope:
    case Word::kLParen:
    case Word::kLBrace:
    case Word::kGreater:
    case Word::kShiftRight:
    case Word::kSemicolon:
      return true;
    default:
      if (strictly) return false;
      break;
  }
  switch (token.word) {
    case Word::kLParen:
    case Word::kRParen:
    case Word::kScope:
    case Word::kLBrace:
    case Word::kRBrace:
    case Word::kSemicolon:
    case Word::kComma:
    case Word::kGreater:
    case Word::kShiftRight:
    case Word::kStar:
    case Word::kAmp:
    case Word::kAmpAmp:
    case Word::kLBracket:
    case Word::kRBracket:
    case Word::kEllipsis:
    case Word::kAssign:
    case Word::kDot:
    case Word::kArrow:
    case Word::kColon:
      return true;
    default:
      return token.kind == Kind::kComment || token.TextIn(stream_.text()) == "||";  // "requires A<T> || B<T>"
  }
}

void Structure::CloseTemplate(const Token& token, Mark& mark) {
  std::uint8_t levels = token.hint & kHintTemplateLevels;
  std::uint8_t closed = 0;
  while (levels > 0 && state_.frames.size() > 1 && Top().kind == FrameKind::kAngle) {
    header_closed_ = Top().template_header;
    state_.frames.pop_back();
    ++closed;
    --levels;
  }
  mark.closes = closed;
  mark.role = closed > 0 ? Role::kTemplateClose : Role::kBinary;
}

}  // namespace qfmt::modern

namespace qfmt::modern {
namespace {

// A word before "(" that is written as a statement's: "if (", "return (".
bool SpacedBeforeParen(Word word) {
  return IsStatementWord(word) || (word >= Word::kNamespace && word <= Word::kConstexpr);
}

}  // namespace

// Spacing as C and C++ are written today: see the README's modern style.
Space Structure::SpaceBefore(const Token& token, Role role) {
  // After a comment on its line, the blanks stand as the author wrote them.
  if (state_.after_comment) return Space::kAsInput;
  const Token& last = state_.last;
  const Role before = state_.last_role;
  const bool left = options_.pointers_left;
  if (last.kind == Kind::kEnd) return Space::kNone;
  // Tight by what the token is.
  switch (role) {
    case Role::kComma:
    case Role::kSemicolon:
    case Role::kForSemicolon:
    case Role::kPostfix:
    case Role::kLabelColon:
    case Role::kTemplateClose:
    case Role::kClose:
    case Role::kCastClose:
      return Space::kNone;
    case Role::kMember:
      if (token.word == Word::kArrow && last.word == Word::kRParen) return Space::kAsInput;
      if (before == Role::kWord || before == Role::kLiteral || before == Role::kClose ||
          before == Role::kTemplateClose || before == Role::kPostfix || before == Role::kListClose ||
          before == Role::kBlockClose || before == Role::kOperatorName)
        return Space::kNone;
      break;
    case Role::kScope:
      if ((before == Role::kWord && last.word == Word::kNone) || before == Role::kTemplateClose)
        return Space::kNone;
      break;
    case Role::kTemplateOpen:
      return last.word == Word::kTemplate ? Space::kOne : Space::kNone;
    case Role::kOperatorName:
      return before == Role::kOperatorName && token.kind == Kind::kWord && last.kind == Kind::kWord
                 ? Space::kOne
             : last.word == Word::kOperator && token.kind == Kind::kWord ? Space::kOne
                                                                         : Space::kNone;
    default:
      break;
  }
  // Tight by what stands before it.
  switch (before) {
    case Role::kOpen:
    case Role::kTemplateOpen:
    case Role::kUnary:
    case Role::kScope:
    case Role::kCastClose:
      return Space::kNone;
    case Role::kMember:
      return last.word == Word::kArrow && state_.arrow_as_input ? Space::kAsInput : Space::kNone;
    case Role::kComma:
      return role == Role::kListClose ? Space::kAsInput : Space::kOne;
    case Role::kForSemicolon:
    case Role::kLabelColon:
      return Space::kOne;
    case Role::kOperatorName:
      return role == Role::kOpen ? Space::kNone : Space::kOne;
    default:
      break;
  }
  if (token.word == Word::kLParen) {
    // "R (*)(A)", "T (&name)": a declarator's parenthesis, spaced as written.
    const Token& inside = stream_.Peek(1);
    const bool declarator = (inside.word == Word::kStar || inside.word == Word::kAmp) &&
                            (stream_.Peek(2).word == Word::kRParen ||
                             (IsIdentifier(stream_.Peek(2)) && stream_.Peek(3).word == Word::kRParen));
    if (before == Role::kWord && declarator && (last.word == Word::kNone || IsTypeWord(last.word)))
      return Space::kAsInput;
    if (before == Role::kWord) {
      if (last.word == Word::kNone || IsFunctionLikeWord(last.word)) return Space::kNone;
      if (IsTypeWord(last.word)) return Space::kAsInput;
      if (SpacedBeforeParen(last.word)) return Space::kOne;
      return Space::kNone;
    }
    if (before == Role::kTemplateClose || before == Role::kClose || before == Role::kListClose)
      return Space::kNone;
  }
  if (token.word == Word::kLBracket) {
    if (stream_.Peek(1).word == Word::kLBracket && !Top().lambda_intro)
      return before == Role::kWord || before == Role::kClose ? Space::kOne : Space::kAsInput;
    if ((before == Role::kWord && (last.word == Word::kNone || IsTypeWord(last.word) ||
                                   last.word == Word::kDelete || last.word == Word::kNew)) ||
        before == Role::kClose || before == Role::kTemplateClose || before == Role::kLiteral)
      return Space::kNone;
  }
  if (role == Role::kListOpen) {
    if ((before == Role::kWord && last.word == Word::kNone) || before == Role::kTemplateClose ||
        before == Role::kClose || before == Role::kListOpen)
      return before == Role::kListOpen ? Space::kAsInput : Space::kNone;
  }
  if (before == Role::kListOpen || role == Role::kListClose) return Space::kAsInput;
  if (role == Role::kBlockClose && before == Role::kBlockOpen) return Space::kAsInput;
  if (role == Role::kBlockOpen || role == Role::kBlockClose || before == Role::kBlockOpen) return Space::kOne;
  // A pack: "typename... Ts", "Ts&&... args" ("Ts &&...args" on the name's side).
  if (role == Role::kEllipsis) {
    return before == Role::kWord || before == Role::kTemplateClose || before == Role::kClose ||
                   before == Role::kPointer
               ? Space::kNone
               : Space::kOne;
  }
  if (before == Role::kEllipsis) {
    if (token.kind != Kind::kWord) return Space::kNone;
    return state_.pack_after_pointer && !left ? Space::kNone : Space::kOne;
  }
  if (role == Role::kPointer) return left || before == Role::kPointer ? Space::kNone : Space::kOne;
  if (before == Role::kPointer) {
    if (role == Role::kPointer) return Space::kNone;
    return left ? Space::kOne : Space::kNone;
  }
  if (role == Role::kBinary || role == Role::kAssign || before == Role::kBinary || before == Role::kAssign)
    return Space::kOne;
  if (role == Role::kOther || before == Role::kOther) return Space::kAsInput;
  return Space::kOne;
}

}  // namespace qfmt::modern
