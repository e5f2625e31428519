#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace qfmt::testing {

// Writes C++20 source of at least `size` bytes: namespaces, concepts and
// requires clauses, class templates with access labels and defaulted <=>,
// lambdas with captures, attributes, structured bindings, designated
// initializers, raw string literals with delimiters, user-defined literals,
// digit separators, ->* and .*, fold expressions, macros with continuation
// lines and comments. Only the tokens matter: the text need not compile.
// It depends only on `size` and `seed`.
void GenerateCppSource(std::uint64_t size, std::uint64_t seed,
                       const std::function<void(std::string_view)>& write);

}  // namespace qfmt::testing
