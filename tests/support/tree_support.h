#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "layout/layout.h"
#include "tests/support/file_support.h"

// Helpers for the tests of qfmt-tree.
namespace qfmt::testing {

// The settled text of `text`, made in-process by the library (by default with
// qfmt-tree's default, the modern rules).
[[nodiscard]] std::string Settled(std::string_view text,
                                  const layout::LayoutOptions& options = {.modern = true});

// Runs qfmt-tree in `folder`.
[[nodiscard]] ProgramRun RunTreeProgram(const std::vector<std::string>& arguments, const fs::path& folder,
                                        std::string_view input = {});

// Every `step`-th C or C++ file under /usr/include (regular files only), in
// sorted order: real code of every kind, read at test time.
[[nodiscard]] std::vector<fs::path> SystemHeaders(std::size_t step);

// Generated C and C++ source of about `size` bytes; with `cpp20`, C++20
// source full of what the classic rules cannot keep.
[[nodiscard]] std::string GeneratedSource(std::uint64_t size, std::uint64_t seed, bool cpp20 = false);

}  // namespace qfmt::testing
