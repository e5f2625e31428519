#pragma once

// The exit statuses of both programs, stated once.
namespace qfmt::job {

inline constexpr int kExitOk = 0;

// qfmt, the classic command.
inline constexpr int kExitScanFailure = 1;  // the scanner stopped: a token too long, a read that failed
inline constexpr int kExitOpenError = 2;    // a file could not be opened

// qfmt-tree.
inline constexpr int kExitWouldChange = 1;  // with --list or --check
inline constexpr int kExitFileError = 2;    // a file had an error
inline constexpr int kExitUsage = 64;       // a bad command line (sysexits' EX_USAGE)

}  // namespace qfmt::job
