#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sys/mman.h>
#endif

namespace qfmt::platform {

// Asks the system to back the whole 2 MiB pages inside a buffer with large
// pages where it offers them (Linux's transparent huge pages, in "madvise"
// mode). A buffer of megabytes that is new to the process otherwise costs a
// page fault every 4 KiB, and under virtual machines a fault costs more than
// formatting the bytes it maps. Only advice: where it is not taken, nothing
// changes.
inline constexpr std::size_t kLargePage = std::size_t{2} << 20;

inline void PreferLargePages([[maybe_unused]] const void* data, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && !defined(__EMSCRIPTEN__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kLarge = kLargePage;
  const auto address = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t begin = (address + kLarge - 1) & ~(kLarge - 1);
  const std::uintptr_t end = (address + bytes) & ~(kLarge - 1);
  if (end > begin) (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

// Uninitialized memory of whole large pages: aligned to one, and advised as
// PreferLargePages says, so that a buffer made of such blocks costs one page
// fault a block where the system takes the advice.
class LargeBlock {
 public:
  explicit LargeBlock(std::size_t bytes)
      : data_(::operator new (bytes, std::align_val_t{kLargePage})), bytes_(bytes) {
    PreferLargePages(data_.get(), bytes_);
  }
  [[nodiscard]] void* data() const { return data_.get(); }
  [[nodiscard]] std::size_t size() const { return bytes_; }

 private:
  struct Free {
    void operator()(void* data) const noexcept { ::operator delete (data, std::align_val_t{kLargePage}); }
  };
  std::unique_ptr<void, Free> data_;
  std::size_t bytes_;
};

}  // namespace qfmt::platform
