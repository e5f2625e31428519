// Fuzz target: arbitrary raw command lines, or argument vectors rebuilt into
// one. Checks what the option reader finds against the marker rules, that
// arguments come back through the rebuilt text, and then runs the whole job
// over files in memory, with a forced fault, checking that nothing is lost:
// every file that stood before still holds its bytes, except the backup (which
// then holds the input) and the output (which then holds the complete
// formatted text, or after a scanner failure the part written until then).

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "fuzz/command_line_case.h"
#include "job/format.h"
#include "job/messages.h"
#include "job/options.h"
#include "job/run_job.h"
#include "tests/support/memory_file_system.h"
#include "tools/recording_console.h"
#include "tools/token_dump.h"

namespace {

using namespace qfmt;

[[noreturn]] void Broken(const std::string& what, const fuzz::CommandLineCase& c) {
  std::fprintf(stderr, "broken: %s\n  command line: %s\n", what.c_str(),
               tools::EscapedBytes(c.command_line).c_str());
  std::abort();
}

void Require(bool holds, const std::string& what, const fuzz::CommandLineCase& c) {
  if (!holds) Broken(what, c);
}

bool SameOptions(const job::ParsedOptions& a, const job::ParsedOptions& b) {
  return a.options.input_name == b.options.input_name && a.options.output_name == b.options.output_name &&
         a.options.layout.max_line_length == b.options.layout.max_line_length &&
         a.options.layout.indent_string == b.options.layout.indent_string &&
         a.options.layout.brace_style == b.options.layout.brace_style &&
         a.indent_string_malformed == b.indent_string_malformed;
}

// The value after the first occurrence of a marker, up to the next blank.
std::string_view WordAfter(std::string_view line, std::size_t marker) {
  const std::string_view rest = line.substr(marker + 2);
  return rest.substr(0, rest.find(' '));
}

// What the marker rules say, checked one option at a time.
void CheckMarkers(const fuzz::CommandLineCase& c, const job::ParsedOptions& parsed) {
  const std::string_view line = c.command_line;
  const job::Options& options = parsed.options;

  const std::size_t i = line.find("-i");
  Require(job::HasInputMarker(line) == (i != std::string_view::npos), "input marker", c);
  if (i == std::string_view::npos) {
    Require(options.input_name.empty(), "an input name without its marker", c);
  } else {
    // From right after the marker, or one further when a double quote moved
    // the start.
    const std::string_view name = options.input_name;
    Require(line.substr(i + 2, name.size()) == name || line.substr(i + 3, name.size()) == name,
            "input name not taken from after its marker", c);
  }

  const std::size_t o = line.find("-o");
  if (o == std::string_view::npos) {
    Require(options.output_name.empty(), "an output name without its marker", c);
  } else {
    Require(options.output_name == WordAfter(line, o), "output name is not the word after its marker", c);
  }

  const std::size_t l = line.find("-l");
  if (l == std::string_view::npos) {
    Require(options.layout.max_line_length == 80, "line length without its marker", c);
  } else {
    const std::string_view word = WordAfter(line, l);
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    // A plain decimal number that fits 32 bits is taken as it is.
    if (error == std::errc() && end == word.data() + word.size()) {
      Require(options.layout.max_line_length == value, "line length is not the number after its marker", c);
    }
    if (word.empty() || (word[0] >= 'A' && word[0] <= 'z')) {
      Require(options.layout.max_line_length == 0, "a line length that is not a number is not 0", c);
    }
  }

  const std::size_t s = line.find("-s");
  const bool keep =
      s == std::string_view::npos || (s + 2 < line.size() && (line[s + 2] == 'k' || line[s + 2] == 'K'));
  Require(options.layout.brace_style == (keep ? 1 : 0), "brace style", c);

  const std::size_t t = line.find("-t");
  if (t == std::string_view::npos || parsed.indent_string_malformed) {
    Require(options.layout.indent_string == "   ", "indentation unit kept without a well-formed value", c);
    Require(parsed.indent_string_malformed == (t != std::string_view::npos), "malformed unit reported", c);
  } else {
    const std::string quoted = '"' + options.layout.indent_string + '"';
    Require(line.substr(t + 2, quoted.size()) == quoted &&
                options.layout.indent_string.find('"') == std::string::npos,
            "indentation unit is not the text between the quotes after its marker", c);
  }
}

// An argument vector comes back through the rebuilt command line: a first
// argument "-iNAME", "-oNAME" or "-tTEXT" gives its value back whole when the
// value holds no double quote (and, for "-o", no blank or tab; for "-t", a
// blank or tab, which the rebuilding quotes).
void CheckRoundTrip(const fuzz::CommandLineCase& c, const job::ParsedOptions& parsed) {
  if (c.arguments.empty()) return;
  const std::string& first = c.arguments.front();
  if (first.size() < 2 || first.find('"') != std::string::npos) return;
  const std::string value = first.substr(2);
  const bool blank = value.find_first_of(" \t") != std::string::npos;
  if (first.starts_with("-i")) Require(parsed.options.input_name == value, "input name round trip", c);
  if (first.starts_with("-o") && !blank)
    Require(parsed.options.output_name == value, "output name round trip", c);
  if (first.starts_with("-t") && blank) {
    Require(!parsed.indent_string_malformed && parsed.options.layout.indent_string == value,
            "indentation unit round trip", c);
  }
}

// The whole job over files in memory; nothing may be lost.
void CheckJob(const fuzz::CommandLineCase& c, const job::ParsedOptions& parsed) {
  testing::MemoryFileSystem files;
  for (const fuzz::SeedFile& file : fuzz::StartingFiles()) {
    if (file.folder) {
      files.AddFolder(file.name);
    } else {
      files.AddFile(file.name, file.bytes);
    }
  }
  const job::Options& options = parsed.options;
  const std::string& input = options.input_name;
  const std::string backup = input + std::string(job::kBackupSuffix);
  const std::string& output = options.output_name.empty() ? input : options.output_name;
  switch (c.fault) {
    case fuzz::Fault::kNone:
      break;
    case fuzz::Fault::kInputReadFails:
      files.failing_reads = input;
      break;
    case fuzz::Fault::kBackupReadFails:
      files.failing_reads = backup;
      break;
    case fuzz::Fault::kBackupRefused:
      files.refuse_writing = backup;
      break;
  }
  files.fail_after = c.fail_after;
  const std::map<std::string, std::string> before = files.Files();

  tools::RecordingConsole console;
  const int status = job::RunJob(c.command_line, files, console);
  const std::map<std::string, std::string> after = files.Files();
  const std::string& shown = console.standard_error;

  const auto old_input = before.find(input);
  const std::string original = old_input == before.end() ? std::string() : old_input->second;
  // Every file but the backup and the output is as it was.
  for (const auto& [name, bytes] : before) {
    if (input.empty() || (name != backup && name != output)) {
      Require(after.count(name) != 0 && after.at(name) == bytes, "a file changed: " + name, c);
    }
  }
  for (const auto& [name, bytes] : after) {
    Require(before.count(name) != 0 || name == backup || name == output, "a file appeared: " + name, c);
  }
  const std::string indent_message =
      parsed.indent_string_malformed ? std::string(job::kIndentStringMessage) + "\n" : std::string();
  if (input.empty()) {
    Require(status == job::kExitOk && shown == indent_message + std::string(job::kUsageText), "usage", c);
    return;
  }
  const bool input_existed = old_input != before.end();
  const bool input_kept = after.count(input) != 0 && after.at(input) == original;
  const bool backup_holds_input = after.count(backup) != 0 && after.at(backup) == original;
  Require(input_kept || backup_holds_input || !input_existed, "the input's bytes are lost", c);

  // The job formats the backup: the input's bytes, or an older backup that
  // could not be overwritten while there is no input.
  const std::string read = after.count(backup) != 0 ? after.at(backup) : std::string();
  std::string formatted;
  const job::FormatResult result = job::FormatText(read, options.layout, formatted);
  const auto old_output = before.find(output);
  const bool output_untouched = old_output == before.end()
                                    ? after.count(output) == 0
                                    : after.count(output) != 0 && after.at(output) == old_output->second;
  const std::string written = after.count(output) != 0 ? after.at(output) : std::string();
  switch (status) {
    case job::kExitOk: {
      Require(backup_holds_input || !input_existed, "a complete run without the input in the backup", c);
      Require(result.failure == scanner::ScanFailure::kNone && written == formatted,
              "a complete run without its complete output", c);
      const std::string warning = result.brace_depth != 0 ? job::BraceWarning(result.brace_depth) + "\n" : "";
      Require(shown == indent_message + warning, "the messages of a complete run", c);
      break;
    }
    case job::kExitScanFailure: {
      Require(backup_holds_input, "a stopped run without the input in the backup", c);
      Require(formatted.starts_with(written),
              "a stopped run whose output is not a prefix of the formatted text", c);
      const bool overflow =
          result.failure == scanner::ScanFailure::kBufferOverflow && written == formatted &&
          shown == indent_message + std::string(scanner::FailureMessage(result.failure)) + "\n";
      const bool read_error = c.fault == fuzz::Fault::kBackupReadFails &&
                              shown == indent_message + "L0048: fread() in PCLEX scanner failed\n";
      Require(overflow || read_error, "status 1 without its message", c);
      break;
    }
    case job::kExitOpenError:
      Require(output_untouched || output == backup, "an open error after the output was touched", c);
      Require(shown == indent_message + job::OpenErrorLine(backup, "write") ||
                  shown == indent_message + job::OpenErrorLine(backup, "read") ||
                  shown == indent_message + job::OpenErrorLine(output, "write"),
              "status 2 without its open-error line", c);
      break;
    default:
      Broken("status " + std::to_string(status), c);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::CommandLineCase c =
      fuzz::DecodeCommandLineCase(std::string_view(reinterpret_cast<const char*>(data), size));
  const job::ParsedOptions parsed = job::ParseOptions(c.command_line);
  Require(SameOptions(parsed, job::ParseOptions(c.command_line)), "a second reading differs", c);
  CheckMarkers(c, parsed);
  if (c.from_arguments) CheckRoundTrip(c, parsed);
  CheckJob(c, parsed);
  return 0;
}
