#include "fuzz/format_case.h"

#include <array>
#include <cstdint>
#include <limits>

namespace qfmt::fuzz {
namespace {

constexpr std::size_t kUnitFromInput = 7;
constexpr std::array<std::string_view, 8> kUnits = {"   ",  "",  "\t", "    ", "\t   \t   \t   \t  ",
                                                    "\t\t", " ", ""};

constexpr std::size_t kLengthFromInput = 7;
constexpr std::array<std::int32_t, 7> kLengths = {
    80, 0, -1, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), 1, 20};

constexpr std::size_t kMaxStep = 16;

// Takes bytes from the front of the data; what is missing reads as zero.
class Reader {
 public:
  explicit Reader(std::string_view data) : data_(data) {}
  unsigned char Byte() {
    if (data_.empty()) return 0;
    const auto byte = static_cast<unsigned char>(data_.front());
    data_.remove_prefix(1);
    return byte;
  }
  std::string_view Bytes(std::size_t count) {
    const std::string_view bytes = data_.substr(0, count);
    data_.remove_prefix(bytes.size());
    return bytes;
  }
  [[nodiscard]] std::string_view rest() const { return data_; }

 private:
  std::string_view data_;
};

}  // namespace

FormatCase DecodeFormatCase(std::string_view data) {
  Reader reader(data);
  FormatCase c;
  const unsigned char choice = reader.Byte();
  c.options.brace_style = choice & 1;
  const std::size_t unit = (choice >> 1) & 7;
  c.options.indent_string =
      std::string(unit == kUnitFromInput ? reader.Bytes(reader.Byte() % 64) : kUnits[unit]);
  const std::size_t length = (choice >> 4) & 7;
  if (length == kLengthFromInput) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(reader.Byte()) << (8 * i);
    c.options.max_line_length = static_cast<std::int32_t>(value);
  } else {
    c.options.max_line_length = kLengths[length];
  }
  if ((choice & 0x80) != 0) c.read_step = 1 + reader.Byte() % kMaxStep;
  c.text = reader.rest();
  return c;
}

std::string EncodeFormatCase(const layout::LayoutOptions& options, std::size_t read_step,
                             std::string_view text) {
  std::size_t unit = kUnitFromInput;
  for (std::size_t i = 0; i < kUnitFromInput; ++i) {
    if (kUnits[i] == options.indent_string) unit = i;
  }
  std::size_t length = kLengthFromInput;
  for (std::size_t i = 0; i < kLengths.size(); ++i) {
    if (kLengths[i] == options.max_line_length) length = i;
  }
  std::string data(1, static_cast<char>((options.brace_style & 1) | (unit << 1) | (length << 4) |
                                        (read_step != 0 ? 0x80 : 0)));
  if (unit == kUnitFromInput) {
    const std::string_view bytes = std::string_view(options.indent_string).substr(0, 63);
    data += static_cast<char>(bytes.size());
    data += bytes;
  }
  if (length == kLengthFromInput) {
    const auto value = static_cast<std::uint32_t>(options.max_line_length);
    for (int i = 0; i < 4; ++i) data += static_cast<char>((value >> (8 * i)) & 0xff);
  }
  if (read_step != 0) data += static_cast<char>((read_step - 1) % kMaxStep);
  data += text;
  return data;
}

}  // namespace qfmt::fuzz
