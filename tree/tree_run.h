#pragma once

#include <string_view>
#include <vector>

#include "job/exit_status.h"
#include "platform/console.h"

namespace qfmt::tree {

// qfmt-tree's exit statuses (job/exit_status.h).
using job::kExitFileError;
using job::kExitOk;
using job::kExitUsage;
using job::kExitWouldChange;

// Runs qfmt-tree with the arguments that follow the program's name and
// returns its exit status. Files are formatted on worker threads; what is
// printed for them comes in sorted path order.
[[nodiscard]] int RunTree(const std::vector<std::string_view>& arguments, platform::FileSystem& files,
                          platform::Console& console);

}  // namespace qfmt::tree
