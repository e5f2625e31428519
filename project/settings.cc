#include "project/settings.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

#include "modern/formatter.h"
#include "project/editorconfig.h"

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
    if (!given_.style) Style();
    if (!given_.max_line_length) MaxLineLength();
    if (!given_.indent) Indent();
    if (!given_.brace_style) BraceStyle();
    TabWidth();
  }

 private:
  void Style() {
    const std::string_view value = config_.Find("qfmt_style");
    if (value.empty()) return;
    const std::optional<format::Style> style = format::ParseStyle(value);
    if (!style) return Fail(BadValue("qfmt_style", value, "modern, classic or exact"));
    settings_.style.style = *style;
    settings_.style_source = ".editorconfig: " + Property("qfmt_style", value);
  }

  void MaxLineLength() {
    const std::string_view value = config_.Find("max_line_length");
    if (value.empty()) return;
    if (value == "off") {
      Set(layout().max_line_length, std::numeric_limits<std::int32_t>::max(),
          settings_.max_line_length_source, "max_line_length", value);
    } else if (const auto length = WholeNumber(value, 1, std::numeric_limits<std::int32_t>::max())) {
      Set(layout().max_line_length, *length, settings_.max_line_length_source, "max_line_length", value);
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
      layout().indent_string = "\t";
      settings_.style.indent_from_file = false;
      settings_.indent_source = ".editorconfig: " + Property("indent_style", style);
      return;
    }
    if (size.empty() || size == "tab") return;  // "indent_style = space" alone keeps the width
    const auto width = WholeNumber(size, 1, kMaxIndentSize);
    if (!width) return Fail(BadValue("indent_size", size, "a whole number from 1 to 64"));
    layout().indent_string.assign(static_cast<std::size_t>(*width), ' ');
    settings_.style.indent_from_file = false;
    settings_.indent_source =
        ".editorconfig: " + (style.empty() ? "" : Property("indent_style", style) + ", ") +
        Property("indent_size", size);
  }

  void BraceStyle() {
    const std::string_view value = config_.Find("qfmt_brace_style");
    if (value.empty()) return;
    if (value != "attach" && value != "break")
      return Fail(BadValue("qfmt_brace_style", value, "attach or break"));
    Set(layout().brace_style, value == "attach" ? 1 : 0, settings_.brace_style_source, "qfmt_brace_style",
        value);
  }

  // The columns of a tab, where the modern style measures lines (the library
  // gives indent_size's value where only that is set).
  void TabWidth() {
    const std::string_view value = config_.Find("tab_width");
    if (value.empty()) return;
    const auto width = WholeNumber(value, 1, kMaxIndentSize);
    if (!width) return Fail(BadValue("tab_width", value, "a whole number from 1 to 64"));
    settings_.style.tab_width = *width;
  }

  layout::LayoutOptions& layout() { return settings_.style.layout; }

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

FileSettings ResolveSettings(const std::string& path, const format::StyleOptions& options,
                             const GivenOptions& given) {
  FileSettings settings;
  settings.style = options;
  settings.style.indent_from_file = !given.indent;
  settings.style_source = SourceOf(given.style);
  settings.max_line_length_source = SourceOf(given.max_line_length);
  settings.indent_source = SourceOf(given.indent);
  settings.brace_style_source = SourceOf(given.brace_style);
  if (given.max_line_length && given.indent && given.brace_style && given.style &&
      options.style != format::Style::kModern) {
    return settings;
  }
  const EditorConfig config = ReadEditorConfig(path);
  if (!config.error.empty()) {
    settings.error = config.error;
    return settings;
  }
  Resolver(config, given, settings).Resolve();
  return settings;
}

std::string DescribeSettings(const std::string& path, const FileSettings& settings) {
  const format::StyleOptions& style = settings.style;
  const layout::LayoutOptions& layout = style.layout;
  const bool modern = style.style == format::Style::kModern;
  const bool unlimited = layout.max_line_length == std::numeric_limits<std::int32_t>::max() ||
                         (modern && layout.max_line_length == 0);
  const std::string length = unlimited ? "off" : std::to_string(layout.max_line_length);
  const std::string indent = modern && style.indent_from_file
                                 ? "the file's own, else " + Quoted(modern::kDefaultIndent)
                                 : Quoted(layout.indent_string);
  return path + ":\n" + "  style " + std::string(format::StyleName(style.style)) + "  (" +
         settings.style_source + ")\n" + "  max-line-length " + length + "  (" +
         settings.max_line_length_source + ")\n" + "  indent " + indent + "  (" + settings.indent_source +
         ")\n" + "  brace-style " + (layout.brace_style == 0 ? "break" : "attach") + "  (" +
         settings.brace_style_source + ")\n";
}

}  // namespace qfmt::project
