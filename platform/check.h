#pragma once

#include <cstdio>
#include <cstdlib>

// QFMT_CHECK(condition): an invariant that guards memory or data, checked in
// every build type (unlike assert). A broken one is a fault of the program:
// it names the place on standard error and aborts, before anything worse.
#define QFMT_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::qfmt::platform::CheckFailed(#condition, __FILE__, __LINE__))

namespace qfmt::platform {

[[noreturn]] inline void CheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "qfmt: internal error: %s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

}  // namespace qfmt::platform
