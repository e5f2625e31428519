// qfmt-check: checks the formatter's invariants (testing/invariants.h) at full
// size, for scripts/invariants.sh.
//
//   qfmt-check headers FOLDER...     every regular file under the folders, under
//                                    three option sets, and the job on a copy
//   qfmt-check job PROGRAM FILE [MAX_KIB]
//                                    the invariants of FILE, streamed, then
//                                    PROGRAM -iFILE in FILE's folder, checking
//                                    the files it leaves and its peak memory
//
// Prints one figure a line; exits with 1 when a check fails.

#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "job/run_job.h"
#include "platform/console.h"
#include "scanner/engine.h"
#include "testing/invariants.h"
#include "testing/recording_console.h"
#include "testing/run_program.h"
#include "testing/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace qfmt;

void Print(const std::string& line) { std::printf("%s\n", line.c_str()); }

long OwnPeakMemoryKib() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

testing::JobOutcome RunJobInProcess(const std::string& name) {
  testing::RecordingConsole console;
  const int status = job::RunJob("qfmt -i" + name, platform::SystemFileSystem(), console);
  return {status, console.standard_error};
}

int CheckHeaders(const std::vector<std::string>& folders) {
  std::vector<fs::path> files;
  for (const std::string& folder : folders) {
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      if (!it->is_symlink(error) && it->is_regular_file(error)) files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  const testing::TempFolder work;
  if (work.path().empty()) {
    Print("cannot make a work folder");
    return 1;
  }
  const std::string copy = (work.path() / "input.h").string();
  constexpr int kNoLimit = std::numeric_limits<std::int32_t>::max();
  const layout::LayoutOptions option_sets[] = {
      {}, {0, "\t", lexer::BraceStyle::kBreak}, {kNoLimit, "", lexer::BraceStyle::kAttach}};

  std::uint64_t bytes = 0;
  int overflows = 0;
  int exempt = 0;
  int problems = 0;
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes += input.size();
    std::string problem;
    testing::CheckReport reference;
    for (const layout::LayoutOptions& options : option_sets) {
      const testing::CheckReport report = testing::CheckInvariants(input, {options, 7});
      if (problem.empty()) problem = report.problem;
      if (&options == &option_sets[0]) reference = report;
    }
    if (problem.empty()) {
      std::ofstream(copy, std::ios::binary | std::ios::trunc) << input;
      problem = testing::CheckJobRun(copy, reference, RunJobInProcess);
    }
    overflows += reference.result.token_too_long() ? 1 : 0;
    exempt += reference.non_blank_checked ? 0 : 1;
    if (!problem.empty()) {
      ++problems;
      Print(file.string() + ": " + problem);
    }
  }
  Print("files: " + std::to_string(files.size()));
  Print("bytes: " + std::to_string(bytes));
  Print("stopped by the " + std::to_string(scanner::kTokenLimit) +
        "-byte limit (prefix checked): " + std::to_string(overflows));
  Print("exempt from the non-blank check (NUL byte or line-wrap marker): " + std::to_string(exempt));
  Print("files with a failed check: " + std::to_string(problems));
  return problems == 0 ? 0 : 1;
}

int CheckJob(const std::string& program, const std::string& file, long max_kib) {
  const fs::path path = fs::absolute(file);
  const testing::CheckReport reference =
      testing::CheckInvariants([&path] { return platform::SystemFileSystem().OpenForReading(path.string()); },
                               testing::CheckOptions{});
  Print("input bytes: " + std::to_string(reference.input_size));
  Print("output bytes: " + std::to_string(reference.output_size));
  Print("non-blank bytes checked: " + std::string(reference.non_blank_checked ? "yes" : "no"));
  Print("peak resident memory of the checks: " + std::to_string(OwnPeakMemoryKib()) + " KiB");
  if (!reference.problem.empty()) {
    Print("invariants: " + reference.problem);
    return 1;
  }
  long job_kib = 0;
  const std::string absolute_program = fs::absolute(program).string();
  // The program runs in the file's folder, with the file's name alone on its
  // command line.
  const std::string problem =
      testing::CheckJobRun(path.string(), reference, [&](const std::string&) -> testing::JobOutcome {
        const testing::ProgramRun outcome =
            testing::RunProgram(absolute_program, {"-i" + path.filename().string()}, path.parent_path());
        job_kib = outcome.peak_memory_kib;
        return {outcome.status, outcome.error};
      });
  Print("peak resident memory of " + fs::path(program).filename().string() + ": " + std::to_string(job_kib) +
        " KiB");
  if (!problem.empty()) {
    Print("job: " + problem);
    return 1;
  }
  if (max_kib > 0 && job_kib >= max_kib) {
    Print("peak memory over the bound of " + std::to_string(max_kib) + " KiB");
    return 1;
  }
  Print("job: ok");
  return 0;
}

int Usage() {
  std::fputs(
      "usage: qfmt-check headers FOLDER...\n"
      "       qfmt-check job PROGRAM FILE [MAX_KIB]\n",
      stderr);
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() >= 2 && arguments[0] == "headers") {
    return CheckHeaders(std::vector<std::string>(arguments.begin() + 1, arguments.end()));
  }
  if ((arguments.size() == 3 || arguments.size() == 4) && arguments[0] == "job") {
    return CheckJob(arguments[1], arguments[2], arguments.size() == 4 ? std::atol(arguments[3].c_str()) : 0);
  }
  return Usage();
}
