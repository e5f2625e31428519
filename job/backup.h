#pragma once

#include <string>

#include "layout/output_writer.h"
#include "platform/file_system.h"

namespace qfmt::job {

enum class BackupResult {
  kCopied,      // the backup holds the input's bytes (none if there is no input)
  kNotWritten,  // nothing was written: the run goes on, and opening the backup
                // for reading decides (it fails unless an old one stands while
                // there is no input, so nothing can be lost)
  kStale,       // the input exists but the backup does not hold its bytes
};

struct Backup {
  BackupResult result = BackupResult::kCopied;
  layout::LineEnds line_ends = layout::LineEnds::kLf;  // of the bytes copied
};

// True when both places reach one existing file, through links or other
// spellings of its path.
[[nodiscard]] bool SameFile(platform::FileSystem& files, const platform::Place& a, const platform::Place& b);

// Copies the file `source` to `destination` byte for byte. A missing source
// leaves an empty destination, as the copy of nothing. The copy has the
// source's permission bits and its owner's write bit, so that the next
// backup can replace it.
[[nodiscard]] Backup MakeBackup(platform::FileSystem& files, const platform::Place& source,
                                const platform::Place& destination);

}  // namespace qfmt::job
