#include "scanner/generator/rule_file.h"

#include <cctype>
#include <map>
#include <optional>

#include "scanner/condition.h"

namespace qfmt::scanner::rulegen {
namespace {

Pattern ByteSet(std::bitset<256> bytes) {
  Pattern p;
  p.kind = Pattern::Kind::kByteSet;
  p.bytes = bytes;
  return p;
}

Pattern SingleByte(unsigned char c) {
  std::bitset<256> bytes;
  bytes.set(c);
  return ByteSet(bytes);
}

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

// Recursive-descent parser of one pattern:
//   alternation := sequence ('|' sequence)*
//   sequence    := postfixed*
//   postfixed   := atom ('*' | '+' | '?' | '{m,n}')*
//   atom        := "literal" | [set] | {name} | '(' alternation ')'
class PatternParser {
 public:
  PatternParser(std::string_view text, const std::map<std::string, Pattern>& names)
      : text_(text), names_(names) {}

  std::optional<Pattern> ParseWhole() {
    Pattern p = ParseAlternation();
    SkipSeparators();
    if (error_.empty() && pos_ != text_.size()) Fail("unexpected character");
    if (!error_.empty()) return std::nullopt;
    return p;
  }

  const std::string& error() const { return error_; }

 private:
  void Fail(std::string_view what) {
    if (error_.empty()) {
      error_ = std::string(what) + " at column " + std::to_string(pos_ + 1) + " of the pattern";
    }
  }

  void SkipSeparators() {
    while (pos_ < text_.size() && IsSeparator(text_[pos_])) ++pos_;
  }

  bool AtEnd() {
    SkipSeparators();
    return pos_ >= text_.size();
  }

  Pattern ParseAlternation() {
    Pattern first = ParseSequence();
    if (AtEnd() || text_[pos_] != '|') return first;
    Pattern alt;
    alt.kind = Pattern::Kind::kAlternation;
    alt.children.push_back(std::move(first));
    while (!AtEnd() && text_[pos_] == '|' && error_.empty()) {
      ++pos_;
      alt.children.push_back(ParseSequence());
    }
    return alt;
  }

  Pattern ParseSequence() {
    Pattern seq;
    seq.kind = Pattern::Kind::kConcat;
    while (!AtEnd() && text_[pos_] != '|' && text_[pos_] != ')' && error_.empty()) {
      seq.children.push_back(ParsePostfixed());
    }
    if (seq.children.empty()) Fail("empty alternative");
    if (seq.children.size() == 1) return std::move(seq.children.front());
    return seq;
  }

  Pattern ParsePostfixed() {
    Pattern atom = ParseAtom();
    while (pos_ < text_.size() && error_.empty()) {
      const char c = text_[pos_];
      int min = 0;
      int max = -1;
      if (c == '*') {
        ++pos_;
      } else if (c == '+') {
        min = 1;
        ++pos_;
      } else if (c == '?') {
        max = 1;
        ++pos_;
      } else if (c == '{' && pos_ + 1 < text_.size() &&
                 std::isdigit(static_cast<unsigned char>(text_[pos_ + 1]))) {
        if (!ParseBounds(min, max)) return atom;
      } else {
        break;
      }
      Pattern rep;
      rep.kind = Pattern::Kind::kRepeat;
      rep.min = min;
      rep.max = max;
      rep.children.push_back(std::move(atom));
      atom = std::move(rep);
    }
    return atom;
  }

  bool ParseBounds(int& min, int& max) {
    ++pos_;  // '{'
    min = ParseNumber();
    if (pos_ >= text_.size() || text_[pos_] != ',') {
      Fail("expected ',' in {m,n}");
      return false;
    }
    ++pos_;
    max = ParseNumber();
    if (pos_ >= text_.size() || text_[pos_] != '}' || max < min || max < 1) {
      Fail("malformed {m,n}");
      return false;
    }
    ++pos_;
    return true;
  }

  int ParseNumber() {
    int n = 0;
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
      n = n * 10 + (text_[pos_] - '0');
      ++pos_;
    }
    return n;
  }

  Pattern ParseAtom() {
    SkipSeparators();
    if (pos_ >= text_.size()) {
      Fail("pattern ends early");
      return {};
    }
    switch (text_[pos_]) {
      case '"':
        return ParseLiteral();
      case '[':
        return ParseSet();
      case '{':
        return ParseName();
      case '(': {
        ++pos_;
        Pattern inner = ParseAlternation();
        if (AtEnd() || text_[pos_] != ')') {
          Fail("missing ')'");
          return inner;
        }
        ++pos_;
        return inner;
      }
      default:
        Fail("unexpected character");
        ++pos_;
        return {};
    }
  }

  // Reads one possibly escaped byte of a literal or set; `escapes` lists the
  // letters allowed after a backslash besides the backslash itself.
  std::optional<unsigned char> ReadByte(std::string_view escapes) {
    const char c = text_[pos_++];
    if (c != '\\') return static_cast<unsigned char>(c);
    if (pos_ >= text_.size()) {
      Fail("backslash at the end");
      return std::nullopt;
    }
    const char e = text_[pos_++];
    if (e == '\\') return static_cast<unsigned char>('\\');
    if (escapes.find(e) == std::string_view::npos) {
      Fail("unknown escape");
      return std::nullopt;
    }
    if (e == 'n') return static_cast<unsigned char>('\n');
    if (e == 't') return static_cast<unsigned char>('\t');
    return static_cast<unsigned char>(e);  // \"
  }

  Pattern ParseLiteral() {
    ++pos_;  // opening quote
    Pattern seq;
    seq.kind = Pattern::Kind::kConcat;
    while (pos_ < text_.size() && text_[pos_] != '"' && error_.empty()) {
      if (auto byte = ReadByte("nt\"")) seq.children.push_back(SingleByte(*byte));
    }
    if (pos_ >= text_.size()) {
      Fail("unterminated literal");
      return seq;
    }
    ++pos_;  // closing quote
    if (seq.children.empty()) Fail("empty literal");
    if (seq.children.size() == 1) return std::move(seq.children.front());
    return seq;
  }

  Pattern ParseSet() {
    ++pos_;  // '['
    bool negated = false;
    if (pos_ < text_.size() && text_[pos_] == '^') {
      negated = true;
      ++pos_;
    }
    std::bitset<256> bytes;
    while (pos_ < text_.size() && text_[pos_] != ']' && error_.empty()) {
      const auto low = ReadByte("nt");
      if (!low) break;
      if (pos_ + 1 < text_.size() && text_[pos_] == '-' && text_[pos_ + 1] != ']') {
        ++pos_;
        const auto high = ReadByte("nt");
        if (!high || *high < *low) {
          Fail("bad range");
          break;
        }
        for (unsigned b = *low; b <= *high; ++b) bytes.set(b);
      } else {
        bytes.set(*low);
      }
    }
    if (pos_ >= text_.size()) {
      Fail("unterminated set");
      return {};
    }
    ++pos_;  // ']'
    if (negated) {
      // A negated set holds the bytes 1 to 255 that are not listed; the
      // scanner reads a NUL as byte 1.
      bytes.flip();
      bytes.reset(0);
    }
    if (bytes.none()) Fail("empty set");
    return ByteSet(bytes);
  }

  Pattern ParseName() {
    const size_t close = text_.find('}', pos_);
    if (close == std::string_view::npos) {
      Fail("unterminated {name}");
      ++pos_;
      return {};
    }
    const std::string name(text_.substr(pos_ + 1, close - pos_ - 1));
    pos_ = close + 1;
    const auto it = names_.find(name);
    if (it == names_.end()) {
      Fail("unknown name {" + name + "}");
      return {};
    }
    return it->second;
  }

  std::string_view text_;
  const std::map<std::string, Pattern>& names_;
  size_t pos_ = 0;
  std::string error_;
};

std::string_view NextField(std::string_view& line) {
  size_t start = 0;
  while (start < line.size() && IsSeparator(line[start])) ++start;
  size_t end = start;
  while (end < line.size() && !IsSeparator(line[end])) ++end;
  const std::string_view field = line.substr(start, end - start);
  line.remove_prefix(end);
  return field;
}

std::string_view TrimSeparators(std::string_view s) {
  while (!s.empty() && IsSeparator(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSeparator(s.back())) s.remove_suffix(1);
  return s;
}

std::optional<unsigned> ParseConditions(std::string_view field) {
  if (field == "all") return (1u << kConditionCount) - 1;
  unsigned mask = 0;
  while (!field.empty()) {
    const size_t comma = field.find(',');
    const std::string_view name = field.substr(0, comma);
    bool known = false;
    for (int c = 0; c < kConditionCount; ++c) {
      if (kConditionNames[static_cast<size_t>(c)] == name) {
        mask |= 1u << c;
        known = true;
      }
    }
    if (!known) return std::nullopt;
    if (comma == std::string_view::npos) break;
    field.remove_prefix(comma + 1);
  }
  return mask == 0 ? std::nullopt : std::optional<unsigned>(mask);
}

}  // namespace

RuleSet ParseRuleFile(std::string_view text) {
  RuleSet result;
  std::map<std::string, Pattern> names;
  int line_number = 0;
  auto fail = [&](const std::string& what) {
    result.error = "line " + std::to_string(line_number) + ": " + what;
    result.rules.clear();
    return result;
  };

  while (!text.empty()) {
    ++line_number;
    const size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (TrimSeparators(line).empty() || TrimSeparators(line).front() == '#') continue;

    const std::string_view head = NextField(line);
    if (head == "define") {
      const std::string name(NextField(line));
      PatternParser parser(TrimSeparators(line), names);
      auto pattern = parser.ParseWhole();
      if (!pattern) return fail(parser.error());
      names[name] = std::move(*pattern);
      continue;
    }

    Rule rule;
    for (const char c : head) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return fail("expected a rule number");
      rule.number = rule.number * 10 + (c - '0');
    }
    if (rule.number != static_cast<int>(result.rules.size()) + 1) {
      return fail("rule " + std::to_string(rule.number) + " out of order");
    }
    const auto conditions = ParseConditions(NextField(line));
    if (!conditions) return fail("unknown start condition");
    rule.conditions = *conditions;

    std::string_view pattern_text = TrimSeparators(line);
    if (!pattern_text.empty() && pattern_text.front() == '^') {
      rule.anchored = true;
      pattern_text.remove_prefix(1);
    }
    rule.source = std::string(TrimSeparators(line));
    PatternParser parser(pattern_text, names);
    auto pattern = parser.ParseWhole();
    if (!pattern) return fail(parser.error());
    rule.pattern = std::move(*pattern);
    result.rules.push_back(std::move(rule));
  }
  if (result.rules.empty()) return fail("no rules");
  return result;
}

}  // namespace qfmt::scanner::rulegen
