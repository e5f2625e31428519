#include "project/settings.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

namespace qfmt::project {
namespace {

constexpr std::string_view kCommandLine = "command line";
constexpr std::string_view kDefault = "default";
constexpr std::int32_t kMaxIndentSize = 64;

std::optional<std::int32_t> WholeNumber(std::string_view text, std::int32_t low, std::int32_t high) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high)
    return std::nullopt;
  return value;
}

std::string Property(std::string_view name, std::string_view value) {
  return std::string(name) + " = " + std::string(value);
}

std::string BadValue(std::string_view name, std::string_view value, std::string_view wanted) {
  return ".editorconfig gives " + Property(name, value) + "; " + std::string(wanted) + " is needed";
}

// Reads the EditorConfig properties into `settings`; each is applied only
// where the command line did not give its option.
class Resolver {
 public:
  Resolver(const EditorConfig& config, const GivenOptions& given, FileSettings& settings)
      : config_(config), given_(given), settings_(settings) {}

  void Resolve() {
    if (!given_.max_line_length) MaxLineLength();
    if (!given_.indent) Indent();
    if (!given_.brace_style) BraceStyle();
  }

 private:
  void MaxLineLength() {
    const std::string_view value = config_.Find("max_line_length");
    if (value.empty()) return;
    if (value == "off") {
      Set(settings_.layout.max_line_length, std::numeric_limits<std::int32_t>::max(),
          settings_.max_line_length_source, "max_line_length", value);
    } else if (const auto length = WholeNumber(value, 1, std::numeric_limits<std::int32_t>::max())) {
      Set(settings_.layout.max_line_length, *length, settings_.max_line_length_source, "max_line_length",
          value);
    } else {
      Fail(BadValue("max_line_length", value, "a whole number of 1 or more, or off,"));
    }
  }

  // indent_style = tab gives one tab, indent_size that many blanks. (The
  // library has already turned "indent_size = tab" into tab_width's value.)
  void Indent() {
    const std::string_view style = config_.Find("indent_style");
    const std::string_view size = config_.Find("indent_size");
    if (!style.empty() && style != "tab" && style != "space")
      return Fail(BadValue("indent_style", style, "tab or space"));
    if (style == "tab") {
      settings_.layout.indent_string = "\t";
      settings_.indent_source = ".editorconfig: " + Property("indent_style", style);
      return;
    }
    if (size.empty() || size == "tab") return;  // "indent_style = space" alone keeps the width
    const auto width = WholeNumber(size, 1, kMaxIndentSize);
    if (!width) return Fail(BadValue("indent_size", size, "a whole number from 1 to 64"));
    settings_.layout.indent_string.assign(static_cast<std::size_t>(*width), ' ');
    settings_.indent_source =
        ".editorconfig: " + (style.empty() ? "" : Property("indent_style", style) + ", ") +
        Property("indent_size", size);
  }

  void BraceStyle() {
    const std::string_view value = config_.Find("qfmt_brace_style");
    if (value.empty()) return;
    if (value != "attach" && value != "break")
      return Fail(BadValue("qfmt_brace_style", value, "attach or break"));
    Set(settings_.layout.brace_style, value == "attach" ? 1 : 0, settings_.brace_style_source,
        "qfmt_brace_style", value);
  }

  static void Set(std::int32_t& option, std::int32_t value, std::string& source, std::string_view name,
                  std::string_view text) {
    option = value;
    source = ".editorconfig: " + Property(name, text);
  }

  void Fail(std::string error) {
    if (settings_.error.empty()) settings_.error = std::move(error);
  }

  const EditorConfig& config_;
  const GivenOptions& given_;
  FileSettings& settings_;
};

std::string_view SourceOf(bool given) { return given ? kCommandLine : kDefault; }

// "\t" as the command line writes it, in quotes so that blanks show.
std::string Quoted(std::string_view indent) {
  std::string text = "\"";
  for (const char c : indent) {
    if (c == '\t') {
      text += "\\t";
    } else {
      text += c;
    }
  }
  return text + "\"";
}

}  // namespace

FileSettings ResolveSettings(EditorConfigFiles& editorconfig, const std::string& path,
                             const layout::LayoutOptions& options, const GivenOptions& given) {
  FileSettings settings;
  settings.layout = options;
  settings.max_line_length_source = SourceOf(given.max_line_length);
  settings.indent_source = SourceOf(given.indent);
  settings.brace_style_source = SourceOf(given.brace_style);
  if (given.max_line_length && given.indent && given.brace_style) return settings;
  const EditorConfig config = editorconfig.Read(path);
  if (!config.error.empty()) {
    settings.error = config.error;
    return settings;
  }
  Resolver(config, given, settings).Resolve();
  return settings;
}

std::string DescribeSettings(const std::string& path, const FileSettings& settings) {
  const layout::LayoutOptions& layout = settings.layout;
  const std::string length = layout.max_line_length == std::numeric_limits<std::int32_t>::max()
                                 ? "off"
                                 : std::to_string(layout.max_line_length);
  return path + ":\n" + "  max-line-length " + length + "  (" + settings.max_line_length_source + ")\n" +
         "  indent " + Quoted(layout.indent_string) + "  (" + settings.indent_source + ")\n" +
         "  brace-style " + (layout.brace_style == 0 ? "break" : "attach") + "  (" +
         settings.brace_style_source + ")\n";
}

}  // namespace qfmt::project
