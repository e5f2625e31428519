#include "scanner/generator/table_writer.h"

#include <cstdint>

namespace qfmt::scanner::rulegen {
namespace {

// Appends the numbers as lines of at most 16, each line indented.
template <typename Numbers>
void AppendNumbers(std::string& out, const Numbers& numbers) {
  std::size_t i = 0;
  for (const auto n : numbers) {
    out += i % 16 == 0 ? "    " : " ";
    out += std::to_string(static_cast<unsigned long>(n));
    out += ',';
    if (++i % 16 == 0) out += '\n';
  }
  if (i % 16 != 0) out += '\n';
}

void AppendConstant(std::string& out, std::string_view type, std::string_view name, unsigned long value) {
  out += "inline constexpr ";
  out += type;
  out += ' ';
  out += name;
  out += " = " + std::to_string(value) + ";\n";
}

}  // namespace

std::string WriteTables(const EngineTables& tables, std::string_view source_name) {
  std::string out;
  out += "// generated from ";
  out += source_name;
  out += " by qfmt-rulegen; do not edit\n";
  out += "#pragma once\n\n#include <cstdint>\n\nnamespace qfmt::scanner::tables {\n\n";
  AppendConstant(out, "int", "kRuleCount", static_cast<unsigned long>(tables.rule_count));
  AppendConstant(out, "int", "kStateCount", static_cast<unsigned long>(tables.state_count));
  AppendConstant(out, "int", "kClassCount", static_cast<unsigned long>(tables.class_count));
  out += "// Entries of a state's row: the next row for each class, then these two.\n";
  AppendConstant(out, "int", "kAcceptColumn", static_cast<unsigned long>(tables.class_count));
  AppendConstant(out, "int", "kRunSetColumn", static_cast<unsigned long>(tables.class_count + 1));
  AppendConstant(out, "int", "kStride", static_cast<unsigned long>(tables.stride));
  out += "// Rows from here on are run states, then stop states; the dead state is last.\n";
  AppendConstant(out, "std::uint32_t", "kFirstRunRow", tables.first_run_row);
  AppendConstant(out, "std::uint32_t", "kFirstStopRow", tables.first_stop_row);
  AppendConstant(out, "std::uint32_t", "kDeadRow", tables.dead_row);

  out += "\n// Row of start state 1 + 2c (mid-line) and 2 + 2c (line start) of condition c.\n";
  out += "inline constexpr std::uint32_t kStartRow[9] = {\n";
  AppendNumbers(out, tables.start_row);
  out += "};\n\n// Byte equivalence class of every byte value; NUL is in the class of byte 1.\n";
  out += "inline constexpr std::uint8_t kByteClass[256] = {\n";
  AppendNumbers(out, tables.byte_class);
  out += "};\n\n// The rows of all states, kStride entries each.\n";
  out += "inline constexpr std::uint32_t kRows[" + std::to_string(tables.rows.size()) + "] = {\n";
  for (std::size_t row = 0; row < tables.rows.size(); row += static_cast<std::size_t>(tables.stride)) {
    out += "    // row " + std::to_string(row) + "\n";
    AppendNumbers(out, std::vector<std::uint32_t>(
                           tables.rows.begin() + static_cast<std::ptrdiff_t>(row),
                           tables.rows.begin() + static_cast<std::ptrdiff_t>(row) + tables.stride));
  }
  out += "};\n\n// Run sets, 256 entries each: 1 where a run state stays put.\n";
  out += "inline constexpr std::uint8_t kRunSets[" + std::to_string(tables.run_sets.size() * 256) + "] = {\n";
  for (const auto& set : tables.run_sets) AppendNumbers(out, set);
  out += "};\n\n}  // namespace qfmt::scanner::tables\n";
  return out;
}

}  // namespace qfmt::scanner::rulegen
