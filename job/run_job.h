#pragma once

#include <string_view>

#include "job/exit_status.h"
#include "platform/console.h"

namespace qfmt::job {

// Shows the usage text; the program then ends with kExitOk.
int ShowUsage(platform::Console& console);

// The classic run: options from the raw command line, the backup copy, the
// formatting of the backup into the output file, the closing of both files and
// the brace warning. Returns the exit status.
[[nodiscard]] int RunJob(std::string_view command_line, platform::FileSystem& files,
                         platform::Console& console);

}  // namespace qfmt::job
