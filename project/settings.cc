#include "project/settings.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <vector>

#include "modern/formatter.h"

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
    if (!style) return Fail("qfmt_style", "modern, classic or exact");
    settings_.style.style = *style;
    settings_.style_source = Source({"qfmt_style"});
  }

  void MaxLineLength() {
    const std::string_view value = config_.Find("max_line_length");
    if (value.empty()) return;
    const auto length = value == "off" ? std::numeric_limits<std::int32_t>::max()
                                       : WholeNumber(value, 1, std::numeric_limits<std::int32_t>::max());
    if (!length) return Fail("max_line_length", "a whole number of 1 or more, or off,");
    layout().max_line_length = *length;
    settings_.max_line_length_source = Source({"max_line_length"});
  }

  // indent_style = tab gives tabs, indent_size alone that many blanks. (The
  // library has already turned "indent_size = tab" into tab_width's value,
  // and given tab_width indent_size's where it is missing.)
  void Indent() {
    const std::string_view style = config_.Find("indent_style");
    const std::string_view size = config_.Find("indent_size");
    if (!style.empty() && style != "tab" && style != "space") return Fail("indent_style", "tab or space");
    std::optional<std::int32_t> width;
    if (!size.empty() && size != "tab") {
      width = WholeNumber(size, 1, kMaxIndentSize);
      if (!width) return Fail("indent_size", "a whole number from 1 to 64");
    }
    if (style == "tab") return TabIndent(width);
    if (!width) return;  // "indent_style = space" alone keeps the width
    layout().indent_string.assign(static_cast<std::size_t>(*width), ' ');
    settings_.style.indent_from_file = false;
    settings_.indent_source =
        style.empty() ? Source({"indent_size"}) : Source({"indent_style", "indent_size"});
  }

  // A level is one tab, or indent_size / tab_width tabs where that is a whole
  // number of two or more; each tab counts tab_width columns against the
  // line length.
  void TabIndent(std::optional<std::int32_t> width) {
    std::vector<std::string_view> names = {"indent_style"};
    std::int32_t tabs = 1;
    if (const std::string_view value = config_.Find("tab_width"); !value.empty()) {
      const auto tab_width = WholeNumber(value, 1, kMaxIndentSize);
      if (!tab_width) return Fail("tab_width", "a whole number from 1 to 64");
      layout().tab_width = *tab_width;
      if (width && *width % *tab_width == 0) tabs = *width / *tab_width;
      if (tabs > 1) names.push_back("indent_size");
      names.push_back("tab_width");
    }
    layout().indent_string.assign(static_cast<std::size_t>(tabs), '\t');
    settings_.style.indent_from_file = false;
    settings_.indent_source = Source(names);
  }

  void BraceStyle() {
    const std::string_view value = config_.Find("qfmt_brace_style");
    if (value.empty()) return;
    if (value != "attach" && value != "break") return Fail("qfmt_brace_style", "attach or break");
    layout().brace_style = value == "attach" ? lexer::BraceStyle::kAttach : lexer::BraceStyle::kBreak;
    settings_.brace_style_source = Source({"qfmt_brace_style"});
  }

  // The columns of a tab, where the modern style measures lines (the library
  // gives indent_size's value where only that is set).
  void TabWidth() {
    const std::string_view value = config_.Find("tab_width");
    if (value.empty()) return;
    const auto width = WholeNumber(value, 1, kMaxIndentSize);
    if (!width) return Fail("tab_width", "a whole number from 1 to 64");
    settings_.style.tab_width = *width;
  }

  layout::LayoutOptions& layout() { return settings_.style.layout; }

  // "src/.editorconfig [*.c]", or ".editorconfig" where no section is found.
  std::string Origin(std::string_view name) const {
    const PropertyOrigin origin = config_.OriginOf(name);
    return origin.file.empty() ? ".editorconfig" : ShownPath(origin.file) + " " + origin.section;
  }

  // "ORIGIN: a = 1, b = 2; OTHER ORIGIN: c = 3".
  std::string Source(const std::vector<std::string_view>& names) const {
    std::string source, last_origin;
    for (const std::string_view name : names) {
      const std::string origin = Origin(name);
      if (!source.empty()) source += origin == last_origin ? ", " : "; ";
      if (origin != last_origin) source += origin + ": ";
      source += Property(name, config_.Find(name));
      last_origin = origin;
    }
    return source;
  }

  // "src/.editorconfig [*.c]: indent_size = foo: a whole number from 1 to 64 is needed".
  void Fail(std::string_view name, std::string_view wanted) {
    if (!settings_.status.ok()) return;
    settings_.status =
        Origin(name) + ": " + Property(name, config_.Find(name)) + ": " + std::string(wanted) + " is needed";
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
                             const format::StyleOptions& options, const GivenOptions& given) {
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
  const EditorConfig config = editorconfig.Read(path);
  if (!config.status.ok()) {
    settings.status = config.status;
    return settings;
  }
  Resolver(config, given, settings).Resolve();
  return settings;
}

std::string ShownPath(const std::string& full) {
  std::error_code error;
  const std::string relative =
      std::filesystem::path(full).lexically_relative(std::filesystem::current_path(error)).generic_string();
  return error || relative.empty() || relative.starts_with("../") ? full : relative;
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
         ")\n" + "  brace-style " + (layout.brace_style == lexer::BraceStyle::kBreak ? "break" : "attach") +
         "  (" + settings.brace_style_source + ")\n";
}

}  // namespace qfmt::project
