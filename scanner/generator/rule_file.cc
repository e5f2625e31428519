#include "scanner/generator/rule_file.h"

#include <cctype>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

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
  PatternParser(std::string_view text, const std::map<std::string, Pattern, std::less<>>& names)
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
    if (e == 'x') return ReadHexByte();
    if (escapes.find(e) == std::string_view::npos) {
      Fail("unknown escape");
      return std::nullopt;
    }
    if (e == 'n') return static_cast<unsigned char>('\n');
    if (e == 't') return static_cast<unsigned char>('\t');
    return static_cast<unsigned char>(e);  // \"
  }

  // The two hexadecimal digits of a \xNN escape.
  std::optional<unsigned char> ReadHexByte() {
    unsigned value = 0;
    for (int i = 0; i < 2; ++i) {
      const char h = pos_ < text_.size() ? text_[pos_] : '\0';
      if (!std::isxdigit(static_cast<unsigned char>(h))) {
        Fail("expected two hexadecimal digits after \\x");
        return std::nullopt;
      }
      value = value * 16 + static_cast<unsigned>(
                               std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (h | 0x20) - 'a' + 10);
      ++pos_;
    }
    return static_cast<unsigned char>(value);
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
  const std::map<std::string, Pattern, std::less<>>& names_;
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

bool IsRuleName(std::string_view name) {
  if (name.empty() || !std::isupper(static_cast<unsigned char>(name.front()))) return false;
  for (const char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// Reads the rules file line by line into `result`, which starts as the base
// set (or empty).
class RuleFileParser {
 public:
  RuleFileParser(RuleSet& result, bool derived) : result_(result), derived_(derived) {}

  // Returns false after an error.
  bool ParseLine(std::string_view line) {
    const std::string_view head = NextField(line);
    if (head == "define") return Define(line);
    if (!derived_) return Numbered(head, line);
    if (head == "extends") return !seen_change_ || Fail("extends must come first");
    seen_change_ = true;
    if (head == "replace") return Replace(line);
    if (head == "add") return Add(line);
    if (head == "remove") return Remove(line);
    return Fail("expected define, replace, add or remove");
  }

  [[nodiscard]] const std::string& error() const { return error_; }

 private:
  bool Fail(std::string what) {
    error_ = std::move(what);
    return false;
  }

  bool Define(std::string_view line) {
    const std::string name(NextField(line));
    PatternParser parser(TrimSeparators(line), result_.definitions);
    auto pattern = parser.ParseWhole();
    if (!pattern) return Fail(parser.error());
    result_.definitions[name] = std::move(*pattern);
    return true;
  }

  // "N Name Action CONDITIONS PATTERN" in a file of its own.
  bool Numbered(std::string_view number, std::string_view line) {
    int n = 0;
    for (const char c : number) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return Fail("expected a rule number");
      n = n * 10 + (c - '0');
    }
    if (n != static_cast<int>(result_.rules.size()) + 1)
      return Fail("rule " + std::to_string(n) + " out of order");
    Rule rule;
    if (!ReadRule(line, rule)) return false;
    result_.rules.push_back(std::move(rule));
    return true;
  }

  // "replace Name CONDITIONS PATTERN": same place, same identity, and so the
  // same action.
  bool Replace(std::string_view line) {
    Rule rule;
    if (!ReadRule(line, rule, /*known=*/true)) return false;
    Rule& replaced = result_.rules[static_cast<std::size_t>(result_.Find(rule.name))];
    rule.action = std::move(replaced.action);
    replaced = std::move(rule);
    return true;
  }

  // "add Name before|after Other Action CONDITIONS PATTERN".
  bool Add(std::string_view line) {
    std::string_view rest = line;
    const std::string_view name = NextField(rest);
    const std::string_view where = NextField(rest);
    const std::string_view other = NextField(rest);
    if (where != "before" && where != "after") return Fail("expected before or after");
    const int at = result_.Find(other);
    if (at < 0) return Fail("no rule " + std::string(other));
    Rule rule;
    rule.name = std::string(name);
    if (!ReadRule(rest, rule, /*known=*/false, /*named=*/true)) return false;
    result_.rules.insert(result_.rules.begin() + at + (where == "after" ? 1 : 0), std::move(rule));
    return true;
  }

  bool Remove(std::string_view line) {
    const std::string_view name = NextField(line);
    const int at = result_.Find(name);
    if (at < 0) return Fail("no rule " + std::string(name));
    if (!TrimSeparators(line).empty()) return Fail("remove takes only a name");
    result_.rules.erase(result_.rules.begin() + at);
    return true;
  }

  // "Name Action CONDITIONS PATTERN" (without the name when `named`), the name
  // known to the set or new to it as `known` says; a known rule keeps its
  // action, so its line names none.
  bool ReadRule(std::string_view line, Rule& rule, bool known = false, bool named = false) {
    if (!named) rule.name = std::string(NextField(line));
    if (!IsRuleName(rule.name))
      return Fail("expected a rule name (a capital letter, then letters and digits)");
    if ((result_.Find(rule.name) >= 0) != known) {
      return Fail(known ? "no rule " + rule.name : "rule " + rule.name + " named twice");
    }
    if (!known) {
      rule.action = std::string(NextField(line));
      if (!IsRuleName(rule.action) || ParseConditions(rule.action))
        return Fail("expected the action of rule " + rule.name + " before its conditions");
    }
    const auto conditions = ParseConditions(NextField(line));
    if (!conditions) return Fail("unknown start condition");
    rule.conditions = *conditions;
    std::string_view pattern_text = TrimSeparators(line);
    rule.source = std::string(pattern_text);
    if (!pattern_text.empty() && pattern_text.front() == '^') {
      rule.anchored = true;
      pattern_text.remove_prefix(1);
    }
    PatternParser parser(pattern_text, result_.definitions);
    auto pattern = parser.ParseWhole();
    if (!pattern) return Fail(parser.error());
    rule.pattern = std::move(*pattern);
    return true;
  }

  RuleSet& result_;
  bool derived_;
  bool seen_change_ = false;
  std::string error_;
};

bool IsSignificant(std::string_view line) {
  line = TrimSeparators(line);
  return !line.empty() && line.front() != '#';
}

}  // namespace

int RuleSet::Find(std::string_view name) const {
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (rules[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

std::string_view BaseFileOf(std::string_view text) {
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (!IsSignificant(line)) continue;
    return NextField(line) == "extends" ? TrimSeparators(line) : std::string_view();
  }
  return {};
}

RuleSet LoadRuleFile(const std::string& path) {
  RuleSet failed;
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    failed.error = path + ": cannot read the rules file";
    return failed;
  }
  const std::string contents = text.str();
  const std::string_view base_name = BaseFileOf(contents);
  if (base_name.empty()) {
    RuleSet rules = ParseRuleFile(contents);
    if (!rules.error.empty()) rules.error = path + ": " + rules.error;
    return rules;
  }
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const RuleSet base = LoadRuleFile(folder + std::string(base_name));
  if (!base.error.empty()) return base;
  RuleSet rules = ParseRuleFile(contents, &base);
  if (!rules.error.empty()) rules.error = path + ": " + rules.error;
  return rules;
}

RuleSet ParseRuleFile(std::string_view text, const RuleSet* base) {
  RuleSet result;
  if (base != nullptr) {
    result.rules = base->rules;
    result.definitions = base->definitions;
  }
  RuleFileParser parser(result, base != nullptr);
  int line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const std::size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (!IsSignificant(line)) continue;
    if (!parser.ParseLine(line)) {
      result.error = "line " + std::to_string(line_number) + ": " + parser.error();
      break;
    }
  }
  if (result.error.empty() && result.rules.empty()) result.error = "line 0: no rules";
  if (!result.error.empty()) result.rules.clear();
  return result;
}

}  // namespace qfmt::scanner::rulegen
