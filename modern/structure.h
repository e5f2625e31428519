#pragma once

#include <cstdint>
#include <vector>

#include "lexer/brace_style.h"
#include "modern/token_stream.h"

// The modern style's structural pass: it reads the tokens in order, keeps
// the nesting of braces, parentheses, brackets, template arguments,
// statements and unbraced bodies, and marks what each token is and what the
// layout may do around it. It decides nothing about columns: that is the
// lines' work (lines.h), which takes the marks one token at a time.
namespace qfmt::modern {

// The blanks before a token that does not begin a line.
enum class Space : std::uint8_t {
  kNone,
  kOne,
  kAsInput,  // one where the input had any (a comment: the input's blanks, at least one)
};

// Whether a token begins a line.
enum class Break : std::uint8_t {
  kAsInput,
  kForce,  // a new line: a statement begins, a block's brace on its own line
  kJoin,   // on the line before where nothing forbids it: a brace attached, "} else", a ";"
};

// Where a token that begins a line goes.
enum class Place : std::uint8_t {
  kContinuation,  // where it stood, moved as its statement's first line moved
  kStatement,     // the block's body indentation and `levels` units more
  kBlockOpen,     // a block's "{" on its own line: its statement's indentation
  kClose,         // a "}": the indentation of what it closes
  kFlushLeft,     // a directive: column 0
};

// What a token opens.
enum class Open : std::uint8_t {
  kNothing,
  kBlock,   // statements, indented from their statement's first line
  kLambda,  // statements, indented from the line that holds the "{"
  kList,    // an initializer list or an enumeration's body
  kParen,   // "(", "[" or a template's "<"
};

// What a preprocessing conditional does to the nesting: see note [branches].
enum class Branch : std::uint8_t {
  kNone,
  kSave,      // #if: the nesting is saved
  kSaveDead,  // #if 0: saved, and the branch (written as it stands) is no first branch
  kRestore,   // #elif, #else: the first live branch's result is kept, the saved nesting restored
  kEnd,       // #endif: the first live branch's result, if any, restored
};

// Written as the input has it.
enum class Verbatim : std::uint8_t {
  kNo,
  kExact,    // between "qfmt off" and "qfmt on": byte for byte
  kTrimmed,  // inside "#if 0": without blanks at the ends of lines
};

// What a token is, as far as the layout and the line breaker care.
enum class Role : std::uint8_t {
  kWord,
  kLiteral,
  kUnary,
  kBinary,   // between single blanks; a line may break before it
  kAssign,   // between single blanks; a line may break after it
  kPointer,  // the "*" or "&" of a declarator
  kPostfix,
  kMember,  // . -> .* ->*
  kScope,   // ::
  kComma,
  kSemicolon,
  kForSemicolon,
  kLabelColon,  // of a label, case or access specifier
  kTemplateOpen,
  kTemplateClose,
  kOpen,       // ( [
  kClose,      // ) ]
  kCastClose,  // the ")" of a cast
  kBlockOpen,
  kBlockClose,
  kListOpen,
  kListClose,
  kOperatorName,  // the symbol after "operator"
  kEllipsis,
  kComment,
  kDirective,
  kOther,
};

struct Mark {
  Space space = Space::kOne;
  Break line = Break::kAsInput;
  Place place = Place::kContinuation;
  Role role = Role::kWord;
  Open opens = Open::kNothing;
  Branch branch = Branch::kNone;
  Verbatim verbatim = Verbatim::kNo;
  std::uint8_t closes = 0;    // open things that it closes (more than one where the input left some open)
  std::int8_t levels = 0;     // for kStatement: units beyond the body's indentation (-1 for a label)
  bool body_indented = true;  // for kBlock: the body stands one unit in
  bool starts_statement = false;
  bool anchors = false;  // its line counts as its statement's first (a declaration after its template header)
  bool comment_line = false;  // a comment on a line of comments only
  bool ends_line = false;     // a comment that nothing follows on its line
  bool lambda_intro = false;  // the "[" that begins a lambda
};

// Takes the marked tokens in order; the lines implement it, tests record.
class MarkSink {
 public:
  virtual ~MarkSink() = default;
  virtual void Take(const Token& token, const Mark& mark) = 0;
};

struct StructureOptions {
  lexer::BraceStyle braces = lexer::BraceStyle::kAttach;
  bool pointers_left = false;  // "int* p"
};

class Structure {
 public:
  Structure(TokenStream& stream, const StructureOptions& options, MarkSink& sink)
      : stream_(stream), options_(options), sink_(sink) {}

  // Marks every token of the stream, the final kEnd included.
  void Run();

 private:
  enum class FrameKind : std::uint8_t {
    kFile,
    kNamespace,
    kExtern,
    kClass,
    kFunction,
    kBlock,
    kSwitch,
    kLambda,
    kEnum,
    kList,
    kParen,
    kBracket,
    kAngle,
  };
  enum class ParenKind : std::uint8_t { kGroup, kCall, kControl, kFor, kSpecial };

  // The statement being read in a frame that holds statements.
  struct Statement {
    std::uint32_t count = 0;  // its tokens so far at the frame's own level; 0: one begins
    Word first = Word::kNone;
    Word key = Word::kNone;   // class, struct, union or enum at its own level
    bool assign = false;      // an "=" at its own level
    bool parens = false;      // a parenthesis at its own level, not an attribute's
    bool key_parens = false;  // one after the key
    bool ctor = false;        // a ":" after ")": constructor initializers follow
    bool arrow = false;       // a "->" after ")": a trailing return type
    bool names_namespace = false;
    bool words_after_parens = false;  // only words since its last ")": "f() const override", "f() NOEXCEPT"
    bool typeish = true;              // so far only what a type is made of
    std::uint8_t levels = 0;          // unbraced bodies around it
    std::int32_t column = 0;          // where the line of its first token began in the input
  };

  struct Frame {
    FrameKind kind = FrameKind::kFile;
    ParenKind paren = ParenKind::kGroup;
    bool inline_body = false;      // a lambda's body that goes on on the line of its "{"
    bool typeish = true;           // a parenthesis: only what a type is made of so far (a cast, a parameter)
    bool strong_type = false;      // ... and a type's word or a "*" among it
    bool declarator = false;       // a parenthesis of parameters at a declaration's level
    bool lambda_intro = false;     // the brackets of a lambda's captures
    bool template_header = false;  // the "<" after "template"
    std::uint8_t questions = 0;    // conditionals waiting for their ":"
    std::uint32_t controls = 0;    // controls_.size() when it opened
    Statement statement;
  };

  // if, else, for, while, do, switch, try or catch whose statement goes on.
  struct Control {
    enum class State : std::uint8_t { kHeader, kBody, kBraced, kAwaitElse, kAwaitWhile, kTail, kAwaitCatch };
    Word word = Word::kNone;
    std::uint8_t levels = 0;
    State state = State::kHeader;
  };

  // The nesting as a whole, saved and restored across conditional branches.
  struct State {
    std::vector<Frame> frames;
    std::vector<Control> controls;
    Token last;  // the last token that is no comment or directive
    Role last_role = Role::kWord;
    bool operand = false;             // the last token ends an operand: a name, a literal, a ")"
    bool arrow_as_input = false;      // the last token is a "->" after ")": spaced as the input has it
    bool after_header = false;        // the last token closes a template header
    std::int32_t line_column = 0;     // where the line of the last token began in the input
    bool after_comment = false;       // a comment stands between the last token and the next
    bool pack_after_pointer = false;  // the last token is the "..." of "T&&..."
    // An attribute before a statement: the frames open outside it, and
    // whether the statement after it begins a line.
    std::size_t attribute_frames = 0;
    Break after_attribute = Break::kForce;
    bool after_label = false;    // the last token is a label's colon
    bool operator_name = false;  // the tokens after "operator", up to its "("
  };

  struct BranchSave {
    State at_if;
    State first;  // the first live branch's result
    bool has_first = false;
    bool dead = false;  // the branch being read is under "#if 0"
  };

  void Code(Token& token, Mark& mark);
  void Comment(const Token& token, Mark& mark);
  void Directive(const Token& token, Mark& mark);
  void SkipDeadBranch();
  void Emit(const Token& token, const Mark& mark);
  // What a token leaves behind: its statement's record, the spacing before
  // it, and what the next token sees of it.
  void Finish(const Token& token, Mark& mark, bool operator_part);

  // Statements.
  [[nodiscard]] Frame& Top() { return state_.frames.back(); }
  [[nodiscard]] static bool HoldsStatements(const Frame& frame);
  [[nodiscard]] static bool HoldsDeclarations(const Frame& frame);
  void StartStatement(const Token& token, Mark& mark);
  void Label(Mark& mark, Word word);
  // The statement in the top frame ended; `next` is where the token after it
  // stands (0: the one being read).
  void Complete(std::size_t next);
  void ResetStatement(Frame& frame);
  void NoteStatement(Frame& frame, const Token& token, const Mark& mark);
  [[nodiscard]] static bool KeepsTypeish(const Token& token, Role role);
  [[nodiscard]] const Token* NextCode(std::size_t from);
  [[nodiscard]] bool NextCodeIs(Word word, std::size_t from);
  void Semicolon(Mark& mark);
  void Colon(const Token& token, Mark& mark);

  // Brackets.
  void OpenBrace(const Token& token, Mark& mark);
  [[nodiscard]] FrameKind BraceKind();
  void CloseBrace(Mark& mark);
  void OpenParen(const Token& token, Mark& mark);
  void CloseParen(Mark& mark, FrameKind kind);
  [[nodiscard]] bool IsCast(const Frame& paren);
  [[nodiscard]] bool IsLambda();
  [[nodiscard]] bool MarkTemplate(Mark& mark);
  [[nodiscard]] bool FollowsTemplate(const Token& token, bool strictly) const;
  void CloseTemplate(const Token& token, Mark& mark);

  // Operators.
  void Operator(const Token& token, Mark& mark, bool operand_before);
  void OperatorName(Token& token, Mark& mark);
  [[nodiscard]] Role StarOrAmp(const Token& token, bool operand_before);
  [[nodiscard]] bool CastLike(const Token& token);
  [[nodiscard]] static bool EndsOperand(const Token& token, Role role);

  // Spacing.
  [[nodiscard]] Space SpaceBefore(const Token& token, Role role);

  TokenStream& stream_;
  StructureOptions options_;
  MarkSink& sink_;
  State state_;
  std::vector<BranchSave> branches_;
  std::size_t branch_depth_ = 0;  // entries of branches_ in use
  bool off_ = false;              // after "qfmt off", before "qfmt on"
  bool verbatim_line_ = false;    // the line being read is kept as it stands
  // Of the token being read.
  bool ended_ = false;          // it ended its statement (a ";", a block's "}")
  bool reset_after_ = false;    // a statement begins after it (else, do, try, a control's ")")
  bool header_closed_ = false;  // it closes a template header
  // Of the last ")".
  bool closed_typeish_ = false;  // it closed what a type is made of (a cast, perhaps)
};

}  // namespace qfmt::modern
