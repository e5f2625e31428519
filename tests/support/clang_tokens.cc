#include "tests/support/clang_tokens.h"

#include "tools/run_program.h"

namespace qfmt::testing {

bool ClangAvailable() { return tools::RunProgram("/usr/bin/env", {"clang", "--version"}, ".").status == 0; }

std::size_t SkipSpliceAt(std::string_view text, std::size_t at) {
  if (at >= text.size() || text[at] != '\\') return at;
  std::size_t q = at + 1;
  while (q < text.size() && (text[q] == ' ' || text[q] == '\t')) ++q;
  if (q < text.size() && text[q] == '\n') return q + 1;
  if (q < text.size() && text[q] == '\r') return q + 1 < text.size() && text[q + 1] == '\n' ? q + 2 : q + 1;
  return at;
}

std::pair<std::size_t, std::size_t> Trimmed(std::string_view text, std::size_t begin, std::size_t end) {
  while (begin < end && SkipSpliceAt(text, begin) != begin) begin = SkipSpliceAt(text, begin);
  for (bool trimmed = true; trimmed && end > begin;) {
    trimmed = false;
    while (end > begin && std::string_view(" \t\r\n\f\v").find(text[end - 1]) != std::string_view::npos) {
      --end;
      trimmed = true;
    }
    if (end > begin && end < text.size() && SkipSpliceAt(text, end - 1) != end - 1) {
      --end;
      trimmed = true;
    }
  }
  return {begin, end};
}

std::vector<ClangToken> ClangRawTokens(const std::string& path, std::string_view text) {
  const tools::ProgramRun run = tools::RunProgram(
      "/usr/bin/env", {"clang", "-cc1", "-dump-raw-tokens", "-std=c++20", "-x", "c++", path}, ".");
  std::vector<std::size_t> line_starts = {0};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
      line_starts.push_back(i + 1);
    }
  }
  // Records: KIND 'TEXT'<TAB>[FLAGS]<TAB>Loc=<PATH:LINE:COLUMN>; a token runs
  // to where the next begins (white space is a token of its own here).
  std::vector<ClangToken> records;
  const std::string& dump = run.error;
  for (std::size_t record = 0; record < dump.size();) {
    const std::size_t loc = dump.find("Loc=<", record);
    if (loc == std::string::npos) break;
    const std::size_t close = dump.find(">\n", loc);
    const std::size_t column_at = dump.rfind(':', close);
    const std::size_t line_at = dump.rfind(':', column_at - 1);
    const std::size_t line = std::stoul(dump.substr(line_at + 1, column_at - line_at - 1));
    const std::size_t column = std::stoul(dump.substr(column_at + 1, close - column_at - 1));
    ClangToken& token = records.emplace_back();
    token.kind = dump.substr(record, dump.find(' ', record) - record);
    token.begin = line_starts[line - 1] + column - 1;
    token.starts_line = dump.substr(record, loc - record).find("[StartOfLine]") != std::string::npos;
    record = close + 2;
  }
  std::vector<ClangToken> tokens;
  bool line_starts_here = false;  // white space that began a line was left out
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::size_t end = i + 1 < records.size() ? records[i + 1].begin : text.size();
    const auto [begin, trimmed_end] = Trimmed(text, records[i].begin, end);
    if (begin == trimmed_end) {
      line_starts_here = line_starts_here || records[i].starts_line;
      continue;
    }
    ClangToken token = records[i];
    token.begin = begin;
    token.end = trimmed_end;
    token.starts_line = token.starts_line || line_starts_here;
    line_starts_here = false;
    tokens.push_back(std::move(token));
  }
  return tokens;
}

}  // namespace qfmt::testing
