#pragma once

#include <string_view>
#include <vector>

#include "platform/console.h"

namespace qfmt::tree {

// Exit statuses of qfmt-tree.
inline constexpr int kExitOk = 0;
inline constexpr int kExitWouldChange = 1;  // with --list or --check
inline constexpr int kExitFileError = 2;
inline constexpr int kExitUsage = 64;

// Runs qfmt-tree with the arguments that follow the program's name and
// returns its exit status. Files are formatted on worker threads; what is
// printed for them comes in sorted path order.
[[nodiscard]] int RunTree(const std::vector<std::string_view>& arguments, platform::FileSystem& files,
                          platform::Console& console);

}  // namespace qfmt::tree
