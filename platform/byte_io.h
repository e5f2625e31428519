#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Where bytes come from and where they go: files, memory in tests and tools.
namespace qfmt::platform {

// The size of the blocks in which files are read, copied and written.
inline constexpr std::size_t kBlockSize = 64 * 1024;

// What a stream does to line ends: nothing, or what the C library's text mode
// does on Windows (each CR LF is read as LF and reading stops at a CTRL+Z
// byte; each LF is written as CR LF).
enum class TextMode { kBytes, kTranslated };

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes into `buffer`: the count, 0 at the end, -1 on error.
  [[nodiscard]] virtual std::ptrdiff_t Read(char* buffer, std::size_t size) = 0;
  [[nodiscard]] virtual TextMode text_mode() const { return TextMode::kBytes; }
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all `size` bytes; false on a write error.
  [[nodiscard]] virtual bool Write(const char* data, std::size_t size) = 0;
  [[nodiscard]] virtual TextMode text_mode() const { return TextMode::kBytes; }
};

// A source over bytes held in memory.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  [[nodiscard]] std::ptrdiff_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = size < bytes_.size() ? size : bytes_.size();
    bytes_.copy(buffer, n);
    bytes_.remove_prefix(n);
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  std::string_view bytes_;
};

// A sink that appends to a string.
class StringSink final : public ByteSink {
 public:
  explicit StringSink(std::string& out) : out_(out) {}
  [[nodiscard]] bool Write(const char* data, std::size_t size) override {
    out_.append(data, size);
    return true;
  }

 private:
  std::string& out_;
};

}  // namespace qfmt::platform
