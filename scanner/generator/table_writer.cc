#include "scanner/generator/table_writer.h"

#include <cstdint>

namespace qfmt::scanner::rulegen {
namespace {

// Appends the numbers as rows of at most 16, each row indented.
template <typename Numbers>
void AppendRows(std::string& out, const Numbers& numbers, const char* indent) {
  size_t i = 0;
  for (const auto n : numbers) {
    out += i % 16 == 0 ? std::string(indent) : std::string(" ");
    out += std::to_string(static_cast<unsigned>(n));
    out += ',';
    if (++i % 16 == 0) out += '\n';
  }
  if (i % 16 != 0) out += '\n';
}

}  // namespace

std::string WriteTables(const Automaton& automaton, const ByteClasses& classes,
                        std::string_view source_name) {
  std::string out;
  out += "// generated from ";
  out += source_name;
  out += " by qfmt-rulegen; do not edit\n";
  out += "#pragma once\n\n#include <cstdint>\n\nnamespace qfmt::scanner::tables {\n\n";
  out += "inline constexpr int kRuleCount = " + std::to_string(automaton.rule_count) + ";\n";
  out += "inline constexpr int kStateCount = " + std::to_string(automaton.state_count()) + ";\n";
  out += "inline constexpr int kClassCount = " + std::to_string(classes.count) + ";\n\n";

  out += "// Byte equivalence class of every byte value.\n";
  out += "inline constexpr std::uint8_t kByteClass[256] = {\n";
  AppendRows(out, classes.class_of, "    ");
  out += "};\n\n";

  // One representative byte per class, to read the class columns.
  std::vector<size_t> representative(static_cast<size_t>(classes.count));
  for (size_t byte = 256; byte-- > 0;) representative[classes.class_of[byte]] = byte;

  out += "// Next state, by state and byte class. State 0 is the dead state; states\n";
  out += "// 1 + 2c and 2 + 2c start condition c in mid-line and at a line start.\n";
  out += "inline constexpr std::uint16_t kTransition[kStateCount][kClassCount] = {\n";
  for (int s = 0; s < automaton.state_count(); ++s) {
    std::vector<std::uint16_t> row;
    for (size_t byte : representative) row.push_back(automaton.transitions[static_cast<size_t>(s)][byte]);
    out += "    {  // state " + std::to_string(s) + "\n";
    AppendRows(out, row, "        ");
    out += "    },\n";
  }
  out += "};\n\n";

  out += "// Lowest-numbered rule that accepts the bytes read so far; 0 for none.\n";
  out += "inline constexpr std::uint8_t kAcceptRule[kStateCount] = {\n";
  AppendRows(out, automaton.accept_rule, "    ");
  out += "};\n\n";

  out += "// States after which the scan stops: no byte leads to a longer match.\n";
  out += "inline constexpr bool kStopState[kStateCount] = {\n";
  std::string flags;
  for (int s = 0; s < automaton.state_count(); ++s) {
    flags += s % 16 == 0 ? "    " : " ";
    flags += automaton.stop[static_cast<size_t>(s)] ? "true," : "false,";
    if (s % 16 == 15) flags += '\n';
  }
  if (automaton.state_count() % 16 != 0) flags += '\n';
  out += flags;
  out += "};\n\n}  // namespace qfmt::scanner::tables\n";
  return out;
}

}  // namespace qfmt::scanner::rulegen
