#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "layout/output_writer.h"
#include "scanner/input.h"

// The platform services of a run: the raw command line, files and the console.
// Every file-system call of the program goes through FileSystem, so that tests
// can force failures; each platform implements this header in a file of its own.
namespace qfmt::shell {

class OutputFile : public layout::ByteSink {
 public:
  // Closes the file; false when the close or an earlier write failed.
  [[nodiscard]] virtual bool Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens a regular file for reading; null when that is not possible (a folder
  // is not a regular file).
  [[nodiscard]] virtual std::unique_ptr<scanner::ByteSource> OpenForReading(const std::string& name) = 0;
  // Creates the file, or truncates it, for writing; null on failure.
  [[nodiscard]] virtual std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) = 0;
  // True when anything (file, folder, link) stands under the name.
  [[nodiscard]] virtual bool Exists(const std::string& name) = 0;
  // True when both names reach one existing file, through links or other
  // spellings of its path. The default serves file systems in which a file
  // has one name.
  [[nodiscard]] virtual bool SameFile(const std::string& a, const std::string& b) {
    return a == b && Exists(a);
  }

  enum class CopyResult { kCopied, kFailed, kNotHere };
  // Appends to `to` what reading `from` would still return, inside the kernel;
  // kNotHere when this file system cannot (the caller then copies itself).
  [[nodiscard]] virtual CopyResult CopyRest(scanner::ByteSource& from, OutputFile& to) = 0;
};

// Standard error, where message boxes become lines of text.
class Console {
 public:
  virtual ~Console() = default;
  // A message box: the text, and a line feed unless the text ends in one.
  virtual void ShowMessage(std::string_view text) = 0;
  // Text for standard error exactly as given.
  virtual void WriteError(std::string_view text) = 0;
  // The "running" indication, shown only on a terminal.
  virtual void ShowRunning(std::string_view text) = 0;
  virtual void HideRunning() = 0;
};

// The program's command line as one text: the program's file name without its
// folder, then each argument after one blank; an argument with a blank or a tab
// and no double quote is quoted (after its first two characters when it begins
// with "-i" or "-t"), an empty one is written as two double quotes.
[[nodiscard]] std::string RawCommandLine(const std::vector<std::string_view>& arguments);

[[nodiscard]] FileSystem& SystemFileSystem();
[[nodiscard]] Console& SystemConsole();

}  // namespace qfmt::shell
