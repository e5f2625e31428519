#include "fuzz/command_line_case.h"

#include "job/options.h"

namespace qfmt::fuzz {
namespace {

constexpr std::size_t kFailStep = 32;

}  // namespace

CommandLineCase DecodeCommandLineCase(std::string_view data) {
  CommandLineCase c;
  const unsigned char choice = data.empty() ? 0 : static_cast<unsigned char>(data.front());
  const std::string_view rest = data.empty() ? data : data.substr(1);
  c.fault = static_cast<Fault>((choice >> 1) & 3);
  c.fail_after = kFailStep * (choice >> 3);
  c.from_arguments = (choice & 1) != 0;
  if (!c.from_arguments) {
    c.command_line = std::string(rest);
    return c;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = rest.find('\0', start);
    c.arguments.emplace_back(rest.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  std::vector<std::string_view> vector = {"qfmt"};
  for (const std::string& argument : c.arguments) vector.push_back(argument);
  c.command_line = job::RebuildCommandLine(vector);
  return c;
}

std::string EncodeRawCommandLine(std::string_view command_line, Fault fault, std::size_t fail_after) {
  const std::size_t choice = (static_cast<std::size_t>(fault) << 1) | ((fail_after / kFailStep) << 3);
  std::string data(1, static_cast<char>(choice & 0xff));
  return data.append(command_line);
}

std::string EncodeArguments(const std::vector<std::string>& arguments) {
  std::string data(1, '\1');
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) data += '\0';
    data += arguments[i];
  }
  return data;
}

const std::vector<SeedFile>& StartingFiles() {
  static const std::vector<SeedFile> files = {
      {"a.c", "int  x;\nvoid f() { if (a) b(); }\n"},
      {"b.c", "struct S { int y; };\r\n"},
      {"a.c.Backup", "stale backup\n"},
      {"gone.c.Backup", "the backup of a file that is gone\n"},
      {"long.c", "x;\n/*" + std::string(1100, 'c') + "*/\ny;\n"},
      {"dir", "", true},
      {"dir/e.c", "enum { A, B };\n"},
      {"d.c", "", true},
  };
  return files;
}

}  // namespace qfmt::fuzz
