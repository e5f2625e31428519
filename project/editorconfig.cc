#include "project/editorconfig.h"

#include <editorconfig/editorconfig.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>

namespace qfmt::project {
namespace {

// Owns an EditorConfig handle.
class Handle {
 public:
  Handle() : handle_(editorconfig_handle_init()) {}
  ~Handle() {
    if (handle_ != nullptr) editorconfig_handle_destroy(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  [[nodiscard]] editorconfig_handle get() const { return handle_; }

 private:
  editorconfig_handle handle_;
};

std::string_view Trimmed(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// A section of an .editorconfig file, as far as FindOrigin needs it.
struct Section {
  std::string glob;
  std::vector<std::string> names;  // of the properties it sets, in lower case
};

struct ConfigFile {
  std::vector<Section> sections;
  bool root = false;
};

// Reads the file as the EditorConfig library does: "[glob]" opens a
// section, "name = value" (or "name : value") sets a property, and lines
// that begin with '#' or ';' are comments. Files that are not regular or are
// larger than the library would read are not read.
std::optional<ConfigFile> ReadConfigFile(const std::filesystem::path& file) {
  constexpr std::uintmax_t kMaxSize = std::uintmax_t{1} << 20;
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error) || std::filesystem::file_size(file, error) > kMaxSize)
    return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  ConfigFile config;
  for (std::string text; std::getline(in, text);) {
    const std::string_view line = Trimmed(text);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.rfind(']');
      const std::size_t length = close == std::string_view::npos ? line.size() - 1 : close - 1;
      config.sections.push_back({std::string(line.substr(1, length)), {}});
      continue;
    }
    const std::size_t equals = line.find_first_of("=:");
    if (equals == std::string_view::npos) continue;
    const std::string name = Lower(Trimmed(line.substr(0, equals)));
    if (!config.sections.empty()) {
      config.sections.back().names.push_back(name);
    } else if (name == "root") {
      config.root = Lower(Trimmed(line.substr(equals + 1))) == "true";
    }
  }
  return config;
}

// The index of the '}' or ']' that closes the one at `open`, or npos.
std::size_t Closing(std::string_view glob, std::size_t open, char close) {
  int depth = 0;
  for (std::size_t i = open; i < glob.size(); ++i) {
    if (glob[i] == '\\') {
      ++i;
    } else if (glob[i] == glob[open] && close == '}') {
      ++depth;
    } else if (glob[i] == close && (close == '}' ? --depth == 0 : i > open + 1)) {
      return i;
    }
  }
  return std::string_view::npos;
}

// The glob's matcher: "*" no '/', "**" anything, "?" one character but '/',
// "[seq]" and "[!seq]", "{a,b}" alternatives, "{1..9}" numbers, "\" escapes.
bool Matches(std::string_view glob, std::string_view path);

bool MatchesBraces(std::string_view glob, std::size_t close, std::string_view path) {
  const std::string_view inside = glob.substr(1, close - 1);
  const std::string_view rest = glob.substr(close + 1);
  if (const std::size_t dots = inside.find(".."); dots != std::string_view::npos) {
    long low = 0, high = 0;
    const std::string low_text(inside.substr(0, dots)), high_text(inside.substr(dots + 2));
    if (!low_text.empty() && !high_text.empty() &&
        std::isdigit(static_cast<unsigned char>(high_text.back()))) {
      low = std::strtol(low_text.c_str(), nullptr, 10);
      high = std::strtol(high_text.c_str(), nullptr, 10);
      std::size_t end = path.empty() || path.front() != '-' ? 0 : 1;
      while (end < path.size() && std::isdigit(static_cast<unsigned char>(path[end]))) ++end;
      for (; end > 0; --end) {
        const long number = std::strtol(std::string(path.substr(0, end)).c_str(), nullptr, 10);
        if (std::min(low, high) <= number && number <= std::max(low, high) && Matches(rest, path.substr(end)))
          return true;
      }
      return false;
    }
  }
  // Top-level commas split the alternatives; without one the braces are literal.
  std::vector<std::string_view> alternatives;
  std::size_t begin = 0;
  int depth = 0;
  for (std::size_t i = 0; i < inside.size(); ++i) {
    if (inside[i] == '\\') {
      ++i;
    } else if (inside[i] == '{') {
      ++depth;
    } else if (inside[i] == '}') {
      --depth;
    } else if (inside[i] == ',' && depth == 0) {
      alternatives.push_back(inside.substr(begin, i - begin));
      begin = i + 1;
    }
  }
  if (alternatives.empty())
    return !path.empty() && path.front() == '{' && Matches(glob.substr(1), path.substr(1));
  alternatives.push_back(inside.substr(begin));
  return std::any_of(alternatives.begin(), alternatives.end(), [&](std::string_view alternative) {
    return Matches(std::string(alternative) + std::string(rest), path);
  });
}

bool MatchesClass(std::string_view glob, std::size_t close, std::string_view path) {
  if (path.empty() || path.front() == '/') return false;
  std::string_view set = glob.substr(1, close - 1);
  const bool negated = set.starts_with('!');
  if (negated) set.remove_prefix(1);
  bool found = false;
  for (std::size_t i = 0; i < set.size(); ++i) {
    if (i + 2 < set.size() && set[i + 1] == '-') {
      found = found || (set[i] <= path.front() && path.front() <= set[i + 2]);
      i += 2;
    } else {
      found = found || set[i] == path.front();
    }
  }
  return found != negated && Matches(glob.substr(close + 1), path.substr(1));
}

bool Matches(std::string_view glob, std::string_view path) {
  while (!glob.empty()) {
    const char c = glob.front();
    if (c == '*') {
      const bool any = glob.starts_with("**");
      glob.remove_prefix(any ? 2 : 1);
      // "/**/" also matches a single '/'.
      if (any && glob.starts_with('/') && Matches(glob.substr(1), path)) return true;
      for (std::size_t i = 0;; ++i) {
        if (Matches(glob, path.substr(i))) return true;
        if (i == path.size() || (!any && path[i] == '/')) return false;
      }
    }
    if (c == '{' || c == '[') {
      const std::size_t close = Closing(glob, 0, c == '{' ? '}' : ']');
      if (close != std::string_view::npos)
        return c == '{' ? MatchesBraces(glob, close, path) : MatchesClass(glob, close, path);
    }
    if (path.empty()) return false;
    if (c == '?') {
      if (path.front() == '/') return false;
    } else {
      const std::size_t length = c == '\\' && glob.size() > 1 ? 2 : 1;
      if (glob[length - 1] != path.front()) return false;
      glob.remove_prefix(length - 1);
    }
    glob.remove_prefix(1);
    path.remove_prefix(1);
  }
  return path.empty();
}

}  // namespace

bool GlobMatches(std::string_view glob, std::string_view folder, std::string_view path) {
  std::string full(folder);
  if (full.ends_with('/')) full.pop_back();
  if (glob.find('/') == std::string_view::npos) {
    full += "/**/";
  } else if (!glob.starts_with('/')) {
    full += '/';
  }
  full += glob;
  return Matches(full, path);
}

PropertyOrigin FindOrigin(const std::string& path, std::string_view name) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(path, error).lexically_normal();
  if (error) return {};
  for (std::filesystem::path folder = full.parent_path();; folder = folder.parent_path()) {
    const std::filesystem::path file = folder / ".editorconfig";
    const std::optional<ConfigFile> config = ReadConfigFile(file);
    if (config) {
      for (auto section = config->sections.rbegin(); section != config->sections.rend(); ++section) {
        if (std::find(section->names.begin(), section->names.end(), name) != section->names.end() &&
            GlobMatches(section->glob, folder.string(), full.string())) {
          return {file.string(), "[" + section->glob + "]"};
        }
      }
      if (config->root) return {};
    }
    if (folder == folder.parent_path()) return {};
  }
}

std::string_view EditorConfig::Find(std::string_view name) const {
  for (const auto& [key, value] : properties) {
    // "unset" takes back what a file further up gave.
    if (key == name) return value == "unset" ? std::string_view() : std::string_view(value);
  }
  return {};
}

EditorConfig ReadEditorConfig(const std::string& path) {
  EditorConfig config;
  std::error_code error;
  // The library matches its globs against a full path.
  const std::string full = std::filesystem::absolute(path, error).lexically_normal().string();
  if (error) {
    config.error = "cannot make a full path of it: " + error.message();
    return config;
  }
  const Handle handle;
  if (handle.get() == nullptr) {
    config.error = "cannot read .editorconfig: out of memory";
    return config;
  }
  const int status = editorconfig_parse(full.c_str(), handle.get());
  if (status != 0) {
    const char* file = editorconfig_handle_get_err_file(handle.get());
    config.error = status > 0 && file != nullptr
                       ? "cannot parse " + std::string(file) + ", line " + std::to_string(status)
                       : "cannot read .editorconfig: " + std::string(editorconfig_get_error_msg(status));
    return config;
  }
  const int count = editorconfig_handle_get_name_value_count(handle.get());
  for (int i = 0; i < count; ++i) {
    const char* name = nullptr;
    const char* value = nullptr;
    editorconfig_handle_get_name_value(handle.get(), i, &name, &value);
    config.properties.emplace_back(name, value);
  }
  return config;
}

}  // namespace qfmt::project
