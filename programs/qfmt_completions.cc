// qfmt-completions: writes qfmt-tree's completions, made from its option
// rows, for the build to install.
//
//   qfmt-completions OUTPUT_FOLDER
//
// It writes OUTPUT_FOLDER/qfmt-tree.bash (bash-completion) and
// OUTPUT_FOLDER/_qfmt-tree (zsh).

#include <fstream>
#include <iostream>
#include <string>

#include "tree/completions.h"

namespace {

// False, after a message, when the file cannot be written.
bool WriteScript(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (out) return true;
  std::cerr << "qfmt-completions: cannot write " << path << '\n';
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: qfmt-completions OUTPUT_FOLDER\n";
    return 64;
  }
  const std::string folder = argv[1];
  const auto options = qfmt::tree::OptionTable();
  const bool written = WriteScript(folder + "/qfmt-tree.bash", qfmt::tree::BashCompletion(options)) &&
                       WriteScript(folder + "/_qfmt-tree", qfmt::tree::ZshCompletion(options));
  return written ? 0 : 1;
}
