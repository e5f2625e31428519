#include "format/styles.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

#include "modern/formatter.h"

namespace qfmt::format {
namespace {

// The modern style and the classic one take the same settings.
constexpr std::array kClassicSettings{StyleSetting::kBraceStyle, StyleSetting::kIndent,
                                      StyleSetting::kMaxLineLength};
constexpr std::array kExactSettings{StyleSetting::kBraceStyle, StyleSetting::kIndent,
                                    StyleSetting::kMaxLineLength, StyleSetting::kTokenCheck};

constexpr std::array kStyles{
    StyleDescription{Style::kModern,
                     "modern",
                     "Code laid out as it is written today, keeping the author's line breaks, blank "
                     "lines and comments, in one pass; the tokens are checked.",
                     kClassicSettings,
                     {.once = true, .verify = true, .classic_limit = false}},
    StyleDescription{Style::kClassic,
                     "classic",
                     "The classic layout with every change of tokens repaired and clean white space, "
                     "applied until it settles; the tokens are checked.",
                     kClassicSettings,
                     {.once = false, .verify = true, .classic_limit = false}},
    StyleDescription{Style::kExact,
                     "classic (exact)",
                     "The classic program's rules exactly: its output byte for byte, in one pass, "
                     "with its 512-byte token limit.",
                     kExactSettings,
                     {.once = true, .verify = false, .classic_limit = true}},
};

struct Choice {
  std::string_view value;
  std::string_view label;
};

// How front ends offer a setting: a choice among values, a whole number (or
// "off"), or a switch (on or off).
enum class Kind { kChoice, kNumber, kSwitch };

struct SettingDescription {
  StyleSetting setting;
  std::string_view key;
  std::string_view label;
  Kind kind;
  std::span<const Choice> choices;
};

constexpr std::array<Choice, 2> kBraceChoices{
    {{"attach", "attached: if (a) {"}, {"break", "broken: { on its own line"}}};
constexpr std::array<Choice, 6> kIndentChoices{{{"2", "2 blanks"},
                                                {"3", "3 blanks"},
                                                {"4", "4 blanks"},
                                                {"8", "8 blanks"},
                                                {"tab", "a tab"},
                                                {"0", "none"}}};
constexpr std::array<Choice, 2> kSwitchChoices{{{"on", "on"}, {"off", "off"}}};

constexpr std::array kSettings{
    SettingDescription{StyleSetting::kBraceStyle, "brace", "Braces", Kind::kChoice, kBraceChoices},
    SettingDescription{StyleSetting::kIndent, "indent", "Indent", Kind::kChoice, kIndentChoices},
    SettingDescription{StyleSetting::kMaxLineLength, "length", "Line length", Kind::kNumber, {}},
    SettingDescription{StyleSetting::kTokenCheck, "check", "Token check", Kind::kSwitch, kSwitchChoices},
};

const SettingDescription& Describe(StyleSetting setting) {
  return *std::find_if(kSettings.begin(), kSettings.end(),
                       [&](const SettingDescription& d) { return d.setting == setting; });
}

// A style with the defaults of its settings: those of the layout options
// (the modern style's own unit where the file shows none).
StyleChoice DefaultsOf(const StyleDescription& style) {
  StyleChoice choice;
  choice.style = &style;
  choice.options.style = style.style;
  choice.options.indent_from_file = false;
  if (style.style == Style::kModern) choice.options.layout.indent_string = modern::kDefaultIndent;
  choice.text = style.text;
  return choice;
}

// A setting's value in `choice`, as settings text writes it (the inverse of Apply).
std::string ValueIn(StyleSetting setting, const StyleChoice& choice) {
  const layout::LayoutOptions& layout = choice.options.layout;
  switch (setting) {
    case StyleSetting::kBraceStyle:
      return layout.brace_style == lexer::BraceStyle::kAttach ? "attach" : "break";
    case StyleSetting::kIndent:
      return layout.indent_string == "\t" ? "tab" : std::to_string(layout.indent_string.size());
    case StyleSetting::kMaxLineLength:
      return layout.max_line_length == std::numeric_limits<std::int32_t>::max()
                 ? "off"
                 : std::to_string(layout.max_line_length);
    case StyleSetting::kTokenCheck:
      break;
  }
  return choice.text.verify ? "on" : "off";
}

// A whole number of 0 or more that is all of `text`.
std::optional<std::int32_t> ReadCount(std::string_view text) {
  std::int32_t number = 0;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || status != std::errc() || end != text.data() + text.size() || number < 0) return {};
  return number;
}

// "attach or break", "2, 3, 4, 8, tab or 0".
std::string ChoiceList(std::span<const Choice> choices) {
  std::string list;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (i > 0) list += i + 1 == choices.size() ? " or " : ", ";
    list += choices[i].value;
  }
  return list;
}

// Sets `setting` to `value` in `choice`; false, with the error, for a value
// that the setting does not take.
bool Apply(const SettingDescription& setting, std::string_view value, StyleChoice& choice) {
  if (setting.kind == Kind::kNumber) {
    const auto number = value == "off" ? std::numeric_limits<std::int32_t>::max() : ReadCount(value);
    if (!number) {
      choice.status = std::string(setting.key) + " is a whole number of 0 or more, or off, not '" +
                      std::string(value) + "'";
      return false;
    }
    choice.options.layout.max_line_length = *number;
    return true;
  }
  const auto chosen = std::find_if(setting.choices.begin(), setting.choices.end(),
                                   [&](const Choice& c) { return c.value == value; });
  if (chosen == setting.choices.end()) {
    choice.status = std::string(setting.key) + " is " + ChoiceList(setting.choices) + ", not '" +
                    std::string(value) + "'";
    return false;
  }
  switch (setting.setting) {
    case StyleSetting::kBraceStyle:
      choice.options.layout.brace_style =
          value == "attach" ? lexer::BraceStyle::kAttach : lexer::BraceStyle::kBreak;
      break;
    case StyleSetting::kIndent:
      choice.options.layout.indent_string =
          value == "tab" ? std::string("\t") : std::string(static_cast<std::size_t>(*ReadCount(value)), ' ');
      break;
    case StyleSetting::kTokenCheck:
      choice.text.verify = value == "on";
      break;
    case StyleSetting::kMaxLineLength:
      break;
  }
  return true;
}

// Calls visit(key, value) for each "key=value" of "a=1&b=2"; false, with
// the error, at the first piece that is not of that form or is refused.
template <typename Visit>
bool ForEachPair(std::string_view text, StyleChoice& choice, Visit visit) {
  while (!text.empty()) {
    const std::size_t amp = text.find('&');
    const std::string_view pair = text.substr(0, amp);
    text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
    if (pair.empty()) continue;
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos) {
      choice.status = "'" + std::string(pair) + "' is not of the form key=value";
      return false;
    }
    if (!visit(pair.substr(0, equals), pair.substr(equals + 1))) return false;
  }
  return true;
}

void AppendQuoted(std::string& json, std::string_view text) {
  json += '"';
  for (const char c : text) {
    if (c == '"' || c == '\\') json += '\\';
    json += c;
  }
  json += '"';
}

constexpr std::array<std::string_view, 3> kKindNames{"choice", "number", "switch"};

void AppendSetting(std::string& json, const SettingDescription& setting) {
  AppendQuoted(json, setting.key);
  json += ":{\"label\":";
  AppendQuoted(json, setting.label);
  json += ",\"kind\":";
  AppendQuoted(json, kKindNames[static_cast<std::size_t>(setting.kind)]);
  json += ",\"choices\":[";
  for (std::size_t i = 0; i < setting.choices.size(); ++i) {
    json += i == 0 ? "[" : ",[";
    AppendQuoted(json, setting.choices[i].value);
    json += ',';
    AppendQuoted(json, setting.choices[i].label);
    json += ']';
  }
  json += "]}";
}

void AppendStyle(std::string& json, const StyleDescription& style) {
  json += "{\"name\":";
  AppendQuoted(json, StyleName(style.style));
  json += ",\"label\":";
  AppendQuoted(json, style.label);
  json += ",\"summary\":";
  AppendQuoted(json, style.summary);
  json += ",\"settings\":{";
  const StyleChoice defaults = DefaultsOf(style);
  for (std::size_t i = 0; i < style.settings.size(); ++i) {
    if (i > 0) json += ',';
    AppendQuoted(json, Describe(style.settings[i]).key);
    json += ':';
    AppendQuoted(json, ValueIn(style.settings[i], defaults));
  }
  json += "}}";
}

}  // namespace

std::span<const StyleDescription> Styles() { return kStyles; }

StyleChoice ReadStyleChoice(std::string_view settings) {
  StyleChoice choice;
  const StyleDescription* style = &kStyles.front();
  const bool style_read = ForEachPair(settings, choice, [&](std::string_view key, std::string_view value) {
    if (key != "style") return true;
    const auto named = std::find_if(kStyles.begin(), kStyles.end(),
                                    [&](const StyleDescription& s) { return StyleName(s.style) == value; });
    if (named == kStyles.end()) {
      std::string names;
      for (const StyleDescription& s : kStyles)
        names += (names.empty() ? "" : ", ") + std::string(StyleName(s.style));
      choice.status = "style is one of " + names + ", not '" + std::string(value) + "'";
      return false;
    }
    style = &*named;
    return true;
  });
  if (!style_read) return choice;
  choice = DefaultsOf(*style);
  (void)ForEachPair(settings, choice, [&](std::string_view key, std::string_view value) {
    if (key == "style") return true;
    const auto taken = std::find_if(style->settings.begin(), style->settings.end(),
                                    [&](StyleSetting s) { return Describe(s).key == key; });
    if (taken == style->settings.end()) {
      choice.status =
          "the " + std::string(style->label) + " style takes no setting '" + std::string(key) + "'";
      return false;
    }
    return Apply(Describe(*taken), value, choice);
  });
  return choice;
}

std::string StylesJson() {
  std::string json = "{\"styles\":[";
  for (std::size_t i = 0; i < kStyles.size(); ++i) {
    if (i > 0) json += ',';
    AppendStyle(json, kStyles[i]);
  }
  json += "],\"settings\":{";
  for (std::size_t i = 0; i < kSettings.size(); ++i) {
    if (i > 0) json += ',';
    AppendSetting(json, kSettings[i]);
  }
  return json + "}}";
}

}  // namespace qfmt::format
