#include "testing/source_generator.h"

#include <array>
#include <string>

#include "testing/cpp_generator.h"
#include "testing/random.h"

namespace qfmt::testing {
namespace {

constexpr std::array<std::string_view, 16> kNouns = {"count",  "index",  "buffer", "length", "node", "value",
                                                     "offset", "result", "total",  "state",  "item", "limit",
                                                     "width",  "cursor", "entry",  "handle"};
constexpr std::array<std::string_view, 8> kTypes = {"int",          "long",   "unsigned int",  "double",
                                                    "const char *", "size_t", "struct node *", "char"};
constexpr std::array<std::string_view, 10> kOperators = {" + ",  " - ",  " * ", " / ", " % ",
                                                         " << ", " >> ", " & ", " | ", " ^ "};
constexpr std::array<std::string_view, 6> kComparisons = {" < ", " <= ", " > ", " >= ", " == ", " != "};
constexpr std::array<std::string_view, 8> kConstants = {"0",     "1",   "42",    "0x1F",
                                                        "1.5e3", "'a'", "'\\n'", "-7"};
constexpr std::array<std::string_view, 6> kComments = {"check the bounds first",
                                                       "TODO: handle the empty case",
                                                       "see the caller",
                                                       "fast path",
                                                       "keep this in sync with the header",
                                                       "never negative here"};
constexpr std::array<std::string_view, 5> kStrings = {"\"%d items\\n\"", "\"error: %s\"", "\"\"",
                                                      "\"a \\\"quoted\\\" word\"", "\"tab\\there\""};

class Generator {
 public:
  Generator(std::uint64_t seed, const std::function<void(std::string_view)>& write)
      : random_(seed), write_(write) {}

  void Run(std::uint64_t size) {
    Line("/* Generated test input: realistic, deterministic, meaningless. */");
    Line("#include <stdio.h>");
    Line("#include \"local/header.h\"");
    while (written_ < size) {
      switch (random_.Below(8)) {
        case 0:
          Macro();
          break;
        case 1:
          Enumeration();
          break;
        case 2:
          Class();
          break;
        default:
          Function();
      }
      Flush();
    }
    Flush();
  }

 private:
  void Line(std::string_view text) {
    for (int i = 0; i < depth_; ++i) out_ += "    ";
    out_ += text;
    out_ += '\n';
  }
  void Flush() {
    written_ += out_.size();
    write_(out_);
    out_.clear();
  }

  std::string Name() {
    return std::string(random_.Pick(kNouns)) +
           (random_.Chance(50) ? "_" + std::to_string(random_.Below(100)) : "");
  }
  std::string Operand() { return random_.Chance(60) ? Name() : std::string(random_.Pick(kConstants)); }
  std::string Expression(int terms) {
    std::string e = Operand();
    for (int i = 1; i < terms; ++i) e += std::string(random_.Pick(kOperators)) + Operand();
    return e;
  }
  std::string Condition() {
    std::string c = Name() + std::string(random_.Pick(kComparisons)) + Operand();
    if (random_.Chance(30)) c += " && !" + Name();
    return c;
  }
  std::string Call(int arguments) {
    std::string c = "process_" + std::string(random_.Pick(kNouns)) + "(";
    for (int i = 0; i < arguments; ++i) c += (i > 0 ? ", " : "") + Expression(1 + random_.Below(2));
    return c + ")";
  }

  void Macro() {
    Line("#define MAX_" + std::to_string(random_.Below(1000)) + "(a, b) \\");
    Line("        ((a) > (b) ? \\");
    Line("         (a) : (b))");
    if (random_.Chance(50))
      Line("#ifdef HAVE_FEATURE_" + std::to_string(random_.Below(50)));
    else
      Line("#if defined(TARGET) && TARGET > 2");
    Line("#endif");
  }

  void Enumeration() {
    if (random_.Chance(50)) {
      Line("enum {");
      Line("    KIND_NONE,");
      Line("    KIND_" + std::to_string(random_.Below(100)) + " = 4,");
      Line("    KIND_LAST");
      Line("};");
    } else {
      Line("typedef enum colour_" + std::to_string(random_.Below(100)) +
           " { RED, GREEN = 2, BLUE } colour_t;");
    }
  }

  void Class() {
    Line("class Widget" + std::to_string(random_.Below(1000)) + " : public Base {");
    Line("public:");
    ++depth_;
    Line("Widget(int size) : size_(size) {}");
    Line("virtual ~Widget();");
    Line("int size() const { return size_; }");
    --depth_;
    Line("private:");
    ++depth_;
    Line("int size_;  // in bytes");
    Line("static const char *names_[4];");
    --depth_;
    Line("};");
  }

  void Function() {
    Line("");
    if (random_.Chance(40)) Line("/* " + std::string(random_.Pick(kComments)) + " */");
    Line("static " + std::string(random_.Pick(kTypes)) + " compute_" + Name() + "(int " + Name() +
         ", const char *" + Name() + ")");
    Line("{");
    ++depth_;
    Line(std::string(random_.Pick(kTypes)) + " " + Name() + " = " + Expression(2) + ";");
    for (int n = 2 + random_.Below(6); n > 0; --n) Statement(0);
    Line("return " + Expression(2) + ";");
    --depth_;
    Line("}");
  }

  void Block(int nesting) {
    ++depth_;
    for (int n = 1 + random_.Below(3); n > 0; --n) Statement(nesting + 1);
    --depth_;
  }

  void Statement(int nesting) {
    const int kind = nesting >= 3 ? 0 : random_.Below(10);
    switch (kind) {
      case 1:
        Line("if (" + Condition() + ") {");
        Block(nesting);
        if (random_.Chance(40)) {
          Line("} else {");
          Block(nesting);
        }
        Line("}");
        return;
      case 2:
        Line("for (i = 0; i < " + Name() + "; i++) {");
        Block(nesting);
        Line("}");
        return;
      case 3:
        Line("while (" + Condition() + ")");
        ++depth_;
        Line(Name() + "++;");
        --depth_;
        return;
      case 4:
        Switch(nesting);
        return;
      case 5:
        Line("do {");
        Block(nesting);
        Line("} while (" + Condition() + ");");
        return;
      case 6:
        // A long statement that the length test has to break.
        Line(Name() + " = " + Call(4 + random_.Below(4)) + ";");
        return;
      case 7:
        Line("printf(" + std::string(random_.Pick(kStrings)) + ", " + Name() + ");  // " +
             std::string(random_.Pick(kComments)));
        return;
      default:
        Line(Name() + (random_.Chance(50) ? " += " : " = ") + Expression(1 + random_.Below(4)) + ";");
    }
  }

  void Switch(int nesting) {
    Line("switch (" + Name() + ") {");
    for (int n = 1 + random_.Below(4); n > 0; --n) {
      Line("case " + std::to_string(random_.Below(64)) + ":");
      Block(nesting);
      ++depth_;
      Line("break;");
      --depth_;
    }
    Line("default:");
    ++depth_;
    Line(Call(2) + ";");
    --depth_;
    Line("}");
  }

  Random random_;
  const std::function<void(std::string_view)>& write_;
  std::string out_;
  std::uint64_t written_ = 0;
  int depth_ = 0;
};

}  // namespace

void GenerateSource(std::uint64_t size, std::uint64_t seed,
                    const std::function<void(std::string_view)>& write) {
  Generator(seed, write).Run(size);
}

std::string GeneratedText(std::uint64_t size, std::uint64_t seed, bool cpp20) {
  std::string text;
  const auto append = [&text](std::string_view part) { text += part; };
  if (cpp20) {
    GenerateCppSource(size, seed, append);
  } else {
    GenerateSource(size, seed, append);
  }
  return text;
}

}  // namespace qfmt::testing
