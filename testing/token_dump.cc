#include "testing/token_dump.h"

#include "generated/rule_ids.h"

namespace qfmt::testing {
namespace {

bool NeedsQuoting(std::string_view bytes) {
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= ' ' || u >= 127 || c == '\\') return true;
  }
  return bytes.empty();
}

}  // namespace

std::string DescribeToken(int rule, std::string_view bytes) {
  std::string out = rule > 0 && rule < scanner::kRuleIdCount
                        ? std::string(scanner::kRuleNames[static_cast<std::size_t>(rule)])
                        : std::to_string(rule);
  out += ':';
  if (!NeedsQuoting(bytes)) return out.append(bytes);
  out += '\'';
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (u < ' ' || u >= 127) {
          constexpr char kHex[] = "0123456789abcdef";
          out += "\\x";
          out += kHex[u >> 4];
          out += kHex[u & 15];
        } else {
          out += c;
        }
    }
  }
  out += '\'';
  return out;
}

std::string EscapedBytes(std::string_view bytes) { return DescribeToken(0, bytes).substr(2); }

void TokenRecorder::OnToken(int rule, std::string_view bytes) {
  if (!tokens_.empty()) tokens_ += ' ';
  tokens_ += DescribeToken(rule, bytes);
}

}  // namespace qfmt::testing
