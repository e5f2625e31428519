// qfmt-tree: formats whole trees of C and C++ files, checks them in CI and
// filters standard input for editors.

#include <string_view>
#include <vector>

#include "platform/console.h"
#include "platform/file_system.h"
#include "tree/tree_run.h"

int main(int argc, char** argv) {
  using namespace qfmt;
  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  platform::RemoveTempFilesOnSignals(platform::SignalEnd::kExitStatus);
  return tree::RunTree(arguments, platform::SystemFileSystem(), platform::SystemConsole());
}
