#include "scanner/generator/table_writer.h"

#include <cstdint>

namespace qfmt::scanner::rulegen {
namespace {

constexpr std::string_view kMember = "  static constexpr ";

// Appends the numbers as lines of at most 16, each line indented.
template <typename Numbers>
void AppendNumbers(std::string& out, const Numbers& numbers) {
  std::size_t i = 0;
  for (const auto n : numbers) {
    out += i % 16 == 0 ? "      " : " ";
    out += std::to_string(static_cast<unsigned long>(n));
    out += ',';
    if (++i % 16 == 0) out += '\n';
  }
  if (i % 16 != 0) out += '\n';
}

void AppendConstant(std::string& out, std::string_view type, std::string_view name, unsigned long value) {
  out += kMember;
  out += type;
  out += ' ';
  out += name;
  out += " = " + std::to_string(value) + ";\n";
}

void AppendArrayHead(std::string& out, std::string_view type, std::string_view name, std::size_t size) {
  out += kMember;
  out += "std::array<" + std::string(type) + ", " + std::to_string(size) + "> ";
  out += name;
  out += " = {{\n";
}

void AppendIds(std::string& out, std::string_view name, const std::vector<std::string>& rule_names,
               const std::vector<int>& ids) {
  AppendArrayHead(out, "RuleId", name, ids.size());
  for (const int id : ids) out += "      RuleId::k" + rule_names[static_cast<std::size_t>(id)] + ",\n";
  out += "  }};\n";
}

void AppendSet(std::string& out, const std::vector<std::string>& rule_names, const NamedTables& set) {
  const EngineTables& tables = set.tables;
  out += "\n// The rule set of " + set.source_name + ".\nstruct " + set.name + " {\n";
  AppendConstant(out, "int", "kRuleCount", static_cast<unsigned long>(tables.rule_count));
  out += "  // The rules in priority order, and those that never win a match.\n";
  AppendIds(out, "kRules", rule_names, tables.rule_ids);
  AppendIds(out, "kUnreachable", rule_names, tables.unreachable);
  AppendConstant(out, "int", "kStateCount", static_cast<unsigned long>(tables.state_count));
  AppendConstant(out, "int", "kClassCount", static_cast<unsigned long>(tables.class_count));
  out += "  // Entries of a state's row: the next row for each class, then these two.\n";
  AppendConstant(out, "int", "kAcceptColumn", static_cast<unsigned long>(tables.class_count));
  AppendConstant(out, "int", "kRunSetColumn", static_cast<unsigned long>(tables.class_count + 1));
  AppendConstant(out, "int", "kStride", static_cast<unsigned long>(tables.stride));
  out += "  // Rows from here on are run states, then stop states; the dead state is last.\n";
  AppendConstant(out, "std::uint32_t", "kFirstRunRow", tables.first_run_row);
  AppendConstant(out, "std::uint32_t", "kFirstStopRow", tables.first_stop_row);
  AppendConstant(out, "std::uint32_t", "kDeadRow", tables.dead_row);
  out += "  // Row of start state 1 + 2c (mid-line) and 2 + 2c (line start) of condition c.\n";
  AppendArrayHead(out, "std::uint32_t", "kStartRow", tables.start_row.size());
  AppendNumbers(out, tables.start_row);
  out += "  }};\n  // Byte equivalence class of every byte value; NUL is in the class of byte 1.\n";
  AppendArrayHead(out, "std::uint8_t", "kByteClass", tables.byte_class.size());
  AppendNumbers(out, tables.byte_class);
  out += "  }};\n  // The rows of all states, kStride entries each; the accepting entry is a RuleId.\n";
  AppendArrayHead(out, "std::uint32_t", "kRows", tables.rows.size());
  for (std::size_t row = 0; row < tables.rows.size(); row += static_cast<std::size_t>(tables.stride)) {
    out += "      // row " + std::to_string(row) + "\n";
    AppendNumbers(out, std::vector<std::uint32_t>(
                           tables.rows.begin() + static_cast<std::ptrdiff_t>(row),
                           tables.rows.begin() + static_cast<std::ptrdiff_t>(row) + tables.stride));
  }
  out += "  }};\n  // Run sets, 256 entries each: 1 where a run state stays put.\n";
  AppendArrayHead(out, "std::uint8_t", "kRunSets", tables.run_sets.size() * 256);
  for (const auto& run_set : tables.run_sets) AppendNumbers(out, run_set);
  out += "  }};\n};\n";
}

// The first line of every generated header.
std::string GeneratedFrom(const std::vector<NamedTables>& sets) {
  std::string out = "// generated from ";
  for (std::size_t i = 0; i < sets.size(); ++i) out += (i == 0 ? "" : ", ") + sets[i].source_name;
  return out + " by qfmt-rulegen; do not edit\n";
}

}  // namespace

std::string WriteRuleIds(const std::vector<std::string>& rule_names, const std::vector<NamedTables>& sets) {
  std::string out = GeneratedFrom(sets);
  out += "#pragma once\n\n#include <array>\n#include <cstdint>\n#include <string_view>\n\n";
  out += "namespace qfmt::scanner {\n\n";
  out += "// Every rule of every rule set, by name; a rule that two sets share is one\n";
  out += "// rule. 0 is not a rule: the end of the input.\n";
  out += "enum class RuleId : std::uint16_t {\n";
  for (std::size_t id = 0; id < rule_names.size(); ++id) {
    out += "  k" + rule_names[id] + " = " + std::to_string(id) + ",\n";
  }
  out += "};\n\ninline constexpr int kRuleIdCount = " + std::to_string(rule_names.size()) + ";\n";
  out += "inline constexpr std::array<std::string_view, kRuleIdCount> kRuleNames = {\n";
  for (const std::string& name : rule_names) out += "    \"" + name + "\",\n";
  out += "};\n\n}  // namespace qfmt::scanner\n";
  return out;
}

std::string WriteRuleActions(const std::vector<std::string>& rule_names,
                             const std::vector<std::string>& actions, const std::vector<NamedTables>& sets) {
  std::string out = GeneratedFrom(sets);
  out += "#pragma once\n\n#include <array>\n\n#include \"generated/rule_ids.h\"\n\n";
  out += "namespace qfmt::scanner {\n\n";
  out += "// The action of every rule, by identity, as the rules files name it; entry 0,\n";
  out += "// the end of the input, has none. Actions is the class whose members they are\n";
  out += "// (a friend of this struct).\n";
  out += "struct RuleActionTable {\n  template <typename Actions>\n";
  out += "  static constexpr std::array<void (Actions::*)(), kRuleIdCount> For() {\n";
  out += "    return {{\n        nullptr,\n";
  for (std::size_t id = 1; id < rule_names.size(); ++id) {
    out += "        &Actions::" + actions[id] + ",  // " + rule_names[id] + "\n";
  }
  out += "    }};\n  }\n};\n\n}  // namespace qfmt::scanner\n";
  return out;
}

std::string WriteTables(const std::vector<std::string>& rule_names, const std::vector<NamedTables>& sets) {
  std::string out = GeneratedFrom(sets);
  out += "#pragma once\n\n#include <array>\n#include <cstdint>\n\n#include \"generated/rule_ids.h\"\n\n";
  out += "namespace qfmt::scanner::tables {\n";
  for (const NamedTables& set : sets) AppendSet(out, rule_names, set);
  out += "\n}  // namespace qfmt::scanner::tables\n";
  return out;
}

}  // namespace qfmt::scanner::rulegen
