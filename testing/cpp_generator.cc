#include "testing/cpp_generator.h"

#include <array>
#include <string>

#include "testing/random.h"

namespace qfmt::testing {
namespace {

constexpr std::array<std::string_view, 8> kNames = {"widget", "span_of", "queue", "cursor",
                                                    "ledger", "bucket",  "frame", "token"};
constexpr std::array<std::string_view, 6> kNumbers = {"1'000'000", "0x1.8p+3f", "42u",
                                                      "1e-5",      "0b1010",    "7.5L"};

// Pieces of C++20, each a few lines; $N stands for a name, $V for a number.
constexpr std::array<std::string_view, 16> kPieces = {
    "template <typename T>\nconcept $N_like = requires(T t) { { t.size() } -> "
    "std::convertible_to<std::size_t>; };\n",
    "template <std::integral T> requires($V > 0)\n[[nodiscard]] constexpr auto $N(T a, T b) noexcept { "
    "return a <=> b; }\n",
    "struct $N {\n  int x = $V;\n  auto operator<=>(const $N&) const = default;\nprivate:\n  "
    "std::vector<std::pair<int, int>> rows_;\n};\n",
    "auto $N = [&, count = $V](auto&&... args) mutable { return (args + ... + count); };\n",
    "const auto [$N, rest] = std::pair{$V, u8\"caf\xc3\xa9\"sv};\n",
    "constexpr auto $N = R\"sql(select * from t where a = \"x\" and b = ')' )sql\";\n",
    "auto $N = config{.width = $V, .name = \"$N\"s, .ratio = 0.5};\n",
    "if (auto* p = find($N); p != nullptr) [[likely]] {\n  p->*member = o.*other;\n} else {\n  co_await "
    "next();\n}\n",
    "switch (auto k = $N(); k) {\ncase kind::a: case kind::b: return $V;\ndefault: break;\n}\n",
    "#define $N_CHECK(x) \\\n  do { /* checks x */ \\\n    if (!(x)) std::abort(); \\\n  } while (false)\n",
    "// keep in sync with the table below\n[[maybe_unused]] static constinit int $N = $V;\n",
    "namespace app::$N {\nusing enum color;\ninline constexpr char8_t mark = u8'x';\n}  // namespace "
    "app::$N\n",
    "template <typename... Ts>\nvoid $N(Ts... values) { (std::cout << ... << values) << '\\n'; }\n",
    "static_assert(sizeof($N) >= $V, \"$N is too small\");\n",
    "auto $N = std::format(\"{:>10} {}\\n\", $V, \"%\" PRId64);\n",
    "enum class $N : std::uint8_t { low = 1, high = 0xFF };\n"};

}  // namespace

void GenerateCppSource(std::uint64_t size, std::uint64_t seed,
                       const std::function<void(std::string_view)>& write) {
  Random random(seed);
  write("// Generated C++20 test input: deterministic, meaningless.\n#include <compare>\n");
  std::uint64_t written = 0;
  std::string piece;
  while (written < size) {
    const std::string_view pattern = random.Pick(kPieces);
    piece.clear();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      if (pattern[i] == '$' && i + 1 < pattern.size() && (pattern[i + 1] == 'N' || pattern[i + 1] == 'V')) {
        piece += pattern[i + 1] == 'N' ? random.Pick(kNames) : random.Pick(kNumbers);
        ++i;
      } else {
        piece += pattern[i];
      }
    }
    write(piece);
    written += piece.size();
  }
}

}  // namespace qfmt::testing
