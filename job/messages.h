#pragma once

// The running text as a macro as well, for the Windows resource script
// (shell/qfmt.rc), which reads only what the preprocessor makes of a header.
#define QFMT_RUNNING_TEXT "The Quillon is running."

#ifndef RC_INVOKED
#include <cstdint>
#include <string>
#include <string_view>

namespace qfmt::job {

// The texts the program has always shown, typos included.

inline constexpr std::string_view kUsageText =
    "You should not run the Quillon directly, it is best to invoke it from the C compiler.\n"
    "The configuration program permits you to change any settings you like.\n"
    "\n\nIf you really want to run this program stand alone then use the following information:\n"
    "The Quillon call sequence is:\n"
    "qfmt -iInFile [-oOutFile] [-lMaxLineLength] [-t\"IndentationString\"] \n";

inline constexpr std::string_view kIndentStringMessage =
    "Improperly formed Indent String: Use -t\" (some number of spaces)\"";

// The caption of the usage message box.
inline constexpr std::string_view kUsageCaption = "Quillon";

inline constexpr std::string_view kRunningText = QFMT_RUNNING_TEXT;

inline constexpr std::string_view kBackupSuffix = ".Backup";

// "Warning: you have N too many open|close curly braces." for count != 0.
[[nodiscard]] std::string BraceWarning(std::int32_t count);

// "qmft: error: could not open NAME for PURPOSE" and a line feed.
[[nodiscard]] std::string OpenErrorLine(std::string_view name, std::string_view purpose);

// The usage text as the Windows usage dialog shows it: the same sentences
// without line feeds, laid out by the word wrap of its text box.
[[nodiscard]] std::string UsageDialogText();

}  // namespace qfmt::job
#endif  // RC_INVOKED
