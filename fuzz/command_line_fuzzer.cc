// Fuzz target: arbitrary raw command lines. Runs the whole job over files in
// memory with a forced fault and checks that nothing is lost: every entry that
// stood before still holds its bytes, except the backup (which then holds the
// input) and the output (which then holds the complete formatted text, or
// after a scanner failure the part written until then).
//
// The first byte of an input chooses the fault (bits 0-1: none, reads of the
// input fail, reads of the backup fail, the backup cannot be opened for
// writing) and where a read fails (bits 2-7: after 32 times this many bytes);
// the rest is the command line.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "job/format.h"
#include "job/messages.h"
#include "job/options.h"
#include "job/run_job.h"
#include "testing/memory_file_system.h"
#include "testing/recording_console.h"
#include "testing/token_dump.h"

namespace {

using namespace qfmt;

enum class Fault { kNone, kInputReadFails, kBackupReadFails, kBackupRefused };

// What every run starts from: sources, a long comment that stops the scan, a
// stale backup, folders, and a backup that is a link to its input.
const testing::Contents kStartingFiles = {
    {"a.c", "int  x;\nvoid f() { if (a) b(); }\n"},
    {"a.c.Backup", "stale backup\n"},
    {"b.c", "struct S { int y; };\r\n"},
    {"d.c", "<folder>"},
    {"dir", "<folder>"},
    {"dir/e.c", "enum { A, B };\n"},
    {"gone.c.Backup", "the backup of a file that is gone\n"},
    {"long.c", "x;\n/*" + std::string(1100, 'c') + "*/\ny;\n"},
    {"s.c", "int  s;\n"},
    {"s.c.Backup", "<link to s.c>"},
};

void Require(bool holds, const std::string& what, std::string_view command_line) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n  command line: %s\n", what.c_str(),
               testing::EscapedBytes(command_line).c_str());
  std::abort();
}

// The whole job over files in memory; nothing may be lost.
void CheckJob(std::string_view line, Fault fault, std::size_t fail_after) {
  const job::ParsedOptions parsed = job::ParseOptions(line);
  const job::Options& options = parsed.options;
  testing::MemoryFileSystem files;
  files.AddContents(kStartingFiles);
  const std::string& input = options.input_name;
  const std::string backup = input + std::string(job::kBackupSuffix);
  const std::string& output = options.output_name.empty() ? input : options.output_name;
  std::string output_target = output;  // the file that a link under the output's name leads to
  (void)files.ResolveLinks(output, output_target);
  if (fault == Fault::kInputReadFails) files.faults.failing_reads = input;
  if (fault == Fault::kBackupReadFails) files.faults.failing_reads = backup;
  if (fault == Fault::kBackupRefused) files.faults.refuse_writing = backup;
  files.faults.fail_after = fail_after;
  const testing::Contents before = files.Files();
  testing::RecordingConsole console;
  const int status = job::RunJob(line, files, console);
  const testing::Contents after = files.Files();
  const auto entry = [](const testing::Contents& contents, const std::string& name) {
    const auto it = contents.find(name);
    return it == contents.end() ? std::nullopt : std::optional<std::string>(it->second);
  };
  // Every entry but the backup and the output is as it was, and no other appeared.
  for (const testing::Contents* contents : {&before, &after}) {
    for (const auto& [name, bytes] : *contents) {
      const bool may_change = !input.empty() && (name == backup || name == output || name == output_target);
      Require(may_change || entry(before, name) == entry(after, name), "an entry changed: " + name, line);
    }
  }
  if (input.empty())
    return Require(status == job::kExitOk, "usage with status " + std::to_string(status), line);
  const std::optional<std::string> original = entry(before, input);
  const bool backup_holds_input = original && entry(after, backup) == original;
  // An input that does not exist has no bytes to lose: it is formatted as empty.
  Require(!original || entry(after, input) == original || backup_holds_input, "the input's bytes are lost",
          line);
  // The job formats the backup: the input's bytes, or an older backup that
  // could not be overwritten while there is no input.
  std::string formatted;
  (void)job::FormatText(entry(after, backup).value_or(""), options.layout, formatted);
  const std::string written = entry(after, output_target).value_or("");
  switch (status) {
    case job::kExitOk:
      Require(backup_holds_input || !original, "a complete run without the input in the backup", line);
      Require(written == formatted, "a complete run without its complete output", line);
      break;
    case job::kExitScanFailure:
      Require(backup_holds_input || !original, "a stopped run without the input in the backup", line);
      Require(formatted.starts_with(written),
              "a stopped run whose output is not a prefix of the formatted text", line);
      break;
    case job::kExitOpenError:
      Require(entry(before, output_target) == entry(after, output_target) || output == backup,
              "an open error after the output was touched", line);
      break;
    default:
      Require(false, "status " + std::to_string(status), line);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const unsigned choice = size > 0 ? data[0] : 0;
  const std::string_view line(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0),
                              size > 0 ? size - 1 : 0);
  CheckJob(line, static_cast<Fault>(choice & 3), 32 * (choice >> 2));
  return 0;
}
